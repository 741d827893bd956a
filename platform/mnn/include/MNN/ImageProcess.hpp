// Conversion of 8-bit pixel buffers into float tensors: channel order, per-channel mean and
// factor. The converted value of a channel is (pixel - mean) * normal.
//
// There is no transform matrix: destination pixel (x, y) takes source pixel (x, y); where the
// destination is larger than the source the wrap mode decides (clamp to the edge, zero, or
// repeat). Callers scale their images to the tensor's size first. Not thread-safe.
#pragma once

#include <cstdint>

#include "MNN/ErrorCode.hpp"
#include "MNN/Tensor.hpp"

namespace MNN {
namespace CV {

enum ImageFormat {
  RGBA = 0,
  RGB = 1,
  BGR = 2,
  GRAY = 3,
  BGRA = 4,
};

enum Filter {
  NEAREST = 0,
  BILINEAR = 1,
  BICUBIC = 2,
};

enum Wrap {
  CLAMP_TO_EDGE = 0,
  ZERO = 1,
  REPEAT = 2,
};

class ImageProcess {
 public:
  struct Config {
    Filter filterType = NEAREST;
    ImageFormat sourceFormat = RGBA;
    ImageFormat destFormat = RGBA;
    float mean[4] = {0.0f, 0.0f, 0.0f, 0.0f};
    float normal[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    Wrap wrap = CLAMP_TO_EDGE;
  };

  // |dstTensor| is accepted for compatibility and not kept. Never returns null.
  static ImageProcess* create(const Config& config, const Tensor* dstTensor = nullptr);
  static void destroy(ImageProcess* process);
  ~ImageProcess() = default;

  // Converts |source| (|iw| x |ih| pixels, |stride| bytes per row, 0 for packed rows) into
  // |dest|, whose channel count must be that of the destination format and whose batch is 1.
  ErrorCode convert(const uint8_t* source, int iw, int ih, int stride, Tensor* dest);

 private:
  explicit ImageProcess(const Config& config) : config_(config) {}
  Config config_;
};

}  // namespace CV
}  // namespace MNN
