#pragma once

// Lists and combos: CListUI (a scrolling vertical list of selectable elements), its elements
// CListLabelElementUI (one text) and CListContainerElementUI (a row of controls), and
// CComboUI, whose items open in a drop-down window. Selections send "itemselect" with the new
// index in wParam and the previous one in lParam. UI thread only.

#include <vector>

#include "platform/duilib/ui_container.h"

namespace DuiLib {

// Colours shared by the items of one list or combo.
struct TListInfoUI {
  int nFont = -1;
  UINT uTextStyle = DT_SINGLELINE | DT_VCENTER | DT_LEFT;
  RECT rcTextPadding{6, 0, 6, 0};
  DWORD dwTextColor = 0xFF000000;
  DWORD dwBkColor = 0;
  DWORD dwSelectedTextColor = 0xFF000000;
  DWORD dwSelectedBkColor = 0xFFC1E3FF;
  DWORD dwHotTextColor = 0xFF000000;
  DWORD dwHotBkColor = 0xFFE9F5FF;
  DWORD dwDisabledTextColor = 0xFFCCCCCC;
  int nItemHeight = 28;
};

class IListOwnerUI {
 public:
  virtual TListInfoUI* GetListInfo() = 0;
  virtual int GetCurSel() const = 0;
  virtual bool SelectItem(int index, bool bTakeFocus = false, bool bTriggerEvent = true) = 0;

 protected:
  ~IListOwnerUI() = default;
};

// What list elements share, whatever control they are.
class IListItemUI {
 public:
  virtual void SetOwner(IListOwnerUI* owner) = 0;
  virtual void SetIndex(int index) = 0;
  virtual bool IsSelected() const = 0;
  virtual void Select(bool selected) = 0;

 protected:
  ~IListItemUI() = default;
};

// What list elements share, whatever control they are built on: their owner and index, the
// selected and hot states, and a height that defaults to the owner's item height.
template <class TControl>
class CListElementBaseUI : public TControl, public IListItemUI {
 public:
  void* GetInterface(const wchar_t* name) override {
    if (EqualsNoCase(name, L"ListItem")) return static_cast<IListItemUI*>(this);
    return TControl::GetInterface(name);
  }
  void SetOwner(IListOwnerUI* owner) override { m_pOwner = owner; }
  IListOwnerUI* GetOwner() const { return m_pOwner; }
  void SetIndex(int index) override { m_iIndex = index; }
  int GetIndex() const { return m_iIndex; }
  bool IsSelected() const override { return m_bSelected; }
  void Select(bool selected) override {
    if (m_bSelected == selected) return;
    m_bSelected = selected;
    this->Invalidate();
  }
  SIZE EstimateSize(SIZE /*available*/) override {
    SIZE size = this->m_cxyFixed;
    if (size.cy == 0 && m_pOwner) size.cy = m_pOwner->GetListInfo()->nItemHeight;
    return size;
  }

 protected:
  IListOwnerUI* m_pOwner = nullptr;
  int m_iIndex = -1;
  bool m_bSelected = false;
  bool m_bHot = false;
};

class CListLabelElementUI : public CListElementBaseUI<CControlUI> {
 public:
  const wchar_t* GetClass() const override { return L"ListLabelElementUI"; }
  void* GetInterface(const wchar_t* name) override;
  bool IsHot() const { return m_bHot; }
  void SetHot(bool hot);
  bool Activate() override;
  void DoEvent(TEventUI& event) override;
  void PaintBkColor(HDC hdc) override;
  void PaintText(HDC hdc) override;
  // Draws the element into any rectangle (the combo's drop-down window uses this).
  void DrawItem(HDC hdc, const RECT& rc);
};

class CListContainerElementUI : public CListElementBaseUI<CHorizontalLayoutUI> {
 public:
  const wchar_t* GetClass() const override { return L"ListContainerElementUI"; }
  void* GetInterface(const wchar_t* name) override;
  void DoEvent(TEventUI& event) override;
  void PaintBkColor(HDC hdc) override;
};

// Attributes shared by CListUI and CComboUI for their items' colours.
bool SetListInfoAttribute(TListInfoUI* info, const wchar_t* name, const wchar_t* value,
                          bool* malformed);
// Tells each list element among `items` its owner and its index.
void ReindexListItems(const std::vector<CControlUI*>& items, IListOwnerUI* owner);

// What CListUI and CComboUI share as owners of list elements: the items' look and the current
// selection, which follows its item as items come and go.
template <class TContainer>
class CListOwnerBaseUI : public TContainer, public IListOwnerUI {
 public:
  void* GetInterface(const wchar_t* name) override {
    if (EqualsNoCase(name, L"IListOwner")) return static_cast<IListOwnerUI*>(this);
    return TContainer::GetInterface(name);
  }
  TListInfoUI* GetListInfo() override { return &m_ListInfo; }
  int GetCurSel() const override { return m_iCurSel; }
  bool Add(CControlUI* control) override { return this->AddAt(control, this->GetCount()); }
  bool Remove(CControlUI* control) override { return this->RemoveAt(this->GetItemIndex(control)); }

 protected:
  // After the container inserted the item now at `index`.
  void OnItemInserted(int index) {
    ReindexListItems(this->m_items, this);
    if (m_iCurSel >= index) ++m_iCurSel;
  }
  // After the container removed the item that was at `index`.
  void OnItemRemoved(int index) {
    ReindexListItems(this->m_items, this);
    if (index == m_iCurSel)
      m_iCurSel = -1;
    else if (index < m_iCurSel)
      --m_iCurSel;
  }
  // Applies an item-colour attribute (a malformed value is logged); false for other names.
  bool ApplyListInfoAttribute(const wchar_t* name, const wchar_t* value) {
    bool malformed = false;
    if (!SetListInfoAttribute(&m_ListInfo, name, value, &malformed)) return false;
    if (malformed) this->LogBadAttribute(name, value);
    this->Invalidate();
    return true;
  }

  TListInfoUI m_ListInfo;
  int m_iCurSel = -1;
};

class CListUI : public CListOwnerBaseUI<CVerticalLayoutUI> {
 public:
  CListUI();
  const wchar_t* GetClass() const override { return L"ListUI"; }
  void* GetInterface(const wchar_t* name) override;
  bool SelectItem(int index, bool bTakeFocus = false, bool bTriggerEvent = true) override;
  bool AddAt(CControlUI* control, int index) override;
  bool RemoveAt(int index) override;
  void RemoveAll() override;
  void SetAttribute(const wchar_t* name, const wchar_t* value) override;
};

class CComboWnd;

class CComboUI : public CListOwnerBaseUI<CContainerUI> {
 public:
  CComboUI();
  ~CComboUI() override;
  const wchar_t* GetClass() const override { return L"ComboUI"; }
  void* GetInterface(const wchar_t* name) override;
  // Selects item `index`; false for a bad index. Code may select a disabled item (a list with
  // no usable entry shows one); the user never can: the drop-down window and the arrow keys
  // pass over disabled items.
  bool SelectItem(int index, bool bTakeFocus = false, bool bTriggerEvent = true) override;
  bool AddAt(CControlUI* control, int index) override;
  bool RemoveAt(int index) override;
  void RemoveAll() override;
  CDuiString GetText() const override;

  // Item colours.
  void SetItemTextColor(DWORD argb) {
    m_ListInfo.dwTextColor = argb;
    Invalidate();
  }
  void SetItemBkColor(DWORD argb) { m_ListInfo.dwBkColor = argb; }
  void SetSelectedItemTextColor(DWORD argb) {
    m_ListInfo.dwSelectedTextColor = argb;
    Invalidate();
  }
  void SetSelectedItemBkColor(DWORD argb) { m_ListInfo.dwSelectedBkColor = argb; }
  void SetHotItemTextColor(DWORD argb) { m_ListInfo.dwHotTextColor = argb; }
  void SetHotItemBkColor(DWORD argb) { m_ListInfo.dwHotBkColor = argb; }
  void SetDisabledItemTextColor(DWORD argb) { m_ListInfo.dwDisabledTextColor = argb; }

  // The combo's own look.
  CDuiString GetNormalImage() const { return m_sNormalImage; }
  void SetNormalImage(const wchar_t* image) {
    m_sNormalImage = image;
    Invalidate();
  }
  void SetHotImage(const wchar_t* image) {
    m_sHotImage = image;
    Invalidate();
  }
  void SetPushedImage(const wchar_t* image) {
    m_sPushedImage = image;
    Invalidate();
  }
  void SetDisabledImage(const wchar_t* image) {
    m_sDisabledImage = image;
    Invalidate();
  }
  SIZE GetDropBoxSize() const { return m_szDropBox; }
  void SetDropBoxSize(SIZE size) { m_szDropBox = size; }

  // Opens the drop-down window ("dropdown"); it closes ("dropup") on a choice, Escape or when
  // it loses the focus.
  bool Activate() override;
  bool IsDropped() const { return m_pWindow != nullptr; }
  HWND GetDropWindow() const;
  void CloseDropDown();

  void SetPos(RECT rc, bool bNeedInvalidate = true) override;
  void SetEnabled(bool enabled = true) override;
  void SetAttribute(const wchar_t* name, const wchar_t* value) override;
  CControlUI* FindControlAt(POINT pt) override;
  void DoEvent(TEventUI& event) override;
  void DoPaint(HDC hdc, const RECT& rcPaint) override;

 private:
  friend class CComboWnd;
  void OnDropClosed();

  SIZE m_szDropBox{0, 150};
  bool m_bHot = false;
  bool m_bPushed = false;
  CComboWnd* m_pWindow = nullptr;  // owned; destroyed with its window
  CDuiString m_sNormalImage;
  CDuiString m_sHotImage;
  CDuiString m_sPushedImage;
  CDuiString m_sDisabledImage;
};

}  // namespace DuiLib
