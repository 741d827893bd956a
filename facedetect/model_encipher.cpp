#include "model_encipher.h"

#include <windows.h>
#include <bcrypt.h>

#include <cstring>

#include "aes_ecb.h"
#include "cipher_format.h"

namespace zqfd {

std::optional<std::vector<uint8_t>> EncipherModel(const std::vector<uint8_t>& plain,
                                                  CipherMode mode, int key_length) {
  const bool block = mode == CipherMode::kBlock;
  if (block && (key_length < 1 || key_length > 31 || key_length % 2 == 0)) return std::nullopt;

  std::vector<uint8_t> out(kCipherHeaderSize, 0);
  std::memcpy(out.data(), kCipherSignature, sizeof(kCipherSignature));
  out[kModeOffset] = block ? kBlockMode : kPlainMode;
  out[kKeyLengthOffset] = block ? static_cast<uint8_t>(key_length) : kPlainKeyLength;
  out[kMarkerOffset] = kMarker;
  uint8_t material[kKeyMaterialSize];
  if (BCryptGenRandom(nullptr, material, kKeyMaterialSize, BCRYPT_USE_SYSTEM_PREFERRED_RNG) < 0) {
    return std::nullopt;
  }
  std::memcpy(out.data() + kKeyMaterialOffset, material, kKeyMaterialSize);

  if (!block) {
    out.insert(out.end(), plain.begin(), plain.end());
    for (size_t i = 0; i < plain.size(); ++i) {
      out[kCipherHeaderSize + i] ^= UnscrambleKeyByte(material[i % kKeyMaterialSize]);
    }
    return out;
  }

  std::vector<uint8_t> key;
  if (!DeriveBlockKey(material, key_length, &key)) return std::nullopt;
  const size_t padding = 16 - plain.size() % 16;
  out.insert(out.end(), plain.begin(), plain.end());
  out.insert(out.end(), padding, static_cast<uint8_t>(padding));
  auto aes = AesEcb::Create(key.data(), key.size());
  if (!aes || !aes->Encrypt(out.data() + kCipherHeaderSize, out.size() - kCipherHeaderSize)) {
    return std::nullopt;
  }
  return out;
}

}  // namespace zqfd
