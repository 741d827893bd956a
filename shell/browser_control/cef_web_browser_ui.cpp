#include "shell/browser_control/cef_web_browser_ui.h"

#include "platform/browser/web_run.h"

CCefWebBrowserUI::CCefWebBrowserUI(Browser_UI_Delegate* delegate) : m_pDelegate(delegate) {}

void* CCefWebBrowserUI::GetInterface(const wchar_t* name) {
  if (name != nullptr && _wcsicmp(name, L"CefWebkit") == 0) return this;
  return CControlUI::GetInterface(name);
}

HWND CCefWebBrowserUI::HostWindow() const {
  if (m_nBrowserId == 0 || m_bClosed) return nullptr;
  HWND host =
      reinterpret_cast<HWND>(static_cast<uintptr_t>(CWebRun::Instace()->GetHostWnd(m_nBrowserId)));
  return host != nullptr && IsWindow(host) ? host : nullptr;
}

void CCefWebBrowserUI::PlaceHost(HWND host) {
  const RECT& rc = GetPos();
  if (m_bHidden) {
    MoveWindow(host, rc.left, rc.top, 1, 1, TRUE);
  } else {
    MoveWindow(host, rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top, TRUE);
  }
}

void CCefWebBrowserUI::LoadUrl(const std::string& url) {
  if (url.empty()) return;
  m_strUrl = url;
  CWebRun* library = CWebRun::Instace();
  if (m_nBrowserId == 0) {
    m_nBrowserId = library->init_brower(m_pDelegate, url.c_str());
    if (m_nBrowserId == 0) return;
    const RECT& rc = GetPos();
    HWND parent = GetManager() != nullptr ? GetManager()->GetPaintWindow() : nullptr;
    library->create_browser_win(parent, m_nBrowserId, rc.left, rc.top, rc.right - rc.left,
                                rc.bottom - rc.top);
  } else if (IsUsable()) {
    library->Navigate(m_nBrowserId, url.c_str());
  }
}

void CCefWebBrowserUI::InitBrowser() {
  if (m_nBrowserId != 0) return;
  m_bCreated = true;
  m_nBrowserId = CWebRun::Instace()->init_brower(m_pDelegate, "");
}

void CCefWebBrowserUI::SetBrowserCreated(bool created) {
  m_bCreated = created;
  if (!created || !IsVisible()) return;
  // A control hidden with ShowBrowser(false) stays parked: creation does not uncover it.
  if (HWND host = HostWindow()) PlaceHost(host);
}

void CCefWebBrowserUI::SetClosing(bool closing) {
  std::lock_guard<std::mutex> hold(m_stateLock);
  m_bClosing = closing;
}

void CCefWebBrowserUI::CloseBrowser() {
  SetClosing(true);
  if (m_nBrowserId != 0) CWebRun::Instace()->close_browser(m_nBrowserId);
}

void CCefWebBrowserUI::CloseHostWindow() {
  HWND host = HostWindow();
  {
    // Closed before no longer closing: the control is never usable in between.
    std::lock_guard<std::mutex> hold(m_stateLock);
    m_bClosed = true;
    m_bClosing = false;
  }
  if (host) PostMessageW(host, WM_CLOSE, 0, 0);
}

HWND CCefWebBrowserUI::GetHostWnd() const { return m_bCreated ? HostWindow() : nullptr; }

void CCefWebBrowserUI::ShowBrowser(bool show) {
  m_bHidden = !show;
  if (HWND host = HostWindow()) PlaceHost(host);
}

void CCefWebBrowserUI::ExecJs(const std::string& script) {
  std::lock_guard<std::mutex> hold(m_stateLock);
  if (IsUsable()) CWebRun::Instace()->exec_js(m_nBrowserId, script.c_str());
}

void CCefWebBrowserUI::SendMsgToRender(const std::string& name, const std::string& value,
                                       int number) {
  if (IsUsable()) {
    CWebRun::Instace()->send_msg_to_render(m_nBrowserId, name.c_str(), value.c_str(), number);
  }
}

void CCefWebBrowserUI::Reload() {
  if (IsUsable()) CWebRun::Instace()->Reload(m_nBrowserId);
}

void CCefWebBrowserUI::SendMouseEvent(int x, int y) {
  if (IsUsable()) CWebRun::Instace()->send_mouse_event(m_nBrowserId, x, y);
}

void CCefWebBrowserUI::SetSelFile(const std::string& name, const std::string& path) {
  if (IsUsable()) CWebRun::Instace()->set_sel_file(m_nBrowserId, name.c_str(), path.c_str());
}

void CCefWebBrowserUI::SetFileDialogDelegate(bool delegated) {
  if (IsUsable()) CWebRun::Instace()->set_delegate_filedailog(m_nBrowserId, delegated);
}

void CCefWebBrowserUI::ShowDevTools(unsigned dev_browser_id, HWND dev_window, int x, int y) {
  if (IsUsable()) CWebRun::Instace()->DevTools(m_nBrowserId, dev_browser_id, dev_window, x, y);
}

void CCefWebBrowserUI::SetPos(RECT rc, bool /*bNeedInvalidate*/) {
  CControlUI::SetPos(rc, true);
  if (m_bHidden) return;
  if (HWND host = HostWindow()) PlaceHost(host);
}

void CCefWebBrowserUI::SetVisible(bool visible) {
  CControlUI::SetVisible(visible);
  if (HWND host = HostWindow()) ShowWindow(host, visible ? SW_SHOW : SW_HIDE);
}

void CCefWebBrowserUI::SetInternVisible(bool visible) {
  CControlUI::SetInternVisible(visible);
  if (HWND host = HostWindow()) ShowWindow(host, visible && m_bVisible ? SW_SHOW : SW_HIDE);
}

void CCefWebBrowserUI::SetEnabled(bool enabled) {
  CControlUI::SetEnabled(enabled);
  if (HWND host = HostWindow()) EnableWindow(host, enabled ? TRUE : FALSE);
}
