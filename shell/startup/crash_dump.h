#pragma once

#include <windows.h>

#include <string>

// The process's unhandled-exception filter: writes a minidump "TarvoLive.exe.dmp" into the
// program's application-data folder (each dump replaces the previous one) and answers 1, so that
// the process ends.
LONG WINAPI UnhandledFilter(EXCEPTION_POINTERS* exception);

// Writes a normal minidump of this process for |exception| (may be null) into |path|. Returns
// whether the dump was written.
bool WriteCrashDump(const std::string& path, EXCEPTION_POINTERS* exception);
