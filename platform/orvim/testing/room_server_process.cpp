#include "platform/orvim/testing/room_server_process.h"

#include <windows.h>

#include <cstdlib>
#include <string>

#include "tests/support/test_process.h"

namespace orvim::testing {

RoomServerProcess::~RoomServerProcess() { Kill(); }

bool RoomServerProcess::Start(uint16_t port, const std::wstring& options) {
  Kill();
  SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
  HANDLE read_end = nullptr;
  HANDLE write_end = nullptr;
  if (!CreatePipe(&read_end, &write_end, &inherit, 0)) return false;
  SetHandleInformation(read_end, HANDLE_FLAG_INHERIT, 0);
  std::wstring command = L"\"" + tarvo_test::ProgramBeside(L"orvim_room_server.exe") + L"\" " + std::to_wstring(port);
  if (!options.empty()) command += L" " + options;
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = write_end;
  startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  PROCESS_INFORMATION info{};
  const BOOL started = CreateProcessW(nullptr, &command[0], nullptr, nullptr, TRUE, CREATE_NO_WINDOW,
                                      nullptr, nullptr, &startup, &info);
  CloseHandle(write_end);
  if (!started) {
    CloseHandle(read_end);
    return false;
  }
  CloseHandle(info.hThread);
  process_ = info.hProcess;
  // The first line is the port. The pipe is read until then only; the server writes nothing
  // more to it.
  std::string line;
  const DWORD deadline = GetTickCount() + 10000;
  while (line.find('\n') == std::string::npos && GetTickCount() < deadline) {
    DWORD available = 0;
    if (!PeekNamedPipe(read_end, nullptr, 0, nullptr, &available, nullptr)) break;
    if (available == 0) {
      if (WaitForSingleObject(process_, 10) == WAIT_OBJECT_0) break;
      continue;
    }
    char buffer[64];
    DWORD got = 0;
    if (!ReadFile(read_end, buffer, sizeof(buffer), &got, nullptr) || got == 0) break;
    line.append(buffer, got);
  }
  CloseHandle(read_end);
  const unsigned long value = std::strtoul(line.c_str(), nullptr, 10);
  if (line.find('\n') == std::string::npos || value == 0 || value > 65535) {
    Kill();
    return false;
  }
  port_ = static_cast<uint16_t>(value);
  return true;
}

void RoomServerProcess::Kill() {
  if (!process_) return;
  TerminateProcess(process_, 1);
  WaitForSingleObject(process_, 10000);
  CloseHandle(process_);
  process_ = nullptr;
}

namespace {

// NtSuspendProcess or NtResumeProcess on |process|.
bool CallProcessControl(void* process, const char* name) {
  using ProcessControl = LONG(WINAPI*)(HANDLE);
  HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  auto call = ntdll ? reinterpret_cast<ProcessControl>(reinterpret_cast<void*>(GetProcAddress(ntdll, name))) : nullptr;
  return process && call && call(static_cast<HANDLE>(process)) >= 0;
}

}  // namespace

bool RoomServerProcess::Suspend() { return CallProcessControl(process_, "NtSuspendProcess"); }

bool RoomServerProcess::Resume() { return CallProcessControl(process_, "NtResumeProcess"); }

std::string RoomServerProcess::address() const { return "127.0.0.1:" + std::to_string(port_); }

}  // namespace orvim::testing
