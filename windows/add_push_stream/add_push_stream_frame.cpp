#include "windows/add_push_stream/add_push_stream_frame.h"

#include <cctype>

#include "foundation/app_config.h"
#include "foundation/log.h"
#include "shell/login/skin_choice.h"
#include "windows/common/combo_helper.h"

namespace {

constexpr int kLayoutNumber = 1;  // "add_push_stream_frame.xml"
constexpr int kResolutionCount = 3;
constexpr int kDefaultResolution = 1;  // 1280 × 720

std::wstring EditBackground(bool focused) {
  return std::wstring(L"file='img\\") + (GetSkinIndex() == kSkinOrange ? L"orange" : L"blue") +
         L"\\editbk.png' source='" + (focused ? L"240,0,480,36" : L"0,0,240,36") +
         L"' corner='4,4,4,4'";
}

bool IsBlank(const std::wstring& text) {
  return text.find_first_not_of(L" \t\r\n\x3000") == std::wstring::npos;
}

}  // namespace

CAddPushStreamFrame::CAddPushStreamFrame(std::wstring* platformName, std::wstring* pushAddress,
                                         int* resolution)
    : platformName(platformName), pushAddress(pushAddress), resolution(resolution) {}

DuiLib::CDuiString CAddPushStreamFrame::GetSkinFile() { return ::GetSkinFile(kLayoutNumber); }

void CAddPushStreamFrame::InitWindow() { CenterWindow(); }

void CAddPushStreamFrame::OnFinalMessage(HWND hWnd) {
  CSkinDialog::OnFinalMessage(hWnd);
  delete this;
}

const wchar_t* CAddPushStreamFrame::PlatformNameProblem(const std::wstring& name) {
  if (IsBlank(name)) return L"s.platname.tips";
  // Only ASCII can be punctuation here: the check runs on the UTF-16 text itself, so names in
  // any script pass whatever the system code page is.
  for (wchar_t c : name) {
    if (c < 128 && std::ispunct(static_cast<unsigned char>(c))) return L"s.platname2.tips";
  }
  return nullptr;
}

bool CAddPushStreamFrame::IsPushAddress(const std::wstring& address) {
  return address.compare(0, 7, L"rtmp://") == 0 || address.compare(0, 7, L"RTMP://") == 0;
}

int CAddPushStreamFrame::FirstAllowedResolution(const std::string& liveResolution) {
  if (liveResolution == "1080") return 0;
  if (liveResolution == "720") return 1;
  return 2;
}

void CAddPushStreamFrame::ShowNameLength() {
  auto* edit = FindAs<DuiLib::CEditUI>(L"platform_name_edit", L"Edit");
  DuiLib::CControlUI* counter = m_PaintManager.FindControl(L"input_name_len");
  if (!edit || !counter) return;
  const std::wstring text = std::to_wstring(edit->GetText().size()) + L"/" +
                            std::to_wstring(kMaxNameLength);
  counter->SetText(text.c_str());
}

void CAddPushStreamFrame::ShowNameFocus(bool focused) {
  if (DuiLib::CControlUI* layout = m_PaintManager.FindControl(L"platforminput_layout")) {
    layout->SetBkImage(EditBackground(focused).c_str());
  }
}

void CAddPushStreamFrame::OnWindowInit() {
  auto* name_edit = FindAs<DuiLib::CEditUI>(L"platform_name_edit", L"Edit");
  auto* address_edit = FindAs<DuiLib::CEditUI>(L"address_edit", L"Edit");
  auto* combo = FindAs<DuiLib::CComboUI>(L"resolution_combo", L"Combo");
  const bool editing = platformName && !platformName->empty();
  int selected = kDefaultResolution;
  if (editing) {
    if (name_edit) name_edit->SetText(platformName->c_str());
    if (address_edit && pushAddress) address_edit->SetText(pushAddress->c_str());
    if (resolution && *resolution >= 0 && *resolution < kResolutionCount) selected = *resolution;
  }
  ShowNameLength();
  const int first_allowed = FirstAllowedResolution(GetAppConfig()->live_resolution);
  if (!editing && first_allowed == kResolutionCount - 1) selected = first_allowed;
  if (combo) {
    for (int i = 0; i < combo->GetCount(); ++i) combo->GetItemAt(i)->SetEnabled(i >= first_allowed);
    combo->SelectItem(selected, false, false);
    combo_helper::ApplyTheme(combo, GetSkinIndex());
  }
  for (const wchar_t* tip : {L"platform_name_error_tips", L"stream_address_error_tips"}) {
    if (DuiLib::CControlUI* label = m_PaintManager.FindControl(tip)) label->SetVisible(false);
  }
}

void CAddPushStreamFrame::OnClickButton(DuiLib::TNotifyUI& msg) {
  const DuiLib::CDuiString sender = msg.pSender->GetName();
  if (sender == L"closebtn" || sender == L"cancel_btn") {
    Close(0);
    return;
  }
  if (sender != L"ok_btn") return;
  auto* name_edit = FindAs<DuiLib::CEditUI>(L"platform_name_edit", L"Edit");
  auto* address_edit = FindAs<DuiLib::CEditUI>(L"address_edit", L"Edit");
  auto* combo = FindAs<DuiLib::CComboUI>(L"resolution_combo", L"Combo");
  if (!name_edit || !address_edit || !combo) return;

  const std::wstring name = name_edit->GetText();
  const std::wstring address = address_edit->GetText();
  const wchar_t* name_problem = PlatformNameProblem(name);
  if (name_problem) {
    if (DuiLib::CControlUI* tip = m_PaintManager.FindControl(L"platform_name_error_tips")) {
      tip->SetTextId(name_problem);
      tip->SetVisible(true);
    }
  }
  const bool address_ok = IsPushAddress(address);
  if (!address_ok) {
    if (DuiLib::CControlUI* tip = m_PaintManager.FindControl(L"stream_address_error_tips")) {
      tip->SetVisible(true);
    }
  }
  if (name_problem || !address_ok) return;

  if (platformName) *platformName = name;
  if (pushAddress) *pushAddress = address;
  if (resolution) *resolution = combo->GetCurSel();
  TVLOG_INFO_THIS() << "CAddPushStreamFrame End!";
  Close(1);
}

void CAddPushStreamFrame::Notify(DuiLib::TNotifyUI& msg) {
  if (msg.sType == L"windowinit") {
    OnWindowInit();
    return;
  }
  if (!msg.pSender) return;
  const DuiLib::CDuiString sender = msg.pSender->GetName();
  if (msg.sType == L"click") {
    OnClickButton(msg);
  } else if (msg.sType == L"setfocus") {
    if (sender == L"platform_name_edit") {
      ShowNameFocus(true);
      if (DuiLib::CControlUI* tip = m_PaintManager.FindControl(L"platform_name_error_tips")) {
        tip->SetVisible(false);
      }
    } else if (sender == L"address_edit") {
      if (DuiLib::CControlUI* tip = m_PaintManager.FindControl(L"stream_address_error_tips")) {
        tip->SetVisible(false);
      }
    }
  } else if (msg.sType == L"killfocus") {
    if (sender == L"platform_name_edit") ShowNameFocus(false);
  } else if (msg.sType == L"textchanged") {
    if (sender == L"platform_name_edit") ShowNameLength();
  }
}
