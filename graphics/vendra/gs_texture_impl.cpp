#include "gs_texture_impl.h"

#include <cstring>
#include <new>

#include "frame_convert.h"
#include "gs_system_impl.h"
#include "vendra_log.h"

using vendra::Log;

gsTextureBase::gsTextureBase() = default;
gsTextureBase::gsTextureBase(const gsTextureBase&) = default;
gsTextureBase::~gsTextureBase() = default;
gsTextureBase& gsTextureBase::operator=(const gsTextureBase&) = default;

gsTextureImpl::gsTextureImpl(int kind, HBITMAP bitmap, HDC memory_dc, bool premultiplied, int width,
                             int height)
    : kind_(kind),
      bitmap_(bitmap),
      memory_dc_(memory_dc),
      premultiplied_(premultiplied),
      width_(width),
      height_(height) {}

gsTextureImpl::~gsTextureImpl() {
  if (owner_) owner_->ForgetTexture(this);
  ReleaseDC();
}

int gsTextureImpl::GetType() { return kind_; }
int gsTextureImpl::GetWidth() { return width_; }
int gsTextureImpl::GetHeight() { return height_; }

bool gsTextureImpl::Map(void** data, int* pitch, bool read) {
  if (!bitmap_ || !data) return false;
  if (pitch) *pitch = width_ * 4;
  mapped_for_read_ = read;
  if (!shadow_) {
    shadow_.reset(new (std::nothrow) std::uint8_t[static_cast<std::size_t>(width_) * height_ * 4]);
    if (!shadow_) return false;
  }
  GdiFlush();
  BITMAPINFO info = vendra::BottomUpInfo32(width_, height_);
  vendra::ScopedWindowDc screen(nullptr);
  int rows =
      GetDIBits(screen.Get(), bitmap_.Get(), 0, height_, shadow_.get(), &info, DIB_RGB_COLORS);
  if (rows != height_) return false;
  mapped_ = true;
  *data = shadow_.get();
  return true;
}

bool gsTextureImpl::MapForWrite(bool overwrites_all, std::uint8_t** pixels) {
  if (!overwrites_all) {
    void* data = nullptr;
    if (!Map(&data, nullptr, false)) return false;
    *pixels = static_cast<std::uint8_t*>(data);
    return true;
  }
  if (!bitmap_) return false;
  if (!shadow_) {
    shadow_.reset(new (std::nothrow) std::uint8_t[static_cast<std::size_t>(width_) * height_ * 4]);
    if (!shadow_) return false;
  }
  mapped_ = true;
  mapped_for_read_ = false;
  *pixels = shadow_.get();
  return true;
}

void gsTextureImpl::Unmap() { UnmapChecked(); }

bool gsTextureImpl::UnmapChecked() {
  if (!mapped_) return false;
  mapped_ = false;
  if (mapped_for_read_) return true;
  BITMAPINFO info = vendra::BottomUpInfo32(width_, height_);
  vendra::ScopedWindowDc screen(nullptr);
  int rows =
      SetDIBits(screen.Get(), bitmap_.Get(), 0, height_, shadow_.get(), &info, DIB_RGB_COLORS);
  if (rows != height_) {
    Log(L"gsSystemImpl::gsTextureImpl [ERROR] Unmap (err=%d)", static_cast<int>(GetLastError()));
    return false;
  }
  return true;
}

bool gsTextureImpl::GetData(void* destination, int* size, int pixel_code, int /*reserved*/) {
  using gs::vendra::PixelCode;
  // Only RGB32 and I420 can be read back; other codes are refused rather than left unwritten.
  if (pixel_code != PixelCode::kRGB32 && pixel_code != PixelCode::kI420) return false;
  if (size) *size = static_cast<int>(vendra::FrameBytes(pixel_code, width_, height_));
  if (!destination) return true;

  void* data = nullptr;
  if (!Map(&data, nullptr, true)) {
    Log(L"gsTextureImpl::GetData Map [ERROR]");
    return false;
  }
  const auto* pixels = static_cast<const std::uint8_t*>(data);
  if (pixel_code == PixelCode::kRGB32) {
    std::memcpy(destination, pixels, static_cast<std::size_t>(width_) * height_ * 4);
  } else {
    vendra::PixelsToI420(pixels, width_, height_, static_cast<std::uint8_t*>(destination));
  }
  Unmap();
  return true;
}

bool gsTextureImpl::SetData(const void* source, int size, int pixel_code, bool flip) {
  const std::int64_t expected = vendra::FrameBytes(pixel_code, width_, height_);
  if (expected < 0) return true;  // Unknown codes change nothing.
  if (!source || size != expected) {
    Log(L"gsTextureImpl::SetData [ERROR]  - Width(%d) Height(%d) Size(%d) type(%d) (0X%08X)",
        width_, height_, size, pixel_code, static_cast<unsigned>(expected));
    return false;
  }
  // YUV frames with an odd width or height leave their last column or row as it was.
  using gs::vendra::PixelCode;
  const bool rgb = pixel_code == PixelCode::kRGB24 || pixel_code == PixelCode::kRGB32;
  const bool overwrites_all = rgb || ((width_ & 1) == 0 && (height_ & 1) == 0);
  std::uint8_t* pixels = nullptr;
  if (!MapForWrite(overwrites_all, &pixels)) {
    Log(L"gsTextureImpl::SetData Map [ERROR]");
    return false;
  }
  vendra::ConvertFrame(pixel_code, static_cast<const std::uint8_t*>(source), width_, height_, flip,
                       pixels);
  return UnmapChecked();
}

bool gsTextureImpl::GetDC(HDC* dc) {
  if (!memory_dc_ || !dc) return false;
  HGDIOBJ displaced = SelectObject(memory_dc_.Get(), bitmap_.Get());
  if (!displaced) return false;
  // A second GetDC displaces the bitmap itself; keep the first displaced object.
  if (!displaced_) displaced_ = displaced;
  *dc = memory_dc_.Get();
  return true;
}

void gsTextureImpl::ReleaseDC() {
  if (!displaced_) return;
  SelectObject(memory_dc_.Get(), displaced_);
  displaced_ = nullptr;
}
