#include "face_log.h"

#include <cstdarg>
#include <cstdio>
#include <string>

namespace zqfd {

void LogLine(const char* format, ...) {
  char message[1024];
  va_list args;
  va_start(args, format);
  std::vsnprintf(message, sizeof(message), format, args);
  va_end(args);
  const std::string line = std::string("Zq_FaceDetect: ") + message + "\n";
  std::fwrite(line.data(), 1, line.size(), stdout);
  std::fflush(stdout);
}

}  // namespace zqfd
