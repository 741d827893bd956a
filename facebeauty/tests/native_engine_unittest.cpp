// The native engine end to end: the real face detector over the tiny stand-in networks, the
// skin segmenter, the library's own GL environment.
#include <gtest/gtest.h>

#include <libyuv/convert.h>
#include <libyuv/convert_from_argb.h>

#include <opencv2/imgproc.hpp>
#include <string>
#include <vector>

#include "fb_log.h"
#include "native_beauty_engine.h"
#include "native_models.h"

namespace QUENMAR_FACEBEAUTY {
namespace {

using Bytes = std::vector<unsigned char>;

class NativeBeautyEngineTest : public testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(0, engine_.init(modelFolder().c_str(), "", 2, skin_)); }
  void TearDown() override { engine_.release(); }
  // One frame through process (readBack as asked), then the tasks it queued finish.
  int run(Bytes& data, int w, int h, int format, bool readBack = false) {
    zq_image_info_st frame{w, h, 0, format, data.data(), 0, readBack};
    const int result = engine_.process(&frame);
    engine_.waitForTasks();
    return result;
  }
  bool skin_ = true;
  NativeBeautyEngine engine_;
};

TEST_F(NativeBeautyEngineTest, CopySizes) {
  struct Case {
    int w, h, copyH;
  } cases[] = {{1280, 720, 180}, {1000, 750, 240}, {640, 362, 182}};
  for (const Case& c : cases) {
    Bytes frame(static_cast<size_t>(c.w) * c.h * 4, 90);
    EXPECT_GT(run(frame, c.w, c.h, 8), 0);
    EXPECT_EQ(320, engine_.copyWidth());
    EXPECT_EQ(c.copyH, engine_.copyHeight()) << c.w << "x" << c.h;
  }
}

// The read-back is two calls old: data is unchanged after the first two calls, the third writes
// the first frame's result; a size change starts over.
TEST_F(NativeBeautyEngineTest, ReadBackInEveryFormat) {
  const int w = 64, h = 36;
  engine_.setSimpleMode(true);
  auto rgbaOf = [&](unsigned char r, unsigned char g, unsigned char b) {
    Bytes p(w * h * 4);
    for (int i = 0; i < w * h; ++i) p[i * 4] = r, p[i * 4 + 1] = g, p[i * 4 + 2] = b, p[i * 4 + 3] = 255;
    return p;
  };
  // Frames in RGBA of three flat colours; what they become in each format.
  const Bytes colours[3] = {rgbaOf(200, 60, 30), rgbaOf(30, 200, 60), rgbaOf(60, 30, 200)};
  auto convert = [&](const Bytes& rgba, int format) {
    cv::Mat in(h, w, CV_8UC4, const_cast<unsigned char*>(rgba.data()));
    Bytes out;
    switch (format) {
      case 8: return rgba;
      case 6: out.resize(w * h * 4); cv::cvtColor(in, cv::Mat(h, w, CV_8UC4, out.data()), cv::COLOR_RGBA2BGRA); return out;
      case 7: out.resize(w * h * 3); cv::cvtColor(in, cv::Mat(h, w, CV_8UC3, out.data()), cv::COLOR_RGBA2BGR); return out;
      case 9: out.resize(w * h * 3); cv::cvtColor(in, cv::Mat(h, w, CV_8UC3, out.data()), cv::COLOR_RGBA2RGB); return out;
      case 2:
        out.resize(w * h * 3 / 2);
        libyuv::ABGRToI420(rgba.data(), w * 4, out.data(), w, out.data() + w * h, w / 2,
                           out.data() + w * h * 5 / 4, w / 2, w, h);
        return out;
      default:
        out.resize(w * h * 3 / 2);
        libyuv::ABGRToNV21(rgba.data(), w * 4, out.data(), w, out.data() + w * h, w, w, h);
        return out;
    }
  };
  auto close = [](const Bytes& a, const Bytes& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
      if (std::abs(int(a[i]) - int(b[i])) > 6) return false;
    return true;
  };
  for (int format : {8, 9, 7, 6, 2, 4}) {
    engine_.release();  // a fresh engine: its read-back starts with the warm-up
    ASSERT_EQ(0, engine_.init(modelFolder().c_str(), "", 2, true));
    engine_.setSimpleMode(true);
    Bytes frames[3];
    for (int i = 0; i < 3; ++i) frames[i] = convert(colours[i], format);
    const Bytes original[3] = {frames[0], frames[1], frames[2]};
    ASSERT_GT(run(frames[0], w, h, format, true), 0) << format;
    EXPECT_EQ(original[0], frames[0]) << format;
    ASSERT_GT(run(frames[1], w, h, format, true), 0);
    EXPECT_EQ(original[1], frames[1]) << format;
    ASSERT_GT(run(frames[2], w, h, format, true), 0);
    EXPECT_TRUE(close(original[0], frames[2])) << "format " << format;
    // A new size remakes the GL objects and warms up again.
    Bytes largeFrame(convert(colours[0], format).size() * 4, 77);
    const Bytes largeOriginal = largeFrame;
    ASSERT_GT(run(largeFrame, w * 2, h * 2, format, true), 0);
    EXPECT_EQ(largeOriginal, largeFrame) << format;
    // Back to the first size: warm-up again.
    Bytes again = convert(colours[2], format);
    const Bytes againOriginal = again;
    ASSERT_GT(run(again, w, h, format, true), 0);
    EXPECT_EQ(againOriginal, again) << format;
  }
}

TEST_F(NativeBeautyEngineTest, RefusedFramesAreLeftAlone) {
  Bytes frame(64 * 36 * 4, 50);
  const Bytes original = frame;
  testing::internal::CaptureStdout();
  EXPECT_EQ(-3, run(frame, 64, 36, 5, true));
  EXPECT_EQ("format 5 is not support\n", testing::internal::GetCapturedStdout());
  EXPECT_EQ(-1, run(frame, 0, 36, 8));
  EXPECT_EQ(-1, run(frame, 64, -2, 8));
  EXPECT_EQ(-1, run(frame, 63, 36, 4));  // odd chroma planes
  EXPECT_EQ(-1, run(frame, 64, 35, 2));
  zq_image_info_st none{64, 36, 0, 8, nullptr, 0, false};
  EXPECT_EQ(-2, engine_.process(&none));
  EXPECT_EQ(-1, engine_.process(nullptr));
  EXPECT_EQ(original, frame);
}

TEST_F(NativeBeautyEngineTest, FacesReachTheChainUnlessSimple) {
  const int w = 640, h = 360;
  // A 16-pixel patch on the 32-pixel grid: 8 pixels inside one detector cell of the copy.
  const Bytes picture = patchFrame(w, h, {{320, 160}}, 16);
  engine_.setBeautyLevel(ZQ_BEAUTY_THIN_FACE, 3.0f);
  engine_.setBeautyLevel(ZQ_BEAUTY_BIG_EYE, 3.0f);
  Bytes out;
  for (int i = 0; i < 6 && engine_.lastFaceCount() == 0; ++i) {
    out = picture;
    run(out, w, h, 8);
  }
  ASSERT_EQ(1, engine_.lastFaceCount());
  // Three more frames with read-back: the third writes the first of them.
  Bytes full;
  for (int i = 0; i < 3; ++i) {
    full = picture;
    run(full, w, h, 8, true);
  }
  engine_.setSimpleMode(true);
  const int detections = engine_.detectionsRun();
  Bytes simple;
  for (int i = 0; i < 3; ++i) {
    simple = picture;
    run(simple, w, h, 8, true);
  }
  EXPECT_EQ(detections, engine_.detectionsRun());  // simple mode queues no detection
  EXPECT_NE(full, simple);
  // The skin task still runs in simple mode and its mask reaches the beauty object.
  EXPECT_EQ(112u * 112u, engine_.lastMask().size());
}

TEST_F(NativeBeautyEngineTest, SevenPatchesReachTheChainAsFiveFaces) {
  const int w = 1280, h = 720;
  std::vector<std::pair<int, int>> at;
  for (int i = 0; i < 7; ++i) at.emplace_back(128 + (i % 4) * 256, 128 + (i / 4) * 320);
  const Bytes picture = patchFrame(w, h, at, 32);
  for (int i = 0; i < 6 && engine_.lastFaceCount() < 5; ++i) {
    Bytes frame = picture;
    run(frame, w, h, 8);
  }
  EXPECT_EQ(5, engine_.lastFaceCount());
}

TEST_F(NativeBeautyEngineTest, UninitWhileTasksAreQueued) {
  Bytes frame = patchFrame(320, 180, {{100, 40}}, 60);
  for (int i = 0; i < 5; ++i) {
    zq_image_info_st info{320, 180, 0, 8, frame.data(), 0, false};
    EXPECT_GT(engine_.process(&info), 0);
  }
  engine_.release();
  zq_image_info_st info{320, 180, 0, 8, frame.data(), 0, false};
  EXPECT_EQ(-1, engine_.process(&info));
  EXPECT_FALSE(engine_.isInited());
}

class NativeWithoutSkinTest : public NativeBeautyEngineTest {
 protected:
  NativeWithoutSkinTest() { skin_ = false; }
};

TEST_F(NativeWithoutSkinTest, NoSegmenterAndTheMaskStaysWhite) {
  EXPECT_FALSE(engine_.hasSkinMask());
  Bytes frame = patchFrame(320, 180, {{100, 40}}, 60);
  for (int i = 0; i < 3; ++i) run(frame, 320, 180, 8);
  EXPECT_TRUE(engine_.lastMask().empty());
}

}  // namespace
}  // namespace QUENMAR_FACEBEAUTY
