#include "devices/av_log.h"

#include <windows.h>

#include <cstdio>
#include <cstring>

namespace {

// Tick count when the library was loaded (static initialisation runs at load).
const DWORD g_load_ticks = GetTickCount();

}  // namespace

namespace morlun {

int FormatLogLine(char* out, size_t out_size, double seconds, const char* format, va_list args) {
  if (!out || out_size == 0) return 0;
  int prefix = std::snprintf(out, out_size, "Morlun [%0.3f]\t", seconds);
  if (prefix < 0) prefix = 0;
  size_t length = static_cast<size_t>(prefix) < out_size ? prefix : out_size - 1;
  if (!format) return static_cast<int>(length);

  char message[kLogMessageMax + 1];
  int written = std::vsnprintf(message, sizeof(message), format, args);
  if (written < 0) message[0] = '\0';
  auto append = [&](const char* text, size_t count) {
    size_t room = out_size - 1 - length;
    if (count > room) count = room;
    std::memcpy(out + length, text, count);
    length += count;
    out[length] = '\0';
  };
  if (std::strchr(message, '\n')) append("\n", 1);
  append(message, std::strlen(message));
  append("\n", 1);
  return static_cast<int>(length);
}

}  // namespace morlun

int AvLog(const char* format, ...) {
  // Prefix + line feed + message + line feed + terminator.
  char line[64 + morlun::kLogMessageMax + 3];
  const double seconds = (GetTickCount() - g_load_ticks) / 1000.0;
  va_list args;
  va_start(args, format);
  int length = morlun::FormatLogLine(line, sizeof(line), seconds, format, args);
  va_end(args);
  if (format) OutputDebugStringA(line);
  return length;
}
