#pragma once

// Windows: CWindowWnd (a Win32 window owned by a C++ object, with modal loops) and
// WindowImplBase, the base of every skinned window: it loads its layout from the skin on
// WM_CREATE, draws without a native frame, answers hit tests from the layout's caption and
// size box, and routes notifications to Notify and OnClick. UI thread only.

#include <windows.h>

#include <functional>

#include "platform/duilib/ui_base.h"
#include "platform/duilib/ui_builder.h"
#include "platform/duilib/ui_manager.h"

namespace DuiLib {

class CWindowWnd {
 public:
  CWindowWnd();
  virtual ~CWindowWnd();
  CWindowWnd(const CWindowWnd&) = delete;
  CWindowWnd& operator=(const CWindowWnd&) = delete;

  HWND GetHWND() const { return m_hWnd; }
  operator HWND() const { return m_hWnd; }

  virtual const wchar_t* GetWindowClassName() const = 0;
  virtual UINT GetClassStyle() const { return CS_DBLCLKS; }

  // Creates the window (registering its class on first use); returns null on failure.
  HWND Create(HWND hwndParent, const wchar_t* pstrName, DWORD dwStyle, DWORD dwExStyle,
              const RECT& rc, HMENU hMenu = nullptr);
  HWND Create(HWND hwndParent, const wchar_t* pstrName, DWORD dwStyle, DWORD dwExStyle,
              int x = CW_USEDEFAULT, int y = CW_USEDEFAULT, int cx = CW_USEDEFAULT,
              int cy = CW_USEDEFAULT, HMENU hMenu = nullptr);
  void ShowWindow(bool bShow = true, bool bTakeFocus = true);
  // Shows the window and runs a message loop until it is destroyed, with its owner disabled
  // meanwhile. Returns the value passed to Close. Loops nest: a modal window opened from a
  // modal window returns to the outer loop. A WM_QUIT ends the loop and is posted again. The
  // loop runs the idle hook as the program's main loop does.
  UINT ShowModal();
  // The program's idle work (for the client: the queued tasks of its UI task hub), which modal
  // loops run whenever the message queue has run dry, and at least every 15 ms while they wait.
  // `wake` (may be null) is a waitable handle, signalled while idle work waits; a waiting loop
  // then runs the hook at once. An empty hook removes it. UI thread only; what the hook throws
  // is logged and dropped.
  static void SetIdleHook(std::function<void()> hook, HANDLE wake = nullptr);
  // Asks the window to close (posted WM_CLOSE) with `nRet` as the modal result.
  void Close(UINT nRet = IDOK);
  // Centres the window over its owner (or parent), else over the work area, kept on screen.
  void CenterWindow();
  LRESULT SendMessage(UINT uMsg, WPARAM wParam = 0, LPARAM lParam = 0);
  LRESULT PostMessage(UINT uMsg, WPARAM wParam = 0, LPARAM lParam = 0);

 protected:
  virtual LRESULT HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam);
  // Called after the window is gone (WM_NCDESTROY); an owner may delete the object here.
  virtual void OnFinalMessage(HWND hWnd);

  HWND m_hWnd = nullptr;

 private:
  bool RegisterWindowClass();
  static LRESULT CALLBACK WndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
  // Runs the idle hook, then waits for a message, for the hook's wake handle or for 15 ms (for
  // a message only, without a hook).
  static void IdleAndWait();
};

// Base of classes that receive notifications.
class CNotifyPump {
 public:
  virtual ~CNotifyPump() = default;
};

class WindowImplBase : public CWindowWnd,
                       public CNotifyPump,
                       public INotifyUI,
                       public IMessageFilterUI,
                       public IDialogBuilderCallback {
 public:
  WindowImplBase() = default;
  ~WindowImplBase() override = default;

  virtual void InitWindow() {}
  void OnFinalMessage(HWND hWnd) override;
  // Dispatches "click" to OnClick; derived windows extend it.
  void Notify(TNotifyUI& msg) override;
  // "closebtn" closes (IDOK), "minbtn", "maxbtn" and "restorebtn" minimise, maximise, restore.
  virtual void OnClick(TNotifyUI& msg);
  CControlUI* CreateControl(const wchar_t* pstrClass) override;
  CPaintManagerUI* GetPaintManager() { return &m_PaintManager; }

 protected:
  virtual CDuiString GetSkinFolder() = 0;
  virtual CDuiString GetSkinFile() = 0;
  virtual UILIB_RESOURCETYPE GetResourceType() const { return UILIB_FILE; }
  // The ZIP resource id (UILIB_ZIPRESOURCE).
  virtual UINT GetResourceID() const { return 0; }
  // The ZIP file under the resource path (UILIB_ZIP).
  virtual CDuiString GetZIPFileName() const { return CDuiString(); }
  // Enter and Escape: true swallows the key. Default: Escape is swallowed, Enter goes on to the
  // focused control.
  virtual LRESULT ResponseDefaultKeyEvent(WPARAM wParam);

  LRESULT MessageHandler(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled) override;
  LRESULT HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) override;
  virtual LRESULT HandleCustomMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);

  virtual LRESULT OnCreate(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
  virtual LRESULT OnClose(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
  virtual LRESULT OnDestroy(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
  virtual LRESULT OnNcActivate(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
  virtual LRESULT OnNcCalcSize(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
  virtual LRESULT OnNcPaint(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
  // Size box edges give the sizing codes (not while maximised); the caption rectangle gives
  // HTCAPTION except over buttons, options, texts and edits; everything else HTCLIENT.
  virtual LRESULT OnNcHitTest(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
  virtual LRESULT OnGetMinMaxInfo(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
  virtual LRESULT OnSize(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
  virtual LRESULT OnSysCommand(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
  virtual LRESULT OnDpiChanged(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);

  CPaintManagerUI m_PaintManager;
};

}  // namespace DuiLib
