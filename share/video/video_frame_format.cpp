#include "share/video/video_frame_format.h"

#include "platform/trastor/trastor.h"

bool MapVideoFrameCode(int code, int width, int height, EngineFrame* frame) {
  if (width < 1 || height < 1) return false;
  const long long w = width;
  const long long h = height;
  switch (code) {
    case 0:
      *frame = {trastor::kFormatBGR24, w * h * 3};
      return true;
    case 1:
      *frame = {trastor::kFormatBGRA, w * h * 4};
      return true;
    case 6:
    case 8:
      *frame = {trastor::kFormatYUY2, w * h * 2};
      return true;
    case 10:
      *frame = {trastor::kFormatUYVY, w * h * 2};
      return true;
    case 12:
      *frame = {trastor::kFormatI420, w * h + 2 * ((w + 1) / 2) * ((h + 1) / 2)};
      return true;
    case 16:
      *frame = {trastor::kFormatNV12, (w * h * 3) / 2};
      return true;
    default:
      return false;
  }
}
