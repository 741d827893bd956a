#include "cipher_format.h"

#include <cstdio>
#include <cstring>

#include "aes_ecb.h"

namespace zqfd {
namespace {

constexpr uint8_t kScrambleMask = 0x5A;
constexpr uint8_t kScrambleOffset = 0x3D;

}  // namespace

uint8_t UnscrambleKeyByte(uint8_t stored) {
  return static_cast<uint8_t>((stored ^ kScrambleMask) - kScrambleOffset);
}

uint8_t ScrambleKeyByte(uint8_t plain) {
  return static_cast<uint8_t>(static_cast<uint8_t>(plain + kScrambleOffset) ^ kScrambleMask);
}

bool DeriveBlockKey(const uint8_t* stored_material, int n, std::vector<uint8_t>* key) {
  if (n < 1 || n > static_cast<int>(kKeyMaterialSize)) return false;
  uint8_t material[kKeyMaterialSize];
  std::memcpy(material, stored_material, kKeyMaterialSize);
  for (int i = 0; i < n; ++i) material[i] = UnscrambleKeyByte(material[i]);

  // PKCS#7: a partial last block is filled with bytes holding the number of bytes added.
  std::vector<uint8_t> derived(material, material + n);
  const size_t padding = 16 - derived.size() % 16;
  derived.insert(derived.end(), padding, static_cast<uint8_t>(padding));

  const size_t expected = (static_cast<size_t>(n) + 15) / 16 * 16;
  if (derived.size() != expected) {
    std::printf("out_size out of memory:%d,%d\n", static_cast<int>(derived.size()),
                static_cast<int>(expected));
    return false;
  }
  if (derived.size() > kKeyMaterialSize) {
    std::printf("out_size out of range\n");
    return false;
  }
  auto aes = AesEcb::Create(material, 16);
  if (!aes || !aes->Encrypt(derived.data(), derived.size())) return false;
  *key = std::move(derived);
  return true;
}

}  // namespace zqfd
