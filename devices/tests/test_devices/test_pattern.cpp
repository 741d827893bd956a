#include "devices/tests/test_devices/test_pattern.h"

namespace tarvo_test_devices {
namespace {

struct Yuv {
  uint8_t y, u, v;
};

constexpr Yuv kBarYuv[kBarCount] = {{180, 128, 128}, {162, 44, 142}, {131, 156, 44},
                                    {112, 72, 58},   {84, 184, 198}, {65, 100, 212},
                                    {35, 212, 114},  {16, 128, 128}};
constexpr Rgb kBarRgb[kBarCount] = {{191, 191, 191}, {191, 191, 0}, {0, 191, 191}, {0, 191, 0},
                                    {191, 0, 191},   {191, 0, 0},   {0, 0, 191},   {0, 0, 0}};
constexpr Yuv kWhiteYuv = {235, 128, 128};
constexpr Yuv kBlackYuv = {16, 128, 128};
constexpr Rgb kWhiteRgb = {255, 255, 255};
constexpr Rgb kBlackRgb = {0, 0, 0};

bool IsRgb(PatternFormat format) {
  return format == PatternFormat::kRgb24 || format == PatternFormat::kRgb32;
}

int RgbBytes(PatternFormat format) { return format == PatternFormat::kRgb32 ? 4 : 3; }

// The colour of pixel (x, y), y counted from the top.
Yuv YuvAt(int width, int y, int x, uint32_t number) {
  if (y < kNumberRows) {
    const int bit = x / (width / kNumberBits);
    return (number >> bit) & 1 ? kWhiteYuv : kBlackYuv;
  }
  return kBarYuv[x / (width / kBarCount)];
}

Rgb RgbAt(int width, int y, int x, uint32_t number) {
  if (y < kNumberRows) {
    const int bit = x / (width / kNumberBits);
    return (number >> bit) & 1 ? kWhiteRgb : kBlackRgb;
  }
  return kBarRgb[x / (width / kBarCount)];
}

// Draws rows [first, last) of the picture.
void DrawRows(PatternFormat format, int width, int height, uint32_t number, uint8_t* out,
              int first, int last) {
  if (IsRgb(format)) {
    const int bytes = RgbBytes(format);
    for (int y = first; y < last; ++y) {
      uint8_t* row = out + static_cast<size_t>(height - 1 - y) * width * bytes;
      for (int x = 0; x < width; ++x) {
        const Rgb c = RgbAt(width, y, x, number);
        row[x * bytes] = c.b;
        row[x * bytes + 1] = c.g;
        row[x * bytes + 2] = c.r;
        if (bytes == 4) row[x * bytes + 3] = 0xFF;
      }
    }
    return;
  }
  if (format == PatternFormat::kYuy2 || format == PatternFormat::kUyvy) {
    const bool yuy2 = format == PatternFormat::kYuy2;
    for (int y = first; y < last; ++y) {
      uint8_t* row = out + static_cast<size_t>(y) * width * 2;
      for (int x = 0; x < width; x += 2) {
        const Yuv a = YuvAt(width, y, x, number);
        const Yuv b = YuvAt(width, y, x + 1, number);
        uint8_t* p = row + x * 2;
        if (yuy2) {
          p[0] = a.y; p[1] = a.u; p[2] = b.y; p[3] = a.v;
        } else {
          p[0] = a.u; p[1] = a.y; p[2] = a.v; p[3] = b.y;
        }
      }
    }
    return;
  }
  // Planar 4:2:0: Y, then U and V (I420) or V and U (YV12).
  uint8_t* luma = out;
  uint8_t* first_chroma = out + static_cast<size_t>(width) * height;
  uint8_t* second_chroma = first_chroma + static_cast<size_t>(width / 2) * (height / 2);
  uint8_t* u_plane = format == PatternFormat::kI420 ? first_chroma : second_chroma;
  uint8_t* v_plane = format == PatternFormat::kI420 ? second_chroma : first_chroma;
  for (int y = first; y < last; ++y) {
    for (int x = 0; x < width; ++x) {
      const Yuv c = YuvAt(width, y, x, number);
      luma[static_cast<size_t>(y) * width + x] = c.y;
      if ((x & 1) == 0 && (y & 1) == 0) {
        const size_t index = static_cast<size_t>(y / 2) * (width / 2) + x / 2;
        u_plane[index] = c.u;
        v_plane[index] = c.v;
      }
    }
  }
}

}  // namespace

Rgb BarRgb(int bar) { return kBarRgb[bar & 7]; }

size_t PatternFrameSize(PatternFormat format, int width, int height) {
  const size_t pixels = static_cast<size_t>(width) * height;
  switch (format) {
    case PatternFormat::kI420:
    case PatternFormat::kYv12:
      return pixels * 3 / 2;
    case PatternFormat::kYuy2:
    case PatternFormat::kUyvy:
      return pixels * 2;
    case PatternFormat::kRgb24:
      return pixels * 3;
    case PatternFormat::kRgb32:
      return pixels * 4;
  }
  return 0;
}

void DrawPattern(PatternFormat format, int width, int height, uint32_t number, uint8_t* out) {
  DrawRows(format, width, height, number, out, 0, height);
}

void StampFrameNumber(PatternFormat format, int width, int height, uint32_t number,
                      uint8_t* frame) {
  DrawRows(format, width, height, number, frame, 0, kNumberRows < height ? kNumberRows : height);
}

uint32_t ReadFrameNumber(PatternFormat format, int width, int height, const uint8_t* frame) {
  const int cell = width / kNumberBits;
  const int y = kNumberRows / 2;
  uint32_t number = 0;
  for (int bit = 0; bit < kNumberBits; ++bit) {
    const int x = bit * cell + cell / 2;
    int value = 0;
    if (IsRgb(format)) {
      value = ReadRgb(format, width, height, frame, x, y).g;
    } else if (format == PatternFormat::kYuy2) {
      value = frame[(static_cast<size_t>(y) * width + x) * 2];
    } else if (format == PatternFormat::kUyvy) {
      value = frame[(static_cast<size_t>(y) * width + x) * 2 + 1];
    } else {
      value = frame[static_cast<size_t>(y) * width + x];
    }
    if (value > 128) number |= 1u << bit;
  }
  return number;
}

Rgb ReadRgb(PatternFormat format, int width, int height, const uint8_t* frame, int x, int y) {
  const int bytes = RgbBytes(format);
  const uint8_t* p = frame + (static_cast<size_t>(height - 1 - y) * width + x) * bytes;
  return Rgb{p[2], p[1], p[0]};
}

}  // namespace tarvo_test_devices
