// The exported model file decipher.
#include "zq_block_cipher.h"

#include <atomic>
#include <cstdio>
#include <cstring>
#include <functional>
#include <vector>

#include "aes_ecb.h"
#include "cipher_format.h"
#include "worker_tasks.h"

namespace zqfd {
namespace {

void Say(const char* line) {
  std::fputs(line, stdout);
  std::fflush(stdout);
}

// Deciphers |blocks| 16-byte blocks at |data| on the block-mode workers. Each worker expands
// the key for itself, as a CNG key is not shared between threads.
bool DecipherBlocks(uint8_t* data, size_t blocks, const std::vector<uint8_t>& key) {
  std::atomic<bool> ok{true};
  std::vector<std::function<void()>> tasks;
  for (const WorkRange& range : BlockWorkRanges(blocks)) {
    if (range.count == 0) continue;
    tasks.push_back([&ok, &key, data, range] {
      auto aes = AesEcb::Create(key.data(), key.size());
      if (!aes || !aes->Decrypt(data + range.offset * 16, range.count * 16)) ok = false;
    });
  }
  if (tasks.size() == 1) {
    tasks.front()();
  } else {
    RunTasksOnThreads(tasks);
  }
  return ok;
}

void CombinePlain(uint8_t* payload, size_t size, const uint8_t* key) {
  std::vector<std::function<void()>> tasks;
  for (const WorkRange& range : PlainWorkRanges(size)) {
    tasks.push_back([payload, key, range] {
      uint8_t* part = payload + range.offset;
      for (size_t i = 0; i < range.count; ++i) part[i] ^= key[i % kKeyMaterialSize];
    });
  }
  if (tasks.size() == 1) {
    tasks.front()();
  } else {
    RunTasksOnThreads(tasks);
  }
}

int BlockDecrypt(unsigned char* buffer, unsigned int length, unsigned int* plainLength) {
  std::printf("zq_cipher ver:%s\n", kCipherVersion);
  std::fflush(stdout);
  if (buffer == nullptr || length == 0 || plainLength == nullptr) {
    Say("zq_cipher decrypt null reference\n");
    return -1;
  }
  if (length < kCipherHeaderSize) {
    Say("zq_cipher decrypt input size too small\n");
    return -2;
  }
  if (std::memcmp(buffer, kCipherSignature, sizeof(kCipherSignature)) != 0 ||
      buffer[kMarkerOffset] != kMarker) {
    Say("invalid encrypted input,ma\n");
    return -2;
  }
  const uint8_t mode = buffer[kModeOffset];
  const uint8_t reserved = buffer[kReservedOffset];
  const int n = buffer[kKeyLengthOffset];
  if (mode == kPlainMode && reserved == 0 && n == kPlainKeyLength) {
    const int result = plain_cipher_decrypt(buffer, length, plainLength);
    Say("zq_cipher plain end\n");
    return result;
  }
  if (mode != kBlockMode || reserved != 0 || n % 2 == 0 || n > 31) {
    Say("invalid encrypted input,kmoc\n");
    return -2;
  }
  // A payload without a whole block has no final block to take the padding from.
  const size_t payload_size = length - kCipherHeaderSize;
  if (payload_size < 16) {
    Say("zq_cipher decrypt input size too small\n");
    return -2;
  }

  std::vector<uint8_t> key;
  if (!DeriveBlockKey(buffer + kKeyMaterialOffset, n, &key)) {
    Say("key calc error\n");
    return -3;
  }

  // Decipher a copy, so that a failure leaves the caller's bytes as they were.
  uint8_t* payload = buffer + kCipherHeaderSize;
  const size_t blocks = (payload_size - 16) / 16;
  std::vector<uint8_t> plain(payload, payload + (blocks + 1) * 16);
  if (!DecipherBlocks(plain.data(), blocks, key) ||
      !DecipherBlocks(plain.data() + blocks * 16, 1, key)) {
    Say("key calc error\n");
    return -3;
  }
  const uint8_t pad = plain[blocks * 16 + 15];
  size_t kept = 16;  // pad 0 keeps the whole final block
  if (pad > 16) {
    kept = 0;
  } else if (pad > 0) {
    kept = 16 - pad;
  }
  const size_t plain_size = blocks * 16 + kept;
  std::memcpy(buffer, plain.data(), plain_size);
  *plainLength = static_cast<unsigned int>(plain_size);
  Say("zq_cipher end\n");
  return 1;
}

int PlainDecrypt(unsigned char* buffer, unsigned int length, unsigned int* plainLength) {
  if (buffer == nullptr || plainLength == nullptr) {
    Say("zq_cipher decrypt null reference\n");
    return -1;
  }
  if (length <= kCipherHeaderSize) {
    Say("invalid encrypted input file, too small\n");
    return -2;
  }
  uint8_t key[kKeyMaterialSize];
  for (size_t i = 0; i < kKeyMaterialSize; ++i) {
    key[i] = UnscrambleKeyByte(buffer[kKeyMaterialOffset + i]);
  }
  const size_t size = length - kCipherHeaderSize;
  CombinePlain(buffer + kCipherHeaderSize, size, key);
  std::memmove(buffer, buffer + kCipherHeaderSize, size);
  *plainLength = static_cast<unsigned int>(size);
  return 1;
}

}  // namespace
}  // namespace zqfd

extern "C" {

int block_cipher_decrypt(unsigned char* buffer, unsigned int length, unsigned int* plainLength) {
  try {
    return zqfd::BlockDecrypt(buffer, length, plainLength);
  } catch (...) {
    // Only an allocation can fail here; the buffer is unchanged.
    zqfd::Say("zq_cipher decrypt out of memory\n");
    return -3;
  }
}

int plain_cipher_decrypt(unsigned char* buffer, unsigned int length, unsigned int* plainLength) {
  try {
    return zqfd::PlainDecrypt(buffer, length, plainLength);
  } catch (...) {
    return -3;
  }
}

int print_cipher_version() {
  const int printed = std::printf("zq_cipher ver:%s\n", zqfd::kCipherVersion);
  std::fflush(stdout);
  return printed;
}

}  // extern "C"
