#include "share/yuv/yuv_transform.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// An I420 frame whose every sample tells where it came from.
struct Frame {
  int width;
  int height;
  std::vector<uint8_t> bytes;

  Frame(int w, int h)
      : width(w), height(h), bytes(size_t(w) * h + 2 * size_t((w + 1) / 2) * ((h + 1) / 2)) {
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) bytes[size_t(y) * w + x] = Luma(x, y);
    const int cw = (w + 1) / 2, ch = (h + 1) / 2;
    for (int y = 0; y < ch; ++y)
      for (int x = 0; x < cw; ++x) {
        bytes[size_t(w) * h + size_t(y) * cw + x] = ChromaU(x, y);
        bytes[size_t(w) * h + size_t(cw) * ch + size_t(y) * cw + x] = ChromaV(x, y);
      }
  }
  int size() const { return static_cast<int>(bytes.size()); }
  static uint8_t Luma(int x, int y) { return uint8_t(x * 7 + y * 13); }
  static uint8_t ChromaU(int x, int y) { return uint8_t(x * 3 + y * 5 + 1); }
  static uint8_t ChromaV(int x, int y) { return uint8_t(x * 11 + y * 2 + 9); }
};

uint8_t Y(const uint8_t* frame, int width, int x, int y) { return frame[size_t(y) * width + x]; }
uint8_t U(const uint8_t* frame, int width, int height, int x, int y) {
  return frame[size_t(width) * height + size_t(y) * (width / 2) + x];
}

}  // namespace

TEST(YuvTransformCrop, AlreadyWideFrameIsReturnedUnchanged) {
  CxYuvTransform t;
  Frame f(1280, 720);
  int size = f.size(), w = 1280, h = 720;
  EXPECT_EQ(t.Transform(f.bytes.data(), &size, &w, &h, 0, false, false, true), f.bytes.data());
  EXPECT_EQ(w, 1280);
  EXPECT_EQ(h, 720);
}

TEST(YuvTransformCrop, FourByThreeKeepsTheCentreRows) {
  CxYuvTransform t;
  Frame f(640, 480);
  int size = f.size(), w = 640, h = 480;
  const uint8_t* out = t.Transform(f.bytes.data(), &size, &w, &h, 0, false, false, true);
  ASSERT_NE(out, f.bytes.data());
  ASSERT_EQ(w, 640);
  ASSERT_EQ(h, 360);
  ASSERT_EQ(size, 640 * 360 * 3 / 2);
  EXPECT_EQ(Y(out, 640, 0, 0), Frame::Luma(0, 60));
  EXPECT_EQ(Y(out, 640, 639, 359), Frame::Luma(639, 419));
  EXPECT_EQ(U(out, 640, 360, 0, 0), Frame::ChromaU(0, 30));
  EXPECT_EQ(U(out, 640, 360, 319, 179), Frame::ChromaU(319, 209));
  const uint8_t* v = out + 640 * 360 + 320 * 180;
  EXPECT_EQ(v[179 * 320 + 5], Frame::ChromaV(5, 209));
}

TEST(YuvTransformCrop, KeptRowsAreEvenSoTheFrameStaysWellFormed) {
  CxYuvTransform t;
  Frame f(176, 144);  // 176 * 9 / 16 = 99 rows would leave chroma and luma out of step
  int size = f.size(), w = 176, h = 144;
  t.Transform(f.bytes.data(), &size, &w, &h, 0, false, false, true);
  EXPECT_EQ(h, 98);
  EXPECT_EQ(size, 176 * 98 * 3 / 2);
}

// Rotation, flip and mirror checked sample by sample against where each one must come from.
TEST(YuvTransformOrientation, EverySampleLandsWhereItShould) {
  struct Case {
    int rotation;
    bool flip;
    bool mirror;
    int out_w, out_h;
    // Source coordinates of output sample (x, y) for a w x h source.
    void (*from)(int x, int y, int w, int h, int* sx, int* sy);
  };
  const Case cases[] = {
      {90, false, false, 48, 64,
       [](int x, int y, int, int h, int* sx, int* sy) {
         *sx = y;
         *sy = h - 1 - x;
       }},
      {180, false, false, 64, 48,
       [](int x, int y, int w, int h, int* sx, int* sy) {
         *sx = w - 1 - x;
         *sy = h - 1 - y;
       }},
      {270, false, false, 48, 64,
       [](int x, int y, int w, int, int* sx, int* sy) {
         *sx = w - 1 - y;
         *sy = x;
       }},
      {0, true, false, 64, 48,
       [](int x, int y, int, int h, int* sx, int* sy) {
         *sx = x;
         *sy = h - 1 - y;
       }},
      {0, false, true, 64, 48,
       [](int x, int y, int w, int, int* sx, int* sy) {
         *sx = w - 1 - x;
         *sy = y;
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message()
                 << "rotation " << c.rotation << " flip " << c.flip << " mirror " << c.mirror);
    CxYuvTransform t;
    Frame f(64, 48);
    int size = f.size(), w = 64, h = 48;
    const uint8_t* out =
        t.Transform(f.bytes.data(), &size, &w, &h, c.rotation, c.mirror, c.flip, false);
    ASSERT_NE(out, f.bytes.data());
    ASSERT_EQ(w, c.out_w);
    ASSERT_EQ(h, c.out_h);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        int sx, sy;
        c.from(x, y, 64, 48, &sx, &sy);
        ASSERT_EQ(Y(out, w, x, y), Frame::Luma(sx, sy)) << x << "," << y;
      }
    for (int y = 0; y < h / 2; ++y)
      for (int x = 0; x < w / 2; ++x) {
        int sx, sy;
        c.from(x, y, 32, 24, &sx, &sy);
        ASSERT_EQ(U(out, w, h, x, y), Frame::ChromaU(sx, sy)) << x << "," << y;
      }
  }
}

TEST(YuvTransformOrientation, CropThenRotateLeavesTheCropInTheCallersFrame) {
  CxYuvTransform t;
  Frame f(640, 480);
  int size = f.size(), w = 640, h = 480;
  const uint8_t* out = t.Transform(f.bytes.data(), &size, &w, &h, 90, false, false, true);
  EXPECT_EQ(w, 360);
  EXPECT_EQ(h, 640);
  EXPECT_EQ(f.bytes[0], Frame::Luma(0, 60));  // the caller's frame now holds the crop
  EXPECT_EQ(Y(out, 360, 359, 0), Frame::Luma(0, 60));
}

TEST(YuvTransformOrientation, OddSizesAndBadInputNeverReadPastTheFrame) {
  CxYuvTransform t;
  Frame odd(33, 17);
  int size = odd.size(), w = 33, h = 17;
  t.Transform(odd.bytes.data(), &size, &w, &h, 90, true, true, false);
  EXPECT_EQ(w, 17);
  EXPECT_EQ(h, 33);

  Frame f(64, 48);
  int short_size = 100, w2 = 64, h2 = 48;
  EXPECT_EQ(t.Transform(f.bytes.data(), &short_size, &w2, &h2, 90, true, true, true),
            f.bytes.data());
  EXPECT_EQ(w2, 64);
}

TEST(YuvTransformScale, EqualSizesReturnTheInputAndOthersScale) {
  CxYuvTransform t;
  Frame f(640, 480);
  EXPECT_EQ(t.Scale(f.bytes.data(), f.size(), 640, 480, 640, 480, libyuv::kFilterBox),
            f.bytes.data());

  std::vector<uint8_t> grey(640 * 480 * 3 / 2, 128);
  const uint8_t* out =
      t.Scale(grey.data(), int(grey.size()), 640, 480, 320, 240, libyuv::kFilterBox);
  ASSERT_NE(out, grey.data());
  EXPECT_EQ(out[0], 128);
  EXPECT_EQ(out[320 * 240 + 160 * 120 * 2 - 1], 128);

  EXPECT_EQ(t.Scale(grey.data(), int(grey.size()), 640, 480, 8000, 8000, libyuv::kFilterBox),
            grey.data());
}

TEST(YuvTransformScale, ReleasedObjectReturnsItsInput) {
  CxYuvTransform t;
  t.Release();
  Frame f(64, 48);
  int size = f.size(), w = 64, h = 48;
  EXPECT_EQ(t.Transform(f.bytes.data(), &size, &w, &h, 90, false, false, false), f.bytes.data());
  EXPECT_EQ(w, 64);
}
