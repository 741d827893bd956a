#include <gtest/gtest.h>

#include <vector>

#include "zq_skin_mask.h"

namespace {

// A BGR frame: a skin-coloured disc on a blue background, with a dark 'eye' inside the disc.
std::vector<unsigned char> discFrame(int w, int h) {
  std::vector<unsigned char> f(static_cast<size_t>(w) * h * 3);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      const int dx = x - w / 2, dy = y - h / 2;
      const bool disc = dx * dx + dy * dy < (h / 3) * (h / 3);
      const bool eye = dx * dx + (dy + h / 8) * (dy + h / 8) < 9;
      unsigned char* p = &f[(static_cast<size_t>(y) * w + x) * 3];
      // B, G, R
      if (eye) {
        p[0] = 40, p[1] = 40, p[2] = 40;
      } else if (disc) {
        p[0] = 120, p[1] = 150, p[2] = 210;
      } else {
        p[0] = 200, p[1] = 90, p[2] = 40;
      }
    }
  }
  return f;
}

TEST(SkinMaskTest, SkinDiscBecomesMaskWithItsHolesClosed) {
  ZqSkinMask mask;
  mask.setThreadNumber(2);
  mask.setMNNForwardType(0);
  mask.setBlurEffectParams(7, 180);
  ASSERT_TRUE(mask.init("no-such-folder", 112));
  const int w = 320, h = 180;
  std::vector<unsigned char> frame = discFrame(w, h);
  std::vector<unsigned char> out(112 * 112, 7);
  ASSERT_TRUE(mask.segmentMask(frame.data(), w, h, 7, 0, 112, 112, out.data()));
  auto at = [&](int x, int y) { return out[y * 112 + x]; };
  EXPECT_EQ(255, at(56, 56));      // the disc's centre
  EXPECT_EQ(255, at(56, 56 - 14));  // the eye, closed by the blur
  EXPECT_EQ(0, at(3, 3));          // background
  EXPECT_EQ(0, at(108, 56));
  for (unsigned char v : out) EXPECT_TRUE(v == 0 || v == 255);
  mask.release();
  EXPECT_FALSE(mask.segmentMask(frame.data(), w, h, 7, 0, 112, 112, out.data()));
}

TEST(SkinMaskTest, BadArgumentsLeaveTheOutputAlone) {
  ZqSkinMask mask;
  std::vector<unsigned char> frame = discFrame(32, 18), out(16, 7);
  EXPECT_FALSE(mask.segmentMask(frame.data(), 32, 18, 7, 0, 4, 4, out.data()));  // before init
  ASSERT_TRUE(mask.init("", 4));
  struct Case {
    const unsigned char* data;
    int w, h, format, orientation, ow, oh;
  } cases[] = {{nullptr, 32, 18, 7, 0, 4, 4}, {frame.data(), 0, 18, 7, 0, 4, 4},
               {frame.data(), 32, -1, 7, 0, 4, 4}, {frame.data(), 32, 18, 8, 0, 4, 4},
               {frame.data(), 32, 18, 7, 1, 4, 4}, {frame.data(), 32, 18, 7, 0, 0, 4}};
  for (const Case& c : cases) {
    EXPECT_FALSE(mask.segmentMask(c.data, c.w, c.h, c.format, c.orientation, c.ow, c.oh,
                                  out.data()));
  }
  EXPECT_EQ(std::vector<unsigned char>(16, 7), out);
  // A higher threshold shrinks the mask at the disc's border.
  std::vector<unsigned char> loose(16), strict(16);
  mask.setBlurEffectParams(3, 1);
  ASSERT_TRUE(mask.segmentMask(frame.data(), 32, 18, 7, 0, 4, 4, loose.data()));
  mask.setBlurEffectParams(3, 255);
  ASSERT_TRUE(mask.segmentMask(frame.data(), 32, 18, 7, 0, 4, 4, strict.data()));
  int looseCount = 0, strictCount = 0;
  for (int i = 0; i < 16; ++i) looseCount += loose[i] != 0, strictCount += strict[i] != 0;
  EXPECT_GT(looseCount, strictCount);
}

}  // namespace
