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

// Copies `width` x `height` pixels at (x, y) of `dc` into `out`.
inline bool ReadDcPixels(HDC dc, int x, int y, int width, int height, Pixels* out) {
  if (!dc || width < 1 || height < 1) return false;
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HDC memory = CreateCompatibleDC(dc);
  HBITMAP bitmap = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  bool ok = false;
  if (memory && bitmap && bits) {
    HGDIOBJ old = SelectObject(memory, bitmap);
    ok = BitBlt(memory, 0, 0, width, height, dc, x, y, SRCCOPY) != FALSE;
    GdiFlush();
    if (ok) {
      const auto* p = static_cast<const std::uint32_t*>(bits);
      out->width = width;
      out->height = height;
      out->rgb.assign(p, p + static_cast<std::size_t>(width) * height);
    }
    SelectObject(memory, old);
  }
  if (bitmap) DeleteObject(bitmap);
  if (memory) DeleteDC(memory);
  return ok;
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
