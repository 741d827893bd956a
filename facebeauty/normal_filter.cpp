#include "normal_filter.h"

namespace QUENMAR_FACEBEAUTY {

void NormalFilter::setup(const int* inputs, int count) {
  useFullFrameQuad();
  setUniform("uTexMatrix", texMatrix_, 16);
  setInputs(inputs, count);
}

}  // namespace QUENMAR_FACEBEAUTY
