#include "graphics/pellix/texel_packing.h"

#include <windows.h>
#include <emmintrin.h>

#include <cstring>

#include "graphics/include/gs_common.h"

namespace pellix {
namespace {

using gs::pellix::PixelCode;

const bool g_has_sse2 = IsProcessorFeaturePresent(PF_XMMI64_INSTRUCTIONS_AVAILABLE) != FALSE;

__attribute__((target("sse2"))) void CopyBlocks(std::uint8_t* destination,
                                                const std::uint8_t* source, std::size_t size) {
  std::size_t blocks = size / 16;
  for (std::size_t i = 0; i < blocks; ++i) {
    __m128i value = _mm_load_si128(reinterpret_cast<const __m128i*>(source) + i);
    _mm_store_si128(reinterpret_cast<__m128i*>(destination) + i, value);
  }
  for (std::size_t i = blocks * 16; i < size; ++i) destination[i] = source[i];
}

// Planar 4:2:0: `first` and `second` are the planes that go into bytes 1 and 2 of each texel.
void PackPlanar(const std::uint8_t* luma, const std::uint8_t* first, const std::uint8_t* second,
                int width, int height, std::uint8_t* texels, int pitch) {
  const int chroma_width = width / 2;
  for (int y = 0; y + 1 < height; y += 2) {
    const std::uint8_t* first_row = first + (y / 2) * chroma_width;
    const std::uint8_t* second_row = second + (y / 2) * chroma_width;
    for (int line = 0; line < 2; ++line) {
      const std::uint8_t* luma_row = luma + static_cast<std::size_t>(y + line) * width;
      std::uint8_t* out = texels + static_cast<std::size_t>(y + line) * pitch;
      for (int x = 0; x + 1 < width; x += 2) {
        const std::uint8_t b1 = first_row[x / 2];
        const std::uint8_t b2 = second_row[x / 2];
        std::uint8_t* texel = out + x * 4;
        texel[0] = luma_row[x];
        texel[1] = b1;
        texel[2] = b2;
        texel[3] = 0;
        texel[4] = luma_row[x + 1];
        texel[5] = b1;
        texel[6] = b2;
        texel[7] = 0;
      }
    }
  }
}

// Packed 4:2:2: every group b0 b1 b2 b3 becomes two texels; `luma_first` picks the layouts
// with luma in bytes 0 and 2 (YUY2, YVYU) over those with luma in bytes 1 and 3 (UYVY, HDYC).
void PackPacked(const std::uint8_t* frame, int width, int height, bool luma_first,
                std::uint8_t* texels, int pitch) {
  const int groups = width / 2;
  for (int y = 0; y < height; ++y) {
    const std::uint8_t* in = frame + static_cast<std::size_t>(y) * width * 2;
    std::uint8_t* out = texels + static_cast<std::size_t>(y) * pitch;
    for (int g = 0; g < groups; ++g, in += 4, out += 8) {
      const std::uint8_t b0 = in[0], b1 = in[1], b2 = in[2], b3 = in[3];
      if (luma_first) {
        out[0] = b0, out[1] = b1, out[2] = b2, out[3] = b3;
        out[4] = b2, out[5] = b1, out[6] = b2, out[7] = b3;
      } else {
        out[0] = b0, out[1] = b1, out[2] = b2, out[3] = b3;
        out[4] = b0, out[5] = b3, out[6] = b2, out[7] = b3;
      }
    }
  }
}

}  // namespace

void CopyBytes(void* destination, const void* source, std::size_t size) {
  const bool aligned =
      ((reinterpret_cast<std::uintptr_t>(destination) | reinterpret_cast<std::uintptr_t>(source)) &
       15) == 0;
  if (g_has_sse2 && aligned)
    CopyBlocks(static_cast<std::uint8_t*>(destination), static_cast<const std::uint8_t*>(source),
               size);
  else
    memcpy(destination, source, size);
}

int UploadFrameSize(int pixel_code, int width, int height) {
  switch (pixel_code) {
    case PixelCode::kI420:
    case PixelCode::kYV12:
      return width * height * 3 / 2;
    case PixelCode::kRGB24:
      return width * height * 3;
    case PixelCode::kRGB32:
      return width * height * 4;
    case PixelCode::kYUY2:
    case PixelCode::kYVYU:
    case PixelCode::kUYVY:
    case PixelCode::kHDYC:
      return width * height * 2;
    default:
      return -1;
  }
}

int ReadbackFrameSize(int pixel_code, int width, int height) {
  switch (pixel_code) {
    case PixelCode::kI420:
    case PixelCode::kYV12:
      return width * height * 3 / 2;
    case PixelCode::kRGB24:
      return width * height * 3;
    case PixelCode::kRGB32:
      return width * height * 4;
    default:
      return 0;
  }
}

bool PackFrame(const std::uint8_t* frame, int pixel_code, int width, int height,
               std::uint8_t* texels, int pitch) {
  const std::size_t plane = static_cast<std::size_t>(width) * height;
  switch (pixel_code) {
    case PixelCode::kI420:
      PackPlanar(frame, frame + plane, frame + plane + plane / 4, width, height, texels, pitch);
      return true;
    case PixelCode::kYV12:
      PackPlanar(frame, frame + plane, frame + plane + plane / 4, width, height, texels, pitch);
      return true;
    case PixelCode::kRGB24:
      for (int y = 0; y < height; ++y) {
        const std::uint8_t* in = frame + static_cast<std::size_t>(y) * width * 3;
        std::uint8_t* out = texels + static_cast<std::size_t>(y) * pitch;
        for (int x = 0; x < width; ++x, in += 3, out += 4) {
          out[0] = in[0], out[1] = in[1], out[2] = in[2], out[3] = 0;
        }
      }
      return true;
    case PixelCode::kRGB32: {
      const std::size_t row = static_cast<std::size_t>(width) * 4;
      if (static_cast<std::size_t>(pitch) == row) {
        CopyBytes(texels, frame, row * height);
      } else {
        for (int y = 0; y < height; ++y)
          CopyBytes(texels + static_cast<std::size_t>(y) * pitch, frame + y * row, row);
      }
      return true;
    }
    case PixelCode::kYUY2:
    case PixelCode::kYVYU:
      PackPacked(frame, width, height, true, texels, pitch);
      return true;
    case PixelCode::kUYVY:
    case PixelCode::kHDYC:
      PackPacked(frame, width, height, false, texels, pitch);
      return true;
    default:
      return false;
  }
}

bool UnpackTexels(const std::uint8_t* texels, int pitch, int width, int height, int pixel_code,
                  std::uint8_t* frame) {
  switch (pixel_code) {
    case PixelCode::kRGB32: {
      const std::size_t row = static_cast<std::size_t>(width) * 4;
      for (int y = 0; y < height; ++y)
        CopyBytes(frame + y * row, texels + static_cast<std::size_t>(y) * pitch, row);
      return true;
    }
    case PixelCode::kRGB24:
      // Bottom-up, as GDI keeps 24-bit pictures: output row h-1-i holds texture row i.
      for (int y = 0; y < height; ++y) {
        const std::uint8_t* in = texels + static_cast<std::size_t>(y) * pitch;
        std::uint8_t* out = frame + static_cast<std::size_t>(height - 1 - y) * width * 3;
        for (int x = 0; x < width; ++x, in += 4, out += 3) {
          out[0] = in[0], out[1] = in[1], out[2] = in[2];
        }
      }
      return true;
    case PixelCode::kI420: {
      const std::size_t plane = static_cast<std::size_t>(width) * height;
      const int chroma_width = width / 2;
      std::uint8_t* luma = frame;
      std::uint8_t* u_plane = frame + plane;
      std::uint8_t* v_plane = frame + plane + plane / 4;
      for (int y = 0; y < height; ++y) {
        const std::uint8_t* in = texels + static_cast<std::size_t>(y) * pitch;
        std::uint8_t* out = luma + static_cast<std::size_t>(y) * width;
        for (int x = 0; x < width; ++x) out[x] = in[x * 4 + 1];
      }
      for (int y = 0; y + 1 < height; y += 2) {
        const std::uint8_t* top = texels + static_cast<std::size_t>(y) * pitch;
        const std::uint8_t* bottom = top + pitch;
        std::uint8_t* u_row = u_plane + (y / 2) * chroma_width;
        std::uint8_t* v_row = v_plane + (y / 2) * chroma_width;
        for (int x = 0; x + 1 < width; x += 2) {
          const std::uint8_t* a = top + x * 4;
          const std::uint8_t* b = bottom + x * 4;
          u_row[x / 2] = static_cast<std::uint8_t>((a[0] + a[4] + b[0] + b[4]) / 4);
          v_row[x / 2] = static_cast<std::uint8_t>((a[2] + a[6] + b[2] + b[6]) / 4);
        }
      }
      return true;
    }
    default:
      return false;
  }
}

}  // namespace pellix
