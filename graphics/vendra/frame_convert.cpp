#include "frame_convert.h"

#include <cstring>

#include "gs_common.h"
#include "yuv_tables.h"

namespace vendra {
namespace {

using gs::vendra::PixelCode;

void ConvertRgb24(const std::uint8_t* source, int width, int height, bool flip,
                  std::uint8_t* pixels) {
  const std::int64_t source_pitch = static_cast<std::int64_t>(width) * 3;
  for (int row = 0; row < height; ++row) {
    const std::uint8_t* in = source + source_pitch * (flip ? height - 1 - row : row);
    std::uint8_t* out = pixels + static_cast<std::int64_t>(row) * width * 4;
    for (int x = 0; x < width; ++x, in += 3, out += 4) {
      out[0] = in[0];
      out[1] = in[1];
      out[2] = in[2];
      out[3] = 0;
    }
  }
}

void ConvertRgb32(const std::uint8_t* source, int width, int height, bool flip,
                  std::uint8_t* pixels) {
  const std::int64_t pitch = static_cast<std::int64_t>(width) * 4;
  for (int row = 0; row < height; ++row) {
    const std::uint8_t* in = source + pitch * (flip ? height - 1 - row : row);
    std::uint8_t* out = pixels + pitch * row;
    std::memcpy(out, in, static_cast<std::size_t>(pitch));
    for (int x = 0; x < width; ++x) out[x * 4 + 3] = 0xFF;
  }
}

// Image row `image_row` (top-down) lives in bitmap row height - 1 - image_row.
std::uint8_t* BitmapRow(std::uint8_t* pixels, int width, int height, int image_row) {
  return pixels + static_cast<std::int64_t>(height - 1 - image_row) * width * 4;
}

void ConvertPlanar(const std::uint8_t* source, int width, int height, bool u_first,
                   std::uint8_t* pixels) {
  const YuvTables& t = GetYuvTables();
  const std::int64_t luma_bytes = static_cast<std::int64_t>(width) * height;
  const std::uint8_t* second = source + luma_bytes;
  const std::uint8_t* third = second + luma_bytes / 4;
  const std::uint8_t* u_plane = u_first ? second : third;
  const std::uint8_t* v_plane = u_first ? third : second;
  const int chroma_pitch = width / 2;
  const int even_width = width & ~1;
  const int even_height = height & ~1;
  for (int row = 0; row < even_height; row += 2) {
    const std::uint8_t* y0 = source + static_cast<std::int64_t>(row) * width;
    const std::uint8_t* y1 = y0 + width;
    const std::uint8_t* u = u_plane + static_cast<std::int64_t>(row / 2) * chroma_pitch;
    const std::uint8_t* v = v_plane + static_cast<std::int64_t>(row / 2) * chroma_pitch;
    std::uint8_t* out0 = BitmapRow(pixels, width, height, row);
    std::uint8_t* out1 = BitmapRow(pixels, width, height, row + 1);
    for (int x = 0; x < even_width; x += 2) {
      const std::uint8_t cu = u[x / 2];
      const std::uint8_t cv = v[x / 2];
      YuvToBgra(t, y0[x], cu, cv, out0 + x * 4);
      YuvToBgra(t, y0[x + 1], cu, cv, out0 + x * 4 + 4);
      YuvToBgra(t, y1[x], cu, cv, out1 + x * 4);
      YuvToBgra(t, y1[x + 1], cu, cv, out1 + x * 4 + 4);
    }
  }
}

// Packed 4:2:2: `y_offset` is the byte of the first Y in each 4-byte group (0 for Y0 U Y1 V,
// 1 for U Y0 V Y1); U and V sit in the other two bytes, U first.
void ConvertPacked(const std::uint8_t* source, int width, int height, int y_offset,
                   std::uint8_t* pixels) {
  const YuvTables& t = GetYuvTables();
  const int u_offset = 1 - y_offset;
  const int even_width = width & ~1;
  for (int row = 0; row < height; ++row) {
    const std::uint8_t* in = source + static_cast<std::int64_t>(row) * width * 2;
    std::uint8_t* out = BitmapRow(pixels, width, height, row);
    for (int x = 0; x < even_width; x += 2, in += 4, out += 8) {
      const std::uint8_t u = in[u_offset];
      const std::uint8_t v = in[u_offset + 2];
      YuvToBgra(t, in[y_offset], u, v, out);
      YuvToBgra(t, in[y_offset + 2], u, v, out + 4);
    }
  }
}

std::uint8_t LowByte(int value) { return static_cast<std::uint8_t>(value & 0xFF); }

}  // namespace

std::int64_t FrameBytes(int pixel_code, int width, int height) {
  const std::int64_t area = static_cast<std::int64_t>(width) * height;
  switch (pixel_code) {
    case PixelCode::kRGB24:
      return area * 3;
    case PixelCode::kI420:
    case PixelCode::kYV12:
      return area * 3 / 2;
    case PixelCode::kYUY2:
    case PixelCode::kYUY2Alias:
    case PixelCode::kUYVY:
    case PixelCode::kUYVYAlias:
      return area * 2;
    case PixelCode::kRGB32:
      return area * 4;
    default:
      return -1;
  }
}

void ConvertFrame(int pixel_code, const std::uint8_t* source, int width, int height, bool flip,
                  std::uint8_t* pixels) {
  switch (pixel_code) {
    case PixelCode::kRGB24:
      ConvertRgb24(source, width, height, flip, pixels);
      break;
    case PixelCode::kRGB32:
      ConvertRgb32(source, width, height, flip, pixels);
      break;
    case PixelCode::kI420:
      ConvertPlanar(source, width, height, /*u_first=*/true, pixels);
      break;
    case PixelCode::kYV12:
      ConvertPlanar(source, width, height, /*u_first=*/false, pixels);
      break;
    case PixelCode::kYUY2:
    case PixelCode::kYUY2Alias:
      ConvertPacked(source, width, height, /*y_offset=*/0, pixels);
      break;
    case PixelCode::kUYVY:
    case PixelCode::kUYVYAlias:
      ConvertPacked(source, width, height, /*y_offset=*/1, pixels);
      break;
    default:
      break;
  }
}

void PixelsToI420(const std::uint8_t* pixels, int width, int height, std::uint8_t* frame) {
  const std::int64_t luma_bytes = static_cast<std::int64_t>(width) * height;
  std::uint8_t* u_plane = frame + luma_bytes;
  std::uint8_t* v_plane = u_plane + luma_bytes / 4;
  const int chroma_pitch = width / 2;
  const int even_width = width & ~1;
  const int even_height = height & ~1;
  for (int row = 0; row < height; ++row) {
    const std::uint8_t* in = pixels + static_cast<std::int64_t>(height - 1 - row) * width * 4;
    std::uint8_t* y_out = frame + static_cast<std::int64_t>(row) * width;
    const bool chroma_row = row < even_height;
    std::uint8_t* chroma =
        ((row & 1) ? v_plane : u_plane) + static_cast<std::int64_t>(row / 2) * chroma_pitch;
    for (int x = 0; x < width; ++x, in += 4) {
      const int b = in[0];
      const int g = in[1];
      const int r = in[2];
      y_out[x] = LowByte(((66 * r + 129 * g + 25 * b + 128) >> 8) + 16);
      if (!chroma_row || (x & 1) || x >= even_width) continue;
      // U is sampled on even rows, V on odd rows, both at even columns.
      if (row & 1) {
        chroma[x / 2] = LowByte(((112 * r - 94 * g - 18 * b + 128) >> 8) + 128);
      } else {
        chroma[x / 2] = LowByte(((-38 * r - 74 * g + 112 * b + 128) >> 8) + 128);
      }
    }
  }
}

}  // namespace vendra
