#include "smoothing_filters.h"

#include "pass_steps.h"

namespace QUENMAR_FACEBEAUTY {

BoxBlurFilter::BoxBlurFilter(int direction, int kind, BeautyLevels* owner)
    : BaseFilter("BoxBlurFilter", owner), direction_(direction), kind_(kind) {}

bool BoxBlurFilter::init() {
  if (kind_ == 1) return initFrom(ShaderId::kBoxBlurAlpha);
  return initFrom(direction_ == 0 ? ShaderId::kBoxBlurMean : ShaderId::kBoxBlurMeanVar);
}

void BoxBlurFilter::setup(const int* inputs, int count) {
  useFullFrameQuad();
  float x = 0, y = 0;
  axisSteps(width_, height_, 2.0f, 1.0f / 360.0f, &x, &y);
  const bool diagonal = owner_ && owner_->faceFlag();
  if (direction_ == 1) {
    x = 0;
  } else if (!diagonal) {
    y = 0;
  }
  setUniform("texBlurWidthOffset", x * scale_);
  setUniform("texBlurHeightOffset", y * scale_);
  setInputs(inputs, count);
}

void HighPassSoftFilter::setup(const int* inputs, int count) {
  useFullFrameQuad();
  float x = 0, y = 0;
  axisSteps(width_, height_, 1.0f, 1.0f / 720.0f, &x, &y);
  const float strength = owner_ ? owner_->value(4) : 0.0f;
  // The offsets and sharpen feed nothing the fragment shader reads; a compiler may drop them.
  setUniform("widthOffset", x);
  setUniform("heightOffset", y);
  setUniform("blurAlpha", strength);
  setUniform("sharpen", strength * 0.05f);
  const float rangeValue[4] = {0.2f, 0.5f, 0.9f, 0.9f};
  const float rangeBlur[4] = {1.0f, 0.9f, 0.5f, 0.2f};
  setUniform("frequencyRangeValue", rangeValue, 4);
  setUniform("frequencyRangeBlur", rangeBlur, 4);
  setInputs(inputs, count);
}

}  // namespace QUENMAR_FACEBEAUTY
