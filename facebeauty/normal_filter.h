// The copy pass and the read pass: the input sampled at (uTexMatrix × (s, t, 1, 1)).xy.
#pragma once

#include "base_filter.h"

namespace QUENMAR_FACEBEAUTY {

class NormalFilter : public BaseFilter {
 public:
  NormalFilter() : BaseFilter("NormalFilter") {}
  bool init() override { return initFrom(ShaderId::kNormal); }
  void setup(const int* inputs, int count) override;

 protected:
  NormalFilter(const char* className) : BaseFilter(className) {}
};

class ReadPixelFilter : public NormalFilter {
 public:
  ReadPixelFilter() : NormalFilter("ReadPixelFilter") {}
  bool init() override { return initFrom(ShaderId::kReadPixel); }
};

}  // namespace QUENMAR_FACEBEAUTY
