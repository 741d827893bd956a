// The model file format shared by the decipher and our enciphering tool: header layout, the
// scrambling of the stored key material and the derivation of the block-mode key.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace zqfd {

constexpr size_t kCipherHeaderSize = 48;
constexpr uint8_t kCipherSignature[4] = {0x80, 0x81, 0x82, 0x83};
constexpr size_t kModeOffset = 4;
constexpr size_t kReservedOffset = 5;   // must be 0
constexpr size_t kKeyLengthOffset = 6;  // block mode: n; plain mode: 0x20
constexpr size_t kMarkerOffset = 8;     // must be 0x40
constexpr uint8_t kMarker = 0x40;
constexpr size_t kKeyMaterialOffset = 16;
constexpr size_t kKeyMaterialSize = 32;
constexpr uint8_t kBlockMode = 1;
constexpr uint8_t kPlainMode = 2;
constexpr uint8_t kPlainKeyLength = 0x20;

constexpr char kCipherVersion[] = "ZQ_BlockCipher_V3.1.4";

// Stored key-material bytes are scrambled; these turn them into the key bytes and back.
uint8_t UnscrambleKeyByte(uint8_t stored);
uint8_t ScrambleKeyByte(uint8_t plain);

// Derives the block-mode payload key from the 32 stored key-material bytes, of which the first
// |n| (odd, 1 to 31) are used: 16 bytes when n is at most 15, 32 when it is 17 to 31. Prints the
// cause and returns false on failure.
bool DeriveBlockKey(const uint8_t* stored_material, int n, std::vector<uint8_t>* key);

}  // namespace zqfd
