#include "white_filters.h"

namespace QUENMAR_FACEBEAUTY {

GLuint LookupFilter::cubeTexture() {
  // release() deletes the owned textures and empties their list.
  if (ownedTextures_.empty()) texture_ = 0;
  if (!texture_) {
    texture_ = makeTexture(true);
    uploadTexture(lookupCube(cube_).data(), texture_, kLookupSize, kLookupSize, GL_RGB);
    ownedTextures_.push_back(texture_);
  }
  return texture_;
}

void BeautyWhiteFilter::setup(const int* inputs, int count) {
  useFullFrameQuad();
  setUniform("strength", owner_ ? owner_->value(5) : 0.0f);
  std::vector<int> all(inputs, inputs + (inputs && count > 0 ? count : 0));
  all.push_back(static_cast<int>(cubeTexture()));
  setInputs(all.data(), static_cast<int>(all.size()));
}

void WhiteFilter::setup(const int* inputs, int count) {
  useFullFrameQuad();
  setUniform("strength", level_);
  std::vector<int> all(inputs, inputs + (inputs && count > 0 ? count : 0));
  all.push_back(static_cast<int>(cubeTexture()));
  setInputs(all.data(), static_cast<int>(all.size()));
}

}  // namespace QUENMAR_FACEBEAUTY
