#pragma once

// Pictures (PNG, JPEG, BMP and the other formats stb_image reads) decoded into texture pixels:
// 32-bit blue, green, red, alpha rows stored bottom-up.

#include <cstdint>
#include <memory>

namespace vendra {

// Pictures larger than this on either side are shrunk to fit a square of this size.
constexpr int kMaxPictureSide = 1024;

struct Picture {
  int width = 0;
  int height = 0;
  std::unique_ptr<std::uint8_t[]> pixels;
};

// Decodes `size` bytes; false (and `picture` untouched) when they are not a readable picture.
bool DecodePicture(const void* data, int size, Picture* picture);

// The size a `width` x `height` picture is shown at: unchanged up to kMaxPictureSide, else the
// longer side becomes kMaxPictureSide and the other keeps the aspect ratio (truncated, at
// least 1).
void FittedPictureSize(int width, int height, int* fitted_width, int* fitted_height);

// Shrinks the picture to its fitted size with a halftone stretch and makes it opaque; false
// when GDI could not do it.
bool ShrinkPicture(Picture* picture);

}  // namespace vendra
