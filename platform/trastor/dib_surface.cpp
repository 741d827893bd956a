#include "dib_surface.h"

namespace trastor {

DibSurface::~DibSurface() { Reset(); }

bool DibSurface::Resize(int width, int height) {
  if (dc_ && width == width_ && height == height_) return true;
  Reset();
  dc_ = CreateCompatibleDC(nullptr);
  if (!dc_) return false;
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // Top row first.
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  bitmap_ = CreateDIBSection(dc_, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (!bitmap_ || !bits) {
    Reset();
    return false;
  }
  displaced_ = SelectObject(dc_, bitmap_);
  pixels_ = static_cast<std::uint8_t*>(bits);
  width_ = width;
  height_ = height;
  return true;
}

void DibSurface::Reset() {
  if (dc_ && displaced_) SelectObject(dc_, displaced_);
  if (bitmap_) DeleteObject(bitmap_);
  if (dc_) DeleteDC(dc_);
  dc_ = nullptr;
  bitmap_ = nullptr;
  displaced_ = nullptr;
  pixels_ = nullptr;
  width_ = 0;
  height_ = 0;
}

PictureView DibSurface::View() const {
  if (!pixels_) return {};
  return {pixels_, width_, height_, width_ * 4};
}

}  // namespace trastor
