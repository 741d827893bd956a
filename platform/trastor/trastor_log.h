#pragma once

// The engine's log: one line per call, "Trastor: " and the text, sent to the debugger output.
// Callable from any thread.

namespace trastor {

void Log(const char* format, ...) __attribute__((format(gnu_printf, 1, 2)));

}  // namespace trastor
