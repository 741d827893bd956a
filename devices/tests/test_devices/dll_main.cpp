// TarvoTestDevices.dll's COM entry points: the class factory of the two source filters and
// their registration as device instances (see test_devices.h).

#include <windows.h>
#include <dshow.h>
#include <wrl/client.h>

#include <memory>
#include <new>
#include <string>

#include "devices/tests/test_devices/camera_source.h"
#include "devices/tests/test_devices/com_object.h"
#include "devices/tests/test_devices/microphone_source.h"
#include "devices/tests/test_devices/rgb_converter.h"
#include "devices/tests/test_devices/source_filter.h"
#include "devices/tests/test_devices/test_devices.h"

using Microsoft::WRL::ComPtr;
using namespace tarvo_test_devices;

namespace {

HMODULE g_module = nullptr;
std::atomic<long> g_server_locks{0};

class ClassFactory final : public ComObject<IClassFactory, IID_IClassFactory> {
 public:
  explicit ClassFactory(const CLSID& clsid) : clsid_(clsid) {}
  STDMETHODIMP CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    if (clsid_ == kRgbConverterClsid) {
      auto* converter = new (std::nothrow) RgbConverter();
      if (!converter) return E_OUTOFMEMORY;
      const HRESULT hr = converter->QueryInterface(iid, out);
      converter->Release();
      return hr;
    }
    SourceFilter* filter = nullptr;
    try {
      std::unique_ptr<StreamSource> source;
      if (clsid_ == kVirtualCameraClsid) {
        source.reset(new CameraSource());
      } else {
        source.reset(new MicrophoneSource());
      }
      filter = new SourceFilter(clsid_, std::move(source));
    } catch (...) {
      return E_OUTOFMEMORY;
    }
    const HRESULT hr = filter->QueryInterface(iid, out);
    filter->Release();
    return hr;
  }
  STDMETHODIMP LockServer(BOOL lock) override {
    g_server_locks += lock ? 1 : -1;
    return S_OK;
  }

 private:
  const CLSID clsid_;
};

std::wstring GuidText(const GUID& guid) {
  wchar_t text[64];
  StringFromGUID2(guid, text, 64);
  return text;
}

bool SetString(HKEY key, const wchar_t* name, const std::wstring& value) {
  return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                        static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}

HRESULT RegisterServer(const CLSID& clsid, const wchar_t* description) {
  wchar_t path[MAX_PATH];
  GetModuleFileNameW(g_module, path, MAX_PATH);
  const std::wstring key_path = L"CLSID\\" + GuidText(clsid);
  HKEY key = nullptr;
  if (RegCreateKeyExW(HKEY_CLASSES_ROOT, key_path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr,
                      &key, nullptr) != ERROR_SUCCESS) {
    return E_FAIL;
  }
  bool ok = SetString(key, nullptr, description);
  HKEY server = nullptr;
  if (RegCreateKeyExW(key, L"InprocServer32", 0, nullptr, 0, KEY_WRITE, nullptr, &server,
                      nullptr) == ERROR_SUCCESS) {
    ok = SetString(server, nullptr, path) && SetString(server, L"ThreadingModel", L"Both") && ok;
    RegCloseKey(server);
  } else {
    ok = false;
  }
  RegCloseKey(key);
  return ok ? S_OK : E_FAIL;
}

const CLSID& CategoryOf(const DeviceInstance& device) {
  return device.microphone ? CLSID_AudioInputDeviceCategory : CLSID_VideoInputDeviceCategory;
}

const CLSID& ClsidOf(const DeviceInstance& device) {
  return device.microphone ? kVirtualMicrophoneClsid : kVirtualCameraClsid;
}

// The instance's mode goes into its property bag, which lives at
// HKCR\CLSID\{category}\Instance\<instance>.
HRESULT WriteMode(const DeviceInstance& device) {
  const std::wstring key_path =
      L"CLSID\\" + GuidText(CategoryOf(device)) + L"\\Instance\\" + device.instance;
  HKEY key = nullptr;
  if (RegCreateKeyExW(HKEY_CLASSES_ROOT, key_path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr,
                      &key, nullptr) != ERROR_SUCCESS) {
    return E_FAIL;
  }
  const bool ok = SetString(key, kModeProperty, device.mode);
  RegCloseKey(key);
  return ok ? S_OK : E_FAIL;
}

// The RGB24 to RGB32 converter, a transform that intelligent connect may insert: the legacy
// filter category at normal merit, with its pins' types.
HRESULT RegisterConverter(IFilterMapper2* mapper) {
  const REGPINTYPES input_type = {&MEDIATYPE_Video, &MEDIASUBTYPE_RGB24};
  const REGPINTYPES output_type = {&MEDIATYPE_Video, &MEDIASUBTYPE_RGB32};
  REGFILTERPINS pins[2] = {};
  pins[0].strName = const_cast<LPWSTR>(L"In");
  pins[0].nMediaTypes = 1;
  pins[0].lpMediaType = &input_type;
  pins[1].strName = const_cast<LPWSTR>(L"Out");
  pins[1].bOutput = TRUE;
  pins[1].nMediaTypes = 1;
  pins[1].lpMediaType = &output_type;
  REGFILTER2 filter{};
  filter.dwVersion = 1;
  filter.dwMerit = MERIT_NORMAL;
  filter.cPins = 2;
  filter.rgPins = pins;
  return mapper->RegisterFilter(kRgbConverterClsid, kRgbConverterName, nullptr,
                                &CLSID_LegacyAmFilterCategory, nullptr, &filter);
}

// COM for the registration calls, balanced on return.
class ComScope {
 public:
  ComScope() : result_(CoInitializeEx(nullptr, COINIT_MULTITHREADED)) {}
  ~ComScope() {
    if (SUCCEEDED(result_)) CoUninitialize();
  }

 private:
  HRESULT result_;
};

}  // namespace

extern "C" {

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    g_module = instance;
    DisableThreadLibraryCalls(instance);
  }
  return TRUE;
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (clsid != kVirtualCameraClsid && clsid != kVirtualMicrophoneClsid &&
      clsid != kRgbConverterClsid) {
    return CLASS_E_CLASSNOTAVAILABLE;
  }
  auto* factory = new (std::nothrow) ClassFactory(clsid);
  if (!factory) return E_OUTOFMEMORY;
  const HRESULT hr = factory->QueryInterface(iid, out);
  factory->Release();
  return hr;
}

STDAPI DllCanUnloadNow() {
  return g_live_objects.load() == 0 && g_server_locks.load() == 0 ? S_OK : S_FALSE;
}

STDAPI DllRegisterServer() {
  ComScope com;
  HRESULT hr = RegisterServer(kVirtualCameraClsid, L"Tarvo Virtual Camera Filter");
  if (SUCCEEDED(hr)) {
    hr = RegisterServer(kVirtualMicrophoneClsid, L"Tarvo Virtual Microphone Filter");
  }
  if (SUCCEEDED(hr)) hr = RegisterServer(kRgbConverterClsid, kRgbConverterName);
  ComPtr<IFilterMapper2> mapper;
  if (SUCCEEDED(hr)) {
    hr = CoCreateInstance(CLSID_FilterMapper2, nullptr, CLSCTX_INPROC_SERVER,
                          IID_PPV_ARGS(&mapper));
  }
  for (const DeviceInstance& device : kDeviceInstances) {
    if (FAILED(hr)) break;
    // Never a candidate for intelligent connect: these are devices, not transforms.
    REGFILTER2 filter{};
    filter.dwVersion = 1;
    filter.dwMerit = MERIT_DO_NOT_USE;
    filter.cPins = 0;
    hr = mapper->RegisterFilter(ClsidOf(device), device.name, nullptr, &CategoryOf(device),
                                device.instance, &filter);
    if (SUCCEEDED(hr)) hr = WriteMode(device);
  }
  if (SUCCEEDED(hr)) hr = RegisterConverter(mapper.Get());
  return hr;
}

STDAPI DllUnregisterServer() {
  ComScope com;
  ComPtr<IFilterMapper2> mapper;
  if (SUCCEEDED(CoCreateInstance(CLSID_FilterMapper2, nullptr, CLSCTX_INPROC_SERVER,
                                 IID_PPV_ARGS(&mapper)))) {
    for (const DeviceInstance& device : kDeviceInstances) {
      mapper->UnregisterFilter(&CategoryOf(device), device.instance, ClsidOf(device));
    }
    mapper->UnregisterFilter(&CLSID_LegacyAmFilterCategory, nullptr, kRgbConverterClsid);
  }
  for (const CLSID* clsid : {&kVirtualCameraClsid, &kVirtualMicrophoneClsid, &kRgbConverterClsid}) {
    RegDeleteTreeW(HKEY_CLASSES_ROOT, (L"CLSID\\" + GuidText(*clsid)).c_str());
  }
  return S_OK;
}

}  // extern "C"
