#pragma once

// Single owners of the GDI objects Vendra creates: bitmaps, memory device contexts, the screen
// device context and a selection that is undone at scope end. Move-only where moving is useful.

#include <windows.h>

#include <utility>

namespace vendra {

// A GDI object (bitmap, brush, region) deleted with DeleteObject.
template <typename T>
class ScopedGdiObject {
 public:
  ScopedGdiObject() = default;
  explicit ScopedGdiObject(T object) : object_(object) {}
  ~ScopedGdiObject() { Reset(); }
  ScopedGdiObject(const ScopedGdiObject&) = delete;
  ScopedGdiObject& operator=(const ScopedGdiObject&) = delete;
  ScopedGdiObject(ScopedGdiObject&& other) noexcept : object_(other.Release()) {}
  ScopedGdiObject& operator=(ScopedGdiObject&& other) noexcept {
    if (this != &other) Reset(other.Release());
    return *this;
  }

  void Reset(T object = nullptr) {
    if (object_) {
      DWORD error = GetLastError();
      DeleteObject(object_);
      SetLastError(error);
    }
    object_ = object;
  }
  [[nodiscard]] T Release() { return std::exchange(object_, nullptr); }
  T Get() const { return object_; }
  explicit operator bool() const { return object_ != nullptr; }

 private:
  T object_ = nullptr;
};

using ScopedBitmap = ScopedGdiObject<HBITMAP>;

// A memory device context deleted with DeleteDC.
class ScopedMemoryDc {
 public:
  ScopedMemoryDc() = default;
  explicit ScopedMemoryDc(HDC dc) : dc_(dc) {}
  ~ScopedMemoryDc() { Reset(); }
  ScopedMemoryDc(const ScopedMemoryDc&) = delete;
  ScopedMemoryDc& operator=(const ScopedMemoryDc&) = delete;
  ScopedMemoryDc(ScopedMemoryDc&& other) noexcept : dc_(std::exchange(other.dc_, nullptr)) {}
  ScopedMemoryDc& operator=(ScopedMemoryDc&& other) noexcept {
    if (this != &other) Reset(std::exchange(other.dc_, nullptr));
    return *this;
  }

  void Reset(HDC dc = nullptr) {
    if (dc_) {
      DWORD error = GetLastError();
      DeleteDC(dc_);
      SetLastError(error);
    }
    dc_ = dc;
  }
  [[nodiscard]] HDC Release() { return std::exchange(dc_, nullptr); }
  HDC Get() const { return dc_; }
  explicit operator bool() const { return dc_ != nullptr; }

 private:
  HDC dc_ = nullptr;
};

// The device context of a window (or of the screen for null), released at scope end.
class ScopedWindowDc {
 public:
  explicit ScopedWindowDc(HWND window) : window_(window), dc_(::GetDC(window)) {}
  ~ScopedWindowDc() {
    if (dc_) ::ReleaseDC(window_, dc_);
  }
  ScopedWindowDc(const ScopedWindowDc&) = delete;
  ScopedWindowDc& operator=(const ScopedWindowDc&) = delete;

  HDC Get() const { return dc_; }
  explicit operator bool() const { return dc_ != nullptr; }

 private:
  HWND window_;
  HDC dc_;
};

// Selects an object into a device context and selects the displaced one back at scope end.
class ScopedSelect {
 public:
  ScopedSelect(HDC dc, HGDIOBJ object)
      : dc_(dc), displaced_(dc && object ? SelectObject(dc, object) : nullptr) {}
  ~ScopedSelect() {
    if (displaced_) SelectObject(dc_, displaced_);
  }
  ScopedSelect(const ScopedSelect&) = delete;
  ScopedSelect& operator=(const ScopedSelect&) = delete;

  bool Ok() const { return displaced_ != nullptr; }

 private:
  HDC dc_;
  HGDIOBJ displaced_;
};

// Sets the halftone stretch mode (with the brush origin it needs) and restores the previous
// mode at scope end.
class ScopedHalftone {
 public:
  explicit ScopedHalftone(HDC dc) : dc_(dc), previous_(SetStretchBltMode(dc, HALFTONE)) {
    SetBrushOrgEx(dc, 0, 0, &previous_origin_);
  }
  ~ScopedHalftone() {
    if (previous_) SetStretchBltMode(dc_, previous_);
    SetBrushOrgEx(dc_, previous_origin_.x, previous_origin_.y, nullptr);
  }
  ScopedHalftone(const ScopedHalftone&) = delete;
  ScopedHalftone& operator=(const ScopedHalftone&) = delete;

 private:
  HDC dc_;
  int previous_;
  POINT previous_origin_{};
};

// A 40-byte header for 32-bit bottom-up rows of `width` x `height` pixels.
inline BITMAPINFO BottomUpInfo32(int width, int height) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  return info;
}

}  // namespace vendra
