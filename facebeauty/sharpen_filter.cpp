#include "sharpen_filter.h"

#include "pass_steps.h"

namespace QUENMAR_FACEBEAUTY {

SharpenFilter::SharpenFilter(int stage, BeautyLevels* owner)
    : BaseFilter("SharpenFilter", owner), stage_(stage < 0 ? 0 : (stage > 3 ? 3 : stage)) {}

bool SharpenFilter::init() {
  const ShaderId ids[4] = {ShaderId::kSharpen0, ShaderId::kSharpen1, ShaderId::kSharpen2,
                           ShaderId::kSharpen3};
  return initFrom(ids[stage_]);
}

void SharpenFilter::setup(const int* inputs, int count) {
  useFullFrameQuad();
  if (stage_ == 0 || stage_ == 2) {
    float step[2];
    axisSteps(width_, height_, 1.0f, 1.0f / 720.0f, &step[0], &step[1]);
    setUniform("singleOffsetStep", step, 2);
  } else {
    setUniform("useMask", 0);
  }
  if (stage_ == 3) {
    const float l4 = owner_ ? owner_->value(4) : 0.0f;
    const float l8 = owner_ ? owner_->value(8) : 0.0f;
    setUniform("sharpness", (simple_ ? 0.0f : 0.8f * l8) + 0.05f * (l4 + 1.0f));
  }
  setInputs(inputs, count);
}

}  // namespace QUENMAR_FACEBEAUTY
