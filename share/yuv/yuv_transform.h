#pragma once

#include <libyuv/scale.h>

#include <cstdint>

// Turns I420 frames into the orientation and shape the user chose: a centred 16:9 crop, a
// rotation, a vertical flip and a horizontal mirror; and scales frames.
//
// Frames are the Y plane, then U and V planes of ((width + 1) / 2) x ((height + 1) / 2), no
// padding: for even sizes half the width and height, for odd sizes the layout libyuv, the
// camera and the decoders use. A frame whose |size| is below that layout's is returned as it is.
//
// Results point into one work buffer that is allocated once (frames up to 3840 x 2160) and is
// valid until the next operation. Not thread-safe: each frame path owns one object and uses it
// from the thread that delivers its frames.
class CxYuvTransform {
 public:
  static constexpr int kWorkBufferSize = 3840 * 2160 * 3 / 2;

  CxYuvTransform();
  ~CxYuvTransform();
  CxYuvTransform(const CxYuvTransform&) = delete;
  CxYuvTransform& operator=(const CxYuvTransform&) = delete;

  // Applies, in this order, the crop (when |crop|), the rotation (when |rotation| > 0: 90, 180,
  // any other value counts as 270), the flip and the mirror. Each step works from the previous
  // step's result, which is first copied back into |data|; so after more than one step |data|
  // holds the second-to-last result. Returns the result (|data| itself when nothing was done or
  // a step failed) and updates |size| (the result's layout size), |width| and |height|. The crop
  // keeps an even number of rows, or all rows of a frame wider than 16:9.
  uint8_t* Transform(uint8_t* data, int* size, int* width, int* height, int rotation, bool mirror,
                     bool flip, bool crop);

  // Scales a frame of |size| bytes. Returns |data| when the sizes are equal or the frame cannot
  // be scaled, else the work buffer holding the target frame.
  uint8_t* Scale(uint8_t* data, int size, int src_width, int src_height, int dst_width,
                 int dst_height, libyuv::FilterMode filter);

  // Frees the work buffer; later operations return their input.
  void Release();

 private:
  uint8_t* CropTo16x9(uint8_t* data, int* size, int* width, int* height, bool* changed);
  uint8_t* Rotate(uint8_t* data, int* size, int* width, int* height, int degrees);
  uint8_t* Flip(uint8_t* data, int* size, int width, int height);
  uint8_t* Mirror(uint8_t* data, int* size, int width, int height);
  bool PrepareBuffer(int64_t bytes);

  int width_ = 0;
  int height_ = 0;
  int data_size_ = 0;
  uint8_t* buffer_ = nullptr;
};
