#pragma once

// Packed lookup tables for turning YUV into RGB on the processor. Each table entry packs three
// 10-bit lanes; a pixel costs three lookups and two additions:
//   s = y_table[y] + u_table[u] + v_table[v]
//   lane k = clip[(s >> 10k) & 0xFF]
// Lane 0 carries y + 1.402 (v - 128) (red), lane 1 y - 0.3441 (u - 128) - 0.7141 (v - 128)
// (green), lane 2 y + 1.772 (u - 128) (blue), each clamped to 0..252 in steps of 4.

#include <cstdint>

namespace vendra {

struct YuvTables {
  std::uint32_t y[256];
  std::uint32_t u[256];
  std::uint32_t v[256];
  std::uint8_t clip[256];
};

// The tables, built once per process on first use (thread-safe).
const YuvTables& GetYuvTables();

// Writes one pixel as blue, green, red, 255 for GDI.
inline void YuvToBgra(const YuvTables& t, std::uint8_t y, std::uint8_t u, std::uint8_t v,
                      std::uint8_t* out) {
  std::uint32_t s = t.y[y] + t.u[u] + t.v[v];
  out[0] = t.clip[(s >> 20) & 0xFF];
  out[1] = t.clip[(s >> 10) & 0xFF];
  out[2] = t.clip[s & 0xFF];
  out[3] = 0xFF;
}

}  // namespace vendra
