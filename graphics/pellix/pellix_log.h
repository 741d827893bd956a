#pragma once

// Pellix's log: every line goes to the debugger output as "Pellix   [<seconds>]\t\t\t<text>\n",
// the seconds counted from the moment the library was loaded. Safe from any thread.

namespace pellix {

void Log(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Tests watch the log through a tap that receives each line's text (without the prefix).
using LogTap = void (*)(const char* text);
void SetLogTapForTesting(LogTap tap);

}  // namespace pellix
