#pragma once

// CControlUI: the base of every control: name, text (or a language-table text id), colours,
// background image, position from the layout pass, visibility, enabled state, focus and the
// attribute lists read from layouts. UI thread only.

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>

#include "platform/duilib/ui_base.h"

namespace DuiLib {

class CContainerUI;

class CControlUI {
 public:
  CControlUI();
  virtual ~CControlUI();
  CControlUI(const CControlUI&) = delete;
  CControlUI& operator=(const CControlUI&) = delete;

  // Identity.
  virtual CDuiString GetName() const { return m_sName; }
  virtual void SetName(const wchar_t* name) { m_sName = name ? name : L""; }
  virtual const wchar_t* GetClass() const { return L"ControlUI"; }
  // Returns this control cast to the named interface ("Control", "Label", "Button", ...), or null.
  virtual void* GetInterface(const wchar_t* name);

  // Tree.
  CPaintManagerUI* GetManager() const { return m_pManager; }
  virtual void SetManager(CPaintManagerUI* manager, CControlUI* parent, bool init = true);
  CControlUI* GetParent() const { return m_pParent; }

  // Text. A control bound to a text id shows the language table's text for it, and follows
  // language switches.
  virtual CDuiString GetText() const;
  virtual void SetText(const wchar_t* text);
  CDuiString GetTextId() const { return m_sTextId; }
  void SetTextId(const wchar_t* id);
  DWORD GetTextColor() const { return m_dwTextColor; }
  void SetTextColor(DWORD argb);
  DWORD GetDisabledTextColor() const { return m_dwDisabledTextColor; }
  void SetDisabledTextColor(DWORD argb);
  int GetFont() const { return m_iFont; }
  void SetFont(int index);
  UINT GetTextStyle() const { return m_uTextStyle; }
  void SetTextStyle(UINT style);
  RECT GetTextPadding() const { return m_rcTextPadding; }
  void SetTextPadding(RECT rc);

  CDuiString GetToolTip() const { return m_sToolTip; }
  void SetToolTip(const wchar_t* text) { m_sToolTip = text ? text : L""; }
  uint64_t GetTag() const { return m_uTag; }
  void SetTag(uint64_t tag) { m_uTag = tag; }
  CDuiString GetUserData() const { return m_sUserData; }
  void SetUserData(const wchar_t* text) { m_sUserData = text ? text : L""; }

  // Look.
  DWORD GetBkColor() const { return m_dwBkColor; }
  void SetBkColor(DWORD argb);
  CDuiString GetBkImage() const { return m_sBkImage; }
  void SetBkImage(const wchar_t* image);
  DWORD GetBorderColor() const { return m_dwBorderColor; }
  void SetBorderColor(DWORD argb);
  int GetBorderSize() const { return m_nBorderSize; }
  void SetBorderSize(int size);

  // Position, as set by the layout pass (client coordinates of the window).
  virtual const RECT& GetPos() const { return m_rcItem; }
  virtual void SetPos(RECT rc, bool bNeedInvalidate = true);
  int GetWidth() const { return m_rcItem.right - m_rcItem.left; }
  int GetHeight() const { return m_rcItem.bottom - m_rcItem.top; }
  int GetX() const { return m_rcItem.left; }
  int GetY() const { return m_rcItem.top; }
  RECT GetPadding() const { return m_rcPadding; }
  void SetPadding(RECT rc);
  int GetFixedWidth() const { return m_cxyFixed.cx; }
  void SetFixedWidth(int cx);
  int GetFixedHeight() const { return m_cxyFixed.cy; }
  void SetFixedHeight(int cy);
  // A floating control is placed by its own "pos" relative to its parent's top-left corner.
  bool IsFloat() const { return m_bFloat; }
  void SetFloat(bool value);
  RECT GetFloatPos() const { return m_rcFloatPos; }
  void SetFloatPos(RECT rc);
  // The size the control asks of its layout; 0 in a dimension means "take what is left".
  virtual SIZE EstimateSize(SIZE available);

  // State.
  virtual bool IsVisible() const { return m_bVisible && m_bInternVisible; }
  virtual void SetVisible(bool visible = true);
  // Visibility imposed by a parent (a tab page that is not current).
  virtual void SetInternVisible(bool visible = true);
  virtual bool IsEnabled() const { return m_bEnabled; }
  virtual void SetEnabled(bool enabled = true);
  bool IsMouseEnabled() const { return m_bMouseEnabled; }
  void SetMouseEnabled(bool enabled) { m_bMouseEnabled = enabled; }
  virtual bool IsFocused() const { return m_bFocused; }
  virtual void SetFocus();
  // Controls that take the keyboard focus on a click.
  virtual bool WantsFocus() const { return false; }
  // Performs the control's action (a button's click); returns false when disabled or hidden.
  virtual bool Activate();
  // When set ("asyncnotify" in layouts), the notifications the control sends itself ("click",
  // ...) are queued and delivered from the window's message loop instead of during the input
  // that caused them, so a handler may destroy the control (or the row that holds it). A
  // queued notification of a control destroyed meanwhile is dropped.
  bool IsAsyncNotify() const { return m_bAsyncNotify; }
  void SetAsyncNotify(bool async) { m_bAsyncNotify = async; }

  // Layout invalidation and repainting.
  void Invalidate();
  void NeedUpdate();
  void NeedParentUpdate();

  // Attributes, as written in layouts. Malformed values are logged and ignored.
  virtual void SetAttribute(const wchar_t* name, const wchar_t* value);
  // name="value" pairs separated by spaces, values in double quotes.
  void ApplyAttributeList(const wchar_t* list);

  // Hit testing: the topmost visible control under `pt` in this subtree, or null.
  virtual CControlUI* FindControlAt(POINT pt);
  // The first control named `name` in this subtree (this control included), or null.
  virtual CControlUI* FindControlByName(const wchar_t* name);

  virtual void DoEvent(TEventUI& event);
  virtual void DoPaint(HDC hdc, const RECT& rcPaint);
  virtual void PaintBkColor(HDC hdc);
  virtual void PaintBkImage(HDC hdc);
  virtual void PaintStatusImage(HDC hdc);
  virtual void PaintText(HDC hdc);
  virtual void PaintBorder(HDC hdc);
  // Draws an image description into the control (dest is relative to the control).
  bool DrawImage(HDC hdc, const CDuiString& image);

  // The paint rectangle of the current paint pass, for DrawImage.
  const RECT& GetPaintRect() const { return m_rcPaint; }

  // Becomes false when the control is destroyed: code that notifies (and so may see the
  // control deleted by a handler) keeps a copy and checks it before touching the control again.
  std::shared_ptr<const bool> GetAliveToken() const { return m_pAlive; }

 protected:
  friend class CPaintManagerUI;
  // Sends a notification through the manager (queued when the control is asynchronous).
  void Notify(const wchar_t* type, WPARAM wParam = 0, LPARAM lParam = 0);
  // Effective text colour for the current state.
  DWORD CurrentTextColor() const;
  // Scales a layout value by the process-wide DPI scale.
  static int Scale(int value);
  static RECT ScaleRect(RECT rc);
  void LogBadAttribute(const wchar_t* name, const wchar_t* value) const;
  // Follows the mouse into and out of the control: sets *hot and repaints. False for any other
  // event.
  bool TrackHot(const TEventUI& event, bool* hot);

  std::shared_ptr<bool> m_pAlive = std::make_shared<bool>(true);
  CPaintManagerUI* m_pManager = nullptr;
  CControlUI* m_pParent = nullptr;
  CDuiString m_sName;
  CDuiString m_sText;
  CDuiString m_sTextId;
  CDuiString m_sToolTip;
  CDuiString m_sUserData;
  uint64_t m_uTag = 0;
  CDuiString m_sBkImage;
  DWORD m_dwBkColor = 0;
  DWORD m_dwBorderColor = 0;
  int m_nBorderSize = 0;
  DWORD m_dwTextColor = 0xFF000000;
  DWORD m_dwDisabledTextColor = 0xFFA7A6AA;
  int m_iFont = -1;
  UINT m_uTextStyle = DT_SINGLELINE | DT_VCENTER | DT_LEFT;
  RECT m_rcTextPadding{};
  RECT m_rcItem{};
  RECT m_rcPaint{};
  RECT m_rcPadding{};
  SIZE m_cxyFixed{};
  RECT m_rcFloatPos{};
  bool m_bFloat = false;
  bool m_bVisible = true;
  bool m_bInternVisible = true;
  bool m_bEnabled = true;
  bool m_bMouseEnabled = true;
  bool m_bFocused = false;
  bool m_bUpdateNeeded = true;
  bool m_bAsyncNotify = false;
};

}  // namespace DuiLib
