#include "windows/exit_meet/exit_meet_frame.h"

#include "foundation/log.h"
#include "shell/login/skin_choice.h"

namespace {

constexpr int kLayoutNumber = 16;  // "exit_meet_frame.xml"
// Log readers look for this record at the line it has always carried.
constexpr int kCloseRecordLine = 71;

}  // namespace

CExitMeetFrame::CExitMeetFrame(bool isHost) : isHost(isHost) {}

DuiLib::CDuiString CExitMeetFrame::GetSkinFile() { return ::GetSkinFile(kLayoutNumber); }

void CExitMeetFrame::InitWindow() { CenterWindow(); }

void CExitMeetFrame::OnFinalMessage(HWND hWnd) {
  CSkinDialog::OnFinalMessage(hWnd);
  delete this;
}

UINT CExitMeetFrame::ChosenResult() {
  if (!isHost) return kLeaveOrUpdate;
  UINT result = kCancel;
  auto* end = FindAs<DuiLib::COptionUI>(L"end_meet_opt", L"Option");
  auto* leave = FindAs<DuiLib::COptionUI>(L"leave_meet_opt", L"Option");
  if (end && end->IsSelected()) result = kEndLive;
  if (leave && leave->IsSelected()) result = kLeaveOrUpdate;
  return result;
}

void CExitMeetFrame::Notify(DuiLib::TNotifyUI& msg) {
  if (msg.sType == L"windowinit") {
    if (auto* tab = FindAs<DuiLib::CTabLayoutUI>(L"tab_layout", L"TabLayout")) {
      tab->SelectItem(isHost ? 0 : 1);
    }
    if (isHost) {
      if (auto* leave = FindAs<DuiLib::COptionUI>(L"leave_meet_opt", L"Option")) {
        leave->Selected(true, false);
      }
    }
    return;
  }
  if (msg.sType != L"click" || !msg.pSender) return;
  const DuiLib::CDuiString name = msg.pSender->GetName();
  if (name == L"closebtn" || name == L"btn_cancel") {
    Close(kCancel);
  } else if (name == L"btn_ok") {
    const UINT result = ChosenResult();
    Close(result);
    CLogRecord(CLogWrapper::kInfo, __PRETTY_FUNCTION__, kCloseRecordLine, this).Stream()
        << " Close nRes = " << result;
  }
}
