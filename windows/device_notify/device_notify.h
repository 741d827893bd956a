#pragma once

// CDeviceNotify: the process-wide owner of the device hot-plug notifications of the main
// window: WM_DEVICECHANGE for audio and USB device interfaces, and the Core Audio endpoint
// sink that posts CM_DEVICE_UNPLUG_MSG (mm_notification_client.h).
//
//   CDeviceNotify::Instance().Register(mainWindow);  // once, from the UI thread
//
// Threads: UI thread only. The singleton is destroyed at process exit; its destructor takes
// back every registration.

#include <windows.h>

#include "windows/device_notify/mm_notification_client.h"

class CDeviceNotify {
 public:
  // The singleton, created on the first call (safe against concurrent first calls).
  static CDeviceNotify& Instance();

  // Registers `window` for both device-interface classes and the endpoint sink. Only the
  // first call does anything; later calls, with any window, change nothing. Returns 0.
  int Register(HWND window);
  // Takes back the device-interface registrations and clears the registered flag.
  void Unregister();

  CMMNotificationClient& EndpointClient() { return client; }

 private:
  CDeviceNotify() = default;
  ~CDeviceNotify();
  CDeviceNotify(const CDeviceNotify&) = delete;
  CDeviceNotify& operator=(const CDeviceNotify&) = delete;

  int registered = 0;
  HWND window = nullptr;
  HDEVNOTIFY audioNotify = nullptr;
  HDEVNOTIFY usbNotify = nullptr;
  CMMNotificationClient client;
};
