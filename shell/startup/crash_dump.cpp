#include "shell/startup/crash_dump.h"

// dbghelp.h needs the Windows types first.
#include <dbghelp.h>

#include "foundation/log.h"
#include "shell/startup/app_info.h"

bool WriteCrashDump(const std::string& path, EXCEPTION_POINTERS* exception) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    TVLOG_INFO() << "Create File Failed\xEF\xBC\x9A " << static_cast<unsigned long>(GetLastError());
    return false;
  }
  MINIDUMP_EXCEPTION_INFORMATION info;
  info.ThreadId = GetCurrentThreadId();
  info.ExceptionPointers = exception;
  info.ClientPointers = FALSE;
  const BOOL written =
      MiniDumpWriteDump(GetCurrentProcess(), GetCurrentProcessId(), file, MiniDumpNormal,
                        exception != nullptr ? &info : nullptr, nullptr, nullptr);
  if (written) {
    TVLOG_INFO() << "Create Dump File Success!";
  } else {
    TVLOG_INFO() << "MiniDumpWriteDump Failed:" << static_cast<unsigned long>(GetLastError());
  }
  CloseHandle(file);
  return written != FALSE;
}

LONG WINAPI UnhandledFilter(EXCEPTION_POINTERS* exception) {
  WriteCrashDump(GetAppDataFolder() + "\\TarvoLive.exe.dmp", exception);
  return EXCEPTION_EXECUTE_HANDLER;
}
