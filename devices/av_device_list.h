#pragma once

// Devices of a DirectShow device category (video input, audio input, audio renderer) as the
// system device enumerator lists them: a name (the "FriendlyName" property) and a path (the
// moniker's display name). Devices without either are left out.

#include <windows.h>
#include <strmif.h>
#include <wrl/client.h>

#include <functional>
#include <string>
#include <vector>

namespace morlun {

struct AvDeviceEntry {
  std::wstring name;
  std::wstring path;
};

// Fills `devices` (emptied first) with the category's devices for which `keep` (when given)
// is true. Returns their number, or -1 when the system device enumerator or the category
// cannot be opened (an empty category is 0).
int ListDevices(const GUID& category, std::vector<AvDeviceEntry>* devices,
                const std::function<bool(const AvDeviceEntry&)>& keep = nullptr);

// Binds the first device of the category whose name and path both equal the given ones; an
// empty (or null) path matches by name alone, an empty name by path alone; both empty match
// nothing. Returns the filter and fills `opened`, or null.
Microsoft::WRL::ComPtr<IBaseFilter> BindDevice(const GUID& category, const wchar_t* name,
                                               const wchar_t* path, AvDeviceEntry* opened);

}  // namespace morlun
