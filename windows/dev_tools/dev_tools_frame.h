#pragma once

// CDevToolsFrame: the top-level window that shows the hosted page's developer tools. Its
// layout's "web_browser" control starts a browser of its own as the layout is built; the owner
// (the main window) hands that browser's id (GetBrowserId) and this window's handle to the
// page control's ShowDevTools, and the tools render inside this window.
//
//   auto* tools = new CDevToolsFrame();
//   tools->Create(nullptr, L"CDevToolsFrame", 0x96C80000, 0);
//   tools->ShowWindow(true);
//   GetAppConfig()->canOpenDevTools = false;
//   page->ShowDevTools(tools->GetBrowserId(), tools->GetHWND(), 0, 40);
//
// Closing: "closebtn" asks the browser to close; the window stays until the browser library
// reports the browser closed, then closes itself. A WM_CLOSE with no close pending destroys it
// at once. The object deletes itself with its window and sets canOpenDevTools again.
// UI thread only (the browser library calls the delegate there too).

#include "platform/browser/browser_delegate.h"
#include "windows/common/skin_dialog.h"

class CCefWebBrowserUI;

class CDevToolsFrame : public CSkinDialog, public Browser_UI_Delegate {
 public:
  CDevToolsFrame() = default;

  const wchar_t* GetWindowClassName() const override { return L"CDevToolsFrame"; }
  void InitWindow() override;
  DuiLib::CControlUI* CreateControl(const wchar_t* pstrClass) override;
  void Notify(DuiLib::TNotifyUI& msg) override;
  void OnFinalMessage(HWND hWnd) override;

  // The id of the window's own browser; 0 before the layout is built.
  unsigned GetBrowserId() const;

  // Browser_UI_Delegate
  void OnBrowserCreated(int browser_id, int host) override;
  void OnBrowserClosing(int browser_id) override;
  void OnBrowserClosed(int browser_id) override;
  void OnSetLoadingState(int browser_id, bool isLoading, bool canGoBack,
                         bool canGoForward) override;
  void OnLoadErrror(int nErrorCode, const wchar_t* error_text,
                    const wchar_t* failed_url) override;
  void OnNavigateNewUrl(int browser_id, const char* url) override;
  bool OnProcessTerminated(int browser_id, int status) override;
  void OnJsMessageCallBack(int browser_id, browser_msg_head head, const char* value,
                           int extra) override;

 protected:
  DuiLib::CDuiString GetSkinFile() override;
  LRESULT HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) override;
  // Size box edges while not maximised; in the caption, buttons, options, texts and edits (and
  // no control) are client area, anything else drags the window.
  LRESULT OnNcHitTest(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled) override;
  // Enter and Escape do nothing here (Escape does not close the window).
  LRESULT ResponseDefaultKeyEvent(WPARAM wParam) override;

 private:
  CCefWebBrowserUI* m_pWebBrowser = nullptr;  // Owned by the layout; null before it is built.
};
