// The start-up benchmark's anchor: a bare Win32 program that shows one window the way the client
// shows its main window (same styles, default position, 400 x 640) and runs a message loop until
// the window is closed.
#include <windows.h>

namespace {

LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_DESTROY) {
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcW(hwnd, message, wparam, lparam);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  WNDCLASSW wc = {};
  wc.lpfnWndProc = &Proc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
  wc.hbrBackground = CreateSolidBrush(RGB(0x25, 0x2A, 0x33));
  wc.lpszClassName = L"BareStartupWindow";
  RegisterClassW(&wc);
  HWND hwnd = CreateWindowExW(0x40000, L"BareStartupWindow", L"TarvoLive", 0x16CF0000,
                              CW_USEDEFAULT, CW_USEDEFAULT, 400, 640, nullptr, nullptr, instance,
                              nullptr);
  if (hwnd == nullptr) return 1;
  ShowWindow(hwnd, SW_SHOW);
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return 0;
}
