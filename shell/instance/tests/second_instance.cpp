// Plays another client process in the single-instance tests:
//   second_instance.exe <cell name> <command line as hex bytes> [<ready semaphore> <start event>]
//     a second start: hands the command line over; exit code 0 when delivered, 1 when not;
//     with the two names it first releases the semaphore once and waits for the event, so that
//     a test can release several second starts together;
//   second_instance.exe --hung-first <cell name> <ready event name>
//     a first instance that publishes its window and then stops pumping messages for 4 s.
// Exit code 2 on bad arguments.
#include "shell/instance/share_cell.h"

#include <cwchar>
#include <string>

namespace {

int HungFirstInstance(const wchar_t* cell_name, const wchar_t* ready_event) {
  HWND hwnd = CreateWindowExW(0, L"STATIC", L"hung", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 100,
                              100, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
  CxShareCell cell(kInstanceCellSize, cell_name);
  if (!hwnd || !cell.Write(reinterpret_cast<UINT_PTR>(hwnd))) return 3;
  HANDLE ready = OpenEventW(EVENT_MODIFY_STATE, FALSE, ready_event);
  if (ready) {
    SetEvent(ready);
    CloseHandle(ready);
  }
  Sleep(4000);
  return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc == 4 && std::wcscmp(argv[1], L"--hung-first") == 0) {
    return HungFirstInstance(argv[2], argv[3]);
  }
  if (argc < 2) return 2;
  std::string command_line;
  const wchar_t* hex = argc > 2 ? argv[2] : L"";
  for (size_t i = 0; hex[i] && hex[i + 1]; i += 2) {
    wchar_t byte[3] = {hex[i], hex[i + 1], 0};
    command_line += static_cast<char>(std::wcstoul(byte, nullptr, 16));
  }
  if (argc == 5) {
    HANDLE ready = OpenSemaphoreW(SEMAPHORE_MODIFY_STATE, FALSE, argv[3]);
    HANDLE start = OpenEventW(SYNCHRONIZE, FALSE, argv[4]);
    const bool released = ready && start && ReleaseSemaphore(ready, 1, nullptr) &&
                          WaitForSingleObject(start, 30000) == WAIT_OBJECT_0;
    if (ready) CloseHandle(ready);
    if (start) CloseHandle(start);
    if (!released) return 2;
  }
  return ActivateRunningInstance(command_line, 5000, argv[1]) ? 0 : 1;
}
