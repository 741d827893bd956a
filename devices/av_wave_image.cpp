#include "devices/av_wave_image.h"

#include <cstring>
#include <utility>

namespace morlun {
namespace {

constexpr size_t kPcmFormatSize = 16;    // Tag, channels, rate, bytes per second, block, bits.
constexpr size_t kFormatExSize = 18;     // ... and cbSize.

uint32_t ReadU32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

uint16_t ReadU16(const uint8_t* p) {
  return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

bool Fail(const char** error, const char* reason) {
  if (error) *error = reason;
  return false;
}

bool ReadFormat(const uint8_t* chunk, uint64_t size, std::vector<uint8_t>* format,
                const char** error) {
  if (size < kPcmFormatSize) return Fail(error, "the \"fmt \" chunk is shorter than 16 bytes");
  const uint16_t channels = ReadU16(chunk + 2);
  const uint32_t rate = ReadU32(chunk + 4);
  const uint32_t bytes_per_second = ReadU32(chunk + 8);
  const uint16_t block_align = ReadU16(chunk + 12);
  const uint16_t bits = ReadU16(chunk + 14);
  if (channels == 0 || rate == 0 || block_align == 0 || bits == 0) {
    return Fail(error, "the format has no channels, rate, block alignment or sample size");
  }
  if (uint64_t{channels} * rate * (bits / 8) != bytes_per_second) {
    return Fail(error, "the format's bytes per second do not match");
  }
  uint16_t extra = 0;
  if (size >= kFormatExSize) {
    extra = ReadU16(chunk + 16);
    if (extra > size - kFormatExSize) extra = static_cast<uint16_t>(size - kFormatExSize);
  }
  format->assign(kFormatExSize + extra, 0);
  std::memcpy(format->data(), chunk, kPcmFormatSize);
  (*format)[16] = static_cast<uint8_t>(extra & 0xFF);
  (*format)[17] = static_cast<uint8_t>(extra >> 8);
  if (extra) std::memcpy(format->data() + kFormatExSize, chunk + kFormatExSize, extra);
  return true;
}

}  // namespace

bool ParseWaveImage(const uint8_t* image, size_t size, WaveImage* wave, const char** error) {
  *wave = WaveImage();
  if (!image || size < 12) return Fail(error, "too short for a RIFF header");
  if (std::memcmp(image, "RIFF", 4) != 0) return Fail(error, "no \"RIFF\"");
  const uint64_t riff_end = uint64_t{ReadU32(image + 4)} + 8;
  if (riff_end > size) return Fail(error, "the RIFF size exceeds the image");
  if (std::memcmp(image + 8, "WAVE", 4) != 0) return Fail(error, "no \"WAVE\"");

  std::vector<uint8_t> format;
  uint64_t position = 12;
  while (position + 8 <= riff_end) {
    const uint8_t* header = image + position;
    const uint64_t chunk_size = ReadU32(header + 4);
    const uint64_t body = position + 8;
    if (body + chunk_size > riff_end) return Fail(error, "a chunk runs past the end");
    if (std::memcmp(header, "fmt ", 4) == 0) {
      if (format.empty() && !ReadFormat(image + body, chunk_size, &format, error)) return false;
    } else if (std::memcmp(header, "data", 4) == 0) {
      if (format.empty()) return Fail(error, "\"data\" comes before \"fmt \"");
      if (chunk_size == 0) return Fail(error, "the \"data\" chunk is empty");
      wave->format = std::move(format);
      wave->data = image + body;
      wave->data_size = static_cast<size_t>(chunk_size);
      return true;
    }
    position = body + chunk_size + (chunk_size & 1);  // Odd chunks carry a pad byte.
  }
  return Fail(error, format.empty() ? "no \"fmt \" chunk" : "no \"data\" chunk");
}

}  // namespace morlun
