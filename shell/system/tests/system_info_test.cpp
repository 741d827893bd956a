#include "shell/system/dpi.h"
#include "shell/system/system_info.h"

#include <windows.h>

#include <gtest/gtest.h>

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

TEST(SystemInfo, DpiScaleFollowsTheCachedDpi) {
  EXPECT_TRUE(SetDpiAware());
  const int cached = GetCachedDpi();
  EXPECT_GE(cached, 96);
  EXPECT_EQ(GetCachedDpi(), cached);
  EXPECT_FLOAT_EQ(GetDpiScale(), cached / 96.0f);
  EXPECT_GE(GetDpi(), 72.0);
}
