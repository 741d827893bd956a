#pragma once

// Conversions between video frames in Vendra's pixel codes (gs::vendra::PixelCode) and the
// textures' pixels: 32-bit blue, green, red, alpha rows stored bottom-up (the last image row
// first), `width * 4` bytes a row. The source frames are only read.

#include <cstdint>

namespace vendra {

// Bytes of one frame of `width` x `height` pixels in `pixel_code`; -1 for an unknown code.
std::int64_t FrameBytes(int pixel_code, int width, int height);

// Converts a frame of a known pixel code into `pixels`.
// RGB24 and RGB32 rows are taken as they lie (already bottom-up) unless `flip` is set; RGB24
// pixels get alpha 0, RGB32 pixels alpha 255. YUV frames are top-down and drawn upright; their
// odd last column or row, which has no chroma sample of its own, is left as it was.
void ConvertFrame(int pixel_code, const std::uint8_t* source, int width, int height, bool flip,
                  std::uint8_t* pixels);

// Writes the pixels as an I420 frame (Y, then U, then V; BT.601 studio range), top-down.
void PixelsToI420(const std::uint8_t* pixels, int width, int height, std::uint8_t* frame);

}  // namespace vendra
