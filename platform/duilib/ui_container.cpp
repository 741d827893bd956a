#include "platform/duilib/ui_container.h"

#include <algorithm>
#include <climits>
#include <cwchar>

#include "platform/duilib/ui_manager.h"
#include "platform/duilib/ui_render.h"

namespace DuiLib {

namespace {

constexpr int kDefaultScrollBarWidth = 8;

int ClampToInt(long long value) {
  return static_cast<int>(std::max<long long>(INT_MIN, std::min<long long>(INT_MAX, value)));
}

// Reads rectangles and sizes along the main axis of a box layout (y for a column, x for a row)
// and across it, and builds a child's rectangle from both.
struct BoxAxis {
  bool vertical;

  LONG Main(SIZE sz) const { return vertical ? sz.cy : sz.cx; }
  LONG Cross(SIZE sz) const { return vertical ? sz.cx : sz.cy; }
  LONG MainStart(const RECT& rc) const { return vertical ? rc.top : rc.left; }
  LONG MainEnd(const RECT& rc) const { return vertical ? rc.bottom : rc.right; }
  LONG CrossStart(const RECT& rc) const { return vertical ? rc.left : rc.top; }
  LONG CrossEnd(const RECT& rc) const { return vertical ? rc.right : rc.bottom; }
  RECT Place(int at, int length, int cross, int breadth) const {
    return vertical ? RECT{cross, at, cross + breadth, at + length}
                    : RECT{at, cross, at + length, cross + breadth};
  }
};

}  // namespace

// ---------------------------------------------------------------------------------------------
// CScrollBarUI

void* CScrollBarUI::GetInterface(const wchar_t* name) {
  if (EqualsNoCase(name, L"ScrollBar")) return this;
  return CControlUI::GetInterface(name);
}

void CScrollBarUI::SetScrollRange(int range) {
  m_nRange = std::max(0, range);
  m_nScrollPos = std::min(m_nScrollPos, m_nRange);
  UpdateThumb();
}

void CScrollBarUI::SetScrollPos(int pos) {
  pos = std::max(0, std::min(pos, m_nRange));
  if (pos == m_nScrollPos) return;
  m_nScrollPos = pos;
  UpdateThumb();
  if (m_pOwner) m_pOwner->NeedUpdate();
}

void CScrollBarUI::SetPos(RECT rc, bool bNeedInvalidate) {
  CControlUI::SetPos(rc, bNeedInvalidate);
  UpdateThumb();
}

void CScrollBarUI::UpdateThumb() {
  const int track = m_rcItem.bottom - m_rcItem.top;
  if (track <= 0) {
    m_rcThumb = RECT{};
    return;
  }
  int thumb = m_nRange > 0 ? track * track / (track + m_nRange) : track;
  thumb = std::max(std::min(16, track), thumb);
  int top = m_nRange > 0 ? (track - thumb) * m_nScrollPos / m_nRange : 0;
  m_rcThumb = RECT{m_rcItem.left, m_rcItem.top + top, m_rcItem.right, m_rcItem.top + top + thumb};
}

void CScrollBarUI::SetAttribute(const wchar_t* name, const wchar_t* value) {
  if (wcscmp(name, L"thumbnormalimage") == 0) {
    SetThumbNormalImage(value);
  } else if (wcscmp(name, L"thumbhotimage") == 0) {
    SetThumbHotImage(value);
  } else if (wcscmp(name, L"thumbpushedimage") == 0) {
    SetThumbPushedImage(value);
  } else if (wcscmp(name, L"railnormalimage") == 0) {
    SetRailNormalImage(value);
  } else if (wcscmp(name, L"linesize") == 0) {
    int size = 0;
    if (!ParseInt(value, &size) || size <= 0) return LogBadAttribute(name, value);
    m_nLineSize = Scale(size);
  } else {
    CControlUI::SetAttribute(name, value);
  }
}

void CScrollBarUI::DoEvent(TEventUI& event) {
  if (TrackHot(event, &m_bHot)) return;
  switch (event.Type) {
    case UIEVENT_BUTTONDOWN:
    case UIEVENT_DBLCLICK:
      if (PtInRect(&m_rcThumb, event.ptMouse)) {
        m_bDragging = true;
        m_ptDragStart = event.ptMouse;
        m_nDragStartPos = m_nScrollPos;
      } else if (event.ptMouse.y < m_rcThumb.top) {
        SetScrollPos(m_nScrollPos - GetHeight());
      } else {
        SetScrollPos(m_nScrollPos + GetHeight());
      }
      Invalidate();
      return;
    case UIEVENT_MOUSEMOVE:
      if (m_bDragging) {
        const int free = GetHeight() - (m_rcThumb.bottom - m_rcThumb.top);
        if (free > 0) {
          SetScrollPos(m_nDragStartPos + (event.ptMouse.y - m_ptDragStart.y) * m_nRange / free);
        }
      }
      return;
    case UIEVENT_BUTTONUP:
      m_bDragging = false;
      Invalidate();
      return;
    case UIEVENT_SCROLLWHEEL:
      if (m_pOwner) m_pOwner->DoEvent(event);
      return;
    default:
      CControlUI::DoEvent(event);
  }
}

void CScrollBarUI::PaintStatusImage(HDC hdc) {
  if (m_nRange <= 0) return;
  const CDuiString* thumb = &m_sThumbNormalImage;
  if (m_bDragging && !m_sThumbPushedImage.empty())
    thumb = &m_sThumbPushedImage;
  else if (m_bHot && !m_sThumbHotImage.empty())
    thumb = &m_sThumbHotImage;
  if (thumb->empty() && m_sRailNormalImage.empty()) {
    CRenderEngine::DrawColor(hdc, m_rcThumb, m_bDragging ? 0xFF7F8898 : 0xFFB0B6C2);
    return;
  }
  // The rail image runs along the whole bar, the thumb image over the thumb.
  CRenderEngine::DrawImageString(hdc, m_rcItem, m_rcPaint, m_sRailNormalImage.c_str());
  CRenderEngine::DrawImageString(hdc, m_rcThumb, m_rcPaint, thumb->c_str());
}

// ---------------------------------------------------------------------------------------------
// CContainerUI

CContainerUI::CContainerUI() = default;

CContainerUI::~CContainerUI() {
  std::vector<CControlUI*> items;
  items.swap(m_items);
  if (m_bAutoDestroy) {
    for (CControlUI* item : items) delete item;
  }
}

void* CContainerUI::GetInterface(const wchar_t* name) {
  if (EqualsNoCase(name, L"Container")) return this;
  return CControlUI::GetInterface(name);
}

CControlUI* CContainerUI::GetItemAt(int index) const {
  if (index < 0 || index >= GetCount()) return nullptr;
  return m_items[index];
}

int CContainerUI::GetItemIndex(CControlUI* control) const {
  auto it = std::find(m_items.begin(), m_items.end(), control);
  return it == m_items.end() ? -1 : static_cast<int>(it - m_items.begin());
}

bool CContainerUI::SetItemIndex(CControlUI* control, int index) {
  int current = GetItemIndex(control);
  if (current < 0 || index < 0 || index >= GetCount()) return false;
  m_items.erase(m_items.begin() + current);
  m_items.insert(m_items.begin() + index, control);
  NeedUpdate();
  return true;
}

bool CContainerUI::Add(CControlUI* control) { return AddAt(control, GetCount()); }

bool CContainerUI::AddAt(CControlUI* control, int index) {
  if (!control || index < 0 || index > GetCount() || GetItemIndex(control) >= 0) return false;
  m_items.insert(m_items.begin() + index, control);
  if (m_pManager) m_pManager->InitControls(control, this);
  control->SetInternVisible(IsVisible());
  NeedUpdate();
  return true;
}

bool CContainerUI::Remove(CControlUI* control) {
  int index = GetItemIndex(control);
  if (index < 0) return false;
  return RemoveAt(index);
}

bool CContainerUI::RemoveAt(int index) {
  CControlUI* control = GetItemAt(index);
  if (!control) return false;
  m_items.erase(m_items.begin() + index);
  if (m_bAutoDestroy) {
    delete control;
  } else if (m_pManager) {
    m_pManager->ReapObjects(control);
  }
  NeedUpdate();
  return true;
}

void CContainerUI::RemoveAll() {
  std::vector<CControlUI*> items;
  items.swap(m_items);
  for (CControlUI* item : items) {
    if (m_bAutoDestroy) {
      delete item;
    } else if (m_pManager) {
      m_pManager->ReapObjects(item);
    }
  }
  if (m_pVerticalScrollBar) m_pVerticalScrollBar->SetScrollPos(0);
  NeedUpdate();
}

void CContainerUI::SetInset(RECT rc) {
  m_rcInset = rc;
  NeedUpdate();
}

void CContainerUI::SetChildPadding(int padding) {
  m_iChildPadding = padding;
  NeedUpdate();
}

void CContainerUI::EnableScrollBar(bool enable) {
  if (enable && !m_pVerticalScrollBar) {
    m_pVerticalScrollBar.reset(new CScrollBarUI);
    m_pVerticalScrollBar->SetOwner(this);
    m_pVerticalScrollBar->SetFixedWidth(Scale(kDefaultScrollBarWidth));
    m_pVerticalScrollBar->SetVisible(false);
    if (m_pManager) m_pVerticalScrollBar->SetManager(m_pManager, this);
    if (!m_sScrollBarStyle.empty())
      m_pVerticalScrollBar->ApplyAttributeList(m_sScrollBarStyle.c_str());
  } else if (!enable && m_pVerticalScrollBar) {
    m_pVerticalScrollBar.reset();
  }
  NeedUpdate();
}

void CContainerUI::SetScrollPos(int pos) {
  if (m_pVerticalScrollBar) m_pVerticalScrollBar->SetScrollPos(pos);
}

int CContainerUI::GetScrollPos() const {
  return m_pVerticalScrollBar ? m_pVerticalScrollBar->GetScrollPos() : 0;
}

void CContainerUI::LineUp() {
  if (m_pVerticalScrollBar) SetScrollPos(GetScrollPos() - m_pVerticalScrollBar->GetLineSize() * 3);
}

void CContainerUI::LineDown() {
  if (m_pVerticalScrollBar) SetScrollPos(GetScrollPos() + m_pVerticalScrollBar->GetLineSize() * 3);
}

void CContainerUI::SetManager(CPaintManagerUI* manager, CControlUI* parent, bool init) {
  CControlUI::SetManager(manager, parent, init);
  for (CControlUI* item : m_items) item->SetManager(manager, this, init);
  if (m_pVerticalScrollBar) m_pVerticalScrollBar->SetManager(manager, this, init);
}

void CContainerUI::SetVisible(bool visible) {
  CControlUI::SetVisible(visible);
  for (CControlUI* item : m_items) item->SetInternVisible(IsVisible());
}

void CContainerUI::SetInternVisible(bool visible) {
  CControlUI::SetInternVisible(visible);
  for (CControlUI* item : m_items) item->SetInternVisible(IsVisible());
}

RECT CContainerUI::ContentRect() const {
  RECT rc{m_rcItem.left + m_rcInset.left, m_rcItem.top + m_rcInset.top,
          m_rcItem.right - m_rcInset.right, m_rcItem.bottom - m_rcInset.bottom};
  if (m_pVerticalScrollBar && m_pVerticalScrollBar->IsVisible()) {
    rc.right -= m_pVerticalScrollBar->GetFixedWidth();
  }
  if (rc.right < rc.left) rc.right = rc.left;
  if (rc.bottom < rc.top) rc.bottom = rc.top;
  return rc;
}

bool CContainerUI::ProcessScrollBar(RECT rc, int cyRequired) {
  if (!m_pVerticalScrollBar) return false;
  const int height = (rc.bottom - m_rcInset.bottom) - (rc.top + m_rcInset.top);
  if (cyRequired > height && height > 0) {
    m_pVerticalScrollBar->SetVisible(true);
    m_pVerticalScrollBar->SetScrollRange(cyRequired - height);
    const int width = m_pVerticalScrollBar->GetFixedWidth();
    m_pVerticalScrollBar->SetPos(RECT{rc.right - m_rcInset.right - width, rc.top + m_rcInset.top,
                                      rc.right - m_rcInset.right, rc.bottom - m_rcInset.bottom},
                                 false);
    return true;
  }
  m_pVerticalScrollBar->SetScrollRange(0);
  m_pVerticalScrollBar->SetVisible(false);
  return false;
}

void CContainerUI::SetFloatPos(int index) {
  CControlUI* item = GetItemAt(index);
  if (!item || !item->IsVisible()) return;
  RECT pos = item->GetFloatPos();
  RECT rc{m_rcItem.left + pos.left, m_rcItem.top + pos.top, m_rcItem.left + pos.right,
          m_rcItem.top + pos.bottom};
  item->SetPos(rc, false);
}

void CContainerUI::SetPos(RECT rc, bool bNeedInvalidate) {
  CControlUI::SetPos(rc, bNeedInvalidate);
  RECT content = ContentRect();
  for (int i = 0; i < GetCount(); ++i) {
    CControlUI* item = m_items[i];
    if (!item->IsVisible()) continue;
    if (item->IsFloat()) {
      SetFloatPos(i);
      continue;
    }
    RECT pad = item->GetPadding();
    item->SetPos(RECT{content.left + pad.left, content.top + pad.top, content.right - pad.right,
                      content.bottom - pad.bottom},
                 false);
  }
}

void CContainerUI::SetAttribute(const wchar_t* name, const wchar_t* value) {
  RECT rc{};
  int number = 0;
  bool flag = false;
  if (wcscmp(name, L"inset") == 0) {
    if (!ParseRect(value, &rc)) return LogBadAttribute(name, value);
    SetInset(ScaleRect(rc));
  } else if (wcscmp(name, L"childpadding") == 0) {
    if (!ParseInt(value, &number)) return LogBadAttribute(name, value);
    SetChildPadding(Scale(number));
  } else if (wcscmp(name, L"vscrollbar") == 0) {
    if (!ParseBool(value, &flag)) return LogBadAttribute(name, value);
    EnableScrollBar(flag);
  } else if (wcscmp(name, L"vscrollbarstyle") == 0) {
    m_sScrollBarStyle = value;
    if (m_pVerticalScrollBar) m_pVerticalScrollBar->ApplyAttributeList(value);
  } else {
    CControlUI::SetAttribute(name, value);
  }
}

CControlUI* CContainerUI::FindControlAt(POINT pt) {
  if (!IsVisible() || !PtInRect(&m_rcItem, pt)) return nullptr;
  if (m_pVerticalScrollBar && m_pVerticalScrollBar->IsVisible()) {
    if (CControlUI* hit = m_pVerticalScrollBar->FindControlAt(pt)) return hit;
  }
  RECT content = ContentRect();
  for (int i = GetCount() - 1; i >= 0; --i) {
    CControlUI* item = m_items[i];
    if (!item->IsFloat() && !PtInRect(&content, pt)) continue;
    if (CControlUI* hit = item->FindControlAt(pt)) return hit;
  }
  return m_bMouseEnabled ? this : nullptr;
}

CControlUI* CContainerUI::FindControlByName(const wchar_t* name) {
  if (CControlUI* self = CControlUI::FindControlByName(name)) return self;
  for (CControlUI* item : m_items) {
    if (CControlUI* found = item->FindControlByName(name)) return found;
  }
  return nullptr;
}

void CContainerUI::DoEvent(TEventUI& event) {
  if (event.Type == UIEVENT_SCROLLWHEEL && m_pVerticalScrollBar &&
      m_pVerticalScrollBar->IsVisible()) {
    if (static_cast<short>(HIWORD(event.wParam)) > 0)
      LineUp();
    else
      LineDown();
    return;
  }
  CControlUI::DoEvent(event);
}

void CContainerUI::DoPaint(HDC hdc, const RECT& rcPaint) {
  RECT paint;
  if (!IntersectRect(&paint, &rcPaint, &m_rcItem)) return;
  CControlUI::DoPaint(hdc, rcPaint);
  int saved = SaveDC(hdc);
  IntersectClipRect(hdc, paint.left, paint.top, paint.right, paint.bottom);
  RECT content = ContentRect();
  RECT content_paint{};
  IntersectRect(&content_paint, &paint, &content);
  for (CControlUI* item : m_items) {
    if (!item->IsVisible()) continue;
    const RECT& limit = item->IsFloat() ? paint : content_paint;
    RECT tmp;
    if (!IntersectRect(&tmp, &limit, &item->GetPos())) continue;
    int inner = SaveDC(hdc);
    IntersectClipRect(hdc, limit.left, limit.top, limit.right, limit.bottom);
    item->DoPaint(hdc, limit);
    RestoreDC(hdc, inner);
  }
  RestoreDC(hdc, saved);
  if (m_pVerticalScrollBar && m_pVerticalScrollBar->IsVisible()) {
    m_pVerticalScrollBar->DoPaint(hdc, paint);
  }
}

void CContainerUI::SetBoxPos(RECT rc, bool bNeedInvalidate, bool vertical) {
  CControlUI::SetPos(rc, bNeedInvalidate);
  const BoxAxis axis{vertical};
  RECT content = ContentRect();
  SIZE available{content.right - content.left, content.bottom - content.top};
  int fixed_total = 0;
  int adjustable = 0;
  int count = 0;
  for (CControlUI* item : m_items) {
    if (!item->IsVisible() || item->IsFloat()) continue;
    SIZE sz = item->EstimateSize(available);
    RECT pad = item->GetPadding();
    if (axis.Main(sz) == 0) ++adjustable;
    fixed_total += axis.Main(sz) + axis.MainStart(pad) + axis.MainEnd(pad);
    ++count;
  }
  if (count > 1) fixed_total += (count - 1) * m_iChildPadding;
  // Only a vertical box scrolls.
  if (vertical && ProcessScrollBar(rc, fixed_total)) content = ContentRect();
  const int cross_extent = axis.CrossEnd(content) - axis.CrossStart(content);
  const int remain =
      std::max(0, static_cast<int>(axis.MainEnd(content) - axis.MainStart(content)) - fixed_total);
  const int share = adjustable > 0 ? remain / adjustable : 0;
  int at = axis.MainStart(content) - (vertical ? GetScrollPos() : 0);
  int adjusted = 0;
  for (int i = 0; i < GetCount(); ++i) {
    CControlUI* item = m_items[i];
    if (!item->IsVisible()) continue;
    if (item->IsFloat()) {
      SetFloatPos(i);
      continue;
    }
    SIZE sz = item->EstimateSize(available);
    RECT pad = item->GetPadding();
    int length = axis.Main(sz);
    if (length == 0) {
      ++adjusted;
      length = adjusted == adjustable ? remain - share * (adjustable - 1) : share;
    }
    const int cross_room = cross_extent - axis.CrossStart(pad) - axis.CrossEnd(pad);
    int breadth = cross_room;
    if (axis.Cross(sz) > 0) breadth = std::min<int>(axis.Cross(sz), breadth);
    int cross = axis.CrossStart(content) + axis.CrossStart(pad);
    // In a row, a child shorter than the row is centred vertically in it.
    if (!vertical) cross += (cross_room - breadth) / 2;
    at += axis.MainStart(pad);
    item->SetPos(axis.Place(at, length, cross, breadth), false);
    at += length + axis.MainEnd(pad) + m_iChildPadding;
  }
}

// ---------------------------------------------------------------------------------------------
// CVerticalLayoutUI / CHorizontalLayoutUI

void* CVerticalLayoutUI::GetInterface(const wchar_t* name) {
  if (EqualsNoCase(name, L"VerticalLayout")) return this;
  return CContainerUI::GetInterface(name);
}

void CVerticalLayoutUI::SetPos(RECT rc, bool bNeedInvalidate) {
  SetBoxPos(rc, bNeedInvalidate, true);
}

void* CHorizontalLayoutUI::GetInterface(const wchar_t* name) {
  if (EqualsNoCase(name, L"HorizontalLayout")) return this;
  return CContainerUI::GetInterface(name);
}

void CHorizontalLayoutUI::SetPos(RECT rc, bool bNeedInvalidate) {
  SetBoxPos(rc, bNeedInvalidate, false);
}

// ---------------------------------------------------------------------------------------------
// CTabLayoutUI

void* CTabLayoutUI::GetInterface(const wchar_t* name) {
  if (EqualsNoCase(name, L"TabLayout")) return this;
  return CContainerUI::GetInterface(name);
}

bool CTabLayoutUI::Add(CControlUI* control) { return AddAt(control, GetCount()); }

bool CTabLayoutUI::AddAt(CControlUI* control, int index) {
  if (!CContainerUI::AddAt(control, index)) return false;
  if (m_iCurSel < 0)
    m_iCurSel = 0;
  else if (index <= m_iCurSel && GetCount() > 1 && m_iCurSel + 1 < GetCount())
    ++m_iCurSel;
  for (int i = 0; i < GetCount(); ++i) m_items[i]->SetVisible(i == m_iCurSel);
  return true;
}

bool CTabLayoutUI::Remove(CControlUI* control) {
  int index = GetItemIndex(control);
  if (!CContainerUI::Remove(control)) return false;
  if (GetCount() == 0) {
    m_iCurSel = -1;
  } else {
    if (index < m_iCurSel || m_iCurSel >= GetCount()) --m_iCurSel;
    if (m_iCurSel < 0) m_iCurSel = 0;
    for (int i = 0; i < GetCount(); ++i) m_items[i]->SetVisible(i == m_iCurSel);
  }
  return true;
}

void CTabLayoutUI::RemoveAll() {
  m_iCurSel = -1;
  CContainerUI::RemoveAll();
}

bool CTabLayoutUI::SelectItem(int index, bool bTriggerEvent) {
  if (index < 0 || index >= GetCount()) return false;
  if (index == m_iCurSel) return true;
  int old = m_iCurSel;
  m_iCurSel = index;
  for (int i = 0; i < GetCount(); ++i) m_items[i]->SetVisible(i == index);
  NeedUpdate();
  if (bTriggerEvent) Notify(L"tabselect", index, old);
  return true;
}

bool CTabLayoutUI::SelectItem(CControlUI* control, bool bTriggerEvent) {
  return SelectItem(GetItemIndex(control), bTriggerEvent);
}

void CTabLayoutUI::SetPos(RECT rc, bool bNeedInvalidate) {
  CContainerUI::SetPos(rc, bNeedInvalidate);
}

void CTabLayoutUI::SetAttribute(const wchar_t* name, const wchar_t* value) {
  if (wcscmp(name, L"selectedid") == 0) {
    int index = 0;
    if (!ParseInt(value, &index) || index < 0) return LogBadAttribute(name, value);
    m_iCurSel = index;
    for (int i = 0; i < GetCount(); ++i) m_items[i]->SetVisible(i == index);
  } else {
    CContainerUI::SetAttribute(name, value);
  }
}

// ---------------------------------------------------------------------------------------------
// CTileLayoutUI

void* CTileLayoutUI::GetInterface(const wchar_t* name) {
  if (EqualsNoCase(name, L"TileLayout")) return this;
  return CContainerUI::GetInterface(name);
}

void CTileLayoutUI::SetColumns(int columns) {
  if (columns < 0) return;
  m_nColumnsSet = columns;
  NeedUpdate();
}

void CTileLayoutUI::SetItemSize(SIZE size) {
  m_szItem = size;
  NeedUpdate();
}

void CTileLayoutUI::SetPos(RECT rc, bool bNeedInvalidate) {
  CControlUI::SetPos(rc, bNeedInvalidate);
  RECT content = ContentRect();
  // Sums are taken in 64 bits and positions kept within int: no layout value divides by zero
  // or wraps. A negative padding set in code counts as none.
  const long long padding = std::max(0, m_iChildPadding);
  auto layout = [&](const RECT& area, bool place) -> int {
    const long long width = area.right - area.left;
    long long columns = m_nColumnsSet;
    if (columns <= 0) {
      columns = m_szItem.cx > 0 ? std::max(1LL, (width + padding) / (m_szItem.cx + padding)) : 1;
    }
    m_nColumns = ClampToInt(columns);
    const long long item_w =
        m_szItem.cx > 0 ? m_szItem.cx : std::max(0LL, (width - (columns - 1) * padding) / columns);
    long long x_index = 0;
    long long y = area.top - (place ? GetScrollPos() : 0);
    long long row_h = 0;
    long long total = 0;
    int placed = 0;
    for (int i = 0; i < GetCount(); ++i) {
      CControlUI* item = m_items[i];
      if (!item->IsVisible()) continue;
      if (item->IsFloat()) {
        if (place) SetFloatPos(i);
        continue;
      }
      SIZE sz = item->EstimateSize(SIZE{ClampToInt(item_w), area.bottom - area.top});
      const long long h = m_szItem.cy > 0 ? m_szItem.cy : (sz.cy > 0 ? sz.cy : item_w);
      row_h = std::max(row_h, h);
      if (place) {
        RECT pad = item->GetPadding();
        const long long x = area.left + x_index * (item_w + padding);
        item->SetPos(RECT{ClampToInt(x + pad.left), ClampToInt(y + pad.top),
                          ClampToInt(x + item_w - pad.right), ClampToInt(y + h - pad.bottom)},
                     false);
      }
      ++placed;
      if (++x_index == columns) {
        x_index = 0;
        y += row_h + padding;
        total += row_h + padding;
        row_h = 0;
      }
    }
    if (x_index > 0)
      total += row_h;
    else if (placed > 0)
      total -= padding;
    return ClampToInt(total);
  };
  int required = layout(content, false);
  if (ProcessScrollBar(rc, required)) content = ContentRect();
  layout(content, true);
}

void CTileLayoutUI::SetAttribute(const wchar_t* name, const wchar_t* value) {
  if (wcscmp(name, L"columns") == 0) {
    int columns = 0;
    if (!ParseInt(value, &columns) || columns < 0) return LogBadAttribute(name, value);
    SetColumns(columns);
  } else if (wcscmp(name, L"itemsize") == 0) {
    SIZE size{};
    if (!ParseSize(value, &size) || size.cx < 0 || size.cy < 0) return LogBadAttribute(name, value);
    SetItemSize(SIZE{Scale(size.cx), Scale(size.cy)});
  } else if (wcscmp(name, L"childpadding") == 0) {
    // Tiles cannot overlap: a negative padding is refused.
    int padding = 0;
    if (!ParseInt(value, &padding) || padding < 0) return LogBadAttribute(name, value);
    SetChildPadding(Scale(padding));
  } else {
    CContainerUI::SetAttribute(name, value);
  }
}

}  // namespace DuiLib
