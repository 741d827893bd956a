// The start-up steps tested apart: the browser library's start record, the render log limit, the language
// choice, the instance mutex and the crash dump of a faulting process.

#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "shell/startup/app_info.h"
#include "shell/startup/crash_dump.h"
#include "shell/startup/start_record.h"
#include "shell/startup/startup.h"
#include "tests/support/test_process.h"

namespace {

std::string Field(const uint8_t* bytes, size_t offset, size_t size) {
  const char* text = reinterpret_cast<const char*>(bytes + offset);
  return std::string(text, strnlen(text, size));
}

bool AllZero(const uint8_t* bytes, size_t from, size_t to) {
  for (size_t i = from; i < to; ++i) {
    if (bytes[i] != 0) return false;
  }
  return true;
}

std::string TempFolder(const char* name) {
  char temp[MAX_PATH];
  GetTempPathA(MAX_PATH, temp);
  std::string folder = std::string(temp) + name;
  CreateDirectoryA(folder.c_str(), nullptr);
  CreateDirectoryA((folder + "\\Logs").c_str(), nullptr);
  return folder;
}

void WriteBytes(const std::string& path, size_t size) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  const std::string chunk(4096, 'r');
  for (size_t left = size; left > 0;) {
    const size_t n = left < chunk.size() ? left : chunk.size();
    out.write(chunk.data(), static_cast<std::streamsize>(n));
    left -= n;
  }
}

bool Exists(const std::string& path) {
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

}  // namespace

// The record's bytes for each UI language on 32- and 64-bit Windows (language word and 64-bit
// answer given as they would come from Windows).
TEST(StartRecord, BytesForEachLanguageAndSystemWidth) {
  const struct {
    LANGID language;
    const char* locale;
  } languages[] = {{0x0804, "zh_CN"}, {0x0404, "zh_TW"}, {0x0C04, "en_US"}, {0x0409, "en_US"}};
  const std::string folder = TempFolder("start_record_case");
  for (const auto& language : languages) {
    for (bool windows64 : {false, true}) {
      SCOPED_TRACE(std::string(language.locale) + (windows64 ? " 64" : " 32"));
      cef_run_settting record;
      FillStartRecord(record, LanguageForUiLanguage(language.language), windows64, 6, 1, folder);
      const auto* bytes = reinterpret_cast<const uint8_t*>(&record);
      EXPECT_EQ(bytes[0], 0);
      EXPECT_TRUE(AllZero(bytes, 1, 10));
      EXPECT_EQ(bytes[10], 1);
      EXPECT_TRUE(AllZero(bytes, 11, 536));
      EXPECT_EQ(Field(bytes, 536, 260), language.locale);
      EXPECT_TRUE(AllZero(bytes, 536 + std::strlen(language.locale), 796));
      EXPECT_EQ(Field(bytes, 796, 260),
                std::string("Mozilla/5.0 (Windows NT 6.1; ") + (windows64 ? "WOW64" : "WOW32") +
                    ") AppleWebKit/537.36 (KHTML, like Gecko) Chrome/91.0.4472.164 "
                    "Safari/537.36");
      EXPECT_EQ(Field(bytes, 1056, 260), folder + "\\Logs\\render.log");
      const std::wstring sub(reinterpret_cast<const wchar_t*>(bytes + 1316));
      EXPECT_EQ(sub, L"Sorvane.exe");
      EXPECT_TRUE(AllZero(bytes, 1316 + 2 * (sub.size() + 1), 1836));
      const uint8_t colour[4] = {0x33, 0x2A, 0x25, 0xFF};  // 0xFF252A33, little-endian
      EXPECT_EQ(std::memcmp(bytes + 1836, colour, 4), 0);
    }
  }
}

// A render log of exactly 1 MiB is kept; one byte more and it is deleted before the library
// starts. A missing log is no trouble.
TEST(StartRecord, RenderLogAboveOneMebibyteIsDeleted) {
  const std::string folder = TempFolder("render_log_case");
  const std::string log = folder + "\\Logs\\render.log";
  cef_run_settting record;
  for (const auto& c : {std::make_pair<size_t, bool>(0x100000, true),
                        std::make_pair<size_t, bool>(0x100001, false)}) {
    WriteBytes(log, c.first);
    FillStartRecord(record, L"en_US", true, 10, 0, folder);
    EXPECT_EQ(Exists(log), c.second) << c.first << " bytes";
  }
  DeleteFileA(log.c_str());
  FillStartRecord(record, L"en_US", true, 10, 0, folder);
  EXPECT_EQ(Field(reinterpret_cast<const uint8_t*>(&record), 1056, 260), log);
}

// The second holder of the name learns it is not the first; closing the kept handle twice
// closes it once (a handle opened in between, which may reuse its number, stays open).
TEST(InstanceMutex, CloseIsOnceWhateverTheCallers) {
  const wchar_t kName[] = L"tarvolive_startup_steps_mutex";
  HANDLE first = CreateMutexW(nullptr, FALSE, kName);
  ASSERT_NE(first, nullptr);
  EXPECT_FALSE(CreateInstanceMutex(kName));
  CloseInstanceMutex();
  HANDLE reused = CreateEventW(nullptr, TRUE, TRUE, nullptr);
  ASSERT_NE(reused, nullptr);
  CloseInstanceMutex();
  EXPECT_EQ(WaitForSingleObject(reused, 0), static_cast<DWORD>(WAIT_OBJECT_0))
      << "a second close closed someone else's handle";
  CloseHandle(reused);
  CloseHandle(first);

  EXPECT_TRUE(CreateInstanceMutex(kName));
  CloseInstanceMutex();
}

// A fault in a process with the filter leaves a minidump in the application-data folder.
TEST(CrashDump, AFaultingChildLeavesAMinidump) {
  const std::string dump = GetAppDataFolder() + "\\TarvoLive.exe.dmp";
  DeleteFileA(dump.c_str());
  DWORD code = 0;
  ASSERT_TRUE(tarvo_test::RunProgram(tarvo_test::ProgramBeside(L"startup_crash_child.exe"), L"",
                                     60000, &code));
  EXPECT_NE(code, 0u);
  std::ifstream in(dump, std::ios::binary);
  char magic[4] = {};
  in.read(magic, 4);
  EXPECT_EQ(std::string(magic, 4), "MDMP");
  in.close();
  DeleteFileA(dump.c_str());
}

TEST(AppInfo, LanguageAndModuleFolder) {
  EXPECT_STREQ(LanguageForUiLanguage(0x0804), L"zh_CN");
  EXPECT_STREQ(LanguageForUiLanguage(0x0404), L"zh_TW");
  EXPECT_STREQ(LanguageForUiLanguage(0x0C04), L"en_US");
  const std::wstring folder = GetModuleDirectory();
  EXPECT_EQ(folder.back(), L'\\');
  EXPECT_EQ(folder.find(L'/'), std::wstring::npos);
  EXPECT_EQ(folder, tarvo_test::ProgramFolder());
}
