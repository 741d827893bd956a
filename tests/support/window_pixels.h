#pragma once

// Test helpers for windows and pixels: pump the thread's messages, and read what a window or
// the screen shows (BitBlt into a 32-bit bitmap) to compare colours.

#include <windows.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <vector>

namespace tarvo_test {

// Dispatches the calling thread's messages for about `ms` milliseconds.
inline void PumpMessages(int ms) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  do {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    Sleep(1);
  } while (std::chrono::steady_clock::now() < end);
}

// Dispatches messages until `done` holds; false after `timeout_ms`.
inline bool PumpUntil(const std::function<bool()>& done, int timeout_ms = 5000) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    PumpMessages(5);
  }
  return true;
}

// A picture read back: 0x00RRGGBB per pixel, top row first.
struct Pixels {
  int width = 0;
  int height = 0;
  std::vector<std::uint32_t> rgb;
  std::uint32_t At(int x, int y) const {
    return rgb[static_cast<std::size_t>(y) * width + x] & 0xFFFFFF;
  }
};

// A header for 32-bit rows of `width` x `height` pixels, top row first.
inline BITMAPINFO TopDownInfo32(int width, int height) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  return info;
}

// A memory device context with a top-down 32-bit DIB section selected into it.
class DibCanvas {
 public:
  DibCanvas(int width, int height) : dc_(CreateCompatibleDC(nullptr)) {
    const BITMAPINFO info = TopDownInfo32(width, height);
    void* bits = nullptr;
    bitmap_ = CreateDIBSection(dc_, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    pixels_ = static_cast<std::uint32_t*>(bits);
    if (dc_ && bitmap_) displaced_ = SelectObject(dc_, bitmap_);
  }
  ~DibCanvas() {
    if (displaced_) SelectObject(dc_, displaced_);
    if (bitmap_) DeleteObject(bitmap_);
    if (dc_) DeleteDC(dc_);
  }
  DibCanvas(const DibCanvas&) = delete;
  DibCanvas& operator=(const DibCanvas&) = delete;

  bool ok() const { return displaced_ && pixels_; }
  HDC dc() const { return dc_; }
  // 0xAARRGGBB values; call GdiFlush after drawing before reading them.
  std::uint32_t* pixels() const { return pixels_; }

 private:
  HDC dc_;
  HBITMAP bitmap_ = nullptr;
  HGDIOBJ displaced_ = nullptr;
  std::uint32_t* pixels_ = nullptr;
};

// Copies `width` x `height` pixels at (x, y) of `dc` into `out`.
inline bool ReadDcPixels(HDC dc, int x, int y, int width, int height, Pixels* out) {
  if (!dc || width < 1 || height < 1) return false;
  DibCanvas canvas(width, height);
  if (!canvas.ok() || !BitBlt(canvas.dc(), 0, 0, width, height, dc, x, y, SRCCOPY)) return false;
  GdiFlush();
  out->width = width;
  out->height = height;
  out->rgb.assign(canvas.pixels(), canvas.pixels() + static_cast<std::size_t>(width) * height);
  return true;
}

// The client area of `window`, read from its own device context.
inline bool ReadWindowPixels(HWND window, Pixels* out) {
  RECT client{};
  if (!GetClientRect(window, &client)) return false;
  HDC dc = GetDC(window);
  const bool ok = ReadDcPixels(dc, 0, 0, client.right, client.bottom, out);
  if (dc) ReleaseDC(window, dc);
  return ok;
}

// A rectangle of the screen.
inline bool ReadScreenPixels(const RECT& rect, Pixels* out) {
  HDC dc = GetDC(nullptr);
  const bool ok =
      ReadDcPixels(dc, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, out);
  if (dc) ReleaseDC(nullptr, dc);
  return ok;
}

// True when every channel of two 0x00RRGGBB colours differs by at most `tolerance`.
inline bool NearColour(std::uint32_t a, std::uint32_t b, int tolerance) {
  for (int shift = 0; shift <= 16; shift += 8) {
    const int ca = static_cast<int>((a >> shift) & 0xFF);
    const int cb = static_cast<int>((b >> shift) & 0xFF);
    if (std::abs(ca - cb) > tolerance) return false;
  }
  return true;
}

}  // namespace tarvo_test
