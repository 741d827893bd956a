#pragma once

// Pictures for textures: any format GDI+ reads is turned into a BMP through GDI+, the BMP is
// parsed into 32-bit pixels (red, green, blue, alpha), and pictures larger than 1024 on a side
// are shrunk by area averaging.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace pellix {

struct Picture {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> pixels;  // width * height * 4 bytes, rows top-down, R G B A
};

// Re-encodes picture bytes as a BMP through GDI+ and two temporary files (both deleted before
// returning). GDI+ must be running. False when GDI+ cannot read the picture.
bool EncodeAsBmp(const void* data, std::size_t size, std::vector<std::uint8_t>* bmp);

// Parses an uncompressed BMP of 1, 4, 8, 24 or 32 bits a pixel. Every read is checked against
// `size`; false for a truncated or unsupported file. Pictures without alpha are opaque.
bool ParseBmp(const std::uint8_t* data, std::size_t size, Picture* picture);

// The size a picture is shown at: unchanged up to 1024 x 1024, else the longer side becomes 1024
// and the other keeps the aspect ratio (truncated).
void FitSize(int width, int height, int* fit_width, int* fit_height);

// Shrinks by separable area averaging to the given size (each no larger than the source's).
Picture Shrink(const Picture& source, int width, int height);

// Bytes of any picture format into top-down RGBA pixels fitted into 1024 x 1024.
bool DecodePicture(const void* data, std::size_t size, Picture* picture);

}  // namespace pellix
