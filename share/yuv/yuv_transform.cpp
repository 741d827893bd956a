#include "share/yuv/yuv_transform.h"

#include <libyuv/convert.h>
#include <libyuv/planar_functions.h>
#include <libyuv/rotate.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <new>

namespace {

// An I420 frame of width x height: the Y plane, then U and V planes of ((width + 1) / 2) x
// ((height + 1) / 2), packed without padding (the layout of libyuv, the camera and the decoders).
struct I420Layout {
  I420Layout(int w, int h)
      : width(w),
        height(h),
        chroma_width((w + 1) / 2),
        chroma_height((h + 1) / 2),
        y_bytes(int64_t{w} * h),
        chroma_bytes(int64_t{chroma_width} * chroma_height) {}

  int64_t bytes() const { return y_bytes + 2 * chroma_bytes; }

  int width;
  int height;
  int chroma_width;
  int chroma_height;
  int64_t y_bytes;
  int64_t chroma_bytes;
};

// Plane pointers into a buffer of that layout.
template <typename Byte>
struct I420Planes {
  I420Planes(Byte* frame, const I420Layout& layout)
      : y(frame), u(frame + layout.y_bytes), v(frame + layout.y_bytes + layout.chroma_bytes) {}
  Byte* y;
  Byte* u;
  Byte* v;
};

// A frame of |size| bytes holds a whole width x height frame.
bool Holds(int size, int width, int height) {
  if (width <= 0 || height <= 0 || size <= 0) return false;
  const int64_t bytes = I420Layout(width, height).bytes();
  return bytes <= INT_MAX && size >= bytes;
}

}  // namespace

CxYuvTransform::CxYuvTransform() : buffer_(new (std::nothrow) uint8_t[kWorkBufferSize]) {}

CxYuvTransform::~CxYuvTransform() { Release(); }

void CxYuvTransform::Release() {
  delete[] buffer_;
  buffer_ = nullptr;
  data_size_ = 0;
}

bool CxYuvTransform::PrepareBuffer(int64_t bytes) {
  if (!buffer_ || bytes <= 0 || bytes > kWorkBufferSize) return false;
  if (bytes == data_size_) std::memset(buffer_, 0, static_cast<size_t>(bytes));
  data_size_ = static_cast<int>(bytes);
  return true;
}

uint8_t* CxYuvTransform::CropTo16x9(uint8_t* data, int* size, int* width, int* height,
                                    bool* changed) {
  *changed = false;
  const int w = *width;
  const int h = *height;
  if (w / 16 == h / 9 || h / 16 == w / 9) return data;  // already 16:9 or 9:16
  if (!Holds(*size, w, h)) return data;

  // An even number of rows, so that the chroma planes keep exactly half of them; chroma rows
  // start at half the first luma row, as libyuv crops.
  const int kept_rows = static_cast<int>(std::min<int64_t>(int64_t{w} * 9 / 16 / 2 * 2, h));
  if (kept_rows <= 0) return data;
  const int first_row = (h - kept_rows) / 2;
  const I420Layout in(w, h);
  const I420Layout out(w, kept_rows);
  if (!PrepareBuffer(out.bytes())) return data;
  const I420Planes<const uint8_t> src(data, in);
  const I420Planes<uint8_t> dst(buffer_, out);
  const int64_t chroma_offset = int64_t{first_row / 2} * in.chroma_width;
  libyuv::I420Copy(src.y + int64_t{first_row} * w, w, src.u + chroma_offset, in.chroma_width,
                   src.v + chroma_offset, in.chroma_width, dst.y, w, dst.u, out.chroma_width,
                   dst.v, out.chroma_width, w, kept_rows);
  *height = kept_rows;
  *size = static_cast<int>(out.bytes());
  width_ = w;
  height_ = kept_rows;
  *changed = true;
  return buffer_;
}

uint8_t* CxYuvTransform::Rotate(uint8_t* data, int* size, int* width, int* height, int degrees) {
  const int w = *width;
  const int h = *height;
  if (!Holds(*size, w, h)) return data;
  const I420Layout in(w, h);
  if (!PrepareBuffer(in.bytes())) return data;
  const bool swap = degrees != 180;
  const I420Layout out = swap ? I420Layout(h, w) : in;
  const libyuv::RotationMode mode =
      degrees == 180 ? libyuv::kRotate180 : degrees == 90 ? libyuv::kRotate90 : libyuv::kRotate270;
  const I420Planes<const uint8_t> src(data, in);
  const I420Planes<uint8_t> dst(buffer_, out);
  if (libyuv::I420Rotate(src.y, w, src.u, in.chroma_width, src.v, in.chroma_width, dst.y,
                         out.width, dst.u, out.chroma_width, dst.v, out.chroma_width, w, h,
                         mode) < 0) {
    return nullptr;
  }
  *width = out.width;
  *height = out.height;
  *size = static_cast<int>(out.bytes());
  return buffer_;
}

uint8_t* CxYuvTransform::Flip(uint8_t* data, int* size, int width, int height) {
  if (!Holds(*size, width, height)) return data;
  const I420Layout layout(width, height);
  if (!PrepareBuffer(layout.bytes())) return data;
  const I420Planes<const uint8_t> src(data, layout);
  const I420Planes<uint8_t> dst(buffer_, layout);
  // A negative height copies the rows bottom up.
  libyuv::I420Copy(src.y, width, src.u, layout.chroma_width, src.v, layout.chroma_width, dst.y,
                   width, dst.u, layout.chroma_width, dst.v, layout.chroma_width, width, -height);
  *size = static_cast<int>(layout.bytes());
  return buffer_;
}

uint8_t* CxYuvTransform::Mirror(uint8_t* data, int* size, int width, int height) {
  if (!Holds(*size, width, height)) return data;
  const I420Layout layout(width, height);
  if (!PrepareBuffer(layout.bytes())) return data;
  const I420Planes<const uint8_t> src(data, layout);
  const I420Planes<uint8_t> dst(buffer_, layout);
  if (libyuv::I420Mirror(src.y, width, src.u, layout.chroma_width, src.v, layout.chroma_width,
                         dst.y, width, dst.u, layout.chroma_width, dst.v, layout.chroma_width,
                         width, height) < 0) {
    return nullptr;
  }
  *size = static_cast<int>(layout.bytes());
  return buffer_;
}

uint8_t* CxYuvTransform::Transform(uint8_t* data, int* size, int* width, int* height, int rotation,
                                   bool mirror, bool flip, bool crop) {
  if (!data || !size || !width || !height) return data;
  uint8_t* current = data;
  // Every step writes the work buffer, so a step that follows another first takes the previous
  // result back into |data|.
  auto take_back = [&]() -> uint8_t* {
    if (current != data) std::memcpy(data, current, static_cast<size_t>(*size));
    return data;
  };

  if (crop) {
    bool changed = false;
    current = CropTo16x9(data, size, width, height, &changed);
  }
  if (rotation > 0) {
    uint8_t* result = Rotate(take_back(), size, width, height, rotation);
    if (!result) return data;
    current = result;
  }
  if (flip) current = Flip(take_back(), size, *width, *height);
  if (mirror) {
    uint8_t* result = Mirror(take_back(), size, *width, *height);
    if (!result) return data;
    current = result;
  }
  return current;
}

uint8_t* CxYuvTransform::Scale(uint8_t* data, int size, int src_width, int src_height,
                               int dst_width, int dst_height, libyuv::FilterMode filter) {
  if (src_width == dst_width && src_height == dst_height) return data;
  if (!data || !Holds(size, src_width, src_height) || dst_width <= 0 || dst_height <= 0) {
    return data;
  }
  const I420Layout in(src_width, src_height);
  const I420Layout out(dst_width, dst_height);
  if (out.bytes() > kWorkBufferSize || !PrepareBuffer(in.bytes())) return data;
  const I420Planes<const uint8_t> src(data, in);
  const I420Planes<uint8_t> dst(buffer_, out);
  if (libyuv::I420Scale(src.y, src_width, src.u, in.chroma_width, src.v, in.chroma_width,
                        src_width, src_height, dst.y, dst_width, dst.u, out.chroma_width, dst.v,
                        out.chroma_width, dst_width, dst_height, filter) < 0) {
    return data;
  }
  return buffer_;
}
