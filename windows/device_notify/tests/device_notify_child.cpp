// Registers a window for device notifications and exits through the normal end of the process,
// so that the singleton is destroyed while the audio service may still be running.
//   DeviceNotifyChild            register and exit with 0
//   DeviceNotifyChild wait <ms>  also print every unplugged endpoint identifier for <ms>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "windows/device_notify/device_notify.h"

int main(int argc, char** argv) {
  HWND window = CreateWindowExW(0, L"STATIC", L"DeviceNotifyChild", 0, 0, 0, 0, 0, HWND_MESSAGE,
                                nullptr, nullptr, nullptr);
  if (!window) return 2;
  CDeviceNotify::Instance().Register(window);
  if (argc >= 3 && strcmp(argv[1], "wait") == 0) {
    const DWORD end = GetTickCount() + static_cast<DWORD>(atoi(argv[2]));
    SetTimer(window, 1, 100, nullptr);
    MSG msg;
    while (static_cast<LONG>(end - GetTickCount()) > 0 && GetMessageW(&msg, nullptr, 0, 0) > 0) {
      if (msg.message == CM_DEVICE_UNPLUG_MSG) {
        auto* id = reinterpret_cast<wchar_t*>(msg.lParam);
        printf("unplugged: %ls\n", id);
        fflush(stdout);
        FreeDeviceId(id);
      }
      DispatchMessageW(&msg);
    }
  }
  DestroyWindow(window);
  return 0;
}
