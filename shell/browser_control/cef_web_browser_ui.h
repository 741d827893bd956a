#pragma once

#include <windows.h>

#include <atomic>
#include <mutex>
#include <string>

#include "platform/browser/browser_delegate.h"
#include "platform/duilib/UIlib.h"

// CCefWebBrowserUI: the layout control (class name "CefWebkit") that stands for one browser of
// the browser library. The library creates the browser's host window as a child of the
// control's paint window; the control creates the browser on the first LoadUrl, keeps the host
// window over its rectangle (or parks it at 1 x 1 while hidden), follows its visibility and
// enabled state and forwards the page operations by browser id.
//
// States: no browser (id 0) -> requested (LoadUrl or InitBrowser) -> created (the delegate's
// OnBrowserCreated calls SetBrowserCreated) -> closing (CloseBrowser, or the library's
// OnBrowserClosing through SetClosing) -> closed (CloseHostWindow). Page operations reach the
// library only while usable: created, not closing, not closed; otherwise they are dropped.
//
// Threads: UI thread, except ExecJs, which any thread may call: it checks the control's state
// and queues the script through CWebRun::exec_js (which runs it on the UI thread in the order
// scripts were queued) under the state lock, which every change that ends usability takes too.
// So a script from any thread is either queued before the closing begins, and runs before the
// library reports it, or dropped: none reaches a closing page.
class CCefWebBrowserUI : public DuiLib::CControlUI {
 public:
  explicit CCefWebBrowserUI(Browser_UI_Delegate* delegate);

  const wchar_t* GetClass() const override { return L"CCefWebBrowserUI"; }
  void* GetInterface(const wchar_t* name) override;

  void LoadUrl(const std::string& url);
  // For the developer-tools window: a browser without a host window of its own.
  void InitBrowser();

  void SetBrowserCreated(bool created);
  void SetClosing(bool closing);
  bool IsClosing() const { return m_bClosing; }
  bool IsClosed() const { return m_bClosed; }
  unsigned GetBrowserId() const { return m_nBrowserId; }
  bool IsUsable() const { return m_bCreated && !m_bClosing && !m_bClosed; }
  const std::string& GetUrl() const { return m_strUrl; }

  void CloseBrowser();
  void CloseHostWindow();
  // Null before creation and after closing.
  HWND GetHostWnd() const;
  // Shows the host over the control's rectangle, or parks it at 1 x 1 at its top-left corner
  // (the page keeps running but covers nothing).
  void ShowBrowser(bool show);

  void ExecJs(const std::string& script);  // Any thread.
  void SendMsgToRender(const std::string& name, const std::string& value, int number);
  void Reload();
  void SendMouseEvent(int x, int y);
  void SetSelFile(const std::string& name, const std::string& path);
  void SetFileDialogDelegate(bool delegated);
  void ShowDevTools(unsigned dev_browser_id, HWND dev_window, int x, int y);

  void SetPos(RECT rc, bool bNeedInvalidate = true) override;
  void SetVisible(bool visible = true) override;
  void SetInternVisible(bool visible = true) override;
  void SetEnabled(bool enabled = true) override;

 private:
  // The library's host window while the browser has one and is not closed.
  HWND HostWindow() const;
  // Places the host over the control's rectangle, or at 1 x 1 while hidden.
  void PlaceHost(HWND host);

  std::string m_strUrl;
  // Held by ExecJs from its check to the queued script, and by every change that ends
  // usability (closing set, closed set). Never held while calling into the control.
  std::mutex m_stateLock;
  std::atomic<bool> m_bCreated{false};
  std::atomic<bool> m_bClosing{false};
  std::atomic<bool> m_bClosed{false};
  bool m_bHidden = false;
  std::atomic<unsigned> m_nBrowserId{0};
  Browser_UI_Delegate* m_pDelegate;
};
