#pragma once

// The virtual camera's picture: eight colour bars (75 % white, yellow, cyan, green, magenta,
// red, blue, black) with the frame number in the first 16 rows, as 32 cells of width / 32
// pixels, bit 0 on the left, white for 1 and black for 0. Widths are multiples of 64 and
// heights even, so every cell and bar edge falls on a chroma sample.
//
// Shared by the virtual camera, which draws it, and the tests, which draw the expected frames
// and read frame numbers and colours back.

#include <cstddef>
#include <cstdint>

namespace tarvo_test_devices {

enum class PatternFormat { kI420, kYv12, kYuy2, kUyvy, kRgb24, kRgb32 };

constexpr int kNumberRows = 16;
constexpr int kNumberBits = 32;
constexpr int kBarCount = 8;

struct Rgb {
  uint8_t r, g, b;
};

// The bar colour `bar` (0..7) as the RGB formats carry it.
Rgb BarRgb(int bar);

// Bytes of one frame (RGB rows are packed: width x 3 or 4).
size_t PatternFrameSize(PatternFormat format, int width, int height);
// Draws frame `number` into `out` (PatternFrameSize bytes). RGB frames are bottom-up bitmaps.
void DrawPattern(PatternFormat format, int width, int height, uint32_t number, uint8_t* out);
// Overwrites only the number rows of a drawn frame with `number`.
void StampFrameNumber(PatternFormat format, int width, int height, uint32_t number,
                      uint8_t* frame);
// The frame number a frame carries (luma, or green for RGB, at the middle of each cell).
uint32_t ReadFrameNumber(PatternFormat format, int width, int height, const uint8_t* frame);
// The colour of the pixel at (x, y) from the top of an RGB24 or RGB32 bottom-up frame.
Rgb ReadRgb(PatternFormat format, int width, int height, const uint8_t* frame, int x, int y);

}  // namespace tarvo_test_devices
