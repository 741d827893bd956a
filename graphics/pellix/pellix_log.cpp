#include "graphics/pellix/pellix_log.h"

#include <windows.h>

#include <atomic>
#include <cstdarg>
#include <cstdio>

namespace pellix {
namespace {

const DWORD g_load_tick = GetTickCount();
std::atomic<LogTap> g_tap{nullptr};

}  // namespace

void Log(const char* format, ...) {
  char text[4096];
  va_list args;
  va_start(args, format);
  vsnprintf(text, sizeof(text), format, args);
  va_end(args);
  char line[4096 + 64];
  double seconds = (GetTickCount() - g_load_tick) / 1000.0;
  snprintf(line, sizeof(line), "%-9s[%0.3f]\t\t\t%s\n", "Pellix", seconds, text);
  OutputDebugStringA(line);
  if (LogTap tap = g_tap.load()) tap(text);
}

void SetLogTapForTesting(LogTap tap) { g_tap.store(tap); }

}  // namespace pellix
