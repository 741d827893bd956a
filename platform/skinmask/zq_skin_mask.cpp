#include "zq_skin_mask.h"

#include <algorithm>
#include <cstdio>
#include <opencv2/imgproc.hpp>

void ZqSkinMask::setThreadNumber(int) {}
void ZqSkinMask::setMNNForwardType(int) {}

void ZqSkinMask::setBlurEffectParams(int blurSize, int threshold) {
  blurSize_ = std::max(1, blurSize) | 1;
  threshold_ = std::min(255, std::max(0, threshold));
}

bool ZqSkinMask::init(const char* /*modelDir*/, int size) {
  inited_ = size >= 1;
  return inited_;
}

void ZqSkinMask::setLogable(bool on) { log_ = on; }

bool ZqSkinMask::segmentMask(const unsigned char* bgr, int width, int height, int format,
                             int orientation, int outWidth, int outHeight, unsigned char* out) {
  if (!inited_ || !bgr || !out || width < 1 || height < 1 || format != 7 || orientation != 0 ||
      outWidth < 1 || outHeight < 1) {
    if (log_) std::printf("skinmask: refused segment %dx%d format %d\n", width, height, format);
    return false;
  }
  try {
    const cv::Mat frame(height, width, CV_8UC3, const_cast<unsigned char*>(bgr));
    cv::Mat ycrcb, skin;
    cv::cvtColor(frame, ycrcb, cv::COLOR_BGR2YCrCb);
    cv::inRange(ycrcb, cv::Scalar(0, 133, 77), cv::Scalar(255, 173, 127), skin);
    cv::Mat small, blurred;
    cv::resize(skin, small, cv::Size(outWidth, outHeight), 0, 0, cv::INTER_AREA);
    cv::blur(small, blurred, cv::Size(blurSize_, blurSize_), cv::Point(-1, -1),
             cv::BORDER_REPLICATE);
    cv::Mat result(outHeight, outWidth, CV_8UC1, out);
    cv::threshold(blurred, result, threshold_ - 1, 255, cv::THRESH_BINARY);
    return true;
  } catch (const cv::Exception&) {
    return false;
  }
}

void ZqSkinMask::release() { inited_ = false; }
