// run_command_probe.exe: what the run command's test asks of the client's window, from inside
// the client's Wine prefix.
//   run_command_probe window <timeout ms>   prints "left top width height" of the visible main
//                                           window once there is one (exit 1: none in time)
//   run_command_probe close                 clicks the login look's close button, as a person
//                                           does (exit 1: no main window)

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>

namespace {

BOOL CALLBACK FindMainWindow(HWND hwnd, LPARAM found) {
  wchar_t cls[64] = {};
  GetClassNameW(hwnd, cls, 64);
  if (std::wcscmp(cls, L"CMainFrame") == 0 && IsWindowVisible(hwnd)) {
    *reinterpret_cast<HWND*>(found) = hwnd;
    return FALSE;
  }
  return TRUE;
}

HWND MainWindow() {
  HWND found = nullptr;
  EnumWindows(&FindMainWindow, reinterpret_cast<LPARAM>(&found));
  return found;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 2 && std::strcmp(argv[1], "window") == 0) {
    const DWORD timeout = argc >= 3 ? std::strtoul(argv[2], nullptr, 10) : 60000;
    const DWORD start = GetTickCount();
    for (;;) {
      if (HWND hwnd = MainWindow()) {
        RECT rc;
        GetWindowRect(hwnd, &rc);
        std::printf("%ld %ld %ld %ld\n", rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top);
        return 0;
      }
      if (GetTickCount() - start > timeout) return 1;
      Sleep(100);
    }
  }
  if (argc >= 2 && std::strcmp(argv[1], "close") == 0) {
    HWND hwnd = MainWindow();
    if (hwnd == nullptr) return 1;
    // The close button of the login look: 20 x 20 at 10 pixels from the top right.
    RECT rc;
    GetClientRect(hwnd, &rc);
    const LPARAM at = MAKELPARAM(rc.right - 20, 20);
    PostMessageW(hwnd, WM_MOUSEMOVE, 0, at);
    PostMessageW(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, at);
    PostMessageW(hwnd, WM_LBUTTONUP, 0, at);
    return 0;
  }
  std::fprintf(stderr, "usage: run_command_probe window <timeout ms> | close\n");
  return 2;
}
