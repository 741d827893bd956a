// The push-stream page of the settings window: the extra push destinations of the broadcast,
// their start, stop, edit and delete buttons, and the push address dialog.

#include <cwchar>
#include <string>

#include "foundation/log.h"
#include "shell/jsevents/js_event_sender.h"
#include "shell/login/skin_choice.h"
#include "windows/add_push_stream/add_push_stream_frame.h"
#include "windows/settings/setting_frame.h"

namespace {

constexpr int kMaxPushStreams = 10;
constexpr DWORD kPushingColour = 0xFFFFFFFF;
constexpr DWORD kPushingBadge = 0xFF27AE60;  // behind the white text, on either skin
constexpr DWORD kErrorColour = 0xFFEA494B;
constexpr wchar_t kItemPrefix[] = L"push_stream_item";

// The row buttons, matched on their name without the row number.
constexpr const wchar_t* kStartButton = L"start_push_stream";
constexpr const wchar_t* kStopButton = L"stop_push_stream";
constexpr const wchar_t* kEditButton = L"edit_stream_address_btn";
constexpr const wchar_t* kDeleteButton = L"del_stream_address_btn";
constexpr const wchar_t* const kRowChildren[] = {
    L"push_stream_platform_lab", L"push_stream_resolution_lab", L"push_stream_status_lab",
    kStartButton, kStopButton, kEditButton, kDeleteButton};

bool HasPrefix(const DuiLib::CDuiString& name, const wchar_t* prefix) {
  return name.compare(0, wcslen(prefix), prefix) == 0;
}

// The number a row carries in its name ("push_stream_item7" → 7), or -1.
int RowNumber(DuiLib::CControlUI* item) {
  const DuiLib::CDuiString name = item->GetName();
  if (!HasPrefix(name, kItemPrefix)) return -1;
  const wchar_t* digits = name.c_str() + wcslen(kItemPrefix);
  return *digits ? static_cast<int>(wcstol(digits, nullptr, 10)) : -1;
}

bool IsPushing(DuiLib::CControlUI* item) { return item->GetTag() == 1; }

}  // namespace

void CSettingFrame::LoadPushStreamList() {
  if (!pushList) return;
  pushList->RemoveAll();
  StAppConfig* config = GetAppConfig();
  for (int i = 0; i < config->PushStreamCount(); ++i) AddPushStreamItem(*config->GetPushStream(i));
  if (pushTab) pushTab->SelectItem(config->PushStreamCount() > 0 ? 1 : 0);
  UpdatePushStreamState();
}

void CSettingFrame::AddPushStreamItem(const StPushStreamInfo& record) {
  const std::wstring layout = std::wstring(L"xml\\") +
                              (GetSkinIndex() == kSkinOrange ? L"orange" : L"blue") +
                              L"\\push_stream_list_item.xml";
  DuiLib::CDialogBuilder builder;
  DuiLib::CControlUI* item = builder.Create(layout.c_str(), nullptr, this, &m_PaintManager);
  if (!item) {
    TVLOG_AT(CLogWrapper::kError, this) << "push stream row layout failed";
    return;
  }
  const int number = ++itemCounter;
  const std::wstring suffix = std::to_wstring(number);
  item->SetName((kItemPrefix + suffix).c_str());
  const bool pushing = record.state == 0;
  // The tag says whether the row pushes; the row's number lives in its name.
  item->SetTag(pushing ? 1 : 0);
  for (const wchar_t* child : kRowChildren) {
    DuiLib::CControlUI* control = item->FindControlByName(child);
    if (!control) continue;
    const std::wstring base = child;
    control->SetName((base + suffix).c_str());
    if (base == L"push_stream_platform_lab") {
      control->SetText(record.platform_name.c_str());
      control->SetToolTip(record.platform_name.c_str());
    } else if (base == L"push_stream_resolution_lab") {
      wchar_t size[32] = {};
      swprintf(size, 32, L"%d*%d", record.width, record.height);
      control->SetText(size);
    } else if (base == L"push_stream_status_lab") {
      if (pushing) {
        control->SetTextId(L"s.pushstreming");
        control->SetTextColor(kPushingColour);
        control->SetBkColor(kPushingBadge);
      } else {
        control->SetTextId(L"");
        control->SetText(L"");
        control->SetTextColor(kErrorColour);
        control->SetBkColor(0);
      }
    } else {
      // Buttons find their row through the tag.
      control->SetTag(reinterpret_cast<uintptr_t>(item));
      if (base == kStartButton) control->SetVisible(!pushing);
      if (base == kStopButton) control->SetVisible(pushing);
      if (base == kEditButton || base == kDeleteButton) {
        control->SetEnabled(!pushing);
        // These open a dialog or make the page send a new list: their handler must never
        // run inside the button's own input handling, as the row may be rebuilt meanwhile.
        control->SetAsyncNotify(true);
      }
    }
  }
  if (!pushList->Add(item)) delete item;
}

void CSettingFrame::UpdatePushStreamState() {
  if (!pushList) return;
  const int count = pushList->GetCount();
  const bool allowed = GetAppConfig()->live_running;
  for (int i = 0; i < count; ++i) {
    DuiLib::CControlUI* item = pushList->GetItemAt(i);
    const int number = RowNumber(item);
    if (number < 0) continue;
    const std::wstring suffix = std::to_wstring(number);
    for (const wchar_t* button : {kStartButton, kStopButton, kEditButton, kDeleteButton}) {
      DuiLib::CControlUI* control =
          m_PaintManager.FindSubControlByName(item, (std::wstring(button) + suffix).c_str());
      if (!control) continue;
      const bool changesRow =
          wcscmp(button, kEditButton) == 0 || wcscmp(button, kDeleteButton) == 0;
      control->SetEnabled(allowed && !(changesRow && IsPushing(item)));
    }
  }
  for (const wchar_t* name : {L"add_push_stream_btn", L"add_strem_second_btn"}) {
    if (DuiLib::CControlUI* add = m_PaintManager.FindControl(name)) {
      add->SetEnabled(count < kMaxPushStreams && allowed);
    }
  }
  if (DuiLib::CControlUI* all = m_PaintManager.FindControl(L"quick_push_flow_btn")) {
    all->SetEnabled(count > 0 && allowed);
  }
  if (DuiLib::CControlUI* tips = m_PaintManager.FindControl(L"add_priv_tips")) {
    tips->SetVisible(count <= 0 && !allowed);
  }
}

int CSettingFrame::RowOfButton(DuiLib::CControlUI* button) const {
  if (!pushList || !button) return -1;
  auto* item = reinterpret_cast<DuiLib::CControlUI*>(static_cast<uintptr_t>(button->GetTag()));
  return item ? pushList->GetItemIndex(item) : -1;
}

bool CSettingFrame::OnPushStreamClick(const DuiLib::CDuiString& name, DuiLib::CControlUI* sender) {
  if (name == L"add_push_stream_btn" || name == L"add_strem_second_btn") {
    ShowAddPushStreamAddressFrame(-1, nullptr);
    return true;
  }
  if (name == L"quick_push_flow_btn") {
    CJsEventSender::Instance()->NotifyPushStreamState(1, std::string());
    return true;
  }
  StAppConfig* config = GetAppConfig();
  if (HasPrefix(name, kStartButton) || HasPrefix(name, kStopButton)) {
    const int row = RowOfButton(sender);
    PushStreamAction(row >= 0 ? pushList->GetItemAt(row) : nullptr, HasPrefix(name, kStartButton));
    return true;
  }
  if (HasPrefix(name, kEditButton)) {
    const StPushStreamInfo* record = config->GetPushStream(RowOfButton(sender));
    if (record) {
      const StPushStreamInfo copy = *record;
      ShowAddPushStreamAddressFrame(RowOfButton(sender), &copy);
    }
    return true;
  }
  if (HasPrefix(name, kDeleteButton)) {
    if (const StPushStreamInfo* record = config->GetPushStream(RowOfButton(sender))) {
      CJsEventSender::Instance()->NotifyPushStreamState(5, record->stream_id);
    }
    return true;
  }
  return false;
}

void CSettingFrame::PushStreamAction(DuiLib::CControlUI* item, bool start) {
  if (!item || !pushList) return;
  const int row = pushList->GetItemIndex(item);
  if (const StPushStreamInfo* record = GetAppConfig()->GetPushStream(row)) {
    CJsEventSender::Instance()->NotifyPushStreamState(start ? 3 : 4, record->stream_id);
  }
}

void CSettingFrame::ShowAddPushStreamAddressFrame(int /*index*/, const StPushStreamInfo* record) {
  std::wstring platform;
  std::wstring address;
  int resolution = 0;
  std::string streamId;
  int state = 0;
  if (record) {
    platform = record->platform_name;
    address = record->push_url;
    streamId = record->stream_id;
    state = record->state;
    resolution = record->width == 1280 ? 1 : record->width == 640 ? 2 : 0;
  }
  auto* dialog = new CAddPushStreamFrame(&platform, &address, &resolution);
  if (!dialog->Create(m_hWnd, L"AddPushStreamFrame", 0x96C80000, 0)) {
    delete dialog;
    return;
  }
  // Nothing of the page is touched after the dialog: a new list may have come meanwhile.
  if (dialog->ShowModal() == 0) return;
  TVLOG_AT(CLogWrapper::kInfo, this) << "CAddPushStreamFrame ShowModal End!";
  if (!GetAppConfig()->live_running) return;
  static const int kSizes[3][2] = {{1920, 1080}, {1280, 720}, {640, 360}};
  const int chosen = resolution >= 0 && resolution <= 2 ? resolution : 0;
  StPushStreamInfo added;
  added.platform_name = platform;
  added.push_url = address;
  added.stream_id = streamId;
  added.state = state;
  added.width = kSizes[chosen][0];
  added.height = kSizes[chosen][1];
  CJsEventSender::Instance()->NotifyPushStreamAdded(added);
}
