// Sorvane's parent watchdog: a thread that waits for the process that started Sorvane and ends
// Sorvane (exit code 0) when it has ended.
#pragma once

#include <windows.h>

// The parent's process id from the process's basic information; (DWORD)-1 when it cannot be
// read.
DWORD ParentProcessId();

// The thread procedure. Process ids are reused at once, so a parent that is known to have ended
// (no process has its id, or the process with its id was created after this one) counts as
// ended; a parent that cannot be looked up or opened for another reason ends only this thread,
// and the process goes on. Returns 0.
DWORD WINAPI SorvaneWatchParent(void* unused);
