#include "graphics/pellix/gs_system_impl.h"

#include <algorithm>
// GDI+'s headers expect min and max, which NOMINMAX keeps out of <windows.h>.
using std::max;
using std::min;
#include <objidl.h>
#include <gdiplus.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "graphics/pellix/call_gate.h"
#include "graphics/pellix/gs_texture_impl.h"
#include "graphics/pellix/pellix_log.h"
#include "graphics/pellix/picture_decode.h"

using Microsoft::WRL::ComPtr;

namespace pellix {

int ChooseAdapter(bool found0, std::uint64_t video_memory0, bool found1,
                  std::uint64_t video_memory1) {
  if (found0 && found1 && video_memory0 < video_memory1) return 1;
  if (found0) return 0;
  return -1;
}

}  // namespace pellix

namespace {

constexpr int kEffectResource = 102;  // the effect's HLSL source, resource type "HEX"

const char* const kTechniqueNames[] = {"TechSolid",        "TechTexture_RGB",  "TechTexture_I420",
                                       "TechTexture_YV12", "TechTexture_YVYU", "TechTexture_YUY2",
                                       "TechTexture_UYVY", "TechTexture_HDYC", "TechYUVTexture",
                                       "TechAlphaIgnore"};
const char* const kPixelEntries[] = {
    "PS_Solid",       "PS_TextureRGB",  "PS_TextureI420", "PS_TextureYV12", "PS_TextureYVYU",
    "PS_TextureYUY2", "PS_TextureUYVY", "PS_TextureHDYC", "PS_RgbToYuv",    "PS_AlphaIgnore"};

struct SolidVertex {
  float x, y, z;
  float r, g, b, a;
};
struct TextureVertex {
  float x, y, z;
  float u, v;
};
static_assert(sizeof(SolidVertex) == 28, "solid vertex layout");
static_assert(sizeof(TextureVertex) == 20, "texture vertex layout");

using CreateDevice1Function = HRESULT(WINAPI*)(IDXGIAdapter*, D3D10_DRIVER_TYPE, HMODULE, UINT,
                                               D3D10_FEATURE_LEVEL1, UINT, ID3D10Device1**);

// d3d10_1.dll has no import library here: it is loaded once and stays loaded for the process.
CreateDevice1Function LoadCreateDevice1() {
  static CreateDevice1Function function = []() -> CreateDevice1Function {
    HMODULE module = LoadLibraryW(L"d3d10_1.dll");
    if (!module) return nullptr;
    return reinterpret_cast<CreateDevice1Function>(
        reinterpret_cast<void*>(GetProcAddress(module, "D3D10CreateDevice1")));
  }();
  return function;
}

HMODULE ThisModule() {
  HMODULE module = nullptr;
  GetModuleHandleExW(
      GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
      reinterpret_cast<LPCWSTR>(&ThisModule), &module);
  return module;
}

void Identity(float* m) {
  memset(m, 0, 16 * sizeof(float));
  m[0] = m[5] = m[10] = m[15] = 1.0f;
}

// Row-major 4x4 product: out = a x b.
void Multiply(const float* a, const float* b, float* out) {
  float result[16];
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) {
      float sum = 0;
      for (int k = 0; k < 4; ++k) sum += a[r * 4 + k] * b[k * 4 + c];
      result[r * 4 + c] = sum;
    }
  memcpy(out, result, sizeof(result));
}

void ColorToFloats(gs::Color color, float* out) {
  out[0] = gs::ColorRed(color) / 255.0f;
  out[1] = gs::ColorGreen(color) / 255.0f;
  out[2] = gs::ColorBlue(color) / 255.0f;
  out[3] = gs::ColorAlpha(color) / 255.0f;
}

void LogAdapterOnce(int index, IDXGIAdapter1* adapter) {
  static bool seen[2] = {false, false};
  if (seen[index]) return;
  seen[index] = true;
  DXGI_ADAPTER_DESC1 desc;
  if (FAILED(adapter->GetDesc1(&desc))) return;
  char description[256];
  WideCharToMultiByte(CP_UTF8, 0, desc.Description, -1, description, sizeof(description), nullptr,
                      nullptr);
  pellix::Log(index == 0 ? "Adapter 0 [1st video card]" : "Adapter 1 [2nd video card]");
  pellix::Log("    Description = %s", description);
  pellix::Log("    VendorId = %04x", desc.VendorId);
  pellix::Log("    DeviceId = %04x", desc.DeviceId);
  pellix::Log("    SubSysId = %08x", desc.SubSysId);
  pellix::Log("    Revision = %u", desc.Revision);
  pellix::Log("    DedicatedVideoMemory = %lu M",
              static_cast<unsigned long>(desc.DedicatedVideoMemory >> 20));
  pellix::Log("    DedicatedSystemMemory = %lu M",
              static_cast<unsigned long>(desc.DedicatedSystemMemory >> 20));
  pellix::Log("    SharedSystemMemory = %lu M",
              static_cast<unsigned long>(desc.SharedSystemMemory >> 20));
  pellix::Log("    AdapterLuid = %08lx-%08lx", desc.AdapterLuid.HighPart, desc.AdapterLuid.LowPart);
}

gsTextureImpl* AsImpl(gsTextureBase* texture) { return static_cast<gsTextureImpl*>(texture); }

}  // namespace

gsSystemImpl::gsSystemImpl() {
  Identity(view_);
  Identity(projection_);
  Identity(world_);
}

gsSystemImpl* gsSystemImpl::Create() {
  std::unique_ptr<gsSystemImpl> system(new (std::nothrow) gsSystemImpl());
  if (!system || !system->Build()) return nullptr;
  return system.release();
}

bool gsSystemImpl::Build() {
  Gdiplus::GdiplusStartupInput input;
  if (Gdiplus::GdiplusStartup(&gdiplus_token_, &input, nullptr) != Gdiplus::Ok) gdiplus_token_ = 0;
  return BulidDevice() && BulidFX() && BuildSolidLayout() && BuildSolidBuffer() &&
         BuildTextureLayout() && BuildTextureBuffer() && BuildBlendState() &&
         BuildDepthStencilState() && BuildRasterizerState();
}

gsSystemImpl::~gsSystemImpl() {
  if (device_) {
    device_->RSSetState(nullptr);
    device_->OMSetDepthStencilState(nullptr, 0);
  }
  rasterizer_state_.Reset();
  depth_stencil_state_.Reset();
  blend_state_.Reset();
  texture_buffer_.Reset();
  texture_layout_.Reset();
  solid_buffer_.Reset();
  solid_layout_.Reset();
  std::fill(std::begin(techniques_), std::end(techniques_), nullptr);
  effect_.reset();
  if (device_) {
    device_->OMSetRenderTargets(0, nullptr, nullptr);
    device_->ClearState();
  }
  back_buffer_view_.Reset();
  swap_chain_.Reset();
  device_.Reset();
  adapter_.Reset();
  factory_.Reset();
  if (gdiplus_token_) Gdiplus::GdiplusShutdown(gdiplus_token_);
}

bool gsSystemImpl::BulidDevice() {
  device_.Reset();
  adapter_.Reset();
  factory_.Reset();
  HRESULT hr = pellix::PassGate("BulidDevice", "CreateDXGIFactory");
  if (SUCCEEDED(hr))
    hr = CreateDXGIFactory1(IID_IDXGIFactory1, reinterpret_cast<void**>(factory_.GetAddressOf()));
  if (FAILED(hr)) {
    pellix::Log("gsSystemImpl::BulidDevice CreateDXGIFactory [ERROR] hr = %08lx", hr);
    return false;
  }
  ComPtr<IDXGIAdapter1> adapters[2];
  std::uint64_t video_memory[2] = {0, 0};
  bool found[2] = {false, false};
  HRESULT enum_result = DXGI_ERROR_NOT_FOUND;
  for (UINT i = 0; i < 2; ++i) {
    hr = pellix::PassGate("BulidDevice", "EnumAdapters");
    if (SUCCEEDED(hr)) hr = factory_->EnumAdapters1(i, &adapters[i]);
    if (i == 0) enum_result = hr;
    DXGI_ADAPTER_DESC1 desc;
    if (SUCCEEDED(hr) && SUCCEEDED(adapters[i]->GetDesc1(&desc))) {
      found[i] = true;
      video_memory[i] = desc.DedicatedVideoMemory;
      LogAdapterOnce(i, adapters[i].Get());
    }
  }
  int chosen = pellix::ChooseAdapter(found[0], video_memory[0], found[1], video_memory[1]);
  if (chosen < 0) {
    pellix::Log("gsSystemImpl::BulidDevice EnumAdapters [ERROR] hr = %08lx", enum_result);
    return false;
  }
  pellix::Log(chosen == 1 ? "gsSystemImpl::____Use Adapter 1 [2nd video card]"
                          : "gsSystemImpl::____Use Adapter 0 [1st video card]");
  adapter_ = adapters[chosen];

  CreateDevice1Function create_device = LoadCreateDevice1();
  struct Level {
    D3D10_FEATURE_LEVEL1 level;
    const char* name;
  };
  const Level levels[] = {{D3D10_FEATURE_LEVEL_10_1, "10.1"},
                          {D3D10_FEATURE_LEVEL_10_0, "10.0"},
                          {D3D10_FEATURE_LEVEL_9_3, "9.3"}};
  hr = HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND);
  for (const Level& level : levels) {
    hr = pellix::PassGate("BulidDevice", "D3D10CreateDevice1");
    if (SUCCEEDED(hr) && !create_device) hr = HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND);
    if (SUCCEEDED(hr))
      hr = create_device(adapter_.Get(), D3D10_DRIVER_TYPE_HARDWARE, nullptr,
                         D3D10_CREATE_DEVICE_BGRA_SUPPORT, level.level, D3D10_1_SDK_VERSION,
                         &device_);
    if (SUCCEEDED(hr)) {
      pellix::Log("gsSystemImpl D3D10CreateDevice1 OK [level = %s]", level.name);
      return true;
    }
  }
  pellix::Log("gsSystemImpl::BulidDevice D3D10CreateDevice1 [ERROR] hr = %08lx", hr);
  return false;
}

bool gsSystemImpl::BulidFX() {
  effect_.reset();
  HMODULE module = ThisModule();
  HRSRC resource = FindResourceW(module, MAKEINTRESOURCEW(kEffectResource), L"HEX");
  HGLOBAL loaded = resource ? LoadResource(module, resource) : nullptr;
  const void* bytes = loaded ? LockResource(loaded) : nullptr;
  DWORD size = resource ? SizeofResource(module, resource) : 0;
  if (!bytes || size == 0) return false;
  std::vector<char> source(static_cast<const char*>(bytes), static_cast<const char*>(bytes) + size);

  d3dfx::EffectDesc desc;
  for (int i = 0; i < kTechniqueCount; ++i)
    desc.techniques.push_back(
        {kTechniqueNames[i], {{i == kTechSolid ? "VS_Solid" : "VS_Texture", kPixelEntries[i]}}});
  D3D10_SAMPLER_DESC sampler = {};
  sampler.Filter = D3D10_FILTER_MIN_MAG_MIP_LINEAR;
  sampler.AddressU = D3D10_TEXTURE_ADDRESS_WRAP;
  sampler.AddressV = D3D10_TEXTURE_ADDRESS_WRAP;
  sampler.AddressW = D3D10_TEXTURE_ADDRESS_CLAMP;
  sampler.MaxAnisotropy = 1;
  sampler.ComparisonFunc = D3D10_COMPARISON_NEVER;
  sampler.MaxLOD = D3D10_FLOAT32_MAX;
  desc.samplers.push_back({"g_sampler", sampler});
  if (device_->GetFeatureLevel() < D3D10_FEATURE_LEVEL_10_0) {
    desc.vertex_profile = "vs_4_0_level_9_3";
    desc.pixel_profile = "ps_4_0_level_9_3";
  }

  std::string errors;
  HRESULT hr = pellix::PassGate("BulidFX", "D3D10CreateEffectFromMemory");
  if (SUCCEEDED(hr))
    hr =
        d3dfx::Effect::Create(device_.Get(), source.data(), source.size(), desc, &effect_, &errors);
  if (FAILED(hr)) {
    pellix::Log("gsSystemImpl::BulidFX D3D10CreateEffectFromMemory [ERROR] hr = %08lx", hr);
    if (!errors.empty()) pellix::Log("gsSystemImpl::BulidFX %s", errors.c_str());
    return false;
  }
  for (int i = 0; i < kTechniqueCount; ++i)
    techniques_[i] = effect_->GetTechniqueByName(kTechniqueNames[i]);
  world_matrix_variable_ = effect_->GetVariableByName("g_worldMatrix");
  texture_variable_ = effect_->GetVariableByName("g_texture");
  gamma_variable_ = effect_->GetVariableByName("g_gamma");
  output_color_variable_ = effect_->GetVariableByName("g_outputColor");
  if (!world_matrix_variable_ || !texture_variable_ || !gamma_variable_ ||
      !output_color_variable_) {
    pellix::Log("gsSystemImpl::BulidFX GetVariableByName [ERROR] hr = %08lx", E_FAIL);
    return false;
  }
  return true;
}

bool gsSystemImpl::BuildSolidLayout() {
  solid_layout_.Reset();
  const D3D10_INPUT_ELEMENT_DESC elements[] = {
      {"POSITION", 0, DXGI_FORMAT_R32G32B32_FLOAT, 0, 0, D3D10_INPUT_PER_VERTEX_DATA, 0},
      {"COLOR", 0, DXGI_FORMAT_R32G32B32A32_FLOAT, 0, D3D10_APPEND_ALIGNED_ELEMENT,
       D3D10_INPUT_PER_VERTEX_DATA, 0}};
  d3dfx::EffectPass* pass = techniques_[kTechSolid]->GetPassByIndex(0);
  HRESULT hr = pellix::PassGate("BuildSolidLayout", "CreateInputLayout");
  if (SUCCEEDED(hr))
    hr = device_->CreateInputLayout(elements, 2, pass->InputSignature(), pass->InputSignatureSize(),
                                    &solid_layout_);
  if (FAILED(hr)) {
    pellix::Log("gsSystemImpl::BuildSolidLayout CreateInputLayout [ERROR] hr = %08lx", hr);
    return false;
  }
  return true;
}

bool gsSystemImpl::BuildTextureLayout() {
  texture_layout_.Reset();
  const D3D10_INPUT_ELEMENT_DESC elements[] = {
      {"POSITION", 0, DXGI_FORMAT_R32G32B32_FLOAT, 0, 0, D3D10_INPUT_PER_VERTEX_DATA, 0},
      {"TEXCOORD", 0, DXGI_FORMAT_R32G32_FLOAT, 0, D3D10_APPEND_ALIGNED_ELEMENT,
       D3D10_INPUT_PER_VERTEX_DATA, 0}};
  d3dfx::EffectPass* pass = techniques_[kTechTextureRGB]->GetPassByIndex(0);
  HRESULT hr = pellix::PassGate("BuildTextureLayout", "CreateInputLayout");
  if (SUCCEEDED(hr))
    hr = device_->CreateInputLayout(elements, 2, pass->InputSignature(), pass->InputSignatureSize(),
                                    &texture_layout_);
  if (FAILED(hr)) {
    pellix::Log("gsSystemImpl::BuildTextureLayout CreateInputLayout [ERROR] hr = %08lx", hr);
    return false;
  }
  return true;
}

namespace {

HRESULT MakeVertexBuffer(ID3D10Device* device, UINT size, ComPtr<ID3D10Buffer>* buffer) {
  D3D10_BUFFER_DESC desc = {};
  desc.ByteWidth = size;
  desc.Usage = D3D10_USAGE_DYNAMIC;
  desc.BindFlags = D3D10_BIND_VERTEX_BUFFER;
  desc.CPUAccessFlags = D3D10_CPU_ACCESS_WRITE;
  return device->CreateBuffer(&desc, nullptr, buffer->ReleaseAndGetAddressOf());
}

}  // namespace

bool gsSystemImpl::BuildSolidBuffer() {
  solid_buffer_.Reset();
  HRESULT hr = pellix::PassGate("BuildSolidBuffer", "CreateBuffer");
  if (SUCCEEDED(hr)) hr = MakeVertexBuffer(device_.Get(), 4 * sizeof(SolidVertex), &solid_buffer_);
  if (FAILED(hr)) {
    pellix::Log("gsSystemImpl::BuildSolidBuffer CreateBuffer [ERROR] hr = %08lx", hr);
    return false;
  }
  return true;
}

bool gsSystemImpl::BuildTextureBuffer() {
  texture_buffer_.Reset();
  HRESULT hr = pellix::PassGate("BuildTextureBuffer", "CreateBuffer");
  if (SUCCEEDED(hr))
    hr = MakeVertexBuffer(device_.Get(), 4 * sizeof(TextureVertex), &texture_buffer_);
  if (FAILED(hr)) {
    pellix::Log("gsSystemImpl::BuildTextureBuffer CreateBuffer [ERROR] hr = %08lx", hr);
    return false;
  }
  return true;
}

bool gsSystemImpl::BuildBlendState() {
  blend_state_.Reset();
  D3D10_BLEND_DESC desc = {};
  desc.AlphaToCoverageEnable = FALSE;
  for (int i = 0; i < 8; ++i) {
    desc.BlendEnable[i] = TRUE;
    desc.RenderTargetWriteMask[i] = D3D10_COLOR_WRITE_ENABLE_ALL;
  }
  desc.SrcBlend = D3D10_BLEND_SRC_ALPHA;
  desc.DestBlend = D3D10_BLEND_INV_SRC_ALPHA;
  desc.BlendOp = D3D10_BLEND_OP_ADD;
  desc.SrcBlendAlpha = D3D10_BLEND_ONE;
  desc.DestBlendAlpha = D3D10_BLEND_ZERO;
  desc.BlendOpAlpha = D3D10_BLEND_OP_ADD;
  HRESULT hr = pellix::PassGate("BuildBlendState", "CreateBlendState");
  if (SUCCEEDED(hr)) hr = device_->CreateBlendState(&desc, &blend_state_);
  if (FAILED(hr)) {
    pellix::Log("gsSystemImpl::BuildBlendState CreateBlendState [ERROR] hr = %08lx", hr);
    return false;
  }
  return true;
}

bool gsSystemImpl::BuildDepthStencilState() {
  depth_stencil_state_.Reset();
  // Depth and stencil tests off.
  D3D10_DEPTH_STENCIL_DESC desc = {};
  HRESULT hr = pellix::PassGate("BuildDepthStencilState", "CreateDepthStencilState");
  if (SUCCEEDED(hr)) hr = device_->CreateDepthStencilState(&desc, &depth_stencil_state_);
  if (FAILED(hr)) {
    pellix::Log("gsSystemImpl::BuildDepthStencilState CreateDepthStencilState [ERROR] hr = %08lx",
                hr);
    return false;
  }
  device_->OMSetDepthStencilState(depth_stencil_state_.Get(), 0);
  return true;
}

bool gsSystemImpl::BuildRasterizerState() {
  rasterizer_state_.Reset();
  D3D10_RASTERIZER_DESC desc = {};
  desc.FillMode = D3D10_FILL_SOLID;
  desc.CullMode = D3D10_CULL_NONE;
  desc.FrontCounterClockwise = FALSE;
  desc.DepthClipEnable = TRUE;
  HRESULT hr = pellix::PassGate("BuildRasterizerState", "CreateRasterizerState");
  if (SUCCEEDED(hr)) hr = device_->CreateRasterizerState(&desc, &rasterizer_state_);
  if (FAILED(hr)) {
    pellix::Log("gsSystemImpl::BuildRasterizerState CreateRasterizerState [ERROR] hr = %08lx", hr);
    return false;
  }
  device_->RSSetState(rasterizer_state_.Get());
  return true;
}

// ---------------------------------------------------------------------------------------------
// Window, swap chain and targets.

void gsSystemImpl::ReleaseSwapChain() {
  device_->OMSetRenderTargets(0, nullptr, nullptr);
  back_buffer_view_.Reset();
  swap_chain_.Reset();
}

bool gsSystemImpl::BulidSwapChain() {
  DXGI_SWAP_CHAIN_DESC desc = {};
  desc.BufferDesc.Width = window_width_;
  desc.BufferDesc.Height = window_height_;
  desc.BufferDesc.RefreshRate = {0, 1};
  desc.BufferDesc.Format = DXGI_FORMAT_B8G8R8A8_UNORM;
  desc.SampleDesc.Count = 1;
  desc.BufferUsage = DXGI_USAGE_RENDER_TARGET_OUTPUT;
  desc.BufferCount = 1;
  desc.OutputWindow = window_;
  // Windowed: the system draws into the user's window, never takes the screen.
  desc.Windowed = TRUE;
  desc.SwapEffect = DXGI_SWAP_EFFECT_DISCARD;
  HRESULT hr = pellix::PassGate("BulidSwapChain", "CreateSwapChain");
  if (SUCCEEDED(hr)) hr = factory_->CreateSwapChain(device_.Get(), &desc, &swap_chain_);
  if (FAILED(hr)) {
    pellix::Log("gsSystemImpl::BulidSwapChain CreateSwapChain [ERROR] hr = %08lx", hr);
    swap_chain_.Reset();
    return false;
  }
  return BulidSwapChainView(window_width_, window_height_);
}

bool gsSystemImpl::BulidSwapChainView(int width, int height) {
  device_->OMSetRenderTargets(0, nullptr, nullptr);
  back_buffer_view_.Reset();
  if (!swap_chain_) return false;
  HRESULT hr = pellix::PassGate("BulidSwapChainView", "ResizeBuffers");
  if (SUCCEEDED(hr))
    hr = swap_chain_->ResizeBuffers(1, width, height, DXGI_FORMAT_B8G8R8A8_UNORM, 0);
  if (FAILED(hr)) {
    pellix::Log("gsSystemImpl::BulidSwapChainView ResizeBuffers [ERROR] hr = %08lx", hr);
    BindCurrentTarget();
    return false;
  }
  ComPtr<ID3D10Texture2D> buffer;
  hr = pellix::PassGate("BulidSwapChainView", "GetBuffer");
  if (SUCCEEDED(hr))
    hr = swap_chain_->GetBuffer(0, IID_ID3D10Texture2D,
                                reinterpret_cast<void**>(buffer.GetAddressOf()));
  if (FAILED(hr)) {
    pellix::Log("gsSystemImpl::BulidSwapChainView GetBuffer [ERROR] hr = %08lx", hr);
    BindCurrentTarget();
    return false;
  }
  hr = pellix::PassGate("BulidSwapChainView", "CreateRenderTargetView");
  if (SUCCEEDED(hr))
    hr = device_->CreateRenderTargetView(buffer.Get(), nullptr, &back_buffer_view_);
  if (FAILED(hr)) {
    pellix::Log("gsSystemImpl::BulidSwapChainView CreateRenderTargetView [ERROR] hr = %08lx", hr);
    back_buffer_view_.Reset();
    BindCurrentTarget();
    return false;
  }
  // A render-target texture that is current stays bound; the back buffer waits for it.
  BindCurrentTarget();
  return true;
}

void gsSystemImpl::BindCurrentTarget() {
  ID3D10RenderTargetView* view =
      render_target_ ? render_target_->target_view() : back_buffer_view_.Get();
  if (view)
    device_->OMSetRenderTargets(1, &view, nullptr);
  else
    device_->OMSetRenderTargets(0, nullptr, nullptr);
}

HWND gsSystemImpl::SetWindow(HWND window) {
  HWND previous = window_;
  if (!device_) return previous;
  if (window && IsWindow(window)) {
    RECT client = {};
    GetClientRect(window, &client);
    const int width = std::max<int>(0, client.right - client.left);
    const int height = std::max<int>(0, client.bottom - client.top);
    if (window != window_) {
      ReleaseSwapChain();
      window_ = window;
      window_width_ = width;
      window_height_ = height;
      BulidSwapChain();
      BindCurrentTarget();
    } else if (width != window_width_ || height != window_height_) {
      window_width_ = width;
      window_height_ = height;
      BulidSwapChainView(width, height);
    }
  } else {
    ReleaseSwapChain();
    window_ = window;
    window_width_ = 0;
    window_height_ = 0;
    BindCurrentTarget();
  }
  return previous;
}

void gsSystemImpl::CheckWindowSize() {
  if (!device_ || !window_ || !IsWindow(window_)) return;
  RECT client = {};
  GetClientRect(window_, &client);
  const int width = std::max<int>(0, client.right - client.left);
  const int height = std::max<int>(0, client.bottom - client.top);
  if (width == window_width_ && height == window_height_) return;
  window_width_ = width;
  window_height_ = height;
  BulidSwapChainView(width, height);
}

gsTextureBase* gsSystemImpl::SetRenderTarget(gsTextureBase* texture) {
  gsTextureBase* previous = render_target_;
  if (!device_) return previous;
  gsTextureImpl* target = AsImpl(texture);
  if (target == render_target_) return previous;
  if (target && !target->target_view()) {
    pellix::Log("gsSystemImpl::SetRenderTarget [ERROR] texture kind %d has no render target",
                target->GetType());
    return previous;
  }
  render_target_ = target;
  BindCurrentTarget();
  return previous;
}

void gsSystemImpl::ForgetTexture(gsTextureImpl* texture) {
  if (!texture || texture != render_target_) return;
  render_target_ = nullptr;
  if (device_) BindCurrentTarget();
}

bool gsSystemImpl::Present() {
  if (render_target_ || !swap_chain_) return false;
  // Wine presents into a destroyed window without an error.
  if (!IsWindow(window_)) {
    pellix::Log("gsSystemImpl::Present [ERROR] the window is gone");
    return false;
  }
  HRESULT hr = swap_chain_->Present(0, 0);
  if (FAILED(hr)) {
    pellix::Log("gsSystemImpl::Present Present [ERROR] hr = %08lx", hr);
    return false;
  }
  return true;
}

// ---------------------------------------------------------------------------------------------
// Projection and drawing.

int gsSystemImpl::SetDrawMode(int mode) {
  int previous = draw_mode_;
  draw_mode_ = mode;
  return previous;
}

void gsSystemImpl::SetOrtho(int left, int right, int bottom, int top, int near_z, int far_z) {
  const float l = static_cast<float>(left), r = static_cast<float>(right);
  const float b = static_cast<float>(bottom), t = static_cast<float>(top);
  const float n = static_cast<float>(near_z), f = static_cast<float>(far_z);
  memset(projection_, 0, sizeof(projection_));
  projection_[0] = 2 / (r - l);
  projection_[5] = 2 / (t - b);
  projection_[10] = 1 / (f - n);
  projection_[12] = (l + r) / (l - r);
  projection_[13] = (t + b) / (b - t);
  projection_[14] = n / (n - f);
  projection_[15] = 1;
}

void gsSystemImpl::SetFrustum(int left, int right, int bottom, int top, int near_z, int far_z) {
  const float l = static_cast<float>(left), r = static_cast<float>(right);
  const float b = static_cast<float>(bottom), t = static_cast<float>(top);
  const float n = static_cast<float>(near_z), f = static_cast<float>(far_z);
  memset(projection_, 0, sizeof(projection_));
  projection_[0] = 2 * n / (r - l);
  projection_[5] = 2 * n / (t - b);
  projection_[8] = (l + r) / (l - r);
  projection_[9] = (t + b) / (b - t);
  projection_[10] = f / (f - n);
  projection_[11] = 1;
  projection_[14] = n * f / (n - f);
}

void gsSystemImpl::SetViewport(int, int, int width, int height) {
  if (!device_) return;
  D3D10_VIEWPORT viewport = {
      0,    0,   static_cast<UINT>(std::max(width, 0)), static_cast<UINT>(std::max(height, 0)),
      0.0f, 1.0f};
  device_->RSSetViewports(1, &viewport);
}

void gsSystemImpl::Clear(gs::Color color) {
  if (!device_) return;
  ID3D10RenderTargetView* view =
      render_target_ ? render_target_->target_view() : back_buffer_view_.Get();
  if (!view) return;
  float rgba[4];
  ColorToFloats(color, rgba);
  device_->ClearRenderTargetView(view, rgba);
}

d3dfx::EffectTechnique* gsSystemImpl::PickTechnique() const {
  switch (draw_mode_) {
    case gs::pellix::kDrawRgbToYuv:
      return techniques_[kTechYUVTexture];
    case gs::pellix::kDrawAlphaIgnore:
      return techniques_[kTechAlphaIgnore];
    case gs::pellix::kDrawByColorType:
      break;
    default:
      return nullptr;
  }
  switch (color_type_) {
    case gs::pellix::kI420:
      return techniques_[kTechTextureI420];
    case gs::pellix::kYV12:
      return techniques_[kTechTextureYV12];
    case gs::pellix::kRGB24:
    case gs::pellix::kRGB32:
      return techniques_[kTechTextureRGB];
    case gs::pellix::kYUY2:
      return techniques_[kTechTextureYUY2];
    case gs::pellix::kYVYU:
      return techniques_[kTechTextureYVYU];
    case gs::pellix::kUYVY:
      return techniques_[kTechTextureUYVY];
    case gs::pellix::kHDYC:
      return techniques_[kTechTextureHDYC];
    default:
      return nullptr;
  }
}

void gsSystemImpl::SetWorldMatrix() {
  Multiply(view_, projection_, world_);
  if (rotation_ != 0.0f) {
    const float a = rotation_ * 3.141593f / 180.0f;
    const float c = std::cos(a), s = std::sin(a);
    const float rz[16] = {c, -s, 0, 0, s, c, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    Multiply(world_, rz, world_);
  }
  world_matrix_variable_->SetMatrix(world_);
}

void gsSystemImpl::DrawQuad(d3dfx::EffectTechnique* technique, ID3D10InputLayout* layout,
                            ID3D10Buffer* buffer, UINT stride) {
  const float blend_factor[4] = {1, 1, 1, 1};
  device_->OMSetBlendState(blend_enable_ ? blend_state_.Get() : nullptr, blend_factor, 0xFFFFFFFF);
  device_->IASetInputLayout(layout);
  for (UINT p = 0; p < technique->PassCount(); ++p) {
    technique->GetPassByIndex(p)->Apply();
    UINT offset = 0;
    device_->IASetVertexBuffers(0, 1, &buffer, &stride, &offset);
    device_->IASetPrimitiveTopology(D3D10_PRIMITIVE_TOPOLOGY_TRIANGLESTRIP);
    device_->Draw(4, 0);
  }
}

void gsSystemImpl::DrawSolid(int left, int top, int right, int bottom, gs::Color color) {
  if (!device_) return;
  device_->IASetInputLayout(solid_layout_.Get());
  device_->IASetPrimitiveTopology(D3D10_PRIMITIVE_TOPOLOGY_TRIANGLESTRIP);
  SetWorldMatrix();
  float rgba[4];
  ColorToFloats(color, rgba);
  void* mapped = nullptr;
  HRESULT hr = solid_buffer_->Map(D3D10_MAP_WRITE_DISCARD, 0, &mapped);
  if (SUCCEEDED(hr)) {
    const float l = static_cast<float>(left), t = static_cast<float>(top);
    const float r = static_cast<float>(right), b = static_cast<float>(bottom);
    SolidVertex* v = static_cast<SolidVertex*>(mapped);
    const float corners[4][2] = {{l, t}, {l, b}, {r, t}, {r, b}};
    for (int i = 0; i < 4; ++i)
      v[i] = {corners[i][0], corners[i][1], 0.0f, rgba[0], rgba[1], rgba[2], rgba[3]};
    solid_buffer_->Unmap();
  } else {
    pellix::Log("gsSystemImpl::SetSolidBuffer Map [ERROR] hr = %08lx", hr);
  }
  DrawQuad(techniques_[kTechSolid], solid_layout_.Get(), solid_buffer_.Get(), sizeof(SolidVertex));
}

void gsSystemImpl::DrawTexture(gsTextureBase* texture, int left, int top, int right, int bottom,
                               gs::Color color, float u_left, float u_right, float v_top,
                               float v_bottom) {
  if (!device_ || !texture) return;
  gsTextureImpl* source = AsImpl(texture);
  d3dfx::EffectTechnique* technique = PickTechnique();
  if (!technique || !source->shader_view()) return;
  device_->IASetInputLayout(texture_layout_.Get());
  device_->IASetPrimitiveTopology(D3D10_PRIMITIVE_TOPOLOGY_TRIANGLESTRIP);
  SetWorldMatrix();
  texture_variable_->SetResource(source->shader_view());
  gamma_variable_->SetFloat(gamma_);
  float rgba[4];
  ColorToFloats(color, rgba);
  output_color_variable_->SetFloatVector(rgba);
  void* mapped = nullptr;
  HRESULT hr = texture_buffer_->Map(D3D10_MAP_WRITE_DISCARD, 0, &mapped);
  if (SUCCEEDED(hr)) {
    const float l = static_cast<float>(left), t = static_cast<float>(top);
    const float r = static_cast<float>(right), b = static_cast<float>(bottom);
    TextureVertex* v = static_cast<TextureVertex*>(mapped);
    v[0] = {l, b, 0.0f, u_left, v_bottom};
    v[1] = {l, t, 0.0f, u_left, v_top};
    v[2] = {r, b, 0.0f, u_right, v_bottom};
    v[3] = {r, t, 0.0f, u_right, v_top};
    texture_buffer_->Unmap();
  } else {
    pellix::Log("gsSystemImpl::SetTextureBuffer Map [ERROR] hr = %08lx", hr);
  }
  DrawQuad(technique, texture_layout_.Get(), texture_buffer_.Get(), sizeof(TextureVertex));
  // The texture may be deleted before the next draw: let go of it now.
  texture_variable_->SetResource(nullptr);
  ID3D10ShaderResourceView* none = nullptr;
  device_->PSSetShaderResources(0, 1, &none);
}

// ---------------------------------------------------------------------------------------------
// Textures.

int gsSystemImpl::MaxTextureSize() const {
  constexpr int kLevel93Limit = 4096;
  return device_->GetFeatureLevel() >= D3D10_FEATURE_LEVEL_10_0
             ? D3D10_REQ_TEXTURE2D_U_OR_V_DIMENSION
             : kLevel93Limit;
}

gsTextureBase* gsSystemImpl::MakeTexture(const char* operation, int kind, int width, int height,
                                         DXGI_FORMAT format, D3D10_USAGE usage, UINT bind,
                                         UINT cpu_access, UINT misc, const void* pixels) {
  if (!device_ || width <= 0 || height <= 0) return nullptr;
  // Windows refuses larger sizes; Wine creates them, and mapping one kills the process.
  const int limit = MaxTextureSize();
  if (width > limit || height > limit) {
    pellix::Log("gsSystemImpl::%s [ERROR] %d x %d exceeds the device limit of %d", operation, width,
                height, limit);
    return nullptr;
  }
  D3D10_TEXTURE2D_DESC desc = {};
  desc.Width = width;
  desc.Height = height;
  desc.MipLevels = 1;
  desc.ArraySize = 1;
  desc.Format = format;
  desc.SampleDesc.Count = 1;
  desc.Usage = usage;
  desc.BindFlags = bind;
  desc.CPUAccessFlags = cpu_access;
  desc.MiscFlags = misc;
  D3D10_SUBRESOURCE_DATA initial = {pixels, static_cast<UINT>(width) * 4, 0};
  ComPtr<ID3D10Texture2D> texture;
  HRESULT hr = device_->CreateTexture2D(&desc, pixels ? &initial : nullptr, &texture);
  if (FAILED(hr)) {
    if (kind == gs::kTextureWrite)
      pellix::Log("gsSystemImpl::%s CreateTexture2D [ERROR] hr = %08lx, width = %d, height = %d",
                  operation, hr, width, height);
    else
      pellix::Log("gsSystemImpl::%s CreateTexture2D [ERROR] hr = %08lx", operation, hr);
    return nullptr;
  }
  ComPtr<ID3D10ShaderResourceView> shader_view;
  if (bind & D3D10_BIND_SHADER_RESOURCE) {
    D3D10_SHADER_RESOURCE_VIEW_DESC view_desc = {};
    view_desc.Format = format;
    view_desc.ViewDimension = D3D10_SRV_DIMENSION_TEXTURE2D;
    view_desc.Texture2D.MostDetailedMip = 0;
    view_desc.Texture2D.MipLevels = 1;
    hr = device_->CreateShaderResourceView(texture.Get(), &view_desc, &shader_view);
    if (FAILED(hr)) {
      pellix::Log("gsSystemImpl::%s CreateShaderResourceView [ERROR] hr = %08lx", operation, hr);
      return nullptr;
    }
  }
  ComPtr<ID3D10RenderTargetView> target_view;
  if (bind & D3D10_BIND_RENDER_TARGET) {
    hr = device_->CreateRenderTargetView(texture.Get(), nullptr, &target_view);
    if (FAILED(hr)) {
      pellix::Log("gsSystemImpl::%s CreateRenderTargetView [ERROR] hr = %08lx", operation, hr);
      return nullptr;
    }
  }
  return new (std::nothrow)
      gsTextureImpl(this, kind, texture, shader_view, target_view, width, height);
}

gsTextureBase* gsSystemImpl::CreateTextureRead(int width, int height) {
  return MakeTexture("CreateTextureRead", gs::kTextureRead, width, height,
                     DXGI_FORMAT_B8G8R8A8_UNORM, D3D10_USAGE_STAGING, 0, D3D10_CPU_ACCESS_READ, 0,
                     nullptr);
}

gsTextureBase* gsSystemImpl::CreateTextureWrite(int width, int height, const void* pixels,
                                                bool rgba) {
  pellix::Log("CreateTextureWrite width = %d, height = %d", width, height);
  return MakeTexture("CreateTextureWrite", gs::kTextureWrite, width, height,
                     rgba ? DXGI_FORMAT_R8G8B8A8_UNORM : DXGI_FORMAT_B8G8R8X8_UNORM,
                     D3D10_USAGE_DYNAMIC, D3D10_BIND_SHADER_RESOURCE, D3D10_CPU_ACCESS_WRITE, 0,
                     pixels);
}

gsTextureBase* gsSystemImpl::CreateTextureRenderTarget(int width, int height) {
  return MakeTexture("CreateTextureRenderTarget", gs::kTextureRenderTarget, width, height,
                     DXGI_FORMAT_B8G8R8A8_UNORM, D3D10_USAGE_DEFAULT,
                     D3D10_BIND_SHADER_RESOURCE | D3D10_BIND_RENDER_TARGET, 0, 0, nullptr);
}

gsTextureBase* gsSystemImpl::CreateTextureGdiCompatible(int width, int height) {
  return MakeTexture("CreateTextureGdiCompatible", gs::kTextureGdiCompatible, width, height,
                     DXGI_FORMAT_B8G8R8A8_UNORM, D3D10_USAGE_DEFAULT,
                     D3D10_BIND_SHADER_RESOURCE | D3D10_BIND_RENDER_TARGET, 0,
                     D3D10_RESOURCE_MISC_GDI_COMPATIBLE, nullptr);
}

gsTextureBase* gsSystemImpl::CreateTextureFromFile(const char* path) {
  if (!path) return nullptr;
  int length = MultiByteToWideChar(CP_UTF8, 0, path, -1, nullptr, 0);
  if (length <= 0) return nullptr;
  std::wstring wide(length, L'\0');
  MultiByteToWideChar(CP_UTF8, 0, path, -1, &wide[0], length);
  HANDLE file = CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return nullptr;
  std::vector<std::uint8_t> bytes;
  LARGE_INTEGER size;
  bool ok = GetFileSizeEx(file, &size) && size.QuadPart > 0 && size.QuadPart < (1ll << 30);
  if (ok) {
    bytes.resize(static_cast<std::size_t>(size.QuadPart));
    DWORD read = 0;
    ok = ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) &&
         read == bytes.size();
  }
  CloseHandle(file);
  if (!ok) return nullptr;
  return CreateTextureFromMemory(bytes.data(), static_cast<int>(bytes.size()));
}

gsTextureBase* gsSystemImpl::CreateTextureFromMemory(const void* data, int size) {
  if (!data || size <= 0) return nullptr;
  pellix::Picture picture;
  if (!pellix::DecodePicture(data, static_cast<std::size_t>(size), &picture)) return nullptr;
  return CreateTextureWrite(picture.width, picture.height, picture.pixels.data(), true);
}

bool gsSystemImpl::CopyTexture(gsTextureBase* destination, gsTextureBase* source) {
  if (!device_ || !destination || !source || destination == source) return false;
  gsTextureImpl* to = AsImpl(destination);
  gsTextureImpl* from = AsImpl(source);
  // Direct3D silently ignores a copy between different sizes or formats.
  if (to->GetWidth() != from->GetWidth() || to->GetHeight() != from->GetHeight() ||
      to->format() != from->format()) {
    pellix::Log("gsSystemImpl::CopyTexture [ERROR] %dx%d format %d into %dx%d format %d",
                from->GetWidth(), from->GetHeight(), from->format(), to->GetWidth(),
                to->GetHeight(), to->format());
    return false;
  }
  device_->CopyResource(to->texture(), from->texture());
  return true;
}
