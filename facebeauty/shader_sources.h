// The shader texts of the passes: one vertex and fragment pair per pass, reached by ShaderId.
#pragma once

namespace QUENMAR_FACEBEAUTY {

enum class ShaderId {
  kNormal,
  kReadPixel,
  kBoxBlurMean,      // kind 0, direction 0
  kBoxBlurMeanVar,   // kind 0, direction 1
  kBoxBlurAlpha,     // kind 1
  kHighPassSoft,
  kBeautyWhite,
  kWhite,
  kSharpen0,
  kSharpen1,
  kSharpen2,
  kSharpen3,
  kFaceMaskDetail,
  kFaceMaskSoftLight,
  kFaceMaskMultiply,
  kReshaping,
  kCount
};

struct ShaderPair {
  const char* vertex;
  const char* fragment;
};

const ShaderPair& shaderSources(ShaderId id);

}  // namespace QUENMAR_FACEBEAUTY
