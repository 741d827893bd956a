#include <windows.h>

#include <shlobj.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "foundation/handle.h"
#include "tests/support/test_process.h"

namespace {

std::vector<std::wstring> FilesIn(const std::wstring& folder, const std::wstring& pattern) {
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW entry;
  HANDLE find = FindFirstFileW((folder + pattern).c_str(), &entry);
  if (find == INVALID_HANDLE_VALUE) return names;
  do names.push_back(entry.cFileName);
  while (FindNextFileW(find, &entry));
  FindClose(find);
  return names;
}

}  // namespace

// A process that logs and ends normally leaves one archive of its day's file and no log file.
// LogExitArchiveCheck then opens the copy with the host's unzip and the archive password.
TEST(LogExitTest, ProcessEndPacksTheDaysFileIntoAnArchive) {
  std::wstring command =
      L"\"" + tarvo_test::ProgramBeside(L"foundation_log_writer.exe") + L"\" 1000";
  STARTUPINFOW startup{sizeof(startup)};
  PROCESS_INFORMATION process{};
  ASSERT_TRUE(CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                             &startup, &process));
  CxHandle process_handle(process.hProcess);
  CxHandle thread_handle(process.hThread);
  ASSERT_EQ(WaitForSingleObject(process_handle.Get(), 60000), WAIT_OBJECT_0);
  DWORD exit_code = 1;
  GetExitCodeProcess(process_handle.Get(), &exit_code);
  ASSERT_EQ(exit_code, 0u);

  wchar_t app_data[MAX_PATH];
  ASSERT_EQ(SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, 0, app_data), S_OK);
  const std::wstring logs = std::wstring(app_data) + L"\\TarvoLive\\Logs\\";
  const std::wstring pid = std::to_wstring(process.dwProcessId);
  EXPECT_TRUE(FilesIn(logs, L"TarvoLive_*_" + pid + L".log").empty());
  const auto archives = FilesIn(logs, L"TarvoLive_*_" + pid + L"_*.zlog");
  ASSERT_EQ(archives.size(), 1u);

  const char* data = std::getenv("TARVO_TEST_DATA");
  ASSERT_NE(data, nullptr);
  const std::string data_folder(data);
  const std::wstring target =
      std::wstring(data_folder.begin(), data_folder.end()) + L"/log_exit_archive.zlog";
  ASSERT_TRUE(CopyFileW((logs + archives[0]).c_str(), target.c_str(), FALSE));
}
