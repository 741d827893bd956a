// Time from starting a program until its main window is visible: TarvoLive.exe (start-up, the
// browser library, the layout, the SDK layer's binding, the update check's thread) against a bare
// Win32 program that shows one window the same way. Each start is ended before the next: the
// client through its close button (its close handshake), the bare program with WM_CLOSE.
//
// Run under Wine from the build's bin folder: scripts/wine-run build/x86_64/bin/StartupBench.exe

#include <windows.h>

#include <benchmark/benchmark.h>

#include <chrono>
#include <string>

#include "shell/instance/share_cell.h"

namespace {

std::wstring Beside(const wchar_t* name) {
  wchar_t path[MAX_PATH];
  const DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring full(path, n);
  return full.substr(0, full.find_last_of(L"\\/") + 1) + name;
}

struct Search {
  DWORD pid;
  const wchar_t* cls;
  HWND found;
};

BOOL CALLBACK CollectWindow(HWND hwnd, LPARAM param) {
  auto* s = reinterpret_cast<Search*>(param);
  DWORD owner = 0;
  GetWindowThreadProcessId(hwnd, &owner);
  wchar_t name[64] = {};
  GetClassNameW(hwnd, name, 64);
  if (owner == s->pid && lstrcmpW(name, s->cls) == 0 && IsWindowVisible(hwnd)) {
    s->found = hwnd;
    return FALSE;
  }
  return TRUE;
}

HWND VisibleWindowOf(DWORD pid, const wchar_t* cls) {
  Search search{pid, cls, nullptr};
  EnumWindows(&CollectWindow, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

// Starts |program| and returns the seconds until its window of class |cls| is visible (negative
// on failure); |process| and |hwnd| receive the process and the window.
double StartAndWait(const std::wstring& program, const wchar_t* cls, PROCESS_INFORMATION* process,
                    HWND* hwnd) {
  std::wstring command = L"\"" + program + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  const auto begin = std::chrono::steady_clock::now();
  if (!CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, process)) {
    return -1;
  }
  for (;;) {
    *hwnd = VisibleWindowOf(process->dwProcessId, cls);
    if (*hwnd != nullptr) break;
    if (WaitForSingleObject(process->hProcess, 0) == WAIT_OBJECT_0) return -1;
    if (std::chrono::steady_clock::now() - begin > std::chrono::seconds(60)) return -1;
    Sleep(1);
  }
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
}

void End(PROCESS_INFORMATION& process) {
  if (WaitForSingleObject(process.hProcess, 30000) != WAIT_OBJECT_0) {
    TerminateProcess(process.hProcess, 1);
    WaitForSingleObject(process.hProcess, 5000);
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
}

void BM_ClientMainWindowVisible(benchmark::State& state) {
  const std::wstring program = Beside(L"TarvoLive.exe");
  for (auto _ : state) {
    PROCESS_INFORMATION process{};
    HWND hwnd = nullptr;
    const double seconds = StartAndWait(program, L"CMainFrame", &process, &hwnd);
    if (seconds < 0) return state.SkipWithError("TarvoLive.exe showed no main window");
    state.SetIterationTime(seconds);
    // Closed through its close button once its page is loading (the window is in the cell).
    for (int i = 0; i < 3000; ++i, Sleep(1)) {
      if (CxShareCell(kInstanceCellSize, kInstanceCellName).Read() ==
          reinterpret_cast<UINT_PTR>(hwnd)) {
        break;
      }
    }
    RECT rc;
    GetClientRect(hwnd, &rc);
    const LPARAM at = MAKELPARAM(rc.right - 20, 20);
    PostMessageW(hwnd, WM_MOUSEMOVE, 0, at);
    PostMessageW(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, at);
    PostMessageW(hwnd, WM_LBUTTONUP, 0, at);
    End(process);
  }
}
BENCHMARK(BM_ClientMainWindowVisible)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

void BM_BareWindowVisible(benchmark::State& state) {
  const std::wstring program = Beside(L"startup_bare_window.exe");
  for (auto _ : state) {
    PROCESS_INFORMATION process{};
    HWND hwnd = nullptr;
    const double seconds = StartAndWait(program, L"BareStartupWindow", &process, &hwnd);
    if (seconds < 0) return state.SkipWithError("the bare program showed no window");
    state.SetIterationTime(seconds);
    PostMessageW(hwnd, WM_CLOSE, 0, 0);
    End(process);
  }
}
BENCHMARK(BM_BareWindowVisible)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

}  // namespace
