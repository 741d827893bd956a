// Sorvane: the process the browser library starts for its sub-processes. Around the library's
// sub-process entry it writes a crash dump when it fails, makes itself DPI-aware and ends as
// soon as the process that started it ends.
#include <windows.h>

#include "platform/browser/web_run.h"
#include "renderproc/crash_filter.h"
#include "renderproc/dpi_awareness.h"
#include "renderproc/parent_watchdog.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  SetUnhandledExceptionFilter(SorvaneCrashFilter);
  MakeDpiAware(SystemDpiAwarenessCalls());
  // Detached: it only waits, and may end the process.
  HANDLE watchdog = CreateThread(nullptr, 0, SorvaneWatchParent, nullptr, 0, nullptr);
  if (watchdog != nullptr) CloseHandle(watchdog);
  CWebRun::Instace()->sub_proccess_run(instance);
  return 0;
}
