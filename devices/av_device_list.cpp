#include "devices/av_device_list.h"

#include <oleauto.h>
#include <uuids.h>

#include "devices/av_log.h"

using Microsoft::WRL::ComPtr;

namespace morlun {
namespace {

// Calls `visit` for each listed device of the category until it returns true. Returns -1
// when the category cannot be opened, else 0.
int ForEachDevice(const GUID& category,
                  const std::function<bool(IMoniker*, const AvDeviceEntry&)>& visit) {
  ComPtr<ICreateDevEnum> system_enum;
  HRESULT hr = CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, CLSCTX_INPROC_SERVER,
                                IID_PPV_ARGS(&system_enum));
  if (FAILED(hr)) {
    AvLog("The system device enumerator cannot be made, hr = %08lx",
          static_cast<unsigned long>(hr));
    return -1;
  }
  ComPtr<IEnumMoniker> monikers;
  hr = system_enum->CreateClassEnumerator(category, &monikers, 0);
  if (hr == S_FALSE || (SUCCEEDED(hr) && !monikers)) return 0;  // An empty category.
  if (FAILED(hr)) {
    AvLog("The device category cannot be listed, hr = %08lx", static_cast<unsigned long>(hr));
    return -1;
  }
  ComPtr<IMoniker> moniker;
  while (monikers->Next(1, moniker.ReleaseAndGetAddressOf(), nullptr) == S_OK) {
    AvDeviceEntry entry;
    ComPtr<IPropertyBag> bag;
    if (SUCCEEDED(moniker->BindToStorage(nullptr, nullptr, IID_PPV_ARGS(&bag)))) {
      VARIANT value;
      VariantInit(&value);
      if (SUCCEEDED(bag->Read(L"FriendlyName", &value, nullptr)) && value.vt == VT_BSTR &&
          value.bstrVal) {
        entry.name = value.bstrVal;
      }
      VariantClear(&value);
    }
    LPOLESTR display_name = nullptr;
    if (SUCCEEDED(moniker->GetDisplayName(nullptr, nullptr, &display_name)) && display_name) {
      entry.path = display_name;
    }
    CoTaskMemFree(display_name);
    if (entry.name.empty() || entry.path.empty()) continue;
    if (visit(moniker.Get(), entry)) break;
  }
  return 0;
}

}  // namespace

int ListDevices(const GUID& category, std::vector<AvDeviceEntry>* devices,
                const std::function<bool(const AvDeviceEntry&)>& keep) {
  devices->clear();
  const int result = ForEachDevice(category, [&](IMoniker*, const AvDeviceEntry& entry) {
    if (!keep || keep(entry)) devices->push_back(entry);
    return false;
  });
  return result < 0 ? -1 : static_cast<int>(devices->size());
}

ComPtr<IBaseFilter> BindDevice(const GUID& category, const wchar_t* name, const wchar_t* path,
                               AvDeviceEntry* opened) {
  const std::wstring wanted_name = name ? name : L"";
  const std::wstring wanted_path = path ? path : L"";
  if (wanted_name.empty() && wanted_path.empty()) return nullptr;
  ComPtr<IBaseFilter> filter;
  ForEachDevice(category, [&](IMoniker* moniker, const AvDeviceEntry& entry) {
    if (!wanted_name.empty() && entry.name != wanted_name) return false;
    if (!wanted_path.empty() && entry.path != wanted_path) return false;
    const HRESULT hr = moniker->BindToObject(nullptr, nullptr, IID_PPV_ARGS(&filter));
    if (FAILED(hr)) {
      AvLog("The device cannot be bound, hr = %08lx", static_cast<unsigned long>(hr));
      filter.Reset();
      return true;
    }
    *opened = entry;
    return true;
  });
  return filter;
}

}  // namespace morlun
