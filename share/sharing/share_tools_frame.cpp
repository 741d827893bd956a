#include "share/sharing/share_tools_frame.h"

#include <cwchar>

#include "shell/jsevents/js_event_sender.h"
#include "shell/login/skin_choice.h"
#include "skin_resource.h"

namespace {

constexpr int kShareToolsLayout = 4;  // The toolbar's entry in the skin's layout table.

std::wstring ChatImage(int left) {
  wchar_t image[128];
  swprintf(image, 128, L"file='img\\%ls\\chat.png' source='%d,0,%d,40'",
           GetSkinIndex() == kSkinOrange ? L"orange" : L"blue", left, left + 40);
  return image;
}

}  // namespace

CShareToolsFrame::CShareToolsFrame(ShareDelegate* share, AnnoDelegate* anno)
    : m_pShare(share), m_pAnno(anno) {}

CShareToolsFrame::~CShareToolsFrame() {
  if (m_pAnnoTools && m_pAnnoTools->GetHWND()) DestroyWindow(m_pAnnoTools->GetHWND());
  if (m_hWnd && IsWindow(m_hWnd)) DestroyWindow(m_hWnd);
}

DuiLib::CDuiString CShareToolsFrame::GetSkinFile() { return ::GetSkinFile(kShareToolsLayout); }

DuiLib::UILIB_RESOURCETYPE CShareToolsFrame::GetResourceType() const {
  return DuiLib::UILIB_ZIPRESOURCE;
}

UINT CShareToolsFrame::GetResourceID() const { return kSkinResourceId; }

RECT CShareToolsFrame::WorkArea() const {
  MONITORINFO info{};
  info.cbSize = sizeof(info);
  HMONITOR monitor = MonitorFromWindow(m_hWnd, MONITOR_DEFAULTTONEAREST);
  if (!monitor || !GetMonitorInfoW(monitor, &info)) {
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &info.rcWork, 0);
  }
  return info.rcWork;
}

void CShareToolsFrame::Place() {
  if (!m_hWnd) return;
  const RECT work = WorkArea();
  RECT client{};
  GetClientRect(m_hWnd, &client);
  const int x = work.left + (work.right - work.left) / 2 - client.right / 2;
  SetWindowPos(m_hWnd, HWND_TOPMOST, x, work.top, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE);
}

void CShareToolsFrame::InitWindow() { Place(); }

void CShareToolsFrame::PaletteChoices::SetColor(std::uint32_t argb) {
  if (m_pTools->m_pAnno) m_pTools->m_pAnno->SetColor(argb);
}

void CShareToolsFrame::PaletteChoices::SetPenSize(int width) {
  if (m_pTools->m_pAnno) m_pTools->m_pAnno->SetPenSize(width);
}

void CShareToolsFrame::PaletteChoices::SetShape(int shape) {
  auto* pen = static_cast<DuiLib::COptionUI*>(m_pTools->m_PaintManager.FindControl(L"pen_anno"));
  if (pen && !pen->IsSelected()) pen->Selected(true, false);
  if (m_pTools->m_pAnno) m_pTools->m_pAnno->SetShape(shape);
}

void CShareToolsFrame::PaletteChoices::SetAnniPos() {
  if (m_pTools->m_pAnno) m_pTools->m_pAnno->SetAnniPos();
}

void CShareToolsFrame::SetTitle(const std::wstring& title) {
  m_sTitle = title;
  if (DuiLib::CControlUI* label = m_PaintManager.FindControl(L"sharename_lab")) {
    label->SetText(title.c_str());
  }
}

void CShareToolsFrame::SetUnreadCount(int count) {
  m_nUnread = count < 0 ? 0 : count;
  auto* chat = static_cast<DuiLib::CButtonUI*>(m_PaintManager.FindControl(L"go_chat"));
  if (!chat) return;
  if (m_nUnread == 0) {
    chat->SetText(L"");
    chat->SetNormalImage(ChatImage(0).c_str());
    chat->SetHotImage(ChatImage(40).c_str());
    chat->SetPushedImage(ChatImage(40).c_str());
    return;
  }
  chat->SetText(std::to_wstring(m_nUnread >= 100 ? kMaxShownCount : m_nUnread).c_str());
  chat->SetNormalImage(ChatImage(80).c_str());
  chat->SetHotImage(ChatImage(120).c_str());
  chat->SetPushedImage(ChatImage(120).c_str());
}

void CShareToolsFrame::Show(bool show) {
  if (!m_hWnd) return;
  if (show) {
    Place();
    m_bSlideArmed = false;
    SetTimer(m_hWnd, kSlideTimer, kSlideFirstMs, nullptr);
    SetTimer(m_hWnd, kAnnoPosTimer, kAnnoPosEveryMs, nullptr);
    ::ShowWindow(m_hWnd, SW_SHOWNOACTIVATE);
    return;
  }
  KillTimer(m_hWnd, kSlideTimer);
  KillTimer(m_hWnd, kAnnoPosTimer);
  m_bSlidUp = false;
  if (auto* arrow = static_cast<DuiLib::COptionUI*>(m_PaintManager.FindControl(L"arrow_anno"))) {
    arrow->Selected(true, false);
  }
  ::ShowWindow(m_hWnd, SW_HIDE);
}

void CShareToolsFrame::SlideCheck() {
  const RECT work = WorkArea();
  RECT rect{};
  GetWindowRect(m_hWnd, &rect);
  if (rect.top > work.top + 5) {
    m_bSlidUp = false;
    return;
  }
  POINT cursor{};
  GetCursorPos(&cursor);
  const UINT flags = SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE;
  if (PtInRect(&rect, cursor)) {
    m_bSlidUp = false;
    SetWindowPos(m_hWnd, nullptr, rect.left, work.top, 0, 0, flags);
    return;
  }
  bool over_palette = false;
  if (m_pAnnoTools && m_pAnnoTools->GetHWND() && IsWindowVisible(m_pAnnoTools->GetHWND())) {
    RECT palette{};
    GetWindowRect(m_pAnnoTools->GetHWND(), &palette);
    over_palette = PtInRect(&palette, cursor) != FALSE;
  }
  if (!m_bSlidUp && !over_palette) {
    m_bSlidUp = true;
    SetWindowPos(m_hWnd, nullptr, rect.left, work.top - kSlideHeight, 0, 0, flags);
  }
}

LRESULT CShareToolsFrame::OnPosChanging(WINDOWPOS* pos) {
  if (pos->flags & SWP_NOMOVE) return 0;
  if (!m_bSlidUp) {
    const RECT work = WorkArea();
    RECT client{};
    GetClientRect(m_hWnd, &client);
    if (pos->x < 0 || pos->y < 0 || pos->x + client.right > work.right ||
        pos->y + client.bottom > work.bottom) {
      pos->flags |= SWP_NOMOVE;
      return 0;
    }
  }
  return DefWindowProcW(m_hWnd, WM_WINDOWPOSCHANGING, 0, reinterpret_cast<LPARAM>(pos));
}

LRESULT CShareToolsFrame::HandleCustomMessage(UINT uMsg, WPARAM wParam, LPARAM lParam,
                                              BOOL& bHandled) {
  switch (uMsg) {
    case WM_TIMER:
      if (wParam == kSlideTimer) {
        if (!m_bSlideArmed) {
          m_bSlideArmed = true;
          SetTimer(m_hWnd, kSlideTimer, kSlideEveryMs, nullptr);
        }
        SlideCheck();
        bHandled = TRUE;
        return 0;
      }
      if (wParam == kAnnoPosTimer) {
        if (m_pAnno) m_pAnno->SetAnniPos();
        bHandled = TRUE;
        return 0;
      }
      break;
    case WM_NCMOUSEMOVE:
      if (m_bSlidUp) SlideCheck();
      break;
    case WM_WINDOWPOSCHANGING:
      bHandled = TRUE;
      return OnPosChanging(reinterpret_cast<WINDOWPOS*>(lParam));
    default:
      break;
  }
  return WindowImplBase::HandleCustomMessage(uMsg, wParam, lParam, bHandled);
}

void CShareToolsFrame::Notify(DuiLib::TNotifyUI& msg) {
  const DuiLib::CDuiString name = msg.pSender ? msg.pSender->GetName() : DuiLib::CDuiString();
  if (msg.sType == L"windowinit") {
    m_pAnnoTools = std::make_unique<CAnnoToolsFrame>(&m_paletteChoices);
    m_pAnnoTools->Create(m_hWnd, L"AnnoToolsFrame", WS_POPUP, WS_EX_TOOLWINDOW);
    SetTitle(m_sTitle);
    SetUnreadCount(m_nUnread);
  } else if (msg.sType == L"click") {
    if (name == L"close_share") {
      if (m_pShare) m_pShare->OnShareStopped();
    } else if (name == L"setting_share") {
      if (m_pShare) m_pShare->OnShowShareFrame();
    } else if (name == L"go_chat") {
      CJsEventSender::Instance()->NotifyWindowZoomed(true, 1);
      SetUnreadCount(0);
    }
  } else if (msg.sType == L"mouseenter") {
    if (name == L"pen_anno" && m_pAnnoTools) m_pAnnoTools->ShowUnder(m_hWnd);
  } else if (msg.sType == L"mouseleave") {
    if (m_pAnnoTools) m_pAnnoTools->HideLater();
  } else if (msg.sType == L"selectchanged") {
    if (!m_pAnno) return;
    if (name == L"clear_anno") {
      m_pAnno->SetShape(3);
    } else if (name == L"pen_anno") {
      m_pAnno->SetShape(m_pAnnoTools ? m_pAnnoTools->GetShape() : 1);
    } else if (name == L"arrow_anno") {
      m_pAnno->SetShape(0);
    }
  }
}
