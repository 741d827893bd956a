#include "windows/dev_tools/dev_tools_frame.h"

#include <windowsx.h>

#include "foundation/app_config.h"
#include "foundation/log.h"
#include "platform/browser/web_run.h"
#include "shell/browser_control/cef_web_browser_ui.h"
#include "shell/login/skin_choice.h"

namespace {

constexpr int kLayoutNumber = 8;  // "dev_tools.xml"

// The lines that the browser reports keep in the log, as the log readers know them.
constexpr int kLoadingStateRecordLine = 228;
constexpr int kLoadErrorRecordLine = 234;
constexpr int kNewUrlRecordLine = 239;

bool IsClientClass(const wchar_t* cls) {
  static const wchar_t* const kClientClasses[] = {L"ButtonUI", L"OptionUI", L"TextUI", L"EditUI"};
  if (cls == nullptr) return false;
  for (const wchar_t* name : kClientClasses) {
    if (_wcsicmp(cls, name) == 0) return true;
  }
  return false;
}

}  // namespace

DuiLib::CDuiString CDevToolsFrame::GetSkinFile() { return ::GetSkinFile(kLayoutNumber); }

void CDevToolsFrame::InitWindow() { CenterWindow(); }

DuiLib::CControlUI* CDevToolsFrame::CreateControl(const wchar_t* pstrClass) {
  if (pstrClass == nullptr || wcscmp(pstrClass, L"CefWebkit") != 0) return nullptr;
  m_pWebBrowser = new CCefWebBrowserUI(this);
  m_pWebBrowser->InitBrowser();
  return m_pWebBrowser;
}

unsigned CDevToolsFrame::GetBrowserId() const {
  return m_pWebBrowser != nullptr ? m_pWebBrowser->GetBrowserId() : 0;
}

void CDevToolsFrame::Notify(DuiLib::TNotifyUI& msg) {
  if (msg.sType == L"windowinit") {
    if (m_pWebBrowser != nullptr) m_pWebBrowser->SetVisible(true);
    return;
  }
  if (msg.sType == L"click" && msg.pSender != nullptr && msg.pSender->GetName() == L"closebtn") {
    // The window stays until the browser library reports the browser closed.
    if (m_pWebBrowser != nullptr) m_pWebBrowser->CloseBrowser();
    return;
  }
  CSkinDialog::Notify(msg);
}

LRESULT CDevToolsFrame::HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) {
  if (uMsg == WM_CLOSE && m_pWebBrowser != nullptr && m_pWebBrowser->IsClosing()) {
    // The library's close request: the browser's host window goes first; its end closes us.
    m_pWebBrowser->CloseHostWindow();
    return 0;
  }
  if (uMsg == WM_CLOSE && m_pWebBrowser != nullptr && !m_pWebBrowser->IsClosed() &&
      m_pWebBrowser->GetBrowserId() != 0 && m_pWebBrowser->GetHostWnd() == nullptr) {
    // The tools were never shown here: no host window would take the browser with this
    // window, so it would stay in the library for good (and the program could not end).
    // Close it first; its end closes the window.
    m_pWebBrowser->SetClosing(true);
    if (CWebRun::Instace()->close_browser(m_pWebBrowser->GetBrowserId())) return 0;
    m_pWebBrowser->SetClosing(false);  // Already gone: nothing to wait for.
  }
  return CSkinDialog::HandleMessage(uMsg, wParam, lParam);
}

LRESULT CDevToolsFrame::OnNcHitTest(UINT, WPARAM, LPARAM lParam, BOOL& bHandled) {
  bHandled = TRUE;
  POINT pt{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
  ::ScreenToClient(m_hWnd, &pt);
  RECT client = {};
  ::GetClientRect(m_hWnd, &client);
  if (!::IsZoomed(m_hWnd)) {
    const RECT box = m_PaintManager.GetSizeBox();
    if (pt.y < client.top + box.top) {
      if (pt.x < client.left + box.left) return HTTOPLEFT;
      if (pt.x <= client.right - box.right) return HTTOP;
      return HTTOPRIGHT;
    }
    if (pt.y > client.bottom - box.bottom) {
      if (pt.x < client.left + box.left) return HTBOTTOMLEFT;
      if (pt.x <= client.right - box.right) return HTBOTTOM;
      return HTBOTTOMRIGHT;
    }
    if (pt.x < client.left + box.left) return HTLEFT;
    if (pt.x > client.right - box.right) return HTRIGHT;
  }
  const RECT caption = m_PaintManager.GetCaptionRect();
  if (pt.x < client.left + caption.left || pt.x >= client.right - caption.right ||
      pt.y < caption.top || pt.y >= caption.bottom) {
    return HTCLIENT;
  }
  m_PaintManager.UpdateLayout();
  DuiLib::CControlUI* control = m_PaintManager.FindControl(pt);
  if (control == nullptr || IsClientClass(control->GetClass())) return HTCLIENT;
  return HTCAPTION;
}

LRESULT CDevToolsFrame::ResponseDefaultKeyEvent(WPARAM wParam) {
  return wParam == VK_RETURN || wParam == VK_ESCAPE ? TRUE : FALSE;
}

void CDevToolsFrame::OnFinalMessage(HWND hWnd) {
  CSkinDialog::OnFinalMessage(hWnd);
  GetAppConfig()->canOpenDevTools = true;
  delete this;
}

// ---- Browser_UI_Delegate ----

void CDevToolsFrame::OnBrowserCreated(int, int) {
  if (m_pWebBrowser != nullptr) m_pWebBrowser->SetBrowserCreated(true);
}

void CDevToolsFrame::OnBrowserClosing(int browser_id) {
  if (m_pWebBrowser != nullptr &&
      static_cast<unsigned>(browser_id) == m_pWebBrowser->GetBrowserId()) {
    m_pWebBrowser->SetClosing(true);
  }
}

void CDevToolsFrame::OnBrowserClosed(int browser_id) {
  CWebRun::Instace()->check_terminate();
  if (m_pWebBrowser == nullptr) return;
  // A browser that never got its host window (the tools were never shown here) ends without
  // the library asking us to close: no host to close, so the close is finished here, or the
  // window would stay with its browser gone.
  if (m_pWebBrowser->IsClosing() &&
      static_cast<unsigned>(browser_id) == m_pWebBrowser->GetBrowserId()) {
    m_pWebBrowser->CloseHostWindow();
  }
  if (m_pWebBrowser->IsClosed() && m_hWnd != nullptr) PostMessage(WM_CLOSE);
}

void CDevToolsFrame::OnSetLoadingState(int, bool isLoading, bool canGoBack, bool canGoForward) {
  CLogRecord(CLogWrapper::kInfo, __PRETTY_FUNCTION__, kLoadingStateRecordLine, this).Stream()
      << " isLoading=" << static_cast<int>(isLoading)
      << " canGoBack=" << static_cast<int>(canGoBack)
      << " canGoForward=" << static_cast<int>(canGoForward);
}

void CDevToolsFrame::OnLoadErrror(int nErrorCode, const wchar_t*, const wchar_t*) {
  CLogRecord(CLogWrapper::kInfo, __PRETTY_FUNCTION__, kLoadErrorRecordLine, this).Stream()
      << " nErrorCode=" << nErrorCode;
}

void CDevToolsFrame::OnNavigateNewUrl(int, const char* url) {
  CLogRecord(CLogWrapper::kInfo, __PRETTY_FUNCTION__, kNewUrlRecordLine, this).Stream()
      << " OnNavigateNewUrl=" << (url != nullptr ? url : "");
}

bool CDevToolsFrame::OnProcessTerminated(int, int) { return false; }

void CDevToolsFrame::OnJsMessageCallBack(int, browser_msg_head, const char*, int) {}
