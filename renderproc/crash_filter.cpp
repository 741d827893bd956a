#include "renderproc/crash_filter.h"

#include <dbghelp.h>
#include <shlobj.h>

std::wstring SorvaneDumpPath() {
  wchar_t folder[MAX_PATH];
  if (SHGetFolderPathW(nullptr, CSIDL_APPDATA | CSIDL_FLAG_CREATE, nullptr, SHGFP_TYPE_CURRENT,
                       folder) != S_OK) {
    return std::wstring();
  }
  return std::wstring(folder) + L"\\TarvoLive\\TarvoLive_render.exe.dmp";
}

bool WriteSorvaneDump(const std::wstring& path, EXCEPTION_POINTERS* pointers) {
  if (path.empty()) return false;
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  MINIDUMP_EXCEPTION_INFORMATION exception = {};
  exception.ThreadId = GetCurrentThreadId();
  exception.ExceptionPointers = pointers;
  exception.ClientPointers = FALSE;
  const BOOL written = MiniDumpWriteDump(GetCurrentProcess(), GetCurrentProcessId(), file,
                                         MiniDumpNormal, &exception, nullptr, nullptr);
  CloseHandle(file);
  return written != FALSE;
}

LONG WINAPI SorvaneCrashFilter(EXCEPTION_POINTERS* pointers) {
  WriteSorvaneDump(SorvaneDumpPath(), pointers);
  return EXCEPTION_EXECUTE_HANDLER;
}
