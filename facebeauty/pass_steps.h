// Sampling steps of the passes, derived from a 1280 × 720 frame at 16:9: the long step on the
// frame's long axis, 1/720 (or 1/360 in the box blurs) on the short one.
#pragma once

#include <algorithm>

namespace QUENMAR_FACEBEAUTY {

inline float longStep(float width, float height) {
  const float longSide = std::max(width, height);
  const float shortSide = std::max(1.0f, std::min(width, height));
  return 1.0f / ((longSide / shortSide) / (16.0f / 9.0f) * 1280.0f);
}

// (x, y) steps: the long step on the long axis (× longFactor), shortStep on the other.
inline void axisSteps(float width, float height, float longFactor, float shortStep, float* x,
                      float* y) {
  const float l = longStep(width, height) * longFactor;
  const bool landscape = width > height;
  *x = landscape ? l : shortStep;
  *y = landscape ? shortStep : l;
}

}  // namespace QUENMAR_FACEBEAUTY
