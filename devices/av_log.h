#pragma once

#include <cstdarg>
#include <cstddef>

// Morlun's debug log line. Morlun writes no log file: every line goes to the debugger output
// (OutputDebugStringA) as "Morlun [<seconds since load>]\t<message>\n", with a line feed after
// the prefix when the message itself spans lines. Messages longer than 4096 characters are cut.
// Callable from any thread.

namespace morlun {

constexpr size_t kLogMessageMax = 4096;

// Formats one line into `out` (at most `out_size` - 1 characters and a terminator) from the
// seconds since load and the message; a null `format` formats the prefix only. Returns the
// length of the line.
int FormatLogLine(char* out, size_t out_size, double seconds, const char* format, va_list args);

}  // namespace morlun

// Sends one line to the debugger output; a null format only computes the prefix and sends
// nothing. Returns the length of the line.
int AvLog(const char* format, ...) __attribute__((format(printf, 1, 2)));
