#pragma once

// The basic controls: labels and texts, buttons, options and check boxes (option groups),
// progress bars and sliders, a single-line edit and a PNG-strip animation (also known to
// layouts and code by the client's name for it, PngAnim / CPngAnimUI). UI thread only.

#include "platform/duilib/ui_control.h"

namespace DuiLib {

class CLabelUI : public CControlUI {
 public:
  const wchar_t* GetClass() const override { return L"LabelUI"; }
  void* GetInterface(const wchar_t* name) override;
  void PaintText(HDC hdc) override;

 protected:
  // The text rectangle: the item rectangle minus the text padding.
  RECT TextRect() const;
};

// A label whose text wraps over several lines.
class CTextUI : public CLabelUI {
 public:
  CTextUI();
  const wchar_t* GetClass() const override { return L"TextUI"; }
  void* GetInterface(const wchar_t* name) override;
};

// A clickable label with normal, hot, pushed, focused and disabled looks. Sends "click".
class CButtonUI : public CLabelUI {
 public:
  const wchar_t* GetClass() const override { return L"ButtonUI"; }
  void* GetInterface(const wchar_t* name) override;
  bool Activate() override;
  void SetEnabled(bool enabled = true) override;

  CDuiString GetNormalImage() const { return m_sNormalImage; }
  void SetNormalImage(const wchar_t* image) {
    m_sNormalImage = image;
    Invalidate();
  }
  CDuiString GetHotImage() const { return m_sHotImage; }
  void SetHotImage(const wchar_t* image) {
    m_sHotImage = image;
    Invalidate();
  }
  CDuiString GetPushedImage() const { return m_sPushedImage; }
  void SetPushedImage(const wchar_t* image) {
    m_sPushedImage = image;
    Invalidate();
  }
  CDuiString GetDisabledImage() const { return m_sDisabledImage; }
  void SetDisabledImage(const wchar_t* image) {
    m_sDisabledImage = image;
    Invalidate();
  }
  void SetHotTextColor(DWORD argb) {
    m_dwHotTextColor = argb;
    Invalidate();
  }
  void SetPushedTextColor(DWORD argb) {
    m_dwPushedTextColor = argb;
    Invalidate();
  }
  void SetHotBkColor(DWORD argb) {
    m_dwHotBkColor = argb;
    Invalidate();
  }
  bool IsHot() const { return m_bHot; }
  bool IsPushed() const { return m_bPushed; }

  void SetAttribute(const wchar_t* name, const wchar_t* value) override;
  void DoEvent(TEventUI& event) override;
  void PaintBkColor(HDC hdc) override;
  void PaintStatusImage(HDC hdc) override;
  void PaintText(HDC hdc) override;

 protected:
  DWORD StateTextColor() const;

  bool m_bHot = false;
  bool m_bPushed = false;
  bool m_bPushedInside = false;
  CDuiString m_sNormalImage;
  CDuiString m_sHotImage;
  CDuiString m_sPushedImage;
  CDuiString m_sFocusedImage;
  CDuiString m_sDisabledImage;
  DWORD m_dwHotTextColor = 0;
  DWORD m_dwPushedTextColor = 0;
  DWORD m_dwHotBkColor = 0;
};

// A button with a selected state. Options that share a group keep exactly one selection: a
// click on an unselected member selects it (the previous one is cleared silently) and sends
// "selectchanged" for it; a click on the selected member changes nothing. Options without a
// group toggle.
class COptionUI : public CButtonUI {
 public:
  ~COptionUI() override;
  const wchar_t* GetClass() const override { return L"OptionUI"; }
  void* GetInterface(const wchar_t* name) override;
  void SetManager(CPaintManagerUI* manager, CControlUI* parent, bool init = true) override;

  CDuiString GetGroup() const { return m_sGroupName; }
  void SetGroup(const wchar_t* group);
  bool IsSelected() const { return m_bSelected; }
  // Changes the selection; sends "selectchanged" when it changed and bTriggerEvent is true.
  virtual void Selected(bool bSelected, bool bTriggerEvent = true);
  bool Activate() override;

  void SetSelectedImage(const wchar_t* image) {
    m_sSelectedImage = image;
    Invalidate();
  }
  CDuiString GetSelectedImage() const { return m_sSelectedImage; }
  void SetSelectedTextColor(DWORD argb) {
    m_dwSelectedTextColor = argb;
    Invalidate();
  }
  void SetSelectedBkColor(DWORD argb) {
    m_dwSelectedBkColor = argb;
    Invalidate();
  }

  void SetAttribute(const wchar_t* name, const wchar_t* value) override;
  void PaintBkColor(HDC hdc) override;
  void PaintStatusImage(HDC hdc) override;
  void PaintText(HDC hdc) override;

 protected:
  bool m_bSelected = false;
  CDuiString m_sGroupName;
  CDuiString m_sSelectedImage;
  CDuiString m_sSelectedHotImage;
  DWORD m_dwSelectedTextColor = 0;
  DWORD m_dwSelectedBkColor = 0;
};

class CCheckBoxUI : public COptionUI {
 public:
  const wchar_t* GetClass() const override { return L"CheckBoxUI"; }
  void* GetInterface(const wchar_t* name) override;
  void SetCheck(bool check, bool bTriggerEvent = true) { Selected(check, bTriggerEvent); }
  bool GetCheck() const { return IsSelected(); }
};

class CProgressUI : public CLabelUI {
 public:
  const wchar_t* GetClass() const override { return L"ProgressUI"; }
  void* GetInterface(const wchar_t* name) override;
  int GetMinValue() const { return m_nMin; }
  void SetMinValue(int value);
  int GetMaxValue() const { return m_nMax; }
  void SetMaxValue(int value);
  int GetValue() const { return m_nValue; }
  // Clamped to [min, max]; sends nothing.
  void SetValue(int value);
  void SetForeImage(const wchar_t* image) {
    m_sForeImage = image;
    Invalidate();
  }
  void SetAttribute(const wchar_t* name, const wchar_t* value) override;
  void PaintStatusImage(HDC hdc) override;

 protected:
  // The filled part of the bar.
  RECT ForeRect() const;
  // The share of `length` that `value` stands for in [min, max]; 0 for an empty range.
  int PartOf(int length, int value) const;

  int m_nMin = 0;
  int m_nMax = 100;
  int m_nValue = 0;
  CDuiString m_sForeImage;
  DWORD m_dwForeColor = 0;
};

// A horizontal slider. Dragging the thumb or clicking the bar moves the value; "valuechanged"
// is sent when the mouse is released after the value changed, "movevaluechanged" while dragging.
class CSliderUI : public CProgressUI {
 public:
  const wchar_t* GetClass() const override { return L"SliderUI"; }
  void* GetInterface(const wchar_t* name) override;
  RECT GetThumbRect() const;
  void SetThumbImage(const wchar_t* image) {
    m_sThumbImage = image;
    Invalidate();
  }
  void SetAttribute(const wchar_t* name, const wchar_t* value) override;
  void DoEvent(TEventUI& event) override;
  void PaintStatusImage(HDC hdc) override;

 private:
  int ValueAt(int x) const;

  SIZE m_szThumb{10, 10};
  int m_nStep = 1;
  bool m_bDragging = false;
  bool m_bHot = false;
  int m_nValueAtPress = 0;
  CDuiString m_sThumbImage;
  CDuiString m_sThumbHotImage;
  CDuiString m_sThumbPushedImage;
};

// A single-line text entry drawn by the library: typing, Backspace, Delete, arrows, Home and
// End; at most "maxchar" characters; a prompt text while empty and unfocused. Sends
// "textchanged" after each change and "return" on Enter.
class CEditUI : public CLabelUI {
 public:
  const wchar_t* GetClass() const override { return L"EditUI"; }
  void* GetInterface(const wchar_t* name) override;
  bool WantsFocus() const override { return IsEnabled() && !m_bReadOnly; }
  int GetMaxChar() const { return m_nMaxChar; }
  void SetMaxChar(int count);
  CDuiString GetPromptText() const;
  void SetPromptText(const wchar_t* text) {
    m_sPromptText = text ? text : L"";
    Invalidate();
  }
  void SetPromptTextId(const wchar_t* id) {
    m_sPromptTextId = id ? id : L"";
    Invalidate();
  }
  bool IsReadOnly() const { return m_bReadOnly; }
  void SetReadOnly(bool value) { m_bReadOnly = value; }
  void SetText(const wchar_t* text) override;
  int GetCaretPos() const { return m_nCaret; }
  void SetAttribute(const wchar_t* name, const wchar_t* value) override;
  void DoEvent(TEventUI& event) override;
  void PaintText(HDC hdc) override;

 private:
  void ChangeText(const CDuiString& text, int caret);

  int m_nMaxChar = 255;
  int m_nCaret = 0;
  bool m_bReadOnly = false;
  CDuiString m_sPromptText;
  CDuiString m_sPromptTextId;
  DWORD m_dwPromptColor = 0xFFA0A4AE;
};

// An animation from one PNG holding "frames" pictures side by side, advanced every
// "interval" milliseconds while playing.
class CAnimationUI : public CControlUI {
 public:
  ~CAnimationUI() override;
  const wchar_t* GetClass() const override { return L"AnimationUI"; }
  void* GetInterface(const wchar_t* name) override;
  void SetManager(CPaintManagerUI* manager, CControlUI* parent, bool init = true) override;
  void PlayAnimation();
  void StopAnimation();
  bool IsPlaying() const { return m_bPlaying; }
  int GetFrameCount() const { return m_nFrames; }
  int GetCurrentFrame() const { return m_nFrame; }
  void SetAttribute(const wchar_t* name, const wchar_t* value) override;
  void DoEvent(TEventUI& event) override;
  void PaintStatusImage(HDC hdc) override;

 private:
  CDuiString m_sImage;
  int m_nFrames = 1;
  int m_nInterval = 100;
  int m_nFrame = 0;
  bool m_bPlaying = false;
  bool m_bTimerSet = false;
};

// The PNG-strip animation under the name the client's layouts use ("PngAnim").
class CPngAnimUI : public CAnimationUI {
 public:
  const wchar_t* GetClass() const override { return L"PngAnimUI"; }
  void* GetInterface(const wchar_t* name) override;
};

}  // namespace DuiLib
