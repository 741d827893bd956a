// The exported beauty class: texture mode (the caller owns a GL context and draws textures) or
// image mode (whole images in memory). Call init first and uninit before deleting; every call
// on the thread with the GL context current. One mutex serialises the calls, except
// drawSoftBeautyFrame and glReadPixel.
#pragma once

#include <mutex>

#include "zq_face_beauty_export.h"
#include "zq_face_info.h"
#include "zq_image_info.h"

namespace QUENMAR_FACEBEAUTY {

class BeautyEngineBase;
class BeautyFrame;
class BeautyShot;

class ZQ_FACEBEAUTY_API ZqFaceBeauty {
 public:
  ZqFaceBeauty();
  ~ZqFaceBeauty();
  ZqFaceBeauty(const ZqFaceBeauty&) = delete;
  ZqFaceBeauty& operator=(const ZqFaceBeauty&) = delete;

  // isShot: image mode; simple: the light reshaping pass; path is not read.
  bool init(bool isShot, bool simple, const char* path);
  void uninit();
  void drawFaceBeautyFrame(int textureId, float matrix[16], int inWidth, int inHeight,
                           int outWidth, int outHeight, int outFramebuffer, float scale);
  void drawSoftBeautyFrame(int textureId, float matrix[16], int inWidth, int inHeight,
                           int outWidth, int outHeight, int outFramebuffer, float scale);
  void glReadPixel(int textureId, float matrix[16], int inWidth, int inHeight, int outWidth,
                   int outHeight, unsigned char* out);
  zq_image_info_st* processArgb(zq_image_info_st* image);
  zq_image_info_st* processNv21(zq_image_info_st* image);
  void optProcessArgb(zq_image_info_st* image);
  void optProcessNv21(zq_image_info_st* image);
  void setBeautyLevel(zq_beauty_type type, float level);
  void setAILightLevel(float level);
  void setFaceInfo(zq_face_info* faces, int count);
  void setFacialFeature(unsigned char* rgba, int width, int height, int mode);
  void setMask(unsigned char* mask, int width, int height);
  // Accepted; input textures are always 2D textures.
  void setUseOES(bool use);

 private:
  BeautyEngineBase* engine();

  std::mutex lock_;
  bool isShot_ = false;
  BeautyFrame* frame_ = nullptr;
  BeautyShot* shot_ = nullptr;
};

}  // namespace QUENMAR_FACEBEAUTY
