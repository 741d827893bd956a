#pragma once

#include <cstdint>

// CxTickClock: milliseconds since system start as a 64-bit count that keeps counting across
// the 49.7-day wrap of the 32-bit tick count (GetTickCount).
//
// Thread-safe.
class CxTickClock {
 public:
  // Milliseconds from the process-wide clock.
  static std::uint64_t Now();

  // The wrap-safe count for a 32-bit |tick| read now: the wrap counter grows by one whenever
  // a tick lower than the last one is seen. The first call only stores its tick.
  std::uint64_t Update(std::uint32_t tick);

 private:
  bool started_ = false;
  std::uint32_t last_tick_ = 0;
  std::uint32_t wraps_ = 0;
};

// A time span as {seconds, microseconds}; the microseconds lie in (-1000000, 1000000) and
// carry the sign of the seconds.
struct CxTimeValue {
  std::int64_t seconds = 0;
  std::int32_t microseconds = 0;

  static CxTimeValue FromMilliseconds(std::int64_t milliseconds);
  // Brings any {seconds, microseconds} pair into the normal form above.
  static CxTimeValue Normalised(std::int64_t seconds, std::int64_t microseconds);
};
