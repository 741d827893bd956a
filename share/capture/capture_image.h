#pragma once

// The image both capture methods hand out: a white bitmap of the captured size rounded up to
// multiples of 32, read back as bottom-up 24-bit BGR rows (stride = ((width * 24 + 31) / 32) * 4).
// The bitmap is recreated only when the rounded size changes and the buffer only grows.

#include <windows.h>

#include <vector>

#include "share/window/gdi_objects.h"

class CaptureImage {
 public:
  // Captures larger than this on either side are refused.
  static constexpr int kMaxSide = 16384;

  // The bitmap for a `width` x `height` capture, compatible with `reference`. False for sides
  // outside 1..kMaxSide or when GDI refuses.
  bool Prepare(HDC reference, int width, int height);
  HBITMAP bitmap() const { return bitmap_.get(); }
  // Fills the whole bitmap, selected into `memory`, with `white`.
  void Clear(HDC memory, HBRUSH white) const;

  // Reads the whole bitmap (it must not be selected into a context) into the buffer. True when
  // every row was read.
  bool Read(HDC reference);

  unsigned char* pixels() { return buffer_.data(); }
  int width() const { return width_; }
  int height() const { return height_; }
  int size() const { return size_; }

  static int AlignedSide(int side) { return (side + 31) / 32 * 32; }
  static int Stride(int width) { return (width * 24 + 31) / 32 * 4; }

 private:
  share::ScopedBitmap bitmap_;
  std::vector<unsigned char> buffer_;
  int width_ = 0;  // Aligned sides of |bitmap_|.
  int height_ = 0;
  int size_ = 0;
};
