// Enciphers model files in the format the library deciphers (used by our enciphering tool, the
// tests and the benchmarks).
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

namespace zqfd {

enum class CipherMode { kBlock, kPlain };

// Enciphers |plain| with fresh random key material; |key_length| is the block-mode key-material
// length n (odd, 1 to 31; ignored in plain mode). Returns nothing for an invalid n or when the
// platform's cipher fails.
std::optional<std::vector<uint8_t>> EncipherModel(const std::vector<uint8_t>& plain,
                                                  CipherMode mode, int key_length = 31);

}  // namespace zqfd
