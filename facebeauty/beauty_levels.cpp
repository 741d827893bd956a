#include "beauty_levels.h"

#include <algorithm>

namespace QUENMAR_FACEBEAUTY {
namespace {

// Smoothing strength: 0.9 × (1 − (1 − l)²), at least 0 (above l = 2 the curve turns negative,
// which would push pixels away from their local mean).
float smoothing(float l) { return std::max(0.0f, 0.9f * (1.0f - (1.0f - l) * (1.0f - l))); }

float mapLevel(int type, float l) {
  switch (type) {
    case 0: return 0.15f * l;
    case 1: return 0.13f * l;
    case 2: return 0.9f * l + 0.1f;
    case 3: return 0.3f * l;
    case 4: return smoothing(l);
    case 5: case 6: case 7: case 8: return l;
    case 9: return 0.1f * l;
    case 10: return 0.15f * l;
    case 11: return 0.2f * (l - 0.5f);
    case 12: return -0.13f * (l - 0.5f);
    case 13: return 0.5f * l;
    case 14: return 0.35f * (l - 0.5f);
    case 15: return 0.5f * (l - 0.5f);
    case 16: return l - 0.5f;
    case 17: return -0.5f * (l - 0.5f);
    case 18: return 0.2f * l;
    case 19: return 0.1f * l;
    case 20: return 0.2f * l;
    case 21: return 0.15f * l;
    default: return 0.0f;
  }
}

}  // namespace

BeautyLevels::BeautyLevels() {
  const float defaults[9] = {0.09f, 0.078f, 0.64f, 0.18f, 0.54f, 0.6f, 0.6f, 0.6f, 0.077f};
  std::fill(values_, values_ + kCount, 0.0f);
  std::copy(defaults, defaults + 9, values_);
}

void BeautyLevels::setBeautyLevel(int type, float level) {
  if (!(level > -0.001f && level < 3.001f) || type < 0 || type > kPresetType) return;
  if (type != kPresetType) {
    values_[type] = mapLevel(type, level);
    return;
  }
  for (int t = 9; t <= 21; ++t) values_[t] = 0.0f;
  for (int t = 0; t <= 7; ++t) values_[t] = mapLevel(t, level);
  values_[8] = (values_[4] + 1.0f) * 0.05f;
}

float BeautyLevels::value(int type) const {
  return type >= 0 && type < kCount ? values_[type] : 0.0f;
}

}  // namespace QUENMAR_FACEBEAUTY
