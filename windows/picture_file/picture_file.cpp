#include "windows/picture_file/picture_file.h"

#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <memory>

#include "foundation/log.h"
#include "foundation/text_convert.h"

#define STB_IMAGE_STATIC
#define STB_IMAGE_IMPLEMENTATION
#define STBI_NO_STDIO
#define STBI_FAILURE_USERMSG
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wsign-compare"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wimplicit-fallthrough"
#endif
#include "stb_image.h"
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

namespace {

// Picture files are read whole; nothing a user would pick as a camera picture comes near this.
constexpr LONGLONG kMaxFileBytes = 256LL * 1024 * 1024;

bool StartGdiplus() {
  // Started once for the process and never shut down, like the program's own start.
  static const bool started = [] {
    Gdiplus::GdiplusStartupInput input;
    ULONG_PTR token = 0;
    return Gdiplus::GdiplusStartup(&token, &input, nullptr) == Gdiplus::Ok;
  }();
  return started;
}

struct GlobalFreer {
  void operator()(void* memory) const { GlobalFree(memory); }
};
using ScopedGlobal = std::unique_ptr<void, GlobalFreer>;

struct StreamReleaser {
  void operator()(IStream* stream) const { stream->Release(); }
};
using ScopedStream = std::unique_ptr<IStream, StreamReleaser>;

struct FileCloser {
  void operator()(void* file) const { CloseHandle(file); }
};
using ScopedFile = std::unique_ptr<void, FileCloser>;

// Reads the whole file into movable global memory (what a GDI+ stream is made from).
ScopedGlobal ReadFileToGlobal(const wchar_t* path, size_t* size) {
  HANDLE raw = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (raw == INVALID_HANDLE_VALUE) {
    TVLOG_ERROR() << "cannot open " << UnicodeToUtf8(path) << " error=" << GetLastError();
    return nullptr;
  }
  ScopedFile file(raw);
  LARGE_INTEGER length{};
  if (!GetFileSizeEx(raw, &length) || length.QuadPart <= 0 || length.QuadPart > kMaxFileBytes) {
    TVLOG_ERROR() << "refused " << UnicodeToUtf8(path) << ": size " << length.QuadPart;
    return nullptr;
  }
  const DWORD total = static_cast<DWORD>(length.QuadPart);
  ScopedGlobal memory(GlobalAlloc(GMEM_MOVEABLE, total));
  if (!memory) {
    TVLOG_ERROR() << "no memory for " << total << " bytes";
    return nullptr;
  }
  auto* bytes = static_cast<BYTE*>(GlobalLock(memory.get()));
  DWORD done = 0;
  while (bytes && done < total) {
    DWORD got = 0;
    if (!ReadFile(raw, bytes + done, total - done, &got, nullptr) || got == 0) break;
    done += got;
  }
  if (bytes) GlobalUnlock(memory.get());
  if (done != total) {
    TVLOG_ERROR() << "short read of " << UnicodeToUtf8(path) << ": " << done << " of " << total;
    return nullptr;
  }
  *size = total;
  return memory;
}

// The picture's size from its header, for the formats whose header we can read without
// decoding (JPEG, PNG, BMP, GIF, PSD, TGA, ...). False when the header is not one of those.
bool PeekPictureSize(HGLOBAL memory, size_t size, int* width, int* height) {
  const auto* bytes = static_cast<const stbi_uc*>(GlobalLock(memory));
  if (!bytes) return false;
  int channels = 0;
  const bool known = stbi_info_from_memory(bytes, static_cast<int>(size), width, height,
                                           &channels) != 0;
  GlobalUnlock(memory);
  return known;
}

bool SideAccepted(int side) { return side > 0 && side <= PictureFile::kMaxPictureSide; }

int RoundToByte(float value, int low, int high) {
  const int rounded = static_cast<int>(std::lround(value));
  return std::min(high, std::max(low, rounded));
}

}  // namespace

PictureFile::PictureFile() {
  for (int i = 0; i < 256; ++i) {
    const float f = static_cast<float>(i);
    luma_r_[i] = 0.299f * f;
    luma_g_[i] = 0.587f * f;
    luma_b_[i] = 0.114f * f;
    u_r_[i] = 0.1684f * f;
    u_g_[i] = 0.3316f * f;
    v_g_[i] = 0.4187f * f;
    v_b_[i] = 0.0813f * f;
  }
}

void PictureFile::FitFrameSize(int width, int height, int* frame_width, int* frame_height) {
  long long w = std::max(width, 0);
  long long h = std::max(height, 0);
  if (w > kMaxFrameWidth || h > kMaxFrameHeight) {
    // Scale by the larger of the two factors; integer arithmetic keeps 4000 × 3000 at exactly
    // 1440 × 1080.
    if (w * kMaxFrameHeight >= h * kMaxFrameWidth) {
      h = h * kMaxFrameWidth / w;
      w = kMaxFrameWidth;
    } else {
      w = w * kMaxFrameHeight / h;
      h = kMaxFrameHeight;
    }
  }
  *frame_width = static_cast<int>(w) & ~3;
  *frame_height = static_cast<int>(h) & ~1;
}

void PictureFile::Rgb24ToI420(const uint8_t* bgr, int stride, int width, int height,
                              uint8_t* i420) const {
  uint8_t* y_plane = i420;
  uint8_t* u_plane = i420 + width * height;
  uint8_t* v_plane = u_plane + (width / 2) * (height / 2);
  for (int y = 0; y < height; y += 2) {
    const uint8_t* rows[2] = {bgr + y * stride, bgr + (y + 1) * stride};
    uint8_t* luma[2] = {y_plane + y * width, y_plane + (y + 1) * width};
    uint8_t* u_row = u_plane + (y / 2) * (width / 2);
    uint8_t* v_row = v_plane + (y / 2) * (width / 2);
    for (int x = 0; x < width; x += 2) {
      float u_sum = 0.0f;
      float v_sum = 0.0f;
      for (int row = 0; row < 2; ++row) {
        for (int col = 0; col < 2; ++col) {
          const uint8_t* px = rows[row] + (x + col) * 3;
          const int b = px[0], g = px[1], r = px[2];
          luma[row][x + col] =
              static_cast<uint8_t>(RoundToByte(luma_r_[r] + luma_g_[g] + luma_b_[b], 16, 235));
          u_sum += 0.5f * b - u_r_[r] - u_g_[g];
          v_sum += 0.5f * r - v_g_[g] - v_b_[b];
        }
      }
      u_row[x / 2] = static_cast<uint8_t>(RoundToByte(u_sum * 0.25f + 128.0f, 16, 240));
      v_row[x / 2] = static_cast<uint8_t>(RoundToByte(v_sum * 0.25f + 128.0f, 16, 240));
    }
  }
}

bool PictureFile::LoadPictureAsBitmap(const wchar_t* path, uint8_t** buffer, int* size,
                                      int* width, int* height) const {
  if (!path || !buffer || !size || !width || !height) return false;
  const std::string name = UnicodeToUtf8(path);
  if (!StartGdiplus()) {
    TVLOG_ERROR() << "GDI+ did not start";
    return false;
  }
  size_t file_size = 0;
  ScopedGlobal memory = ReadFileToGlobal(path, &file_size);
  if (!memory) return false;

  // A small file may declare an enormous picture: look at the header before decoding.
  int header_width = 0, header_height = 0;
  if (PeekPictureSize(memory.get(), file_size, &header_width, &header_height) &&
      (!SideAccepted(header_width) || !SideAccepted(header_height))) {
    TVLOG_ERROR() << "refused " << name << ": declares " << header_width << "x" << header_height;
    return false;
  }

  IStream* raw_stream = nullptr;
  if (FAILED(CreateStreamOnHGlobal(memory.get(), TRUE, &raw_stream)) || !raw_stream) {
    TVLOG_ERROR() << "no stream for " << name;
    return false;
  }
  memory.release();  // the stream frees it now
  ScopedStream stream(raw_stream);

  Gdiplus::Image picture(stream.get(), FALSE);
  if (picture.GetLastStatus() != Gdiplus::Ok) {
    TVLOG_ERROR() << "not a picture: " << name << " status=" << picture.GetLastStatus();
    return false;
  }
  const int picture_width = static_cast<int>(picture.GetWidth());
  const int picture_height = static_cast<int>(picture.GetHeight());
  if (!SideAccepted(picture_width) || !SideAccepted(picture_height)) {
    TVLOG_ERROR() << "refused " << name << ": " << picture_width << "x" << picture_height;
    return false;
  }
  int frame_width = 0, frame_height = 0;
  FitFrameSize(picture_width, picture_height, &frame_width, &frame_height);
  if (frame_width < 4 || frame_height < 2) {
    TVLOG_ERROR() << "refused " << name << ": " << picture_width << "x" << picture_height
                  << " leaves no frame";
    return false;
  }

  Gdiplus::Bitmap canvas(frame_width, frame_height, PixelFormat24bppRGB);
  if (canvas.GetLastStatus() != Gdiplus::Ok) {
    TVLOG_ERROR() << "no " << frame_width << "x" << frame_height << " bitmap";
    return false;
  }
  {
    Gdiplus::Graphics graphics(&canvas);
    if (graphics.GetLastStatus() != Gdiplus::Ok) return false;
    graphics.SetInterpolationMode(Gdiplus::InterpolationModeHighQualityBicubic);
    graphics.SetPixelOffsetMode(Gdiplus::PixelOffsetModeHalf);
    // Mirrored edges keep the scaler from blending the border with transparent black.
    Gdiplus::ImageAttributes attributes;
    attributes.SetWrapMode(Gdiplus::WrapModeTileFlipXY);
    const Gdiplus::Status drawn = graphics.DrawImage(
        &picture, Gdiplus::Rect(0, 0, frame_width, frame_height), 0, 0, picture_width,
        picture_height, Gdiplus::UnitPixel, &attributes);
    if (drawn != Gdiplus::Ok) {
      TVLOG_ERROR() << "drawing " << name << " failed, status=" << drawn;
      return false;
    }
  }

  Gdiplus::BitmapData pixels{};
  Gdiplus::Rect all(0, 0, frame_width, frame_height);
  if (canvas.LockBits(&all, Gdiplus::ImageLockModeRead, PixelFormat24bppRGB, &pixels) !=
      Gdiplus::Ok) {
    TVLOG_ERROR() << "cannot read the drawn picture of " << name;
    return false;
  }
  const int frame_size = frame_width * frame_height * 3 / 2;
  auto* frame = static_cast<uint8_t*>(malloc(frame_size));
  if (frame) {
    Rgb24ToI420(static_cast<const uint8_t*>(pixels.Scan0), pixels.Stride, frame_width,
                frame_height, frame);
  }
  canvas.UnlockBits(&pixels);
  if (!frame) {
    TVLOG_ERROR() << "no memory for a " << frame_width << "x" << frame_height << " frame";
    return false;
  }
  *buffer = frame;
  *size = frame_size;
  *width = frame_width;
  *height = frame_height;
  return true;
}
