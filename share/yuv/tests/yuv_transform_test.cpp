#include "share/yuv/yuv_transform.h"

#include <windows.h>

#include <gtest/gtest.h>
#include <libyuv/convert.h>
#include <libyuv/planar_functions.h>
#include <libyuv/rotate.h>
#include <libyuv/video_common.h>

#include <algorithm>
#include <cstring>
#include <string>
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
  return frame[size_t(width) * height + size_t(y) * ((width + 1) / 2) + x];
}

size_t I420Bytes(int w, int h) { return size_t(w) * h + 2 * size_t((w + 1) / 2) * ((h + 1) / 2); }

// A copy of some bytes that ends exactly where a no-access page begins, so that reading one byte
// past it faults.
class GuardedBytes {
 public:
  explicit GuardedBytes(const uint8_t* bytes, size_t size) : size_(size) {
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    const size_t page = info.dwPageSize;
    const size_t pages = (size + page - 1) / page;
    base_ = static_cast<uint8_t*>(
        VirtualAlloc(nullptr, (pages + 1) * page, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
    DWORD old = 0;
    if (base_ == nullptr || !VirtualProtect(base_ + pages * page, page, PAGE_NOACCESS, &old)) {
      ADD_FAILURE() << "no guarded memory";
      return;
    }
    data_ = base_ + pages * page - size;
    std::memcpy(data_, bytes, size);
  }
  ~GuardedBytes() {
    if (base_ != nullptr) VirtualFree(base_, 0, MEM_RELEASE);
  }
  GuardedBytes(const GuardedBytes&) = delete;
  GuardedBytes& operator=(const GuardedBytes&) = delete;
  uint8_t* data() const { return data_; }
  std::vector<uint8_t> bytes() const { return std::vector<uint8_t>(data_, data_ + size_); }

 private:
  size_t size_;
  uint8_t* base_ = nullptr;
  uint8_t* data_ = nullptr;
};

// The three planes of an I420 frame of w x h in |bytes|, chroma planes of half the size rounded
// up, as libyuv lays them out.
struct Planes {
  Planes(uint8_t* bytes, int w, int h)
      : y(bytes),
        u(bytes + size_t(w) * h),
        v(u + size_t((w + 1) / 2) * ((h + 1) / 2)),
        y_stride(w),
        c_stride((w + 1) / 2) {}
  uint8_t* y;
  uint8_t* u;
  uint8_t* v;
  int y_stride;
  int c_stride;
};

// Where a result first differs from the expected frame; empty when they are equal.
std::string FirstDifference(const uint8_t* got, const std::vector<uint8_t>& expected) {
  for (size_t i = 0; i < expected.size(); ++i) {
    if (got[i] != expected[i]) {
      return "byte " + std::to_string(i) + " of " + std::to_string(expected.size()) + " is " +
             std::to_string(got[i]) + ", not " + std::to_string(expected[i]);
    }
  }
  return "";
}

// What libyuv itself makes of a frame for each step.
std::vector<uint8_t> LibyuvRotate(const Frame& f, libyuv::RotationMode mode) {
  const bool swap = mode == libyuv::kRotate90 || mode == libyuv::kRotate270;
  const int ow = swap ? f.height : f.width, oh = swap ? f.width : f.height;
  std::vector<uint8_t> in = f.bytes, out(I420Bytes(ow, oh));
  Planes s(in.data(), f.width, f.height), d(out.data(), ow, oh);
  EXPECT_EQ(libyuv::I420Rotate(s.y, s.y_stride, s.u, s.c_stride, s.v, s.c_stride, d.y, d.y_stride,
                               d.u, d.c_stride, d.v, d.c_stride, f.width, f.height, mode),
            0);
  return out;
}

std::vector<uint8_t> LibyuvMirror(const Frame& f) {
  std::vector<uint8_t> in = f.bytes, out(in.size());
  Planes s(in.data(), f.width, f.height), d(out.data(), f.width, f.height);
  EXPECT_EQ(libyuv::I420Mirror(s.y, s.y_stride, s.u, s.c_stride, s.v, s.c_stride, d.y, d.y_stride,
                               d.u, d.c_stride, d.v, d.c_stride, f.width, f.height),
            0);
  return out;
}

// A negative height makes libyuv copy the rows bottom up.
std::vector<uint8_t> LibyuvFlip(const Frame& f) {
  std::vector<uint8_t> in = f.bytes, out(in.size());
  Planes s(in.data(), f.width, f.height), d(out.data(), f.width, f.height);
  EXPECT_EQ(libyuv::I420Copy(s.y, s.y_stride, s.u, s.c_stride, s.v, s.c_stride, d.y, d.y_stride,
                             d.u, d.c_stride, d.v, d.c_stride, f.width, -f.height),
            0);
  return out;
}

// The centred 16:9 crop: an even number of rows, at most the frame's.
std::vector<uint8_t> LibyuvCrop(const Frame& f, int* rows) {
  *rows = std::min(f.width * 9 / 16 / 2 * 2, f.height);
  std::vector<uint8_t> out(I420Bytes(f.width, *rows));
  Planes d(out.data(), f.width, *rows);
  EXPECT_EQ(libyuv::ConvertToI420(f.bytes.data(), f.bytes.size(), d.y, d.y_stride, d.u, d.c_stride,
                                  d.v, d.c_stride, 0, (f.height - *rows) / 2, f.width, f.height,
                                  f.width, *rows, libyuv::kRotate0, libyuv::FOURCC_I420),
            0);
  return out;
}

std::vector<uint8_t> LibyuvScale(const Frame& f, int ow, int oh) {
  std::vector<uint8_t> in = f.bytes, out(I420Bytes(ow, oh));
  Planes s(in.data(), f.width, f.height), d(out.data(), ow, oh);
  EXPECT_EQ(libyuv::I420Scale(s.y, s.y_stride, s.u, s.c_stride, s.v, s.c_stride, f.width,
                              f.height, d.y, d.y_stride, d.u, d.c_stride, d.v, d.c_stride, ow, oh,
                              libyuv::kFilterBilinear),
            0);
  return out;
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

TEST(YuvTransformOrientation, BadInputIsReturnedUnchanged) {
  CxYuvTransform t;
  Frame f(64, 48);
  int short_size = 100, w2 = 64, h2 = 48;
  EXPECT_EQ(t.Transform(f.bytes.data(), &short_size, &w2, &h2, 90, true, true, true),
            f.bytes.data());
  EXPECT_EQ(w2, 64);
}

// Odd sizes use the layout libyuv, the camera and the decoders use: chroma planes of
// ((w + 1) / 2) x ((h + 1) / 2). Each step's result equals libyuv's own, sample by sample, and
// no step reads past a frame that ends at a no-access page.
TEST(YuvTransformOddSizes, EveryStepMatchesLibyuvAndStaysInsideTheFrame) {
  struct Size {
    int w, h;
  };
  for (const Size size : {Size{33, 17}, Size{641, 361}, Size{641, 371}, Size{18, 33},
                          Size{35, 20}, Size{64, 48}}) {
    SCOPED_TRACE(testing::Message() << size.w << "x" << size.h);
    const Frame f(size.w, size.h);
    struct Step {
      const char* what;
      int rotation;
      bool mirror, flip, crop;
      std::vector<uint8_t> expected;
      int out_w, out_h;
    };
    int crop_rows = 0;
    std::vector<uint8_t> cropped = LibyuvCrop(f, &crop_rows);
    const bool already_wide = size.w / 16 == size.h / 9 || size.h / 16 == size.w / 9;
    const Step steps[] = {
        {"rotate 90", 90, false, false, false, LibyuvRotate(f, libyuv::kRotate90), f.height,
         f.width},
        {"rotate 180", 180, false, false, false, LibyuvRotate(f, libyuv::kRotate180), f.width,
         f.height},
        {"rotate 270", 270, false, false, false, LibyuvRotate(f, libyuv::kRotate270), f.height,
         f.width},
        {"flip", 0, false, true, false, LibyuvFlip(f), f.width, f.height},
        {"mirror", 0, true, false, false, LibyuvMirror(f), f.width, f.height},
        {"crop", 0, false, false, true, already_wide ? f.bytes : cropped, f.width,
         already_wide ? f.height : crop_rows},
    };
    for (const Step& step : steps) {
      SCOPED_TRACE(step.what);
      CxYuvTransform t;
      GuardedBytes frame(f.bytes.data(), f.bytes.size());
      int bytes = f.size(), w = f.width, h = f.height;
      const uint8_t* out = t.Transform(frame.data(), &bytes, &w, &h, step.rotation, step.mirror,
                                       step.flip, step.crop);
      ASSERT_EQ(w, step.out_w);
      ASSERT_EQ(h, step.out_h);
      ASSERT_EQ(size_t(bytes), step.expected.size());
      EXPECT_EQ(FirstDifference(out, step.expected), "");
    }

    // All four steps in one call: each works from the one before.
    {
      CxYuvTransform t;
      GuardedBytes frame(f.bytes.data(), f.bytes.size());
      int bytes = f.size(), w = f.width, h = f.height;
      const uint8_t* out = t.Transform(frame.data(), &bytes, &w, &h, 90, true, true, true);
      Frame step(f.width, already_wide ? f.height : crop_rows);
      step.bytes = already_wide ? f.bytes : cropped;
      Frame rotated(step.height, step.width);
      rotated.bytes = LibyuvRotate(step, libyuv::kRotate90);
      Frame flipped(rotated.width, rotated.height);
      flipped.bytes = LibyuvFlip(rotated);
      ASSERT_EQ(w, flipped.width);
      ASSERT_EQ(h, flipped.height);
      ASSERT_EQ(size_t(bytes), flipped.bytes.size());
      EXPECT_EQ(FirstDifference(out, LibyuvMirror(flipped)), "") << "all steps";
      EXPECT_EQ(FirstDifference(frame.data(), flipped.bytes), "")
          << "the frame holds the second-to-last result";
    }

    for (const Size target : {Size{size.w / 2, size.h / 2}, Size{65, 35}}) {
      CxYuvTransform t;
      GuardedBytes frame(f.bytes.data(), f.bytes.size());
      const uint8_t* out = t.Scale(frame.data(), f.size(), f.width, f.height, target.w, target.h,
                                   libyuv::kFilterBilinear);
      ASSERT_NE(out, frame.data());
      EXPECT_EQ(FirstDifference(out, LibyuvScale(f, target.w, target.h)), "")
          << "scale to " << target.w << "x" << target.h;
    }
  }
}

// A frame shorter than its layout (w * h * 3 / 2 bytes for odd sizes) is refused by every step
// without a byte read past its end.
TEST(YuvTransformOddSizes, FramesShorterThanTheirLayoutAreRefused) {
  const Frame f(641, 361);
  const size_t short_size = size_t(641) * 361 * 3 / 2;
  ASSERT_LT(short_size, f.bytes.size());
  GuardedBytes frame(f.bytes.data(), short_size);
  CxYuvTransform t;
  struct Step {
    int rotation;
    bool mirror, flip, crop;
  };
  for (const Step& s : {Step{90, false, false, false}, Step{180, false, false, false},
                        Step{0, true, false, false}, Step{0, false, true, false},
                        Step{0, false, false, true}}) {
    int bytes = int(short_size), w = 641, h = 361;
    EXPECT_EQ(t.Transform(frame.data(), &bytes, &w, &h, s.rotation, s.mirror, s.flip, s.crop),
              frame.data());
    EXPECT_EQ(bytes, int(short_size));
    EXPECT_EQ(w, 641);
  }
  EXPECT_EQ(t.Scale(frame.data(), int(short_size), 641, 361, 320, 180, libyuv::kFilterBox),
            frame.data());
  EXPECT_EQ(frame.bytes(), std::vector<uint8_t>(f.bytes.begin(), f.bytes.begin() + short_size));
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
