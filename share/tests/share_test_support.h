#pragma once

// Test helpers for the share windows: GDI+ started as the client starts it, and the real
// pointer moved and clicked with SendInput (so the window under it gets the input, as a user's
// mouse would do), with the test thread's messages pumped between steps.

#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

#include "share/window/gdiplus_include.h"
#include "tests/support/window_pixels.h"

namespace share_test {

inline void StartGdiplus() {
  static const bool started = [] {
    Gdiplus::GdiplusStartupInput input;
    ULONG_PTR token = 0;
    return Gdiplus::GdiplusStartup(&token, &input, nullptr) == Gdiplus::Ok;
  }();
  (void)started;
}

// Moves the pointer to the screen point (x, y).
inline void MoveTo(int x, int y) {
  INPUT input{};
  input.type = INPUT_MOUSE;
  input.mi.dx = static_cast<LONG>((x * 65535LL + GetSystemMetrics(SM_CXSCREEN) / 2) /
                                  (GetSystemMetrics(SM_CXSCREEN) - 1));
  input.mi.dy = static_cast<LONG>((y * 65535LL + GetSystemMetrics(SM_CYSCREEN) / 2) /
                                  (GetSystemMetrics(SM_CYSCREEN) - 1));
  input.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
  SendInput(1, &input, sizeof(input));
  tarvo_test::PumpMessages(20);
}

inline void Button(bool down) {
  INPUT input{};
  input.type = INPUT_MOUSE;
  input.mi.dwFlags = down ? MOUSEEVENTF_LEFTDOWN : MOUSEEVENTF_LEFTUP;
  SendInput(1, &input, sizeof(input));
  tarvo_test::PumpMessages(20);
}

inline void ClickAt(int x, int y) {
  MoveTo(x, y);
  Button(true);
  Button(false);
  tarvo_test::PumpMessages(30);
}

// Presses at `from`, waits past the 50 ms a stroke settles, moves to `to` in `steps` steps and
// releases there.
inline void DragFromTo(POINT from, POINT to, int steps = 10) {
  MoveTo(from.x, from.y);
  Button(true);
  tarvo_test::PumpMessages(80);
  for (int i = 1; i <= steps; ++i) {
    MoveTo(from.x + (to.x - from.x) * i / steps, from.y + (to.y - from.y) * i / steps);
  }
  Button(false);
  tarvo_test::PumpMessages(50);
}

// Saves what the screen shows inside `rect` as a PNG named `name` in the test data folder.
inline bool SaveScreenPng(const RECT& rect, const std::wstring& name) {
  tarvo_test::Pixels pixels;
  if (!tarvo_test::ReadScreenPixels(rect, &pixels)) return false;
  Gdiplus::Bitmap bitmap(pixels.width, pixels.height, pixels.width * 4, PixelFormat32bppRGB,
                         reinterpret_cast<BYTE*>(pixels.rgb.data()));
  UINT count = 0;
  UINT size = 0;
  Gdiplus::GetImageEncodersSize(&count, &size);
  std::vector<char> buffer(size);
  auto* encoders = reinterpret_cast<Gdiplus::ImageCodecInfo*>(buffer.data());
  Gdiplus::GetImageEncoders(count, size, encoders);
  const char* folder = std::getenv("TARVO_TEST_DATA");
  const std::wstring directory =
      folder ? std::wstring(folder, folder + std::strlen(folder)) : std::wstring(L".");
  CreateDirectoryW(directory.c_str(), nullptr);
  const std::wstring path = directory + L"/" + name;
  for (UINT i = 0; i < count; ++i) {
    if (wcscmp(encoders[i].MimeType, L"image/png") == 0) {
      return bitmap.Save(path.c_str(), &encoders[i].Clsid, nullptr) == Gdiplus::Ok;
    }
  }
  return false;
}

}  // namespace share_test
