// A stand-in for the process that starts Sorvane: starts "<sorvane> --type=renderer", prints
// "<process id> <thread id>" of it on standard output, then
//   stay:  waits until it is ended from outside;
//   leave: started Sorvane suspended and ends at once (Sorvane's parent is gone before it runs).
//   sorvane_parent_standin stay|leave <path of Sorvane.exe>
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

int wmain(int argc, wchar_t** argv) {
  if (argc != 3) return 2;
  const bool leave = std::wcscmp(argv[1], L"leave") == 0;
  std::wstring command = L"\"" + std::wstring(argv[2]) + L"\" --type=renderer";
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process = {};
  if (!CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE,
                      leave ? CREATE_SUSPENDED : 0, nullptr, nullptr, &startup, &process)) {
    return 3;
  }
  std::printf("%lu %lu\n", process.dwProcessId, process.dwThreadId);
  std::fflush(stdout);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  if (!leave) Sleep(INFINITE);
  return 0;
}
