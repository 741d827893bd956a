#include "foundation/tick_clock.h"

#include <windows.h>

#include "foundation/lock.h"

std::uint64_t CxTickClock::Now() {
  static CxLock lock;  // Protects |clock|.
  static CxTickClock clock;
  CxAutoLock guard(lock);
  return clock.Update(GetTickCount());
}

std::uint64_t CxTickClock::Update(std::uint32_t tick) {
  if (!started_) {
    started_ = true;
  } else if (tick < last_tick_) {
    ++wraps_;
  }
  last_tick_ = tick;
  return (static_cast<std::uint64_t>(wraps_) << 32) + tick;
}

CxTimeValue CxTimeValue::FromMilliseconds(std::int64_t milliseconds) {
  return Normalised(milliseconds / 1000, (milliseconds % 1000) * 1000);
}

CxTimeValue CxTimeValue::Normalised(std::int64_t seconds, std::int64_t microseconds) {
  seconds += microseconds / 1000000;
  microseconds %= 1000000;
  if (seconds > 0 && microseconds < 0) {
    --seconds;
    microseconds += 1000000;
  } else if (seconds < 0 && microseconds > 0) {
    ++seconds;
    microseconds -= 1000000;
  }
  CxTimeValue value;
  value.seconds = seconds;
  value.microseconds = static_cast<std::int32_t>(microseconds);
  return value;
}
