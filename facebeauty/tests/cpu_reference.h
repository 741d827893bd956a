// CPU images sampled by GL's rules (texel centres, bilinear, clamp to edge), for checking the
// passes against their formulas.
#pragma once

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
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
    const float x = u * w - 0.5f, y = v * h - 0.5f;
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

}  // namespace QUENMAR_FACEBEAUTY
