#pragma once

// 32-bit pictures of the engine (blue, green, red, alpha bytes, top row first) and the
// operations a tick needs: fill, scaled drawing with clipping, conversion of pushed frames,
// conversion to I420 and decoding picture files.

#include <cstdint>
#include <vector>

namespace trastor {

// Pixels owned elsewhere.
struct PictureView {
  const std::uint8_t* pixels = nullptr;
  int width = 0;
  int height = 0;
  int stride = 0;
  explicit operator bool() const { return pixels != nullptr; }
};

// A picture that owns its pixels; the buffer only grows.
class Picture {
 public:
  // Makes room for `width` x `height`; false when memory runs out (the picture is then empty).
  bool Resize(int width, int height);
  // Frees the pixels.
  void Reset();

  std::uint8_t* pixels() { return pixels_.data(); }
  int width() const { return width_; }
  int height() const { return height_; }
  int stride() const { return width_ * 4; }
  bool empty() const { return width_ == 0; }
  PictureView View() const;

 private:
  std::vector<std::uint8_t> pixels_;
  int width_ = 0;
  int height_ = 0;
};

// Fills a whole picture with 0xAARRGGBB.
void FillPicture(std::uint8_t* pixels, int width, int height, int stride, std::uint32_t argb);

// Draws `source` scaled to `width` x `height` with its top-left corner at (x, y) of `target`;
// what falls outside `target` is cut off. `scratch` holds the scaled picture when it must be
// clipped.
void DrawScaled(const PictureView& source, int x, int y, int width, int height, Picture* target,
                Picture* scratch);

// Bytes a frame of `format` (trastor::kFormat...) with these sides needs; -1 for an unknown
// format or sides below 1.
long long FrameLength(int format, int width, int height);

// Converts a pushed frame (of at least FrameLength bytes) into `picture`. False for an unknown
// format or when memory runs out.
bool ConvertFrame(int format, int width, int height, const std::uint8_t* data, Picture* picture);

// Converts `source` into I420 in `i420` (resized to its FrameLength). False when it fails.
bool ConvertToI420(const PictureView& source, std::vector<std::uint8_t>* i420);

// Decodes a picture file (PNG and the other formats stb_image reads) into `picture`. False when
// the file cannot be read or decoded, or a side exceeds trastor::kMaxSide.
bool LoadPictureFile(const wchar_t* path, Picture* picture);

}  // namespace trastor
