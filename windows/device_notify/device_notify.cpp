#include "windows/device_notify/device_notify.h"

#include <dbt.h>

namespace {

const GUID kKsCategoryAudio = {
    0x6994AD04, 0x93EF, 0x11D0, {0xA3, 0xCC, 0x00, 0xA0, 0xC9, 0x22, 0x31, 0x96}};
const GUID kGuidDevInterfaceUsbDevice = {
    0xA5DCBF10, 0x6530, 0x11D2, {0x90, 0x1F, 0x00, 0xC0, 0x4F, 0xB9, 0x51, 0xED}};

HDEVNOTIFY RegisterInterfaceClass(HWND window, const GUID& classGuid) {
  DEV_BROADCAST_DEVICEINTERFACE_W filter;
  ZeroMemory(&filter, sizeof(filter));
  filter.dbcc_size = 32;
  filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
  filter.dbcc_reserved = 0;
  filter.dbcc_classguid = classGuid;
  return RegisterDeviceNotificationW(window, &filter, DEVICE_NOTIFY_WINDOW_HANDLE);
}

}  // namespace

static_assert(sizeof(DEV_BROADCAST_DEVICEINTERFACE_W) == 32, "filter is 32 bytes");

CDeviceNotify& CDeviceNotify::Instance() {
  static CDeviceNotify instance;
  return instance;
}

CDeviceNotify::~CDeviceNotify() {
  // The endpoint client, destroyed after this body, takes its own callback back.
  Unregister();
}

int CDeviceNotify::Register(HWND target) {
  if (registered) return 0;
  Unregister();
  client.Register(target);  // without Core Audio the interface notifications still count
  window = target;
  audioNotify = RegisterInterfaceClass(target, kKsCategoryAudio);
  usbNotify = RegisterInterfaceClass(target, kGuidDevInterfaceUsbDevice);
  registered = 1;
  return 0;
}

void CDeviceNotify::Unregister() {
  if (audioNotify) UnregisterDeviceNotification(audioNotify);
  if (usbNotify) UnregisterDeviceNotification(usbNotify);
  audioNotify = nullptr;
  usbNotify = nullptr;
  registered = 0;
}
