#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "cpu_reference.h"
#include "gl_test_env.h"
#include "pass_steps.h"
#include "sharpen_filter.h"
#include "smoothing_filters.h"
#include "white_filters.h"

namespace QUENMAR_FACEBEAUTY {
namespace {

using Fragment = std::function<Rgba(float u, float v)>;

class BeautyPassTest : public GlTest {
 protected:
  int upload(const CpuImage& img) { return static_cast<int>(texture(img.bytes(), img.w, img.h)); }
  // Draws filter over inputs into a w × h target and compares every pixel with the fragment
  // function at the pixel's centre, within 2/255.
  void expectMatches(BaseFilter& filter, const std::vector<int>& inputs, int w, int h,
                     const Fragment& reference, const std::string& what,
                     float alphaTolerance = 2.0f) {
    GLuint fb = target(fill(w, h, 0, 0, 0, 0), w, h);
    ASSERT_TRUE(filter.render(inputs.data(), static_cast<int>(inputs.size()), w, h, fb)) << what;
    Pixels out = read(fb, w, h);
    int bad = 0;
    for (int y = 0; y < h && bad < 5; ++y) {
      for (int x = 0; x < w && bad < 5; ++x) {
        Rgba want = reference((x + 0.5f) / w, (y + 0.5f) / h);
        for (int k = 0; k < 4; ++k) {
          const float got = out[(static_cast<size_t>(y) * w + x) * 4 + k];
          const float expected = clampf(want[k], 0, 1) * 255;
          if (std::fabs(got - expected) > (k == 3 ? alphaTolerance : 2.0f)) {
            ADD_FAILURE() << what << " at (" << x << ", " << y << ") channel " << k << ": got "
                          << got << ", want " << expected;
            ++bad;
          }
        }
      }
    }
  }

  BeautyLevels levels_;
};

struct Size {
  int w, h;
};
const Size kSizes[] = {{160, 90}, {90, 160}};

// Blur offsets for the draw size as the passes derive them.
void blurOffsets(int w, int h, float* x, float* y) {
  axisSteps(float(w), float(h), 2.0f, 1.0f / 360.0f, x, y);
}

Rgba weightedMean(const CpuImage& src, const CpuImage& weightsFrom, float u, float v, float dx,
                  float dy, float limit, bool alphaOnly) {
  const float c0 = weightsFrom.sample(u, v)[0];
  Rgba sum = src.sample(u, v);
  float weights = 1;
  for (int i = 1; i <= 4; ++i) {
    for (int sign : {-1, 1}) {
      const float tu = u + sign * i * dx * 1.5f, tv = v + sign * i * dy * 1.5f;
      const float w = 1 + clampf((weightsFrom.sample(tu, tv)[0] - c0) * 7, -limit, limit);
      Rgba s = src.sample(tu, tv);
      for (int k = 0; k < 4; ++k) sum[k] += s[k] * w;
      weights += w;
    }
  }
  for (int k = 0; k < 4; ++k) sum[k] /= weights;
  (void)alphaOnly;
  return sum;
}

TEST_F(BeautyPassTest, BoxBlursMatchTheirFormulas) {
  for (const Size& s : kSizes) {
    CpuImage image = testPicture(s.w, s.h, 3), mask = testMask(s.w, s.h);
    CpuImage mean = testPicture(s.w, s.h, 11);
    int imageTex = upload(image), maskTex = upload(mask), meanTex = upload(mean);
    float ox, oy;
    blurOffsets(s.w, s.h, &ox, &oy);
    for (bool face : {false, true}) {
      levels_.setFaceFlag(face);
      BoxBlurFilter horizontal(0, 0, &levels_);
      expectMatches(horizontal, {imageTex, maskTex}, s.w, s.h, [&](float u, float v) {
        if (mask.sample(u, v)[0] <= 0) return image.sample(u, v);
        Rgba m = weightedMean(image, mask, u, v, ox, face ? oy : 0, 0.7f, false);
        return Rgba{m[0], m[1], m[2], 1};
      }, "mean, direction 0, face " + std::to_string(face));
    }
    levels_.setFaceFlag(false);
    BoxBlurFilter vertical(1, 0, &levels_);
    expectMatches(vertical, {meanTex, imageTex, maskTex}, s.w, s.h, [&](float u, float v) {
      Rgba unblurred = image.sample(u, v);
      if (mask.sample(u, v)[0] <= 0) return Rgba{unblurred[0], unblurred[1], unblurred[2], 0};
      Rgba m = weightedMean(mean, image, u, v, 0, oy, 0.7f, false);
      float var = 0;
      for (int k = 0; k < 3; ++k) {
        const float d = (unblurred[k] - m[k]) * 7.07f;
        var += std::min(d * d, 1.0f);
      }
      return Rgba{m[0], m[1], m[2], var * 0.3333f};
    }, "mean and variance, direction 1",
       // The variance scales the mean's sampling error by up to 2 × 7.07² on steep pixels.
       4.0f);
    CpuImage stats = image;
    for (size_t i = 0; i < stats.px.size(); ++i) stats.px[i][3] = mean.px[i][1];
    int statsTex = upload(stats);
    for (int direction : {0, 1}) {
      BoxBlurFilter alpha(direction, 1, &levels_);
      expectMatches(alpha, {statsTex, maskTex}, s.w, s.h, [&](float u, float v) {
        Rgba centre = stats.sample(u, v);
        if (mask.sample(u, v)[0] <= 0) return centre;
        Rgba m = weightedMean(stats, mask, u, v, direction ? 0 : ox, direction ? oy : 0, 1.0f, true);
        return Rgba{centre[0], centre[1], centre[2], m[3]};
      }, "alpha, direction " + std::to_string(direction));
    }
  }
}

TEST_F(BeautyPassTest, HighPassAtSeveralLevels) {
  for (const Size& s : kSizes) {
    CpuImage image = testPicture(s.w, s.h, 5), mask = testMask(s.w, s.h);
    CpuImage stats = testPicture(s.w, s.h, 9);
    for (size_t i = 0; i < stats.px.size(); ++i) stats.px[i][3] = (i % 13) / 40.0f;
    stats = CpuImage::fromBytes(stats.bytes(), s.w, s.h);
    int imageTex = upload(image), statsTex = upload(stats), maskTex = upload(mask);
    for (float level : {0.0f, 0.3f, 0.6f, 1.0f}) {
      levels_.setBeautyLevel(4, level);
      const float alpha = levels_.value(4);
      HighPassSoftFilter pass(&levels_);
      expectMatches(pass, {imageTex, statsTex, maskTex}, s.w, s.h, [&](float u, float v) {
        Rgba img = image.sample(u, v);
        if (mask.sample(u, v)[0] <= 0) return img;
        Rgba b = stats.sample(u, v);
        const float p = clampf((std::min(img[0], b[0] - 0.1f) - 0.2f) * 4, 0, 1);
        float k = (1 - b[3] / (b[3] + 0.1f)) * p * alpha;
        k *= k > 0.8f ? 1.0f : k > 0.5f ? 0.9f : k > 0.1f ? 0.5f : 0.2f;
        Rgba out = img;
        for (int c = 0; c < 3; ++c) out[c] = img[c] + (b[c] - img[c]) * k;
        return out;
      }, "high pass at level " + std::to_string(level));
    }
  }
}

Rgba cubeLookup(const CpuImage& cube, Rgba colour) {
  const float b = clampf(colour[2], 0, 1) * 63;
  const float t0 = std::floor(b), t1 = std::ceil(b);
  auto at = [&](float t) {
    const float u = std::fmod(t, 8.0f) * 0.125f + 0.5f / 512 + 0.123046875f * clampf(colour[0], 0, 1);
    const float v = std::floor(t / 8) * 0.125f + 0.5f / 512 + 0.123046875f * clampf(colour[1], 0, 1);
    return cube.sample(u, v);
  };
  Rgba a = at(t0), c = at(t1), out{};
  for (int k = 0; k < 3; ++k) out[k] = clampf(a[k] + (c[k] - a[k]) * (b - t0), 0, 1);
  return out;
}

CpuImage cubeImage(LookupCube which) {
  const std::vector<unsigned char>& rgb = lookupCube(which);
  CpuImage img(kLookupSize, kLookupSize);
  for (size_t i = 0; i < img.px.size(); ++i) {
    img.px[i] = Rgba{rgb[i * 3] / 255.0f, rgb[i * 3 + 1] / 255.0f, rgb[i * 3 + 2] / 255.0f, 1};
  }
  return img;
}

TEST_F(BeautyPassTest, WhiteningAndAiLightThroughTheCubes) {
  for (const Size& s : kSizes) {
    CpuImage image = testPicture(s.w, s.h, 7), mask = testMask(s.w, s.h);
    int imageTex = upload(image), maskTex = upload(mask);
    for (LookupCube which : {LookupCube::kIdentity, LookupCube::kWhitening}) {
      CpuImage cube = cubeImage(which);
      levels_.setBeautyLevel(5, 0.8f);
      const float strength = levels_.value(5);
      BeautyWhiteFilter white(&levels_);
      white.setCube(which);
      expectMatches(white, {imageTex, maskTex}, s.w, s.h, [&](float u, float v) {
        Rgba img = image.sample(u, v);
        const float m = mask.sample(u, v)[0];
        if (m <= 0) return img;
        Rgba c = cubeLookup(cube, img);
        Rgba out = img;
        for (int k = 0; k < 3; ++k) {
          const float e = (c[k] - 0.5f) / 0.5f;
          const float lifted = clampf(c[k] + strength * 0.5f * (strength * 0.06f) * (1 - e * e), 0, 1);
          out[k] = clampf(img[k] + (lifted - img[k]) * strength * m, 0, 1);
        }
        return out;
      }, "whitening");
      white.release();
    }
    CpuImage cube = cubeImage(LookupCube::kAiLight);
    WhiteFilter light;
    light.setLevel(0.7f);
    EXPECT_EQ(0.7f, light.level());
    expectMatches(light, {imageTex}, s.w, s.h, [&](float u, float v) {
      Rgba img = image.sample(u, v);
      Rgba c = cubeLookup(cube, img);
      Rgba out = img;
      for (int k = 0; k < 3; ++k) out[k] = clampf(img[k] + (c[k] - img[k]) * 0.7f, 0, 1);
      return out;
    }, "AI light");
  }
}

TEST_F(BeautyPassTest, SharpeningStages) {
  for (const Size& s : kSizes) {
    CpuImage image = testPicture(s.w, s.h, 13), mask = testMask(s.w, s.h);
    float sx, sy;
    axisSteps(float(s.w), float(s.h), 1.0f, 1.0f / 720.0f, &sx, &sy);
    auto fiveTaps = [&](const CpuImage& src, float u, float v) {
      Rgba sum{};
      const float du[5] = {0, sx, -sx, 0, 0}, dv[5] = {0, 0, 0, sy, -sy};
      for (int i = 0; i < 5; ++i) {
        Rgba t = src.sample(u + du[i], v + dv[i]);
        for (int k = 0; k < 4; ++k) sum[k] += t[k] / 5;
      }
      return sum;
    };
    int imageTex = upload(image), maskTex = upload(mask);
    // Stage 0 from the picture; each later stage from the previous stage's CPU result, so a
    // stage is checked on its own.
    SharpenFilter stage0(0, &levels_);
    auto high = [&](float u, float v) {
      Rgba img = image.sample(u, v), avg = fiveTaps(image, u, v);
      Rgba out{};
      float var = 0;
      for (int k = 0; k < 3; ++k) {
        const float d = img[k] - avg[k];
        out[k] = clampf(d + 0.5f, 0, 1);
        var += std::min((d * 7.07f) * (d * 7.07f), 1.0f);
      }
      out[3] = var / 3;
      return out;
    };
    expectMatches(stage0, {imageTex}, s.w, s.h, high, "stage 0");
    CpuImage h(s.w, s.h);
    for (int y = 0; y < s.h; ++y)
      for (int x = 0; x < s.w; ++x) h.at(x, y) = high((x + 0.5f) / s.w, (y + 0.5f) / s.h);
    h = CpuImage::fromBytes(h.bytes(), s.w, s.h);
    int hTex = upload(h);
    SharpenFilter stage1(1, &levels_);
    auto edges = [&](float u, float v) {
      Rgba t = h.sample(u, v);
      Rgba out = t;
      for (int k = 0; k < 3; ++k) out[k] = clampf(3.0f * std::fabs(t[k] - 0.5f), 0, 1) >= 0.0157f ? 1 : 0;
      return out;
    };
    expectMatches(stage1, {hTex, maskTex}, s.w, s.h, edges, "stage 1");
    CpuImage e(s.w, s.h);
    for (int y = 0; y < s.h; ++y)
      for (int x = 0; x < s.w; ++x) e.at(x, y) = edges((x + 0.5f) / s.w, (y + 0.5f) / s.h);
    int eTex = upload(e);
    SharpenFilter stage2(2, &levels_);
    expectMatches(stage2, {eTex}, s.w, s.h, [&](float u, float v) { return fiveTaps(e, u, v); },
                  "stage 2");
    CpuImage m = testPicture(s.w, s.h, 17);
    for (size_t i = 0; i < m.px.size(); ++i) m.px[i][3] = (i % 7) / 10.0f;
    m = CpuImage::fromBytes(m.bytes(), s.w, s.h);
    int mTex = upload(m);
    for (bool simple : {false, true}) {
      SharpenFilter stage3(3, &levels_);
      stage3.setSimple(simple);
      const float sharpness =
          (simple ? 0 : 0.8f * levels_.value(8)) + 0.05f * (levels_.value(4) + 1);
      expectMatches(stage3, {imageTex, hTex, mTex, maskTex}, s.w, s.h, [&](float u, float v) {
        Rgba img = image.sample(u, v), hh = h.sample(u, v), mm = m.sample(u, v);
        const float k = 1 - mm[3] / (mm[3] + 0.1f);
        Rgba out = img;
        for (int c = 0; c < 3; ++c) {
          float sharp = clampf(img[c] + (2 * hh[c] - 1) * 2.4f, 0, 1);
          sharp = img[c] + (sharp - img[c]) * mm[c];
          out[c] = img[c] + (sharp - img[c]) * (1 - 0.5f * k * k) * sharpness;
        }
        return out;
      }, "stage 3");
    }
  }
}

TEST_F(BeautyPassTest, ZeroMaskAndZeroLevelChangeNothing) {
  const int w = 48, h = 32;
  CpuImage image = testPicture(w, h, 21);
  CpuImage zero(w, h);
  for (Rgba& p : zero.px) p = Rgba{0, 0, 0, 1};
  int imageTex = upload(image), zeroTex = upload(zero);
  auto same = [&](float u, float v) { return image.sample(u, v); };
  BoxBlurFilter blur(0, 0, &levels_);
  BoxBlurFilter alpha(1, 1, &levels_);
  BeautyWhiteFilter white(&levels_);
  HighPassSoftFilter soft(&levels_);
  expectMatches(blur, {imageTex, zeroTex}, w, h, same, "blur, mask zero");
  expectMatches(alpha, {imageTex, zeroTex}, w, h, same, "alpha blur, mask zero");
  expectMatches(white, {imageTex, zeroTex}, w, h, same, "whitening, mask zero");
  expectMatches(soft, {imageTex, imageTex, zeroTex}, w, h, same, "smoothing, mask zero");
  levels_.setBeautyLevel(4, 0.0f);
  CpuImage full(w, h);
  for (Rgba& p : full.px) p = Rgba{1, 1, 1, 1};
  int fullTex = upload(full), otherTex = upload(testPicture(w, h, 2));
  expectMatches(soft, {imageTex, otherTex, fullTex}, w, h, same, "smoothing at level 0");
}

TEST_F(BeautyPassTest, StepsOfA1280By720Draw) {
  CpuImage image = testPicture(16, 16, 1);
  int tex = upload(image);
  GLuint fb = target(fill(1280, 720, 0, 0, 0, 0), 1280, 720);
  auto uniform = [](GLuint program, const char* name) {
    float v[2] = {};
    glGetUniformfv(program, glGetUniformLocation(program, name), v);
    return std::array<float, 2>{v[0], v[1]};
  };
  BoxBlurFilter blurX(0, 1, &levels_), blurY(1, 1, &levels_);
  int inputs[2] = {tex, tex};
  ASSERT_TRUE(blurX.render(inputs, 2, 1280, 720, fb));
  ASSERT_TRUE(blurY.render(inputs, 2, 1280, 720, fb));
  EXPECT_FLOAT_EQ(1 / 640.0f, uniform(blurX.program(), "texBlurWidthOffset")[0]);
  EXPECT_FLOAT_EQ(0.0f, uniform(blurX.program(), "texBlurHeightOffset")[0]);
  EXPECT_FLOAT_EQ(1 / 360.0f, uniform(blurY.program(), "texBlurHeightOffset")[0]);
  SharpenFilter sharpen(0, &levels_);
  ASSERT_TRUE(sharpen.render(inputs, 1, 1280, 720, fb));
  std::array<float, 2> step = uniform(sharpen.program(), "singleOffsetStep");
  EXPECT_FLOAT_EQ(1 / 1280.0f, step[0]);
  EXPECT_FLOAT_EQ(1 / 720.0f, step[1]);
}

}  // namespace
}  // namespace QUENMAR_FACEBEAUTY
