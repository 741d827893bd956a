#include "windows/log_send_wait/log_send_wait_frame.h"

#include "shell/login/skin_choice.h"

namespace {

constexpr int kLayoutNumber = 10;  // "logsendframe.xml"
constexpr int kGapBelowTop = 60;

}  // namespace

DuiLib::CDuiString CLogSendWaitFrame::GetSkinFile() { return ::GetSkinFile(kLayoutNumber); }

DuiLib::CAnimationUI* CLogSendWaitFrame::Animation() {
  return FindAs<DuiLib::CAnimationUI>(L"logo_lab", L"PngAnim");
}

void CLogSendWaitFrame::Notify(DuiLib::TNotifyUI& msg) {
  if (msg.sType == L"windowinit") {
    if (DuiLib::CAnimationUI* animation = Animation()) animation->PlayAnimation();
  }
}

void CLogSendWaitFrame::ShowWait(const RECT& rc) {
  if (!IsWindow(m_hWnd)) return;
  RECT client{};
  GetClientRect(m_hWnd, &client);
  const int x = rc.left + (rc.right - rc.left) / 2 - client.right / 2;
  const int y = rc.top + client.bottom + kGapBelowTop;
  SetWindowPos(m_hWnd, HWND_TOP, x, y, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
  if (DuiLib::CAnimationUI* animation = Animation()) animation->PlayAnimation();
  m_PaintManager.Invalidate();
}

void CLogSendWaitFrame::StopWait() {
  if (!IsWindow(m_hWnd)) return;
  ::ShowWindow(m_hWnd, SW_HIDE);
  if (DuiLib::CAnimationUI* animation = Animation()) animation->StopAnimation();
}
