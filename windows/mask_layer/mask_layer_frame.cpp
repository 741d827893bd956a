#include "windows/mask_layer/mask_layer_frame.h"

#include "shell/login/skin_choice.h"

namespace {

constexpr int kLayoutNumber = 11;  // "mask_lay_frame.xml"

}  // namespace

CMaskLayerFrame::CMaskLayerFrame(bool showSkipButton) : showSkipButton(showSkipButton) {}

DuiLib::CDuiString CMaskLayerFrame::GetSkinFile() { return ::GetSkinFile(kLayoutNumber); }

void CMaskLayerFrame::InitWindow() {
  HWND owner = GetWindow(m_hWnd, GW_OWNER);
  if (!owner) owner = GetParent(m_hWnd);
  RECT rc{};
  if (owner && GetWindowRect(owner, &rc)) {
    SetWindowPos(m_hWnd, nullptr, rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
  }
}

void CMaskLayerFrame::OnFinalMessage(HWND hWnd) {
  CSkinDialog::OnFinalMessage(hWnd);
  delete this;
}

void CMaskLayerFrame::RaiseCompanion() {
  if (!companionWindow || !IsWindow(companionWindow) || !IsWindowVisible(m_hWnd)) return;
  // The layer first, then the companion above it: two real moves, so that the display's own
  // stacking follows even where it has drifted from the windows' order (under Wine a layered
  // window goes on the display, on top, only once it has content, and raising a window that is
  // already first in the windows' order changes nothing there).
  ::SetWindowPos(m_hWnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  ::SetWindowPos(companionWindow, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
}

LRESULT CMaskLayerFrame::HandleCustomMessage(UINT uMsg, WPARAM wParam, LPARAM, BOOL& bHandled) {
  bHandled = FALSE;  // the message goes on to the default handling either way
  // Raised after the show or activation has ended, when the layer's own place is settled.
  if ((uMsg == WM_SHOWWINDOW && wParam) || (uMsg == WM_ACTIVATE && LOWORD(wParam) != WA_INACTIVE)) {
    ::PostMessageW(m_hWnd, kRaiseCompanionMessage, 0, 0);
    if (uMsg == WM_SHOWWINDOW) ::SetTimer(m_hWnd, kRaiseCompanionTimer, kRaiseCompanionDelayMs, nullptr);
  } else if (uMsg == WM_TIMER && wParam == kRaiseCompanionTimer) {
    ::KillTimer(m_hWnd, kRaiseCompanionTimer);
    bHandled = TRUE;
    RaiseCompanion();
  } else if (uMsg == kRaiseCompanionMessage) {
    bHandled = TRUE;
    RaiseCompanion();
  } else if (uMsg == kSkipButtonMessage) {
    if (DuiLib::CControlUI* skip = m_PaintManager.FindControl(L"skip_check_btn")) {
      skip->SetEnabled(wParam == 1);
    }
  }
  return 0;
}

void CMaskLayerFrame::Notify(DuiLib::TNotifyUI& msg) {
  if (msg.sType == L"windowinit") {
    if (companionWindow && IsWindow(companionWindow)) ::ShowWindow(companionWindow, SW_SHOW);
    if (DuiLib::CControlUI* skip = m_PaintManager.FindControl(L"skip_check_btn")) {
      skip->SetVisible(showSkipButton);
    }
    return;
  }
  if (msg.sType == L"click" && msg.pSender && msg.pSender->GetName() == L"skip_check_btn") {
    // The companion closes first (and may save its choices); the layer follows.
    if (companionWindow && IsWindow(companionWindow)) {
      ::SendMessageW(companionWindow, WM_CLOSE, 0, 0);
    }
    Close(1);
  }
}
