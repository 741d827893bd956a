// AES (FIPS-197) in electronic-codebook mode through Windows CNG, for the model file cipher.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace zqfd {

// One expanded key. Not thread-safe: each thread makes its own from the key bytes.
class AesEcb {
 public:
  // Returns null unless |key_length| is 16, 24 or 32 and CNG accepts the key.
  static std::unique_ptr<AesEcb> Create(const uint8_t* key, size_t key_length);
  ~AesEcb();
  AesEcb(const AesEcb&) = delete;
  AesEcb& operator=(const AesEcb&) = delete;

  // Enciphers or deciphers |length| bytes in place, each 16-byte block on its own; |length|
  // must be a multiple of 16. Returns false when CNG fails.
  bool Encrypt(uint8_t* data, size_t length) const;
  bool Decrypt(uint8_t* data, size_t length) const;

 private:
  struct Handles;
  explicit AesEcb(std::unique_ptr<Handles> handles);
  std::unique_ptr<Handles> handles_;
};

}  // namespace zqfd
