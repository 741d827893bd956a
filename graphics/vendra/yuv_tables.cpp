#include "yuv_tables.h"

namespace vendra {
namespace {

std::uint32_t Pack(int lane0, int lane1, int lane2) {
  return static_cast<std::uint32_t>(lane0) | (static_cast<std::uint32_t>(lane1) << 10) |
         (static_cast<std::uint32_t>(lane2) << 20);
}

YuvTables BuildTables() {
  YuvTables t{};
  for (int i = 0; i < 256; ++i) {
    const double e = i - 128;
    t.y[i] = Pack(i / 4, i / 4, i / 4);
    t.v[i] = Pack(static_cast<int>(e * 1.402 * 0.25 + 0.5) + 64,
                  64 - static_cast<int>(e * 0.7141 * 0.25 - 0.5), 64);
    t.u[i] = Pack(64, 64 - static_cast<int>(e * 0.3441 * 0.25 - 0.5),
                  static_cast<int>(e * 1.772 * 0.25 + 0.5) + 64);
    if (i < 128) {
      t.clip[i] = 0;
    } else if (i < 192) {
      t.clip[i] = static_cast<std::uint8_t>((i - 128) * 4);
    } else {
      t.clip[i] = 252;
    }
  }
  return t;
}

}  // namespace

const YuvTables& GetYuvTables() {
  static const YuvTables tables = BuildTables();
  return tables;
}

}  // namespace vendra
