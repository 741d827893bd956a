#include "share/anno/anno_tools_frame.h"

#include <cwchar>

#include "shell/login/skin_choice.h"
#include "skin_resource.h"

namespace {

constexpr int kAnnoToolsLayout = 2;  // The palette's entry in the skin's layout table.

bool StartsWith(const DuiLib::CDuiString& text, const wchar_t* prefix) {
  return text.compare(0, wcslen(prefix), prefix) == 0;
}

int UserDataNumber(DuiLib::CControlUI* control) {
  return static_cast<int>(wcstol(control->GetUserData().c_str(), nullptr, 10));
}

}  // namespace

std::uint32_t CAnnoToolsFrame::ColourOfIndex(int index) {
  static constexpr std::uint32_t kColours[] = {0xFFFFFFFF, 0xFF949699, 0xFFE62222, 0xFFFF6A0C,
                                               0xFF02BF50, 0xFF43D7B5, 0xFF026FFF, 0xFF6336FF};
  if (index < 0 || index >= static_cast<int>(sizeof(kColours) / sizeof(kColours[0]))) {
    return 0xFFE62222;
  }
  return kColours[index];
}

DuiLib::CDuiString CAnnoToolsFrame::GetSkinFile() { return ::GetSkinFile(kAnnoToolsLayout); }

DuiLib::UILIB_RESOURCETYPE CAnnoToolsFrame::GetResourceType() const {
  return DuiLib::UILIB_ZIPRESOURCE;
}

UINT CAnnoToolsFrame::GetResourceID() const { return kSkinResourceId; }

void CAnnoToolsFrame::Notify(DuiLib::TNotifyUI& msg) {
  if (msg.sType != L"selectchanged" || !msg.pSender) {
    WindowImplBase::Notify(msg);
    return;
  }
  const DuiLib::CDuiString name = msg.pSender->GetName();
  const int value = UserDataNumber(msg.pSender);
  if (StartsWith(name, L"color_")) {
    if (m_pDelegate) m_pDelegate->SetColor(ColourOfIndex(value));
  } else if (StartsWith(name, L"pensize_")) {
    if (m_pDelegate) m_pDelegate->SetPenSize(value);
  } else if (StartsWith(name, L"grap_")) {
    m_nShape = value + 1;
    if (m_pDelegate) m_pDelegate->SetShape(m_nShape);
  }
}

void CAnnoToolsFrame::ShowUnder(HWND anchor) {
  if (!m_hWnd || !anchor) return;
  KillTimer(m_hWnd, kHideTimer);
  RECT anchor_rect{};
  GetWindowRect(anchor, &anchor_rect);
  RECT client{};
  GetClientRect(m_hWnd, &client);
  const int x = anchor_rect.left + 260 - client.right / 2;
  const int y = anchor_rect.bottom - 6;
  SetWindowPos(m_hWnd, HWND_TOPMOST, x, y, 0, 0, SWP_NOSIZE | SWP_SHOWWINDOW | SWP_NOACTIVATE);
}

void CAnnoToolsFrame::HideLater() {
  if (m_hWnd) SetTimer(m_hWnd, kHideTimer, kHideDelayMs, nullptr);
}

LRESULT CAnnoToolsFrame::HandleCustomMessage(UINT uMsg, WPARAM wParam, LPARAM lParam,
                                             BOOL& bHandled) {
  if (uMsg == WM_TIMER && wParam == kHideTimer) {
    KillTimer(m_hWnd, kHideTimer);
    POINT cursor{};
    RECT rect{};
    GetCursorPos(&cursor);
    GetWindowRect(m_hWnd, &rect);
    if (PtInRect(&rect, cursor)) {
      SetTimer(m_hWnd, kHideTimer, kHideRetryMs, nullptr);
    } else {
      ::ShowWindow(m_hWnd, SW_HIDE);
    }
    bHandled = TRUE;
    return 0;
  }
  return WindowImplBase::HandleCustomMessage(uMsg, wParam, lParam, bHandled);
}
