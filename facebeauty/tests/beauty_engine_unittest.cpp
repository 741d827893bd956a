#include <gtest/gtest.h>

#include <libyuv/convert_argb.h>
#include <libyuv/convert_from_argb.h>

#include <cmath>
#include <string>
#include <vector>

#include "beauty_frame.h"
#include "beauty_shot.h"
#include "cpu_reference.h"
#include "gl_test_env.h"
#include "pass_steps.h"
#include "zq_landmark_template.h"

namespace QUENMAR_FACEBEAUTY {
namespace {

using zq_landmarks::kTemplate;

const float kIdentity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

// The template face scaled and placed in a w × h frame.
struct Face {
  std::vector<float> points = std::vector<float>(200, 0.0f);
  zq_face_info info;
  float x0 = 1e9f, y0 = 1e9f, x1 = -1e9f, y1 = -1e9f, eyes = 0;
  Face(float scale, float ox, float oy, int w, int h) {
    for (int i = 0; i < 95; ++i) {
      points[i * 2] = kTemplate[i].x * scale + ox;
      points[i * 2 + 1] = kTemplate[i].y * scale + oy;
      x0 = std::min(x0, points[i * 2]);
      x1 = std::max(x1, points[i * 2]);
      y0 = std::min(y0, points[i * 2 + 1]);
      y1 = std::max(y1, points[i * 2 + 1]);
    }
    eyes = std::hypot(kTemplate[42].x - kTemplate[54].x, kTemplate[42].y - kTemplate[54].y) * scale;
    info = zq_face_info{0, 0, 0, w, h, 200, points.data()};
  }
};

// Skin-coloured with noise and a gentle gradient.
Pixels skinPicture(int w, int h, int noise, unsigned seed = 1) {
  Pixels p(static_cast<size_t>(w) * h * 4);
  uint32_t state = seed;
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      state = state * 1664525u + 1013904223u;
      const int n = noise ? static_cast<int>((state >> 24) % (2 * noise + 1)) - noise : 0;
      unsigned char* q = &p[(static_cast<size_t>(y) * w + x) * 4];
      q[0] = static_cast<unsigned char>(std::min(255, std::max(0, 200 + n - y / 4)));
      q[1] = static_cast<unsigned char>(std::min(255, std::max(0, 150 + n + x / 8)));
      q[2] = static_cast<unsigned char>(std::min(255, std::max(0, 120 + n)));
      q[3] = 255;
    }
  }
  return p;
}

double variance(const Pixels& p, int w, int x0, int x1, int y0, int y1) {
  double sum = 0, squares = 0;
  int n = 0;
  for (int y = y0; y < y1; ++y) {
    for (int x = x0; x < x1; ++x) {
      const double v = p[(static_cast<size_t>(y) * w + x) * 4 + 1];
      sum += v;
      squares += v * v;
      ++n;
    }
  }
  return squares / n - (sum / n) * (sum / n);
}

int maxDifference(const Pixels& a, const Pixels& b) {
  int most = 0;
  for (size_t i = 0; i < a.size(); ++i) most = std::max(most, std::abs(int(a[i]) - int(b[i])));
  return most;
}

class BeautyEngineTest : public GlTest {
 protected:
  void SetUp() override {
    GlTest::SetUp();
    ASSERT_TRUE(frame_.init(false));
  }
  void TearDown() override {
    if (frame_.ready()) frame_.uninit();
    GlTest::TearDown();
  }
  // One draw of the picture through the texture-mode chain into a fresh target.
  Pixels draw(BeautyFrame& engine, const Pixels& picture, int w, int h, bool faces) {
    const int tex = static_cast<int>(texture(picture, w, h));
    GLuint fb = target(fill(w, h, 1, 2, 3, 4), w, h);
    float matrix[16];
    std::copy(kIdentity, kIdentity + 16, matrix);
    if (faces) {
      engine.drawFaceBeautyFrame(tex, matrix, w, h, w, h, static_cast<int>(fb), 1.0f);
    } else {
      engine.drawSoftBeautyFrame(tex, matrix, w, h, w, h, static_cast<int>(fb), 1.0f);
    }
    return read(fb, w, h);
  }
  BeautyFrame frame_;
};

TEST_F(BeautyEngineTest, WorkingSizes) {
  struct Case {
    int inW, inH, outW, outH;
    float scale;
    int w, h, sw, sh;
  } cases[] = {{641, 481, 641, 481, 1.0f, 640, 480, 212, 160},
               {1280, 720, 640, 360, 1.0f, 640, 360, 212, 120},
               {640, 360, 1280, 720, 1.0f, 640, 360, 212, 120},  // never above the input
               {1280, 720, 1280, 720, 0.5f, 640, 360, 212, 120},
               {64, 36, 64, 36, 1.0f, 64, 36, 20, 12}};
  for (const Case& c : cases) {
    ASSERT_TRUE(frame_.setWorkingSize(c.inW, c.inH, c.outW, c.outH, c.scale)) << c.inW;
    EXPECT_EQ(c.w, frame_.workWidth());
    EXPECT_EQ(c.h, frame_.workHeight());
    EXPECT_EQ(c.sw, frame_.smallWidth());
    EXPECT_EQ(c.sh, frame_.smallHeight());
  }
  // Sizes whose third is below 2 × 2 draw nothing.
  for (const Case& c : {Case{5, 5, 5, 5, 1.0f}, Case{64, 36, 64, 36, 0.05f},
                        Case{64, 36, 0, 36, 1.0f}}) {
    testing::internal::CaptureStdout();
    EXPECT_FALSE(frame_.setWorkingSize(c.inW, c.inH, c.outW, c.outH, c.scale));
    EXPECT_EQ("frame size is invalid\n", testing::internal::GetCapturedStdout());
  }
  const Pixels tiny = fill(5, 5, 10, 20, 30, 255);
  EXPECT_EQ(fill(5, 5, 1, 2, 3, 4), draw(frame_, tiny, 5, 5, false));
}

TEST_F(BeautyEngineTest, FlatFramePassesUnchanged) {
  frame_.setBeautyLevel(5, 0.0f);
  const Pixels flat = fill(64, 36, 180, 140, 120, 255);
  EXPECT_LE(maxDifference(flat, draw(frame_, flat, 64, 36, false)), 1);
}

TEST_F(BeautyEngineTest, SmoothingFollowsTheSkinMask) {
  const int w = 160, h = 90;
  frame_.setBeautyLevel(4, 1.0f);
  frame_.setBeautyLevel(5, 0.0f);
  frame_.setBeautyLevel(8, 0.0f);
  // Skin on the left half of the frame only.
  std::vector<unsigned char> mask(112 * 112, 0);
  for (int y = 0; y < 112; ++y)
    for (int x = 0; x < 56; ++x) mask[y * 112 + x] = 255;
  frame_.setMask(mask.data(), 112, 112);
  const Pixels noisy = skinPicture(w, h, 20);
  const Pixels out = draw(frame_, noisy, w, h, false);
  const double skinBefore = variance(noisy, w, 10, 70, 10, 80);
  const double skinAfter = variance(out, w, 10, 70, 10, 80);
  const double otherBefore = variance(noisy, w, 90, 150, 10, 80);
  const double otherAfter = variance(out, w, 90, 150, 10, 80);
  EXPECT_LT(skinAfter, skinBefore * 0.5) << skinBefore;
  EXPECT_GT(otherAfter, otherBefore * 0.8) << otherBefore;
}

TEST_F(BeautyEngineTest, AiLightAtTheThresholdIsSkipped) {
  const Pixels picture = skinPicture(64, 36, 8);
  frame_.setAILightLevel(0.0f);
  const Pixels off = draw(frame_, picture, 64, 36, false);
  frame_.setAILightLevel(0.001f);
  EXPECT_EQ(off, draw(frame_, picture, 64, 36, false));
  frame_.setAILightLevel(0.5f);
  EXPECT_NE(off, draw(frame_, picture, 64, 36, false));
}

TEST_F(BeautyEngineTest, WithoutFacesBothModesSkipTheFacePasses) {
  const Pixels picture = skinPicture(96, 54, 10);
  EXPECT_EQ(draw(frame_, picture, 96, 54, false), draw(frame_, picture, 96, 54, true));
  BeautyShot shot;
  ASSERT_TRUE(shot.init(false));
  Pixels image = picture;
  zq_image_info_st info{96, 54, 0, 8, image.data(), 0, false};
  testing::internal::CaptureStdout();
  EXPECT_EQ(&info, shot.processArgb(&info));
  EXPECT_EQ("has no face\n", testing::internal::GetCapturedStdout());
  EXPECT_EQ(picture, image);
  shot.uninit();
}

TEST_F(BeautyEngineTest, FacePassesChangeOnlyTheFaceRegion) {
  const int w = 160, h = 90;
  Face face(0.6f, 40, 5, w, h);
  frame_.setBeautyLevel(0, 2.0f);
  frame_.setBeautyLevel(1, 2.0f);
  frame_.setFaceInfo(&face.info, 1);
  const Pixels picture = skinPicture(w, h, 6);
  const Pixels soft = draw(frame_, picture, w, h, false);
  const Pixels full = draw(frame_, picture, w, h, true);
  // The mesh lies inside the landmarks' box; the reshaping box reaches 1.2 eye distances
  // beyond the face-side and chin points.
  const float margin = 1.25f * face.eyes + 3;
  int inside = 0;
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      const bool close = x + 0.5f > face.x0 - margin && x + 0.5f < face.x1 + margin &&
                        y + 0.5f > face.y0 - margin && y + 0.5f < face.y1 + margin;
      const size_t i = (static_cast<size_t>(y) * w + x) * 4;
      const bool same = std::equal(&soft[i], &soft[i] + 4, &full[i]);
      if (!close) {
        ASSERT_TRUE(same) << x << ", " << y;
      } else {
        inside += !same;
      }
    }
  }
  EXPECT_GT(inside, 200);
}

TEST_F(BeautyEngineTest, SharpeningMatchesTheStagesOnTheCpu) {
  // Large enough for the sampling steps (1/1280 of a 16:9 frame) to reach the next texel.
  const int w = 640, h = 360;
  frame_.setBeautyLevel(4, 0.0f);  // no smoothing
  frame_.setBeautyLevel(5, 0.0f);  // no whitening
  frame_.setBeautyLevel(8, 1.0f);
  const CpuImage picture = testPicture(w, h, 5);
  const Pixels out = draw(frame_, picture.bytes(), w, h, false);
  float sx = 0, sy = 0;
  axisSteps(float(w), float(h), 1.0f, 1.0f / 720.0f, &sx, &sy);
  const float amount = 0.8f * frame_.levels().value(8) + 0.05f * (frame_.levels().value(4) + 1);
  const Pixels want = cpuSharpen(picture, sx, sy, amount).bytes();
  // The stored detail may differ by a byte of rounding, which stage 3 amplifies 4.8 times (up
  // to 4 at this amount); the edge map is a threshold, which such a byte flips on a few pixels.
  int off = 0, wide = 0;
  for (size_t i = 0; i < out.size(); ++i) {
    const int d = std::abs(int(out[i]) - int(want[i]));
    off += d > 4;
    wide += d > 12;
  }
  EXPECT_LT(off, static_cast<int>(out.size() / 100));
  EXPECT_EQ(0, wide);
  EXPECT_NE(picture.bytes(), out);
}

TEST_F(BeautyEngineTest, SevenFacesWarpFiveEachOnce) {
  const int w = 320, h = 180;
  std::vector<Face> faces;
  for (int i = 0; i < 7; ++i) faces.emplace_back(0.4f, 8.0f + (i % 5) * 62, 40, w, h);
  std::vector<zq_face_info> infos;
  for (Face& f : faces) infos.push_back(f.info);
  frame_.setBeautyLevel(0, 3.0f);
  const Pixels picture = skinPicture(w, h, 12);
  frame_.setFaceInfo(infos.data(), 5);
  const Pixels five = draw(frame_, picture, w, h, true);
  frame_.setFaceInfo(infos.data(), 4);
  EXPECT_NE(five, draw(frame_, picture, w, h, true));
  frame_.setFaceInfo(infos.data(), 7);
  EXPECT_EQ(5, frame_.faceCount());
  EXPECT_EQ(five, draw(frame_, picture, w, h, true));
  EXPECT_EQ(five, draw(frame_, picture, w, h, true));  // the next frame starts at face 0 again
}

TEST_F(BeautyEngineTest, Nv21GivesTheArgbResult) {
  const int w = 160, h = 90;
  BeautyShot shot;
  ASSERT_TRUE(shot.init(false));
  Face face(0.6f, 40, 5, w, h);
  shot.setFaceInfo(&face.info, 1);
  shot.setBeautyLevel(5, 1.0f);
  shot.setAILightLevel(1.0f);
  const Pixels picture = skinPicture(w, h, 0);
  std::vector<unsigned char> nv21(w * h * 3 / 2);
  libyuv::ABGRToNV21(picture.data(), w * 4, nv21.data(), w, nv21.data() + w * h, w, w, h);
  Pixels rgba(w * h * 4);
  libyuv::NV21ToABGR(nv21.data(), w, nv21.data() + w * h, w, rgba.data(), w * 4, w, h);
  const Pixels before = rgba;
  zq_image_info_st argbInfo{w, h, 0, 8, rgba.data(), 0, false};
  shot.processArgb(&argbInfo);
  ASSERT_GT(maxDifference(before, rgba), 8);  // the passes change the colours
  zq_image_info_st nvInfo{w, h, 0, 4, nv21.data(), 0, false};
  EXPECT_EQ(&nvInfo, shot.processNv21(&nvInfo));
  Pixels back(w * h * 4);
  libyuv::NV21ToABGR(nv21.data(), w, nv21.data() + w * h, w, back.data(), w * 4, w, h);
  EXPECT_LE(maxDifference(rgba, back), 6);
  shot.uninit();
}

TEST_F(BeautyEngineTest, RefusalsAndUninitTwice) {
  BeautyFrame fresh;
  BeautyShot shot;
  float matrix[16];
  std::copy(kIdentity, kIdentity + 16, matrix);
  Pixels image = fill(8, 8, 1, 2, 3, 255);
  zq_image_info_st info{8, 8, 0, 8, image.data(), 0, false};
  zq_image_info_st empty{0, 8, 0, 8, image.data(), 0, false};
  testing::internal::CaptureStdout();
  frame_.drawFaceBeautyFrame(-1, matrix, 8, 8, 8, 8, 0, 1.0f);
  fresh.drawSoftBeautyFrame(1, matrix, 8, 8, 8, 8, 0, 1.0f);
  frame_.drawFaceBeautyFrame(1, matrix, 0, 8, 8, 8, 0, 1.0f);
  shot.processArgb(&info);
  ASSERT_TRUE(shot.init(false));
  shot.processArgb(nullptr);
  shot.processArgb(&empty);
  fresh.setFaceInfo(nullptr, 0);
  shot.uninit();
  shot.uninit();
  EXPECT_EQ(
      "textureId is invalid\negl is not init\nframe size is invalid\negl is not init\n"
      "input data null, process fail\nim_master size is invalid\negl is not init\n"
      "egl is not init\n",
      testing::internal::GetCapturedStdout());
  EXPECT_EQ(fill(8, 8, 1, 2, 3, 255), image);
}

}  // namespace
}  // namespace QUENMAR_FACEBEAUTY
