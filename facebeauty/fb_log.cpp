#include "fb_log.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>

namespace QUENMAR_FACEBEAUTY {
namespace {

std::atomic<bool> g_log{false};

}  // namespace

void setLogEnabled(bool on) { g_log.store(on); }
bool logEnabled() { return g_log.load(); }

void logPrint(const char* format, ...) {
  if (!g_log.load()) return;
  va_list args;
  va_start(args, format);
  std::vprintf(format, args);
  va_end(args);
  std::fflush(stdout);
}

}  // namespace QUENMAR_FACEBEAUTY
