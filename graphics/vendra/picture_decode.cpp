#include "picture_decode.h"

#include <windows.h>

#include <cstring>
#include <new>

#include "gdi_handles.h"

#define STB_IMAGE_STATIC
#define STB_IMAGE_IMPLEMENTATION
#define STBI_NO_STDIO
#define STBI_NO_HDR
#define STBI_NO_LINEAR
#define STBI_FAILURE_USERMSG
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wsign-compare"
#pragma GCC diagnostic ignored "-Wimplicit-fallthrough"
#endif
#include "stb_image.h"
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

namespace vendra {

bool DecodePicture(const void* data, int size, Picture* picture) {
  if (!data || size <= 0) return false;
  int width = 0;
  int height = 0;
  int channels = 0;
  stbi_uc* decoded =
      stbi_load_from_memory(static_cast<const stbi_uc*>(data), size, &width, &height, &channels, 4);
  if (!decoded) return false;
  const std::size_t pitch = static_cast<std::size_t>(width) * 4;
  std::unique_ptr<std::uint8_t[]> pixels(new (std::nothrow) std::uint8_t[pitch * height]);
  if (!pixels) {
    stbi_image_free(decoded);
    return false;
  }
  // Rows go bottom-up and red, green, blue, alpha becomes blue, green, red, alpha.
  for (int row = 0; row < height; ++row) {
    const stbi_uc* in = decoded + pitch * row;
    std::uint8_t* out = pixels.get() + pitch * (height - 1 - row);
    for (int x = 0; x < width; ++x, in += 4, out += 4) {
      out[0] = in[2];
      out[1] = in[1];
      out[2] = in[0];
      out[3] = in[3];
    }
  }
  stbi_image_free(decoded);
  picture->width = width;
  picture->height = height;
  picture->pixels = std::move(pixels);
  return true;
}

void FittedPictureSize(int width, int height, int* fitted_width, int* fitted_height) {
  *fitted_width = width;
  *fitted_height = height;
  if (width <= kMaxPictureSide && height <= kMaxPictureSide) return;
  if (width >= height) {
    *fitted_width = kMaxPictureSide;
    *fitted_height = static_cast<int>(static_cast<std::int64_t>(height) * kMaxPictureSide / width);
  } else {
    *fitted_height = kMaxPictureSide;
    *fitted_width = static_cast<int>(static_cast<std::int64_t>(width) * kMaxPictureSide / height);
  }
  // A very thin picture keeps at least one pixel across.
  if (*fitted_width < 1) *fitted_width = 1;
  if (*fitted_height < 1) *fitted_height = 1;
}

bool ShrinkPicture(Picture* picture) {
  int width = 0;
  int height = 0;
  FittedPictureSize(picture->width, picture->height, &width, &height);
  if (width == picture->width && height == picture->height) return true;

  ScopedWindowDc screen(nullptr);
  BITMAPINFO source_info = BottomUpInfo32(picture->width, picture->height);
  BITMAPINFO target_info = BottomUpInfo32(width, height);
  void* target_bits = nullptr;
  ScopedBitmap target(
      CreateDIBSection(screen.Get(), &target_info, DIB_RGB_COLORS, &target_bits, nullptr, 0));
  ScopedMemoryDc target_dc(CreateCompatibleDC(screen.Get()));
  if (!target || !target_dc) return false;
  {
    ScopedSelect select(target_dc.Get(), target.Get());
    ScopedHalftone halftone(target_dc.Get());
    int lines =
        StretchDIBits(target_dc.Get(), 0, 0, width, height, 0, 0, picture->width, picture->height,
                      picture->pixels.get(), &source_info, DIB_RGB_COLORS, SRCCOPY);
    if (lines == 0 || lines == static_cast<int>(GDI_ERROR)) return false;
  }
  GdiFlush();
  const std::size_t bytes = static_cast<std::size_t>(width) * height * 4;
  std::unique_ptr<std::uint8_t[]> pixels(new (std::nothrow) std::uint8_t[bytes]);
  if (!pixels) return false;
  std::memcpy(pixels.get(), target_bits, bytes);
  for (std::size_t i = 3; i < bytes; i += 4) pixels[i] = 0xFF;
  picture->width = width;
  picture->height = height;
  picture->pixels = std::move(pixels);
  return true;
}

}  // namespace vendra
