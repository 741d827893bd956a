// The built TarvoLive.exe end to end: its main window, the single-instance hand-off, a browser
// sub-process start, the close handshake and the updater's request to end. Each case runs the
// program from a folder of its own (with the SDK stand-in, the canvas engine and the media
// library beside it: the libraries it loads at start).

#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "shell/instance/share_cell.h"
#include "shell/startup/app_info.h"
#include "tests/support/test_process.h"

namespace {

struct Process {
  HANDLE handle = nullptr;
  DWORD id = 0;
  DWORD thread = 0;
};

// A folder of its own holding the client, optionally with the stand-in updater answering
// |updater_codes| in turn.
std::wstring ClientFolder(const wchar_t* name, const std::vector<std::string>& updater_codes = {},
                          bool with_updater = false) {
  const std::wstring from = tarvo_test::ProgramFolder();
  const std::wstring folder = from + L"client_case_" + name + L"\\";
  CreateDirectoryW(folder.c_str(), nullptr);
  for (const wchar_t* file :
       {L"TarvoLive.exe", L"Trastor.dll", L"OrvimSDK.dll", L"Morlun.dll"}) {
    CopyFileW((from + file).c_str(), (folder + file).c_str(), FALSE);
  }
  DeleteFileW((folder + L"TarvoUpDate.exe").c_str());
  DeleteFileW((folder + L"updater_runs.txt").c_str());
  if (with_updater) {
    CopyFileW((from + L"updater_standin.exe").c_str(), (folder + L"TarvoUpDate.exe").c_str(),
              FALSE);
    std::ofstream out((folder + L"updater_codes.txt").c_str());
    for (const std::string& code : updater_codes) out << code << "\n";
  }
  return folder;
}

Process Start(const std::wstring& folder, const std::wstring& arguments) {
  std::wstring command = L"\"" + folder + L"TarvoLive.exe\" " + arguments;
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION info{};
  Process process;
  if (CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(),
                     &startup, &info)) {
    CloseHandle(info.hThread);
    process = {info.hProcess, info.dwProcessId, info.dwThreadId};
  }
  return process;
}

struct Search {
  DWORD id;
  HWND found;
};

BOOL CALLBACK CollectWindow(HWND hwnd, LPARAM param) {
  auto* s = reinterpret_cast<Search*>(param);
  wchar_t cls[64] = {};
  GetClassNameW(hwnd, cls, 64);
  DWORD owner = 0;
  GetWindowThreadProcessId(hwnd, &owner);
  if (owner == s->id && std::wstring(cls) == L"CMainFrame" && IsWindowVisible(hwnd)) {
    s->found = hwnd;
    return FALSE;
  }
  return TRUE;
}

// The process's visible "CMainFrame" window, or null.
HWND MainWindowOf(DWORD process_id) {
  Search search{process_id, nullptr};
  EnumWindows(&CollectWindow, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

HWND WaitForMainWindow(const Process& process, DWORD timeout_ms = 30000) {
  for (DWORD waited = 0; waited < timeout_ms; waited += 20) {
    if (HWND hwnd = MainWindowOf(process.id)) return hwnd;
    if (WaitForSingleObject(process.handle, 20) == WAIT_OBJECT_0) return nullptr;
  }
  return nullptr;
}

// Waits until the window has published itself in the instance cell (its layout is done then);
// returns the value stored last.
UINT_PTR WaitForCell(HWND hwnd) {
  UINT_PTR stored = 0;
  for (int i = 0; i < 1000 && stored != reinterpret_cast<UINT_PTR>(hwnd); ++i, Sleep(10)) {
    stored = CxShareCell(kInstanceCellSize, kInstanceCellName).Read();
  }
  return stored;
}

// Waits for the end; false when it did not end within |timeout_ms| (it is then ended).
bool WaitForExit(const Process& process, DWORD timeout_ms, DWORD* code) {
  const bool ended = WaitForSingleObject(process.handle, timeout_ms) == WAIT_OBJECT_0;
  if (!ended) TerminateProcess(process.handle, 99);
  GetExitCodeProcess(process.handle, code);
  return ended;
}

// Clicks the login look's close button ("l_closebtn", 20 x 20 at 10 pixels from the top right).
void ClickLoginClose(HWND hwnd) {
  RECT rc;
  GetClientRect(hwnd, &rc);
  const LPARAM at = MAKELPARAM(rc.right - 20, 20);
  PostMessageW(hwnd, WM_MOUSEMOVE, 0, at);
  PostMessageW(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, at);
  PostMessageW(hwnd, WM_LBUTTONUP, 0, at);
}

std::string LogsFolder() { return GetAppDataFolder() + "\\Logs\\"; }

std::set<std::string> Files(const std::string& pattern) {
  std::set<std::string> names;
  WIN32_FIND_DATAA entry;
  HANDLE find = FindFirstFileA((LogsFolder() + pattern).c_str(), &entry);
  if (find == INVALID_HANDLE_VALUE) return names;
  do {
    names.insert(entry.cFileName);
  } while (FindNextFileA(find, &entry));
  FindClose(find);
  return names;
}

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream all;
  all << in.rdbuf();
  return all.str();
}

class ClientEndToEndTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // The client's own files in the application-data folder: defaults, no old dump.
    const std::string folder = GetAppDataFolder();
    DeleteFileA((folder + "\\config.ini").c_str());
    DeleteFileA((folder + "\\TarvoLive.exe.dmp").c_str());
  }
  void TearDown() override {
    for (Process& p : started_) {
      if (p.handle == nullptr) continue;
      if (WaitForSingleObject(p.handle, 0) != WAIT_OBJECT_0) TerminateProcess(p.handle, 99);
      CloseHandle(p.handle);
    }
  }
  Process Run(const std::wstring& folder, const std::wstring& arguments) {
    started_.push_back(Start(folder, arguments));
    return started_.back();
  }
  std::vector<Process> started_;
};

TEST_F(ClientEndToEndTest, WindowHandOffAndTheCloseHandshake) {
  const std::wstring folder = ClientFolder(L"main");

  // A start as a sub-process of the browser library makes no window and ends with the run the
  // library gives it.
  Process sub = Run(folder, L"--type=renderer");
  ASSERT_NE(sub.handle, nullptr);
  EXPECT_EQ(WaitForSingleObject(sub.handle, 500), static_cast<DWORD>(WAIT_TIMEOUT));
  EXPECT_EQ(MainWindowOf(sub.id), nullptr);
  for (int i = 0; i < 500 && !PostThreadMessageW(sub.thread, WM_QUIT, 0, 0); ++i) Sleep(10);
  DWORD code = 0xDEAD;
  ASSERT_TRUE(WaitForExit(sub, 20000, &code));
  EXPECT_EQ(code, 0u);

  // The first instance: its window, styles and title; the cell holds its handle.
  Process first = Run(folder, L"");
  HWND hwnd = WaitForMainWindow(first);
  ASSERT_NE(hwnd, nullptr);
  wchar_t title[64] = {};
  GetWindowTextW(hwnd, title, 64);
  EXPECT_STREQ(title, L"TarvoLive");
  // The layout draws the caption itself: the system caption bit goes, the rest stays.
  EXPECT_EQ(static_cast<DWORD>(GetWindowLongW(hwnd, GWL_STYLE)),
            0x16CF0000u & ~static_cast<DWORD>(WS_CAPTION));
  EXPECT_NE(static_cast<DWORD>(GetWindowLongW(hwnd, GWL_EXSTYLE)) & WS_EX_APPWINDOW, 0u);
  RECT rc;
  GetWindowRect(hwnd, &rc);
  EXPECT_EQ(rc.right - rc.left, 400);
  EXPECT_EQ(rc.bottom - rc.top, 640);
  EXPECT_EQ(WaitForCell(hwnd), reinterpret_cast<UINT_PTR>(hwnd));

  // A second instance hands over its command line and ends without a window.
  Process second = Run(folder, L"-web_debug tarvo://handed");
  bool second_window = false;
  for (int i = 0; i < 1000 && WaitForSingleObject(second.handle, 20) != WAIT_OBJECT_0; ++i) {
    second_window = second_window || MainWindowOf(second.id) != nullptr;
  }
  ASSERT_TRUE(WaitForExit(second, 1000, &code));
  EXPECT_EQ(code, 0u);
  EXPECT_FALSE(second_window);
  EXPECT_EQ(MainWindowOf(first.id), hwnd);

  // The close button ends the first instance through the handshake; its log is archived.
  const std::string pid = std::to_string(first.id);
  const std::set<std::string> archives = Files("TarvoLive_*_" + pid + "_*.zlog");
  const std::set<std::string> logs = Files("TarvoLive_*_" + pid + ".log");
  ASSERT_EQ(logs.size(), 1u);
  const std::string log_text = ReadAll(LogsFolder() + *logs.begin());
  EXPECT_NE(log_text.find("copydata wparam = 1000 ,content=-web_debug tarvo://handed"),
            std::string::npos);
  ClickLoginClose(hwnd);
  ASSERT_TRUE(WaitForExit(first, 30000, &code));
  EXPECT_EQ(code, 0u);
  EXPECT_TRUE(Files("TarvoLive_*_" + pid + ".log").empty());
  EXPECT_GT(Files("TarvoLive_*_" + pid + "_*.zlog").size(), archives.size());
}

// The updater answers 0xF009 (the files must be replaced) and then 0 (installation accepted):
// the client ends with 0 through the close handshake, and the next start is a first instance.
TEST_F(ClientEndToEndTest, UpdaterEndsTheClient) {
  const std::wstring folder = ClientFolder(L"updater", {"0xF009", "0"}, true);
  Process first = Run(folder, L"");
  DWORD code = 0xDEAD;
  ASSERT_TRUE(WaitForExit(first, 60000, &code));
  EXPECT_EQ(code, 0u);
  std::ifstream runs((folder + L"updater_runs.txt").c_str());
  std::vector<std::string> lines;
  for (std::string line; std::getline(runs, line);) lines.push_back(line);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_NE(lines[0].find("check=true"), std::string::npos);
  EXPECT_EQ(lines[1].find("check="), std::string::npos);

  Process next = Run(folder, L"");
  HWND hwnd = WaitForMainWindow(next);
  ASSERT_NE(hwnd, nullptr) << "the instance mutex of the ended client is gone";
  EXPECT_EQ(WaitForCell(hwnd), reinterpret_cast<UINT_PTR>(hwnd));
  ClickLoginClose(hwnd);
  ASSERT_TRUE(WaitForExit(next, 30000, &code));
  EXPECT_EQ(code, 0u);
}

}  // namespace
