#include "platform/duilib/ui_controls.h"

#include <algorithm>
#include <cwchar>

#include "platform/duilib/ui_language.h"
#include "platform/duilib/ui_manager.h"
#include "platform/duilib/ui_render.h"

namespace DuiLib {

namespace {

constexpr UINT kAnimationTimer = 1;

}  // namespace

// ---------------------------------------------------------------------------------------------
// CLabelUI / CTextUI

void* CLabelUI::GetInterface(const wchar_t* name) {
  if (EqualsNoCase(name, L"Label")) return this;
  return CControlUI::GetInterface(name);
}

RECT CLabelUI::TextRect() const {
  return RECT{m_rcItem.left + m_rcTextPadding.left, m_rcItem.top + m_rcTextPadding.top,
              m_rcItem.right - m_rcTextPadding.right, m_rcItem.bottom - m_rcTextPadding.bottom};
}

void CLabelUI::PaintText(HDC hdc) {
  CRenderEngine::DrawText(hdc, m_pManager, TextRect(), GetText(), CurrentTextColor(), m_iFont,
                          m_uTextStyle);
}

CTextUI::CTextUI() { m_uTextStyle = DT_WORDBREAK | DT_LEFT | DT_TOP; }

void* CTextUI::GetInterface(const wchar_t* name) {
  if (EqualsNoCase(name, L"Text")) return this;
  return CLabelUI::GetInterface(name);
}

// ---------------------------------------------------------------------------------------------
// CButtonUI

void* CButtonUI::GetInterface(const wchar_t* name) {
  if (EqualsNoCase(name, L"Button")) return this;
  return CLabelUI::GetInterface(name);
}

bool CButtonUI::Activate() {
  if (!CControlUI::Activate()) return false;
  Notify(L"click");
  return true;
}

void CButtonUI::SetEnabled(bool enabled) {
  if (!enabled) m_bHot = m_bPushed = false;
  CLabelUI::SetEnabled(enabled);
}

void CButtonUI::SetAttribute(const wchar_t* name, const wchar_t* value) {
  DWORD color = 0;
  if (wcscmp(name, L"normalimage") == 0) {
    SetNormalImage(value);
  } else if (wcscmp(name, L"hotimage") == 0) {
    SetHotImage(value);
  } else if (wcscmp(name, L"pushedimage") == 0) {
    SetPushedImage(value);
  } else if (wcscmp(name, L"focusedimage") == 0) {
    m_sFocusedImage = value;
  } else if (wcscmp(name, L"disabledimage") == 0) {
    SetDisabledImage(value);
  } else if (wcscmp(name, L"hottextcolor") == 0) {
    if (!ParseColor(value, &color)) return LogBadAttribute(name, value);
    SetHotTextColor(color);
  } else if (wcscmp(name, L"pushedtextcolor") == 0) {
    if (!ParseColor(value, &color)) return LogBadAttribute(name, value);
    SetPushedTextColor(color);
  } else if (wcscmp(name, L"hotbkcolor") == 0) {
    if (!ParseColor(value, &color)) return LogBadAttribute(name, value);
    SetHotBkColor(color);
  } else {
    CLabelUI::SetAttribute(name, value);
  }
}

void CButtonUI::DoEvent(TEventUI& event) {
  if (!IsEnabled() && event.Type != UIEVENT_SCROLLWHEEL) return;
  if (TrackHot(event, &m_bHot)) return;
  switch (event.Type) {
    case UIEVENT_BUTTONDOWN:
    case UIEVENT_DBLCLICK:
      m_bPushed = m_bPushedInside = true;
      Invalidate();
      return;
    case UIEVENT_MOUSEMOVE:
      if (m_bPushed) {
        bool inside = PtInRect(&m_rcItem, event.ptMouse) != FALSE;
        if (inside != m_bPushedInside) {
          m_bPushedInside = inside;
          Invalidate();
        }
      }
      return;
    case UIEVENT_BUTTONUP:
      if (m_bPushed) {
        m_bPushed = false;
        Invalidate();
        // The handler may delete this control: nothing is touched afterwards.
        if (PtInRect(&m_rcItem, event.ptMouse)) Activate();
      }
      return;
    case UIEVENT_KEYDOWN:
      if (event.chKey == VK_SPACE || event.chKey == VK_RETURN) Activate();
      return;
    default:
      CLabelUI::DoEvent(event);
  }
}

DWORD CButtonUI::StateTextColor() const {
  if (!IsEnabled()) return m_dwDisabledTextColor;
  if (m_bPushed && m_bPushedInside && m_dwPushedTextColor) return m_dwPushedTextColor;
  if (m_bHot && m_dwHotTextColor) return m_dwHotTextColor;
  return m_dwTextColor;
}

void CButtonUI::PaintBkColor(HDC hdc) {
  if (m_bHot && IsEnabled() && m_dwHotBkColor) {
    CRenderEngine::DrawColor(hdc, m_rcItem, m_dwHotBkColor);
  } else {
    CLabelUI::PaintBkColor(hdc);
  }
}

void CButtonUI::PaintStatusImage(HDC hdc) {
  const CDuiString* image = &m_sNormalImage;
  if (!IsEnabled()) {
    if (!m_sDisabledImage.empty()) image = &m_sDisabledImage;
  } else if (m_bPushed && m_bPushedInside && !m_sPushedImage.empty()) {
    image = &m_sPushedImage;
  } else if (m_bHot && !m_sHotImage.empty()) {
    image = &m_sHotImage;
  } else if (IsFocused() && !m_sFocusedImage.empty()) {
    image = &m_sFocusedImage;
  }
  if (!image->empty()) DrawImage(hdc, *image);
}

void CButtonUI::PaintText(HDC hdc) {
  CRenderEngine::DrawText(hdc, m_pManager, TextRect(), GetText(), StateTextColor(), m_iFont,
                          m_uTextStyle);
}

// ---------------------------------------------------------------------------------------------
// COptionUI / CCheckBoxUI

COptionUI::~COptionUI() {
  if (m_pManager && !m_sGroupName.empty()) {
    m_pManager->RemoveOptionGroup(m_sGroupName.c_str(), this);
  }
}

void* COptionUI::GetInterface(const wchar_t* name) {
  if (EqualsNoCase(name, L"Option")) return this;
  return CButtonUI::GetInterface(name);
}

void COptionUI::SetManager(CPaintManagerUI* manager, CControlUI* parent, bool init) {
  CButtonUI::SetManager(manager, parent, init);
  if (init && manager && !m_sGroupName.empty()) {
    manager->AddOptionGroup(m_sGroupName.c_str(), this);
    // A layout may select more than one member of a group: the last one wins.
    if (m_bSelected) Selected(true, false);
  }
}

void COptionUI::SetGroup(const wchar_t* group) {
  CDuiString name = group ? group : L"";
  if (name == m_sGroupName) return;
  if (m_pManager && !m_sGroupName.empty()) {
    m_pManager->RemoveOptionGroup(m_sGroupName.c_str(), this);
  }
  m_sGroupName = name;
  if (m_pManager && !m_sGroupName.empty()) {
    m_pManager->AddOptionGroup(m_sGroupName.c_str(), this);
  }
  Selected(m_bSelected, false);
}

void COptionUI::Selected(bool bSelected, bool bTriggerEvent) {
  const bool changed = m_bSelected != bSelected;
  m_bSelected = bSelected;
  if (m_bSelected && m_pManager && !m_sGroupName.empty()) {
    if (const auto* group = m_pManager->GetOptionGroup(m_sGroupName.c_str())) {
      for (CControlUI* member : *group) {
        auto* option = static_cast<COptionUI*>(member->GetInterface(L"Option"));
        if (option && option != this && option->m_bSelected) {
          option->m_bSelected = false;
          option->Invalidate();
        }
      }
    }
  }
  Invalidate();
  if (changed && bTriggerEvent) Notify(L"selectchanged", m_bSelected ? 1 : 0);
}

bool COptionUI::Activate() {
  if (!CControlUI::Activate()) return false;
  std::shared_ptr<const bool> alive = GetAliveToken();
  Notify(L"click");
  if (!*alive) return true;  // the click handler removed this option
  if (!m_sGroupName.empty()) {
    if (!m_bSelected) Selected(true);
  } else {
    Selected(!m_bSelected);
  }
  return true;
}

void COptionUI::SetAttribute(const wchar_t* name, const wchar_t* value) {
  DWORD color = 0;
  bool flag = false;
  if (wcscmp(name, L"group") == 0) {
    SetGroup(value);
  } else if (wcscmp(name, L"selected") == 0) {
    if (!ParseBool(value, &flag)) return LogBadAttribute(name, value);
    Selected(flag, false);
  } else if (wcscmp(name, L"selectedimage") == 0) {
    SetSelectedImage(value);
  } else if (wcscmp(name, L"selectedhotimage") == 0) {
    m_sSelectedHotImage = value;
  } else if (wcscmp(name, L"selectedtextcolor") == 0) {
    if (!ParseColor(value, &color)) return LogBadAttribute(name, value);
    SetSelectedTextColor(color);
  } else if (wcscmp(name, L"selectedbkcolor") == 0) {
    if (!ParseColor(value, &color)) return LogBadAttribute(name, value);
    SetSelectedBkColor(color);
  } else {
    CButtonUI::SetAttribute(name, value);
  }
}

void COptionUI::PaintBkColor(HDC hdc) {
  if (m_bSelected && m_dwSelectedBkColor) {
    CRenderEngine::DrawColor(hdc, m_rcItem, m_dwSelectedBkColor);
  } else {
    CButtonUI::PaintBkColor(hdc);
  }
}

void COptionUI::PaintStatusImage(HDC hdc) {
  if (m_bSelected && m_bHot && !m_sSelectedHotImage.empty()) {
    DrawImage(hdc, m_sSelectedHotImage);
  } else if (m_bSelected && !m_sSelectedImage.empty()) {
    DrawImage(hdc, m_sSelectedImage);
  } else {
    CButtonUI::PaintStatusImage(hdc);
  }
}

void COptionUI::PaintText(HDC hdc) {
  DWORD color = (m_bSelected && m_dwSelectedTextColor && IsEnabled()) ? m_dwSelectedTextColor
                                                                      : StateTextColor();
  CRenderEngine::DrawText(hdc, m_pManager, TextRect(), GetText(), color, m_iFont, m_uTextStyle);
}

void* CCheckBoxUI::GetInterface(const wchar_t* name) {
  if (EqualsNoCase(name, L"CheckBox")) return this;
  return COptionUI::GetInterface(name);
}

// ---------------------------------------------------------------------------------------------
// CProgressUI / CSliderUI

void* CProgressUI::GetInterface(const wchar_t* name) {
  if (EqualsNoCase(name, L"Progress")) return this;
  return CLabelUI::GetInterface(name);
}

void CProgressUI::SetMinValue(int value) {
  m_nMin = value;
  if (m_nMax < m_nMin) m_nMax = m_nMin;
  SetValue(m_nValue);
}

void CProgressUI::SetMaxValue(int value) {
  m_nMax = value;
  if (m_nMin > m_nMax) m_nMin = m_nMax;
  SetValue(m_nValue);
}

void CProgressUI::SetValue(int value) {
  value = std::max(m_nMin, std::min(value, m_nMax));
  if (value == m_nValue) return;
  m_nValue = value;
  Invalidate();
}

void CProgressUI::SetAttribute(const wchar_t* name, const wchar_t* value) {
  int number = 0;
  DWORD color = 0;
  if (wcscmp(name, L"min") == 0) {
    if (!ParseInt(value, &number)) return LogBadAttribute(name, value);
    SetMinValue(number);
  } else if (wcscmp(name, L"max") == 0) {
    if (!ParseInt(value, &number)) return LogBadAttribute(name, value);
    SetMaxValue(number);
  } else if (wcscmp(name, L"value") == 0) {
    if (!ParseInt(value, &number)) return LogBadAttribute(name, value);
    SetValue(number);
  } else if (wcscmp(name, L"foreimage") == 0) {
    SetForeImage(value);
  } else if (wcscmp(name, L"forecolor") == 0) {
    if (!ParseColor(value, &color)) return LogBadAttribute(name, value);
    m_dwForeColor = color;
  } else {
    CLabelUI::SetAttribute(name, value);
  }
}

int CProgressUI::PartOf(int length, int value) const {
  // In 64 bits: a range may span the whole of int.
  if (m_nMax <= m_nMin || length <= 0) return 0;
  const long long range = static_cast<long long>(m_nMax) - m_nMin;
  const long long offset = static_cast<long long>(value) - m_nMin;
  return static_cast<int>(length * offset / range);
}

RECT CProgressUI::ForeRect() const {
  RECT rc = m_rcItem;
  if (m_nMax > m_nMin) rc.right = rc.left + PartOf(GetWidth(), m_nValue);
  return rc;
}

void CProgressUI::PaintStatusImage(HDC hdc) {
  RECT fore = ForeRect();
  if (fore.right <= fore.left) return;
  if (m_dwForeColor) CRenderEngine::DrawColor(hdc, fore, m_dwForeColor);
  if (!m_sForeImage.empty()) {
    RECT clip;
    if (IntersectRect(&clip, &fore, &m_rcPaint)) {
      CRenderEngine::DrawImageString(hdc, m_rcItem, clip, m_sForeImage.c_str());
    }
  }
}

void* CSliderUI::GetInterface(const wchar_t* name) {
  if (EqualsNoCase(name, L"Slider")) return this;
  return CProgressUI::GetInterface(name);
}

RECT CSliderUI::GetThumbRect() const {
  const int free = GetWidth() - m_szThumb.cx;
  const int x = m_rcItem.left + PartOf(free, m_nValue);
  int top = m_rcItem.top + (GetHeight() - m_szThumb.cy) / 2;
  return RECT{x, top, x + m_szThumb.cx, top + m_szThumb.cy};
}

int CSliderUI::ValueAt(int x) const {
  const int free = GetWidth() - m_szThumb.cx;
  if (free <= 0 || m_nMax <= m_nMin) return m_nMin;
  int offset = x - m_rcItem.left - m_szThumb.cx / 2;
  offset = std::max(0, std::min(offset, free));
  // In 64 bits: a range may span the whole of int.
  const long long range = static_cast<long long>(m_nMax) - m_nMin;
  long long value = (offset * range + free / 2) / free;
  if (m_nStep > 1) value = (value + m_nStep / 2) / m_nStep * m_nStep;
  return static_cast<int>(std::min(m_nMin + value, static_cast<long long>(m_nMax)));
}

void CSliderUI::SetAttribute(const wchar_t* name, const wchar_t* value) {
  if (wcscmp(name, L"thumbsize") == 0) {
    SIZE size{};
    if (!ParseSize(value, &size) || size.cx < 0 || size.cy < 0) return LogBadAttribute(name, value);
    m_szThumb = SIZE{Scale(size.cx), Scale(size.cy)};
  } else if (wcscmp(name, L"thumbimage") == 0) {
    SetThumbImage(value);
  } else if (wcscmp(name, L"thumbhotimage") == 0) {
    m_sThumbHotImage = value;
  } else if (wcscmp(name, L"thumbpushedimage") == 0) {
    m_sThumbPushedImage = value;
  } else if (wcscmp(name, L"step") == 0) {
    int step = 0;
    if (!ParseInt(value, &step) || step <= 0) return LogBadAttribute(name, value);
    m_nStep = step;
  } else {
    CProgressUI::SetAttribute(name, value);
  }
}

void CSliderUI::DoEvent(TEventUI& event) {
  if (!IsEnabled()) return;
  if (TrackHot(event, &m_bHot)) return;
  switch (event.Type) {
    case UIEVENT_BUTTONDOWN:
    case UIEVENT_DBLCLICK:
      m_bDragging = true;
      m_nValueAtPress = m_nValue;
      SetValue(ValueAt(event.ptMouse.x));
      return;
    case UIEVENT_MOUSEMOVE:
      if (m_bDragging) {
        int before = m_nValue;
        SetValue(ValueAt(event.ptMouse.x));
        if (before != m_nValue) Notify(L"movevaluechanged");
      }
      return;
    case UIEVENT_BUTTONUP:
      if (m_bDragging) {
        m_bDragging = false;
        SetValue(ValueAt(event.ptMouse.x));
        if (m_nValue != m_nValueAtPress) Notify(L"valuechanged");
      }
      return;
    default:
      CProgressUI::DoEvent(event);
  }
}

void CSliderUI::PaintStatusImage(HDC hdc) {
  CProgressUI::PaintStatusImage(hdc);
  RECT thumb = GetThumbRect();
  const CDuiString* image = &m_sThumbImage;
  if (m_bDragging && !m_sThumbPushedImage.empty())
    image = &m_sThumbPushedImage;
  else if (m_bHot && !m_sThumbHotImage.empty())
    image = &m_sThumbHotImage;
  if (image->empty()) {
    CRenderEngine::DrawColor(hdc, thumb, 0xFFFFFFFF);
    CRenderEngine::DrawBorder(hdc, thumb, 1, 0xFF8A93A5);
  } else {
    CRenderEngine::DrawImageString(hdc, thumb, m_rcPaint, image->c_str());
  }
}

// ---------------------------------------------------------------------------------------------
// CEditUI

void* CEditUI::GetInterface(const wchar_t* name) {
  if (EqualsNoCase(name, L"Edit")) return this;
  return CLabelUI::GetInterface(name);
}

void CEditUI::SetMaxChar(int count) {
  if (count > 0) m_nMaxChar = count;
}

CDuiString CEditUI::GetPromptText() const {
  if (!m_sPromptTextId.empty()) {
    return CMutiLanSupport::Instance()->GetTextForId(m_sPromptTextId.c_str());
  }
  return m_sPromptText;
}

void CEditUI::SetText(const wchar_t* text) {
  CLabelUI::SetText(text);
  m_nCaret = static_cast<int>(m_sText.size());
}

void CEditUI::ChangeText(const CDuiString& text, int caret) {
  m_sText = text;
  m_sTextId.clear();
  m_nCaret = caret;
  Invalidate();
  Notify(L"textchanged");
}

void CEditUI::SetAttribute(const wchar_t* name, const wchar_t* value) {
  int number = 0;
  bool flag = false;
  DWORD color = 0;
  if (wcscmp(name, L"maxchar") == 0) {
    if (!ParseInt(value, &number) || number <= 0) return LogBadAttribute(name, value);
    SetMaxChar(number);
  } else if (wcscmp(name, L"prompttext") == 0) {
    SetPromptText(value);
  } else if (wcscmp(name, L"prompttextid") == 0) {
    SetPromptTextId(value);
  } else if (wcscmp(name, L"promptcolor") == 0) {
    if (!ParseColor(value, &color)) return LogBadAttribute(name, value);
    m_dwPromptColor = color;
  } else if (wcscmp(name, L"readonly") == 0) {
    if (!ParseBool(value, &flag)) return LogBadAttribute(name, value);
    SetReadOnly(flag);
  } else {
    CLabelUI::SetAttribute(name, value);
  }
}

void CEditUI::DoEvent(TEventUI& event) {
  if (!IsEnabled()) return;
  const CDuiString text = m_sText;
  const int length = static_cast<int>(text.size());
  m_nCaret = std::max(0, std::min(m_nCaret, length));
  switch (event.Type) {
    case UIEVENT_BUTTONDOWN:
    case UIEVENT_DBLCLICK: {
      // The caret goes to the character boundary nearest to the click.
      RECT rc = TextRect();
      HDC dc = GetDC(m_pManager ? m_pManager->GetPaintWindow() : nullptr);
      int best = length;
      for (int i = 0; i <= length; ++i) {
        SIZE sz = CRenderEngine::MeasureText(dc, m_pManager, text.substr(0, i), m_iFont);
        if (rc.left + sz.cx >= event.ptMouse.x) {
          best = i;
          if (i > 0) {
            SIZE prev = CRenderEngine::MeasureText(dc, m_pManager, text.substr(0, i - 1), m_iFont);
            if (event.ptMouse.x - (rc.left + prev.cx) < rc.left + sz.cx - event.ptMouse.x) {
              best = i - 1;
            }
          }
          break;
        }
      }
      ReleaseDC(m_pManager ? m_pManager->GetPaintWindow() : nullptr, dc);
      m_nCaret = best;
      Invalidate();
      return;
    }
    case UIEVENT_CHAR:
      if (m_bReadOnly) return;
      if (event.chKey == L'\b') {
        if (m_nCaret > 0)
          ChangeText(text.substr(0, m_nCaret - 1) + text.substr(m_nCaret), m_nCaret - 1);
      } else if (event.chKey >= L' ' && event.chKey != 0x7F) {
        if (length >= m_nMaxChar) {
          MessageBeep(MB_OK);
          return;
        }
        ChangeText(text.substr(0, m_nCaret) + event.chKey + text.substr(m_nCaret), m_nCaret + 1);
      }
      return;
    case UIEVENT_KEYDOWN:
      switch (event.chKey) {
        case VK_LEFT:
          m_nCaret = std::max(0, m_nCaret - 1);
          break;
        case VK_RIGHT:
          m_nCaret = std::min(length, m_nCaret + 1);
          break;
        case VK_HOME:
          m_nCaret = 0;
          break;
        case VK_END:
          m_nCaret = length;
          break;
        case VK_DELETE:
          if (!m_bReadOnly && m_nCaret < length) {
            ChangeText(text.substr(0, m_nCaret) + text.substr(m_nCaret + 1), m_nCaret);
          }
          return;
        case VK_RETURN:
          Notify(L"return");
          return;
        default:
          return;
      }
      Invalidate();
      return;
    case UIEVENT_SETFOCUS:
    case UIEVENT_KILLFOCUS:
      Invalidate();
      return;
    default:
      CLabelUI::DoEvent(event);
  }
}

void CEditUI::PaintText(HDC hdc) {
  RECT rc = TextRect();
  const CDuiString text = GetText();
  if (text.empty() && !IsFocused()) {
    CRenderEngine::DrawText(hdc, m_pManager, rc, GetPromptText(), m_dwPromptColor, m_iFont,
                            DT_SINGLELINE | DT_VCENTER | DT_LEFT);
    return;
  }
  UINT style = (m_uTextStyle & ~(DT_CENTER | DT_RIGHT | DT_WORDBREAK)) | DT_SINGLELINE | DT_LEFT;
  CRenderEngine::DrawText(hdc, m_pManager, rc, text, CurrentTextColor(), m_iFont, style);
  if (IsFocused()) {
    int caret = std::max(0, std::min(m_nCaret, static_cast<int>(text.size())));
    SIZE sz = CRenderEngine::MeasureText(hdc, m_pManager, text.substr(0, caret), m_iFont);
    SIZE line = CRenderEngine::MeasureText(hdc, m_pManager, L"M", m_iFont);
    int top = rc.top + (rc.bottom - rc.top - line.cy) / 2;
    CRenderEngine::DrawColor(hdc, RECT{rc.left + sz.cx, top, rc.left + sz.cx + 1, top + line.cy},
                             0xFF000000 | m_dwTextColor);
  }
}

// ---------------------------------------------------------------------------------------------
// CAnimationUI

CAnimationUI::~CAnimationUI() {
  if (m_pManager && m_bTimerSet) m_pManager->KillTimer(this, kAnimationTimer);
}

void* CAnimationUI::GetInterface(const wchar_t* name) {
  if (EqualsNoCase(name, L"Animation")) return this;
  return CControlUI::GetInterface(name);
}

void* CPngAnimUI::GetInterface(const wchar_t* name) {
  if (EqualsNoCase(name, L"PngAnim")) return this;
  return CAnimationUI::GetInterface(name);
}

void CAnimationUI::SetManager(CPaintManagerUI* manager, CControlUI* parent, bool init) {
  CControlUI::SetManager(manager, parent, init);
  if (init && manager && m_bPlaying && !m_bTimerSet) {
    m_bTimerSet = manager->SetTimer(this, kAnimationTimer, m_nInterval);
  }
}

void CAnimationUI::PlayAnimation() {
  m_bPlaying = true;
  m_nFrame = 0;
  if (m_pManager) {
    if (m_bTimerSet) m_pManager->KillTimer(this, kAnimationTimer);
    m_bTimerSet = m_pManager->SetTimer(this, kAnimationTimer, m_nInterval);
  }
  Invalidate();
}

void CAnimationUI::StopAnimation() {
  m_bPlaying = false;
  m_nFrame = 0;
  if (m_pManager && m_bTimerSet) m_pManager->KillTimer(this, kAnimationTimer);
  m_bTimerSet = false;
  Invalidate();
}

void CAnimationUI::SetAttribute(const wchar_t* name, const wchar_t* value) {
  int number = 0;
  bool flag = false;
  if (wcscmp(name, L"image") == 0) {
    TImageDesc desc;
    if (!ParseImageDesc(value, &desc)) return LogBadAttribute(name, value);
    m_sImage = value;
  } else if (wcscmp(name, L"frames") == 0) {
    if (!ParseInt(value, &number) || number <= 0) return LogBadAttribute(name, value);
    m_nFrames = number;
  } else if (wcscmp(name, L"interval") == 0) {
    if (!ParseInt(value, &number) || number <= 0) return LogBadAttribute(name, value);
    m_nInterval = number;
  } else if (wcscmp(name, L"autoplay") == 0) {
    if (!ParseBool(value, &flag)) return LogBadAttribute(name, value);
    if (flag) PlayAnimation();
  } else {
    CControlUI::SetAttribute(name, value);
  }
}

void CAnimationUI::DoEvent(TEventUI& event) {
  if (event.Type == UIEVENT_TIMER && event.wParam == kAnimationTimer) {
    m_nFrame = (m_nFrame + 1) % m_nFrames;
    Invalidate();
    return;
  }
  CControlUI::DoEvent(event);
}

void CAnimationUI::PaintStatusImage(HDC hdc) {
  if (m_sImage.empty() || !m_bPlaying) return;
  TImageDesc desc;
  if (!ParseImageDesc(m_sImage.c_str(), &desc)) return;
  const TImageInfo* image = CRenderEngine::GetImage(desc.file);
  if (!image) return;
  const int frame_w = image->cx / m_nFrames;
  desc.source = RECT{frame_w * m_nFrame, 0, frame_w * (m_nFrame + 1), image->cy};
  desc.hasSource = true;
  CRenderEngine::DrawImage(hdc, m_rcItem, m_rcPaint, desc);
}

}  // namespace DuiLib
