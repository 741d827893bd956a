#include "gs_system_impl.h"

#include <climits>
#include <cstring>
#include <memory>
#include <new>

#include "gs_texture_impl.h"
#include "picture_decode.h"
#include "vendra_log.h"

using vendra::Log;
using vendra::ScopedBitmap;
using vendra::ScopedMemoryDc;
using vendra::ScopedSelect;
using vendra::ScopedWindowDc;

gsSystemBase::gsSystemBase() = default;
gsSystemBase::gsSystemBase(const gsSystemBase&) = default;
gsSystemBase::~gsSystemBase() = default;
gsSystemBase& gsSystemBase::operator=(const gsSystemBase&) = default;

namespace {

constexpr COLORREF kGdiColorMask = 0xFFFFFF;

int LastError() { return static_cast<int>(GetLastError()); }

void ClientSize(HWND window, int* width, int* height) {
  RECT rect{};
  GetClientRect(window, &rect);
  *width = rect.right - rect.left > 0 ? rect.right - rect.left : 0;
  *height = rect.bottom - rect.top > 0 ? rect.bottom - rect.top : 0;
}

// A file opened for reading, closed at scope end.
class FileHandle {
 public:
  explicit FileHandle(HANDLE handle) : handle_(handle) {}
  ~FileHandle() { reset(); }
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;
  HANDLE get() const { return handle_; }
  void reset() {
    if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
    handle_ = INVALID_HANDLE_VALUE;
  }

 private:
  HANDLE handle_;
};

gsTextureImpl* AsImpl(gsTextureBase* texture) { return static_cast<gsTextureImpl*>(texture); }

// The device context a texture is drawn from, with its bitmap selected for the scope.
class SourceScope {
 public:
  SourceScope(gsTextureImpl* texture, HDC fallback_dc)
      : dc_(texture->memory_dc() ? texture->memory_dc() : fallback_dc),
        select_(dc_, texture->bitmap()) {}
  HDC dc() const { return select_.Ok() ? dc_ : nullptr; }

 private:
  HDC dc_;
  ScopedSelect select_;
};

}  // namespace

gsSystemImpl::gsSystemImpl(vendra::AlphaBlendFunction alpha_blend) : alpha_blend_(alpha_blend) {}

gsSystemImpl::~gsSystemImpl() {
  for (gsTextureImpl* texture = textures_; texture;) {
    gsTextureImpl* next = texture->next_owned_;
    texture->owner_ = nullptr;
    texture->previous_owned_ = nullptr;
    texture->next_owned_ = nullptr;
    texture = next;
  }
  DropRenderView();
}

void gsSystemImpl::ForgetTexture(gsTextureImpl* texture) {
  if (render_target_ == texture) render_target_ = nullptr;
  if (texture->previous_owned_) {
    texture->previous_owned_->next_owned_ = texture->next_owned_;
  } else {
    textures_ = texture->next_owned_;
  }
  if (texture->next_owned_) texture->next_owned_->previous_owned_ = texture->previous_owned_;
  texture->owner_ = nullptr;
}

int gsSystemImpl::GetSystemType() { return gs::kSystemGdi; }

gsTextureImpl* gsSystemImpl::CreateTexture(int kind, int width, int height, const void* pixels,
                                           bool premultiply) {
  if (width <= 0 || height <= 0 || static_cast<long long>(width) * height > INT_MAX / 4) {
    Log(L"gsSystemImpl::CreateTextureWrite [ERROR] CreateDIBitmap (err=%d)",
        static_cast<int>(ERROR_INVALID_PARAMETER));
    return nullptr;
  }
  BITMAPINFO info = vendra::BottomUpInfo32(width, height);
  std::unique_ptr<std::uint8_t[]> premultiplied;
  if (pixels && premultiply) {
    const std::size_t bytes = static_cast<std::size_t>(width) * height * 4;
    premultiplied.reset(new (std::nothrow) std::uint8_t[bytes]);
    if (!premultiplied) return nullptr;
    const auto* in = static_cast<const std::uint8_t*>(pixels);
    std::uint8_t* out = premultiplied.get();
    for (std::size_t i = 0; i < bytes; i += 4) {
      const double alpha = in[i + 3] / 255.0;
      out[i] = static_cast<std::uint8_t>(in[i] * alpha);
      out[i + 1] = static_cast<std::uint8_t>(in[i + 1] * alpha);
      out[i + 2] = static_cast<std::uint8_t>(in[i + 2] * alpha);
      out[i + 3] = in[i + 3];
    }
    pixels = premultiplied.get();
  }
  ScopedWindowDc screen(nullptr);
  ScopedBitmap bitmap(CreateDIBitmap(screen.Get(), &info.bmiHeader, pixels ? CBM_INIT : 0, pixels,
                                     &info, DIB_RGB_COLORS));
  if (!bitmap) {
    Log(L"gsSystemImpl::CreateTextureWrite [ERROR] CreateDIBitmap (err=%d)", LastError());
    return nullptr;
  }
  ScopedMemoryDc memory_dc;
  if (kind == gs::kTextureRenderTarget || kind == gs::kTextureGdiCompatible) {
    memory_dc.Reset(CreateCompatibleDC(nullptr));
    if (!memory_dc) {
      Log(L"gsSystemImpl::CreateTextureRenderTarget [ERROR] CreateCompatibleDC (err=%d)",
          LastError());
      return nullptr;
    }
  }
  auto* texture = new (std::nothrow)
      gsTextureImpl(kind, bitmap.Get(), memory_dc.Get(), premultiply, width, height);
  if (texture) {
    (void)bitmap.Release();
    (void)memory_dc.Release();
    texture->owner_ = this;
    texture->next_owned_ = textures_;
    if (textures_) textures_->previous_owned_ = texture;
    textures_ = texture;
  }
  return texture;
}

gsTextureBase* gsSystemImpl::CreateTextureRead(int width, int height) {
  return CreateTexture(gs::kTextureRead, width, height, nullptr, true);
}

gsTextureBase* gsSystemImpl::CreateTextureWrite(int width, int height, const void* pixels,
                                                bool premultiply) {
  return CreateTexture(gs::kTextureWrite, width, height, pixels, premultiply);
}

gsTextureBase* gsSystemImpl::CreateTextureReserved1(const void*, int, int) { return nullptr; }

// GDI leaves the alpha byte of what it draws at 0, so render targets are drawn as plain
// copies: with per-pixel alpha their pixels would be added to the background.
gsTextureBase* gsSystemImpl::CreateTextureRenderTarget(int width, int height) {
  return CreateTexture(gs::kTextureRenderTarget, width, height, nullptr, false);
}

gsTextureBase* gsSystemImpl::CreateTextureGdiCompatible(int width, int height) {
  return CreateTexture(gs::kTextureGdiCompatible, width, height, nullptr, false);
}

gsTextureBase* gsSystemImpl::CreateTextureFromFile(const char* path) {
  std::unique_ptr<wchar_t[]> wide_path;
  if (path) {
    int chars = MultiByteToWideChar(CP_UTF8, 0, path, -1, nullptr, 0);
    if (chars > 1) {
      wide_path.reset(new (std::nothrow) wchar_t[static_cast<std::size_t>(chars)]);
      if (wide_path) MultiByteToWideChar(CP_UTF8, 0, path, -1, wide_path.get(), chars);
    }
  }
  if (!wide_path) SetLastError(ERROR_INVALID_NAME);
  FileHandle file(wide_path ? CreateFileW(wide_path.get(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)
                            : INVALID_HANDLE_VALUE);
  if (file.get() == INVALID_HANDLE_VALUE) {
    Log(L"gsSystemImpl::CreateTextureFromFile [ERROR] CreateFile (err=%d)", LastError());
    return nullptr;
  }
  LARGE_INTEGER file_size{};
  if (!GetFileSizeEx(file.get(), &file_size) || file_size.QuadPart <= 0 ||
      file_size.QuadPart > INT_MAX) {
    if (GetLastError() == ERROR_SUCCESS) SetLastError(ERROR_BAD_LENGTH);
    Log(L"gsSystemImpl::CreateTextureFromFile [ERROR] GetFileSize (err=%d)", LastError());
    return nullptr;
  }
  const DWORD size = static_cast<DWORD>(file_size.QuadPart);
  std::unique_ptr<std::uint8_t[]> bytes(new (std::nothrow) std::uint8_t[size]);
  DWORD read = 0;
  if (!bytes) SetLastError(ERROR_OUTOFMEMORY);
  if (!bytes || !ReadFile(file.get(), bytes.get(), size, &read, nullptr) || read != size) {
    if (GetLastError() == ERROR_SUCCESS) SetLastError(ERROR_HANDLE_EOF);
    Log(L"gsSystemImpl::CreateTextureFromFile [ERROR] ReadFile (err=%d)", LastError());
    return nullptr;
  }
  file.reset();
  return CreatePictureTexture(bytes.get(), static_cast<int>(size));
}

gsTextureBase* gsSystemImpl::CreateTextureReserved2(const void*, int, int) { return nullptr; }

gsTextureBase* gsSystemImpl::CreateTextureFromMemory(const void* data, int size) {
  if (!data || size <= 0) return nullptr;
  return CreatePictureTexture(data, size);
}

gsTextureImpl* gsSystemImpl::CreatePictureTexture(const void* data, int size) {
  vendra::Picture picture;
  if (!vendra::DecodePicture(data, size, &picture)) {
    Log(L"gsSystemImpl::CreateTextureFromFile [ERROR] stbi_load_from_memory (err=%d)", 0);
    return nullptr;
  }
  if (!vendra::ShrinkPicture(&picture)) {
    Log(L"gsSystemImpl::CreateTextureFromFile [ERROR] StretchDIBits (err=%d)", LastError());
    return nullptr;
  }
  return CreateTexture(gs::kTextureWrite, picture.width, picture.height, picture.pixels.get(),
                       true);
}

bool gsSystemImpl::CopyTexture(gsTextureBase* destination, gsTextureBase* source) {
  if (!destination || !source) {
    Log(L"gsSystemImpl::CopyTexture [ERROR] Src or Dest Null");
    return false;
  }
  // The copy covers the whole texture, so the two must be of one size.
  if (destination->GetWidth() != source->GetWidth() ||
      destination->GetHeight() != source->GetHeight()) {
    Log(L"gsSystemImpl::CopyTexture [ERROR] Size (%dx%d to %dx%d)", source->GetWidth(),
        source->GetHeight(), destination->GetWidth(), destination->GetHeight());
    return false;
  }
  void* source_pixels = nullptr;
  int pitch = 0;
  if (!source->Map(&source_pixels, &pitch, true)) {
    Log(L"gsSystemImpl::CopyTexture [ERROR] Map Src");
    return false;
  }
  void* destination_pixels = nullptr;
  if (!destination->Map(&destination_pixels, &pitch, false)) {
    source->Unmap();
    Log(L"gsSystemImpl::CopyTexture [ERROR] Map Dest");
    return false;
  }
  std::memmove(destination_pixels, source_pixels,
               static_cast<std::size_t>(source->GetWidth()) * source->GetHeight() * 4);
  source->Unmap();
  destination->Unmap();
  return true;
}

int gsSystemImpl::SetDrawMode(int mode) {
  int previous = draw_mode_;
  draw_mode_ = mode;
  return previous;
}

void gsSystemImpl::SetGamma(float gamma) { gamma_ = gamma; }
void gsSystemImpl::SetColorType(int pixel_code) { color_type_ = pixel_code; }
void gsSystemImpl::SetBackColor(gs::Color color) { back_color_ = color & kGdiColorMask; }
void gsSystemImpl::SetOption1(int value) { options_[0] = value; }
void gsSystemImpl::SetOption2(int value) { options_[1] = value; }
void gsSystemImpl::SetOption3(int value) { options_[2] = value; }
void gsSystemImpl::SetOption4(int value) { options_[3] = value; }
void gsSystemImpl::SetOption5(int value) { options_[4] = value; }
void gsSystemImpl::SetOption6(int value) { options_[5] = value; }
void gsSystemImpl::SetOption7(int value) { options_[6] = value; }
void gsSystemImpl::SetOption8(int value) { options_[7] = value; }
void gsSystemImpl::SetColorKey(gs::Color color) { color_key_ = color & kGdiColorMask; }

gsTextureBase* gsSystemImpl::SetRenderTarget(gsTextureBase* texture) {
  gsTextureBase* previous = render_target_;
  render_target_ = AsImpl(texture);
  return previous;
}

HWND gsSystemImpl::SetWindow(HWND window) {
  HWND previous = window_;
  if (window && IsWindow(window)) {
    int width = 0;
    int height = 0;
    ClientSize(window, &width, &height);
    if (window == window_) {
      if (width != window_width_ || height != window_height_) {
        window_width_ = width;
        window_height_ = height;
        ScopedWindowDc window_dc(window);
        BuildRenderView(window_dc.Get(), width, height);
      }
    } else if (BuildRenderDC(window, width, height)) {
      window_ = window;
      window_width_ = width;
      window_height_ = height;
    }
  } else {
    DropRenderView();
    memory_dc_.Reset();
    window_ = window;
    window_width_ = 0;
    window_height_ = 0;
  }
  if (previous != window_ && previous && IsWindow(previous)) {
    UpdateWindow(previous);
    InvalidateRect(previous, nullptr, TRUE);
  }
  return previous;
}

bool gsSystemImpl::BuildRenderDC(HWND window, int width, int height) {
  ScopedWindowDc window_dc(window);
  ScopedMemoryDc memory_dc(CreateCompatibleDC(window_dc.Get()));
  if (!memory_dc) {
    Log(L"gsSystemImpl::BuildRenderDC [ERROR] CreateCompatibleDC (err=%d)", LastError());
    return false;
  }
  // The new context replaces the old one only when its back bitmap could be made too.
  ScopedMemoryDc old_dc = std::move(memory_dc_);
  ScopedBitmap old_bitmap = std::move(back_bitmap_);
  HGDIOBJ old_displaced = std::exchange(back_displaced_, nullptr);
  memory_dc_ = std::move(memory_dc);
  if (!BuildRenderView(window_dc.Get(), width, height)) {
    memory_dc_ = std::move(old_dc);
    back_bitmap_ = std::move(old_bitmap);
    back_displaced_ = old_displaced;
    return false;
  }
  if (old_displaced) SelectObject(old_dc.Get(), old_displaced);
  return true;
}

bool gsSystemImpl::BuildRenderView(HDC window_dc, int width, int height) {
  DropRenderView();
  if (width <= 0 || height <= 0) return true;
  ScopedBitmap bitmap(CreateCompatibleBitmap(window_dc, width, height));
  if (!bitmap) {
    Log(L"gsSystemImpl::BuildRenderView [ERROR] CreateCompatibleBitmap (err=%d)", LastError());
    return false;
  }
  HGDIOBJ displaced = SelectObject(memory_dc_.Get(), bitmap.Get());
  if (!displaced) return false;
  back_displaced_ = displaced;
  back_bitmap_ = std::move(bitmap);
  return true;
}

void gsSystemImpl::DropRenderView() {
  if (back_displaced_) SelectObject(memory_dc_.Get(), back_displaced_);
  back_displaced_ = nullptr;
  back_bitmap_.Reset();
}

void gsSystemImpl::CheckWindowSize() {
  if (!window_ || !IsWindow(window_) || !memory_dc_) return;
  int width = 0;
  int height = 0;
  ClientSize(window_, &width, &height);
  if (width == window_width_ && height == window_height_) return;
  window_width_ = width;
  window_height_ = height;
  ScopedWindowDc window_dc(window_);
  BuildRenderView(window_dc.Get(), width, height);
}

void gsSystemImpl::Fill(int left, int top, int right, int bottom, gs::Color color) {
  HDC dc = nullptr;
  HBITMAP bitmap = nullptr;
  if (render_target_) {
    dc = render_target_->memory_dc();
    bitmap = render_target_->bitmap();
  } else {
    dc = memory_dc_.Get();
    bitmap = back_bitmap_.Get();
  }
  if (!dc || !bitmap) return;
  // The back bitmap stays selected; a texture's bitmap is selected for the fill only.
  ScopedSelect select(render_target_ ? dc : nullptr, bitmap);
  RECT rect{left, top, right, bottom};
  COLORREF previous = SetBkColor(dc, color & kGdiColorMask);
  ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &rect, nullptr, 0, nullptr);
  SetBkColor(dc, previous);
}

void gsSystemImpl::Clear(gs::Color color) {
  // The whole target: the texture's own size when a texture is the target.
  if (render_target_) {
    Fill(0, 0, render_target_->GetWidth(), render_target_->GetHeight(), color);
  } else {
    Fill(0, 0, window_width_, window_height_, color);
  }
}

void gsSystemImpl::DrawSolid(int left, int top, int right, int bottom, gs::Color color) {
  Fill(left, top, right, bottom, color);
}

HDC gsSystemImpl::SourceDc() {
  if (!source_dc_) source_dc_.Reset(CreateCompatibleDC(nullptr));
  return source_dc_.Get();
}

void gsSystemImpl::DrawTexture(gsTextureBase* texture_base, int left, int top, int right,
                               int bottom, gs::Color /*color*/, float u_left, float u_right,
                               float v_top, float v_bottom) {
  gsTextureImpl* texture = AsImpl(texture_base);
  if (!texture || !texture->bitmap()) return;
  HDC target = render_target_ ? render_target_->memory_dc() : memory_dc_.Get();
  HBITMAP target_bitmap = render_target_ ? render_target_->bitmap() : back_bitmap_.Get();
  if (!target || !target_bitmap) return;
  ScopedSelect select_target(render_target_ ? target : nullptr, target_bitmap);

  const int width = texture->GetWidth();
  const int height = texture->GetHeight();
  const int sx = static_cast<int>(u_left * width);
  const int sy = static_cast<int>(v_top * height);
  const int sw = static_cast<int>((u_right - u_left) * width);
  const int sh = static_cast<int>((v_bottom - v_top) * height);
  const int dx = left;
  const int dy = top;
  const int dw = right - left;
  const int dh = bottom - top;

  SourceScope source(texture, texture->memory_dc() ? nullptr : SourceDc());
  if (!source.dc()) return;

  if (draw_mode_ == gs::vendra::kDrawColorKey) {
    DrawColorKeyed(target, source.dc(), dx, dy, dw, dh, sx, sy, sw, sh);
    return;
  }
  if (texture->premultiplied() && alpha_blend_) {
    BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    alpha_blend_(target, dx, dy, dw, dh, source.dc(), sx, sy, sw, sh, blend);
  } else if (dw == sw && dh == sh && dw > 0 && dh > 0) {
    BitBlt(target, dx, dy, dw, dh, source.dc(), sx, sy, SRCCOPY);
  } else if (dw == sw && dh == sh) {
    StretchBlt(target, dx, dy, dw, dh, source.dc(), sx, sy, sw, sh, SRCCOPY);
  } else if ((dw == -sw && dh == sh) || (dw == sw && dh == -sh)) {
    // A mirror keeps the current stretch mode.
    StretchBlt(target, dx, dy, dw, dh, source.dc(), sx, sy, sw, sh, SRCCOPY);
  } else {
    vendra::ScopedHalftone halftone(target);
    StretchBlt(target, dx, dy, dw, dh, source.dc(), sx, sy, sw, sh, SRCCOPY);
  }
}

void gsSystemImpl::DrawColorKeyed(HDC target, HDC source, int dx, int dy, int dw, int dh, int sx,
                                  int sy, int sw, int sh) {
  if (sw <= 0 || sh <= 0) return;
  // The source region as 24-bit pixels, so that the key compares with colour bytes only.
  BITMAPINFO info = vendra::BottomUpInfo32(sw, sh);
  info.bmiHeader.biBitCount = 24;
  void* bits = nullptr;
  ScopedBitmap image(CreateDIBSection(target, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  ScopedBitmap mask(CreateBitmap(sw, sh, 1, 1, nullptr));
  ScopedMemoryDc image_dc(CreateCompatibleDC(target));
  ScopedMemoryDc mask_dc(CreateCompatibleDC(target));
  if (!image || !mask || !image_dc || !mask_dc) return;
  ScopedSelect select_image(image_dc.Get(), image.Get());
  ScopedSelect select_mask(mask_dc.Get(), mask.Get());
  BitBlt(image_dc.Get(), 0, 0, sw, sh, source, sx, sy, SRCCOPY);

  // Mask: 1 where the image has the key colour, 0 elsewhere.
  SetBkColor(image_dc.Get(), color_key_);
  BitBlt(mask_dc.Get(), 0, 0, sw, sh, image_dc.Get(), 0, 0, SRCCOPY);
  // Key pixels of the image turn black.
  SetBkColor(image_dc.Get(), RGB(0, 0, 0));
  SetTextColor(image_dc.Get(), RGB(255, 255, 255));
  BitBlt(image_dc.Get(), 0, 0, sw, sh, mask_dc.Get(), 0, 0, SRCAND);

  // Target: clear the non-key pixels through the mask, then add the image.
  COLORREF previous_back = SetBkColor(target, RGB(255, 255, 255));
  COLORREF previous_text = SetTextColor(target, RGB(0, 0, 0));
  {
    vendra::ScopedHalftone halftone(target);
    StretchBlt(target, dx, dy, dw, dh, mask_dc.Get(), 0, 0, sw, sh, SRCAND);
    StretchBlt(target, dx, dy, dw, dh, image_dc.Get(), 0, 0, sw, sh, SRCPAINT);
  }
  SetBkColor(target, previous_back);
  SetTextColor(target, previous_text);
}

void gsSystemImpl::Reserved30(int, int) {}

bool gsSystemImpl::Present(int /*reserved*/) {
  if (render_target_ || !window_ || !IsWindow(window_) || !back_bitmap_) return false;
  ScopedWindowDc window_dc(window_);
  if (!window_dc) return false;
  int width = 0;
  int height = 0;
  ClientSize(window_, &width, &height);
  if (width == window_width_ && height == window_height_) {
    return BitBlt(window_dc.Get(), 0, 0, width, height, memory_dc_.Get(), 0, 0, SRCCOPY) != 0;
  }
  vendra::ScopedHalftone halftone(window_dc.Get());
  return StretchBlt(window_dc.Get(), 0, 0, width, height, memory_dc_.Get(), 0, 0, window_width_,
                    window_height_, SRCCOPY) != 0;
}

bool gsSystemImpl::GetBlendEnable() { return blend_enable_; }
void gsSystemImpl::SetBlendEnable(bool enable) { blend_enable_ = enable; }
void gsSystemImpl::SetOrtho(int, int, int, int, int, int) {}
void gsSystemImpl::SetFrustum(int, int, int, int, int, int) {}
void gsSystemImpl::SetViewport(int, int, int, int) {}
