#include "platform/d3dfx/effect.h"

#include <gtest/gtest.h>
#include <wrl/client.h>

#include <cstring>

using Microsoft::WRL::ComPtr;

namespace {

// Two techniques share one vertex shader; the matrix moves a full-screen quad, the colour and
// the texture reach the pixel shaders through variables found by name.
const char kSource[] = R"(
matrix g_shift;
float4 g_color;
float g_scale;
Texture2D g_texture;
SamplerState g_point;
struct VsIn { float2 pos : POSITION; };
struct VsOut { float4 pos : SV_POSITION; float2 uv : TEXCOORD0; };
VsOut VS(VsIn i) {
  VsOut o;
  o.pos = mul(float4(i.pos, 0, 1), g_shift);
  o.uv = float2(i.pos.x * 0.5 + 0.5, 0.5 - i.pos.y * 0.5);
  return o;
}
float4 PsColor(VsOut i) : SV_Target { return g_color * g_scale; }
float4 PsTexture(VsOut i) : SV_Target { return g_texture.Sample(g_point, i.uv); }
)";

d3dfx::EffectDesc Desc() {
  d3dfx::EffectDesc desc;
  desc.techniques = {{"Colour", {{"VS", "PsColor"}}}, {"Texture", {{"VS", "PsTexture"}}}};
  D3D10_SAMPLER_DESC point = {};
  point.Filter = D3D10_FILTER_MIN_MAG_MIP_POINT;
  point.AddressU = point.AddressV = point.AddressW = D3D10_TEXTURE_ADDRESS_CLAMP;
  point.MaxLOD = D3D10_FLOAT32_MAX;
  desc.samplers = {{"g_point", point}};
  return desc;
}

class EffectTest : public ::testing::Test {
 protected:
  void SetUp() override {
    HRESULT hr = D3D10CreateDevice(nullptr, D3D10_DRIVER_TYPE_HARDWARE, nullptr, 0,
                                   D3D10_SDK_VERSION, &device_);
    ASSERT_HRESULT_SUCCEEDED(hr);
    D3D10_TEXTURE2D_DESC desc = {};
    desc.Width = desc.Height = 4;
    desc.MipLevels = desc.ArraySize = 1;
    desc.Format = DXGI_FORMAT_R8G8B8A8_UNORM;
    desc.SampleDesc.Count = 1;
    desc.Usage = D3D10_USAGE_DEFAULT;
    desc.BindFlags = D3D10_BIND_RENDER_TARGET;
    ASSERT_HRESULT_SUCCEEDED(device_->CreateTexture2D(&desc, nullptr, &target_));
    ASSERT_HRESULT_SUCCEEDED(device_->CreateRenderTargetView(target_.Get(), nullptr, &view_));
    desc.Usage = D3D10_USAGE_STAGING;
    desc.BindFlags = 0;
    desc.CPUAccessFlags = D3D10_CPU_ACCESS_READ;
    ASSERT_HRESULT_SUCCEEDED(device_->CreateTexture2D(&desc, nullptr, &staging_));
    std::string errors;
    hr = d3dfx::Effect::Create(device_.Get(), kSource, sizeof(kSource) - 1, Desc(), &effect_,
                               &errors);
    ASSERT_HRESULT_SUCCEEDED(hr) << errors;
  }

  // Draws the quad with the technique's pass and returns the four pixels of row 1.
  void Draw(const char* technique_name, UINT32 row[4]) {
    d3dfx::EffectTechnique* technique = effect_->GetTechniqueByName(technique_name);
    ASSERT_NE(technique, nullptr);
    d3dfx::EffectPass* pass = technique->GetPassByIndex(0);
    ASSERT_NE(pass, nullptr);
    D3D10_INPUT_ELEMENT_DESC element = {
        "POSITION", 0, DXGI_FORMAT_R32G32_FLOAT, 0, 0, D3D10_INPUT_PER_VERTEX_DATA, 0};
    ComPtr<ID3D10InputLayout> layout;
    ASSERT_HRESULT_SUCCEEDED(device_->CreateInputLayout(&element, 1, pass->InputSignature(),
                                                        pass->InputSignatureSize(), &layout));
    const float quad[] = {-1, -1, -1, 1, 1, -1, 1, 1};
    D3D10_BUFFER_DESC buffer_desc = {sizeof(quad), D3D10_USAGE_DEFAULT, D3D10_BIND_VERTEX_BUFFER, 0,
                                     0};
    D3D10_SUBRESOURCE_DATA data = {quad, 0, 0};
    ComPtr<ID3D10Buffer> buffer;
    ASSERT_HRESULT_SUCCEEDED(device_->CreateBuffer(&buffer_desc, &data, &buffer));
    const float black[4] = {0, 0, 0, 0};
    device_->ClearRenderTargetView(view_.Get(), black);
    ID3D10RenderTargetView* views[] = {view_.Get()};
    device_->OMSetRenderTargets(1, views, nullptr);
    D3D10_VIEWPORT viewport = {0, 0, 4, 4, 0, 1};
    device_->RSSetViewports(1, &viewport);
    device_->IASetInputLayout(layout.Get());
    UINT stride = 8, offset = 0;
    ID3D10Buffer* buffers[] = {buffer.Get()};
    device_->IASetVertexBuffers(0, 1, buffers, &stride, &offset);
    device_->IASetPrimitiveTopology(D3D10_PRIMITIVE_TOPOLOGY_TRIANGLESTRIP);
    ASSERT_HRESULT_SUCCEEDED(pass->Apply());
    device_->Draw(4, 0);
    device_->CopyResource(staging_.Get(), target_.Get());
    D3D10_MAPPED_TEXTURE2D mapped;
    ASSERT_HRESULT_SUCCEEDED(staging_->Map(0, D3D10_MAP_READ, 0, &mapped));
    memcpy(row, static_cast<unsigned char*>(mapped.pData) + mapped.RowPitch, 16);
    staging_->Unmap(0);
  }

  void SetShift(float x) {
    float m[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, x, 0, 0, 1};
    effect_->GetVariableByName("g_shift")->SetMatrix(m);
  }

  ComPtr<ID3D10Device> device_;
  ComPtr<ID3D10Texture2D> target_, staging_;
  ComPtr<ID3D10RenderTargetView> view_;
  std::unique_ptr<d3dfx::Effect> effect_;
};

TEST_F(EffectTest, FindsTechniquesAndVariablesByName) {
  EXPECT_NE(effect_->GetTechniqueByName("Colour"), nullptr);
  EXPECT_EQ(effect_->GetTechniqueByName("Missing"), nullptr);
  EXPECT_EQ(effect_->GetTechniqueByName("Colour")->PassCount(), 1u);
  EXPECT_EQ(effect_->GetTechniqueByName("Colour")->GetPassByIndex(1), nullptr);
  for (const char* name : {"g_shift", "g_color", "g_scale", "g_texture"})
    EXPECT_NE(effect_->GetVariableByName(name), nullptr) << name;
  EXPECT_EQ(effect_->GetVariableByName("g_missing"), nullptr);
}

// The row-major matrix shifts the quad right by half the target (x + 1 in clip space), so only
// the right two columns are covered; the colour and the scale come from the pixel shader's
// constants, updated between draws.
TEST_F(EffectTest, PassAppliesConstantsOfBothShaders) {
  SetShift(1.0f);
  const float green[4] = {0, 1, 0, 1};
  effect_->GetVariableByName("g_color")->SetFloatVector(green);
  effect_->GetVariableByName("g_scale")->SetFloat(1.0f);
  UINT32 row[4];
  Draw("Colour", row);
  EXPECT_EQ(row[0], 0u);
  EXPECT_EQ(row[1], 0u);
  EXPECT_EQ(row[2], 0xFF00FF00u);
  EXPECT_EQ(row[3], 0xFF00FF00u);

  SetShift(0.0f);
  effect_->GetVariableByName("g_scale")->SetFloat(0.0f);
  Draw("Colour", row);
  for (UINT32 pixel : row) EXPECT_EQ(pixel, 0u);
}

TEST_F(EffectTest, PassBindsTheResourceAndTheSampler) {
  const UINT32 texels[16] = {0xFF0000FF, 0xFF00FF00, 0xFFFF0000, 0xFFFFFFFF,
                             0xFF0000FF, 0xFF00FF00, 0xFFFF0000, 0xFFFFFFFF};
  D3D10_TEXTURE2D_DESC desc = {4,
                               4,
                               1,
                               1,
                               DXGI_FORMAT_R8G8B8A8_UNORM,
                               {1, 0},
                               D3D10_USAGE_DEFAULT,
                               D3D10_BIND_SHADER_RESOURCE,
                               0,
                               0};
  D3D10_SUBRESOURCE_DATA data = {texels, 16, 0};
  ComPtr<ID3D10Texture2D> texture;
  ASSERT_HRESULT_SUCCEEDED(device_->CreateTexture2D(&desc, &data, &texture));
  ComPtr<ID3D10ShaderResourceView> view;
  ASSERT_HRESULT_SUCCEEDED(device_->CreateShaderResourceView(texture.Get(), nullptr, &view));
  SetShift(0.0f);
  effect_->GetVariableByName("g_texture")->SetResource(view.Get());
  UINT32 row[4];
  Draw("Texture", row);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(row[i], texels[4 + i]) << i;
  // A constant cannot take a resource.
  effect_->GetVariableByName("g_color")->SetResource(view.Get());
}

TEST(EffectCreateTest, CompilerErrorsFailTheEffect) {
  ComPtr<ID3D10Device> device;
  ASSERT_HRESULT_SUCCEEDED(D3D10CreateDevice(nullptr, D3D10_DRIVER_TYPE_HARDWARE, nullptr, 0,
                                             D3D10_SDK_VERSION, &device));
  const char broken[] = "float4 VS() : SV_Position { return undefined_name; }";
  d3dfx::EffectDesc desc;
  desc.techniques = {{"T", {{"VS", "VS"}}}};
  std::unique_ptr<d3dfx::Effect> effect;
  std::string errors;
  EXPECT_TRUE(FAILED(
      d3dfx::Effect::Create(device.Get(), broken, sizeof(broken) - 1, desc, &effect, &errors)));
  EXPECT_EQ(effect, nullptr);
  EXPECT_FALSE(errors.empty());
  desc.techniques = {{"T", {{"NoSuchEntry", "NoSuchEntry"}}}};
  EXPECT_TRUE(FAILED(
      d3dfx::Effect::Create(device.Get(), kSource, sizeof(kSource) - 1, desc, &effect, nullptr)));
}

}  // namespace
