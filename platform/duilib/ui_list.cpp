#include "platform/duilib/ui_list.h"

#include <algorithm>
#include <cwchar>
#include <exception>

#include "platform/duilib/ui_manager.h"
#include "platform/duilib/ui_render.h"

namespace DuiLib {

namespace {

IListItemUI* AsListItem(CControlUI* control) {
  return control ? static_cast<IListItemUI*>(control->GetInterface(L"ListItem")) : nullptr;
}

}  // namespace

bool SetListInfoAttribute(TListInfoUI* info, const wchar_t* name, const wchar_t* value,
                          bool* malformed) {
  *malformed = false;
  DWORD* color = nullptr;
  if (wcscmp(name, L"itemtextcolor") == 0)
    color = &info->dwTextColor;
  else if (wcscmp(name, L"itembkcolor") == 0)
    color = &info->dwBkColor;
  else if (wcscmp(name, L"itemselectedtextcolor") == 0)
    color = &info->dwSelectedTextColor;
  else if (wcscmp(name, L"itemselectedbkcolor") == 0)
    color = &info->dwSelectedBkColor;
  else if (wcscmp(name, L"itemhottextcolor") == 0)
    color = &info->dwHotTextColor;
  else if (wcscmp(name, L"itemhotbkcolor") == 0)
    color = &info->dwHotBkColor;
  else if (wcscmp(name, L"itemdisabledtextcolor") == 0)
    color = &info->dwDisabledTextColor;
  if (color) {
    *malformed = !ParseColor(value, color);
    return true;
  }
  int number = 0;
  RECT rc{};
  if (wcscmp(name, L"itemfont") == 0) {
    *malformed = !ParseInt(value, &number);
    if (!*malformed) info->nFont = number;
    return true;
  }
  if (wcscmp(name, L"itemheight") == 0) {
    *malformed = !ParseInt(value, &number) || number <= 0;
    if (!*malformed) info->nItemHeight = CPaintManagerUI::ScaleValue(number);
    return true;
  }
  if (wcscmp(name, L"itemtextpadding") == 0) {
    *malformed = !ParseRect(value, &rc);
    if (!*malformed) {
      info->rcTextPadding =
          RECT{CPaintManagerUI::ScaleValue(rc.left), CPaintManagerUI::ScaleValue(rc.top),
               CPaintManagerUI::ScaleValue(rc.right), CPaintManagerUI::ScaleValue(rc.bottom)};
    }
    return true;
  }
  if (wcscmp(name, L"itemalign") == 0) {
    *malformed = !ParseHorizontalAlign(value, &info->uTextStyle);
    return true;
  }
  return false;
}

void ReindexListItems(const std::vector<CControlUI*>& items, IListOwnerUI* owner) {
  for (int i = 0; i < static_cast<int>(items.size()); ++i) {
    if (IListItemUI* item = AsListItem(items[i])) {
      item->SetOwner(owner);
      item->SetIndex(i);
    }
  }
}

// ---------------------------------------------------------------------------------------------
// CListLabelElementUI

void* CListLabelElementUI::GetInterface(const wchar_t* name) {
  if (EqualsNoCase(name, L"ListLabelElement")) return this;
  return CListElementBaseUI::GetInterface(name);
}

void CListLabelElementUI::SetHot(bool hot) {
  if (m_bHot == hot) return;
  m_bHot = hot;
  Invalidate();
}

bool CListLabelElementUI::Activate() {
  if (!CControlUI::Activate()) return false;
  Notify(L"itemactivate");
  return true;
}

void CListLabelElementUI::DoEvent(TEventUI& event) {
  switch (event.Type) {
    case UIEVENT_BUTTONDOWN:
      if (IsEnabled() && m_pOwner) m_pOwner->SelectItem(m_iIndex, true, true);
      return;
    case UIEVENT_MOUSEENTER:
      SetHot(true);
      return;
    case UIEVENT_MOUSELEAVE:
      SetHot(false);
      return;
    default:
      CControlUI::DoEvent(event);
  }
}

void CListLabelElementUI::PaintBkColor(HDC hdc) {
  const TListInfoUI* info = m_pOwner ? m_pOwner->GetListInfo() : nullptr;
  if (!info) return CControlUI::PaintBkColor(hdc);
  DWORD color = m_dwBkColor ? m_dwBkColor : info->dwBkColor;
  if (m_bSelected)
    color = info->dwSelectedBkColor;
  else if (m_bHot && IsEnabled())
    color = info->dwHotBkColor;
  CRenderEngine::DrawColor(hdc, m_rcItem, color);
}

void CListLabelElementUI::PaintText(HDC hdc) {
  const TListInfoUI* info = m_pOwner ? m_pOwner->GetListInfo() : nullptr;
  if (!info) return;
  DWORD color = info->dwTextColor;
  if (!IsEnabled())
    color = info->dwDisabledTextColor;
  else if (m_bSelected)
    color = info->dwSelectedTextColor;
  else if (m_bHot)
    color = info->dwHotTextColor;
  const RECT& pad = info->rcTextPadding;
  RECT rc{m_rcItem.left + pad.left, m_rcItem.top + pad.top, m_rcItem.right - pad.right,
          m_rcItem.bottom - pad.bottom};
  CRenderEngine::DrawText(hdc, m_pManager, rc, GetText(), color,
                          m_iFont >= 0 ? m_iFont : info->nFont, info->uTextStyle);
}

void CListLabelElementUI::DrawItem(HDC hdc, const RECT& rc) {
  RECT saved_item = m_rcItem;
  RECT saved_paint = m_rcPaint;
  m_rcItem = rc;
  m_rcPaint = rc;
  PaintBkColor(hdc);
  PaintBkImage(hdc);
  PaintText(hdc);
  m_rcItem = saved_item;
  m_rcPaint = saved_paint;
}

// ---------------------------------------------------------------------------------------------
// CListContainerElementUI

void* CListContainerElementUI::GetInterface(const wchar_t* name) {
  if (EqualsNoCase(name, L"ListContainerElement")) return this;
  return CListElementBaseUI::GetInterface(name);
}

void CListContainerElementUI::DoEvent(TEventUI& event) {
  if (TrackHot(event, &m_bHot)) return;
  switch (event.Type) {
    case UIEVENT_BUTTONDOWN:
      if (IsEnabled() && m_pOwner) m_pOwner->SelectItem(m_iIndex, true, true);
      return;
    default:
      CHorizontalLayoutUI::DoEvent(event);
  }
}

void CListContainerElementUI::PaintBkColor(HDC hdc) {
  const TListInfoUI* info = m_pOwner ? m_pOwner->GetListInfo() : nullptr;
  DWORD color = m_dwBkColor;
  if (info && m_bSelected)
    color = info->dwSelectedBkColor;
  else if (info && m_bHot)
    color = info->dwHotBkColor;
  CRenderEngine::DrawColor(hdc, m_rcItem, color);
}

// ---------------------------------------------------------------------------------------------
// CListUI

CListUI::CListUI() { EnableScrollBar(true); }

void* CListUI::GetInterface(const wchar_t* name) {
  if (EqualsNoCase(name, L"List")) return this;
  return CListOwnerBaseUI::GetInterface(name);
}

bool CListUI::AddAt(CControlUI* control, int index) {
  if (!CVerticalLayoutUI::AddAt(control, index)) return false;
  OnItemInserted(index);
  return true;
}

bool CListUI::RemoveAt(int index) {
  if (!CVerticalLayoutUI::RemoveAt(index)) return false;
  OnItemRemoved(index);
  return true;
}

void CListUI::RemoveAll() {
  m_iCurSel = -1;
  CVerticalLayoutUI::RemoveAll();
}

bool CListUI::SelectItem(int index, bool bTakeFocus, bool bTriggerEvent) {
  if (index == m_iCurSel) return true;
  CControlUI* target = GetItemAt(index);
  IListItemUI* item = AsListItem(target);
  if (index >= 0 && (!item || !target->IsEnabled())) return false;
  int old = m_iCurSel;
  if (IListItemUI* previous = AsListItem(GetItemAt(old))) previous->Select(false);
  m_iCurSel = index;
  if (item) item->Select(true);
  if (bTakeFocus && target) target->SetFocus();
  if (bTriggerEvent) Notify(L"itemselect", static_cast<WPARAM>(index), static_cast<LPARAM>(old));
  return true;
}

void CListUI::SetAttribute(const wchar_t* name, const wchar_t* value) {
  if (!ApplyListInfoAttribute(name, value)) CVerticalLayoutUI::SetAttribute(name, value);
}

// ---------------------------------------------------------------------------------------------
// CComboWnd: the drop-down window of a combo.

class CComboWnd {
 public:
  static CComboWnd* Open(CComboUI* owner);
  void Destroy() {
    if (m_hWnd) DestroyWindow(m_hWnd);
  }
  HWND m_hWnd = nullptr;
  CComboUI* m_pOwner = nullptr;  // cleared when the combo goes first

 private:
  static LRESULT CALLBACK WndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
  LRESULT Handle(UINT msg, WPARAM wp, LPARAM lp);
  int ItemAt(int y) const;
  void SetHot(int index);
  void Choose(int index);
  void Paint(HDC hdc);

  int m_iHot = -1;
  int m_iFirst = 0;  // first item shown (wheel scrolling)
};

CComboWnd* CComboWnd::Open(CComboUI* owner) {
  static bool registered = false;
  HINSTANCE instance = CPaintManagerUI::GetInstance();
  if (!registered) {
    WNDCLASSW wc{};
    wc.style = CS_DROPSHADOW;
    wc.lpfnWndProc = WndProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.lpszClassName = L"DuiComboDropWnd";
    registered = RegisterClassW(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
  }
  HWND host = owner->GetManager()->GetPaintWindow();
  RECT rc = owner->GetPos();
  POINT origin{rc.left, rc.bottom};
  ClientToScreen(host, &origin);
  const TListInfoUI* info = owner->GetListInfo();
  int width = owner->GetDropBoxSize().cx > 0 ? owner->GetDropBoxSize().cx : rc.right - rc.left;
  int content = std::max(1, owner->GetCount()) * info->nItemHeight;
  int height = std::min<int>(
                   content, owner->GetDropBoxSize().cy > 0 ? owner->GetDropBoxSize().cy : content) +
               2;
  auto* wnd = new CComboWnd;
  wnd->m_pOwner = owner;
  wnd->m_iHot = owner->GetCurSel();
  HWND hwnd = CreateWindowExW(WS_EX_TOOLWINDOW | WS_EX_TOPMOST, L"DuiComboDropWnd", L"",
                              WS_POPUP | WS_BORDER, origin.x, origin.y, width, height, host,
                              nullptr, instance, wnd);
  if (!hwnd) {
    delete wnd;
    return nullptr;
  }
  ShowWindow(hwnd, SW_SHOW);
  SetFocus(hwnd);
  return wnd;
}

LRESULT CALLBACK CComboWnd::WndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  CComboWnd* self = nullptr;
  if (msg == WM_NCCREATE) {
    self = static_cast<CComboWnd*>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams);
    self->m_hWnd = hwnd;
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  } else {
    self = reinterpret_cast<CComboWnd*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  }
  if (!self) return DefWindowProcW(hwnd, msg, wp, lp);
  // No exception may leave a window procedure: the owner's handlers run from here.
  try {
    if (msg == WM_NCDESTROY) {
      SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
      if (self->m_pOwner) self->m_pOwner->OnDropClosed();
      delete self;
      return DefWindowProcW(hwnd, msg, wp, lp);
    }
    return self->Handle(msg, wp, lp);
  } catch (const std::exception& e) {
    UiLog(UiLogLevel::kError, L"exception in the drop-down window (message 0x%x): %hs", msg,
          e.what());
  } catch (...) {
    UiLog(UiLogLevel::kError, L"exception in the drop-down window (message 0x%x)", msg);
  }
  return 0;
}

int CComboWnd::ItemAt(int y) const {
  if (!m_pOwner) return -1;
  int index = m_iFirst + y / m_pOwner->GetListInfo()->nItemHeight;
  return index < m_pOwner->GetCount() ? index : -1;
}

void CComboWnd::SetHot(int index) {
  if (index == m_iHot) return;
  m_iHot = index;
  InvalidateRect(m_hWnd, nullptr, FALSE);
}

void CComboWnd::Choose(int index) {
  CComboUI* owner = m_pOwner;
  CControlUI* item = owner ? owner->GetItemAt(index) : nullptr;
  if (!item || !item->IsEnabled()) return;
  // Close first ("dropup"), then select ("itemselect"), unless the "dropup" handler removed
  // the combo or its item.
  std::shared_ptr<const bool> combo_alive = owner->GetAliveToken();
  std::shared_ptr<const bool> item_alive = item->GetAliveToken();
  DestroyWindow(m_hWnd);
  if (*combo_alive && *item_alive) owner->SelectItem(owner->GetItemIndex(item), false, true);
}

void CComboWnd::Paint(HDC hdc) {
  RECT client;
  GetClientRect(m_hWnd, &client);
  CRenderEngine::DrawColor(hdc, client, 0xFFFFFFFF);
  if (!m_pOwner) return;
  const TListInfoUI* info = m_pOwner->GetListInfo();
  for (int i = m_iFirst; i < m_pOwner->GetCount(); ++i) {
    RECT rc{0, (i - m_iFirst) * info->nItemHeight, client.right,
            (i - m_iFirst + 1) * info->nItemHeight};
    if (rc.top >= client.bottom) break;
    auto* label = static_cast<CListLabelElementUI*>(
        m_pOwner->GetItemAt(i)->GetInterface(L"ListLabelElement"));
    if (!label) continue;
    label->SetHot(i == m_iHot);
    label->DrawItem(hdc, rc);
  }
}

LRESULT CComboWnd::Handle(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC hdc = BeginPaint(m_hWnd, &ps);
      RECT client;
      GetClientRect(m_hWnd, &client);
      HDC mem = CreateCompatibleDC(hdc);
      HBITMAP bmp = CreateCompatibleBitmap(hdc, std::max<LONG>(1, client.right),
                                           std::max<LONG>(1, client.bottom));
      HGDIOBJ old = SelectObject(mem, bmp);
      Paint(mem);
      BitBlt(hdc, 0, 0, client.right, client.bottom, mem, 0, 0, SRCCOPY);
      SelectObject(mem, old);
      DeleteObject(bmp);
      DeleteDC(mem);
      EndPaint(m_hWnd, &ps);
      return 0;
    }
    case WM_ERASEBKGND:
      return 1;
    case WM_MOUSEMOVE:
      SetHot(ItemAt(static_cast<short>(HIWORD(lp))));
      return 0;
    case WM_LBUTTONUP:
      Choose(ItemAt(static_cast<short>(HIWORD(lp))));
      return 0;
    case WM_MOUSEWHEEL: {
      if (!m_pOwner) return 0;
      RECT client;
      GetClientRect(m_hWnd, &client);
      int visible =
          std::max(1, static_cast<int>(client.bottom) / m_pOwner->GetListInfo()->nItemHeight);
      int last_first = std::max(0, m_pOwner->GetCount() - visible);
      m_iFirst += static_cast<short>(HIWORD(wp)) > 0 ? -1 : 1;
      m_iFirst = std::max(0, std::min(m_iFirst, last_first));
      InvalidateRect(m_hWnd, nullptr, FALSE);
      return 0;
    }
    case WM_KEYDOWN:
      if (wp == VK_ESCAPE) {
        DestroyWindow(m_hWnd);
      } else if (wp == VK_RETURN) {
        Choose(m_iHot);
      } else if (wp == VK_UP && m_iHot > 0) {
        SetHot(m_iHot - 1);
      } else if (wp == VK_DOWN && m_pOwner && m_iHot + 1 < m_pOwner->GetCount()) {
        SetHot(m_iHot + 1);
      }
      return 0;
    case WM_KILLFOCUS:
      if (reinterpret_cast<HWND>(wp) != m_hWnd) PostMessageW(m_hWnd, WM_CLOSE, 0, 0);
      return 0;
    case WM_CLOSE:
      DestroyWindow(m_hWnd);
      return 0;
    default:
      return DefWindowProcW(m_hWnd, msg, wp, lp);
  }
}

// ---------------------------------------------------------------------------------------------
// CComboUI

CComboUI::CComboUI() {
  m_rcTextPadding = RECT{6, 0, 24, 0};
  m_uTextStyle = DT_SINGLELINE | DT_VCENTER | DT_LEFT | DT_END_ELLIPSIS;
}

CComboUI::~CComboUI() {
  if (m_pWindow) {
    m_pWindow->m_pOwner = nullptr;
    m_pWindow->Destroy();
    m_pWindow = nullptr;
  }
}

void* CComboUI::GetInterface(const wchar_t* name) {
  if (EqualsNoCase(name, L"Combo")) return this;
  return CListOwnerBaseUI::GetInterface(name);
}

bool CComboUI::AddAt(CControlUI* control, int index) {
  if (!CContainerUI::AddAt(control, index)) return false;
  OnItemInserted(index);
  if (m_pWindow) InvalidateRect(m_pWindow->m_hWnd, nullptr, FALSE);
  return true;
}

bool CComboUI::RemoveAt(int index) {
  if (!CContainerUI::RemoveAt(index)) return false;
  OnItemRemoved(index);
  if (m_pWindow) InvalidateRect(m_pWindow->m_hWnd, nullptr, FALSE);
  Invalidate();
  return true;
}

void CComboUI::RemoveAll() {
  m_iCurSel = -1;
  CContainerUI::RemoveAll();
  if (m_pWindow) InvalidateRect(m_pWindow->m_hWnd, nullptr, FALSE);
  Invalidate();
}

CDuiString CComboUI::GetText() const {
  CControlUI* item = GetItemAt(m_iCurSel);
  return item ? item->GetText() : CDuiString();
}

bool CComboUI::SelectItem(int index, bool bTakeFocus, bool bTriggerEvent) {
  CControlUI* target = GetItemAt(index);
  if (!target) return false;
  if (bTakeFocus) SetFocus();
  if (index == m_iCurSel) return true;
  int old = m_iCurSel;
  if (IListItemUI* previous = AsListItem(GetItemAt(old))) previous->Select(false);
  m_iCurSel = index;
  if (IListItemUI* item = AsListItem(target)) item->Select(true);
  Invalidate();
  if (bTriggerEvent) Notify(L"itemselect", static_cast<WPARAM>(index), static_cast<LPARAM>(old));
  return true;
}

bool CComboUI::Activate() {
  if (!CControlUI::Activate() || m_pWindow || !m_pManager) return false;
  m_pWindow = CComboWnd::Open(this);
  if (!m_pWindow) return false;
  Invalidate();
  Notify(L"dropdown");
  return true;
}

HWND CComboUI::GetDropWindow() const { return m_pWindow ? m_pWindow->m_hWnd : nullptr; }

void CComboUI::CloseDropDown() {
  if (m_pWindow) m_pWindow->Destroy();
}

void CComboUI::OnDropClosed() {
  m_pWindow = nullptr;
  m_bPushed = false;
  Invalidate();
  Notify(L"dropup");
}

void CComboUI::SetPos(RECT rc, bool bNeedInvalidate) {
  // The items live in the drop-down window; only the combo itself is placed.
  CControlUI::SetPos(rc, bNeedInvalidate);
}

void CComboUI::SetEnabled(bool enabled) {
  CContainerUI::SetEnabled(enabled);
  if (!enabled) {
    m_bHot = m_bPushed = false;
    CloseDropDown();
  }
}

void CComboUI::SetAttribute(const wchar_t* name, const wchar_t* value) {
  if (ApplyListInfoAttribute(name, value)) return;
  if (wcscmp(name, L"normalimage") == 0) {
    SetNormalImage(value);
  } else if (wcscmp(name, L"hotimage") == 0) {
    SetHotImage(value);
  } else if (wcscmp(name, L"pushedimage") == 0) {
    SetPushedImage(value);
  } else if (wcscmp(name, L"disabledimage") == 0) {
    SetDisabledImage(value);
  } else if (wcscmp(name, L"dropboxsize") == 0) {
    SIZE size{};
    if (!ParseSize(value, &size) || size.cx < 0 || size.cy < 0) return LogBadAttribute(name, value);
    SetDropBoxSize(
        SIZE{CPaintManagerUI::ScaleValue(size.cx), CPaintManagerUI::ScaleValue(size.cy)});
  } else {
    CContainerUI::SetAttribute(name, value);
  }
}

CControlUI* CComboUI::FindControlAt(POINT pt) {
  if (!IsVisible() || !m_bMouseEnabled) return nullptr;
  return PtInRect(&m_rcItem, pt) ? this : nullptr;
}

void CComboUI::DoEvent(TEventUI& event) {
  if (!IsEnabled() && event.Type != UIEVENT_SCROLLWHEEL) return;
  if (TrackHot(event, &m_bHot)) return;
  switch (event.Type) {
    case UIEVENT_BUTTONDOWN:
    case UIEVENT_DBLCLICK:
      m_bPushed = true;
      Invalidate();
      Activate();
      return;
    case UIEVENT_BUTTONUP:
      if (!m_pWindow) m_bPushed = false;
      Invalidate();
      return;
    case UIEVENT_KEYDOWN:
      if (event.chKey == VK_UP || event.chKey == VK_DOWN) {
        const int step = event.chKey == VK_UP ? -1 : 1;
        int index = m_iCurSel + step;
        while (GetItemAt(index) && !GetItemAt(index)->IsEnabled()) index += step;
        if (index >= 0) SelectItem(index);
      } else if (event.chKey == VK_F4 || event.chKey == VK_SPACE) {
        Activate();
      }
      return;
    default:
      CControlUI::DoEvent(event);
  }
}

void CComboUI::DoPaint(HDC hdc, const RECT& rcPaint) {
  if (!IntersectRect(&m_rcPaint, &rcPaint, &m_rcItem)) return;
  PaintBkColor(hdc);
  PaintBkImage(hdc);
  const CDuiString* image = &m_sNormalImage;
  if (!IsEnabled() && !m_sDisabledImage.empty())
    image = &m_sDisabledImage;
  else if ((m_bPushed || m_pWindow) && !m_sPushedImage.empty())
    image = &m_sPushedImage;
  else if (m_bHot && !m_sHotImage.empty())
    image = &m_sHotImage;
  if (!image->empty()) DrawImage(hdc, *image);
  // The face shows the current item in the selected-item text colour.
  RECT rc{m_rcItem.left + m_rcTextPadding.left, m_rcItem.top + m_rcTextPadding.top,
          m_rcItem.right - m_rcTextPadding.right, m_rcItem.bottom - m_rcTextPadding.bottom};
  DWORD color = IsEnabled() ? m_ListInfo.dwSelectedTextColor : m_ListInfo.dwDisabledTextColor;
  CRenderEngine::DrawText(hdc, m_pManager, rc, GetText(), color,
                          m_iFont >= 0 ? m_iFont : m_ListInfo.nFont, m_uTextStyle);
  PaintBorder(hdc);
}

}  // namespace DuiLib
