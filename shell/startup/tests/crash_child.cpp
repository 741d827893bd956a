// Installs the client's crash-dump filter and then faults (a write through a null pointer), so
// that the filter writes its dump and the process ends.
#include <windows.h>

#include "shell/startup/crash_dump.h"

int wmain() {
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
  SetUnhandledExceptionFilter(&UnhandledFilter);
  volatile int* nowhere = nullptr;
  *nowhere = 1;
  return 0;
}
