#pragma once

// CBaseWinFrame: a plain window (no UI library) whose messages go to virtual handlers. The
// annotation panel, the area frame and the video render window are built on it.
//
// The window class is registered on the first Create that names it (CS_HREDRAW | CS_VREDRAW |
// CS_DBLCLKS, the arrow cursor, COLOR_WINDOW + 1). The object is found from the window through
// GWL_USERDATA, set at WM_CREATE; earlier messages get the default answer. Every later message
// goes to HandleMessage, which calls the handler for it; a message that no handler marks
// handled goes to DefWindowProcW. WM_PAINT is painted between BeginPaint and EndPaint through
// OnPaint. At WM_NCDESTROY the object lets go of the window (handle and GWL_USERDATA cleared),
// then OnFinalMessage runs; it may delete the object.
//
// Threads: a frame belongs to the thread that creates its window; call it and destroy it
// there. No exception leaves the window procedure.

#include <windows.h>

class CBaseWinFrame {
 public:
  CBaseWinFrame();
  // Destroys a live window without calling back into the object.
  virtual ~CBaseWinFrame();
  CBaseWinFrame(const CBaseWinFrame&) = delete;
  CBaseWinFrame& operator=(const CBaseWinFrame&) = delete;

  // Creates the window at the rectangle (left, top, right, bottom), registering `class_name`
  // when needed. Returns the window, the existing one when it was created before, or null.
  HWND Create(HWND parent, int left, int top, int right, int bottom, const wchar_t* class_name,
              const wchar_t* title, DWORD style, DWORD ex_style);

  HWND GetHWND() const { return m_hWnd; }

  // Shows (SW_SHOW) or hides (SW_HIDE) the window.
  virtual void ShowWindow(bool show);
  // Messages without a handler of their own.
  virtual LRESULT OnDefaultMessage(UINT message, WPARAM wparam, LPARAM lparam, BOOL& handled);
  virtual void OnPaint(HDC dc);
  // The window is gone; the object may delete itself here.
  virtual void OnFinalMessage(HWND window);
  // Calls the handler for `message`.
  virtual LRESULT HandleMessage(UINT message, WPARAM wparam, LPARAM lparam, BOOL& handled);

  // Handlers; the base versions leave the message unhandled and return 0.
  virtual LRESULT OnCreate(UINT message, WPARAM wparam, LPARAM lparam, BOOL& handled);
  virtual LRESULT OnClose(UINT message, WPARAM wparam, LPARAM lparam, BOOL& handled);
  virtual LRESULT OnDestroy(UINT message, WPARAM wparam, LPARAM lparam, BOOL& handled);
  virtual LRESULT OnTimer(UINT message, WPARAM wparam, LPARAM lparam, BOOL& handled);
  virtual LRESULT OnMouseLeave(UINT message, WPARAM wparam, LPARAM lparam, BOOL& handled);
  virtual LRESULT OnMouseHover(UINT message, WPARAM wparam, LPARAM lparam, BOOL& handled);
  virtual LRESULT OnCaptureChanged(UINT message, WPARAM wparam, LPARAM lparam, BOOL& handled);
  virtual LRESULT OnMouseWheel(UINT message, WPARAM wparam, LPARAM lparam, BOOL& handled);
  virtual LRESULT OnWindowPosChanging(UINT message, WPARAM wparam, LPARAM lparam, BOOL& handled);
  virtual LRESULT OnSetCursor(UINT message, WPARAM wparam, LPARAM lparam, BOOL& handled);
  // Also WM_LBUTTONDBLCLK.
  virtual LRESULT OnLButtonDown(UINT message, WPARAM wparam, LPARAM lparam, BOOL& handled);
  virtual LRESULT OnLButtonUp(UINT message, WPARAM wparam, LPARAM lparam, BOOL& handled);
  virtual LRESULT OnKillFocus(UINT message, WPARAM wparam, LPARAM lparam, BOOL& handled);
  virtual LRESULT OnMouseMove(UINT message, WPARAM wparam, LPARAM lparam, BOOL& handled);
  virtual LRESULT OnEraseBkgnd(UINT message, WPARAM wparam, LPARAM lparam, BOOL& handled);
  virtual LRESULT OnSize(UINT message, WPARAM wparam, LPARAM lparam, BOOL& handled);

 protected:
  HWND m_hWnd = nullptr;  // Null until WM_CREATE and after WM_NCDESTROY.
  HINSTANCE m_hInstance;  // The program's module.

 private:
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
  LRESULT Dispatch(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
};
