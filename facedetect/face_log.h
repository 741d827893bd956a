// The library's log: every message is printed on standard output as "Zq_FaceDetect: ",
// the message and a line feed. Thread-safe (one write per line).
#pragma once

namespace zqfd {

void LogLine(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace zqfd
