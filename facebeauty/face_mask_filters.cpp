#include "face_mask_filters.h"

#include <atomic>
#include <cstdio>
#include <cstring>

#include "fb_log.h"

namespace QUENMAR_FACEBEAUTY {
namespace {

std::atomic<int> g_blendMode{1};

}  // namespace

void setFacialFeatureBlendMode(int mode) { g_blendMode = mode; }
int facialFeatureBlendMode() { return g_blendMode; }

FaceMeshFilter::FaceMeshFilter(const char* className, BeautyLevels* owner,
                               const float* maskCoords)
    : BaseFilter(className, owner), vertices_(kFacePointCount * 4, 0.0f) {
  std::memcpy(&vertices_[kFacePointCount * 2], maskCoords, sizeof(float) * kFacePointCount * 2);
  setIndices(kFaceMeshTriangles, kFaceMeshIndexCount);
  clearBeforeDraw = false;
}

void FaceMeshFilter::setFaceInfo(zq_face_info* faces, int count) {
  const bool usable = faces && count >= 1 && faces[0].points &&
                      faces[0].pointCapacity >= kFacePointCount * 2 &&
                      faces[0].imageWidth >= 1 && faces[0].imageHeight >= 1;
  std::lock_guard<std::mutex> guard(faceLock_);
  hasFace_ = usable;
  if (usable) {
    std::memcpy(vertices_.data(), faces[0].points, sizeof(float) * kFacePointCount * 2);
    faceWidth_ = static_cast<float>(faces[0].imageWidth);
    faceHeight_ = static_cast<float>(faces[0].imageHeight);
  } else {
    std::fill(vertices_.begin(), vertices_.begin() + kFacePointCount * 2, 0.0f);
    faceWidth_ = faceHeight_ = 640.0f;
  }
}

bool FaceMeshFilter::enabled() {
  std::lock_guard<std::mutex> guard(faceLock_);
  return hasFace_;
}

void FaceMeshFilter::setupMesh() {
  std::lock_guard<std::mutex> guard(faceLock_);
  uploadVertices(vertices_.data(), static_cast<int>(vertices_.size()));
  addAttribute("aPosition", 2, 8, 0);
  addAttribute("aTextureCoord", 2, 8, kFacePointCount * 8);
  setUniform("width", faceWidth_);
  setUniform("height", faceHeight_);
}

FaceMaskDetailFilter::FaceMaskDetailFilter(BeautyLevels* owner)
    : FaceMeshFilter("FaceMaskDetailFilter", owner, kDetailMaskCoords) {}

void FaceMaskDetailFilter::setup(const int* inputs, int count) {
  setupMesh();
  setUniform("eyeIntensity", owner_ ? owner_->value(6) : 0.0f);
  setUniform("noseIntensity", owner_ ? owner_->value(7) : 0.0f);
  setUniform("fEyeIntensity", owner_ ? owner_->value(2) : 0.0f);
  if (ownedTextures_.empty()) maskTexture_ = 0;  // released since
  if (!maskTexture_) {
    maskTexture_ = makeTexture(true);
    uploadTexture(detailMaskImage().data(), maskTexture_, kDetailMaskSize, kDetailMaskSize,
                  GL_RGB);
    ownedTextures_.push_back(maskTexture_);
  }
  std::vector<int> all(inputs, inputs + (inputs && count > 0 ? count : 0));
  all.push_back(static_cast<int>(maskTexture_));
  setInputs(all.data(), static_cast<int>(all.size()));
}

FaceMaskFilter::FaceMaskFilter(BeautyLevels* owner)
    : FaceMeshFilter("FaceMaskFilter", owner, kFeatureMaskCoords) {}

bool FaceMaskFilter::init() {
  if (built_) return true;
  const int mode = facialFeatureBlendMode();
  if (mode != 1 && mode != 2) {
    logPrint("unsupport mix mode!\n");
    return false;
  }
  return initFrom(mode == 1 ? ShaderId::kFaceMaskSoftLight : ShaderId::kFaceMaskMultiply);
}

void FaceMaskFilter::setImage(unsigned char* rgba, int width, int height, int) {
  if (!rgba || width < 1 || height < 1) return;
  std::lock_guard<std::mutex> guard(faceLock_);
  image_.assign(rgba, rgba + static_cast<size_t>(width) * height * 4);
  imageWidth_ = width;
  imageHeight_ = height;
  imageDirty_ = true;
}

bool FaceMaskFilter::enabled() {
  std::lock_guard<std::mutex> guard(faceLock_);
  return hasFace_ && !image_.empty();
}

void FaceMaskFilter::setup(const int* inputs, int count) {
  setupMesh();
  setUniform("intensity", owner_ ? owner_->value(6) : 0.0f);
  if (ownedTextures_.empty()) imageTexture_ = 0;  // released since
  {
    std::lock_guard<std::mutex> guard(faceLock_);
    if (!imageTexture_) {
      imageTexture_ = makeTexture(true);
      ownedTextures_.push_back(imageTexture_);
      imageDirty_ = true;
    }
    if (imageDirty_) {
      uploadTexture(image_.data(), imageTexture_, imageWidth_, imageHeight_, GL_RGBA);
      imageDirty_ = false;
    }
  }
  std::vector<int> all(inputs, inputs + (inputs && count > 0 ? count : 0));
  all.push_back(static_cast<int>(imageTexture_));
  setInputs(all.data(), static_cast<int>(all.size()));
}

}  // namespace QUENMAR_FACEBEAUTY
