// Image mode: beautifies an RGBA (or NV21) image in memory in place. GL context current on the
// calling thread.
#pragma once

#include "beauty_engine.h"
#include "zq_image_info.h"

namespace QUENMAR_FACEBEAUTY {

class BeautyShot : public BeautyEngineBase {
 public:
  // 4 bytes per pixel (R, G, B, A); images larger than the largest texture are processed at a
  // reduced size and scaled back.
  zq_image_info_st* processArgb(zq_image_info_st* image);
  // Y plane and interleaved V/U at half resolution.
  zq_image_info_st* processNv21(zq_image_info_st* image);

 private:
  bool reshapingMade() override;
  bool refused(zq_image_info_st* image);
  void processRgba(unsigned char* rgba, int width, int height);
};

}  // namespace QUENMAR_FACEBEAUTY
