#include "shell/updater/updater.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "tests/support/test_process.h"

namespace {

// A folder of its own with the stand-in updater and the exit codes it should give.
class UpdaterFolder {
 public:
  UpdaterFolder(const wchar_t* name, const std::vector<std::string>& codes) {
    folder_ = tarvo_test::ProgramFolder() + L"updater_case_" + name + L"\\";
    CreateDirectoryW(folder_.c_str(), nullptr);
    DeleteFileW((folder_ + L"updater_runs.txt").c_str());
    CopyFileW((tarvo_test::ProgramFolder() + L"updater_standin.exe").c_str(),
              (folder_ + L"TarvoUpDate.exe").c_str(), FALSE);
    std::ofstream out((folder_ + L"updater_codes.txt").c_str());
    for (const std::string& c : codes) out << c << "\n";
  }
  const std::wstring& folder() const { return folder_; }
  std::vector<std::string> Runs() const {
    std::vector<std::string> runs;
    std::ifstream in((folder_ + L"updater_runs.txt").c_str());
    for (std::string line; std::getline(in, line);) runs.push_back(line);
    return runs;
  }

 private:
  std::wstring folder_;
};

UpdaterLaunch Launch(const std::wstring& folder, uint16_t language = 0x0409) {
  return UpdaterLaunch{folder, L"update.example:6010", L"1.2.3.4", L"TarvoLive", language};
}

const char kCheckLine[] =
    "server=update.example:6010 dev=TarvoZentavo.Windows version=1.2.3.4 check=true LANG=#532 "
    "title=TarvoLive";
const char kInstallLine[] =
    "server=update.example:6010 dev=TarvoZentavo.Windows version=1.2.3.4 LANG=#532 "
    "title=TarvoLive";

}  // namespace

TEST(Updater, ArgumentsForEachLanguageWithAndWithoutCheck) {
  const struct {
    uint16_t language;
    const wchar_t* code;
  } cases[] = {{0x0804, L"#533"}, {0x0404, L"#534"}, {0x0409, L"#532"}, {0x0000, L"#532"}};
  for (const auto& c : cases) {
    const UpdaterLaunch launch = Launch(L"C:\\", c.language);
    EXPECT_EQ(UpdaterArguments(true, launch),
              std::wstring(L"server=update.example:6010 dev=TarvoZentavo.Windows "
                           L"version=1.2.3.4 check=true LANG=") +
                  c.code + L" title=TarvoLive");
    const std::wstring install = UpdaterArguments(false, launch);
    EXPECT_EQ(install.find(L"check="), std::wstring::npos);
    EXPECT_EQ(install.find(L"false"), std::wstring::npos);
    EXPECT_NE(install.find(std::wstring(L"LANG=") + c.code), std::wstring::npos);
  }
}

TEST(Updater, RunReturnsTheWhole32BitExitCodeOrMinusOne) {
  UpdaterFolder dir(L"code", {"0xF009"});
  EXPECT_EQ(RunUpdater(true, Launch(dir.folder())), kUpdateReplacesFiles);
  EXPECT_EQ(dir.Runs(), std::vector<std::string>{kCheckLine});
  EXPECT_EQ(RunUpdater(true, Launch(tarvo_test::ProgramFolder() + L"no_such_folder\\")),
            kUpdaterNoExitCode);
}

TEST(Updater, CheckThreadRunsTheDocumentedSequences) {
  const struct {
    const wchar_t* name;
    std::vector<std::string> codes;
    size_t runs;
    bool ends_client;
  } cases[] = {
      {L"none", {"0"}, 1, false},
      {L"other", {"7"}, 1, false},
      {L"while_running", {"0xF008", "0"}, 2, false},
      {L"replace_accepted", {"0xF009", "0"}, 2, true},
      {L"replace_refused", {"0xF009", "1"}, 2, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.codes[0]);
    UpdaterFolder dir(c.name, c.codes);
    std::atomic<bool> running{false};
    bool ended = false;
    UpdateCheckThread(Launch(dir.folder()), running, [&] {
      EXPECT_TRUE(running.load());
      ended = true;
    });
    EXPECT_FALSE(running.load());
    EXPECT_EQ(ended, c.ends_client);
    const std::vector<std::string> runs = dir.Runs();
    ASSERT_EQ(runs.size(), c.runs);
    EXPECT_EQ(runs[0], kCheckLine);
    if (c.runs > 1) {
      EXPECT_EQ(runs[1], kInstallLine);
    }
  }
}

TEST(Updater, MissingUpdaterEndsTheCheckQuietly) {
  std::atomic<bool> running{false};
  bool ended = false;
  UpdateCheckThread(Launch(tarvo_test::ProgramFolder() + L"no_such_folder\\"), running,
                    [&] { ended = true; });
  EXPECT_FALSE(running.load());
  EXPECT_FALSE(ended);
}

TEST(Updater, StartWithoutWaitingRunsTheInstallForm) {
  UpdaterFolder dir(L"no_wait", {"0"});
  ASSERT_TRUE(StartUpdater(Launch(dir.folder())));
  for (int i = 0; i < 200 && dir.Runs().empty(); ++i) Sleep(50);
  EXPECT_EQ(dir.Runs(), std::vector<std::string>{kInstallLine});
  EXPECT_FALSE(StartUpdater(Launch(tarvo_test::ProgramFolder() + L"no_such_folder\\")));
}
