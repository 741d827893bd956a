#pragma once

// The callbacks through which the browser library reports what happens to one browser. The
// library calls them on the UI thread (the thread that called CWebRun::init_cef), from its
// message loop or from whatever loop is pumping messages at the time (a modal loop too).
//
// Order for one browser: OnBrowserCreated once its host window exists; then, per load,
// OnSetLoadingState(true), OnNavigateNewUrl (or OnLoadErrror), OnSetLoadingState(false);
// OnJsMessageCallBack whenever the page sends; after CWebRun::close_browser, OnBrowserClosing
// and (once the host window is gone) OnBrowserClosed. Nothing is called for a browser after
// its OnBrowserClosed.

// The head of a page message: two fixed, NUL-terminated text fields. |key| names the message
// (the client's page requests use "jsEvent"); |frame| names the frame that sent it (empty for
// the main frame).
struct browser_msg_head {
  char frame[64];
  char key[64];
};

class Browser_UI_Delegate {
 public:
  // Slot 0: the browser now exists and has its host window; |host| is its handle value.
  virtual void OnBrowserCreated(int browser_id, int host) = 0;
  // Slot 1: the browser has begun to close.
  virtual void OnBrowserClosing(int browser_id) = 0;
  // Slot 2: the browser has closed; the delegate hears nothing more about it.
  virtual void OnBrowserClosed(int browser_id) = 0;
  // Slots 3 to 6: title, address, status and console reports; the client ignores them.
  virtual void OnTitleChange(int, int) {}
  virtual void OnAddressChange(int, int) {}
  virtual void OnStatusMessage(int, int) {}
  virtual void OnConsoleMessage(int, int, int) {}
  // Slot 7: loading state of the page.
  virtual void OnSetLoadingState(int browser_id, bool isLoading, bool canGoBack,
                                 bool canGoForward) = 0;
  // Slot 8: a page failed to load.
  virtual void OnLoadErrror(int nErrorCode, const wchar_t* error_text,
                            const wchar_t* failed_url) = 0;
  // Slot 9: the page navigated to |url| (8-bit text).
  virtual void OnNavigateNewUrl(int browser_id, const char* url) = 0;
  // Slot 10: the page's render process ended with |status|.
  virtual bool OnProcessTerminated(int browser_id, int status) = 0;
  // Slot 11: a message from the page's script. |value| is the text exactly as the page sent it
  // (not checked in any way); it lives until the call returns. |extra| is 0.
  virtual void OnJsMessageCallBack(int browser_id, browser_msg_head head, const char* value,
                                   int extra) = 0;

 protected:
  ~Browser_UI_Delegate() = default;
};
