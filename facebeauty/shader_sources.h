// The shader texts of the passes: one vertex and fragment pair per pass, reached by ShaderId.
#pragma once

namespace QUENMAR_FACEBEAUTY {

enum class ShaderId {
  kNormal,
  kReadPixel,
  kCount
};

struct ShaderPair {
  const char* vertex;
  const char* fragment;
};

const ShaderPair& shaderSources(ShaderId id);

}  // namespace QUENMAR_FACEBEAUTY
