#include "bench_window.h"

namespace bench {

HWND MakeWindow(const wchar_t* title) {
  WNDCLASSW wc{};
  wc.lpfnWndProc = DefWindowProcW;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = L"PellixBenchWindow";
  RegisterClassW(&wc);
  return CreateWindowExW(0, wc.lpszClassName, title, WS_POPUP | WS_VISIBLE, 0, 0, kWidth, kHeight,
                         nullptr, nullptr, wc.hInstance, nullptr);
}

void PumpMessages() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
}

std::vector<std::uint8_t> MakeI420Frame(int shift) {
  std::vector<std::uint8_t> frame(kWidth * kHeight * 3 / 2);
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x)
      frame[y * kWidth + x] = static_cast<std::uint8_t>(x + y + shift);
  for (std::size_t i = kWidth * kHeight; i < frame.size(); ++i)
    frame[i] = static_cast<std::uint8_t>(i * 3 + shift);
  return frame;
}

}  // namespace bench
