#pragma once

// Values shared by both graphics systems (Pellix over Direct3D 10.1, Vendra over GDI): texture
// and system kinds, colours, and each library's own pixel-format codes and draw modes.
//
// The two libraries number their pixel formats differently; a code means what the library that
// receives it says (code 0 is I420 for Pellix and RGB24 for Vendra).

#include <cstdint>

namespace gs {

// Result of gsTextureBase::GetType.
enum TextureKind : int {
  kTextureRead = 0,           // read-back texture
  kTextureWrite = 1,          // writable texture (frames, pictures)
  kTextureRenderTarget = 2,   // render-target texture
  kTextureGdiCompatible = 3,  // render-target texture that also hands out a device context
};

// Result of gsSystemBase::GetSystemType.
enum SystemKind : int {
  kSystemDirect3D = 1,  // Pellix
  kSystemGdi = 2,       // Vendra
};

// Colours are 0xAABBGGRR: byte 0 red, byte 1 green, byte 2 blue, byte 3 alpha. Pellix uses all
// four bytes (each divided by 255); Vendra uses the low 24 bits as a GDI colour.
using Color = std::uint32_t;

constexpr Color MakeColor(std::uint8_t red, std::uint8_t green, std::uint8_t blue,
                          std::uint8_t alpha = 0xFF) {
  return static_cast<Color>(red) | (static_cast<Color>(green) << 8) |
         (static_cast<Color>(blue) << 16) | (static_cast<Color>(alpha) << 24);
}
constexpr std::uint8_t ColorRed(Color c) { return static_cast<std::uint8_t>(c & 0xFF); }
constexpr std::uint8_t ColorGreen(Color c) { return static_cast<std::uint8_t>((c >> 8) & 0xFF); }
constexpr std::uint8_t ColorBlue(Color c) { return static_cast<std::uint8_t>((c >> 16) & 0xFF); }
constexpr std::uint8_t ColorAlpha(Color c) { return static_cast<std::uint8_t>((c >> 24) & 0xFF); }

namespace pellix {

// Pixel-format codes of Pellix (SetColorType, GetData, SetData).
enum PixelCode : int {
  kI420 = 0,   // Y plane, then U, then V (each chroma plane w/2 x h/2): w*h*3/2 bytes
  kYV12 = 1,   // Y, then V, then U: w*h*3/2 bytes
  kRGB24 = 2,  // 3 bytes a pixel: w*h*3 bytes
  kRGB32 = 3,  // 4 bytes a pixel: w*h*4 bytes
  kYUY2 = 4,   // packed 4:2:2, bytes Y0 U Y1 V: w*h*2 bytes
  kYVYU = 5,   // bytes Y0 V Y1 U
  kUYVY = 6,   // bytes U Y0 V Y1
  kHDYC = 7,   // UYVY byte order with BT.709 colours
};

// Draw modes of Pellix (SetDrawMode).
enum DrawMode : int {
  kDrawByColorType = 0,  // the technique follows the colour type
  kDrawAlphaIgnore = 1,  // textures drawn with their alpha ignored
  kDrawRgbToYuv = 2,     // RGB converted to YUV while drawing
};

}  // namespace pellix

namespace vendra {

// Pixel-format codes of Vendra (SetColorType, GetData, SetData).
enum PixelCode : int {
  kRGB24 = 0,      // 3 bytes a pixel (blue, green, red): w*h*3 bytes
  kI420 = 1,       // Y plane, then U, then V: w*h*3/2 bytes
  kYV12 = 2,       // Y plane, then V, then U: w*h*3/2 bytes
  kYUY2 = 3,       // packed 4:2:2, bytes Y0 U Y1 V: w*h*2 bytes
  kYUY2Alias = 4,  // converted as kYUY2
  kUYVY = 5,       // packed 4:2:2, bytes U Y0 V Y1: w*h*2 bytes
  kUYVYAlias = 6,  // converted as kUYVY
  kRGB32 = 7,      // 4 bytes a pixel (blue, green, red, alpha): w*h*4 bytes
};

// Draw modes of Vendra (SetDrawMode): kDrawColorKey makes the colour key transparent, any
// other value draws normally.
enum DrawMode : int {
  kDrawNormal = 0,
  kDrawColorKey = 2,
};

}  // namespace vendra

}  // namespace gs
