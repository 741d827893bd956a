#pragma once

// Single owners of GDI objects for the share windows and the capture: objects deleted with
// DeleteObject, memory device contexts, window device contexts and selections undone at scope
// end.

#include <windows.h>

#include <memory>
#include <type_traits>

namespace share {

struct GdiObjectDeleter {
  void operator()(void* object) const {
    if (object) DeleteObject(static_cast<HGDIOBJ>(object));
  }
};

// A bitmap, brush, pen, font or region.
template <typename Handle>
using ScopedGdiObject = std::unique_ptr<std::remove_pointer_t<Handle>, GdiObjectDeleter>;
using ScopedBitmap = ScopedGdiObject<HBITMAP>;
using ScopedBrush = ScopedGdiObject<HBRUSH>;
using ScopedRegion = ScopedGdiObject<HRGN>;

struct MemoryDcDeleter {
  void operator()(HDC dc) const {
    if (dc) DeleteDC(dc);
  }
};
// A context from CreateCompatibleDC.
using ScopedMemoryDc = std::unique_ptr<std::remove_pointer_t<HDC>, MemoryDcDeleter>;

// The device context of a window's client area (GetDC) or of the whole window (GetWindowDC);
// a null window gives the screen's. Released at scope end.
class WindowDc {
 public:
  enum Area { kClient, kWholeWindow };
  explicit WindowDc(HWND window, Area area = kClient)
      : window_(window), dc_(area == kClient ? GetDC(window) : GetWindowDC(window)) {}
  ~WindowDc() {
    if (dc_) ReleaseDC(window_, dc_);
  }
  WindowDc(const WindowDc&) = delete;
  WindowDc& operator=(const WindowDc&) = delete;

  HDC get() const { return dc_; }
  explicit operator bool() const { return dc_ != nullptr; }

 private:
  HWND window_;
  HDC dc_;
};

// Selects an object into a context and selects the displaced one back at scope end.
class SelectedObject {
 public:
  SelectedObject(HDC dc, HGDIOBJ object)
      : dc_(dc), displaced_(dc && object ? SelectObject(dc, object) : nullptr) {}
  ~SelectedObject() {
    if (displaced_) SelectObject(dc_, displaced_);
  }
  SelectedObject(const SelectedObject&) = delete;
  SelectedObject& operator=(const SelectedObject&) = delete;

  explicit operator bool() const { return displaced_ != nullptr; }

 private:
  HDC dc_;
  HGDIOBJ displaced_;
};

}  // namespace share
