// The voice level meter painted into a memory context at two widths.

#include "share/video/voice_progress_display_ui.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "shell/login/skin_choice.h"
#include "tests/support/window_pixels.h"

namespace {

constexpr int kHeight = 20;
constexpr std::uint32_t kPaper = 0xFF00FF;  // Magenta where nothing is painted.

std::uint32_t ToRgb(COLORREF colour) {
  return (GetRValue(colour) << 16) | (GetGValue(colour) << 8) | GetBValue(colour);
}

// The meter at `level` painted over magenta into a `width` x 20 picture (0x00RRGGBB).
std::vector<std::uint32_t> Paint(CVoiceProgressDisplayUI& meter, int width, int level) {
  tarvo_test::DibCanvas canvas(width, kHeight);
  std::fill(canvas.pixels(), canvas.pixels() + width * kHeight, kPaper);
  const RECT rect{0, 0, width, kHeight};
  meter.SetPos(rect, false);
  meter.SetValue(level);
  meter.DoPaint(canvas.dc(), rect);
  GdiFlush();
  std::vector<std::uint32_t> out(canvas.pixels(), canvas.pixels() + width * kHeight);
  for (auto& pixel : out) pixel &= 0xFFFFFF;
  return out;
}

int LitBars(const std::vector<std::uint32_t>& picture, int width) {
  const int step = (width - 7) / 19;
  int lit = 0;
  for (int i = 0; i < 20; ++i) {
    const std::uint32_t centre = picture[(kHeight / 2) * width + step * i + 3];
    if (centre == ToRgb(CVoiceProgressDisplayUI::LitColour(i))) ++lit;
  }
  return lit;
}

TEST(VoiceProgressDisplay, LitBarsFollowTheLevel) {
  SetSkinIndex(kSkinBlue);
  const struct {
    int level;
    int lit;
  } levels[] = {{0, 0}, {5, 1}, {9, 1}, {10, 2}, {99, 19}, {100, 20}, {250, 20}, {-3, 0}};
  for (int width : {200, 380}) {
    CVoiceProgressDisplayUI meter;
    for (const auto& entry : levels) {
      EXPECT_EQ(LitBars(Paint(meter, width, entry.level), width), entry.lit)
          << "level " << entry.level << " width " << width;
    }
  }
}

TEST(VoiceProgressDisplay, BarsAreSevenPixelsWideAtAnyWidth) {
  for (int width : {200, 380}) {
    CVoiceProgressDisplayUI meter;
    const auto picture = Paint(meter, width, 100);
    const int step = (width - 7) / 19;
    const int row = kHeight / 2;
    for (int i = 0; i < 20; ++i) {
      const int left = step * i;
      for (int x = left; x < left + 7; ++x) {
        EXPECT_NE(picture[row * width + x], kPaper) << "bar " << i << " x " << x;
      }
      ASSERT_LE(left + 7, width) << "bar " << i;
      if (left + 7 < width) {
        EXPECT_EQ(picture[row * width + left + 7], kPaper) << "bar " << i;
      }
    }
  }
}

TEST(VoiceProgressDisplay, UnlitColourFollowsTheStyleAndTheOrangeSkin) {
  const struct {
    int skin;
    bool style;
    std::uint32_t colour;  // COLORREF
  } cases[] = {{kSkinBlue, false, 0x2A2625},
               {kSkinBlue, true, 0x6C3E34},
               {kSkinOrange, false, 0xE6E1E0},
               {kSkinOrange, true, 0xE6E1E0}};
  for (const auto& entry : cases) {
    SetSkinIndex(entry.skin);
    CVoiceProgressDisplayUI meter(entry.style);
    const auto picture = Paint(meter, 200, 0);
    EXPECT_EQ(picture[(kHeight / 2) * 200 + 3], ToRgb(entry.colour))
        << entry.skin << " " << entry.style;
  }
  SetSkinIndex(kSkinBlue);
}

TEST(VoiceProgressDisplay, IsFoundByItsInterfaceName) {
  CVoiceProgressDisplayUI meter;
  EXPECT_EQ(meter.GetInterface(L"VoiceProgressDisplay"), &meter);
  EXPECT_TRUE(meter.GetInterface(L"Label"));
  meter.SetValue(42);
  EXPECT_EQ(meter.GetValue(), 42);
}

}  // namespace
