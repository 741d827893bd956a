// PictureFile::LoadPictureAsBitmap of a 4000 x 3000 JPEG against the anchor made of the same
// library calls without our checks and conversion: GDI+ decodes the file and draws it into a
// 1440 x 1080 24-bit bitmap (same scaler settings), then libyuv's RGB24ToI420 converts it.
#include "windows/picture_file/picture_file.h"

#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include <benchmark/benchmark.h>
#include <libyuv/convert.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr int kFrameWidth = 1440;
constexpr int kFrameHeight = 1080;

// A 4000 x 3000 photograph-like JPEG (gradients and shapes), written once per run.
const std::wstring& LargeJpeg() {
  static const std::wstring path = [] {
    Gdiplus::GdiplusStartupInput input;
    ULONG_PTR token = 0;
    Gdiplus::GdiplusStartup(&token, &input, nullptr);
    wchar_t folder[MAX_PATH];
    GetTempPathW(MAX_PATH, folder);
    std::wstring file = std::wstring(folder) + L"picture_file_bench.jpg";
    Gdiplus::Bitmap bitmap(4000, 3000, PixelFormat24bppRGB);
    {
      Gdiplus::Graphics graphics(&bitmap);
      Gdiplus::LinearGradientBrush sky(Gdiplus::Point(0, 0), Gdiplus::Point(4000, 3000),
                                       Gdiplus::Color(255, 30, 90, 200),
                                       Gdiplus::Color(255, 250, 200, 120));
      graphics.FillRectangle(&sky, 0, 0, 4000, 3000);
      for (int i = 0; i < 60; ++i) {
        Gdiplus::SolidBrush brush(Gdiplus::Color(160, (i * 53) % 256, (i * 97) % 256,
                                                 (i * 31) % 256));
        graphics.FillEllipse(&brush, (i * 613) % 3600, (i * 419) % 2600, 300 + i * 7, 200 + i * 5);
      }
    }
    UINT count = 0, size = 0;
    Gdiplus::GetImageEncodersSize(&count, &size);
    std::vector<uint8_t> buffer(size);
    auto* encoders = reinterpret_cast<Gdiplus::ImageCodecInfo*>(buffer.data());
    Gdiplus::GetImageEncoders(count, size, encoders);
    for (UINT i = 0; i < count; ++i) {
      if (std::wstring(encoders[i].MimeType) == L"image/jpeg") {
        bitmap.Save(file.c_str(), &encoders[i].Clsid, nullptr);
      }
    }
    return file;
  }();
  return path;
}

void BM_LoadPictureAsBitmap(benchmark::State& state) {
  const PictureFile reader;
  const std::wstring& path = LargeJpeg();
  for (auto _ : state) {
    uint8_t* frame = nullptr;
    int size = 0, width = 0, height = 0;
    if (!reader.LoadPictureAsBitmap(path.c_str(), &frame, &size, &width, &height) ||
        width != kFrameWidth || height != kFrameHeight) {
      state.SkipWithError("LoadPictureAsBitmap failed");
      break;
    }
    benchmark::DoNotOptimize(frame);
    free(frame);
  }
}
BENCHMARK(BM_LoadPictureAsBitmap)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_GdiplusDrawThenLibyuv(benchmark::State& state) {
  const std::wstring& path = LargeJpeg();
  std::vector<uint8_t> frame(kFrameWidth * kFrameHeight * 3 / 2);
  uint8_t* y = frame.data();
  uint8_t* u = y + kFrameWidth * kFrameHeight;
  uint8_t* v = u + kFrameWidth * kFrameHeight / 4;
  for (auto _ : state) {
    Gdiplus::Image picture(path.c_str());
    Gdiplus::Bitmap canvas(kFrameWidth, kFrameHeight, PixelFormat24bppRGB);
    {
      Gdiplus::Graphics graphics(&canvas);
      graphics.SetInterpolationMode(Gdiplus::InterpolationModeHighQualityBicubic);
      graphics.SetPixelOffsetMode(Gdiplus::PixelOffsetModeHalf);
      Gdiplus::ImageAttributes attributes;
      attributes.SetWrapMode(Gdiplus::WrapModeTileFlipXY);
      graphics.DrawImage(&picture, Gdiplus::Rect(0, 0, kFrameWidth, kFrameHeight), 0, 0,
                         picture.GetWidth(), picture.GetHeight(), Gdiplus::UnitPixel, &attributes);
    }
    Gdiplus::BitmapData pixels{};
    Gdiplus::Rect all(0, 0, kFrameWidth, kFrameHeight);
    if (canvas.LockBits(&all, Gdiplus::ImageLockModeRead, PixelFormat24bppRGB, &pixels) !=
        Gdiplus::Ok) {
      state.SkipWithError("LockBits failed");
      break;
    }
    libyuv::RGB24ToI420(static_cast<const uint8_t*>(pixels.Scan0), pixels.Stride, y, kFrameWidth,
                        u, kFrameWidth / 2, v, kFrameWidth / 2, kFrameWidth, kFrameHeight);
    canvas.UnlockBits(&pixels);
    benchmark::DoNotOptimize(frame.data());
  }
}
BENCHMARK(BM_GdiplusDrawThenLibyuv)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
