#include "zq_face_beauty.h"

#include <new>

#include "beauty_frame.h"
#include "beauty_shot.h"
#include "fb_log.h"

namespace QUENMAR_FACEBEAUTY {
namespace {

constexpr char kVersion[] = "QUENMAR_FACEBEAUTY_V3.6.5";

}  // namespace

ZqFaceBeauty::ZqFaceBeauty() = default;
ZqFaceBeauty::~ZqFaceBeauty() = default;

BeautyEngineBase* ZqFaceBeauty::engine() {
  if (frame_) return frame_;
  return shot_;
}

bool ZqFaceBeauty::init(bool isShot, bool simple, const char* /*path*/) {
  std::lock_guard<std::mutex> guard(lock_);
  logPrint("init version: %s\n", kVersion);
  try {
    if (engine()) {  // a second init replaces the engine
      engine()->uninit();
      delete frame_;
      delete shot_;
      frame_ = nullptr;
      shot_ = nullptr;
    }
    isShot_ = isShot;
    if (isShot) {
      shot_ = new BeautyShot();
    } else {
      frame_ = new BeautyFrame();
    }
    return engine()->init(simple);
  } catch (const std::bad_alloc&) {
    return false;
  }
}

void ZqFaceBeauty::uninit() {
  std::lock_guard<std::mutex> guard(lock_);
  logPrint("uninit version: %s, mIsShot:%d\n", kVersion, isShot_ ? 1 : 0);
  BeautyEngineBase* e = engine();
  if (!e) return;
  e->uninit();
  delete frame_;
  delete shot_;
  frame_ = nullptr;
  shot_ = nullptr;
}

void ZqFaceBeauty::drawFaceBeautyFrame(int textureId, float matrix[16], int inWidth,
                                       int inHeight, int outWidth, int outHeight,
                                       int outFramebuffer, float scale) {
  std::lock_guard<std::mutex> guard(lock_);
  if (frame_) {
    frame_->drawFaceBeautyFrame(textureId, matrix, inWidth, inHeight, outWidth, outHeight,
                                outFramebuffer, scale);
  }
}

void ZqFaceBeauty::drawSoftBeautyFrame(int textureId, float matrix[16], int inWidth,
                                       int inHeight, int outWidth, int outHeight,
                                       int outFramebuffer, float scale) {
  if (frame_) {
    frame_->drawSoftBeautyFrame(textureId, matrix, inWidth, inHeight, outWidth, outHeight,
                                outFramebuffer, scale);
  }
}

void ZqFaceBeauty::glReadPixel(int textureId, float matrix[16], int inWidth, int inHeight,
                               int outWidth, int outHeight, unsigned char* out) {
  if (frame_) frame_->glReadPixel(textureId, matrix, inWidth, inHeight, outWidth, outHeight, out);
}

zq_image_info_st* ZqFaceBeauty::processArgb(zq_image_info_st* image) {
  std::lock_guard<std::mutex> guard(lock_);
  if (!shot_) {
    logPrint("g_beautyShot is NULL\n");
    return image;
  }
  return shot_->processArgb(image);
}

zq_image_info_st* ZqFaceBeauty::processNv21(zq_image_info_st* image) {
  std::lock_guard<std::mutex> guard(lock_);
  if (!shot_) {
    logPrint("g_beautyShot is NULL\n");
    return image;
  }
  return shot_->processNv21(image);
}

void ZqFaceBeauty::optProcessArgb(zq_image_info_st* image) { processArgb(image); }
void ZqFaceBeauty::optProcessNv21(zq_image_info_st* image) { processNv21(image); }

void ZqFaceBeauty::setBeautyLevel(zq_beauty_type type, float level) {
  std::lock_guard<std::mutex> guard(lock_);
  if (engine()) engine()->setBeautyLevel(static_cast<int>(type), level);
}

void ZqFaceBeauty::setAILightLevel(float level) {
  std::lock_guard<std::mutex> guard(lock_);
  if (engine()) engine()->setAILightLevel(level);
}

void ZqFaceBeauty::setFaceInfo(zq_face_info* faces, int count) {
  std::lock_guard<std::mutex> guard(lock_);
  if (engine()) engine()->setFaceInfo(faces, count);
}

void ZqFaceBeauty::setFacialFeature(unsigned char* rgba, int width, int height, int mode) {
  std::lock_guard<std::mutex> guard(lock_);
  if (engine()) engine()->setFacialFeature(rgba, width, height, mode);
}

void ZqFaceBeauty::setMask(unsigned char* mask, int width, int height) {
  std::lock_guard<std::mutex> guard(lock_);
  if (engine()) engine()->setMask(mask, width, height);
}

void ZqFaceBeauty::setUseOES(bool /*use*/) {}

}  // namespace QUENMAR_FACEBEAUTY
