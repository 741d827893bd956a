#pragma once

// A memory device context with a top-down 32-bit DIB section selected into it: what a pull
// source's capture sink paints into. Used by one thread at a time.

#include <windows.h>

#include <cstdint>

#include "picture.h"

namespace trastor {

class DibSurface {
 public:
  DibSurface() = default;
  ~DibSurface();
  DibSurface(const DibSurface&) = delete;
  DibSurface& operator=(const DibSurface&) = delete;

  // Makes the bitmap `width` x `height`, recreating it only when the size changes. False when
  // GDI refuses (the surface is then empty).
  bool Resize(int width, int height);
  // Frees the bitmap and the context.
  void Reset();

  HDC dc() const { return dc_; }
  // The pixels; call GdiFlush before reading what GDI drew.
  std::uint8_t* pixels() const { return pixels_; }
  int width() const { return width_; }
  int height() const { return height_; }
  PictureView View() const;

 private:
  HDC dc_ = nullptr;
  HBITMAP bitmap_ = nullptr;
  HGDIOBJ displaced_ = nullptr;  // The context's own bitmap, selected back before deletion.
  std::uint8_t* pixels_ = nullptr;
  int width_ = 0;
  int height_ = 0;
};

}  // namespace trastor
