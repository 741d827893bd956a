#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <string>
#include <vector>

#include "cpu_reference.h"
#include "gl_test_env.h"
#include "reshaping_filter.h"
#include "zq_landmark_template.h"

namespace QUENMAR_FACEBEAUTY {
namespace {

using zq_landmarks::kTemplate;

constexpr int kW = 320, kH = 240;

// The template face at scale 1 with its top-left corner at (ox, oy).
struct Face {
  std::vector<float> points = std::vector<float>(200, 0.0f);
  zq_face_info info;
  Face(float ox, float oy, int w = kW, int h = kH) {
    for (int i = 0; i < 95; ++i) {
      points[i * 2] = kTemplate[i].x + ox;
      points[i * 2 + 1] = kTemplate[i].y + oy;
    }
    info = zq_face_info{0, 0, 0, w, h, 200, points.data()};
  }
};

// Every stored level at "no change": types 0, 1, 3 at 0, 9–21 at their defaults.
void neutral(BeautyLevels& levels) {
  for (int t : {0, 1, 3}) levels.setBeautyLevel(t, 0.0f);
}

class ReshapingFilterTest : public GlTest {
 protected:
  Pixels draw(BaseFilter& pass, const Pixels& image, int draws = 1) {
    int tex = static_cast<int>(texture(image, kW, kH));
    GLuint fb = target(image, kW, kH);
    for (int i = 0; i < draws; ++i) EXPECT_TRUE(pass.render(&tex, 1, kW, kH, fb));
    return read(fb, kW, kH);
  }
  // A picture with a bright disc of radius r around (cx, cy) on a grey ramp.
  static Pixels disc(float cx, float cy, float r) {
    Pixels p(kW * kH * 4);
    for (int y = 0; y < kH; ++y) {
      for (int x = 0; x < kW; ++x) {
        const bool in = std::hypot(x + 0.5f - cx, y + 0.5f - cy) < r;
        unsigned char* q = &p[(y * kW + x) * 4];
        q[0] = in ? 250 : static_cast<unsigned char>(40 + x / 4);
        q[1] = in ? 240 : static_cast<unsigned char>(60 + y / 4);
        q[2] = in ? 230 : 90;
        q[3] = 255;
      }
    }
    return p;
  }
  static int count(const Pixels& p, int x0, int x1, int y0, int y1) {
    int n = 0;
    for (int y = y0; y < y1; ++y)
      for (int x = x0; x < x1; ++x) n += p[(y * kW + x) * 4] == 250;
    return n;
  }
  BeautyLevels levels_;
};

TEST_F(ReshapingFilterTest, NeutralLevelsReproduceTheCopy) {
  neutral(levels_);
  Face face(90, 50);
  Pixels image = GlTest::pattern(kW, kH);
  for (int light : {0, 1}) {
    ReshapingFilterOpt full(&levels_);
    ReshapingFilterOptLite lite(&levels_);
    ReshapingFilterOptBase& pass = light ? static_cast<ReshapingFilterOptBase&>(lite) : full;
    pass.setFaceInfo(&face.info, 1);
    EXPECT_EQ(image, draw(pass, image)) << light;
  }
}

TEST_F(ReshapingFilterTest, BigEyesEnlargeTheEyeAndStayInTheBox) {
  neutral(levels_);
  levels_.setBeautyLevel(1, 2.0f);
  const float ox = 90, oy = 50;
  Face face(ox, oy);
  const float ex = (kTemplate[42].x + kTemplate[48].x) / 2 + ox;
  const float ey = (kTemplate[42].y + kTemplate[48].y) / 2 + oy;
  Pixels image = disc(ex, ey, 9.0f);
  ReshapingFilterOpt pass(&levels_);
  pass.setFaceInfo(&face.info, 1);
  Pixels out = draw(pass, image);
  const int x0 = int(ex) - 20, x1 = int(ex) + 20, y0 = int(ey) - 20, y1 = int(ey) + 20;
  EXPECT_GT(count(out, x0, x1, y0, y1), count(image, x0, x1, y0, y1) + 10);
  // Outside the face's box (key points 0, 1 and 4 grown by their radii) nothing changes: the
  // frame's top rows lie above it.
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < kW * 4; ++x) ASSERT_EQ(image[y * kW * 4 + x], out[y * kW * 4 + x]);
}

TEST_F(ReshapingFilterTest, ThinFacePullsTheContourInLessNearTheBorder) {
  neutral(levels_);
  levels_.setBeautyLevel(0, 1.0f);
  Face centred(96, 50), nearEdge(2, 50);
  ReshapingFilterOpt pass(&levels_);
  pass.setFaceInfo(&centred.info, 1);
  const float centredPull = std::hypot(pass.plus(0, 0, 0), pass.plus(0, 0, 1));
  // The face-left pull points right (toward the face centre).
  EXPECT_GT(pass.plus(0, 0, 0), 0.0f);
  EXPECT_LT(pass.plus(0, 1, 0), 0.0f);
  // A picture that is bright inside the face contour: after thinning fewer bright pixels.
  Pixels image(kW * kH * 4);
  for (int y = 0; y < kH; ++y) {
    for (int x = 0; x < kW; ++x) {
      const float fx = x + 0.5f - 96, fy = y + 0.5f - 50;
      // inside the contour's horizontal span at this height (the template is symmetric)
      const bool in = fy > 47 && fy < 110 && std::fabs(fx - 64.5f) < 44 - (fy - 47) * 0.35f;
      unsigned char* q = &image[(y * kW + x) * 4];
      q[0] = in ? 250 : 30;
      q[1] = q[2] = 80;
      q[3] = 255;
    }
  }
  Pixels out = draw(pass, image);
  EXPECT_LT(count(out, 0, kW, 0, kH), count(image, 0, kW, 0, kH) - 50);

  pass.setFaceInfo(&nearEdge.info, 1);
  const float edgePull = std::hypot(pass.plus(0, 0, 0), pass.plus(0, 0, 1));
  // Key point 0 lies at x = 2 + 22.9: t = 6 × 24.9 ÷ 320 = 0.467, held at 0.5: m² = 0.25.
  EXPECT_NEAR(0.25f, edgePull / centredPull, 0.01f);
}

TEST_F(ReshapingFilterTest, FacesTakeTurnsAndAreCutToFive) {
  Face faces[6] = {Face(0, 0), Face(50, 0), Face(100, 0), Face(150, 0), Face(200, 0),
                   Face(10, 100)};
  zq_face_info infos[6];
  for (int i = 0; i < 6; ++i) infos[i] = faces[i].info;
  ReshapingFilterOpt pass(&levels_);
  pass.setFaceInfo(infos, 3);
  Pixels image = GlTest::pattern(kW, kH);
  int tex = static_cast<int>(texture(image, kW, kH));
  GLuint fb = target(image, kW, kH);
  for (int expected : {0, 1, 2, 0}) {
    ASSERT_TRUE(pass.render(&tex, 1, kW, kH, fb));
    GLint drawn = -1;
    glGetUniformiv(pass.program(), glGetUniformLocation(pass.program(), "findex"), &drawn);
    EXPECT_EQ(expected, drawn);
  }
  // Index 1 is next; a drop to one face must not draw face 1.
  pass.setFaceInfo(infos, 1);
  EXPECT_EQ(0, pass.faceIndex());
  pass.setFaceInfo(infos, 6);
  EXPECT_EQ(5, pass.faceCount());
}

TEST_F(ReshapingFilterTest, LightVariantMovesOnlyThinFaceAndNoseWings) {
  neutral(levels_);
  Face face(90, 50);
  Pixels image = GlTest::pattern(kW, kH);
  ReshapingFilterOptLite reference(&levels_);
  levels_.setBeautyLevel(0, 0.8f);
  levels_.setBeautyLevel(3, 0.8f);
  reference.setFaceInfo(&face.info, 1);
  Pixels expected = draw(reference, image);
  EXPECT_NE(image, expected);
  for (int t = 9; t <= 21; ++t) {
    if (t != 12) levels_.setBeautyLevel(t, 0.9f);
  }
  ReshapingFilterOptLite lite(&levels_);
  lite.setFaceInfo(&face.info, 1);
  EXPECT_EQ(expected, draw(lite, image));
  ReshapingFilterOpt full(&levels_);
  full.setFaceInfo(&face.info, 1);
  EXPECT_NE(expected, draw(full, image));
}

TEST_F(ReshapingFilterTest, MalformedFacesAreSkipped) {
  levels_.setBeautyLevel(0, 1.0f);
  Face good(90, 50), sized(90, 50, 0, kH);
  std::vector<float> few(100, 60.0f);
  zq_face_info shortFace{0, 0, 0, kW, kH, 100, few.data()};
  zq_face_info noPoints{0, 0, 0, kW, kH, 200, nullptr};
  ReshapingFilterOpt pass(&levels_);
  pass.setFaceInfo(&sized.info, 1);
  EXPECT_EQ(0, pass.faceCount());
  pass.setFaceInfo(nullptr, 2);
  EXPECT_EQ(0, pass.faceCount());
  EXPECT_FALSE(pass.enabled());
  Pixels image = GlTest::pattern(kW, kH);
  for (zq_face_info* bad : {&shortFace, &noPoints}) {
    pass.setFaceInfo(bad, 1);
    EXPECT_EQ(1, pass.faceCount());
    EXPECT_EQ(image, draw(pass, image));  // counted, left unwarped
  }
  pass.setFaceInfo(&good.info, 1);
  int tex = static_cast<int>(texture(image, kW, kH));
  GLuint tiny = target(fill(1, 1, 1, 2, 3, 255), 1, 1);
  EXPECT_TRUE(pass.render(&tex, 1, 1, 1, tiny));
}

// The shader against its steps on the CPU: every part at a non-zero level, a float frame whose
// pixels hold their own texture coordinates (red u, green v) and alpha 0.75, drawn into a float
// target; each drawn pixel then holds 0.75 × the coordinate the shader sampled at, which must
// match the CPU evaluation of the ten steps for the uniforms the draw used.
TEST_F(ReshapingFilterTest, WarpedCoordinatesMatchTheStepsOnTheCpu) {
  // Levels near each part's normaliser (stored value ÷ normaliser about 1).
  const float levels[22][2] = {{0, 1.0f},   {1, 1.0f},   {3, 1.0f},   {9, 1.5f},   {10, 1.0f},
                               {11, 1.5f},  {12, 0.0f},  {13, 0.6f},  {14, 0.9f},  {15, 0.8f},
                               {16, 0.65f}, {17, 0.2f},  {18, 1.5f},  {19, 1.0f},  {20, 1.5f},
                               {21, 2.0f}};
  for (int i = 0; i < 16; ++i) levels_.setBeautyLevel(int(levels[i][0]), levels[i][1]);
  const float ox = 110, oy = 60;
  Face face(ox, oy);
  ReshapingFilterOpt pass(&levels_);
  pass.setFaceInfo(&face.info, 1);

  constexpr float kAlpha = 0.75f, kUnset = -1.0f;
  CpuImage frame(kW, kH);
  std::vector<float> source, unset(kW * kH * 4, kUnset);
  for (int y = 0; y < kH; ++y) {
    for (int x = 0; x < kW; ++x) {
      frame.at(x, y) = Rgba{(x + 0.5f) / kW, (y + 0.5f) / kH, 0.0f, kAlpha};
      for (float c : frame.at(x, y)) source.push_back(c);
    }
  }
  auto floatTexture = [this](const std::vector<float>& data) {
    GLuint t = BaseFilter::makeTexture(true);
    textures_.push_back(t);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA32F, kW, kH, 0, GL_RGBA, GL_FLOAT, data.data());
    return t;
  };
  const int input = static_cast<int>(floatTexture(source));
  GLuint fb = 0;
  glGenFramebuffers(1, &fb);
  framebuffers_.push_back(fb);
  glBindFramebuffer(GL_FRAMEBUFFER, fb);
  glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D,
                         floatTexture(unset), 0);
  ASSERT_EQ(GLenum(GL_FRAMEBUFFER_COMPLETE), glCheckFramebufferStatus(GL_FRAMEBUFFER));
  glBindFramebuffer(GL_FRAMEBUFFER, 0);
  ASSERT_TRUE(pass.render(&input, 1, kW, kH, static_cast<int>(fb)));
  std::vector<float> out(kW * kH * 4);
  glBindFramebuffer(GL_FRAMEBUFFER, fb);
  glReadPixels(0, 0, kW, kH, GL_RGBA, GL_FLOAT, out.data());
  glBindFramebuffer(GL_FRAMEBUFFER, 0);

  // The uniforms of that draw, read back from the program.
  const GLuint program = pass.program();
  auto get = [program](const std::string& name, float* v) {
    const GLint location = glGetUniformLocation(program, name.c_str());
    ASSERT_GE(location, 0) << name;
    glGetUniformfv(program, location, v);
  };
  ReshapeUniforms u;
  glGetUniformiv(program, glGetUniformLocation(program, "findex"), &u.findex);
  get("bigEyeAspect", &u.bigEyeAspect);
  get("xy_ratio", u.xyRatio);
  for (int i = 0; i < 2; ++i) get("fEyeLevel[" + std::to_string(i) + "]", &u.eyeLevel[i]);
  for (int i = 0; i < ReshapingFilterOptBase::kEntries; ++i) {
    const std::string at = "[" + std::to_string(i) + "]";
    get("slim_key_coord" + at, &u.coord[i * 2]);
    get("slim_key_radius" + at, &u.radius[i]);
    get("slim_key_radius2" + at, &u.radius2[i]);
    get("slim_key_plus" + at, &u.plus[i * 2]);
    get("slim_key_plus2" + at, &u.plus2[i * 2]);
  }
  CpuImage falloff(128, 128);
  for (int i = 0; i < 128 * 128; ++i) {
    const float v = falloffImage()[i] / 255.0f;
    falloff.px[i] = Rgba{v, v, v, 1.0f};
  }

  // Within 0.15 pixel (the falloff is filtered to 8 bits on the GPU; steep parts amplify that to
  // about 0.07 pixel); the warp itself moves pixels by several pixels.
  int drawn = 0, bad = 0;
  float largestMove = 0.0f;
  for (int y = 0; y < kH; ++y) {
    for (int x = 0; x < kW; ++x) {
      const float* got = &out[(static_cast<size_t>(y) * kW + x) * 4];
      if (got[3] == kUnset) continue;
      ++drawn;
      const float cu = (x + 0.5f) / kW, cv = (y + 0.5f) / kH;
      const std::array<float, 2> n = reshapeCoordinate(u, falloff, cu, cv);
      const Rgba want = frame.sample(n[0], n[1]);
      const float du = (got[0] - want[0] * kAlpha) / kAlpha * kW;
      const float dv = (got[1] - want[1] * kAlpha) / kAlpha * kH;
      largestMove = std::max(largestMove, std::hypot(n[0] - cu, n[1] - cv) * kW);
      if ((std::fabs(du) > 0.15f || std::fabs(dv) > 0.15f || got[3] != kAlpha) && ++bad <= 5) {
        ADD_FAILURE() << "pixel (" << x << ", " << y << ") sampled at (" << got[0] / kAlpha * kW
                      << ", " << got[1] / kAlpha * kH << "), the steps give ("
                      << want[0] * kW << ", " << want[1] * kH << ")";
      }
    }
  }
  EXPECT_EQ(0, bad);
  EXPECT_GT(drawn, 5000);  // the face's box
  EXPECT_GT(largestMove, 3.0f);
}

}  // namespace
}  // namespace QUENMAR_FACEBEAUTY
