#include "share/capture/capture_image.h"

#include <new>

bool CaptureImage::Prepare(HDC reference, int width, int height) {
  if (width < 1 || height < 1 || width > kMaxSide || height > kMaxSide) return false;
  const int aligned_width = AlignedSide(width);
  const int aligned_height = AlignedSide(height);
  if (!bitmap_ || aligned_width != width_ || aligned_height != height_) {
    bitmap_.reset(CreateCompatibleBitmap(reference, aligned_width, aligned_height));
    if (!bitmap_) {
      width_ = height_ = size_ = 0;
      return false;
    }
    width_ = aligned_width;
    height_ = aligned_height;
    size_ = Stride(aligned_width) * aligned_height;
  }
  return true;
}

void CaptureImage::Clear(HDC memory, HBRUSH white) const {
  RECT all{0, 0, width_, height_};
  FillRect(memory, &all, white);
}

bool CaptureImage::Read(HDC reference) {
  if (!bitmap_) return false;
  try {
    if (buffer_.size() < static_cast<std::size_t>(size_)) buffer_.resize(size_);
  } catch (const std::bad_alloc&) {
    return false;
  }
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width_;
  info.bmiHeader.biHeight = height_;  // Bottom-up.
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  info.bmiHeader.biCompression = BI_RGB;
  const int rows =
      GetDIBits(reference, bitmap_.get(), 0, height_, buffer_.data(), &info, DIB_RGB_COLORS);
  return rows == height_;
}
