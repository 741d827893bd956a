// Guided skin smoothing: the box blurs that gather the local mean and variance at a third of
// the working size, and the high-pass pass that pulls skin toward its local mean.
#pragma once

#include "base_filter.h"

namespace QUENMAR_FACEBEAUTY {

// direction 0 horizontal (both axes with the owner's face flag on), 1 vertical;
// kind 0 mean (direction 0: inputs image, mask; direction 1: mean, unblurred image, mask, giving
// the mean and its variance in alpha), kind 1 mean of alpha (inputs image, mask).
class BoxBlurFilter : public BaseFilter {
 public:
  BoxBlurFilter(int direction, int kind, BeautyLevels* owner);
  bool init() override;
  void setup(const int* inputs, int count) override;

 private:
  int direction_;
  int kind_;
  float scale_ = 1.0f;
};

// Inputs: image, statistics (mean in rgb, variance in alpha), mask. Reads level 4.
class HighPassSoftFilter : public BaseFilter {
 public:
  explicit HighPassSoftFilter(BeautyLevels* owner) : BaseFilter("HighPassSoftFilter", owner) {}
  bool init() override { return initFrom(ShaderId::kHighPassSoft); }
  void setup(const int* inputs, int count) override;
};

}  // namespace QUENMAR_FACEBEAUTY
