#pragma once

// CVoiceProgressDisplayUI: an audio level shown as a row of 20 small rounded bars. Bars up to
// the level run from green to yellow; the others have one dark colour (a lighter one in the
// orange skin). The owner window sets the level from its level timers. UI thread only.

#include "platform/duilib/UIlib.h"

class CVoiceProgressDisplayUI : public DuiLib::CLabelUI {
 public:
  static constexpr int kBarCount = 20;
  static constexpr int kBarWidth = 7;

  // `style` chooses the unlit colour outside the orange skin.
  explicit CVoiceProgressDisplayUI(bool style = false);

  const wchar_t* GetClass() const override { return L"VoiceProgressDisplayUI"; }
  void* GetInterface(const wchar_t* name) override;

  // The level, read as 0 to 100 (each 5 lights one bar); repaints.
  void SetValue(int level);
  int GetValue() const { return m_nValue; }

  void DoPaint(HDC hdc, const RECT& rcPaint) override;

  // Colours as COLORREF: lit bar `index` (0 to 19), and the unlit colour for a style and skin.
  static COLORREF LitColour(int index);
  static COLORREF UnlitColour(bool style, int skin_index);

 private:
  int m_nValue = 0;
  bool m_bStyle;
};
