// Four-stage sharpening. Stage 0 (input image): high-pass detail and its strength in alpha;
// 1 (stage 0, mask): edge map; 2 (stage 1): its five-tap mean; 3 (image, stage 0, stage 2,
// mask): the sharpened image. Reads levels 4 and 8.
#pragma once

#include "base_filter.h"

namespace QUENMAR_FACEBEAUTY {

class SharpenFilter : public BaseFilter {
 public:
  SharpenFilter(int stage, BeautyLevels* owner);
  bool init() override;
  void setup(const int* inputs, int count) override;
  void setSimple(bool simple) override { simple_ = simple; }

 private:
  int stage_;
  bool simple_ = false;
};

}  // namespace QUENMAR_FACEBEAUTY
