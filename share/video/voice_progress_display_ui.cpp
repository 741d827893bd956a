#include "share/video/voice_progress_display_ui.h"

#include <cwchar>

#include "share/window/gdi_objects.h"
#include "shell/login/skin_choice.h"

namespace {

// From RGB(58, 177, 117) to RGB(254, 189, 37).
constexpr COLORREF kLitColours[CVoiceProgressDisplayUI::kBarCount] = {
    0x75B13A, 0x70B245, 0x6BB250, 0x67B35A, 0x64B465, 0x5FB46E, 0x5BB579,
    0x57B683, 0x53B68D, 0x4EB697, 0x4BB8A1, 0x47B8AB, 0x42B8B5, 0x3EB9BF,
    0x39B9C9, 0x36BBD4, 0x32BBDE, 0x2DBBE8, 0x29BCF2, 0x25BDFE};

}  // namespace

CVoiceProgressDisplayUI::CVoiceProgressDisplayUI(bool style) : m_bStyle(style) {}

void* CVoiceProgressDisplayUI::GetInterface(const wchar_t* name) {
  if (name && wcscmp(name, L"VoiceProgressDisplay") == 0) return this;
  return CLabelUI::GetInterface(name);
}

void CVoiceProgressDisplayUI::SetValue(int level) {
  m_nValue = level;
  Invalidate();
}

COLORREF CVoiceProgressDisplayUI::LitColour(int index) { return kLitColours[index]; }

COLORREF CVoiceProgressDisplayUI::UnlitColour(bool style, int skin_index) {
  if (skin_index == kSkinOrange) return 0xE6E1E0;
  return style ? 0x6C3E34 : 0x2A2625;
}

void CVoiceProgressDisplayUI::DoPaint(HDC hdc, const RECT& rcPaint) {
  CControlUI::DoPaint(hdc, rcPaint);
  const int lit = m_nValue / 5;
  const RECT& rect = GetPos();
  // Spaced so that the last bar ends inside the control at any width.
  const int step = (rect.right - rect.left - kBarWidth) / (kBarCount - 1);
  share::ScopedBrush unlit(CreateSolidBrush(UnlitColour(m_bStyle, GetSkinIndex())));
  for (int i = 0; i < kBarCount; ++i) {
    const int x = rect.left + step * i;
    // A rounded region leaves out one more column and row than a rectangle: one extra on each
    // side makes the bar exactly kBarWidth wide and as high as the control.
    share::ScopedRegion bar(
        CreateRoundRectRgn(x, rect.top, x + kBarWidth + 1, rect.bottom + 1, 2, 2));
    if (!bar) continue;
    if (i < lit) {
      share::ScopedBrush colour(CreateSolidBrush(kLitColours[i]));
      FillRgn(hdc, bar.get(), colour.get());
    } else {
      FillRgn(hdc, bar.get(), unlit.get());
    }
  }
}
