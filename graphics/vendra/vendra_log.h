#pragma once

// The library's log: wide text lines handed to the sink installed with Vendra_LogCallback, or
// written to the debugger output when none is installed. Callable from any thread.

#include "vendra_interface.h"

namespace vendra {

// Formats one line (cut at 1023 characters) and hands it on as level 0.
void Log(const wchar_t* format, ...);

// Installs `sink` (null restores the debugger output).
void SetLogSink(VendraLogSink sink);

}  // namespace vendra
