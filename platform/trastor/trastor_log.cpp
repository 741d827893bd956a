#include "trastor_log.h"

#include <windows.h>

#include <cstdarg>
#include <cstdio>

namespace trastor {

void Log(const char* format, ...) {
  char line[512] = "Trastor: ";
  const int prefix = 9;
  va_list args;
  va_start(args, format);
  const int written = vsnprintf(line + prefix, sizeof(line) - prefix - 2, format, args);
  va_end(args);
  int end = prefix + (written < 0 ? 0 : written);
  if (end > static_cast<int>(sizeof(line)) - 2) end = sizeof(line) - 2;
  line[end] = '\n';
  line[end + 1] = '\0';
  OutputDebugStringA(line);
}

}  // namespace trastor
