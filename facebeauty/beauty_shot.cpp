#include "beauty_shot.h"

#include <libyuv/convert_argb.h>
#include <libyuv/convert_from_argb.h>

#include <algorithm>
#include <opencv2/imgproc.hpp>
#include <vector>

#include "fb_log.h"

namespace QUENMAR_FACEBEAUTY {

bool BeautyShot::reshapingMade() { return reshaping_->init(); }

bool BeautyShot::refused(zq_image_info_st* image) {
  if (!ready_) {
    refuse("egl is not init");
  } else if (!image || !image->data) {
    refuse("input data null, process fail");
  } else if (image->width < 1 || image->height < 1) {
    refuse("im_master size is invalid");
  } else {
    return false;
  }
  return true;
}

zq_image_info_st* BeautyShot::processArgb(zq_image_info_st* image) {
  if (refused(image)) return image;
  if (faceCount_ == 0) {
    refuse("has no face");
    return image;
  }
  const int w = image->width, h = image->height;
  GLint largest = 0;
  glGetIntegerv(GL_MAX_TEXTURE_SIZE, &largest);
  if (largest > 0 && (w > largest || h > largest)) {
    const double k = static_cast<double>(largest) / std::max(w, h);
    const int tw = static_cast<int>(w * k) / 2 * 2, th = static_cast<int>(h * k) / 2 * 2;
    if (tw < 2 || th < 2) {
      refuse("frame size is invalid");
      return image;
    }
    cv::Mat full(h, w, CV_8UC4, image->data);
    cv::Mat reduced;
    cv::resize(full, reduced, cv::Size(tw, th), 0, 0, cv::INTER_LINEAR);
    processRgba(reduced.data, tw, th);
    cv::resize(reduced, full, cv::Size(w, h), 0, 0, cv::INTER_LINEAR);
    return image;
  }
  processRgba(image->data, w, h);
  return image;
}

void BeautyShot::processRgba(unsigned char* rgba, int width, int height) {
  if (!setWorkingSize(width, height, width, height, 1.0f)) return;
  glBindTexture(GL_TEXTURE_2D, ring_[0].texture);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
  startChain(ring_[0].texture, 0);
  uploadMask(true);
  const int mask = static_cast<int>(maskTexture_);
  levels_.setFaceFlag(true);
  drawSmall(*blur_[0], {static_cast<int>(current_), mask}, 0);
  levels_.setFaceFlag(false);
  drawOverCopy(*faceDetail_, {static_cast<int>(small_[0].texture)});
  drawAiLightAndWhitening();
  drawSmoothing();
  drawFeatureAndReshaping();
  drawSharpening();
  BaseFilter::bindFramebuffer(ring_[slot_].framebuffer);
  BaseFilter::readPixels(rgba, width, height);
  BaseFilter::bindFramebuffer(0);
}

zq_image_info_st* BeautyShot::processNv21(zq_image_info_st* image) {
  if (refused(image)) return image;
  if (faceCount_ == 0) {  // left as it is, without a conversion round trip
    refuse("has no face");
    return image;
  }
  const int w = image->width, h = image->height;
  const int chromaStride = (w + 1) / 2 * 2;
  unsigned char* y = image->data;
  unsigned char* vu = image->data + static_cast<size_t>(w) * h;
  // R, G, B, A in memory: the byte order the upload takes.
  std::vector<unsigned char> rgba(static_cast<size_t>(w) * h * 4);
  logPrint("start NV21ToARGB \n");
  libyuv::NV21ToABGR(y, w, vu, chromaStride, rgba.data(), w * 4, w, h);
  logPrint("start NV21ToARGB end\n");
  zq_image_info_st temporary = *image;
  temporary.data = rgba.data();
  processArgb(&temporary);
  libyuv::ABGRToNV21(rgba.data(), w * 4, y, w, vu, chromaStride, w, h);
  return image;
}

}  // namespace QUENMAR_FACEBEAUTY
