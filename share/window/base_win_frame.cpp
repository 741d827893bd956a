#include "share/window/base_win_frame.h"

#include <exception>

#include "foundation/log.h"

CBaseWinFrame::CBaseWinFrame() : m_hInstance(GetModuleHandleW(nullptr)) {}

CBaseWinFrame::~CBaseWinFrame() {
  if (m_hWnd && IsWindow(m_hWnd)) {
    // The derived parts are gone: the window's last messages must not reach this object.
    SetWindowLongPtrW(m_hWnd, GWLP_USERDATA, 0);
    DestroyWindow(m_hWnd);
  }
  m_hWnd = nullptr;
}

HWND CBaseWinFrame::Create(HWND parent, int left, int top, int right, int bottom,
                           const wchar_t* class_name, const wchar_t* title, DWORD style,
                           DWORD ex_style) {
  if (m_hWnd) return m_hWnd;
  if (!class_name || !*class_name) return nullptr;
  WNDCLASSEXW existing{};
  existing.cbSize = sizeof(existing);
  if (!GetClassInfoExW(m_hInstance, class_name, &existing)) {
    WNDCLASSEXW window_class{};
    window_class.cbSize = sizeof(window_class);
    window_class.style = CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS;
    window_class.lpfnWndProc = &CBaseWinFrame::WindowProc;
    window_class.hInstance = m_hInstance;
    window_class.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    window_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    window_class.lpszClassName = class_name;
    if (!RegisterClassExW(&window_class) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
      TVLOG_ERROR_THIS() << "RegisterClassExW err = " << GetLastError();
      return nullptr;
    }
  }
  HWND window = CreateWindowExW(ex_style, class_name, title ? title : L"", style, left, top,
                                right - left, bottom - top, parent, nullptr, m_hInstance, this);
  if (!window) TVLOG_ERROR_THIS() << "CreateWindowExW err = " << GetLastError();
  return window;
}

void CBaseWinFrame::ShowWindow(bool show) {
  if (m_hWnd) ::ShowWindow(m_hWnd, show ? SW_SHOW : SW_HIDE);
}

LRESULT CBaseWinFrame::OnDefaultMessage(UINT, WPARAM, LPARAM, BOOL&) { return 0; }

void CBaseWinFrame::OnPaint(HDC) {}

void CBaseWinFrame::OnFinalMessage(HWND) {}

LRESULT CBaseWinFrame::HandleMessage(UINT message, WPARAM wparam, LPARAM lparam, BOOL& handled) {
  switch (message) {
    case WM_CREATE:
      return OnCreate(message, wparam, lparam, handled);
    case WM_CLOSE:
      return OnClose(message, wparam, lparam, handled);
    case WM_DESTROY:
      return OnDestroy(message, wparam, lparam, handled);
    case WM_TIMER:
      return OnTimer(message, wparam, lparam, handled);
    case WM_MOUSELEAVE:
      return OnMouseLeave(message, wparam, lparam, handled);
    case WM_MOUSEHOVER:
      return OnMouseHover(message, wparam, lparam, handled);
    case WM_CAPTURECHANGED:
      return OnCaptureChanged(message, wparam, lparam, handled);
    case WM_MOUSEWHEEL:
      return OnMouseWheel(message, wparam, lparam, handled);
    case WM_WINDOWPOSCHANGING:
      return OnWindowPosChanging(message, wparam, lparam, handled);
    case WM_SETCURSOR:
      return OnSetCursor(message, wparam, lparam, handled);
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
      return OnLButtonDown(message, wparam, lparam, handled);
    case WM_LBUTTONUP:
      return OnLButtonUp(message, wparam, lparam, handled);
    case WM_KILLFOCUS:
      return OnKillFocus(message, wparam, lparam, handled);
    case WM_MOUSEMOVE:
      return OnMouseMove(message, wparam, lparam, handled);
    case WM_ERASEBKGND:
      return OnEraseBkgnd(message, wparam, lparam, handled);
    case WM_SIZE:
      return OnSize(message, wparam, lparam, handled);
    case WM_PAINT: {
      PAINTSTRUCT paint{};
      HDC dc = BeginPaint(m_hWnd, &paint);
      if (dc) OnPaint(dc);
      EndPaint(m_hWnd, &paint);
      handled = TRUE;
      return 0;
    }
    default:
      return OnDefaultMessage(message, wparam, lparam, handled);
  }
}

LRESULT CBaseWinFrame::OnCreate(UINT, WPARAM, LPARAM, BOOL&) { return 0; }
LRESULT CBaseWinFrame::OnClose(UINT, WPARAM, LPARAM, BOOL&) { return 0; }
LRESULT CBaseWinFrame::OnDestroy(UINT, WPARAM, LPARAM, BOOL&) { return 0; }
LRESULT CBaseWinFrame::OnTimer(UINT, WPARAM, LPARAM, BOOL&) { return 0; }
LRESULT CBaseWinFrame::OnMouseLeave(UINT, WPARAM, LPARAM, BOOL&) { return 0; }
LRESULT CBaseWinFrame::OnMouseHover(UINT, WPARAM, LPARAM, BOOL&) { return 0; }
LRESULT CBaseWinFrame::OnCaptureChanged(UINT, WPARAM, LPARAM, BOOL&) { return 0; }
LRESULT CBaseWinFrame::OnMouseWheel(UINT, WPARAM, LPARAM, BOOL&) { return 0; }
LRESULT CBaseWinFrame::OnWindowPosChanging(UINT, WPARAM, LPARAM, BOOL&) { return 0; }
LRESULT CBaseWinFrame::OnSetCursor(UINT, WPARAM, LPARAM, BOOL&) { return 0; }
LRESULT CBaseWinFrame::OnLButtonDown(UINT, WPARAM, LPARAM, BOOL&) { return 0; }
LRESULT CBaseWinFrame::OnLButtonUp(UINT, WPARAM, LPARAM, BOOL&) { return 0; }
LRESULT CBaseWinFrame::OnKillFocus(UINT, WPARAM, LPARAM, BOOL&) { return 0; }
LRESULT CBaseWinFrame::OnMouseMove(UINT, WPARAM, LPARAM, BOOL&) { return 0; }
LRESULT CBaseWinFrame::OnEraseBkgnd(UINT, WPARAM, LPARAM, BOOL&) { return 0; }
LRESULT CBaseWinFrame::OnSize(UINT, WPARAM, LPARAM, BOOL&) { return 0; }

LRESULT CALLBACK CBaseWinFrame::WindowProc(HWND window, UINT message, WPARAM wparam,
                                           LPARAM lparam) {
  CBaseWinFrame* frame = nullptr;
  if (message == WM_CREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lparam);
    frame = static_cast<CBaseWinFrame*>(create->lpCreateParams);
    if (frame) {
      frame->m_hWnd = window;
      SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(frame));
    }
  } else {
    frame = reinterpret_cast<CBaseWinFrame*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  }
  if (!frame) return DefWindowProcW(window, message, wparam, lparam);

  if (message == WM_NCDESTROY) {
    const LRESULT result = DefWindowProcW(window, message, wparam, lparam);
    SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    frame->m_hWnd = nullptr;
    try {
      frame->OnFinalMessage(window);
    } catch (const std::exception& error) {
      TVLOG_ERROR() << "OnFinalMessage threw " << error.what();
    } catch (...) {
      TVLOG_ERROR() << "OnFinalMessage threw";
    }
    return result;
  }
  return frame->Dispatch(window, message, wparam, lparam);
}

LRESULT CBaseWinFrame::Dispatch(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  try {
    BOOL handled = FALSE;
    const LRESULT result = HandleMessage(message, wparam, lparam, handled);
    if (handled) return result;
  } catch (const std::exception& error) {
    TVLOG_ERROR_THIS() << "message " << message << " threw " << error.what();
  } catch (...) {
    TVLOG_ERROR_THIS() << "message " << message << " threw";
  }
  return DefWindowProcW(window, message, wparam, lparam);
}
