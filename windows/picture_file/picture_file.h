#pragma once

// PictureFile: turns a picture file into an I420 frame that can stand in for a camera (the
// settings and device test windows preview it, the SDK layer publishes it).
//
//   PictureFile reader;
//   uint8_t* frame = nullptr;
//   int size = 0, width = 0, height = 0;
//   if (reader.LoadPictureAsBitmap(path, &frame, &size, &width, &height)) {
//     ...  // width × height I420, size = width * height * 3 / 2 bytes
//     free(frame);
//   }
//
// Any picture that GDI+ reads (BMP, PNG, JPEG, GIF, TIFF, ...) is accepted. A picture larger
// than 1920 × 1080 is scaled down to fit, keeping its proportions; the width is then rounded
// down to a multiple of 4 and the height to an even number.
//
// Threads: a PictureFile is immutable after construction; any thread may use it. GDI+ is started
// on first use (once per process, never shut down).

#include <cstdint>

class PictureFile {
 public:
  // The largest frame, and the largest picture side accepted at all (checked in the file's
  // header, before anything is decoded).
  static constexpr int kMaxFrameWidth = 1920;
  static constexpr int kMaxFrameHeight = 1080;
  static constexpr int kMaxPictureSide = 16384;

  // Builds the conversion tables.
  PictureFile();

  // Loads the picture at `path` (UTF-16) as an I420 frame allocated with malloc; the caller
  // frees *buffer with free. Returns false, leaving the outputs untouched, when the file cannot
  // be read, is not a picture, declares a side above kMaxPictureSide, is smaller than 4 × 2
  // after fitting, or cannot be drawn; the reason is logged.
  bool LoadPictureAsBitmap(const wchar_t* path, uint8_t** buffer, int* size, int* width,
                           int* height) const;

  // The frame size for a picture of `width` × `height`: fitted into 1920 × 1080 and rounded
  // down to a multiple of 4 by a multiple of 2. Either side may come out 0.
  static void FitFrameSize(int width, int height, int* frame_width, int* frame_height);

  // Converts a picture of B, G, R byte triples (`stride` bytes per row, top row first) into
  // I420 at `i420` (width × height luma bytes, then the quarter-size U and V planes).
  // `width` and `height` must be even. Y = 0.299 R + 0.587 G + 0.114 B, U = −0.1684 R
  // − 0.3316 G + 0.5 B + 128, V = 0.5 R − 0.4187 G − 0.0813 B + 128; U and V are averaged over
  // 2 × 2 blocks; each value is rounded to the nearest integer, then Y is clamped to 16..235
  // and U and V to 16..240 (white gives 235, 128, 128).
  void Rgb24ToI420(const uint8_t* bgr, int stride, int width, int height, uint8_t* i420) const;

 private:
  // i × the coefficient, for i = 0..255.
  float luma_r_[256];    // 0.299
  float luma_g_[256];    // 0.587
  float luma_b_[256];    // 0.114
  float u_r_[256];       // 0.1684
  float u_g_[256];       // 0.3316
  float v_g_[256];       // 0.4187
  float v_b_[256];       // 0.0813
};
