#pragma once

// Helpers every test program may use: paths beside the running program and child processes.

#include <windows.h>

#include <string>

namespace tarvo_test {

// The folder of the running program, ending in a separator.
inline std::wstring ProgramFolder() {
  wchar_t path[MAX_PATH];
  const DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
  const std::wstring full(path, n);
  return full.substr(0, full.find_last_of(L"\\/") + 1);
}

// A file in the folder of the running program (helper programs are built there).
inline std::wstring ProgramBeside(const wchar_t* name) { return ProgramFolder() + name; }

// Starts `"<program>" <arguments>` without waiting for it. Returns its process handle, which
// the caller closes, or null when it could not be started.
inline HANDLE StartProgram(const std::wstring& program, const std::wstring& arguments) {
  std::wstring command = L"\"" + program + L"\" " + arguments;
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &process)) {
    return nullptr;
  }
  CloseHandle(process.hThread);
  return process.hProcess;
}

// Waits up to |timeout_ms| for the process |process| to end. Returns false when it did not;
// otherwise its exit code is in |exit_code|.
inline bool FinishProgram(HANDLE process, DWORD timeout_ms, DWORD* exit_code) {
  const bool ended = WaitForSingleObject(process, timeout_ms) == WAIT_OBJECT_0;
  if (ended) GetExitCodeProcess(process, exit_code);
  return ended;
}

// Runs `"<program>" <arguments>` and waits for it. Returns false when it could not be started
// or did not end within |timeout_ms|; otherwise its exit code is in |exit_code|.
inline bool RunProgram(const std::wstring& program, const std::wstring& arguments, DWORD timeout_ms,
                       DWORD* exit_code) {
  HANDLE process = StartProgram(program, arguments);
  if (!process) return false;
  const bool ended = FinishProgram(process, timeout_ms, exit_code);
  CloseHandle(process);
  return ended;
}

}  // namespace tarvo_test
