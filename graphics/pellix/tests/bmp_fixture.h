#pragma once

// Small BMP files built in memory for the picture tests.

#include <cstdint>
#include <cstring>
#include <vector>

namespace pellix_test {

// A bottom-up BMP with a 40-byte information header, an optional colour table (entries blue,
// green, red, unused as one little-endian value) and the given rows, each already padded to
// four bytes and listed top row first.
inline std::vector<std::uint8_t> MakeBmp(
    int width, int bits, const std::vector<std::uint32_t>& table,
    const std::vector<std::vector<std::uint8_t>>& rows_top_down) {
  const int height = static_cast<int>(rows_top_down.size());
  const std::uint32_t offset = 54 + static_cast<std::uint32_t>(table.size()) * 4;
  std::vector<std::uint8_t> bmp(offset, 0);
  auto put32 = [&](int at, std::uint32_t v) { memcpy(&bmp[at], &v, 4); };
  bmp[0] = 'B', bmp[1] = 'M';
  put32(10, offset);
  put32(14, 40);
  put32(18, static_cast<std::uint32_t>(width));
  put32(22, static_cast<std::uint32_t>(height));
  bmp[26] = 1;
  bmp[28] = static_cast<std::uint8_t>(bits);
  put32(46, static_cast<std::uint32_t>(table.size()));
  for (size_t i = 0; i < table.size(); ++i) put32(54 + static_cast<int>(i) * 4, table[i]);
  for (int y = height - 1; y >= 0; --y)
    bmp.insert(bmp.end(), rows_top_down[y].begin(), rows_top_down[y].end());
  put32(2, static_cast<std::uint32_t>(bmp.size()));
  return bmp;
}

// A 24-bit picture of one colour (blue 10, green 20, red 30).
inline std::vector<std::uint8_t> MakeFlatBmp24(int width, int height) {
  const int stride = (width * 3 + 3) / 4 * 4;
  std::vector<std::uint8_t> row(stride, 0);
  for (int x = 0; x < width; ++x) row[x * 3] = 10, row[x * 3 + 1] = 20, row[x * 3 + 2] = 30;
  return MakeBmp(width, 24, {}, std::vector<std::vector<std::uint8_t>>(height, row));
}

}  // namespace pellix_test
