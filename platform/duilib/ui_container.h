#pragma once

// Containers and layouts: CContainerUI (children stacked over its inset rectangle),
// CVerticalLayoutUI, CHorizontalLayoutUI, CTabLayoutUI (one page visible), CTileLayoutUI
// (rows of columns), and CScrollBarUI, the vertical scroll bar of a container.
// Containers own their children. UI thread only.

#include <memory>
#include <vector>

#include "platform/duilib/ui_control.h"

namespace DuiLib {

class CScrollBarUI : public CControlUI {
 public:
  const wchar_t* GetClass() const override { return L"ScrollBarUI"; }
  void* GetInterface(const wchar_t* name) override;

  void SetOwner(CContainerUI* owner) { m_pOwner = owner; }
  int GetScrollRange() const { return m_nRange; }
  void SetScrollRange(int range);
  int GetScrollPos() const { return m_nScrollPos; }
  void SetScrollPos(int pos);
  int GetLineSize() const { return m_nLineSize; }
  RECT GetThumbRect() const { return m_rcThumb; }

  void SetThumbNormalImage(const wchar_t* image) {
    m_sThumbNormalImage = image;
    Invalidate();
  }
  void SetThumbHotImage(const wchar_t* image) {
    m_sThumbHotImage = image;
    Invalidate();
  }
  void SetThumbPushedImage(const wchar_t* image) {
    m_sThumbPushedImage = image;
    Invalidate();
  }
  void SetRailNormalImage(const wchar_t* image) {
    m_sRailNormalImage = image;
    Invalidate();
  }
  CDuiString GetThumbNormalImage() const { return m_sThumbNormalImage; }
  CDuiString GetRailNormalImage() const { return m_sRailNormalImage; }

  void SetPos(RECT rc, bool bNeedInvalidate = true) override;
  void SetAttribute(const wchar_t* name, const wchar_t* value) override;
  void DoEvent(TEventUI& event) override;
  void PaintStatusImage(HDC hdc) override;

 private:
  void UpdateThumb();

  CContainerUI* m_pOwner = nullptr;
  int m_nRange = 0;
  int m_nScrollPos = 0;
  int m_nLineSize = 8;
  RECT m_rcThumb{};
  bool m_bHot = false;
  bool m_bDragging = false;
  POINT m_ptDragStart{};
  int m_nDragStartPos = 0;
  CDuiString m_sThumbNormalImage;
  CDuiString m_sThumbHotImage;
  CDuiString m_sThumbPushedImage;
  CDuiString m_sRailNormalImage;
};

class CContainerUI : public CControlUI {
 public:
  CContainerUI();
  ~CContainerUI() override;

  const wchar_t* GetClass() const override { return L"ContainerUI"; }
  void* GetInterface(const wchar_t* name) override;

  CControlUI* GetItemAt(int index) const;
  int GetItemIndex(CControlUI* control) const;
  bool SetItemIndex(CControlUI* control, int index);
  int GetCount() const { return static_cast<int>(m_items.size()); }
  // Adding takes ownership; Remove and RemoveAll delete the children unless auto-destroy is off.
  virtual bool Add(CControlUI* control);
  virtual bool AddAt(CControlUI* control, int index);
  virtual bool Remove(CControlUI* control);
  virtual bool RemoveAt(int index);
  virtual void RemoveAll();
  void SetAutoDestroy(bool value) { m_bAutoDestroy = value; }

  RECT GetInset() const { return m_rcInset; }
  void SetInset(RECT rc);
  int GetChildPadding() const { return m_iChildPadding; }
  void SetChildPadding(int padding);

  // The vertical scroll bar (null unless enabled by "vscrollbar").
  CScrollBarUI* GetVerticalScrollBar() const { return m_pVerticalScrollBar.get(); }
  void EnableScrollBar(bool enable);
  void SetScrollPos(int pos);
  int GetScrollPos() const;
  void LineUp();
  void LineDown();

  void SetManager(CPaintManagerUI* manager, CControlUI* parent, bool init = true) override;
  void SetPos(RECT rc, bool bNeedInvalidate = true) override;
  void SetVisible(bool visible = true) override;
  void SetInternVisible(bool visible = true) override;
  void SetAttribute(const wchar_t* name, const wchar_t* value) override;
  CControlUI* FindControlAt(POINT pt) override;
  CControlUI* FindControlByName(const wchar_t* name) override;
  void DoEvent(TEventUI& event) override;
  void DoPaint(HDC hdc, const RECT& rcPaint) override;

 protected:
  // Places a floating child by its "pos" relative to this container.
  void SetFloatPos(int index);
  // Content area: the item rectangle minus inset (and minus the scroll bar when shown).
  RECT ContentRect() const;
  // Shows or hides the scroll bar for a content height; returns true when it is shown.
  bool ProcessScrollBar(RECT rc, int cyRequired);
  // The box layout of the vertical and horizontal layouts: children follow one another along
  // one axis; those without a size on it share the room the others leave, the last one taking
  // what the even split leaves over.
  void SetBoxPos(RECT rc, bool bNeedInvalidate, bool vertical);

  std::vector<CControlUI*> m_items;
  RECT m_rcInset{};
  int m_iChildPadding = 0;
  bool m_bAutoDestroy = true;
  std::unique_ptr<CScrollBarUI> m_pVerticalScrollBar;
  CDuiString m_sScrollBarStyle;
};

class CVerticalLayoutUI : public CContainerUI {
 public:
  const wchar_t* GetClass() const override { return L"VerticalLayoutUI"; }
  void* GetInterface(const wchar_t* name) override;
  void SetPos(RECT rc, bool bNeedInvalidate = true) override;
};

class CHorizontalLayoutUI : public CContainerUI {
 public:
  const wchar_t* GetClass() const override { return L"HorizontalLayoutUI"; }
  void* GetInterface(const wchar_t* name) override;
  void SetPos(RECT rc, bool bNeedInvalidate = true) override;
};

class CTabLayoutUI : public CContainerUI {
 public:
  const wchar_t* GetClass() const override { return L"TabLayoutUI"; }
  void* GetInterface(const wchar_t* name) override;
  bool Add(CControlUI* control) override;
  bool AddAt(CControlUI* control, int index) override;
  bool Remove(CControlUI* control) override;
  void RemoveAll() override;
  int GetCurSel() const { return m_iCurSel; }
  // Shows page `index`; returns false for an index out of range. Sends "tabselect".
  virtual bool SelectItem(int index, bool bTriggerEvent = true);
  bool SelectItem(CControlUI* control, bool bTriggerEvent = true);
  void SetPos(RECT rc, bool bNeedInvalidate = true) override;
  void SetAttribute(const wchar_t* name, const wchar_t* value) override;

 private:
  int m_iCurSel = -1;
};

class CTileLayoutUI : public CContainerUI {
 public:
  const wchar_t* GetClass() const override { return L"TileLayoutUI"; }
  void* GetInterface(const wchar_t* name) override;
  int GetColumns() const { return m_nColumns; }
  void SetColumns(int columns);
  SIZE GetItemSize() const { return m_szItem; }
  void SetItemSize(SIZE size);
  void SetPos(RECT rc, bool bNeedInvalidate = true) override;
  void SetAttribute(const wchar_t* name, const wchar_t* value) override;

 private:
  int m_nColumns = 1;
  int m_nColumnsSet = 0;  // 0: as many as the item width allows
  SIZE m_szItem{};
};

}  // namespace DuiLib
