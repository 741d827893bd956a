#include <gtest/gtest.h>

#include <functional>

#include <string>

#include "cpu_reference.h"
#include "face_mask_filters.h"
#include "gl_test_env.h"
#include "zq_landmark_template.h"

namespace QUENMAR_FACEBEAUTY {
namespace {

using zq_landmarks::kTemplate;

// The template face drawn 1:1 at an offset in a 200 × 150 frame.
constexpr int kW = 200, kH = 150;
constexpr float kOx = 36, kOy = 12;

struct TemplateFace {
  std::vector<float> points;
  zq_face_info info;
  TemplateFace() : points(200, 0.0f) {
    for (int i = 0; i < 95; ++i) {
      points[i * 2] = kTemplate[i].x + kOx;
      points[i * 2 + 1] = kTemplate[i].y + kOy;
    }
    info = zq_face_info{0, 0, 0, kW, kH, 200, points.data()};
  }
};

bool inTriangle(float x, float y, const float* a, const float* b, const float* c) {
  auto side = [](float px, float py, const float* p, const float* q) {
    return (q[0] - p[0]) * (py - p[1]) - (q[1] - p[1]) * (px - p[0]);
  };
  const float d1 = side(x, y, a, b), d2 = side(x, y, b, c), d3 = side(x, y, c, a);
  return (d1 >= 0 && d2 >= 0 && d3 >= 0) || (d1 <= 0 && d2 <= 0 && d3 <= 0);
}

// 1 inside the mesh with a margin, -1 outside with a margin, 0 near its border.
int meshSide(const std::vector<float>& pts, float x, float y) {
  int inside = 0;
  for (float dx : {-0.75f, 0.0f, 0.75f}) {
    for (float dy : {-0.75f, 0.0f, 0.75f}) {
      for (int t = 0; t < kFaceMeshTriangleCount; ++t) {
        const std::uint16_t* tri = &kFaceMeshTriangles[t * 3];
        if (inTriangle(x + dx, y + dy, &pts[tri[0] * 2], &pts[tri[1] * 2], &pts[tri[2] * 2])) {
          ++inside;
          break;
        }
      }
    }
  }
  return inside == 9 ? 1 : (inside == 0 ? -1 : 0);
}

CpuImage rgbImage(const std::vector<unsigned char>& rgb, int w, int h) {
  CpuImage img(w, h);
  for (size_t i = 0; i < img.px.size(); ++i) {
    img.px[i] = Rgba{rgb[i * 3] / 255.0f, rgb[i * 3 + 1] / 255.0f, rgb[i * 3 + 2] / 255.0f, 1};
  }
  return img;
}

class FaceMaskFilterTest : public GlTest {
 protected:
  // Draws pass over a copy of image and checks: outside the mesh the copy is unchanged,
  // inside every pixel matches reference(u, v, pixel x, pixel y) within 2/255.
  void check(BaseFilter& pass, const CpuImage& image, const std::vector<int>& inputs,
             const std::function<Rgba(float, float, float, float)>& reference,
             const std::string& what, int* changed = nullptr) {
    GLuint fb = target(image.bytes(), kW, kH);
    ASSERT_TRUE(pass.render(inputs.data(), static_cast<int>(inputs.size()), kW, kH, fb)) << what;
    Pixels out = read(fb, kW, kH), copy = image.bytes();
    int bad = 0, diff = 0;
    for (int y = 0; y < kH && bad < 5; ++y) {
      for (int x = 0; x < kW && bad < 5; ++x) {
        const int side = meshSide(face_.points, x + 0.5f, y + 0.5f);
        const size_t i = (static_cast<size_t>(y) * kW + x) * 4;
        for (int k = 0; k < 4; ++k) {
          if (out[i + k] != copy[i + k]) ++diff;
          float want;
          if (side < 0) {
            want = copy[i + k];
          } else if (side > 0) {
            want = clampf(reference((x + 0.5f) / kW, (y + 0.5f) / kH, x + 0.5f, y + 0.5f)[k], 0, 1) * 255;
          } else {
            continue;
          }
          if (std::fabs(out[i + k] - want) > (side < 0 ? 0.0f : 2.0f)) {
            ADD_FAILURE() << what << " at (" << x << ", " << y << ") side " << side << " channel "
                          << k << ": got " << int(out[i + k]) << ", want " << want;
            ++bad;
          }
        }
      }
    }
    if (changed) *changed = diff;
  }

  TemplateFace face_;
  BeautyLevels levels_;
};

TEST_F(FaceMaskFilterTest, FaceDetailOnATemplateFace) {
  CpuImage image = testPicture(kW, kH, 4), blur = testPicture(kW, kH, 8);
  int imageTex = static_cast<int>(texture(image.bytes(), kW, kH));
  int blurTex = static_cast<int>(texture(blur.bytes(), kW, kH));
  CpuImage mask = rgbImage(detailMaskImage(), kDetailMaskSize, kDetailMaskSize);
  struct Levels {
    float eye, nose, fEye;
  } cases[] = {{0.6f, 0.6f, 0.64f}, {0.0f, 0.9f, 0.1f}, {1.0f, 0.0f, 1.0f}};
  for (const Levels& c : cases) {
    levels_.setBeautyLevel(6, c.eye);
    levels_.setBeautyLevel(7, c.nose);
    levels_.setBeautyLevel(2, (c.fEye - 0.1f) / 0.9f);
    FaceMaskDetailFilter pass(&levels_);
    pass.setFaceInfo(&face_.info, 1);
    int changed = 0;
    check(pass, image, {imageTex, blurTex}, [&](float u, float v, float px, float py) {
      Rgba img = image.sample(u, v), b = blur.sample(u, v);
      Rgba m = mask.sample((px - kOx) / 128, (py - kOy) / 128);
      Rgba result = img;
      if (m[0] > 0.003f && c.eye >= 0.01f) {
        for (int k = 0; k < 3; ++k) {
          const float d = clampf((b[k] - img[k]) * 1.3f + 0.03f * b[k], 0, 0.2f);
          result[k] = img[k] + (std::min(img[k] + d, 1.0f) - img[k]) * c.eye * m[0];
        }
      }
      if (m[1] > 0.003f && m[0] < 0.003f && c.nose >= 0.01f) {
        for (int k = 0; k < 3; ++k) {
          const float d = clampf((b[k] - img[k]) * 1.4f + 0.05f * b[k], 0, 0.3f);
          result[k] = img[k] + (std::min(img[k] + d, 1.0f) - img[k]) * c.nose * m[1];
        }
      }
      const float fEye = levels_.value(2);
      if (m[2] > 0.003f && m[0] < 0.003f && fEye >= 0.01f) {
        const float o = 2 * 0.0013888f;
        Rgba n[4] = {image.sample(u + o, v), image.sample(u - o, v), image.sample(u, v + o),
                     image.sample(u, v - o)};
        for (int k = 0; k < 3; ++k) {
          float s = (result[k] + n[0][k] + n[1][k] + n[2][k] + n[3][k]) / 5;
          s = clampf(s + (result[k] - s) * 4, 0, 1);
          result[k] = result[k] + (s - result[k]) * m[2] * fEye;
        }
      }
      return result;
    }, "face detail", &changed);
    EXPECT_GT(changed, 100);
  }
}

TEST_F(FaceMaskFilterTest, FeatureMaskBlendModes) {
  CpuImage image = testPicture(kW, kH, 6);
  const int fw = 64, fh = 80;
  CpuImage feature = testPicture(fw, fh, 12);
  Pixels featureBytes = feature.bytes();
  int imageTex = static_cast<int>(texture(image.bytes(), kW, kH));
  float x0 = 1e9f, x1 = -1e9f, y0 = 1e9f, y1 = -1e9f;
  for (const auto& p : kTemplate) {
    x0 = std::min(x0, p.x), x1 = std::max(x1, p.x), y0 = std::min(y0, p.y), y1 = std::max(y1, p.y);
  }
  levels_.setBeautyLevel(6, 0.7f);
  for (int mode : {1, 2}) {
    setFacialFeatureBlendMode(mode);
    FaceMaskFilter pass(&levels_);
    EXPECT_FALSE(pass.enabled());
    pass.setFaceInfo(&face_.info, 1);
    EXPECT_FALSE(pass.enabled());  // no image yet
    pass.setImage(featureBytes.data(), fw, fh);
    ASSERT_TRUE(pass.enabled());
    check(pass, image, {imageTex}, [&](float u, float v, float px, float py) {
      Rgba b = image.sample(u, v);
      Rgba s = feature.sample((px - kOx - x0) / (x1 - x0), (py - kOy - y0) / (y1 - y0));
      Rgba out = b;
      for (int k = 0; k < 3; ++k) {
        if (mode == 1) {
          const float soft = s[k] < 0.5f ? 2 * b[k] * s[k] + b[k] * b[k] * (1 - 2 * s[k])
                                         : std::sqrt(b[k]) * (2 * s[k] - 1) + 2 * b[k] * (1 - s[k]);
          out[k] = soft * 0.7f + b[k] * 0.3f;
        } else {
          out[k] = b[k] * s[k] * 0.7f + s[k] * 0.3f;
        }
      }
      return out;
    }, "feature mode " + std::to_string(mode));
  }
  setFacialFeatureBlendMode(3);
  FaceMaskFilter unsupported(&levels_);
  unsupported.setFaceInfo(&face_.info, 1);
  unsupported.setImage(featureBytes.data(), fw, fh);
  GLuint fb = target(image.bytes(), kW, kH);
  testing::internal::CaptureStdout();
  EXPECT_FALSE(unsupported.render(&imageTex, 1, kW, kH, fb));
  std::string out = testing::internal::GetCapturedStdout();
  EXPECT_NE(std::string::npos, out.find("unsupport mix mode!\n")) << out;
  EXPECT_EQ(image.bytes(), read(fb, kW, kH));
  setFacialFeatureBlendMode(1);
}

TEST_F(FaceMaskFilterTest, MalformedFacesCountAsNone) {
  CpuImage image = testPicture(kW, kH, 2);
  int imageTex = static_cast<int>(texture(image.bytes(), kW, kH));
  int inputs[2] = {imageTex, imageTex};
  Pixels feature = fill(4, 4, 10, 20, 30, 255);
  std::vector<float> few(100, 50.0f);
  zq_face_info shortFace{0, 0, 0, kW, kH, 100, few.data()};
  zq_face_info noPoints{0, 0, 0, kW, kH, 200, nullptr};
  zq_face_info noSize = face_.info;
  noSize.imageWidth = 0;
  struct Case {
    zq_face_info* faces;
    int count;
  } cases[] = {{&shortFace, 1}, {&noPoints, 1}, {&noSize, 1}, {nullptr, 3}, {&face_.info, 0}};
  for (const Case& c : cases) {
    FaceMaskDetailFilter detail(&levels_);
    FaceMaskFilter mask(&levels_);
    mask.setImage(feature.data(), 4, 4);
    detail.setFaceInfo(&face_.info, 1);
    detail.setFaceInfo(c.faces, c.count);
    mask.setFaceInfo(c.faces, c.count);
    EXPECT_FALSE(detail.enabled());
    EXPECT_FALSE(mask.enabled());
    GLuint fb = target(image.bytes(), kW, kH);
    EXPECT_FALSE(detail.render(inputs, 2, kW, kH, fb));
    EXPECT_EQ(image.bytes(), read(fb, kW, kH));
  }
  // Refused images leave the pass without one.
  FaceMaskFilter mask(&levels_);
  mask.setFaceInfo(&face_.info, 1);
  mask.setImage(nullptr, 4, 4);
  mask.setImage(feature.data(), 0, 4);
  mask.setImage(feature.data(), 4, -1);
  EXPECT_FALSE(mask.enabled());
  // A 1 × 1 draw of a real face: no crash, the pass draws.
  FaceMaskDetailFilter detail(&levels_);
  detail.setFaceInfo(&face_.info, 1);
  GLuint tiny = target(fill(1, 1, 1, 2, 3, 255), 1, 1);
  EXPECT_TRUE(detail.render(inputs, 2, 1, 1, tiny));
}

}  // namespace
}  // namespace QUENMAR_FACEBEAUTY
