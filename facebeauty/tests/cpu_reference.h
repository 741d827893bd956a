// CPU images sampled by GL's rules (texel centres, bilinear, clamp to edge), for checking the
// passes against their formulas.
#pragma once

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <functional>
#include <vector>

namespace QUENMAR_FACEBEAUTY {

using Rgba = std::array<float, 4>;

struct CpuImage {
  int w = 0, h = 0;
  std::vector<Rgba> px;

  CpuImage(int width, int height) : w(width), h(height), px(static_cast<size_t>(width) * height) {}

  Rgba& at(int x, int y) { return px[static_cast<size_t>(y) * w + x]; }
  Rgba texel(int x, int y) const {
    x = std::min(std::max(x, 0), w - 1);
    y = std::min(std::max(y, 0), h - 1);
    return px[static_cast<size_t>(y) * w + x];
  }
  Rgba sample(float u, float v) const {
    // Texture units filter with a fixed-point fraction; rounding to 1/256 of a texel as they do
    // also keeps a texel centre exact when the host's float arithmetic carries extra precision.
    const float x = std::round((u * w - 0.5f) * 256.0f) / 256.0f;
    const float y = std::round((v * h - 0.5f) * 256.0f) / 256.0f;
    const int x0 = static_cast<int>(std::floor(x)), y0 = static_cast<int>(std::floor(y));
    const float fx = x - x0, fy = y - y0;
    Rgba out{};
    const Rgba a = texel(x0, y0), b = texel(x0 + 1, y0), c = texel(x0, y0 + 1),
               d = texel(x0 + 1, y0 + 1);
    for (int k = 0; k < 4; ++k) {
      out[k] = (a[k] * (1 - fx) + b[k] * fx) * (1 - fy) + (c[k] * (1 - fx) + d[k] * fx) * fy;
    }
    return out;
  }
  std::vector<unsigned char> bytes() const {
    std::vector<unsigned char> out(px.size() * 4);
    for (size_t i = 0; i < px.size(); ++i) {
      for (int k = 0; k < 4; ++k) {
        out[i * 4 + k] = static_cast<unsigned char>(std::lround(std::min(1.0f, std::max(0.0f, px[i][k])) * 255));
      }
    }
    return out;
  }
  static CpuImage fromBytes(const std::vector<unsigned char>& b, int width, int height) {
    CpuImage img(width, height);
    for (size_t i = 0; i < img.px.size(); ++i) {
      for (int k = 0; k < 4; ++k) img.px[i][k] = b[i * 4 + k] / 255.0f;
    }
    return img;
  }
};

// A smooth but varied test picture (values stay away from 0 and 1 on most pixels).
inline CpuImage testPicture(int w, int h, unsigned seed) {
  CpuImage img(w, h);
  uint32_t state = seed;
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      state = state * 1664525u + 1013904223u;
      const float noise = ((state >> 24) & 0xff) / 255.0f * 0.25f;
      Rgba& p = img.at(x, y);
      p[0] = 0.35f + 0.4f * std::sin(x * 0.21f + seed) * std::cos(y * 0.13f) * 0.5f + noise;
      p[1] = 0.3f + 0.3f * (x / float(w)) + noise * 0.5f;
      p[2] = 0.2f + 0.5f * (y / float(h)) * (1 - noise);
      p[3] = 1.0f;
      for (int k = 0; k < 3; ++k) p[k] = std::min(1.0f, std::max(0.0f, p[k]));
      img.at(x, y) = CpuImage::fromBytes(
          std::vector<unsigned char>{static_cast<unsigned char>(std::lround(p[0] * 255)),
                                     static_cast<unsigned char>(std::lround(p[1] * 255)),
                                     static_cast<unsigned char>(std::lround(p[2] * 255)), 255},
          1, 1).px[0];
    }
  }
  return img;
}

// A mask: zero on the left quarter, ramps elsewhere (r = g = b = value, alpha 1).
inline CpuImage testMask(int w, int h) {
  CpuImage img(w, h);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      float v = x < w / 4 ? 0.0f : std::round(255 * (0.3f + 0.7f * ((x + 2 * y) % 17) / 16.0f)) / 255;
      img.at(x, y) = Rgba{v, v, v, 1};
    }
  }
  return img;
}

inline float clampf(float v, float lo, float hi) { return std::min(hi, std::max(lo, v)); }

inline float smoothstepf(float e0, float e1, float x) {
  const float t = clampf((x - e0) / (e1 - e0), 0.0f, 1.0f);
  return t * t * (3.0f - 2.0f * t);
}

// The uniforms of one reshaping draw, as the shader declares them (arrays of 100 entries).
struct ReshapeUniforms {
  int findex = 0;
  float bigEyeAspect = 1.0f;
  float xyRatio[2] = {1.0f, 1.0f};
  float eyeLevel[2] = {0.0f, 0.0f};
  std::vector<float> coord = std::vector<float>(200), radius = std::vector<float>(100),
                     radius2 = std::vector<float>(100), plus = std::vector<float>(200),
                     plus2 = std::vector<float>(200);
};

// The reshaping shader's ten steps on the CPU: the texture coordinate (u, v) of a fragment
// becomes the coordinate the image is sampled at. falloff is the one-channel falloff image
// (value in the red channel), sampled by GL's rules.
inline std::array<float, 2> reshapeCoordinate(const ReshapeUniforms& k, const CpuImage& falloff,
                                              float u, float v) {
  struct V2 {
    float x, y;
  };
  const int b = k.findex * 20;
  auto at = [](const std::vector<float>& a, int i) { return V2{a[i * 2], a[i * 2 + 1]}; };
  V2 n{k.xyRatio[0] * u, k.xyRatio[1] * v};
  auto weightScaled = [&](V2 q, float r, float ax) {
    const float sx = smoothstepf(q.x * ax - r, q.x * ax + r, n.x * ax);
    const float sy = smoothstepf(q.y - r, q.y + r, n.y);
    return falloff.sample(sx, sy)[0];
  };
  auto weight = [&](V2 q, float r) { return weightScaled(q, r, 1.0f); };
  auto weightAspect = [&](V2 q, float r) { return weightScaled(q, r, k.bigEyeAspect); };
  auto scaleFun = [](float x) {
    return x <= 0.4f ? std::sin(1.5707963f * x / 0.4f) : std::pow(1.4f - x, 8.0f);
  };
  auto scaleFun2 = [](float x) { return x <= 0.4f ? std::sin(1.5707963f * x / 0.4f) : 1.0f; };
  auto sub = [&](V2 d, float w) {
    n.x -= d.x * w;
    n.y -= d.y * w;
  };
  auto pullTo = [&](V2 q, float a) {
    n.x += (q.x - n.x) * a;
    n.y += (q.y - n.y) * a;
  };
  float m;
  // 1. eyes
  for (int i = 2; i <= 3; ++i) {
    const V2 eye = at(k.coord, b + i);
    m = weightAspect(eye, k.radius[b + 2]);
    pullTo(eye, k.eyeLevel[0] * scaleFun(1.0f - m));
    sub(at(k.plus, b + i), scaleFun2(m));
    sub(at(k.plus2, b + i), scaleFun2(m));
  }
  // 2. mouth size, then the mouth centre pull within 0.7 of its radius
  const V2 mouth = at(k.coord, b + 13);
  m = weightAspect(mouth, k.radius[b + 13]);
  pullTo(mouth, k.eyeLevel[1] * scaleFun(1.0f - m));
  m = weightAspect(mouth, 0.7f * k.radius[b + 13]);
  sub(at(k.plus, b + 13), scaleFun2(m));
  // 3. face left and right
  for (int i = 0; i <= 1; ++i) sub(at(k.plus, b + i), weight(at(k.coord, b + i), k.radius[b]));
  // 4. cheekbones
  for (int i = 18; i <= 19; ++i) {
    sub(at(k.plus, b + i), weight(at(k.coord, b + i), k.radius[b + 18]));
    sub(at(k.plus2, b + i), weight(at(k.coord, b + i), k.radius2[b + 18]));
  }
  // 5. chin
  sub(at(k.plus, b + 4), weight(at(k.coord, b + 4), k.radius[b + 4]));
  m = weightAspect(at(k.coord, b + 4), k.radius2[b + 4]);
  sub(at(k.plus2, b + 4), scaleFun2(m));
  // 6. mandibles, then their second pull at the V-face points
  for (int i = 16; i <= 17; ++i) sub(at(k.plus, b + i), weight(at(k.coord, b + i), k.radius[b + 16]));
  for (int i = 16; i <= 17; ++i) {
    sub(at(k.plus2, b + i), weight(at(k.coord, b + i - 2), k.radius2[b + 16]));
  }
  // 7. V face, then the second pulls of the mouth-corner entries at the V-face points
  for (int i = 14; i <= 15; ++i) {
    const V2 q = at(k.coord, b + i);
    sub(at(k.plus, b + i), weight(q, k.radius[b + 14]));
    sub(at(k.plus2, b + i), weight(q, k.radius2[b + 14]));
    sub(at(k.plus2, b + i - 3), weight(q, k.radius[b + 14]));
  }
  // 8. chin left and right
  for (int i = 5; i <= 6; ++i) sub(at(k.plus, b + i), weight(at(k.coord, b + i), k.radius[b + 5]));
  // 9. nose tip, nose wings
  m = weight(at(k.coord, b + 10), k.radius[b + 10]);
  sub(at(k.plus, b + 10), scaleFun2(m));
  for (int i = 8; i <= 9; ++i) sub(at(k.plus, b + i), weight(at(k.coord, b + i), k.radius[b + 8]));
  // 10. mouth corners
  for (int i = 11; i <= 12; ++i) {
    sub(at(k.plus, b + i), weight(at(k.coord, b + i), k.radius[b + 11]));
  }
  return {n.x / k.xyRatio[0], n.y / k.xyRatio[1]};
}

// The four sharpening stages on the CPU, each stage's result stored in bytes as the GL targets
// hold them. steps: the pass's sampling steps; amount: (simple ? 0 : 0.8 × level 8) +
// 0.05 × (level 4 + 1).
inline CpuImage cpuSharpen(const CpuImage& image, float sx, float sy, float amount) {
  const int w = image.w, h = image.h;
  auto fiveTaps = [&](const CpuImage& src, float u, float v) {
    Rgba sum{};
    const float du[5] = {0, sx, -sx, 0, 0}, dv[5] = {0, 0, 0, sy, -sy};
    for (int i = 0; i < 5; ++i) {
      Rgba t = src.sample(u + du[i], v + dv[i]);
      for (int k = 0; k < 4; ++k) sum[k] += t[k] / 5;
    }
    return sum;
  };
  auto each = [&](const std::function<Rgba(float, float)>& f) {
    CpuImage out(w, h);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) out.at(x, y) = f((x + 0.5f) / w, (y + 0.5f) / h);
    return CpuImage::fromBytes(out.bytes(), w, h);
  };
  CpuImage high = each([&](float u, float v) {
    Rgba img = image.sample(u, v), avg = fiveTaps(image, u, v);
    Rgba out{};
    float var = 0;
    for (int k = 0; k < 3; ++k) {
      const float d = img[k] - avg[k];
      // A detail of exactly 0 lands on the half byte: the GL side stores 127 there.
      out[k] = clampf(d + 0.5f, 0, 1);
      var += std::min((d * 7.07f) * (d * 7.07f), 1.0f);
    }
    out[3] = var / 3;
    return out;
  });
  CpuImage edges = each([&](float u, float v) {
    Rgba t = high.sample(u, v);
    for (int k = 0; k < 3; ++k) t[k] = clampf(3.0f * std::fabs(t[k] - 0.5f), 0, 1) >= 0.0157f ? 1 : 0;
    return t;
  });
  CpuImage mean = each([&](float u, float v) { return fiveTaps(edges, u, v); });
  return each([&](float u, float v) {
    Rgba img = image.sample(u, v), hh = high.sample(u, v), mm = mean.sample(u, v);
    const float k = 1 - mm[3] / (mm[3] + 0.1f);
    Rgba out = img;
    for (int c = 0; c < 3; ++c) {
      float sharp = clampf(img[c] + (2 * hh[c] - 1) * 2.4f, 0, 1);
      sharp = img[c] + (sharp - img[c]) * mm[c];
      out[c] = img[c] + (sharp - img[c]) * (1 - 0.5f * k * k) * amount;
    }
    return out;
  });
}

}  // namespace QUENMAR_FACEBEAUTY
