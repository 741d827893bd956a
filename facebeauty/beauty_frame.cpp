#include "beauty_frame.h"

namespace QUENMAR_FACEBEAUTY {

BeautyFrame::~BeautyFrame() { deleteReadTarget(); }

bool BeautyFrame::refused(int textureId, int inWidth, int inHeight) {
  if (textureId < 0) {
    refuse("textureId is invalid");
  } else if (!ready_) {
    refuse("egl is not init");
  } else if (inWidth < 1 || inHeight < 1) {
    refuse("frame size is invalid");
  } else {
    return false;
  }
  return true;
}

void BeautyFrame::drawFaceBeautyFrame(int textureId, const float* matrix, int inWidth,
                                      int inHeight, int outWidth, int outHeight,
                                      int outFramebuffer, float scale) {
  draw(true, textureId, matrix, inWidth, inHeight, outWidth, outHeight, outFramebuffer, scale);
}

void BeautyFrame::drawSoftBeautyFrame(int textureId, const float* matrix, int inWidth,
                                      int inHeight, int outWidth, int outHeight,
                                      int outFramebuffer, float scale) {
  draw(false, textureId, matrix, inWidth, inHeight, outWidth, outHeight, outFramebuffer, scale);
}

void BeautyFrame::draw(bool faces, int textureId, const float* matrix, int inWidth,
                       int inHeight, int outWidth, int outHeight, int outFramebuffer,
                       float scale) {
  if (refused(textureId, inWidth, inHeight)) return;
  if (!setWorkingSize(inWidth, inHeight, outWidth, outHeight, scale)) return;
  glViewport(0, 0, workWidth_, workHeight_);
  startChain(static_cast<GLuint>(textureId), 0);
  uploadMask(faces);
  drawAiLightAndWhitening();
  drawSmoothing();
  if (faces && faceCount_ > 0) {
    drawFaceBlur();
    drawFaceDetail();
    drawFeatureAndReshaping();
  }
  drawSharpening();
  // Out into the caller's framebuffer through the caller's matrix.
  glBindFramebuffer(GL_FRAMEBUFFER, static_cast<GLuint>(outFramebuffer));
  copy_->setTexMatrix(matrix ? matrix : identity_);
  const int image = static_cast<int>(current_);
  copy_->render(&image, 1, outWidth, outHeight, 0);
  copy_->setTexMatrix(identity_);
}

void BeautyFrame::glReadPixel(int textureId, const float* matrix, int inWidth, int inHeight,
                              int outWidth, int outHeight, unsigned char* out) {
  if (refused(textureId, inWidth, inHeight)) return;
  if (!out || outWidth < 1 || outHeight < 1) return refuse("frame size is invalid");
  if (!readFramebuffer_ || readWidth_ != outWidth || readHeight_ != outHeight) {
    deleteReadTarget();
    readTexture_ = BaseFilter::makeTexture(true);
    readFramebuffer_ = BaseFilter::makeFramebuffer(readTexture_, outWidth, outHeight);
    if (!readFramebuffer_) {
      deleteReadTarget();
      return refuse("frame size is invalid");
    }
    readWidth_ = outWidth;
    readHeight_ = outHeight;
  }
  readPass_.setTexMatrix(matrix ? matrix : identity_);
  if (!readPass_.render(&textureId, 1, outWidth, outHeight, static_cast<int>(readFramebuffer_))) {
    return;
  }
  BaseFilter::bindFramebuffer(readFramebuffer_);
  BaseFilter::readPixels(out, outWidth, outHeight);
  BaseFilter::bindFramebuffer(0);
}

void BeautyFrame::releaseExtra() {
  deleteReadTarget();
  readPass_.release();
}

void BeautyFrame::deleteReadTarget() {
  if (readFramebuffer_) glDeleteFramebuffers(1, &readFramebuffer_);
  if (readTexture_) glDeleteTextures(1, &readTexture_);
  readFramebuffer_ = readTexture_ = 0;
  readWidth_ = readHeight_ = 0;
}

}  // namespace QUENMAR_FACEBEAUTY
