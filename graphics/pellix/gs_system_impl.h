#pragma once

// gsSystemImpl: Pellix's graphics system over Direct3D 10.1 and DXGI. It picks an adapter,
// creates a device with a feature-level fallback (10.1, 10.0, 9.3), builds its effect from the
// library's resources, keeps one swap chain for the window it draws into and draws solid and
// textured rectangles with an orthographic or perspective projection and an optional rotation.
//
// Created complete by Create() or not at all. Textures it makes are deleted before it. One
// thread at a time; the user serialises calls.

#include <d3d10_1.h>
#include <dxgi.h>
#include <wrl/client.h>

#include <cstdint>
#include <memory>

#include "graphics/include/pellix_interface.h"
#include "platform/d3dfx/effect.h"

class gsTextureImpl;

class gsSystemImpl : public gsSystemBase {
 public:
  // Builds a complete system, or returns null after logging the failing step.
  static gsSystemImpl* Create();
  ~gsSystemImpl() override;
  gsSystemImpl(const gsSystemImpl&) = delete;
  gsSystemImpl& operator=(const gsSystemImpl&) = delete;

  int GetSystemType() override { return gs::kSystemDirect3D; }
  gsTextureBase* CreateTextureRead(int width, int height) override;
  gsTextureBase* CreateTextureWrite(int width, int height, const void* pixels, bool rgba) override;
  gsTextureBase* CreateTextureRenderTarget(int width, int height) override;
  gsTextureBase* CreateTextureGdiCompatible(int width, int height) override;
  gsTextureBase* CreateTextureFromFile(const char* path) override;
  gsTextureBase* CreateTextureFromMemory(const void* data, int size) override;
  // False unless both textures exist, differ, and have the same size and pixel format.
  bool CopyTexture(gsTextureBase* destination, gsTextureBase* source) override;

  int SetDrawMode(int mode) override;
  void SetGamma(float gamma) override { gamma_ = gamma; }
  void SetColorType(int pixel_code) override { color_type_ = pixel_code; }
  gsTextureBase* SetRenderTarget(gsTextureBase* texture) override;
  HWND SetWindow(HWND window) override;
  void CheckWindowSize() override;
  void Clear(gs::Color color) override;
  void DrawSolid(int left, int top, int right, int bottom, gs::Color color) override;
  void DrawTexture(gsTextureBase* texture, int left, int top, int right, int bottom,
                   gs::Color color, float u_left, float u_right, float v_top,
                   float v_bottom) override;
  // False while a render-target texture is current, without a swap chain, after the window was
  // destroyed, or when presenting fails.
  bool Present() override;
  bool GetBlendEnable() override { return blend_enable_; }
  void SetBlendEnable(bool enable) override { blend_enable_ = enable; }
  void SetOrtho(int left, int right, int bottom, int top, int near_z, int far_z) override;
  void SetFrustum(int left, int right, int bottom, int top, int near_z, int far_z) override;
  void SetViewport(int x, int y, int width, int height) override;
  float GetRotation() override { return rotation_; }
  void SetRotation(float degrees) override { rotation_ = degrees; }

  // Called by a texture this system made while it is deleted: the system keeps no pointer to
  // it (a deleted render target returns drawing to the window).
  void ForgetTexture(gsTextureImpl* texture);

  ID3D10Device1* device() const { return device_.Get(); }
  IDXGISwapChain* swap_chain() const { return swap_chain_.Get(); }

 private:
  enum Technique {
    kTechSolid,
    kTechTextureRGB,
    kTechTextureI420,
    kTechTextureYV12,
    kTechTextureYVYU,
    kTechTextureYUY2,
    kTechTextureUYVY,
    kTechTextureHDYC,
    kTechYUVTexture,
    kTechAlphaIgnore,
    kTechniqueCount
  };

  gsSystemImpl();
  bool Build();
  bool BulidDevice();
  bool BulidFX();
  bool BuildSolidLayout();
  bool BuildSolidBuffer();
  bool BuildTextureLayout();
  bool BuildTextureBuffer();
  bool BuildBlendState();
  bool BuildDepthStencilState();
  bool BuildRasterizerState();
  bool BulidSwapChain();
  bool BulidSwapChainView(int width, int height);
  void ReleaseSwapChain();
  // Binds the current render-target texture's view, else the back buffer's, as the only target.
  void BindCurrentTarget();
  d3dfx::EffectTechnique* PickTechnique() const;
  void SetWorldMatrix();
  void DrawQuad(d3dfx::EffectTechnique* technique, ID3D10InputLayout* layout, ID3D10Buffer* buffer,
                UINT stride);
  // The largest width or height of a texture at the device's feature level.
  int MaxTextureSize() const;
  gsTextureBase* MakeTexture(const char* operation, int kind, int width, int height,
                             DXGI_FORMAT format, D3D10_USAGE usage, UINT bind, UINT cpu_access,
                             UINT misc, const void* pixels);

  Microsoft::WRL::ComPtr<IDXGIFactory1> factory_;
  Microsoft::WRL::ComPtr<IDXGIAdapter1> adapter_;
  Microsoft::WRL::ComPtr<ID3D10Device1> device_;
  Microsoft::WRL::ComPtr<IDXGISwapChain> swap_chain_;
  Microsoft::WRL::ComPtr<ID3D10RenderTargetView> back_buffer_view_;
  Microsoft::WRL::ComPtr<ID3D10BlendState> blend_state_;
  Microsoft::WRL::ComPtr<ID3D10DepthStencilState> depth_stencil_state_;
  Microsoft::WRL::ComPtr<ID3D10RasterizerState> rasterizer_state_;
  std::unique_ptr<d3dfx::Effect> effect_;
  d3dfx::EffectTechnique* techniques_[kTechniqueCount] = {};
  Microsoft::WRL::ComPtr<ID3D10InputLayout> solid_layout_;
  Microsoft::WRL::ComPtr<ID3D10Buffer> solid_buffer_;
  Microsoft::WRL::ComPtr<ID3D10InputLayout> texture_layout_;
  Microsoft::WRL::ComPtr<ID3D10Buffer> texture_buffer_;
  d3dfx::EffectVariable* world_matrix_variable_ = nullptr;
  d3dfx::EffectVariable* texture_variable_ = nullptr;
  d3dfx::EffectVariable* gamma_variable_ = nullptr;
  d3dfx::EffectVariable* output_color_variable_ = nullptr;
  float view_[16];
  float projection_[16];
  float world_[16];
  float gamma_ = 1.0f;
  float rotation_ = 0.0f;
  HWND window_ = nullptr;
  int window_width_ = 0;
  int window_height_ = 0;
  gsTextureImpl* render_target_ = nullptr;
  int draw_mode_ = 0;
  int color_type_ = gs::pellix::kRGB32;
  bool blend_enable_ = false;
  ULONG_PTR gdiplus_token_ = 0;
};

namespace pellix {
// Adapter 1 is used when both were found and adapter 0 has less dedicated video memory;
// otherwise adapter 0 when found. -1 when there is no adapter.
int ChooseAdapter(bool found0, std::uint64_t video_memory0, bool found1,
                  std::uint64_t video_memory1);
}  // namespace pellix
