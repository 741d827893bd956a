#include "share/yuv/yuv_transform.h"

#include <libyuv/planar_functions.h>
#include <libyuv/rotate.h>

#include <algorithm>
#include <cstring>
#include <new>

namespace {

// Bytes a frame of this size must at least hold for the plane offsets the steps use.
int64_t MinFrameBytes(int width, int height) { return int64_t{width} * height * 3 / 2; }

bool Plausible(int size, int width, int height) {
  return width > 0 && height > 0 && size > 0 && size >= MinFrameBytes(width, height);
}

}  // namespace

CxYuvTransform::CxYuvTransform() : buffer_(new (std::nothrow) uint8_t[kWorkBufferSize]) {}

CxYuvTransform::~CxYuvTransform() { Release(); }

void CxYuvTransform::Release() {
  delete[] buffer_;
  buffer_ = nullptr;
  data_size_ = 0;
}

bool CxYuvTransform::PrepareBuffer(int bytes) {
  if (!buffer_ || bytes <= 0 || bytes > kWorkBufferSize) return false;
  if (bytes == data_size_) std::memset(buffer_, 0, bytes);
  data_size_ = bytes;
  return true;
}

uint8_t* CxYuvTransform::CropTo16x9(uint8_t* data, int* size, int* width, int* height,
                                    bool* changed) {
  *changed = false;
  const int w = *width;
  const int h = *height;
  if (w / 16 == h / 9 || h / 16 == w / 9) return data;  // already 16:9 or 9:16
  if (!Plausible(*size, w, h) || !PrepareBuffer(*size)) return data;

  // The kept luma rows are even, so that the chroma planes keep exactly half of them and the
  // result is a well-formed I420 frame of width x rows.
  const int kept_rows = std::min(w * 9 / 16 / 2 * 2, h);
  struct Plane {
    const uint8_t* src;
    int width;
    int height;
    int rows;
  };
  const int cw = (w + 1) / 2;
  const int ch = (h + 1) / 2;
  const int64_t y_bytes = int64_t{w} * h;
  const Plane planes[] = {
      {data, w, h, kept_rows},
      {data + y_bytes, cw, ch, std::min(kept_rows / 2, ch)},
      {data + y_bytes + y_bytes / 4, cw, ch, std::min(kept_rows / 2, ch)},
  };
  uint8_t* out = buffer_;
  for (const Plane& p : planes) {
    const int first = (p.height - p.rows) / 2;
    const size_t bytes = size_t(p.rows) * p.width;
    std::memcpy(out, p.src + size_t(first) * p.width, bytes);
    out += bytes;
  }
  *height = kept_rows;
  *size = static_cast<int>(out - buffer_);
  width_ = w;
  height_ = kept_rows;
  data_size_ = *size;
  *changed = true;
  return buffer_;
}

uint8_t* CxYuvTransform::Rotate(uint8_t* data, int size, int* width, int* height, int degrees) {
  const int w = *width;
  const int h = *height;
  if (w == 0 || h == 0 || !Plausible(size, w, h) || !PrepareBuffer(size)) return data;
  const int y_size = size * 2 / 3;
  const int v_offset = size * 5 / 6;
  const uint8_t* sy = data;
  const uint8_t* su = data + y_size;
  const uint8_t* sv = data + v_offset;
  uint8_t* dy = buffer_;
  uint8_t* du = buffer_ + y_size;
  uint8_t* dv = buffer_ + v_offset;
  if (degrees == 180) {
    if (libyuv::I420Rotate(sy, w, su, w / 2, sv, w / 2, dy, w, du, w / 2, dv, w / 2, w, h,
                           libyuv::kRotate180) < 0) {
      return nullptr;
    }
    return buffer_;
  }
  const libyuv::RotationMode mode = degrees == 90 ? libyuv::kRotate90 : libyuv::kRotate270;
  if (libyuv::I420Rotate(sy, w, su, w / 2, sv, w / 2, dy, h, du, h / 2, dv, h / 2, w, h, mode) <
      0) {
    return nullptr;
  }
  *width = h;
  *height = w;
  return buffer_;
}

uint8_t* CxYuvTransform::Flip(uint8_t* data, int size, int width, int height) {
  if (!Plausible(size, width, height) || !PrepareBuffer(size)) return data;
  auto flip_plane = [](const uint8_t* src, uint8_t* dst, int plane_width, int rows) {
    for (int r = 0; r < rows; ++r) {
      std::memcpy(dst + size_t(r) * plane_width, src + size_t(rows - 1 - r) * plane_width,
                  plane_width);
    }
  };
  const size_t y_bytes = size_t(width) * height;
  const size_t c_bytes = size_t(width / 2) * (height / 2);
  flip_plane(data, buffer_, width, height);
  flip_plane(data + y_bytes, buffer_ + y_bytes, width / 2, height / 2);
  flip_plane(data + y_bytes + c_bytes, buffer_ + y_bytes + c_bytes, width / 2, height / 2);
  return buffer_;
}

uint8_t* CxYuvTransform::Mirror(uint8_t* data, int size, int width, int height) {
  if (!Plausible(size, width, height) || !PrepareBuffer(size)) return data;
  const size_t y_bytes = size_t(width) * height;
  const size_t v_offset = y_bytes + size_t(width / 2) * (height / 2);
  const int cs = (width + 1) / 2;
  if (libyuv::I420Mirror(data, width, data + y_bytes, cs, data + v_offset, cs, buffer_, width,
                         buffer_ + y_bytes, cs, buffer_ + v_offset, cs, width, height) < 0) {
    return nullptr;
  }
  return buffer_;
}

uint8_t* CxYuvTransform::Transform(uint8_t* data, int* size, int* width, int* height, int rotation,
                                   bool mirror, bool flip, bool crop) {
  if (!data || !size || !width || !height) return data;
  uint8_t* current = data;
  // Every step writes the work buffer, so a step that follows another first takes the previous
  // result back into |data|.
  auto take_back = [&]() -> uint8_t* {
    if (current != data) std::memcpy(data, current, *size);
    return data;
  };

  if (crop) {
    bool changed = false;
    current = CropTo16x9(data, size, width, height, &changed);
  }
  if (rotation > 0) {
    uint8_t* result = Rotate(take_back(), *size, width, height, rotation);
    if (!result) return data;
    current = result;
  }
  if (flip) current = Flip(take_back(), *size, *width, *height);
  if (mirror) {
    uint8_t* result = Mirror(take_back(), *size, *width, *height);
    if (!result) return data;
    current = result;
  }
  return current;
}

uint8_t* CxYuvTransform::Scale(uint8_t* data, int size, int src_width, int src_height,
                               int dst_width, int dst_height, libyuv::FilterMode filter) {
  if (src_width == dst_width && src_height == dst_height) return data;
  if (!data || !Plausible(size, src_width, src_height) || dst_width <= 0 || dst_height <= 0 ||
      MinFrameBytes(dst_width, dst_height) > kWorkBufferSize || !PrepareBuffer(size)) {
    return data;
  }
  const int scw = (src_width + 1) / 2;
  const int sch = (src_height + 1) / 2;
  const int dcw = (dst_width + 1) / 2;
  const int dch = (dst_height + 1) / 2;
  const size_t src_y = size_t(src_width) * src_height;
  const size_t dst_y = size_t(dst_width) * dst_height;
  if (int64_t(dst_y) + 2 * int64_t(dcw) * dch > kWorkBufferSize) return data;
  if (libyuv::I420Scale(data, src_width, data + src_y, scw, data + src_y + size_t(scw) * sch, scw,
                        src_width, src_height, buffer_, dst_width, buffer_ + dst_y, dcw,
                        buffer_ + dst_y + size_t(dcw) * dch, dcw, dst_width, dst_height,
                        filter) < 0) {
    return data;
  }
  return buffer_;
}
