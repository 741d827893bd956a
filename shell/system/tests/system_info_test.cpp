#include "shell/system/dpi.h"
#include "shell/system/system_info.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "foundation/log.h"

TEST(SystemInfo, OsVersionTextNamesEachKnownVersion) {
  const struct {
    unsigned major, minor;
    bool x64;
    const char* text;
  } cases[] = {
      {5, 0, false, "Windows 2000 X86, Build: 5.0.77"},
      {5, 1, false, "Windows XP X86, Build: 5.1.77"},
      {5, 2, true, "Windows Server 2003 X64, Build: 5.2.77"},
      {6, 0, false, "Windows Vista X86, Build: 6.0.77"},
      {6, 1, true, "Windows 7 X64, Build: 6.1.77"},
      {6, 2, false, "Windows 8 X86, Build: 6.2.77"},
      {6, 3, false, "Windows 8.1 X86, Build: 6.3.77"},
      {6, 4, true, " X64, Build: 6.4.77"},
      {10, 0, true, "Windows 10 X64, Build: 10.0.77"},
      {10, 1, false, "after Windows 10 X86, Build: 10.1.77"},
      {4, 0, false, "Windows Unkown Version X86, Build: 4.0.77"},
  };
  for (const auto& c : cases) {
    OsVersionNumbers numbers{c.major, c.minor, 77};
    EXPECT_EQ(OsVersionText(&numbers, c.x64), c.text);
  }
  EXPECT_EQ(OsVersionText(nullptr, true), "Windows Unkown Version");
}

TEST(SystemInfo, FileVersionAndBuildStampOfOwnProgramAndPlainFile) {
  // Test programs carry no version resource: four zeros.
  EXPECT_EQ(FileVersionInfo(GetModuleFilePath()).Version(), "0.0.0.0");

  const std::wstring path = GetModuleDir() + L"\\build_stamp_probe.txt";
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  SYSTEMTIME local{2023, 5, 0, 6, 14, 30, 0, 0};
  FILETIME local_ft, utc_ft;
  ASSERT_TRUE(SystemTimeToFileTime(&local, &local_ft));
  ASSERT_TRUE(LocalFileTimeToFileTime(&local_ft, &utc_ft));
  ASSERT_TRUE(SetFileTime(file, nullptr, nullptr, &utc_ft));
  CloseHandle(file);
  EXPECT_EQ(FileVersionInfo(path).BuildStamp(), "2305061430");
  DeleteFileW(path.c_str());
  EXPECT_EQ(FileVersionInfo(path).BuildStamp(), "");
}

TEST(SystemInfo, MachineFactsAreFilledIn) {
  const std::string os = GetOsVersionText();
  EXPECT_NE(os.find(", Build: "), std::string::npos) << os;
  EXPECT_TRUE(os.find(" X86") != std::string::npos || os.find(" X64") != std::string::npos);
  EXPECT_FALSE(GetCpuBrandText().empty());
  const MemoryInfo memory = GetMemoryInfo();
  EXPECT_GT(memory.total_mb, 0u);
  EXPECT_LE(memory.available_mb, memory.total_mb);
  EXPECT_EQ(GetModuleFilePath().rfind(GetModuleDir() + L"\\", 0), 0u);
}

TEST(SystemInfo, BaseInfoWritesTheVersionAndMachineRecordsToTheLog) {
  WriteBaseInfoToLog(reinterpret_cast<const void*>(0x1234));
  std::ifstream in(CLogWrapper::Instance()->GetLogPath().c_str(), std::ios::binary);
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());

  const FileVersionInfo client(GetModuleDir() + L"\\TarvoLive.exe");
  EXPECT_NE(text.find("][INFO][WriteBaseInfoToLog:"), std::string::npos) << text;
  EXPECT_NE(text.find("][version = " + client.Version() + ", buildNo = " + client.BuildStamp() +
                      ", hWnd = 4660]\r\n"),
            std::string::npos)
      << text;
  const std::string machine = "][Env, cpu=" + GetCpuBrandText() + ", os=" + GetOsVersionText() +
                              ", total memory(MB)=" + std::to_string(GetMemoryInfo().total_mb) +
                              ", available memory(MB)=";
  const size_t at = text.find(machine);
  ASSERT_NE(at, std::string::npos) << text;
  const size_t end = text.find("]\r\n", at + machine.size());
  ASSERT_NE(end, std::string::npos);
  const std::string available = text.substr(at + machine.size(), end - at - machine.size());
  EXPECT_FALSE(available.empty());
  EXPECT_EQ(available.find_first_not_of("0123456789"), std::string::npos) << available;
}

namespace {

// Records the awareness calls SetDpiAware makes, with their arguments.
std::vector<std::string> g_dpi_calls;
bool g_context_succeeds = false;
bool g_aware_succeeds = false;

int __stdcall FakeSetContext(void* context) {
  g_dpi_calls.push_back("context " + std::to_string(reinterpret_cast<intptr_t>(context)));
  return g_context_succeeds;
}
int __stdcall FakeSetAware() {
  g_dpi_calls.push_back("aware");
  return g_aware_succeeds;
}
long __stdcall FakeSetAwareness(int awareness) {
  g_dpi_calls.push_back("awareness " + std::to_string(awareness));
  return E_ACCESSDENIED;
}

}  // namespace

TEST(SystemInfo, DpiAwarenessUsesTheNewestCallThatWorksAndNoOlderOne) {
  const struct {
    bool context, aware, awareness;  // Which calls exist.
    bool context_succeeds, aware_succeeds;
    std::vector<std::string> calls;
    bool result;
  } cases[] = {
      {true, true, true, true, true, {"context -3"}, true},
      {true, true, true, false, true, {"context -3", "aware"}, true},
      {false, true, true, false, true, {"aware"}, true},
      {true, true, true, false, false, {"context -3", "aware", "awareness 2"}, true},
      {false, false, true, false, false, {"awareness 2"}, true},
      {true, true, false, false, false, {"context -3", "aware"}, false},
      {false, false, false, false, false, {}, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.calls));
    DpiAwarenessCalls calls;
    if (c.context) calls.set_context = &FakeSetContext;
    if (c.aware) calls.set_aware = &FakeSetAware;
    if (c.awareness) calls.set_awareness = &FakeSetAwareness;
    g_context_succeeds = c.context_succeeds;
    g_aware_succeeds = c.aware_succeeds;
    g_dpi_calls.clear();
    EXPECT_EQ(SetDpiAware(calls), c.result);
    EXPECT_EQ(g_dpi_calls, c.calls);
  }
  EXPECT_TRUE(SetDpiAware());  // This system offers at least one of them.
}
