#include "beauty_engine.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "fb_log.h"

namespace QUENMAR_FACEBEAUTY {

BeautyEngineBase::BeautyEngineBase() : mask_(kMaskSide * kMaskSide, 255) {}

BeautyEngineBase::~BeautyEngineBase() {
  deleteTargets();
  if (maskTexture_) glDeleteTextures(1, &maskTexture_);
}

void BeautyEngineBase::refuse(const char* text) { logPrint("%s\n", text); }

bool BeautyEngineBase::init(bool simple) {
  if (ready_) releasePasses();
  simple_ = simple;
  faceDetail_.reset(new FaceMaskDetailFilter(&levels_));
  if (simple) {
    reshaping_.reset(new ReshapingFilterOptLite(&levels_));
  } else {
    reshaping_.reset(new ReshapingFilterOpt(&levels_));
  }
  if (!reshapingMade()) {
    refuse("egl fail, process fail");
    releasePasses();
    ready_ = false;
    return false;
  }
  highPass_.reset(new HighPassSoftFilter(&levels_));
  aiLight_.reset(new WhiteFilter());
  whitening_.reset(new BeautyWhiteFilter(&levels_));
  for (int stage = 0; stage < 4; ++stage) sharpen_[stage].reset(new SharpenFilter(stage, &levels_));
  sharpen_[3]->setSimple(simple);
  const int blurs[4][2] = {{0, 0}, {1, 0}, {0, 1}, {1, 1}};
  for (int i = 0; i < 4; ++i) blur_[i].reset(new BoxBlurFilter(blurs[i][0], blurs[i][1], &levels_));
  copy_.reset(new NormalFilter());
  ready_ = true;
  return true;
}

void BeautyEngineBase::releasePasses() {
  auto drop = [](auto& pass) {
    if (pass) pass->release();
    pass.reset();
  };
  drop(faceDetail_);
  drop(reshaping_);
  drop(highPass_);
  drop(aiLight_);
  drop(whitening_);
  for (auto& pass : sharpen_) drop(pass);
  for (auto& pass : blur_) drop(pass);
  drop(feature_);
  drop(copy_);
}

void BeautyEngineBase::uninit() {
  if (!ready_) return refuse("egl is not init");
  if (!copy_) return refuse("zq_facebeauty already uninit");
  if (maskTexture_) glDeleteTextures(1, &maskTexture_);
  maskTexture_ = 0;
  {
    std::lock_guard<std::mutex> guard(maskLock_);
    maskDirty_ = true;
  }
  releasePasses();
  releaseExtra();
  ready_ = false;
}

void BeautyEngineBase::setAILightLevel(float level) {
  if (aiLight_) aiLight_->setLevel(level);
}

void BeautyEngineBase::setFaceInfo(zq_face_info* faces, int count) {
  if (!ready_) return refuse("egl is not init");
  // Reshaping draws at most five faces in turn: a sixth would warp face 0 again.
  faceCount_ = faces && count > 0 ? std::min(count, kMaxFaces) : 0;
  zq_face_info* given = faceCount_ > 0 ? faces : nullptr;
  reshaping_->setFaceInfo(given, faceCount_);
  whitening_->setFaceInfo(given, faceCount_);
  faceDetail_->setFaceInfo(given, faceCount_);
  if (feature_) feature_->setFaceInfo(given, faceCount_);
  for (auto& blur : blur_) blur->setFaceInfo(given, faceCount_);
}

void BeautyEngineBase::setMask(const unsigned char* mask, int width, int height) {
  if (width < 1 || height < 1) return;
  const size_t bytes = static_cast<size_t>(width) * height;
  std::lock_guard<std::mutex> guard(maskLock_);
  mask_.assign(bytes, 0);
  if (mask) std::memcpy(mask_.data(), mask, bytes);
  maskWidth_ = width;
  maskHeight_ = height;
  maskDirty_ = true;
}

void BeautyEngineBase::setFacialFeature(unsigned char* rgba, int width, int height, int mode) {
  if (feature_) feature_->release();
  feature_.reset();
  setFacialFeatureBlendMode(mode);
  feature_.reset(new FaceMaskFilter(&levels_));
  feature_->setImage(rgba, width, height);
}

void BeautyEngineBase::deleteTargets() {
  for (Target* t : {&ring_[0], &ring_[1], &ring_[2], &ring_[3], &small_[0], &small_[1]}) {
    if (t->framebuffer) glDeleteFramebuffers(1, &t->framebuffer);
    if (t->texture) glDeleteTextures(1, &t->texture);
    *t = Target();
  }
  buffersMade_ = false;
}

bool BeautyEngineBase::setWorkingSize(int inWidth, int inHeight, int outWidth, int outHeight,
                                      float scale) {
  // The area ratio in floating point: a product of two frame sides can overflow an int.
  const double ratio = (static_cast<double>(outWidth) * outHeight) /
                       (static_cast<double>(inWidth) * inHeight);
  const double k = std::sqrt(std::min(1.0, std::max(0.0, ratio))) * scale;
  const int w = static_cast<int>(inWidth * k) / 2 * 2;
  const int h = static_cast<int>(inHeight * k) / 2 * 2;
  const int sw = w / 3 / 2 * 2, sh = h / 3 / 2 * 2;
  if (!(k > 0) || w < 2 || h < 2 || sw < 2 || sh < 2) {
    refuse("frame size is invalid");
    return false;
  }
  if (buffersMade_ && w == workWidth_ && h == workHeight_) return true;
  deleteTargets();
  workWidth_ = w;
  workHeight_ = h;
  smallWidth_ = sw;
  smallHeight_ = sh;
  auto make = [](Target& t, int tw, int th) {
    t.texture = BaseFilter::makeTexture(true);
    t.framebuffer = BaseFilter::makeFramebuffer(t.texture, tw, th);
    return t.framebuffer != 0;
  };
  bool ok = true;
  for (Target& t : ring_) ok = make(t, w, h) && ok;
  for (Target& t : small_) ok = make(t, sw, sh) && ok;
  if (!ok) {
    deleteTargets();
    refuse("frame size is invalid");
    return false;
  }
  buffersMade_ = true;
  return true;
}

void BeautyEngineBase::uploadMask(bool linear) {
  if (!maskTexture_) {
    maskTexture_ = BaseFilter::makeTexture(linear);
    std::lock_guard<std::mutex> guard(maskLock_);
    maskDirty_ = true;
  }
  std::lock_guard<std::mutex> guard(maskLock_);
  if (!maskDirty_) return;
  BaseFilter::uploadTexture(mask_.data(), maskTexture_, maskWidth_, maskHeight_, GL_LUMINANCE);
  maskDirty_ = false;
}

void BeautyEngineBase::startChain(GLuint image, int slot) {
  current_ = image;
  slot_ = slot;
}

bool BeautyEngineBase::drawPass(BaseFilter& pass, std::vector<int> inputs) {
  const int next = (slot_ + 1) % 4;
  if (!pass.render(inputs.data(), static_cast<int>(inputs.size()), workWidth_, workHeight_,
                   static_cast<int>(ring_[next].framebuffer))) {
    return false;
  }
  slot_ = next;
  current_ = ring_[next].texture;
  return true;
}

void BeautyEngineBase::drawOverCopy(BaseFilter& pass, std::vector<int> moreInputs) {
  const int before = static_cast<int>(current_);
  copy_->setTexMatrix(identity_);
  if (!drawPass(*copy_, {before})) return;
  std::vector<int> inputs{before};
  inputs.insert(inputs.end(), moreInputs.begin(), moreInputs.end());
  pass.render(inputs.data(), static_cast<int>(inputs.size()), workWidth_, workHeight_,
              static_cast<int>(ring_[slot_].framebuffer));
}

void BeautyEngineBase::drawSmall(BaseFilter& pass, std::vector<int> inputs, int index) {
  pass.render(inputs.data(), static_cast<int>(inputs.size()), smallWidth_, smallHeight_,
              static_cast<int>(small_[index].framebuffer));
}

void BeautyEngineBase::drawAiLightAndWhitening() {
  if (aiLight_->level() > 0.001f) drawPass(*aiLight_, {static_cast<int>(current_)});
  drawPass(*whitening_, {static_cast<int>(current_), static_cast<int>(maskTexture_)});
}

void BeautyEngineBase::drawSmoothing() {
  const int mask = static_cast<int>(maskTexture_);
  const int a = static_cast<int>(small_[0].texture), b = static_cast<int>(small_[1].texture);
  const int image = static_cast<int>(current_);
  levels_.setFaceFlag(false);
  drawSmall(*blur_[0], {image, mask}, 0);
  drawSmall(*blur_[1], {a, image, mask}, 1);
  drawSmall(*blur_[2], {b, mask}, 0);
  drawSmall(*blur_[3], {a, mask}, 1);
  drawPass(*highPass_, {image, b, mask});
}

void BeautyEngineBase::drawFaceBlur() {
  levels_.setFaceFlag(true);
  drawSmall(*blur_[0], {static_cast<int>(current_), static_cast<int>(maskTexture_)}, 1);
  levels_.setFaceFlag(false);
}

void BeautyEngineBase::drawFaceDetail() {
  drawOverCopy(*faceDetail_, {static_cast<int>(small_[1].texture)});
}

void BeautyEngineBase::drawFeatureAndReshaping() {
  if (feature_) drawOverCopy(*feature_, {});
  for (int i = 0; i < faceCount_; ++i) drawOverCopy(*reshaping_, {});
}

void BeautyEngineBase::drawSharpening() {
  // Stage 3 reads the image from before stage 0, stage 0 and stage 2: it draws into stage 1's
  // slot, the only one of the four it does not read.
  const int r = slot_;
  const int s0 = (r + 1) % 4, s1 = (r + 2) % 4, s2 = (r + 3) % 4;
  const int before = static_cast<int>(current_), mask = static_cast<int>(maskTexture_);
  auto draw = [this](BaseFilter& pass, std::vector<int> inputs, int slot) {
    return pass.render(inputs.data(), static_cast<int>(inputs.size()), workWidth_, workHeight_,
                       static_cast<int>(ring_[slot].framebuffer));
  };
  const int t0 = static_cast<int>(ring_[s0].texture), t1 = static_cast<int>(ring_[s1].texture),
            t2 = static_cast<int>(ring_[s2].texture);
  if (draw(*sharpen_[0], {before}, s0) && draw(*sharpen_[1], {t0, mask}, s1) &&
      draw(*sharpen_[2], {t1}, s2) && draw(*sharpen_[3], {before, t0, t2, mask}, s1)) {
    slot_ = s1;
    current_ = ring_[s1].texture;
  }
}

}  // namespace QUENMAR_FACEBEAUTY
