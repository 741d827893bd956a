#include "foundation/log.h"

#include <windows.h>

#include <minizip/unzip.h>
#include <zlib.h>

#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "foundation/tick_clock.h"

namespace {

const char kEndMarker[] =
    "**************  This is the end of current log message  **************\r\n";
const char kFileEnd[] =
    "-----------------------------  FILE END  -----------------------------\r\n";

std::string Narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }

std::string ReadFile(const std::wstring& path) {
  std::ifstream in(path.c_str(), std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

bool Exists(const std::wstring& path) {
  return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

size_t Count(const std::string& text, const std::string& needle) {
  size_t n = 0;
  for (size_t at = text.find(needle); at != std::string::npos; at = text.find(needle, at + 1)) ++n;
  return n;
}

// UTC FILETIME units of a local time.
unsigned long long LocalTimeUnits(WORD year, WORD month, WORD day, WORD hour, WORD minute,
                                  WORD second, WORD millisecond) {
  SYSTEMTIME t{year, month, 0, day, hour, minute, second, millisecond};
  FILETIME local, utc;
  SystemTimeToFileTime(&t, &local);
  LocalFileTimeToFileTime(&local, &utc);
  return (static_cast<unsigned long long>(utc.dwHighDateTime) << 32) | utc.dwLowDateTime;
}

std::vector<std::wstring> FilesIn(const std::wstring& folder, const wchar_t* pattern) {
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW entry;
  HANDLE find = FindFirstFileW((folder + pattern).c_str(), &entry);
  if (find == INVALID_HANDLE_VALUE) return names;
  do {
    if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(entry.cFileName);
  } while (FindNextFileW(find, &entry));
  FindClose(find);
  return names;
}

// What an archive holds: its single entry's name, size and CRC, and whether it is encrypted.
// (The archive reader here cannot decrypt; the host's unzip checks that in ArchiveAtExitTest.)
struct ArchiveEntry {
  bool ok = false;
  std::string name;
  unsigned long long size = 0;
  unsigned long crc = 0;
  bool encrypted = false;
  int entries = 0;
};

ArchiveEntry InspectArchive(const std::wstring& archive) {
  ArchiveEntry entry;
  unzFile zip = unzOpen64(Narrow(archive).c_str());
  if (!zip) return entry;
  unz_global_info64 global;
  char name[MAX_PATH] = {};
  unz_file_info64 info;
  if (unzGetGlobalInfo64(zip, &global) == UNZ_OK && unzGoToFirstFile(zip) == UNZ_OK &&
      unzGetCurrentFileInfo64(zip, &info, name, sizeof(name), nullptr, 0, nullptr, 0) == UNZ_OK) {
    entry.ok = true;
    entry.name = name;
    entry.size = info.uncompressed_size;
    entry.crc = info.crc;
    entry.encrypted = (info.flag & 1) != 0;
    entry.entries = static_cast<int>(global.number_entry);
  }
  unzClose(zip);
  return entry;
}

void ExpectArchiveHolds(const std::wstring& archive, const std::string& name,
                        const std::string& content) {
  const ArchiveEntry entry = InspectArchive(archive);
  ASSERT_TRUE(entry.ok) << Narrow(archive);
  EXPECT_EQ(entry.entries, 1);
  EXPECT_EQ(entry.name, name);
  EXPECT_TRUE(entry.encrypted);
  EXPECT_EQ(entry.size, content.size());
  EXPECT_EQ(entry.crc, crc32(0, reinterpret_cast<const Bytef*>(content.data()),
                             static_cast<uInt>(content.size())));
}

std::atomic<unsigned long long> g_now{0};

class LogFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    static int serial = 0;
    root_ = std::wstring(temp) + L"tarvo_log_" + std::to_wstring(GetCurrentProcessId()) + L"_" +
            std::to_wstring(++serial) + L"\\";
    logs_ = root_ + L"Logs\\";
    cleanup_ = root_ + L"cleanup\\";
    CreateDirectoryW(root_.c_str(), nullptr);
    SetNow(2026, 3, 14, 15, 9, 26, 535);
  }

  void SetNow(WORD year, WORD month, WORD day, WORD hour, WORD minute, WORD second, WORD ms) {
    g_now = LocalTimeUnits(year, month, day, hour, minute, second, ms);
  }

  std::unique_ptr<CLogWrapper> MakeLog(unsigned size_limit = CLogWrapper::kDefaultSizeLimit) {
    CLogWrapper::Settings settings;
    settings.size_limit = size_limit;
    settings.clock = [] { return g_now.load(); };
    settings.log_folder = logs_;
    settings.cleanup_folder = cleanup_;
    return std::make_unique<CLogWrapper>(settings);
  }

  std::wstring LogName(const wchar_t* date) const {
    return logs_ + L"TarvoLive_" + date + L"_" + std::to_wstring(GetCurrentProcessId()) + L".log";
  }

  std::string Pid() const { return std::to_string(GetCurrentProcessId()); }

  std::wstring root_, logs_, cleanup_;
};

}  // namespace

// ---------------------------------------------------------------------------------------------

TEST(LogRecorderTest, KeepsTheLast64BytesFree) {
  char buffer[4096];
  CLogWrapper::CRecorder recorder(buffer, sizeof(buffer));
  recorder << "[head]" << std::string(5000, 'x') << "more";
  EXPECT_EQ(recorder.GetLength(), 4096u - 64u);
  EXPECT_EQ(std::string(recorder.GetText()).size(), 4096u - 64u);
  EXPECT_EQ(buffer[4095], '\0');
}

TEST(LogRecorderTest, FormatsNumbersHexAndPointers) {
  char buffer[256];
  CLogWrapper::CRecorder recorder(buffer, sizeof(buffer));
  recorder << -5 << "," << 7u << "," << -9L << "," << 4000000000UL << ",";
  recorder << CLogWrapper::CRecorder::Hex{0} << 255 << "," << 255 << ",";
  recorder << CLogWrapper::CRecorder::Hex{0} << CLogWrapper::CRecorder::Hex{1} << 16 << ",";
  recorder << CLogWrapper::CRecorder::Hex{0} << 3735928559UL << ",";
  recorder.AppendPointer(reinterpret_cast<void*>(0x00c0ffee));
  EXPECT_STREQ(recorder.GetText(), "-5,7,-9,4000000000,ff,255,16,deadbeef,0xc0ffee");
}

TEST(LogRecorderTest, FunctionNamesFromCompilerText) {
  struct Case {
    const char* pretty;
    const char* name;
  } cases[] = {
      {"void Free(int)", "Free"},
      {"virtual void CxShareMemory::Close()", "CxShareMemory::Close"},
      {"static CLogWrapper* CLogWrapper::Instance()", "CLogWrapper::Instance"},
      {"std::vector<std::pair<int, int> > A::B(const std::map<int, int>&)", "A::B"},
      {"CMainFrame::OnCreate()::<lambda()>", "CMainFrame::OnCreate"},
      {"int main()", "main"},
  };
  for (const Case& c : cases) {
    const char* begin = nullptr;
    unsigned length = 0;
    LogFunctionName(c.pretty, &begin, &length);
    EXPECT_EQ(std::string(begin, length), c.name) << c.pretty;
  }
}

namespace {
struct Speaker {
  void Say() { TVLOG_WARN_THIS() << "volume " << 80; }
};
}  // namespace

TEST(LogRecorderTest, MacrosWriteMemberAndFunctionRecordsToTheProcessLog) {
  Speaker speaker;
  speaker.Say();
  TVLOG_INFO() << "plain " << 1;
  const std::string text = ReadFile(CLogWrapper::Instance()->GetLogPath());
  std::ostringstream member;
  member << "][WARN][this=0x" << std::hex << reinterpret_cast<uintptr_t>(&speaker)
         << "][{anonymous}::Speaker::Say:";
  EXPECT_NE(text.find(member.str()), std::string::npos) << text;
  EXPECT_NE(text.find("][volume 80]\r\n"), std::string::npos);
  EXPECT_TRUE(std::regex_search(
      text, std::regex(R"(\]\[INFO\]\[LogRecorderTest_\w+::TestBody:\d+\]\[plain 1\]\r\n)")))
      << text;
}

// ---------------------------------------------------------------------------------------------

TEST_F(LogFileTest, LinesFollowTheFileFormatWithOneEndMarker) {
  auto log = MakeLog();
  log->WriteLog(CLogWrapper::kError, 0, "[first]");
  log->WriteLog(CLogWrapper::kFunc, 0, "[two\nlines]");  // Inside text lines end in CRLF too.
  SetNow(2026, 3, 14, 15, 9, 27, 7);
  log->WriteLog(CLogWrapper::kInfo, 0, "[third]");
  log->WriteLog(9, 0, "[level out of range]");
  log->WriteLog(CLogWrapper::kInfo, 17, "[module out of range]");

  const std::string text = ReadFile(LogName(L"20260314"));
  const std::string tid = std::to_string(GetCurrentThreadId());
  const std::string expected =
      "current pid = " + Pid() + "\r\n" + "[2026-03-14 15:09:26.535][t=" + tid +
      "][ERROR][first]\r\n" + "[2026-03-14 15:09:26.535][t=" + tid + "][FUNC][two\r\nlines]\r\n" +
      "[2026-03-14 15:09:27.007][t=" + tid + "][INFO][third]\r\n" + kEndMarker;
  EXPECT_EQ(text, expected);
}

TEST_F(LogFileTest, ManyRecordsLeaveExactlyOneEndMarkerAtTheEnd) {
  auto log = MakeLog();
  for (int i = 0; i < 300; ++i) {
    const std::string record =
        "[record " + std::to_string(i) + (i % 7 == 0 ? "\nsecond" : "") + "]";
    log->WriteLog(CLogWrapper::kInfo, 0, record.c_str());
  }
  const std::string text = ReadFile(LogName(L"20260314"));
  EXPECT_EQ(Count(text, "**************  This is the end"), 1u);
  EXPECT_EQ(text.substr(text.size() - (sizeof(kEndMarker) - 1)), kEndMarker);
  for (int i = 0; i < 300; ++i) {
    EXPECT_NE(
        text.find("[record " + std::to_string(i) + (i % 7 == 0 ? "\r\nsecond" : "") + "]\r\n"),
        std::string::npos)
        << i;
  }
}

TEST_F(LogFileTest, FileAtTheSizeLimitEndsAndStartsAgainFromItsBeginning) {
  auto log = MakeLog(1000);
  const std::string record(100, 'r');
  std::string text;
  // Each line is about 140 bytes: the seventh or eighth reaches 1000 bytes.
  for (int i = 0; i < 8 && text.find(kFileEnd) == std::string::npos; ++i) {
    log->WriteLog(CLogWrapper::kInfo, 0, record.c_str());
    text = ReadFile(LogName(L"20260314"));
  }
  const size_t file_end = text.find(kFileEnd);
  ASSERT_NE(file_end, std::string::npos) << text;
  EXPECT_GE(file_end, 1000u);
  EXPECT_EQ(Count(text, "This is the end"), 0u);  // FILE END took the marker's place.

  log->WriteLog(CLogWrapper::kInfo, 0, "[after the wrap]");
  text = ReadFile(LogName(L"20260314"));
  const std::string head = "current pid = " + Pid() + "\r\n[2026-03-14 15:09:26.535][t=";
  EXPECT_EQ(text.compare(0, head.size(), head), 0) << text;
  const size_t newest = text.find("[after the wrap]\r\n");
  ASSERT_NE(newest, std::string::npos);
  EXPECT_LT(newest, 200u);
  EXPECT_EQ(text.compare(newest + 18, sizeof(kEndMarker) - 1, kEndMarker), 0);
}

TEST_F(LogFileTest, FirstRecordAfterMidnightGoesToTheNewDaysFile) {
  SetNow(2026, 12, 31, 23, 59, 59, 990);
  auto log = MakeLog();
  log->WriteLog(CLogWrapper::kInfo, 0, "[old year]");
  SetNow(2027, 1, 1, 0, 0, 0, 10);
  log->WriteLog(CLogWrapper::kInfo, 0, "[new year]");
  EXPECT_EQ(log->GetLogPath(), LogName(L"20270101"));

  const std::string old_day = ReadFile(LogName(L"20261231"));
  const std::string new_day = ReadFile(LogName(L"20270101"));
  EXPECT_NE(old_day.find("[old year]"), std::string::npos);
  EXPECT_EQ(old_day.find("[new year]"), std::string::npos);
  EXPECT_NE(new_day.find("[2027-01-01 00:00:00.010]"), std::string::npos);
  EXPECT_EQ(new_day.compare(0, 14, "current pid = "), 0);
}

TEST_F(LogFileTest, ClosingPacksEveryFileIntoAPasswordArchiveWithoutReplacingOne) {
  SetNow(2026, 3, 14, 15, 9, 26, 0);
  auto log = MakeLog();
  log->WriteLog(CLogWrapper::kInfo, 0, "[kept record]");
  // An archive of the same name exists already (say, from the morning at 03:09:26).
  const std::wstring base = LogName(L"20260314");
  const std::wstring stem = base.substr(0, base.size() - 4) + L"_2026_03_14_03_09_26";
  CloseHandle(
      CreateFileW((stem + L".zlog").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr));
  const std::string content = ReadFile(base);
  ASSERT_NE(content.find("[INFO][kept record]\r\n"), std::string::npos) << content;
  log.reset();

  EXPECT_FALSE(Exists(base));
  EXPECT_EQ(ReadFile(stem + L".zlog"), "");  // Untouched.
  ExpectArchiveHolds(stem + L"_1.zlog", "TarvoLive_20260314_" + Pid() + ".log", content);
  EXPECT_EQ(FilesIn(logs_, L"*.zip").size(), 0u);
}

TEST_F(LogFileTest, FileFoundAtStartBecomesACrashArchive) {
  CreateDirectoryW(logs_.c_str(), nullptr);
  {
    std::ofstream old(LogName(L"20260314").c_str(), std::ios::binary);
    old << "left by a process that ended without closing\r\n";
  }
  SetNow(2026, 3, 14, 21, 5, 6, 0);
  auto log = MakeLog();
  const std::wstring base = LogName(L"20260314");
  const std::wstring crash = base.substr(0, base.size() - 4) + L"_2026_03_14_09_05_06crash.zlog";
  ExpectArchiveHolds(crash, "TarvoLive_20260314_" + Pid() + ".log",
                     "left by a process that ended without closing\r\n");
  log->WriteLog(CLogWrapper::kInfo, 0, "[fresh]");
  const std::string text = ReadFile(base);
  EXPECT_EQ(text.find("left by"), std::string::npos);
  EXPECT_NE(text.find("[fresh]"), std::string::npos);
}

TEST_F(LogFileTest, FileThatCannotBePackedIsKept) {
  CreateDirectoryW(logs_.c_str(), nullptr);
  const std::wstring base = LogName(L"20260314");
  {
    std::ofstream old(base.c_str(), std::ios::binary);
    old << "earlier records\r\n";
  }
  // Held open without sharing: neither the packer nor the log can open it.
  HANDLE held = CreateFileW(base.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  auto log = MakeLog();
  log->WriteLog(CLogWrapper::kInfo, 0, "[not written]");
  log.reset();
  CloseHandle(held);
  EXPECT_EQ(ReadFile(base), "earlier records\r\n");
  EXPECT_TRUE(FilesIn(logs_, L"*.zlog").empty());
  EXPECT_TRUE(FilesIn(logs_, L"*.zip").empty());
}

TEST_F(LogFileTest, StartDeletesArchivesOlderThanSevenDaysOnly) {
  CreateDirectoryW(cleanup_.c_str(), nullptr);
  CreateDirectoryW((cleanup_ + L"folder.zlog").c_str(), nullptr);
  const unsigned long long now = g_now.load();
  struct Case {
    const wchar_t* name;
    unsigned long long age_seconds;
    bool survives;
  } cases[] = {
      {L"recent.zlog", 10, true},         {L"exactly.zlog", 604800, true},
      {L"older.zlog", 604801, false},     {L"ancient.zlog", 30 * 86400, false},
      {L"ancient.log", 30 * 86400, true},
  };
  for (const Case& c : cases) {
    HANDLE file = CreateFileW((cleanup_ + c.name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    const unsigned long long created = now - c.age_seconds * 10000000ULL;
    FILETIME time{static_cast<DWORD>(created), static_cast<DWORD>(created >> 32)};
    ASSERT_TRUE(SetFileTime(file, &time, &time, &time));
    CloseHandle(file);
    WIN32_FILE_ATTRIBUTE_DATA data;
    GetFileAttributesExW((cleanup_ + c.name).c_str(), GetFileExInfoStandard, &data);
    ASSERT_EQ(data.ftCreationTime.dwLowDateTime, time.dwLowDateTime)
        << "the file system keeps no creation time";
  }
  auto log = MakeLog();
  for (const Case& c : cases) EXPECT_EQ(Exists(cleanup_ + c.name), c.survives) << Narrow(c.name);
  EXPECT_TRUE(Exists(cleanup_ + L"folder.zlog"));
}

TEST_F(LogFileTest, ManyThreadsLoggingAtOnceNeverBreakALine) {
  auto log = MakeLog();
  constexpr int kThreads = 8;
  constexpr int kRecords = 400;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&log, t] {
      for (int i = 0; i < kRecords; ++i) {
        const std::string record = "[thread " + std::to_string(t) + " record " + std::to_string(i) +
                                   " " + std::string(i % 50, 'p') + "]";
        log->WriteLog(CLogWrapper::kInfo, 0, record.c_str());
      }
    });
  }
  for (auto& thread : threads) thread.join();

  std::istringstream lines(ReadFile(LogName(L"20260314")));
  const std::regex line_format(
      R"(\[2026-03-14 15:09:26\.535\]\[t=\d+\]\[INFO\]\[thread (\d) record (\d+) p*\]\r)");
  std::string line;
  std::getline(lines, line);
  EXPECT_EQ(line, "current pid = " + Pid() + "\r");
  std::vector<int> next(kThreads, 0);
  int count = 0;
  while (std::getline(lines, line) && line.compare(0, 5, "*****") != 0) {
    std::smatch match;
    ASSERT_TRUE(std::regex_match(line, match, line_format)) << line;
    const int t = std::stoi(match[1]);
    EXPECT_EQ(std::stoi(match[2]), next[t]++);  // Each thread's records in its own order.
    ++count;
  }
  EXPECT_EQ(count, kThreads * kRecords);
}

// ---------------------------------------------------------------------------------------------

TEST(TickClockTest, CountsOnAcrossTheWrapOfTheTickCount) {
  CxTickClock clock;
  EXPECT_EQ(clock.Update(0xFFFFFF00u), 0xFFFFFF00ull);
  EXPECT_EQ(clock.Update(0xFFFFFFFFu), 0xFFFFFFFFull);
  EXPECT_EQ(clock.Update(5), 0x100000005ull);
  EXPECT_EQ(clock.Update(10), 0x10000000Aull);
  EXPECT_EQ(clock.Update(3), 0x200000003ull);
  EXPECT_LE(CxTickClock::Now(), CxTickClock::Now());
}

TEST(TickClockTest, TimeValuesKeepTheSignOfTheirSeconds) {
  struct Case {
    long long seconds, microseconds, want_seconds, want_microseconds;
  } cases[] = {
      {1, 2500000, 3, 500000},    {2, -300000, 1, 700000}, {-2, 300000, -1, -700000},
      {0, -1500000, -1, -500000}, {0, 999999, 0, 999999},  {5, -5000000, 0, 0},
  };
  for (const Case& c : cases) {
    const CxTimeValue value = CxTimeValue::Normalised(c.seconds, c.microseconds);
    EXPECT_EQ(value.seconds, c.want_seconds) << c.seconds << " " << c.microseconds;
    EXPECT_EQ(value.microseconds, c.want_microseconds) << c.seconds << " " << c.microseconds;
  }
  const CxTimeValue from_ms = CxTimeValue::FromMilliseconds(-2500);
  EXPECT_EQ(from_ms.seconds, -2);
  EXPECT_EQ(from_ms.microseconds, -500000);
}
