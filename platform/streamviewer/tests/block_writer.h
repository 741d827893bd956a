#pragma once

// The writing side of a stream block as the client fills it, for tests: the channel's length
// and capacity words, the 8-byte frame header, then the pixels, written into the view under
// the channel's lock and signalled to the reader.

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "foundation/shared_memory.h"
#include "platform/streamviewer/stream_block_reader.h"

namespace streamviewer_test {

// A uniform I420 picture.
inline std::vector<std::uint8_t> SolidI420(unsigned width, unsigned height, std::uint8_t y,
                                           std::uint8_t u, std::uint8_t v) {
  const std::size_t luma = static_cast<std::size_t>(width) * height;
  const std::size_t chroma = static_cast<std::size_t>((width + 1) / 2) * ((height + 1) / 2);
  std::vector<std::uint8_t> pixels(luma + 2 * chroma, y);
  std::memset(pixels.data() + luma, u, chroma);
  std::memset(pixels.data() + luma + chroma, v, chroma);
  return pixels;
}

class BlockWriter {
 public:
  bool Open(const std::wstring& name) {
    return channel_.Create(name.c_str(), kStreamBlockCapacity, true);
  }
  void Close() { channel_.Close(); }

  // A record as the client writes it: length word = frame length + 8.
  bool WriteFrame(unsigned width, unsigned height, const std::vector<std::uint8_t>& pixels) {
    return WriteRaw(static_cast<unsigned>(pixels.size()) + 8, width, height,
                    static_cast<unsigned>(pixels.size()), pixels);
  }

  // Any words at all, for malformed records; copies |pixels| after the header (as far as the
  // block holds them).
  bool WriteRaw(unsigned length_word, unsigned width, unsigned height, unsigned frame_length,
                const std::vector<std::uint8_t>& pixels) {
    unsigned char* view = channel_.GetView();
    if (!view) return false;
    {
      CxAutoLock guard(channel_.GetChannelLock());
      const unsigned capacity = kStreamBlockCapacity;
      std::memcpy(view, &length_word, 4);
      std::memcpy(view + 4, &capacity, 4);
      const std::uint16_t w = static_cast<std::uint16_t>(width);
      const std::uint16_t h = static_cast<std::uint16_t>(height);
      std::memcpy(view + 8, &w, 2);
      std::memcpy(view + 10, &h, 2);
      std::memcpy(view + 12, &frame_length, 4);
      const std::size_t room = kStreamBlockCapacity - 8;
      std::memcpy(view + 16, pixels.data(), pixels.size() < room ? pixels.size() : room);
    }
    channel_.SignalPeer();
    return true;
  }

  unsigned char* View() { return channel_.GetView(); }

 private:
  CxShareMemory channel_;
};

}  // namespace streamviewer_test
