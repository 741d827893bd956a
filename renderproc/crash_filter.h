// Sorvane's crash dump: an unhandled exception writes a normal minidump of the process to
// "<roaming AppData>\TarvoLive\TarvoLive_render.exe.dmp", replacing an older one, and ends the
// process. The "TarvoLive" folder is the client's (it makes it at start-up): when it is missing
// no dump is written.
#pragma once

#include <windows.h>

#include <string>

// The dump's path; empty when the application-data folder is unknown.
std::wstring SorvaneDumpPath();

// Writes a normal minidump of this process for the exception in |pointers| (of this process),
// raised on the calling thread, to |path|. False when the file cannot be created or written.
bool WriteSorvaneDump(const std::wstring& path, EXCEPTION_POINTERS* pointers);

// The unhandled-exception filter: writes the dump and returns EXCEPTION_EXECUTE_HANDLER, so the
// process ends whether or not the dump was written.
LONG WINAPI SorvaneCrashFilter(EXCEPTION_POINTERS* pointers);
