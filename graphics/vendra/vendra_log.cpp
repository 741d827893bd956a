#include "vendra_log.h"

#include <windows.h>

#include <atomic>
#include <cstdarg>
#include <cstdio>

namespace vendra {
namespace {

std::atomic<VendraLogSink> g_sink{nullptr};

}  // namespace

void Log(const wchar_t* format, ...) {
  wchar_t text[1024];
  va_list args;
  va_start(args, format);
  int written = _vsnwprintf(text, 1024, format, args);
  va_end(args);
  if (written < 0 || written >= 1024) text[1023] = L'\0';
  if (VendraLogSink sink = g_sink.load()) {
    sink(0, text);
  } else {
    OutputDebugStringW(text);
  }
}

void SetLogSink(VendraLogSink sink) { g_sink.store(sink); }

}  // namespace vendra
