#include "graphics/pellix/gs_texture_impl.h"

#include <cstdint>
#include <utility>

#include "graphics/pellix/gs_system_impl.h"
#include "graphics/pellix/pellix_log.h"
#include "graphics/pellix/texel_packing.h"

using Microsoft::WRL::ComPtr;

gsTextureImpl::gsTextureImpl(gsSystemImpl* owner, int kind, ComPtr<ID3D10Texture2D> texture,
                             ComPtr<ID3D10ShaderResourceView> shader_view,
                             ComPtr<ID3D10RenderTargetView> target_view, int width, int height)
    : owner_(owner),
      kind_(kind),
      texture_(std::move(texture)),
      shader_view_(std::move(shader_view)),
      target_view_(std::move(target_view)),
      width_(width),
      height_(height) {}

gsTextureImpl::~gsTextureImpl() {
  ReleaseDC();
  if (owner_) owner_->ForgetTexture(this);
}

DXGI_FORMAT gsTextureImpl::format() const {
  D3D10_TEXTURE2D_DESC desc;
  texture_->GetDesc(&desc);
  return desc.Format;
}

bool gsTextureImpl::Map(void** data, int* pitch, bool read) {
  if (!data || !pitch || !texture_) return false;
  D3D10_MAPPED_TEXTURE2D mapped;
  HRESULT hr = texture_->Map(0, read ? D3D10_MAP_READ : D3D10_MAP_WRITE_DISCARD, 0, &mapped);
  if (FAILED(hr)) {
    pellix::Log("gsTextureImpl::Map [ERROR] hr = %08lx", hr);
    return false;
  }
  *data = mapped.pData;
  *pitch = static_cast<int>(mapped.RowPitch);
  return true;
}

void gsTextureImpl::Unmap() {
  if (texture_) texture_->Unmap(0);
}

bool gsTextureImpl::GetData(void* destination, int* size, int pixel_code) {
  if (size) *size = pellix::ReadbackFrameSize(pixel_code, width_, height_);
  if (!destination) return true;
  if (!texture_) return false;
  D3D10_MAPPED_TEXTURE2D mapped;
  HRESULT hr = texture_->Map(0, D3D10_MAP_READ, 0, &mapped);
  if (FAILED(hr)) {
    pellix::Log("gsTextureImpl::GetData Map [ERROR]");
    return false;
  }
  bool converted =
      pellix::UnpackTexels(static_cast<const std::uint8_t*>(mapped.pData), mapped.RowPitch, width_,
                           height_, pixel_code, static_cast<std::uint8_t*>(destination));
  texture_->Unmap(0);
  if (!converted) pellix::Log("gsTextureImpl::GetData MapColorType [ERROR]");
  return converted;
}

bool gsTextureImpl::SetData(const void* source, int size, int pixel_code) {
  const int expected = pellix::UploadFrameSize(pixel_code, width_, height_);
  if (expected < 0) {
    pellix::Log("gsTextureImpl::SetData [ERROR] unknown type(%d)", pixel_code);
    return false;
  }
  if (!source || size != expected) {
    pellix::Log("gsTextureImpl::SetData [ERROR]  - Width(%d) Height(%d) Size(%d) type(%d) (%08x)",
                width_, height_, size, pixel_code, static_cast<unsigned>(expected));
    return false;
  }
  if (!texture_) return false;
  D3D10_MAPPED_TEXTURE2D mapped;
  HRESULT hr = texture_->Map(0, D3D10_MAP_WRITE_DISCARD, 0, &mapped);
  if (FAILED(hr)) {
    pellix::Log("gsTextureImpl::SetData Map [ERROR]");
    return false;
  }
  pellix::PackFrame(static_cast<const std::uint8_t*>(source), pixel_code, width_, height_,
                    static_cast<std::uint8_t*>(mapped.pData), static_cast<int>(mapped.RowPitch));
  texture_->Unmap(0);
  return true;
}

bool gsTextureImpl::GetDC(HDC* dc) {
  if (!dc || kind_ != gs::kTextureGdiCompatible || !texture_ || dc_surface_) return false;
  ComPtr<IDXGISurface1> surface;
  HRESULT hr = texture_.As(&surface);
  if (FAILED(hr)) {
    pellix::Log("gsTextureImpl::QueryInterface IDXGISurface1 [ERROR] hr = %08lx", hr);
    return false;
  }
  // Discard: GDI starts from undefined contents rather than the texture's pixels.
  hr = surface->GetDC(TRUE, dc);
  if (FAILED(hr)) {
    pellix::Log("gsTextureImpl::GetDC [ERROR] hr = %08lx", hr);
    return false;
  }
  dc_surface_ = surface;
  return true;
}

void gsTextureImpl::ReleaseDC() {
  if (!dc_surface_) return;
  dc_surface_->ReleaseDC(nullptr);
  dc_surface_.Reset();
}
