#pragma once

#include <cstddef>
#include <cstdint>

// The parameter block that goes with every frame to the outside beauty process: 3150 bytes,
// little-endian, packed. Offsets are part of the format the beauty process reads.
#pragma pack(push, 1)
struct StBeautyParam {
  int32_t flags;             // 0: bit 0 some beauty level above 0; bit 1 background requested
  int32_t width;             // 4: frame width, written per frame
  int32_t height;            // 8: frame height, written per frame
  int32_t param_12;          // 12: 0 from the client
  int32_t frame_counter;     // 16: +1 per frame sent
  int32_t beauty_level_2;    // 20
  int32_t beauty_level_3;    // 24
  int32_t param_28;          // 28: 0 from the client
  int32_t beauty_level_4;    // 32
  int32_t beauty_level_5;    // 36
  int32_t beauty_level_6;    // 40
  int32_t reserved_44;       // 44: never written
  int32_t param_48;          // 48: 0 from the client
  int32_t beauty_level_1;    // 52
  int32_t background_mode;   // 56: 0 none, 1 material file, 2 and 3 further effects
  int32_t background_level;  // 60: the settings value / 100
  uint32_t key_color;        // 64: ARGB
  char material_path[1024];  // 68: UTF-8, zero-terminated, zero-filled
  uint8_t byte_1092;         // 1092: 1
  uint8_t byte_1093;         // 1093: 0
  int32_t reserved_1094;
  int32_t reserved_1098;
  char reserved_text_1102[1024];
  char reserved_text_2126[1024];
};
#pragma pack(pop)

static_assert(sizeof(StBeautyParam) == 3150, "the beauty process reads exactly 3150 bytes");
static_assert(offsetof(StBeautyParam, material_path) == 68, "format offset");
static_assert(offsetof(StBeautyParam, byte_1092) == 1092, "format offset");
static_assert(offsetof(StBeautyParam, reserved_text_2126) == 2126, "format offset");

// The block as the client builds it before any setting: zeros, opaque green key colour, byte
// 1092 set.
StBeautyParam DefaultBeautyParam();
