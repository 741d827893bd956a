#include "renderproc/parent_watchdog.h"

#include <cstdint>

namespace {

// The basic process information of NtQueryInformationProcess (class 0): six pointer-sized
// fields, of which the last is the parent's id.
struct BasicProcessInformation {
  uintptr_t exit_status;
  uintptr_t environment_block;
  uintptr_t affinity_mask;
  uintptr_t base_priority;
  uintptr_t unique_process_id;
  uintptr_t parent_process_id;
};

uint64_t CreationTime(HANDLE process) {
  FILETIME created, exited, kernel, user;
  if (!GetProcessTimes(process, &created, &exited, &kernel, &user)) return 0;
  return (static_cast<uint64_t>(created.dwHighDateTime) << 32) | created.dwLowDateTime;
}

}  // namespace

DWORD ParentProcessId() {
  using QueryFn = LONG(WINAPI*)(HANDLE, int, void*, ULONG, ULONG*);
  HMODULE ntdll = GetModuleHandleW(L"ntdll");
  const auto query =
      ntdll != nullptr
          ? reinterpret_cast<QueryFn>(
                reinterpret_cast<void*>(GetProcAddress(ntdll, "NtQueryInformationProcess")))
          : nullptr;
  if (query == nullptr) return static_cast<DWORD>(-1);
  HANDLE self = OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, GetCurrentProcessId());
  if (self == nullptr) return static_cast<DWORD>(-1);
  BasicProcessInformation info = {};
  ULONG length = 0;
  const LONG status = query(self, 0, &info, sizeof(info), &length);
  CloseHandle(self);
  return status >= 0 ? static_cast<DWORD>(info.parent_process_id) : static_cast<DWORD>(-1);
}

DWORD WINAPI SorvaneWatchParent(void*) {
  const DWORD parent_id = ParentProcessId();
  if (parent_id == static_cast<DWORD>(-1)) return 0;
  HANDLE parent = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, parent_id);
  if (parent == nullptr) {
    // No process has the id: the parent has ended already.
    if (GetLastError() == ERROR_INVALID_PARAMETER) ExitProcess(0);
    return 0;
  }
  const uint64_t parent_created = CreationTime(parent);
  const uint64_t self_created = CreationTime(GetCurrentProcess());
  // A process younger than this one took the ended parent's id.
  if (parent_created != 0 && self_created != 0 && parent_created > self_created) ExitProcess(0);
  const DWORD waited = WaitForSingleObject(parent, INFINITE);
  CloseHandle(parent);
  if (waited == WAIT_OBJECT_0) ExitProcess(0);
  return 0;
}
