#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// CMd5: the MD5 message digest (RFC 1321). Init, any number of Update calls, then Final; the
// object may be used again after Init. Not thread-safe; use one object per thread.
class CMd5 {
 public:
  CMd5() { Init(); }

  void Init();
  void Update(const void* data, size_t length);
  // Pads, appends the bit length and writes the 16 digest bytes.
  void Final(uint8_t digest[16]);

  // The digest of |bytes| as 32 lowercase hexadecimal characters; an empty input gives an
  // empty text.
  static std::string GetMd5String(const std::string& bytes);
  static std::string ToHex(const uint8_t digest[16]);

 private:
  void Transform(const uint8_t block[64]);

  uint32_t state_[4];
  uint64_t bit_count_;
  uint8_t buffer_[64];
};
