#pragma once

// Helpers for Vendra's tests: owners for systems and textures, a visible test window, pixel
// access through GetData, and the reference colour conversions.

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <vector>

#include "vendra_interface.h"

namespace vendra_test {

struct SystemDeleter {
  void operator()(gsSystemBase* system) const { Vendra_Destroy(system); }
};
using SystemPtr = std::unique_ptr<gsSystemBase, SystemDeleter>;
using TexturePtr = std::unique_ptr<gsTextureBase>;

inline SystemPtr MakeSystem() { return SystemPtr(Vendra_Create()); }

// Blue, green, red, alpha as stored in a texture.
struct Bgra {
  int b, g, r, a;
};

// A visible top-level window with the given client size.
class TestWindow {
 public:
  TestWindow(int client_width, int client_height) {
    static ATOM atom = [] {
      WNDCLASSW wc{};
      wc.lpfnWndProc = DefWindowProcW;
      wc.hInstance = GetModuleHandleW(nullptr);
      wc.lpszClassName = L"VendraTestWindow";
      return RegisterClassW(&wc);
    }();
    RECT rect{0, 0, client_width, client_height};
    AdjustWindowRect(&rect, WS_POPUP, FALSE);
    hwnd_ =
        CreateWindowExW(0, reinterpret_cast<LPCWSTR>(static_cast<ULONG_PTR>(atom)), L"vendra",
                        WS_POPUP | WS_VISIBLE, 0, 0, rect.right - rect.left, rect.bottom - rect.top,
                        nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    Pump();
  }
  ~TestWindow() {
    if (hwnd_) DestroyWindow(hwnd_);
  }
  TestWindow(const TestWindow&) = delete;
  TestWindow& operator=(const TestWindow&) = delete;

  HWND hwnd() const { return hwnd_; }

  static void Pump() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
  }

  // The client area read back with BitBlt from the window's device context.
  Bgra ReadPixel(int x, int y) const {
    HDC window_dc = GetDC(hwnd_);
    HDC memory_dc = CreateCompatibleDC(window_dc);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = 1;
    info.bmiHeader.biHeight = 1;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(window_dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory_dc, bitmap);
    BitBlt(memory_dc, 0, 0, 1, 1, window_dc, x, y, SRCCOPY);
    GdiFlush();
    const auto* p = static_cast<const std::uint8_t*>(bits);
    Bgra pixel{p[0], p[1], p[2], p[3]};
    SelectObject(memory_dc, old);
    DeleteObject(bitmap);
    DeleteDC(memory_dc);
    ReleaseDC(hwnd_, window_dc);
    return pixel;
  }

 private:
  HWND hwnd_ = nullptr;
};

// The texture's pixels, bottom-up, through GetData with RGB32.
inline std::vector<std::uint8_t> ReadPixels(gsTextureBase* texture) {
  int size = 0;
  EXPECT_TRUE(texture->GetData(nullptr, &size, gs::vendra::kRGB32, 0));
  std::vector<std::uint8_t> pixels(static_cast<std::size_t>(size));
  EXPECT_TRUE(texture->GetData(pixels.data(), &size, gs::vendra::kRGB32, 0));
  return pixels;
}

// Pixel (x, y) of the image, y counted from the top.
inline Bgra PixelAt(const std::vector<std::uint8_t>& pixels, int width, int height, int x, int y) {
  const std::size_t i = (static_cast<std::size_t>(height - 1 - y) * width + x) * 4;
  return Bgra{pixels[i], pixels[i + 1], pixels[i + 2], pixels[i + 3]};
}

// A texture filled with one colour (alpha 255), not premultiplied.
inline TexturePtr SolidTexture(gsSystemBase* system, int width, int height, Bgra colour,
                               bool premultiply = false) {
  std::vector<std::uint8_t> pixels(static_cast<std::size_t>(width) * height * 4);
  for (std::size_t i = 0; i < pixels.size(); i += 4) {
    pixels[i] = static_cast<std::uint8_t>(colour.b);
    pixels[i + 1] = static_cast<std::uint8_t>(colour.g);
    pixels[i + 2] = static_cast<std::uint8_t>(colour.r);
    pixels[i + 3] = static_cast<std::uint8_t>(colour.a);
  }
  return TexturePtr(system->CreateTextureWrite(width, height, pixels.data(), premultiply));
}

inline int Clamp255(double value) {
  return static_cast<int>(std::lround(std::min(255.0, std::max(0.0, value))));
}

// The colour a Y, U, V sample stands for (full-range BT.601), before the 4-step quantisation
// of the conversion tables (which top out at 252).
inline Bgra YuvToBgraReference(int y, int u, int v) {
  const double r = y + 1.402 * (v - 128);
  const double g = y - 0.3441 * (u - 128) - 0.7141 * (v - 128);
  const double b = y + 1.772 * (u - 128);
  auto q = [](double value) { return std::min(252, Clamp255(value)); };
  return Bgra{q(b), q(g), q(r), 255};
}

// Y, U, V (BT.601 studio range) of a colour, as GetData writes them.
struct Yuv {
  int y, u, v;
};
inline Yuv RgbToYuvReference(int r, int g, int b) {
  return Yuv{Clamp255(16 + 0.2568 * r + 0.5041 * g + 0.0979 * b),
             Clamp255(128 - 0.1482 * r - 0.2910 * g + 0.4392 * b),
             Clamp255(128 + 0.4392 * r - 0.3678 * g - 0.0714 * b)};
}

inline void ExpectNear(Bgra actual, Bgra expected, int tolerance, const char* what) {
  EXPECT_NEAR(actual.b, expected.b, tolerance) << what << " (blue)";
  EXPECT_NEAR(actual.g, expected.g, tolerance) << what << " (green)";
  EXPECT_NEAR(actual.r, expected.r, tolerance) << what << " (red)";
}

}  // namespace vendra_test
