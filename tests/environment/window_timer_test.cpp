#include <windows.h>

#include <gtest/gtest.h>

namespace {

int g_ticks = 0;

LRESULT CALLBACK TimerWndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_TIMER && ++g_ticks == 3) {
    KillTimer(hwnd, 1);
    PostQuitMessage(7);
    return 0;
  }
  return DefWindowProcW(hwnd, msg, wp, lp);
}

}  // namespace

TEST(EnvWindow, TimerTicksInAVisibleWindow) {
  WNDCLASSW wc{};
  wc.lpfnWndProc = TimerWndProc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = L"TarvoEnvTimerWindow";
  ASSERT_NE(RegisterClassW(&wc), 0);
  HWND hwnd = CreateWindowExW(0, wc.lpszClassName, L"env", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10, 10,
                              200, 100, nullptr, nullptr, wc.hInstance, nullptr);
  ASSERT_NE(hwnd, nullptr);
  ASSERT_NE(SetTimer(hwnd, 1, 10, nullptr), 0u);

  // A window DC must be usable for drawing under the virtual display.
  HDC dc = GetDC(hwnd);
  ASSERT_NE(dc, nullptr);
  EXPECT_NE(SetPixel(dc, 1, 1, RGB(255, 0, 0)), static_cast<COLORREF>(-1));
  ReleaseDC(hwnd, dc);

  MSG msg;
  int exit_code = -1;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
  if (msg.message == WM_QUIT) exit_code = static_cast<int>(msg.wParam);
  EXPECT_EQ(exit_code, 7);
  EXPECT_EQ(g_ticks, 3);
  DestroyWindow(hwnd);
}
