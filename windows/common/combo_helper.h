#pragma once

// The combos of the settings and device windows look and fill alike; these helpers do it.
//
// Skin colours (`skin` is the skin index: 1 orange, anything else blue):
//   orange: selected-item and hot-item background 0xFFF4F4F4; item, selected-item and
//           hot-item text 0xFF3E3F41;
//   blue:   only the selected-item text, 0xFFFFFFFF.
// A combo without a usable entry shows its text in 0xFF7D7F8C (orange) or 0xFFACB2BF (blue).
//
// UI thread only.

#include <string>
#include <vector>

#include "foundation/dev_consumer.h"
#include "platform/duilib/UIlib.h"

namespace combo_helper {

// Sets the combo's item colours for `skin`; `usable` is false for a combo without an entry
// the user can choose.
void ApplyTheme(DuiLib::CComboUI* combo, int skin, bool usable = true);

// The combo's arrow picture: "file='img\<skin>\combo.png' source='260,0,390,36'
// corner='5,30,30,5'" while its list is open, source '0,0,130,36' while closed.
std::wstring ArrowImage(int skin, bool dropped);

// For a "dropdown" or "dropup" notification from a combo: sets its arrow picture (and, on the
// orange skin, its item colours). Returns false, doing nothing, for any other notification.
bool OnDropNotify(const DuiLib::TNotifyUI& msg, int skin);

// Empties the combo and fills it with one entry per device: the name as text, the identifier
// as user data (both UTF-8). An empty list gives one disabled entry with the text of
// "s.av.nodev", selected without an event, and disables the combo; otherwise the combo is
// enabled and nothing is selected. Returns the number of devices.
int FillDevices(DuiLib::CComboUI* combo, const std::vector<stDev_Info>& devices, int skin);

// Which entry of a device list an unplugged device is: entries with an empty identifier never
// match; an identifier equal to `deviceText` first, else the first identifier that occurs in it
// (Core Audio and the SDK spell identifiers differently). -1 when none matches.
int FindUnpluggedEntry(const std::wstring* ids, int count, const std::wstring& deviceText);
// The same over the entries' user data (identifiers) of `combo`.
int FindUnpluggedEntry(DuiLib::CComboUI* combo, const std::wstring& deviceText);

}  // namespace combo_helper
