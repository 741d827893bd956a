#pragma once

// gsTextureImpl: a Direct3D 10 2D texture of one of four kinds (gs::TextureKind) with its views.
// Created by gsSystemImpl; deleted by its user before the system, which it tells of its going.
// One thread at a time.

#include <d3d10_1.h>
#include <dxgi.h>
#include <wrl/client.h>

#include "graphics/include/pellix_interface.h"

class gsSystemImpl;

class gsTextureImpl : public gsTextureBase {
 public:
  // `owner` (not owned) made the texture and outlives it.
  gsTextureImpl(gsSystemImpl* owner, int kind, Microsoft::WRL::ComPtr<ID3D10Texture2D> texture,
                Microsoft::WRL::ComPtr<ID3D10ShaderResourceView> shader_view,
                Microsoft::WRL::ComPtr<ID3D10RenderTargetView> target_view, int width, int height);
  ~gsTextureImpl() override;
  gsTextureImpl(const gsTextureImpl&) = delete;
  gsTextureImpl& operator=(const gsTextureImpl&) = delete;

  int GetType() override { return kind_; }
  int GetWidth() override { return width_; }
  int GetHeight() override { return height_; }
  bool Map(void** data, int* pitch, bool read) override;
  void Unmap() override;
  // Read-back textures only (the texture is mapped for reading). RGB32 comes top-down, RGB24
  // bottom-up, I420 from texels that the RGB-to-YUV technique wrote (U, Y, V in bytes 0 to 2).
  bool GetData(void* destination, int* size, int pixel_code) override;
  // Writable textures only. The size must match the code exactly; an unknown code or a wrong
  // size is refused and leaves the texture unchanged.
  bool SetData(const void* source, int size, int pixel_code) override;
  bool GetDC(HDC* dc) override;
  void ReleaseDC() override;

  ID3D10Texture2D* texture() const { return texture_.Get(); }
  ID3D10ShaderResourceView* shader_view() const { return shader_view_.Get(); }
  ID3D10RenderTargetView* target_view() const { return target_view_.Get(); }
  DXGI_FORMAT format() const;

 private:
  gsSystemImpl* owner_;
  int kind_;
  Microsoft::WRL::ComPtr<ID3D10Texture2D> texture_;
  Microsoft::WRL::ComPtr<ID3D10ShaderResourceView> shader_view_;
  Microsoft::WRL::ComPtr<ID3D10RenderTargetView> target_view_;
  Microsoft::WRL::ComPtr<IDXGISurface1> dc_surface_;  // held while a device context is out
  int width_;
  int height_;
};
