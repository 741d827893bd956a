#include "lookup_tables.h"

#include <algorithm>
#include <cmath>
#include <mutex>

namespace QUENMAR_FACEBEAUTY {
namespace {

float clamp01(float v) { return std::min(1.0f, std::max(0.0f, v)); }

void mapColour(LookupCube cube, float* rgb) {
  for (int k = 0; k < 3; ++k) {
    float c = rgb[k];
    if (cube == LookupCube::kWhitening) {
      c = c + 0.12f * c * (1.0f - c);
    } else if (cube == LookupCube::kAiLight) {
      c = c + 0.25f * (c - 0.5f) * (1.0f - std::fabs(2.0f * c - 1.0f));
    }
    rgb[k] = clamp01(c);
  }
  if (cube == LookupCube::kAiLight) {
    rgb[0] = clamp01(rgb[0] * 1.03f);
    rgb[2] = clamp01(rgb[2] * 0.97f);
  }
}

std::vector<unsigned char> build(LookupCube cube) {
  std::vector<unsigned char> image(kLookupSize * kLookupSize * 3);
  for (int y = 0; y < kLookupSize; ++y) {
    for (int x = 0; x < kLookupSize; ++x) {
      const int tile = (y / 64) * 8 + x / 64;
      float rgb[3] = {(x % 64) / 63.0f, (y % 64) / 63.0f, tile / 63.0f};
      mapColour(cube, rgb);
      unsigned char* p = &image[(static_cast<size_t>(y) * kLookupSize + x) * 3];
      for (int k = 0; k < 3; ++k) p[k] = static_cast<unsigned char>(std::lround(rgb[k] * 255.0f));
    }
  }
  return image;
}

}  // namespace

const std::vector<unsigned char>& lookupCube(LookupCube cube) {
  static std::once_flag once;
  static std::vector<unsigned char> cubes[3];
  std::call_once(once, [] {
    for (int i = 0; i < 3; ++i) cubes[i] = build(static_cast<LookupCube>(i));
  });
  return cubes[static_cast<int>(cube)];
}

}  // namespace QUENMAR_FACEBEAUTY
