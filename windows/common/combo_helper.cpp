#include "windows/common/combo_helper.h"

#include "foundation/text_convert.h"

namespace combo_helper {

namespace {

constexpr int kOrange = 1;
constexpr DWORD kOrangeItemBack = 0xFFF4F4F4;
constexpr DWORD kOrangeItemText = 0xFF3E3F41;
constexpr DWORD kOrangeUnusableText = 0xFF7D7F8C;
constexpr DWORD kBlueSelectedText = 0xFFFFFFFF;
constexpr DWORD kBlueUnusableText = 0xFFACB2BF;

}  // namespace

void ApplyTheme(DuiLib::CComboUI* combo, int skin, bool usable) {
  if (!combo) return;
  DWORD selected_text = kBlueSelectedText;
  DWORD unusable_text = kBlueUnusableText;
  if (skin == kOrange) {
    combo->SetSelectedItemBkColor(kOrangeItemBack);
    combo->SetHotItemBkColor(kOrangeItemBack);
    combo->SetItemTextColor(kOrangeItemText);
    combo->SetHotItemTextColor(kOrangeItemText);
    selected_text = kOrangeItemText;
    unusable_text = kOrangeUnusableText;
  }
  if (usable) {
    combo->SetSelectedItemTextColor(selected_text);
  } else {
    // A disabled combo draws its text in the disabled colour: both say "nothing to choose".
    combo->SetSelectedItemTextColor(unusable_text);
    combo->SetDisabledItemTextColor(unusable_text);
  }
}

std::wstring ArrowImage(int skin, bool dropped) {
  return std::wstring(L"file='img\\") + (skin == kOrange ? L"orange" : L"blue") +
         L"\\combo.png' source='" + (dropped ? L"260,0,390,36" : L"0,0,130,36") +
         L"' corner='5,30,30,5'";
}

bool OnDropNotify(const DuiLib::TNotifyUI& msg, int skin) {
  const bool dropped = msg.sType == L"dropdown";
  if (!dropped && msg.sType != L"dropup") return false;
  auto* combo =
      msg.pSender ? static_cast<DuiLib::CComboUI*>(msg.pSender->GetInterface(L"Combo")) : nullptr;
  if (!combo) return false;
  combo->SetNormalImage(ArrowImage(skin, dropped).c_str());
  if (skin == kOrange) ApplyTheme(combo, skin);
  return true;
}

int FillDevices(DuiLib::CComboUI* combo, const std::vector<stDev_Info>& devices, int skin) {
  if (!combo) return 0;
  combo->RemoveAll();
  ApplyTheme(combo, skin, !devices.empty());
  for (const stDev_Info& device : devices) {
    auto* entry = new DuiLib::CListLabelElementUI;
    entry->SetText(Utf8ToUnicode(device.name).c_str());
    entry->SetUserData(Utf8ToUnicode(device.id).c_str());
    combo->Add(entry);
  }
  if (devices.empty()) {
    auto* none = new DuiLib::CListLabelElementUI;
    none->SetTextId(L"s.av.nodev");
    none->SetEnabled(false);
    combo->Add(none);
    combo->SelectItem(0, false, false);
  }
  combo->SetEnabled(!devices.empty());
  return static_cast<int>(devices.size());
}

int FindUnpluggedEntry(const std::wstring* ids, int count, const std::wstring& deviceText) {
  for (int i = 0; i < count; ++i) {
    if (!ids[i].empty() && ids[i] == deviceText) return i;
  }
  for (int i = 0; i < count; ++i) {
    if (!ids[i].empty() && deviceText.find(ids[i]) != std::wstring::npos) return i;
  }
  return -1;
}

int FindUnpluggedEntry(DuiLib::CComboUI* combo, const std::wstring& deviceText) {
  if (!combo) return -1;
  std::vector<std::wstring> ids;
  for (int i = 0; i < combo->GetCount(); ++i) ids.push_back(combo->GetItemAt(i)->GetUserData());
  return FindUnpluggedEntry(ids.data(), static_cast<int>(ids.size()), deviceText);
}

}  // namespace combo_helper
