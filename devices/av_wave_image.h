#pragma once

// Reads a WAV file image held in memory: a RIFF "WAVE" file with a "fmt " chunk and a "data"
// chunk. Chunks are bounded in 64 bits against the RIFF size and the image size, odd chunks
// are followed by a pad byte, and chunks other than "fmt " and "data" ("fact", "LIST", ...) are
// skipped. The format must be consistent: non-zero channels, rate, bits and block alignment,
// and channels x rate x (bits / 8) bytes per second.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace morlun {

struct WaveImage {
  // The format as a WAVEFORMATEX block: at least 18 bytes, with cbSize telling how many more
  // bytes of the chunk follow (0 for a 16-byte "fmt " chunk).
  std::vector<uint8_t> format;
  // The sound: a range inside the parsed image.
  const uint8_t* data = nullptr;
  size_t data_size = 0;
};

// Fills `wave` from the image; false (with the reason in `error`, when given) for anything
// that is not such a file.
bool ParseWaveImage(const uint8_t* image, size_t size, WaveImage* wave,
                    const char** error = nullptr);

}  // namespace morlun
