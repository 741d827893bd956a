// Sorvane as the browser library starts it: its life tied to its parent and to WM_QUIT, its
// crash dump, and its DPI awareness.
#include <windows.h>

#include <dbghelp.h>
#include <shlobj.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "renderproc/crash_filter.h"
#include "renderproc/dpi_awareness.h"
#include "tests/support/test_process.h"

namespace {

// Sorvane started with "--type=renderer" by the stand-in parent program, which reports
// Sorvane's process and thread ids through a pipe.
class StartedSorvane {
 public:
  explicit StartedSorvane(const wchar_t* mode) {
    SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
    HANDLE read_end = nullptr, write_end = nullptr;
    if (!CreatePipe(&read_end, &write_end, &inherit, 0)) return;
    SetHandleInformation(read_end, HANDLE_FLAG_INHERIT, 0);
    std::wstring command = L"\"" + tarvo_test::ProgramBeside(L"sorvane_parent_standin.exe") +
                           L"\" " + mode + L" \"" + tarvo_test::ProgramBeside(L"Sorvane.exe") +
                           L"\"";
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = write_end;
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION parent = {};
    const bool started = CreateProcessW(nullptr, &command[0], nullptr, nullptr, TRUE, 0, nullptr,
                                        nullptr, &startup, &parent);
    CloseHandle(write_end);
    if (started) {
      CloseHandle(parent.hThread);
      parent_ = parent.hProcess;
      std::string line;
      char c = 0;
      DWORD got = 0;
      while (ReadFile(read_end, &c, 1, &got, nullptr) && got == 1 && c != '\n') line += c;
      unsigned long pid = 0, tid = 0;
      if (std::sscanf(line.c_str(), "%lu %lu", &pid, &tid) == 2) {
        thread_id_ = tid;
        process_ = OpenProcess(PROCESS_ALL_ACCESS, FALSE, pid);
        thread_ = OpenThread(THREAD_SUSPEND_RESUME, FALSE, tid);
      }
    }
    CloseHandle(read_end);
  }
  ~StartedSorvane() {
    EndParent();
    if (process_ != nullptr) {
      if (!Ended(0)) TerminateProcess(process_, 1);
      CloseHandle(process_);
    }
    if (thread_ != nullptr) CloseHandle(thread_);
  }
  StartedSorvane(const StartedSorvane&) = delete;
  StartedSorvane& operator=(const StartedSorvane&) = delete;

  bool ok() const { return process_ != nullptr && thread_ != nullptr; }
  HANDLE process() const { return process_; }
  DWORD thread_id() const { return thread_id_; }

  // Kills the parent, or waits for it to end by itself, and lets go of it.
  void EndParent(bool kill = true) {
    if (parent_ == nullptr) return;
    if (kill) TerminateProcess(parent_, 1);
    WaitForSingleObject(parent_, 10000);
    CloseHandle(parent_);
    parent_ = nullptr;
  }
  void Resume() { ResumeThread(thread_); }

  // Waits until Sorvane's main thread takes posted messages: it has reached its loop.
  bool Running() const {
    for (int i = 0; i < 1000; ++i) {
      if (PostThreadMessageW(thread_id_, WM_NULL, 0, 0)) return true;
      if (Ended(0)) return false;
      Sleep(10);
    }
    return false;
  }
  bool Ended(DWORD timeout_ms) const {
    return WaitForSingleObject(process_, timeout_ms) == WAIT_OBJECT_0;
  }
  DWORD ExitCode() const {
    DWORD code = 0xDEAD;
    GetExitCodeProcess(process_, &code);
    return code;
  }

 private:
  HANDLE parent_ = nullptr;
  HANDLE process_ = nullptr;
  HANDLE thread_ = nullptr;
  DWORD thread_id_ = 0;
};

TEST(Sorvane, RunsUntilWmQuitEndsItWithZero) {
  StartedSorvane sorvane(L"stay");
  ASSERT_TRUE(sorvane.ok());
  ASSERT_TRUE(sorvane.Running());
  EXPECT_FALSE(sorvane.Ended(300));
  ASSERT_TRUE(PostThreadMessageW(sorvane.thread_id(), WM_QUIT, 5, 0));
  ASSERT_TRUE(sorvane.Ended(10000));
  EXPECT_EQ(sorvane.ExitCode(), 0u);
}

TEST(Sorvane, EndsWithZeroWhenItsParentIsKilled) {
  StartedSorvane sorvane(L"stay");
  ASSERT_TRUE(sorvane.ok());
  ASSERT_TRUE(sorvane.Running());
  EXPECT_FALSE(sorvane.Ended(300));
  sorvane.EndParent();
  EXPECT_TRUE(sorvane.Ended(2000));
  EXPECT_EQ(sorvane.ExitCode(), 0u);
}

// The parent ends before Sorvane runs at all; its id may already belong to another process.
TEST(Sorvane, AParentGoneBeforeItStartsCountsAsEnded) {
  StartedSorvane sorvane(L"leave");
  ASSERT_TRUE(sorvane.ok());
  sorvane.EndParent(false);
  sorvane.Resume();
  EXPECT_TRUE(sorvane.Ended(2000));
  EXPECT_EQ(sorvane.ExitCode(), 0u);
}

std::wstring ClientFolder() {
  wchar_t app_data[MAX_PATH];
  if (SHGetFolderPathW(nullptr, CSIDL_APPDATA | CSIDL_FLAG_CREATE, nullptr, SHGFP_TYPE_CURRENT,
                       app_data) != S_OK) {
    return std::wstring();
  }
  return std::wstring(app_data) + L"\\TarvoLive";
}

std::vector<char> ReadAll(const std::wstring& path) {
  std::vector<char> bytes;
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return bytes;
  char chunk[65536];
  DWORD got = 0;
  while (ReadFile(file, chunk, sizeof(chunk), &got, nullptr) && got > 0) {
    bytes.insert(bytes.end(), chunk, chunk + got);
  }
  CloseHandle(file);
  return bytes;
}

bool WriteText(const std::wstring& path, const std::string& text) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const bool ok = WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  CloseHandle(file);
  return ok && written == text.size();
}

// Crashes Sorvane with a thread started at an invalid address; returns that thread's id.
DWORD Crash(const StartedSorvane& sorvane) {
  DWORD thread_id = 0;
  HANDLE thread = CreateRemoteThread(
      sorvane.process(), nullptr, 0,
      reinterpret_cast<LPTHREAD_START_ROUTINE>(static_cast<uintptr_t>(0x10)), nullptr, 0,
      &thread_id);
  if (thread != nullptr) CloseHandle(thread);
  return thread_id;
}

// The exception code and thread of a minidump's exception stream.
bool ReadException(const std::vector<char>& dump, DWORD* code, DWORD* thread_id) {
  if (dump.size() < sizeof(MINIDUMP_HEADER)) return false;
  const auto* header = reinterpret_cast<const MINIDUMP_HEADER*>(dump.data());
  for (ULONG32 i = 0; i < header->NumberOfStreams; ++i) {
    const size_t at = header->StreamDirectoryRva + i * sizeof(MINIDUMP_DIRECTORY);
    if (at + sizeof(MINIDUMP_DIRECTORY) > dump.size()) return false;
    const auto* entry = reinterpret_cast<const MINIDUMP_DIRECTORY*>(dump.data() + at);
    if (entry->StreamType != ExceptionStream) continue;
    if (entry->Location.Rva + sizeof(MINIDUMP_EXCEPTION_STREAM) > dump.size()) return false;
    const auto* stream =
        reinterpret_cast<const MINIDUMP_EXCEPTION_STREAM*>(dump.data() + entry->Location.Rva);
    *code = stream->ExceptionRecord.ExceptionCode;
    *thread_id = stream->ThreadId;
    return true;
  }
  return false;
}

// These tests change the client's folder in the application data: they run alone (see
// CMakeLists.txt).
TEST(SorvaneCrash, WritesAMinidumpOverAnOlderOne) {
  const std::wstring folder = ClientFolder();
  ASSERT_FALSE(folder.empty());
  CreateDirectoryW(folder.c_str(), nullptr);  // as the client does at start-up
  const std::wstring dump = folder + L"\\TarvoLive_render.exe.dmp";
  EXPECT_EQ(SorvaneDumpPath(), dump);
  ASSERT_TRUE(WriteText(dump, "an older dump"));

  StartedSorvane sorvane(L"stay");
  ASSERT_TRUE(sorvane.ok());
  ASSERT_TRUE(sorvane.Running());
  const DWORD crashed_thread = Crash(sorvane);
  ASSERT_NE(crashed_thread, 0u);
  // Writing the dump takes Wine's dbghelp several seconds on a busy machine (14 s seen).
  ASSERT_TRUE(sorvane.Ended(120000));

  const std::vector<char> bytes = ReadAll(dump);
  ASSERT_GE(bytes.size(), 4u);
  EXPECT_EQ(std::string(bytes.data(), 4), "MDMP");
  DWORD code = 0, thread_id = 0;
  ASSERT_TRUE(ReadException(bytes, &code, &thread_id));
  EXPECT_EQ(code, 0xC0000005u);
  EXPECT_EQ(thread_id, crashed_thread);
}

TEST(SorvaneCrash, WithoutTheClientsFolderNothingIsWrittenAndItStillEnds) {
  const std::wstring folder = ClientFolder();
  ASSERT_FALSE(folder.empty());
  // The folder is put aside for this test and brought back after it.
  const std::wstring aside = folder + L".sorvane_test";
  RemoveDirectoryW(aside.c_str());
  const bool moved = MoveFileW(folder.c_str(), aside.c_str()) != FALSE;
  ASSERT_EQ(GetFileAttributesW(folder.c_str()), INVALID_FILE_ATTRIBUTES);
  {
    StartedSorvane sorvane(L"stay");
    ASSERT_TRUE(sorvane.ok());
    ASSERT_TRUE(sorvane.Running());
    ASSERT_NE(Crash(sorvane), 0u);
    EXPECT_TRUE(sorvane.Ended(10000));
    EXPECT_EQ(GetFileAttributesW(folder.c_str()), INVALID_FILE_ATTRIBUTES)
        << "the client's folder is not made by Sorvane";
  }
  if (moved) MoveFileW(aside.c_str(), folder.c_str());
}

TEST(SorvaneDpi, TheFirstCallThatSucceedsEndsTheChain) {
  struct Case {
    bool results[3];
    int step;
    std::vector<int> made;
  };
  const Case cases[] = {
      {{true, true, true}, 1, {1}},
      {{false, true, true}, 2, {1, 2}},
      {{false, false, true}, 3, {1, 2, 3}},
      {{false, false, false}, 0, {1, 2, 3}},
  };
  for (const Case& c : cases) {
    std::vector<int> made;
    DpiAwarenessCalls calls;
    calls.per_monitor_context = [&] { made.push_back(1); return c.results[0]; };
    calls.system_aware = [&] { made.push_back(2); return c.results[1]; };
    calls.shcore_awareness = [&] { made.push_back(3); return c.results[2]; };
    EXPECT_EQ(MakeDpiAware(calls), c.step);
    EXPECT_EQ(made, c.made);
  }
  // This system's chain ends at one of its calls.
  EXPECT_GE(MakeDpiAware(SystemDpiAwarenessCalls()), 1);
}

}  // namespace
