#pragma once

// CMMNotificationClient: the Core Audio endpoint sink that turns an unplugged audio endpoint
// into the private message CM_DEVICE_UNPLUG_MSG on the main window. The message's lParam is a
// copy of the endpoint identifier made by CopyDeviceId; the window that receives it owns the
// copy and frees it with FreeDeviceId.
//
// Threads: Register and destruction on the thread that constructed the object (it initialises
// COM there); the IMMNotificationClient methods on any thread (the audio service calls them on
// its own threads). The target window is written once by Register and read atomically.

#include <windows.h>

#include <mmdeviceapi.h>

#include <atomic>

// Posted to the window given to Register when an audio endpoint turns unplugged.
// wParam 0; lParam a wchar_t* from CopyDeviceId, owned by the receiver.
constexpr UINT CM_DEVICE_UNPLUG_MSG = 7052;

// A heap copy of the NUL-terminated `deviceId` (null for null). Free it with FreeDeviceId.
wchar_t* CopyDeviceId(const wchar_t* deviceId);
// Frees a copy made by CopyDeviceId; null does nothing.
void FreeDeviceId(wchar_t* copy);

class CMMNotificationClient : public IMMNotificationClient {
 public:
  // Initialises COM on the constructing thread; the count starts at 1.
  CMMNotificationClient();
  // Takes the callback off the enumerator (so that no audio thread calls in after this),
  // releases the enumerator and uninitialises COM.
  virtual ~CMMNotificationClient();
  CMMNotificationClient(const CMMNotificationClient&) = delete;
  CMMNotificationClient& operator=(const CMMNotificationClient&) = delete;

  // Creates the device enumerator and registers this object as its endpoint callback. On
  // success the unplug message goes to `window` from then on; on failure nothing is kept.
  bool Register(HWND window);

  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;

  // IMMNotificationClient
  HRESULT STDMETHODCALLTYPE OnDeviceStateChanged(LPCWSTR deviceId, DWORD newState) override;
  HRESULT STDMETHODCALLTYPE OnDeviceAdded(LPCWSTR deviceId) override;
  HRESULT STDMETHODCALLTYPE OnDeviceRemoved(LPCWSTR deviceId) override;
  HRESULT STDMETHODCALLTYPE OnDefaultDeviceChanged(EDataFlow flow, ERole role,
                                                   LPCWSTR defaultDeviceId) override;
  HRESULT STDMETHODCALLTYPE OnPropertyValueChanged(LPCWSTR deviceId,
                                                   const PROPERTYKEY key) override;

 private:
  IMMDeviceEnumerator* enumerator;  // owned
  std::atomic<HWND> window;         // null until Register succeeds
  std::atomic<ULONG> refCount;
  bool callbackRegistered;
  bool comInitialized;
};
