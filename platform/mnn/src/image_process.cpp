#include "MNN/ImageProcess.hpp"

#include <algorithm>
#include <cstddef>

namespace MNN {
namespace CV {
namespace {

int ChannelsOf(ImageFormat format) {
  switch (format) {
    case RGBA:
    case BGRA:
      return 4;
    case RGB:
    case BGR:
      return 3;
    case GRAY:
      return 1;
  }
  return 0;
}

// Byte offsets of red, green, blue (and alpha) within one pixel of |format|.
struct ChannelOffsets {
  int r, g, b, a;
};

ChannelOffsets OffsetsOf(ImageFormat format) {
  switch (format) {
    case RGBA:
      return {0, 1, 2, 3};
    case BGRA:
      return {2, 1, 0, 3};
    case RGB:
      return {0, 1, 2, -1};
    case BGR:
      return {2, 1, 0, -1};
    case GRAY:
      return {0, 0, 0, -1};
  }
  return {0, 0, 0, -1};
}

// The source index for destination index |i| along a side of |size| source pixels, or -1 for a
// zero pixel.
int SourceIndex(int i, int size, Wrap wrap) {
  if (i < size) return i;
  switch (wrap) {
    case ZERO:
      return -1;
    case REPEAT:
      return i % size;
    case CLAMP_TO_EDGE:
      break;
  }
  return size - 1;
}

}  // namespace

ImageProcess* ImageProcess::create(const Config& config, const Tensor* /*dstTensor*/) {
  return new ImageProcess(config);
}

void ImageProcess::destroy(ImageProcess* process) { delete process; }

ErrorCode ImageProcess::convert(const uint8_t* source, int iw, int ih, int stride, Tensor* dest) {
  const int src_channels = ChannelsOf(config_.sourceFormat);
  const int dst_channels = ChannelsOf(config_.destFormat);
  if (source == nullptr || dest == nullptr || iw <= 0 || ih <= 0 || src_channels == 0 ||
      dst_channels == 0) {
    return INPUT_DATA_ERROR;
  }
  if (stride == 0) stride = iw * src_channels;
  if (stride < iw * src_channels) return INPUT_DATA_ERROR;
  const int width = dest->width();
  const int height = dest->height();
  if (dest->batch() != 1 || dest->channel() != dst_channels || width <= 0 || height <= 0) {
    return INPUT_DATA_ERROR;
  }

  const ChannelOffsets from = OffsetsOf(config_.sourceFormat);
  const ChannelOffsets to = OffsetsOf(config_.destFormat);
  // For each destination channel, the byte offset within a source pixel it reads.
  int pick[4] = {0, 0, 0, 0};
  if (config_.destFormat == GRAY) {
    pick[0] = from.g;  // grey destinations take the green channel, or the grey source itself
  } else {
    const int order[4] = {to.r, to.g, to.b, to.a};
    const int source_of[4] = {from.r, from.g, from.b, from.a};  // -1: opaque alpha
    for (int k = 0; k < 4; ++k) {
      if (order[k] >= 0) pick[order[k]] = source_of[k];
    }
  }

  const bool nhwc = dest->getDimensionType() == Tensor::TENSORFLOW;
  float* out = dest->host<float>();
  const size_t plane = static_cast<size_t>(width) * height;
  for (int y = 0; y < height; ++y) {
    const int sy = SourceIndex(y, ih, config_.wrap);
    for (int x = 0; x < width; ++x) {
      const int sx = SourceIndex(x, iw, config_.wrap);
      const uint8_t* pixel = (sx < 0 || sy < 0)
                                 ? nullptr
                                 : source + static_cast<size_t>(sy) * stride + sx * src_channels;
      for (int c = 0; c < dst_channels; ++c) {
        float value = 0.0f;
        if (pixel != nullptr) value = pick[c] < 0 ? 255.0f : static_cast<float>(pixel[pick[c]]);
        const float converted = (value - config_.mean[c]) * config_.normal[c];
        const size_t at = static_cast<size_t>(y) * width + x;
        if (nhwc) {
          out[at * dst_channels + c] = converted;
        } else {
          out[c * plane + at] = converted;
        }
      }
    }
  }
  return NO_FAILURE;
}

}  // namespace CV
}  // namespace MNN
