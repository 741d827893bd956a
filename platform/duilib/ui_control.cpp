#include "platform/duilib/ui_control.h"

#include <cwchar>

#include "platform/duilib/ui_language.h"
#include "platform/duilib/ui_manager.h"
#include "platform/duilib/ui_render.h"

namespace DuiLib {

CControlUI::CControlUI() = default;

CControlUI::~CControlUI() {
  *m_pAlive = false;
  if (m_pManager) m_pManager->ReapObjects(this);
}

void* CControlUI::GetInterface(const wchar_t* name) {
  if (EqualsNoCase(name, L"Control")) return this;
  return nullptr;
}

void CControlUI::SetManager(CPaintManagerUI* manager, CControlUI* parent, bool /*init*/) {
  m_pManager = manager;
  m_pParent = parent;
}

CDuiString CControlUI::GetText() const {
  if (!m_sTextId.empty()) return CMutiLanSupport::Instance()->GetTextForId(m_sTextId.c_str());
  return m_sText;
}

void CControlUI::SetText(const wchar_t* text) {
  CDuiString value = text ? text : L"";
  if (m_sText == value) return;
  m_sText = value;
  Invalidate();
}

void CControlUI::SetTextId(const wchar_t* id) {
  m_sTextId = id ? id : L"";
  Invalidate();
}

void CControlUI::SetTextColor(DWORD argb) {
  m_dwTextColor = argb;
  Invalidate();
}

void CControlUI::SetDisabledTextColor(DWORD argb) {
  m_dwDisabledTextColor = argb;
  Invalidate();
}

void CControlUI::SetFont(int index) {
  m_iFont = index;
  Invalidate();
}

void CControlUI::SetTextStyle(UINT style) {
  m_uTextStyle = style;
  Invalidate();
}

void CControlUI::SetTextPadding(RECT rc) {
  m_rcTextPadding = rc;
  Invalidate();
}

void CControlUI::SetBkColor(DWORD argb) {
  m_dwBkColor = argb;
  Invalidate();
}

void CControlUI::SetBkImage(const wchar_t* image) {
  m_sBkImage = image ? image : L"";
  Invalidate();
}

void CControlUI::SetBorderColor(DWORD argb) {
  m_dwBorderColor = argb;
  Invalidate();
}

void CControlUI::SetBorderSize(int size) {
  m_nBorderSize = size;
  Invalidate();
}

void CControlUI::SetPos(RECT rc, bool bNeedInvalidate) {
  if (rc.right < rc.left) rc.right = rc.left;
  if (rc.bottom < rc.top) rc.bottom = rc.top;
  RECT old = m_rcItem;
  m_rcItem = rc;
  m_bUpdateNeeded = false;
  if (bNeedInvalidate && m_pManager && !EqualRect(&old, &rc)) {
    m_pManager->Invalidate(old);
    m_pManager->Invalidate(rc);
  }
}

void CControlUI::SetPadding(RECT rc) {
  m_rcPadding = rc;
  NeedParentUpdate();
}

void CControlUI::SetFixedWidth(int cx) {
  if (cx < 0) return;
  m_cxyFixed.cx = cx;
  NeedParentUpdate();
}

void CControlUI::SetFixedHeight(int cy) {
  if (cy < 0) return;
  m_cxyFixed.cy = cy;
  NeedParentUpdate();
}

void CControlUI::SetFloat(bool value) {
  m_bFloat = value;
  NeedParentUpdate();
}

void CControlUI::SetFloatPos(RECT rc) {
  m_rcFloatPos = rc;
  m_bFloat = true;
  m_cxyFixed = SIZE{rc.right - rc.left, rc.bottom - rc.top};
  NeedParentUpdate();
}

SIZE CControlUI::EstimateSize(SIZE /*available*/) { return m_cxyFixed; }

void CControlUI::SetVisible(bool visible) {
  if (m_bVisible == visible) return;
  bool was = IsVisible();
  m_bVisible = visible;
  if (!IsVisible() && m_pManager && m_pManager->GetFocus() == this) m_pManager->SetFocus(nullptr);
  if (was != IsVisible()) NeedParentUpdate();
}

void CControlUI::SetInternVisible(bool visible) {
  m_bInternVisible = visible;
  if (!visible && m_pManager && m_pManager->GetFocus() == this) m_pManager->SetFocus(nullptr);
}

void CControlUI::SetEnabled(bool enabled) {
  if (m_bEnabled == enabled) return;
  m_bEnabled = enabled;
  Invalidate();
}

void CControlUI::SetFocus() {
  if (m_pManager) m_pManager->SetFocus(this);
}

bool CControlUI::Activate() { return IsVisible() && IsEnabled(); }

void CControlUI::Invalidate() {
  if (m_pManager && IsVisible()) m_pManager->Invalidate(m_rcItem);
}

void CControlUI::NeedUpdate() {
  m_bUpdateNeeded = true;
  if (m_pManager) {
    m_pManager->NeedUpdate();
    m_pManager->Invalidate();
  }
}

void CControlUI::NeedParentUpdate() {
  if (m_pParent) {
    m_pParent->NeedUpdate();
  } else {
    NeedUpdate();
  }
}

int CControlUI::Scale(int value) { return CPaintManagerUI::ScaleValue(value); }

RECT CControlUI::ScaleRect(RECT rc) {
  return RECT{Scale(rc.left), Scale(rc.top), Scale(rc.right), Scale(rc.bottom)};
}

void CControlUI::LogBadAttribute(const wchar_t* name, const wchar_t* value) const {
  UiLog(UiLogLevel::kWarning, L"control '%ls' (%ls): bad attribute %ls=\"%ls\" ignored",
        m_sName.c_str(), GetClass(), name, value);
}

void CControlUI::SetAttribute(const wchar_t* name, const wchar_t* value) {
  RECT rc{};
  DWORD color = 0;
  bool flag = false;
  int number = 0;
  if (wcscmp(name, L"name") == 0) {
    SetName(value);
  } else if (wcscmp(name, L"text") == 0) {
    SetText(value);
  } else if (wcscmp(name, L"textid") == 0) {
    SetTextId(value);
  } else if (wcscmp(name, L"tooltip") == 0) {
    SetToolTip(value);
  } else if (wcscmp(name, L"userdata") == 0) {
    SetUserData(value);
  } else if (wcscmp(name, L"tag") == 0) {
    wchar_t* end = nullptr;
    unsigned long long tag = wcstoull(value, &end, 10);
    if (end == value || *end) return LogBadAttribute(name, value);
    SetTag(tag);
  } else if (wcscmp(name, L"bkcolor") == 0) {
    if (!ParseColor(value, &color)) return LogBadAttribute(name, value);
    SetBkColor(color);
  } else if (wcscmp(name, L"bkimage") == 0) {
    TImageDesc desc;
    if (!ParseImageDesc(value, &desc)) return LogBadAttribute(name, value);
    SetBkImage(value);
  } else if (wcscmp(name, L"bordercolor") == 0) {
    if (!ParseColor(value, &color)) return LogBadAttribute(name, value);
    SetBorderColor(color);
  } else if (wcscmp(name, L"bordersize") == 0) {
    if (!ParseInt(value, &number) || number < 0) return LogBadAttribute(name, value);
    SetBorderSize(Scale(number));
  } else if (wcscmp(name, L"asyncnotify") == 0) {
    if (!ParseBool(value, &flag)) return LogBadAttribute(name, value);
    SetAsyncNotify(flag);
  } else if (wcscmp(name, L"textcolor") == 0) {
    if (!ParseColor(value, &color)) return LogBadAttribute(name, value);
    SetTextColor(color);
  } else if (wcscmp(name, L"disabledtextcolor") == 0) {
    if (!ParseColor(value, &color)) return LogBadAttribute(name, value);
    SetDisabledTextColor(color);
  } else if (wcscmp(name, L"font") == 0) {
    if (!ParseInt(value, &number)) return LogBadAttribute(name, value);
    SetFont(number);
  } else if (wcscmp(name, L"align") == 0) {
    UINT style = m_uTextStyle;
    if (!ParseHorizontalAlign(value, &style)) return LogBadAttribute(name, value);
    SetTextStyle(style);
  } else if (wcscmp(name, L"valign") == 0) {
    UINT style = m_uTextStyle;
    if (!ParseVerticalAlign(value, &style)) return LogBadAttribute(name, value);
    SetTextStyle(style);
  } else if (wcscmp(name, L"endellipsis") == 0) {
    if (!ParseBool(value, &flag)) return LogBadAttribute(name, value);
    SetTextStyle(flag ? (m_uTextStyle | DT_END_ELLIPSIS) : (m_uTextStyle & ~DT_END_ELLIPSIS));
  } else if (wcscmp(name, L"multiline") == 0 || wcscmp(name, L"wordbreak") == 0) {
    if (!ParseBool(value, &flag)) return LogBadAttribute(name, value);
    UINT style = m_uTextStyle & ~(DT_SINGLELINE | DT_WORDBREAK | DT_VCENTER);
    SetTextStyle(flag ? (style | DT_WORDBREAK) : (style | DT_SINGLELINE | DT_VCENTER));
  } else if (wcscmp(name, L"textpadding") == 0) {
    if (!ParseRect(value, &rc)) return LogBadAttribute(name, value);
    SetTextPadding(ScaleRect(rc));
  } else if (wcscmp(name, L"pos") == 0) {
    if (!ParseRect(value, &rc)) return LogBadAttribute(name, value);
    bool was_float = m_bFloat;
    SetFloatPos(ScaleRect(rc));
    m_bFloat = was_float;  // "float" decides whether the position is used
  } else if (wcscmp(name, L"float") == 0) {
    if (!ParseBool(value, &flag)) return LogBadAttribute(name, value);
    SetFloat(flag);
  } else if (wcscmp(name, L"padding") == 0) {
    if (!ParseRect(value, &rc)) return LogBadAttribute(name, value);
    SetPadding(ScaleRect(rc));
  } else if (wcscmp(name, L"width") == 0) {
    if (!ParseInt(value, &number) || number < 0) return LogBadAttribute(name, value);
    SetFixedWidth(Scale(number));
  } else if (wcscmp(name, L"height") == 0) {
    if (!ParseInt(value, &number) || number < 0) return LogBadAttribute(name, value);
    SetFixedHeight(Scale(number));
  } else if (wcscmp(name, L"visible") == 0) {
    if (!ParseBool(value, &flag)) return LogBadAttribute(name, value);
    SetVisible(flag);
  } else if (wcscmp(name, L"enabled") == 0) {
    if (!ParseBool(value, &flag)) return LogBadAttribute(name, value);
    SetEnabled(flag);
  } else if (wcscmp(name, L"mouse") == 0) {
    if (!ParseBool(value, &flag)) return LogBadAttribute(name, value);
    SetMouseEnabled(flag);
  } else {
    UiLog(UiLogLevel::kInfo, L"control '%ls' (%ls): unknown attribute %ls ignored", m_sName.c_str(),
          GetClass(), name);
  }
}

void CControlUI::ApplyAttributeList(const wchar_t* list) {
  if (!list) return;
  const wchar_t* p = list;
  while (*p) {
    while (*p == L' ' || *p == L'\t' || *p == L'\r' || *p == L'\n') ++p;
    if (!*p) break;
    const wchar_t* eq = wcschr(p, L'=');
    if (!eq || eq[1] != L'"') {
      UiLog(UiLogLevel::kWarning, L"malformed attribute list \"%ls\"", list);
      return;
    }
    std::wstring name(p, eq - p);
    const wchar_t* close = wcschr(eq + 2, L'"');
    if (!close) {
      UiLog(UiLogLevel::kWarning, L"malformed attribute list \"%ls\"", list);
      return;
    }
    std::wstring value(eq + 2, close - eq - 2);
    SetAttribute(name.c_str(), value.c_str());
    p = close + 1;
  }
}

CControlUI* CControlUI::FindControlAt(POINT pt) {
  if (!IsVisible() || !m_bMouseEnabled) return nullptr;
  return PtInRect(&m_rcItem, pt) ? this : nullptr;
}

CControlUI* CControlUI::FindControlByName(const wchar_t* name) {
  return (name && m_sName == name) ? this : nullptr;
}

void CControlUI::Notify(const wchar_t* type, WPARAM wParam, LPARAM lParam) {
  if (m_pManager) m_pManager->SendNotify(this, type, wParam, lParam, m_bAsyncNotify);
}

DWORD CControlUI::CurrentTextColor() const {
  return IsEnabled() ? m_dwTextColor : m_dwDisabledTextColor;
}

bool CControlUI::TrackHot(const TEventUI& event, bool* hot) {
  if (event.Type != UIEVENT_MOUSEENTER && event.Type != UIEVENT_MOUSELEAVE) return false;
  *hot = event.Type == UIEVENT_MOUSEENTER;
  Invalidate();
  return true;
}

void CControlUI::DoEvent(TEventUI& event) {
  if (m_pParent && event.Type == UIEVENT_SCROLLWHEEL) m_pParent->DoEvent(event);
}

void CControlUI::DoPaint(HDC hdc, const RECT& rcPaint) {
  if (!IntersectRect(&m_rcPaint, &rcPaint, &m_rcItem)) return;
  PaintBkColor(hdc);
  PaintBkImage(hdc);
  PaintStatusImage(hdc);
  PaintText(hdc);
  PaintBorder(hdc);
}

void CControlUI::PaintBkColor(HDC hdc) { CRenderEngine::DrawColor(hdc, m_rcItem, m_dwBkColor); }

void CControlUI::PaintBkImage(HDC hdc) {
  if (!m_sBkImage.empty()) DrawImage(hdc, m_sBkImage);
}

void CControlUI::PaintStatusImage(HDC /*hdc*/) {}

void CControlUI::PaintText(HDC /*hdc*/) {}

void CControlUI::PaintBorder(HDC hdc) {
  CRenderEngine::DrawBorder(hdc, m_rcItem, m_nBorderSize, m_dwBorderColor);
}

bool CControlUI::DrawImage(HDC hdc, const CDuiString& image) {
  return CRenderEngine::DrawImageString(hdc, m_rcItem, m_rcPaint, image.c_str());
}

}  // namespace DuiLib
