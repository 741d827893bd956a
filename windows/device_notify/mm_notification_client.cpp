#include "windows/device_notify/mm_notification_client.h"

#include <cwchar>
#include <new>

namespace {

const CLSID kClsidMMDeviceEnumerator = {
    0xBCDE0395, 0xE52F, 0x467C, {0x8E, 0x3D, 0xC4, 0x57, 0x92, 0x91, 0x69, 0x2E}};
const IID kIidMMDeviceEnumerator = {
    0xA95664D2, 0x9614, 0x4F35, {0xA7, 0x46, 0xDE, 0x8D, 0xB6, 0x36, 0x17, 0xE6}};
const IID kIidMMNotificationClient = {
    0x7991EEC9, 0x7E89, 0x4D85, {0x83, 0x90, 0x6C, 0x70, 0x3C, 0xEC, 0x60, 0xC0}};
const IID kIidUnknown = {
    0x00000000, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

constexpr DWORD kClsctxAll = 23;  // inproc server, inproc handler, local and remote server
constexpr DWORD kStateUnplugged = 8;

}  // namespace

wchar_t* CopyDeviceId(const wchar_t* deviceId) {
  if (!deviceId) return nullptr;
  const size_t length = wcslen(deviceId);
  wchar_t* copy = new (std::nothrow) wchar_t[length + 1];
  if (copy) wmemcpy(copy, deviceId, length + 1);
  return copy;
}

void FreeDeviceId(wchar_t* copy) { delete[] copy; }

CMMNotificationClient::CMMNotificationClient()
    : enumerator(nullptr), window(nullptr), refCount(1), callbackRegistered(false) {
  comInitialized = SUCCEEDED(CoInitialize(nullptr));
}

CMMNotificationClient::~CMMNotificationClient() {
  if (enumerator) {
    // The audio service keeps calling a registered sink until it is taken off; once this
    // returns no notification is running in it or will start.
    if (callbackRegistered) enumerator->UnregisterEndpointNotificationCallback(this);
    enumerator->Release();
  }
  if (comInitialized) CoUninitialize();
}

bool CMMNotificationClient::Register(HWND target) {
  if (callbackRegistered) return true;
  IMMDeviceEnumerator* created = nullptr;
  HRESULT hr = CoCreateInstance(kClsidMMDeviceEnumerator, nullptr, kClsctxAll,
                                kIidMMDeviceEnumerator, reinterpret_cast<void**>(&created));
  if (FAILED(hr) || !created) return false;
  if (enumerator) enumerator->Release();
  enumerator = created;
  // The window is in place before the first notification can arrive.
  window.store(target);
  hr = enumerator->RegisterEndpointNotificationCallback(this);
  if (FAILED(hr)) {
    window.store(nullptr);
    return false;
  }
  callbackRegistered = true;
  return true;
}

HRESULT CMMNotificationClient::QueryInterface(REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  if (IsEqualIID(riid, kIidUnknown) || IsEqualIID(riid, kIidMMNotificationClient)) {
    AddRef();
    *ppv = static_cast<IMMNotificationClient*>(this);
    return S_OK;
  }
  *ppv = nullptr;
  return E_NOINTERFACE;
}

ULONG CMMNotificationClient::AddRef() { return ++refCount; }

ULONG CMMNotificationClient::Release() {
  const ULONG count = --refCount;
  if (count == 0) delete this;
  return count;
}

HRESULT CMMNotificationClient::OnDeviceStateChanged(LPCWSTR deviceId, DWORD newState) {
  if (newState != kStateUnplugged) return S_OK;
  const HWND target = window.load();
  if (!target) return S_OK;  // a null window would post to this audio thread's own queue
  wchar_t* copy = CopyDeviceId(deviceId);
  if (!copy) return S_OK;
  // When the post fails (the window is gone) nobody else will ever free the copy.
  if (!PostMessageW(target, CM_DEVICE_UNPLUG_MSG, 0, reinterpret_cast<LPARAM>(copy))) {
    FreeDeviceId(copy);
  }
  return S_OK;
}

HRESULT CMMNotificationClient::OnDeviceAdded(LPCWSTR) { return S_OK; }

HRESULT CMMNotificationClient::OnDeviceRemoved(LPCWSTR) { return S_OK; }

HRESULT CMMNotificationClient::OnDefaultDeviceChanged(EDataFlow, ERole, LPCWSTR) { return S_OK; }

HRESULT CMMNotificationClient::OnPropertyValueChanged(LPCWSTR, const PROPERTYKEY) { return S_OK; }
