// The web engine's life follows the client's, however the client or its render process ends;
// an engine that ends or cannot start reaches the delegate. Each case runs its own client
// (browser_engine_client, beside this test) with its own engine.
#include <windows.h>
#include <tlhelp32.h>

#include <gtest/gtest.h>

#include <string>

#include "platform/browser/tests/engine_test_support.h"
#include "tests/support/test_process.h"

namespace {

struct Client {
  HANDLE process = nullptr;
  std::wstring report;

  explicit Client(const wchar_t* mode) {
    report = engine_test::ScratchFolder(L"engine-process") + L"\\" + mode + L".txt";
    DeleteFileW(report.c_str());
    DeleteFileW((report + L".go").c_str());
    process = tarvo_test::StartProgram(tarvo_test::ProgramBeside(L"browser_engine_client.exe"),
                                       std::wstring(mode) + L" \"" + report + L"\"");
  }
  ~Client() {
    if (process != nullptr) {
      TerminateProcess(process, 1);
      CloseHandle(process);
    }
  }
  // The engine's profile folder once the client has a page up; empty when it never had.
  std::string ProfileWhenReady() {
    const ULONGLONG deadline = GetTickCount64() + 90000;
    while (GetTickCount64() < deadline) {
      const std::string text = engine_test::ReadText(report);
      const size_t ready = text.find("\nready\n");
      if (ready != std::string::npos) return text.substr(0, ready);
      if (WaitForSingleObject(process, 100) == WAIT_OBJECT_0) break;
    }
    return std::string();
  }
  DWORD ExitCode(DWORD wait_ms) {
    DWORD code = 0xDEAD;
    tarvo_test::FinishProgram(process, wait_ms, &code);
    return code;
  }
};

// The render process (Sorvane) that |client| started.
DWORD RenderProcessOf(HANDLE client) {
  const DWORD parent = GetProcessId(client);
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  PROCESSENTRY32W entry = {};
  entry.dwSize = sizeof(entry);
  DWORD found = 0;
  for (BOOL more = Process32FirstW(snapshot, &entry); more;
       more = Process32NextW(snapshot, &entry)) {
    if (entry.th32ParentProcessID == parent && _wcsicmp(entry.szExeFile, L"Sorvane.exe") == 0) {
      found = entry.th32ProcessID;
    }
  }
  CloseHandle(snapshot);
  return found;
}

constexpr DWORD kEndWithin = 20000;

TEST(WebEngineProcessTest, ClosingTheBrowserAndTheClientLeavesNoEngine) {
  Client client(L"close");
  const std::string profile = client.ProfileWhenReady();
  ASSERT_FALSE(profile.empty());
  EXPECT_FALSE(engine_test::EngineProcesses(profile).empty()) << "the engine was running";
  engine_test::WriteText(client.report + L".go", "go");  // Only now may the client close.
  EXPECT_EQ(client.ExitCode(60000), 0u);
  EXPECT_TRUE(engine_test::NoEngineProcessWithin(profile, kEndWithin));
}

TEST(WebEngineProcessTest, KillingTheClientLeavesNoEngine) {
  Client client(L"wait");
  const std::string profile = client.ProfileWhenReady();
  ASSERT_FALSE(profile.empty());
  ASSERT_FALSE(engine_test::EngineProcesses(profile).empty());
  TerminateProcess(client.process, 9);
  EXPECT_TRUE(engine_test::NoEngineProcessWithin(profile, kEndWithin));
}

TEST(WebEngineProcessTest, KillingTheRenderProcessLeavesNoEngine) {
  Client client(L"wait");
  const std::string profile = client.ProfileWhenReady();
  ASSERT_FALSE(profile.empty());
  const DWORD render = RenderProcessOf(client.process);
  ASSERT_NE(render, 0u);
  HANDLE sorvane = OpenProcess(PROCESS_TERMINATE, FALSE, render);
  ASSERT_NE(sorvane, nullptr);
  TerminateProcess(sorvane, 9);
  CloseHandle(sorvane);
  EXPECT_TRUE(engine_test::NoEngineProcessWithin(profile, kEndWithin));
}

TEST(WebEngineProcessTest, KillingTheEngineEndsThePagesRenderProcess) {
  Client client(L"kill-engine");
  ASSERT_FALSE(client.ProfileWhenReady().empty());
  EXPECT_EQ(client.ExitCode(60000), 0u);
}

TEST(WebEngineProcessTest, AnEngineThatCannotStartIsOneLoadErrorAndTheClientRuns) {
  Client client(L"no-engine");
  EXPECT_EQ(client.ExitCode(90000), 0u);
}

}  // namespace
