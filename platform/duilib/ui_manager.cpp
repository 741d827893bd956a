#include "platform/duilib/ui_manager.h"

#include <commctrl.h>
#include <windowsx.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cwchar>

#include "platform/duilib/ui_control.h"
#include "platform/duilib/ui_render.h"
#include "platform/duilib/ui_resource.h"

namespace DuiLib {

namespace {

struct GlobalState {
  HINSTANCE instance = nullptr;
  std::wstring current_path;
  std::wstring resource_path;
  double dpi_scale = 1.0;
  std::vector<CPaintManagerUI*> managers;
};

GlobalState& Global() {
  static GlobalState state;
  return state;
}

template <class T>
bool Contains(const std::vector<T*>& list, const T* item) {
  return std::find(list.begin(), list.end(), item) != list.end();
}

// Appends `item` unless it is null or listed already.
template <class T>
bool AddOnce(std::vector<T*>* list, T* item) {
  if (!item || Contains(*list, item)) return false;
  list->push_back(item);
  return true;
}

template <class T>
bool RemoveFrom(std::vector<T*>* list, T* item) {
  auto it = std::find(list->begin(), list->end(), item);
  if (it == list->end()) return false;
  list->erase(it);
  return true;
}

UINT AsyncNotifyMessage() {
  static const UINT message = RegisterWindowMessageW(L"DuiLib.AsyncNotify");
  return message;
}

// Layered windows get no reliable WM_PAINT: invalidation posts this instead.
UINT LayeredPaintMessage() {
  static const UINT message = RegisterWindowMessageW(L"DuiLib.LayeredPaint");
  return message;
}

}  // namespace

// ---- process-wide settings -------------------------------------------------------------------

HINSTANCE CPaintManagerUI::GetInstance() {
  return Global().instance ? Global().instance : GetModuleHandleW(nullptr);
}

void CPaintManagerUI::SetInstance(HINSTANCE instance) { Global().instance = instance; }

CDuiString CPaintManagerUI::GetInstancePath() {
  wchar_t path[MAX_PATH] = {};
  DWORD n = GetModuleFileNameW(GetInstance(), path, MAX_PATH);
  std::wstring text(path, n);
  size_t slash = text.find_last_of(L"\\/");
  return slash == std::wstring::npos ? std::wstring() : text.substr(0, slash + 1);
}

CDuiString CPaintManagerUI::GetCurrentPath() {
  if (!Global().current_path.empty()) return Global().current_path;
  wchar_t path[MAX_PATH] = {};
  GetCurrentDirectoryW(MAX_PATH, path);
  return path;
}

void CPaintManagerUI::SetCurrentPath(const wchar_t* path) {
  Global().current_path = path ? path : L"";
  if (path && *path) SetCurrentDirectoryW(path);
}

CDuiString CPaintManagerUI::GetResourcePath() { return Global().resource_path; }

void CPaintManagerUI::SetResourcePath(const wchar_t* path) {
  Global().resource_path = path ? path : L"";
}

namespace {
// The ZIP resource in use, so that windows sharing one skin keep the decoded images.
HMODULE g_zip_module = nullptr;
UINT g_zip_id = 0;
}  // namespace

bool CPaintManagerUI::SetResourceZipResource(UINT id) {
  HMODULE module = GetInstance();
  if (CResourceStore::HasArchive() && g_zip_module == module && g_zip_id == id) return true;
  if (!CResourceStore::UseZipResource(module, id)) return false;
  g_zip_module = module;
  g_zip_id = id;
  CRenderEngine::FreeImageCache();
  return true;
}

bool CPaintManagerUI::SetResourceZip(const void* data, unsigned int size) {
  if (!CResourceStore::UseZipMemory(data, size)) return false;
  g_zip_module = nullptr;
  CRenderEngine::FreeImageCache();
  return true;
}

void CPaintManagerUI::SetResourceFolder() {
  g_zip_module = nullptr;
  CResourceStore::UseFolder();
  CRenderEngine::FreeImageCache();
}

void CPaintManagerUI::SetDpiScale(double scale) {
  if (scale >= 0.5 && scale <= 8.0) Global().dpi_scale = scale;
}

double CPaintManagerUI::GetDpiScale() { return Global().dpi_scale; }

int CPaintManagerUI::ScaleValue(int value) {
  // Large values stay within int rather than wrapping.
  const double scaled =
      std::min<double>(INT_MAX, std::max<double>(INT_MIN, value * Global().dpi_scale));
  return static_cast<int>(std::lround(scaled));
}

void CPaintManagerUI::InvalidateAll() {
  for (CPaintManagerUI* manager : Global().managers) manager->Invalidate();
}

// ---- life ------------------------------------------------------------------------------------

CPaintManagerUI::CPaintManagerUI() { Global().managers.push_back(this); }

CPaintManagerUI::~CPaintManagerUI() {
  // Controls reap themselves from this manager while they are destroyed.
  m_pRoot.reset();
  *m_alive = false;
  for (const TimerInfo& timer : m_timers) {
    if (m_hWnd) ::KillTimer(m_hWnd, timer.windowId);
  }
  for (const FontInfo& font : m_fonts) DeleteObject(font.font);
  if (m_hwndTooltip && IsWindow(m_hwndTooltip)) DestroyWindow(m_hwndTooltip);
  FreeBuffer();
  auto& managers = Global().managers;
  managers.erase(std::remove(managers.begin(), managers.end(), this), managers.end());
}

void CPaintManagerUI::Init(HWND hwnd) {
  m_hWnd = hwnd;
  if (m_bLayered) SetLayered(true, m_opacity);
}

// ---- the control tree ------------------------------------------------------------------------

bool CPaintManagerUI::AttachDialog(CControlUI* root) {
  if (!root) return false;
  m_pFocus = m_pEventHover = m_pEventClick = nullptr;
  m_pRoot.reset(root);
  InitControls(root, nullptr);
  m_bUpdateNeeded = true;
  m_bFirstLayout = true;
  Invalidate();
  return true;
}

bool CPaintManagerUI::InitControls(CControlUI* control, CControlUI* parent) {
  if (!control) return false;
  control->SetManager(this, parent ? parent : control->GetParent(), true);
  return true;
}

CControlUI* CPaintManagerUI::FindControl(const wchar_t* name) const {
  return (m_pRoot && name) ? m_pRoot->FindControlByName(name) : nullptr;
}

CControlUI* CPaintManagerUI::FindControl(POINT pt) const {
  return m_pRoot ? m_pRoot->FindControlAt(pt) : nullptr;
}

CControlUI* CPaintManagerUI::FindSubControlByName(CControlUI* parent, const wchar_t* name) const {
  return (parent && name) ? parent->FindControlByName(name) : nullptr;
}

void CPaintManagerUI::ReapObjects(CControlUI* control) {
  if (m_pFocus == control) m_pFocus = nullptr;
  if (m_pEventHover == control) m_pEventHover = nullptr;
  if (m_pEventClick == control) m_pEventClick = nullptr;
  for (auto it = m_timers.begin(); it != m_timers.end();) {
    if (it->control == control) {
      if (m_hWnd) ::KillTimer(m_hWnd, it->windowId);
      it = m_timers.erase(it);
    } else {
      ++it;
    }
  }
  m_asyncNotify.erase(
      std::remove_if(m_asyncNotify.begin(), m_asyncNotify.end(),
                     [control](const TNotifyUI& n) { return n.pSender == control; }),
      m_asyncNotify.end());
  for (auto it = m_optionGroups.begin(); it != m_optionGroups.end();) {
    auto& members = it->second;
    members.erase(std::remove(members.begin(), members.end(), control), members.end());
    it = members.empty() ? m_optionGroups.erase(it) : std::next(it);
  }
}

// ---- notifications ---------------------------------------------------------------------------

bool CPaintManagerUI::AddNotifier(INotifyUI* notifier) { return AddOnce(&m_notifiers, notifier); }

bool CPaintManagerUI::RemoveNotifier(INotifyUI* notifier) {
  return RemoveFrom(&m_notifiers, notifier);
}

bool CPaintManagerUI::NotifyAll(TNotifyUI& msg) {
  std::shared_ptr<bool> alive = m_alive;
  std::vector<INotifyUI*> notifiers = m_notifiers;
  for (INotifyUI* notifier : notifiers) {
    if (!*alive) return false;
    if (Contains(m_notifiers, notifier)) notifier->Notify(msg);
  }
  return *alive;
}

void CPaintManagerUI::SendNotify(TNotifyUI& msg, bool bAsync) {
  msg.ptMouse = m_ptLastMouse;
  msg.dwTimestamp = GetTickCount();
  if (bAsync) {
    m_asyncNotify.push_back(msg);
    if (m_hWnd) PostMessageW(m_hWnd, AsyncNotifyMessage(), 0, 0);
    return;
  }
  NotifyAll(msg);
}

void CPaintManagerUI::SendNotify(CControlUI* control, const wchar_t* type, WPARAM wParam,
                                 LPARAM lParam, bool bAsync) {
  TNotifyUI msg;
  msg.sType = type;
  msg.pSender = control;
  msg.wParam = wParam;
  msg.lParam = lParam;
  SendNotify(msg, bAsync);
}

void CPaintManagerUI::DeliverAsyncNotifications() {
  std::shared_ptr<bool> alive = m_alive;
  while (*alive && !m_asyncNotify.empty()) {
    TNotifyUI msg = m_asyncNotify.front();
    m_asyncNotify.pop_front();
    if (!NotifyAll(msg)) return;
  }
}

bool CPaintManagerUI::AddMessageFilter(IMessageFilterUI* filter) {
  return AddOnce(&m_filters, filter);
}

bool CPaintManagerUI::RemoveMessageFilter(IMessageFilterUI* filter) {
  return RemoveFrom(&m_filters, filter);
}

bool CPaintManagerUI::PreMessageHandler(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lRes) {
  std::vector<IMessageFilterUI*> filters = m_filters;
  for (IMessageFilterUI* filter : filters) {
    bool handled = false;
    LRESULT result = filter->MessageHandler(uMsg, wParam, lParam, handled);
    if (handled) {
      lRes = result;
      return true;
    }
  }
  return false;
}

// ---- option groups ---------------------------------------------------------------------------

bool CPaintManagerUI::AddOptionGroup(const wchar_t* group, CControlUI* control) {
  if (!group || !*group || !control) return false;
  return AddOnce(&m_optionGroups[group], control);
}

const std::vector<CControlUI*>* CPaintManagerUI::GetOptionGroup(const wchar_t* group) const {
  auto it = m_optionGroups.find(group ? group : L"");
  return it == m_optionGroups.end() ? nullptr : &it->second;
}

void CPaintManagerUI::RemoveOptionGroup(const wchar_t* group, CControlUI* control) {
  auto it = m_optionGroups.find(group ? group : L"");
  if (it == m_optionGroups.end()) return;
  auto& members = it->second;
  members.erase(std::remove(members.begin(), members.end(), control), members.end());
  if (members.empty()) m_optionGroups.erase(it);
}

// ---- window attributes -----------------------------------------------------------------------

void CPaintManagerUI::SetInitSize(int cx, int cy) {
  m_szInitWindowSize = SIZE{cx, cy};
  if (m_hWnd && cx > 0 && cy > 0) {
    SetWindowPos(m_hWnd, nullptr, 0, 0, cx, cy, SWP_NOZORDER | SWP_NOMOVE | SWP_NOACTIVATE);
  }
}

void CPaintManagerUI::SetRoundCorner(int cx, int cy) {
  m_szRoundCorner = SIZE{cx, cy};
  ApplyRoundCorner();
}

void CPaintManagerUI::ApplyRoundCorner() {
  if (!m_hWnd || m_szRoundCorner.cx <= 0 || m_szRoundCorner.cy <= 0) return;
  if (IsZoomed(m_hWnd)) {
    SetWindowRgn(m_hWnd, nullptr, TRUE);
    return;
  }
  RECT rc;
  GetWindowRect(m_hWnd, &rc);
  HRGN region = CreateRoundRectRgn(0, 0, rc.right - rc.left + 1, rc.bottom - rc.top + 1,
                                   m_szRoundCorner.cx, m_szRoundCorner.cy);
  // The system owns the region once it is set.
  if (!SetWindowRgn(m_hWnd, region, TRUE)) DeleteObject(region);
}

void CPaintManagerUI::SetLayered(bool layered, BYTE opacity) {
  m_bLayered = layered;
  m_opacity = opacity;
  if (!m_hWnd) return;
  LONG_PTR style = GetWindowLongPtrW(m_hWnd, GWL_EXSTYLE);
  if (layered) {
    // Per-pixel alpha: every paint hands the whole back buffer to UpdateLayeredWindow.
    SetWindowLongPtrW(m_hWnd, GWL_EXSTYLE, style | WS_EX_LAYERED);
  } else if (style & WS_EX_LAYERED) {
    SetWindowLongPtrW(m_hWnd, GWL_EXSTYLE, style & ~WS_EX_LAYERED);
  }
  Invalidate();
}

bool CPaintManagerUI::SetWindowAttribute(const wchar_t* name, const wchar_t* value) {
  RECT rc{};
  SIZE size{};
  bool flag = false;
  int number = 0;
  auto scaled = [](RECT r) {
    return RECT{ScaleValue(r.left), ScaleValue(r.top), ScaleValue(r.right), ScaleValue(r.bottom)};
  };
  if (wcscmp(name, L"size") == 0) {
    if (!ParseSize(value, &size) || size.cx < 0 || size.cy < 0) return false;
    SetInitSize(ScaleValue(size.cx), ScaleValue(size.cy));
  } else if (wcscmp(name, L"caption") == 0) {
    if (!ParseRect(value, &rc)) return false;
    SetCaptionRect(scaled(rc));
  } else if (wcscmp(name, L"sizebox") == 0) {
    if (!ParseRect(value, &rc)) return false;
    SetSizeBox(scaled(rc));
  } else if (wcscmp(name, L"roundcorner") == 0) {
    if (!ParseSize(value, &size)) return false;
    SetRoundCorner(ScaleValue(size.cx), ScaleValue(size.cy));
  } else if (wcscmp(name, L"mininfo") == 0) {
    if (!ParseSize(value, &size)) return false;
    SetMinInfo(ScaleValue(size.cx), ScaleValue(size.cy));
  } else if (wcscmp(name, L"maxinfo") == 0) {
    if (!ParseSize(value, &size)) return false;
    SetMaxInfo(ScaleValue(size.cx), ScaleValue(size.cy));
  } else if (wcscmp(name, L"layered") == 0) {
    if (!ParseBool(value, &flag)) return false;
    SetLayered(flag, m_opacity);
  } else if (wcscmp(name, L"opacity") == 0) {
    if (!ParseInt(value, &number) || number < 0 || number > 255) return false;
    m_opacity = static_cast<BYTE>(number);
    if (m_bLayered) SetLayered(true, m_opacity);
  } else {
    return false;
  }
  return true;
}

// ---- defaults and fonts ----------------------------------------------------------------------

void CPaintManagerUI::AddDefaultAttributeList(const wchar_t* controlName, const wchar_t* list) {
  if (controlName && list) m_defaultAttributes[controlName] = list;
}

const wchar_t* CPaintManagerUI::GetDefaultAttributeList(const wchar_t* controlName) const {
  auto it = m_defaultAttributes.find(controlName ? controlName : L"");
  return it == m_defaultAttributes.end() ? nullptr : it->second.c_str();
}

void CPaintManagerUI::AddFont(int id, const wchar_t* face, int size, bool bold, bool underline,
                              bool italic, bool isDefault) {
  LOGFONTW lf{};
  lf.lfHeight = -ScaleValue(size > 0 ? size : 12);
  lf.lfWeight = bold ? FW_BOLD : FW_NORMAL;
  lf.lfUnderline = underline;
  lf.lfItalic = italic;
  lf.lfCharSet = DEFAULT_CHARSET;
  lf.lfQuality = CLEARTYPE_QUALITY;
  wcsncpy(lf.lfFaceName, face ? face : L"", LF_FACESIZE - 1);
  HFONT font = CreateFontIndirectW(&lf);
  if (!font) return;
  for (FontInfo& info : m_fonts) {
    if (info.id == id) {
      if (m_hDefaultFont == info.font) m_hDefaultFont = font;
      DeleteObject(info.font);
      info.font = font;
      if (isDefault) m_hDefaultFont = font;
      return;
    }
  }
  m_fonts.push_back(FontInfo{id, font});
  if (isDefault || !m_hDefaultFont) m_hDefaultFont = font;
}

HFONT CPaintManagerUI::GetFont(int id) const {
  if (id >= 0) {
    for (const FontInfo& info : m_fonts) {
      if (info.id == id) return info.font;
    }
  }
  return m_hDefaultFont;
}

// ---- focus, timers, painting -----------------------------------------------------------------

void CPaintManagerUI::SetFocus(CControlUI* control) {
  if (control == m_pFocus) return;
  std::shared_ptr<bool> alive = m_alive;
  CControlUI* old = m_pFocus;
  m_pFocus = control;
  if (old) {
    old->m_bFocused = false;
    DispatchEvent(old, UIEVENT_KILLFOCUS, m_ptLastMouse, 0, 0);
    SendNotify(old, L"killfocus");
    if (!*alive || m_pFocus != control) return;
  }
  if (control) {
    control->m_bFocused = true;
    DispatchEvent(control, UIEVENT_SETFOCUS, m_ptLastMouse, 0, 0);
    SendNotify(control, L"setfocus");
  }
}

bool CPaintManagerUI::SetTimer(CControlUI* control, UINT id, UINT elapse) {
  if (!m_hWnd || !control) return false;
  for (const TimerInfo& timer : m_timers) {
    if (timer.control == control && timer.id == id) {
      return ::SetTimer(m_hWnd, timer.windowId, elapse, nullptr) != 0;
    }
  }
  UINT_PTR window_id = m_nextTimerId++;
  if (!::SetTimer(m_hWnd, window_id, elapse, nullptr)) return false;
  m_timers.push_back(TimerInfo{control, id, window_id});
  return true;
}

bool CPaintManagerUI::KillTimer(CControlUI* control, UINT id) {
  for (auto it = m_timers.begin(); it != m_timers.end(); ++it) {
    if (it->control == control && it->id == id) {
      if (m_hWnd) ::KillTimer(m_hWnd, it->windowId);
      m_timers.erase(it);
      return true;
    }
  }
  return false;
}

void CPaintManagerUI::Invalidate() {
  if (!m_hWnd) return;
  if (m_bLayered) return ScheduleLayeredPaint();
  InvalidateRect(m_hWnd, nullptr, FALSE);
}

void CPaintManagerUI::Invalidate(const RECT& rc) {
  if (!m_hWnd || rc.right <= rc.left || rc.bottom <= rc.top) return;
  if (m_bLayered) return ScheduleLayeredPaint();
  InvalidateRect(m_hWnd, &rc, FALSE);
}

void CPaintManagerUI::ScheduleLayeredPaint() {
  if (m_bLayeredPaintPending) return;
  m_bLayeredPaintPending = PostMessageW(m_hWnd, LayeredPaintMessage(), 0, 0) != FALSE;
}

void CPaintManagerUI::PaintLayered() {
  m_bLayeredPaintPending = false;
  std::shared_ptr<bool> alive = m_alive;
  UpdateLayout();
  if (!*alive || !m_bLayered) return;
  RECT client;
  GetClientRect(m_hWnd, &client);
  if (!EnsureBuffer(client.right - client.left, client.bottom - client.top)) return;
  PaintBuffer(client);
  PresentLayered();
}

void CPaintManagerUI::UpdateLayout() {
  if (!m_pRoot || !m_hWnd) return;
  std::shared_ptr<bool> alive = m_alive;
  RECT client;
  GetClientRect(m_hWnd, &client);
  SIZE size{client.right - client.left, client.bottom - client.top};
  if (size.cx != m_szLastClient.cx || size.cy != m_szLastClient.cy) m_bUpdateNeeded = true;
  // A pass may change what the next one sees (a scroll bar appears); a few passes settle it.
  for (int pass = 0; pass < 4 && m_bUpdateNeeded; ++pass) {
    m_bUpdateNeeded = false;
    m_szLastClient = size;
    m_pRoot->SetPos(client, false);
    if (m_bFirstLayout) {
      m_bFirstLayout = false;
      SendNotify(m_pRoot.get(), L"windowinit");
      if (!*alive || !m_pRoot) return;
    }
  }
}

bool CPaintManagerUI::EnsureBuffer(int cx, int cy) {
  cx = std::max(1, cx);
  cy = std::max(1, cy);
  if (m_hdcBuffer && m_szBuffer.cx == cx && m_szBuffer.cy == cy) return true;
  FreeBuffer();
  void* bits = nullptr;
  m_hbmpBuffer = CRenderEngine::CreateDib32(cx, cy, &bits);
  if (!m_hbmpBuffer) return false;
  m_pBufferBits = static_cast<DWORD*>(bits);
  m_hdcBuffer = CreateCompatibleDC(nullptr);
  m_hbmpOld = SelectObject(m_hdcBuffer, m_hbmpBuffer);
  m_szBuffer = SIZE{cx, cy};
  return true;
}

void CPaintManagerUI::FreeBuffer() {
  if (m_hdcBuffer) {
    SelectObject(m_hdcBuffer, m_hbmpOld);
    DeleteDC(m_hdcBuffer);
    m_hdcBuffer = nullptr;
  }
  if (m_hbmpBuffer) {
    DeleteObject(m_hbmpBuffer);
    m_hbmpBuffer = nullptr;
  }
  m_pBufferBits = nullptr;
  m_szBuffer = SIZE{};
}

void CPaintManagerUI::PaintBuffer(const RECT& rcPaint) {
  // A layered window starts from transparent pixels, any other from white.
  if (m_bLayered) {
    FillRect(m_hdcBuffer, &rcPaint, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
  } else {
    CRenderEngine::DrawColor(m_hdcBuffer, rcPaint, 0xFFFFFFFF);
  }
  if (!m_pRoot) return;
  int saved = SaveDC(m_hdcBuffer);
  IntersectClipRect(m_hdcBuffer, rcPaint.left, rcPaint.top, rcPaint.right, rcPaint.bottom);
  m_pRoot->DoPaint(m_hdcBuffer, rcPaint);
  RestoreDC(m_hdcBuffer, saved);
  if (m_bLayered) {
    // GDI fills and text leave the alpha byte at 0: such pixels are opaque. Pixels that
    // nothing painted stay (0, 0, 0, 0), fully transparent.
    GdiFlush();
    for (LONG y = std::max<LONG>(0, rcPaint.top); y < std::min<LONG>(m_szBuffer.cy, rcPaint.bottom);
         ++y) {
      DWORD* row = m_pBufferBits + y * m_szBuffer.cx;
      for (LONG x = std::max<LONG>(0, rcPaint.left);
           x < std::min<LONG>(m_szBuffer.cx, rcPaint.right); ++x) {
        if ((row[x] & 0xFF000000) == 0 && (row[x] & 0x00FFFFFF) != 0) row[x] |= 0xFF000000;
      }
    }
  }
}

void CPaintManagerUI::PresentLayered() {
  RECT window;
  GetWindowRect(m_hWnd, &window);
  POINT pos{window.left, window.top};
  SIZE size{m_szBuffer.cx, m_szBuffer.cy};
  POINT origin{0, 0};
  BLENDFUNCTION blend{AC_SRC_OVER, 0, m_opacity, AC_SRC_ALPHA};
  UpdateLayeredWindow(m_hWnd, nullptr, &pos, &size, m_hdcBuffer, &origin, 0, &blend, ULW_ALPHA);
}

const DWORD* CPaintManagerUI::GetBackBufferBits(SIZE* size) const {
  if (size) *size = m_szBuffer;
  return m_pBufferBits;
}

void CPaintManagerUI::OnPaint() {
  std::shared_ptr<bool> alive = m_alive;
  if (m_bLayered) {
    ValidateRect(m_hWnd, nullptr);
    PaintLayered();
    return;
  }
  UpdateLayout();
  if (!*alive) return;
  PAINTSTRUCT ps;
  HDC hdc = BeginPaint(m_hWnd, &ps);
  RECT client;
  GetClientRect(m_hWnd, &client);
  RECT paint;
  if (IntersectRect(&paint, &ps.rcPaint, &client) &&
      EnsureBuffer(client.right - client.left, client.bottom - client.top)) {
    PaintBuffer(paint);
    BitBlt(hdc, paint.left, paint.top, paint.right - paint.left, paint.bottom - paint.top,
           m_hdcBuffer, paint.left, paint.top, SRCCOPY);
  }
  EndPaint(m_hWnd, &ps);
}

void CPaintManagerUI::PaintTo(HDC hdc) {
  std::shared_ptr<bool> alive = m_alive;
  UpdateLayout();
  if (!*alive || !m_hWnd) return;
  RECT client;
  GetClientRect(m_hWnd, &client);
  if (!EnsureBuffer(client.right - client.left, client.bottom - client.top)) return;
  PaintBuffer(client);
  BitBlt(hdc, 0, 0, client.right - client.left, client.bottom - client.top, m_hdcBuffer, 0, 0,
         SRCCOPY);
}

// ---- input -----------------------------------------------------------------------------------

void CPaintManagerUI::DispatchEvent(CControlUI* control, int type, POINT pt, WPARAM wParam,
                                    LPARAM lParam) {
  if (!control) return;
  TEventUI event;
  event.Type = type;
  event.pSender = control;
  event.dwTimestamp = GetTickCount();
  event.ptMouse = pt;
  event.wParam = wParam;
  event.lParam = lParam;
  event.chKey = static_cast<wchar_t>(wParam);
  event.wKeyState = static_cast<WORD>(wParam);
  control->DoEvent(event);
}

void CPaintManagerUI::SetHot(CControlUI* control, POINT pt) {
  if (control == m_pEventHover) return;
  std::shared_ptr<bool> alive = m_alive;
  CControlUI* old = m_pEventHover;
  m_pEventHover = control;
  if (old) {
    DispatchEvent(old, UIEVENT_MOUSELEAVE, pt, 0, 0);
    SendNotify(old, L"mouseleave");
    if (!*alive || m_pEventHover != control) return;
  }
  if (control) {
    DispatchEvent(control, UIEVENT_MOUSEENTER, pt, 0, 0);
    SendNotify(control, L"mouseenter");
    if (!*alive || m_pEventHover != control) return;
  }
  UpdateToolTip(control);
}

void CPaintManagerUI::UpdateToolTip(CControlUI* control) {
  const CDuiString text = control ? control->GetToolTip() : CDuiString();
  if (text.empty()) {
    if (m_hwndTooltip) ::SendMessageW(m_hwndTooltip, TTM_ACTIVATE, FALSE, 0);
    return;
  }
  TOOLINFOW info{};
  info.cbSize = TTTOOLINFOW_V2_SIZE;
  info.uFlags = TTF_SUBCLASS;
  info.hwnd = m_hWnd;
  info.uId = 1;
  info.rect = control->GetPos();
  info.lpszText = const_cast<wchar_t*>(text.c_str());
  if (!m_hwndTooltip) {
    static bool initialised = false;
    if (!initialised) {
      INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_WIN95_CLASSES};
      initialised = InitCommonControlsEx(&icc) != FALSE;
    }
    m_hwndTooltip =
        CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                        WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP, CW_USEDEFAULT, CW_USEDEFAULT,
                        CW_USEDEFAULT, CW_USEDEFAULT, m_hWnd, nullptr, GetInstance(), nullptr);
    if (!m_hwndTooltip) return;
    ::SendMessageW(m_hwndTooltip, TTM_SETMAXTIPWIDTH, 0, 400);
    ::SendMessageW(m_hwndTooltip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&info));
  } else {
    ::SendMessageW(m_hwndTooltip, TTM_NEWTOOLRECTW, 0, reinterpret_cast<LPARAM>(&info));
    ::SendMessageW(m_hwndTooltip, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&info));
  }
  ::SendMessageW(m_hwndTooltip, TTM_ACTIVATE, TRUE, 0);
}

bool CPaintManagerUI::MessageHandler(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lRes) {
  if (!m_hWnd) return false;
  lRes = 0;
  if (uMsg == AsyncNotifyMessage()) {
    DeliverAsyncNotifications();
    return true;
  }
  if (uMsg == LayeredPaintMessage()) {
    PaintLayered();
    return true;
  }
  switch (uMsg) {
    case WM_ERASEBKGND:
      lRes = 1;
      return true;
    case WM_PAINT:
      OnPaint();
      return true;
    case WM_PRINTCLIENT:
      PaintTo(reinterpret_cast<HDC>(wParam));
      return true;
    case WM_SIZE:
      m_bUpdateNeeded = true;
      ApplyRoundCorner();
      Invalidate();
      return false;
    case WM_TIMER:
      for (const TimerInfo& timer : m_timers) {
        if (timer.windowId == wParam) {
          DispatchEvent(timer.control, UIEVENT_TIMER, m_ptLastMouse, timer.id, 0);
          return true;
        }
      }
      return false;
    case WM_MOUSEMOVE: {
      POINT pt{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
      m_ptLastMouse = pt;
      if (!m_bMouseTracking) {
        TRACKMOUSEEVENT track{sizeof(track), TME_LEAVE, m_hWnd, 0};
        m_bMouseTracking = TrackMouseEvent(&track) != FALSE;
      }
      UpdateLayout();
      if (m_pEventClick) {
        DispatchEvent(m_pEventClick, UIEVENT_MOUSEMOVE, pt, wParam, lParam);
        return true;
      }
      CControlUI* control = FindControl(pt);
      if (control && !control->IsEnabled()) control = nullptr;
      SetHot(control, pt);
      if (m_pEventHover) DispatchEvent(m_pEventHover, UIEVENT_MOUSEMOVE, pt, wParam, lParam);
      return true;
    }
    case WM_MOUSELEAVE:
      m_bMouseTracking = false;
      if (!m_pEventClick) SetHot(nullptr, m_ptLastMouse);
      return true;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: {
      POINT pt{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
      m_ptLastMouse = pt;
      ::SetFocus(m_hWnd);
      UpdateLayout();
      CControlUI* control = FindControl(pt);
      if (!control || !control->IsEnabled()) return true;
      std::shared_ptr<bool> alive = m_alive;
      SetFocus(control->WantsFocus() ? control : nullptr);
      if (!*alive || FindControl(pt) != control) return true;
      m_pEventClick = control;
      SetCapture(m_hWnd);
      DispatchEvent(control, uMsg == WM_LBUTTONDOWN ? UIEVENT_BUTTONDOWN : UIEVENT_DBLCLICK, pt,
                    wParam, lParam);
      return true;
    }
    case WM_LBUTTONUP: {
      POINT pt{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
      m_ptLastMouse = pt;
      CControlUI* control = m_pEventClick;
      m_pEventClick = nullptr;
      if (GetCapture() == m_hWnd) ReleaseCapture();
      DispatchEvent(control, UIEVENT_BUTTONUP, pt, wParam, lParam);
      return true;
    }
    case WM_CAPTURECHANGED:
      if (m_pEventClick && reinterpret_cast<HWND>(lParam) != m_hWnd) {
        // Capture taken away mid-press: release without a click.
        CControlUI* control = m_pEventClick;
        m_pEventClick = nullptr;
        DispatchEvent(control, UIEVENT_BUTTONUP, POINT{-1, -1}, 0, 0);
      }
      return false;
    case WM_MOUSEWHEEL: {
      POINT pt{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
      ScreenToClient(m_hWnd, &pt);
      UpdateLayout();
      DispatchEvent(FindControl(pt), UIEVENT_SCROLLWHEEL, pt, wParam, lParam);
      return true;
    }
    case WM_KEYDOWN:
      if (!m_pFocus) return false;
      DispatchEvent(m_pFocus, UIEVENT_KEYDOWN, m_ptLastMouse, wParam, lParam);
      return true;
    case WM_CHAR:
      if (!m_pFocus) return false;
      DispatchEvent(m_pFocus, UIEVENT_CHAR, m_ptLastMouse, wParam, lParam);
      return true;
    case WM_SETCURSOR: {
      if (LOWORD(lParam) != HTCLIENT) return false;
      POINT pt;
      GetCursorPos(&pt);
      ScreenToClient(m_hWnd, &pt);
      CControlUI* control = FindControl(pt);
      if (control && control->GetInterface(L"Edit") && control->IsEnabled()) {
        ::SetCursor(LoadCursor(nullptr, IDC_IBEAM));
        lRes = TRUE;
        return true;
      }
      return false;
    }
    default:
      return false;
  }
}

}  // namespace DuiLib
