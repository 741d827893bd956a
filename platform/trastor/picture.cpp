#include "picture.h"

#include <windows.h>

#include <cstring>
#include <new>

#include "libyuv.h"
#include "platform/trastor/trastor.h"

#define STB_IMAGE_STATIC
#define STB_IMAGE_IMPLEMENTATION
#define STBI_NO_STDIO
#define STBI_NO_HDR
#define STBI_NO_LINEAR
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

namespace trastor {
namespace {

int HalfUp(int side) { return (side + 1) / 2; }

// Picture files larger than this are not read.
constexpr long long kMaxPictureFileBytes = 64ll << 20;

bool ReadWholeFile(const wchar_t* path, std::vector<std::uint8_t>* bytes) {
  HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  bool ok = false;
  LARGE_INTEGER size{};
  if (GetFileSizeEx(file, &size) && size.QuadPart > 0 && size.QuadPart <= kMaxPictureFileBytes) {
    try {
      bytes->resize(static_cast<std::size_t>(size.QuadPart));
      DWORD read = 0;
      ok = ReadFile(file, bytes->data(), static_cast<DWORD>(bytes->size()), &read, nullptr) &&
           read == bytes->size();
    } catch (const std::bad_alloc&) {
      ok = false;
    }
  }
  CloseHandle(file);
  return ok;
}

}  // namespace

bool Picture::Resize(int width, int height) {
  const std::size_t needed = static_cast<std::size_t>(width) * height * 4;
  try {
    if (pixels_.size() < needed) pixels_.resize(needed);
  } catch (const std::bad_alloc&) {
    Reset();
    return false;
  }
  width_ = width;
  height_ = height;
  return true;
}

void Picture::Reset() {
  std::vector<std::uint8_t>().swap(pixels_);
  width_ = 0;
  height_ = 0;
}

PictureView Picture::View() const {
  if (empty()) return {};
  return {pixels_.data(), width_, height_, stride()};
}

void FillPicture(std::uint8_t* pixels, int width, int height, int stride, std::uint32_t argb) {
  libyuv::ARGBRect(pixels, stride, 0, 0, width, height, argb);
}

void DrawScaled(const PictureView& source, int x, int y, int width, int height, Picture* target,
                Picture* scratch) {
  if (!source || width < 1 || height < 1 || target->empty()) return;
  // The part of the target the source covers.
  const int left = x < 0 ? 0 : x;
  const int top = y < 0 ? 0 : y;
  const long long right_edge = static_cast<long long>(x) + width;
  const long long bottom_edge = static_cast<long long>(y) + height;
  const int right = right_edge > target->width() ? target->width() : static_cast<int>(right_edge);
  const int bottom =
      bottom_edge > target->height() ? target->height() : static_cast<int>(bottom_edge);
  if (left >= right || top >= bottom) return;

  const bool inside = left == x && top == y && right - left == width && bottom - top == height;
  std::uint8_t* at = target->pixels() + static_cast<std::size_t>(top) * target->stride() + left * 4;
  if (inside) {
    if (width == source.width && height == source.height) {
      libyuv::ARGBCopy(source.pixels, source.stride, at, target->stride(), width, height);
    } else {
      libyuv::ARGBScale(source.pixels, source.stride, source.width, source.height, at,
                        target->stride(), width, height, libyuv::kFilterBox);
    }
    return;
  }
  // Partly outside: scale the whole source first, then copy the visible part.
  PictureView scaled = source;
  if (width != source.width || height != source.height) {
    if (!scratch->Resize(width, height)) return;
    libyuv::ARGBScale(source.pixels, source.stride, source.width, source.height, scratch->pixels(),
                      scratch->stride(), width, height, libyuv::kFilterBox);
    scaled = scratch->View();
  }
  const std::uint8_t* from =
      scaled.pixels + static_cast<std::size_t>(top - y) * scaled.stride + (left - x) * 4;
  libyuv::ARGBCopy(from, scaled.stride, at, target->stride(), right - left, bottom - top);
}

long long FrameLength(int format, int width, int height) {
  if (width < 1 || height < 1) return -1;
  const long long w = width;
  const long long h = height;
  switch (format) {
    case kFormatI420:
    case kFormatNV12:
      return w * h + 2ll * HalfUp(width) * HalfUp(height);
    case kFormatBGR24:
      return w * h * 3;
    case kFormatBGRA:
      return w * h * 4;
    case kFormatYUY2:
    case kFormatUYVY:
      return 4ll * HalfUp(width) * h;
    default:
      return -1;
  }
}

bool ConvertFrame(int format, int width, int height, const std::uint8_t* data, Picture* picture) {
  if (FrameLength(format, width, height) < 0 || !picture->Resize(width, height)) return false;
  std::uint8_t* out = picture->pixels();
  const int out_stride = picture->stride();
  const int chroma_width = HalfUp(width);
  const std::uint8_t* chroma = data + static_cast<std::size_t>(width) * height;
  int result = -1;
  switch (format) {
    case kFormatI420: {
      const std::uint8_t* v = chroma + static_cast<std::size_t>(chroma_width) * HalfUp(height);
      result = libyuv::I420ToARGB(data, width, chroma, chroma_width, v, chroma_width, out,
                                  out_stride, width, height);
      break;
    }
    case kFormatNV12:
      result =
          libyuv::NV12ToARGB(data, width, chroma, chroma_width * 2, out, out_stride, width, height);
      break;
    case kFormatBGR24:
      result = libyuv::RGB24ToARGB(data, width * 3, out, out_stride, width, height);
      break;
    case kFormatBGRA:
      result = libyuv::ARGBCopy(data, width * 4, out, out_stride, width, height);
      break;
    case kFormatYUY2:
      result = libyuv::YUY2ToARGB(data, chroma_width * 4, out, out_stride, width, height);
      break;
    case kFormatUYVY:
      result = libyuv::UYVYToARGB(data, chroma_width * 4, out, out_stride, width, height);
      break;
  }
  return result == 0;
}

bool ConvertToI420(const PictureView& source, std::vector<std::uint8_t>* i420) {
  const long long length = FrameLength(kFormatI420, source.width, source.height);
  if (!source || length < 0) return false;
  try {
    if (i420->size() != static_cast<std::size_t>(length)) i420->resize(length);
  } catch (const std::bad_alloc&) {
    return false;
  }
  const int chroma_width = HalfUp(source.width);
  std::uint8_t* y = i420->data();
  std::uint8_t* u = y + static_cast<std::size_t>(source.width) * source.height;
  std::uint8_t* v = u + static_cast<std::size_t>(chroma_width) * HalfUp(source.height);
  return libyuv::ARGBToI420(source.pixels, source.stride, y, source.width, u, chroma_width, v,
                            chroma_width, source.width, source.height) == 0;
}

bool LoadPictureFile(const wchar_t* path, Picture* picture) {
  std::vector<std::uint8_t> bytes;
  if (!path || !ReadWholeFile(path, &bytes)) return false;
  int width = 0;
  int height = 0;
  int channels = 0;
  if (!stbi_info_from_memory(bytes.data(), static_cast<int>(bytes.size()), &width, &height,
                             &channels) ||
      width < 1 || height < 1 || width > kMaxSide || height > kMaxSide) {
    return false;
  }
  stbi_uc* decoded = stbi_load_from_memory(bytes.data(), static_cast<int>(bytes.size()), &width,
                                           &height, &channels, 4);
  if (!decoded) return false;
  const bool ok = picture->Resize(width, height);
  if (ok) {
    // Red, green, blue, alpha bytes become blue, green, red, alpha.
    libyuv::ABGRToARGB(decoded, width * 4, picture->pixels(), picture->stride(), width, height);
  }
  stbi_image_free(decoded);
  return ok;
}

}  // namespace trastor
