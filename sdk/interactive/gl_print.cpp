#include "sdk/interactive/gl_print.h"

#include <windows.h>

#include "foundation/log.h"

namespace {

uint32_t TickCount() { return GetTickCount(); }

std::atomic<StGlPrint::Clock> g_clock{&TickCount};

}  // namespace

StGlPrint::Clock StGlPrint::SetClock(Clock clock) { return g_clock.exchange(clock ? clock : &TickCount); }

void StGlPrint::Print(int kind, int width, int height) {
  frames.fetch_add(1);
  const uint32_t now = g_clock.load()();
  uint32_t last = lastPrint.load();
  if (now - last < kIntervalMs) return;
  // One thread wins the line; the others counted their frames and go on.
  if (!lastPrint.compare_exchange_strong(last, now)) return;
  const uint32_t count = frames.exchange(0);
  TVLOG_INFO_THIS() << label << kind << " ,w=" << width << " ,h=" << height << " ,frame=" << count;
}
