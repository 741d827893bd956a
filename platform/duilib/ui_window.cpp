#include "platform/duilib/ui_window.h"

#include <windowsx.h>

#include <exception>
#include <utility>

#include "platform/duilib/ui_control.h"
#include "platform/duilib/ui_resource.h"

namespace DuiLib {

namespace {

// A skin archive file larger than this is not read.
constexpr size_t kMaxSkinArchiveBytes = 256u << 20;

// What a message handler that failed answers: creation fails, anything else is handled.
LRESULT FailedResult(UINT msg) { return msg == WM_CREATE ? -1 : 0; }

// The longest a modal loop waits before it runs the idle hook again, as the main loop does.
constexpr DWORD kIdleWaitMs = 15;

// The idle hook of the modal loops (UI thread only).
struct IdleHook {
  std::function<void()> run;
  HANDLE wake = nullptr;
};

IdleHook& TheIdleHook() {
  static IdleHook hook;
  return hook;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// CWindowWnd

CWindowWnd::CWindowWnd() = default;

CWindowWnd::~CWindowWnd() {
  if (m_hWnd && IsWindow(m_hWnd)) {
    // The object goes first: detach so that late messages do not reach it.
    SetWindowLongPtrW(m_hWnd, GWLP_USERDATA, 0);
    HWND hwnd = m_hWnd;
    m_hWnd = nullptr;
    DestroyWindow(hwnd);
  }
}

bool CWindowWnd::RegisterWindowClass() {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  HINSTANCE instance = CPaintManagerUI::GetInstance();
  if (GetClassInfoExW(instance, GetWindowClassName(), &wc)) return true;
  wc.cbSize = sizeof(wc);
  wc.style = GetClassStyle();
  wc.lpfnWndProc = WndProc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
  wc.lpszClassName = GetWindowClassName();
  return RegisterClassExW(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

HWND CWindowWnd::Create(HWND hwndParent, const wchar_t* pstrName, DWORD dwStyle, DWORD dwExStyle,
                        const RECT& rc, HMENU hMenu) {
  return Create(hwndParent, pstrName, dwStyle, dwExStyle, rc.left, rc.top, rc.right - rc.left,
                rc.bottom - rc.top, hMenu);
}

HWND CWindowWnd::Create(HWND hwndParent, const wchar_t* pstrName, DWORD dwStyle, DWORD dwExStyle,
                        int x, int y, int cx, int cy, HMENU hMenu) {
  if (m_hWnd || !RegisterWindowClass()) return nullptr;
  HWND hwnd =
      CreateWindowExW(dwExStyle, GetWindowClassName(), pstrName ? pstrName : L"", dwStyle, x, y, cx,
                      cy, hwndParent, hMenu, CPaintManagerUI::GetInstance(), this);
  if (!hwnd) m_hWnd = nullptr;
  return hwnd;
}

void CWindowWnd::ShowWindow(bool bShow, bool bTakeFocus) {
  if (!IsWindow(m_hWnd)) return;
  ::ShowWindow(m_hWnd, bShow ? (bTakeFocus ? SW_SHOWNORMAL : SW_SHOWNOACTIVATE) : SW_HIDE);
}

UINT CWindowWnd::ShowModal() {
  // Locals only after the loop: the object may delete itself when its window goes.
  HWND hwnd = m_hWnd;
  if (!IsWindow(hwnd)) return static_cast<UINT>(-1);
  HWND owner = GetWindow(hwnd, GW_OWNER);
  ::ShowWindow(hwnd, SW_SHOWNORMAL);
  if (owner) EnableWindow(owner, FALSE);
  UINT result = 0;
  MSG msg{};
  bool quit = false;
  while (IsWindow(hwnd)) {
    if (!PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      IdleAndWait();
      continue;
    }
    if (msg.message == WM_QUIT) {
      quit = true;
      break;
    }
    if (msg.message == WM_CLOSE && msg.hwnd == hwnd) {
      result = static_cast<UINT>(msg.wParam);
      // The owner is enabled before the window goes, so that activation returns to it.
      if (owner) EnableWindow(owner, TRUE);
    }
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
    // A window that refused to close stays modal.
    if (msg.message == WM_CLOSE && msg.hwnd == hwnd && owner && IsWindow(hwnd)) {
      EnableWindow(owner, FALSE);
    }
  }
  if (owner) {
    EnableWindow(owner, TRUE);
    if (GetActiveWindow() == nullptr || !IsWindow(hwnd)) SetForegroundWindow(owner);
  }
  if (quit) PostQuitMessage(static_cast<int>(msg.wParam));
  return result;
}

void CWindowWnd::SetIdleHook(std::function<void()> hook, HANDLE wake) {
  IdleHook& idle = TheIdleHook();
  idle.run = std::move(hook);
  idle.wake = idle.run ? wake : nullptr;
}

void CWindowWnd::IdleAndWait() {
  // A copy: the hook may replace itself, or open a modal window whose loop runs it again.
  const IdleHook idle = TheIdleHook();
  if (idle.run) {
    try {
      idle.run();
    } catch (const std::exception& e) {
      UiLog(UiLogLevel::kError, L"idle hook failed: %hs", e.what());
    } catch (...) {
      UiLog(UiLogLevel::kError, L"idle hook failed");
    }
  }
  // Without a hook there is nothing to come back for but messages.
  HANDLE wake = idle.wake;
  MsgWaitForMultipleObjectsEx(wake ? 1 : 0, wake ? &wake : nullptr,
                              idle.run ? kIdleWaitMs : INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
}

void CWindowWnd::Close(UINT nRet) {
  if (IsWindow(m_hWnd)) ::PostMessageW(m_hWnd, WM_CLOSE, nRet, 0);
}

void CWindowWnd::CenterWindow() {
  if (!IsWindow(m_hWnd)) return;
  RECT rc;
  GetWindowRect(m_hWnd, &rc);
  HWND center = GetWindow(m_hWnd, GW_OWNER);
  if (!center && (GetWindowLongPtrW(m_hWnd, GWL_STYLE) & WS_CHILD)) center = GetParent(m_hWnd);
  MONITORINFO mi{sizeof(mi)};
  GetMonitorInfoW(MonitorFromWindow(center ? center : m_hWnd, MONITOR_DEFAULTTONEAREST), &mi);
  RECT area = mi.rcWork;
  RECT around = area;
  if (center && IsWindowVisible(center) && !IsIconic(center)) GetWindowRect(center, &around);
  const int w = rc.right - rc.left;
  const int h = rc.bottom - rc.top;
  int x = (around.left + around.right - w) / 2;
  int y = (around.top + around.bottom - h) / 2;
  if (x + w > area.right) x = area.right - w;
  if (y + h > area.bottom) y = area.bottom - h;
  if (x < area.left) x = area.left;
  if (y < area.top) y = area.top;
  SetWindowPos(m_hWnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

LRESULT CWindowWnd::SendMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) {
  return ::SendMessageW(m_hWnd, uMsg, wParam, lParam);
}

LRESULT CWindowWnd::PostMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) {
  return ::PostMessageW(m_hWnd, uMsg, wParam, lParam);
}

LRESULT CWindowWnd::HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcW(m_hWnd, uMsg, wParam, lParam);
}

void CWindowWnd::OnFinalMessage(HWND /*hWnd*/) {}

LRESULT CALLBACK CWindowWnd::WndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  CWindowWnd* self = nullptr;
  if (msg == WM_NCCREATE) {
    self = static_cast<CWindowWnd*>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams);
    self->m_hWnd = hwnd;
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  } else {
    self = reinterpret_cast<CWindowWnd*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  }
  if (!self) return DefWindowProcW(hwnd, msg, wp, lp);
  LRESULT result = 0;
  try {
    if (msg == WM_NCDESTROY) {
      result = self->HandleMessage(msg, wp, lp);
      SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
      self->m_hWnd = nullptr;
      self->OnFinalMessage(hwnd);
      return result;
    }
    result = self->HandleMessage(msg, wp, lp);
  } catch (const std::exception& e) {
    UiLog(UiLogLevel::kError, L"exception in window procedure (message 0x%x): %hs", msg, e.what());
    result = FailedResult(msg);
  } catch (...) {
    UiLog(UiLogLevel::kError, L"exception in window procedure (message 0x%x)", msg);
    result = FailedResult(msg);
  }
  return result;
}

// ---------------------------------------------------------------------------------------------
// WindowImplBase

void WindowImplBase::OnFinalMessage(HWND /*hWnd*/) {
  m_PaintManager.RemoveMessageFilter(this);
  m_PaintManager.RemoveNotifier(this);
}

void WindowImplBase::Notify(TNotifyUI& msg) {
  if (msg.sType == L"click") OnClick(msg);
}

void WindowImplBase::OnClick(TNotifyUI& msg) {
  if (!msg.pSender) return;
  const CDuiString name = msg.pSender->GetName();
  if (name == L"closebtn") {
    Close(IDOK);
  } else if (name == L"minbtn") {
    SendMessage(WM_SYSCOMMAND, SC_MINIMIZE, 0);
  } else if (name == L"maxbtn") {
    SendMessage(WM_SYSCOMMAND, SC_MAXIMIZE, 0);
  } else if (name == L"restorebtn") {
    SendMessage(WM_SYSCOMMAND, SC_RESTORE, 0);
  }
}

CControlUI* WindowImplBase::CreateControl(const wchar_t* /*pstrClass*/) { return nullptr; }

LRESULT WindowImplBase::ResponseDefaultKeyEvent(WPARAM wParam) {
  return wParam == VK_ESCAPE ? TRUE : FALSE;
}

LRESULT WindowImplBase::MessageHandler(UINT uMsg, WPARAM wParam, LPARAM /*lParam*/,
                                       bool& bHandled) {
  if (uMsg == WM_KEYDOWN && (wParam == VK_RETURN || wParam == VK_ESCAPE)) {
    bHandled = ResponseDefaultKeyEvent(wParam) != FALSE;
  }
  return 0;
}

LRESULT WindowImplBase::HandleCustomMessage(UINT, WPARAM, LPARAM, BOOL& bHandled) {
  bHandled = FALSE;
  return 0;
}

LRESULT WindowImplBase::OnCreate(UINT, WPARAM, LPARAM, BOOL& bHandled) {
  bHandled = TRUE;
  // The layout draws the whole window: no native caption or border.
  LONG_PTR style = GetWindowLongPtrW(m_hWnd, GWL_STYLE);
  SetWindowLongPtrW(
      m_hWnd, GWL_STYLE,
      (style & ~static_cast<LONG_PTR>(WS_CAPTION)) | WS_CLIPSIBLINGS | WS_CLIPCHILDREN);
  m_PaintManager.Init(m_hWnd);
  m_PaintManager.AddMessageFilter(this);
  switch (GetResourceType()) {
    case UILIB_ZIPRESOURCE:
      if (!CPaintManagerUI::SetResourceZipResource(GetResourceID())) return -1;
      break;
    case UILIB_ZIP: {
      const std::wstring path = ResourceFilePath(GetZIPFileName());
      std::string bytes;
      if (!ReadWholeFile(path, kMaxSkinArchiveBytes, &bytes) || bytes.empty() ||
          !CPaintManagerUI::SetResourceZip(bytes.data(), static_cast<unsigned>(bytes.size()))) {
        UiLog(UiLogLevel::kError, L"skin archive '%ls' cannot be read", path.c_str());
        return -1;
      }
      break;
    }
    default:
      CPaintManagerUI::SetResourceFolder();
      break;
  }
  CDialogBuilder builder;
  const CDuiString layout = GetSkinFolder() + GetSkinFile();
  CControlUI* root = builder.Create(layout.c_str(), nullptr, this, &m_PaintManager);
  if (!root) {
    UiLog(UiLogLevel::kError, L"window %ls: layout '%ls' failed to load", GetWindowClassName(),
          layout.c_str());
    return -1;  // the window is not created
  }
  m_PaintManager.AttachDialog(root);
  m_PaintManager.AddNotifier(this);
  InitWindow();
  return 0;
}

LRESULT WindowImplBase::OnClose(UINT, WPARAM, LPARAM, BOOL& bHandled) {
  bHandled = FALSE;
  return 0;
}

LRESULT WindowImplBase::OnDestroy(UINT, WPARAM, LPARAM, BOOL& bHandled) {
  bHandled = FALSE;
  return 0;
}

LRESULT WindowImplBase::OnNcActivate(UINT, WPARAM wParam, LPARAM, BOOL& bHandled) {
  bHandled = TRUE;
  // Nothing to draw; a minimised window keeps the default look of its button.
  return IsIconic(m_hWnd) ? DefWindowProcW(m_hWnd, WM_NCACTIVATE, wParam, -1) : TRUE;
}

LRESULT WindowImplBase::OnNcCalcSize(UINT, WPARAM, LPARAM, BOOL& bHandled) {
  bHandled = TRUE;
  return 0;  // the client area is the whole window
}

LRESULT WindowImplBase::OnNcPaint(UINT, WPARAM, LPARAM, BOOL& bHandled) {
  bHandled = TRUE;
  return 0;
}

LRESULT WindowImplBase::OnNcHitTest(UINT, WPARAM, LPARAM lParam, BOOL& bHandled) {
  bHandled = TRUE;
  POINT pt{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
  ScreenToClient(m_hWnd, &pt);
  RECT client;
  GetClientRect(m_hWnd, &client);
  if (!IsZoomed(m_hWnd)) {
    RECT box = m_PaintManager.GetSizeBox();
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
  RECT caption = m_PaintManager.GetCaptionRect();
  if (pt.x < client.left + caption.left || pt.x >= client.right - caption.right ||
      pt.y < caption.top || pt.y >= caption.bottom) {
    return HTCLIENT;
  }
  m_PaintManager.UpdateLayout();
  CControlUI* control = m_PaintManager.FindControl(pt);
  if (!control) return HTCLIENT;
  static const wchar_t* const kClientClasses[] = {L"Button", L"Option", L"Text", L"Edit"};
  CDuiString cls = control->GetClass();
  if (cls.size() > 2 && cls.compare(cls.size() - 2, 2, L"UI") == 0) cls.resize(cls.size() - 2);
  for (const wchar_t* name : kClientClasses) {
    if (EqualsNoCase(cls.c_str(), name)) return HTCLIENT;
  }
  return HTCAPTION;
}

LRESULT WindowImplBase::OnGetMinMaxInfo(UINT, WPARAM, LPARAM lParam, BOOL& bHandled) {
  bHandled = TRUE;
  auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
  MONITORINFO mi{sizeof(mi)};
  GetMonitorInfoW(MonitorFromWindow(m_hWnd, MONITOR_DEFAULTTONEAREST), &mi);
  // Maximised, the window covers the work area, not the whole monitor.
  info->ptMaxPosition.x = mi.rcWork.left - mi.rcMonitor.left;
  info->ptMaxPosition.y = mi.rcWork.top - mi.rcMonitor.top;
  info->ptMaxSize.x = mi.rcWork.right - mi.rcWork.left;
  info->ptMaxSize.y = mi.rcWork.bottom - mi.rcWork.top;
  SIZE min = m_PaintManager.GetMinInfo();
  SIZE max = m_PaintManager.GetMaxInfo();
  if (min.cx > 0) info->ptMinTrackSize.x = min.cx;
  if (min.cy > 0) info->ptMinTrackSize.y = min.cy;
  if (max.cx > 0) info->ptMaxTrackSize.x = max.cx;
  if (max.cy > 0) info->ptMaxTrackSize.y = max.cy;
  return 0;
}

LRESULT WindowImplBase::OnSize(UINT, WPARAM, LPARAM, BOOL& bHandled) {
  bHandled = FALSE;  // the paint manager lays out and reshapes
  return 0;
}

LRESULT WindowImplBase::OnSysCommand(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled) {
  bHandled = TRUE;
  if ((wParam & 0xFFF0) == SC_CLOSE) {
    SendMessage(WM_CLOSE);
    return 0;
  }
  const bool zoomed = IsZoomed(m_hWnd) != FALSE;
  LRESULT result = CWindowWnd::HandleMessage(uMsg, wParam, lParam);
  if (IsWindow(m_hWnd) && zoomed != (IsZoomed(m_hWnd) != FALSE)) {
    CControlUI* max_btn = m_PaintManager.FindControl(L"maxbtn");
    CControlUI* restore_btn = m_PaintManager.FindControl(L"restorebtn");
    if (max_btn && restore_btn) {
      max_btn->SetVisible(zoomed);
      restore_btn->SetVisible(!zoomed);
    }
  }
  return result;
}

LRESULT WindowImplBase::OnDpiChanged(UINT, WPARAM, LPARAM lParam, BOOL& bHandled) {
  bHandled = TRUE;
  const RECT* suggested = reinterpret_cast<const RECT*>(lParam);
  if (suggested) {
    SetWindowPos(m_hWnd, nullptr, suggested->left, suggested->top,
                 suggested->right - suggested->left, suggested->bottom - suggested->top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
  }
  return 0;
}

LRESULT WindowImplBase::HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) {
  LRESULT result = 0;
  BOOL handled = TRUE;
  switch (uMsg) {
    case WM_CREATE:
      result = OnCreate(uMsg, wParam, lParam, handled);
      break;
    case WM_CLOSE:
      result = OnClose(uMsg, wParam, lParam, handled);
      break;
    case WM_DESTROY:
      result = OnDestroy(uMsg, wParam, lParam, handled);
      break;
    case WM_NCACTIVATE:
      result = OnNcActivate(uMsg, wParam, lParam, handled);
      break;
    case WM_NCCALCSIZE:
      result = OnNcCalcSize(uMsg, wParam, lParam, handled);
      break;
    case WM_NCPAINT:
      result = OnNcPaint(uMsg, wParam, lParam, handled);
      break;
    case WM_NCHITTEST:
      result = OnNcHitTest(uMsg, wParam, lParam, handled);
      break;
    case WM_GETMINMAXINFO:
      result = OnGetMinMaxInfo(uMsg, wParam, lParam, handled);
      break;
    case WM_SIZE:
      result = OnSize(uMsg, wParam, lParam, handled);
      break;
    case WM_SYSCOMMAND:
      result = OnSysCommand(uMsg, wParam, lParam, handled);
      break;
    case 0x02E0:  // WM_DPICHANGED
      result = OnDpiChanged(uMsg, wParam, lParam, handled);
      break;
    default:
      handled = FALSE;
      break;
  }
  if (handled) return result;
  result = HandleCustomMessage(uMsg, wParam, lParam, handled);
  if (handled) return result;
  if (m_PaintManager.PreMessageHandler(uMsg, wParam, lParam, result)) return result;
  if (m_PaintManager.MessageHandler(uMsg, wParam, lParam, result)) return result;
  return CWindowWnd::HandleMessage(uMsg, wParam, lParam);
}

}  // namespace DuiLib
