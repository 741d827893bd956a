#include "shell/report/bug_report.h"

#include <windows.h>
#include <shlobj.h>

#include <minizip/unzip.h>

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "shell/http/tests/recording_server.h"
#include "shell/report/report_text.h"

namespace {

using http_testing::RecordedRequest;

class StatusSink : public IBugReportSink {
 public:
  void OnReportStatus(int status) override {
    std::lock_guard<std::mutex> lock(mutex_);
    statuses_.push_back(status);
    done_.notify_all();
  }
  // The first status, or 0 after a time-out.
  int Wait(int ms = 20000) {
    std::unique_lock<std::mutex> lock(mutex_);
    done_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return !statuses_.empty(); });
    return statuses_.empty() ? 0 : statuses_.front();
  }
  std::vector<int> statuses() {
    std::lock_guard<std::mutex> lock(mutex_);
    return statuses_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable done_;
  std::vector<int> statuses_;
};

std::string SpecialFolder(int csidl) {
  char path[MAX_PATH] = {};
  SHGetSpecialFolderPathA(nullptr, path, csidl, TRUE);
  return path;
}

bool Exists(const std::string& path) {
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Writes `content` to `path` and dates its last write `age_seconds` back.
void WriteFileAged(const std::string& path, const std::string& content, int age_seconds = 60) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE) << path;
  DWORD written = 0;
  WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  ULARGE_INTEGER t;
  t.LowPart = now.dwLowDateTime;
  t.HighPart = now.dwHighDateTime;
  t.QuadPart -= static_cast<unsigned long long>(age_seconds) * 10000000ULL;
  FILETIME aged{t.LowPart, t.HighPart};
  SetFileTime(file, nullptr, nullptr, &aged);
  CloseHandle(file);
}

// Name and content of every entry of a ZIP archive given as bytes.
std::map<std::string, std::string> ZipEntries(const std::string& bytes) {
  std::map<std::string, std::string> entries;
  char temp_dir[MAX_PATH];
  char temp_path[MAX_PATH];
  GetTempPathA(MAX_PATH, temp_dir);
  GetTempFileNameA(temp_dir, "rpt", 0, temp_path);
  FILE* f = fopen(temp_path, "wb");
  fwrite(bytes.data(), 1, bytes.size(), f);
  fclose(f);
  unzFile zip = unzOpen64(temp_path);
  if (zip) {
    for (int r = unzGoToFirstFile(zip); r == UNZ_OK; r = unzGoToNextFile(zip)) {
      char name[512];
      unz_file_info64 info;
      unzGetCurrentFileInfo64(zip, &info, name, sizeof(name), nullptr, 0, nullptr, 0);
      std::string content(static_cast<size_t>(info.uncompressed_size), '\0');
      unzOpenCurrentFile(zip);
      if (!content.empty()) {
        unzReadCurrentFile(zip, &content[0], static_cast<unsigned>(content.size()));
      }
      unzCloseCurrentFile(zip);
      entries[name] = content;
    }
    unzClose(zip);
  }
  DeleteFileA(temp_path);
  return entries;
}

bool EndsWith(const std::string& text, const std::string& suffix) {
  return text.size() >= suffix.size() &&
         text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

std::string Today() {
  SYSTEMTIME t;
  GetLocalTime(&t);
  char text[16];
  snprintf(text, sizeof(text), "%04d%02d%02d", t.wYear, t.wMonth, t.wDay);
  return text;
}

class BugReportTest : public ::testing::Test {
 protected:
  void SetUp() override {
    base_ = http_testing::ServerBase();
    ASSERT_FALSE(base_.empty()) << "recording server not running";
    report_ = CBugReportImp::Instance();
    program_ = report_->ProgramFolder();
    logs_ = program_ + "Logs\\";
    CreateDirectoryA(logs_.c_str(), nullptr);
    sdk_ = SpecialFolder(CSIDL_LOCAL_APPDATA) + "\\TarvoVisionSdk\\";
    CreateDirectoryA(sdk_.c_str(), nullptr);
    store_ = http_testing::UniqueSegment("store");
    info_ = http_testing::UniqueSegment("info");
    err_ = http_testing::UniqueSegment("err");
  }

  void TearDown() override {
    for (const std::string& path : created_) {
      DeleteFileA(path.c_str());
    }
    // Let requests of a finished test end before the next one starts.
    Sleep(100);
  }

  std::string Make(const std::string& path, const std::string& content, int age_seconds = 60) {
    WriteFileAged(path, content, age_seconds);
    created_.push_back(path);
    return path;
  }

  std::string StoreUrl(const std::string& query = "") {
    return base_ + "/" + store_ + "/traupload" + query;
  }
  std::string InfoUrl() { return base_ + "/" + info_ + "/apichannel?sc=1"; }
  std::string ErrUrl() { return base_ + "/" + err_; }

  int Send(const std::string& process, IBugReportSink* sink, int days, const std::string& store_url,
           const std::string& err_url = "", int pid = 0, const std::string& desc = "") {
    return report_->SendReport(process, "C1", "S1", "U1", "a b&c", store_url, InfoUrl(), sink, desc,
                               days, err_url, pid, 7);
  }

  // The upload recorded under the store segment whose file name ends with `suffix`.
  bool FindUpload(const std::string& suffix, RecordedRequest* out) {
    for (int n = 0; n < http_testing::RequestCount(store_); ++n) {
      if (http_testing::WaitForRequest(store_, n, out) && EndsWith(out->file_name, suffix)) {
        return true;
      }
    }
    return false;
  }

  CBugReportImp* report_ = nullptr;
  std::string base_, program_, logs_, sdk_;
  std::string store_, info_, err_;
  std::vector<std::string> created_;
};

}  // namespace

TEST_F(BugReportTest, MultiDayReportSendsRecentLogsDumpsAndRecord) {
  Make(logs_ + "RptMulti_20261209_111.log", "recent log", 3600);
  Make(logs_ + "RptMulti_20261208_222_2026_12_08_01_00_00.zlog", "packed log", 7200);
  Make(logs_ + "RptMulti_20261201_333.log", "old log", 3 * 86400);
  Make(logs_ + "RptMulti_notes.txt", "not a log", 60);
  Make(logs_ + "RptMulti.zip", "stale archive", 60);
  Make(sdk_ + "sdk_test.log", "sdk log");
  Make(program_ + "TarvoLive_render.exe.dmp", "render dump");
  const std::string dump = Make(program_ + "RptMulti.exe.dmp", "client dump");

  StatusSink sink;
  ASSERT_EQ(Send("RptMulti.exe", &sink, 1, StoreUrl(), ErrUrl(), 0, "desc ]]> x"), 0);
  EXPECT_EQ(sink.Wait(), IBugReportSink::kSent);

  RecordedRequest log_upload, dump_upload;
  ASSERT_TRUE(FindUpload("_RptMulti.zip", &log_upload));
  ASSERT_TRUE(FindUpload("_RptMulti.exe.dmp", &dump_upload));
  EXPECT_EQ(log_upload.file_name.rfind("S1_U1_C1_", 0), 0u) << log_upload.file_name;
  const std::map<std::string, std::string> expected = {
      {"RptMulti_20261209_111.log", "recent log"},
      {"RptMulti_20261208_222_2026_12_08_01_00_00.zlog", "packed log"},
      {"sdk_test.log", "sdk log"},
      {"TarvoLive_render.exe.dmp", "render dump"},
  };
  EXPECT_EQ(ZipEntries(log_upload.file), expected);
  EXPECT_EQ(dump_upload.file, "client dump");

  RecordedRequest record;
  ASSERT_TRUE(http_testing::WaitForRequest(info_, 0, &record));
  EXPECT_EQ(record.head.rfind("POST /" + info_ + "/apichannel?sc=1 HTTP/1.1\r\n", 0), 0u);
  EXPECT_EQ(record.body,
            BuildDiagnosisXml("C1", "a b&c", "desc ]]> x", "stored:" + log_upload.file_name,
                              "stored:" + dump_upload.file_name));

  RecordedRequest error_report;
  ASSERT_TRUE(http_testing::WaitForRequest(err_, 0, &error_report));
  EXPECT_EQ(error_report.head.rfind("GET /" + err_ +
                                        "/report?siteid=S1&confid=C1&userid=U1&userrole=3&type=1"
                                        "&servicetype=7&username=a+b%26c HTTP/1.1\r\n",
                                    0),
            0u)
      << error_report.head;

  EXPECT_FALSE(Exists(dump)) << "a sent dump is deleted";
  EXPECT_FALSE(Exists(logs_ + "RptMulti.zip")) << "the archive is temporary";
  EXPECT_TRUE(Exists(logs_ + "RptMulti_20261209_111.log"));
  EXPECT_EQ(sink.statuses().size(), 1u);
}

TEST_F(BugReportTest, OneDayReportSendsThisProcessLog) {
  const std::string pid = std::to_string(GetCurrentProcessId());
  const std::string mine = "RptOne_" + Today() + "_" + pid + ".log";
  Make(logs_ + mine, "my log");
  Make(logs_ + "RptOne_" + Today() + "_99999.log", "another process");

  StatusSink sink;
  ASSERT_EQ(Send("RptOne", &sink, 0, StoreUrl()), 0);
  EXPECT_EQ(sink.Wait(), IBugReportSink::kSent);

  RecordedRequest upload;
  ASSERT_TRUE(FindUpload("_RptOne_" + pid + ".zip", &upload));
  EXPECT_EQ(http_testing::RequestCount(store_), 1) << "no dump, no dump upload";
  const std::map<std::string, std::string> expected = {{mine, "my log"}};
  EXPECT_EQ(ZipEntries(upload.file), expected);
  EXPECT_FALSE(Exists(logs_ + "RptOne_" + pid + ".zip"));

  RecordedRequest record;
  ASSERT_TRUE(http_testing::WaitForRequest(info_, 0, &record));
  EXPECT_EQ(record.body, BuildDiagnosisXml("C1", "a b&c", "", "stored:" + upload.file_name, ""));
}

TEST_F(BugReportTest, OneDayReportSendsPackedLogUnchanged) {
  const std::string packed = "RptZ_20261209_4242_2026_12_09_10_00_00.zlog";
  Make(logs_ + packed, std::string("PK\x03\x04 packed", 11));

  StatusSink sink;
  ASSERT_EQ(Send("RptZ", &sink, 0, StoreUrl(), "", 4242), 0);
  EXPECT_EQ(sink.Wait(), IBugReportSink::kSent);

  RecordedRequest upload;
  ASSERT_TRUE(FindUpload("_" + packed, &upload));
  EXPECT_EQ(upload.file, std::string("PK\x03\x04 packed", 11));
  EXPECT_TRUE(Exists(logs_ + packed)) << "a packed log is kept";
}

TEST_F(BugReportTest, SecondReportWhilePendingAndBadArgumentsAreRefused) {
  Make(logs_ + "RptBusy_" + Today() + "_77.log", "log");
  StatusSink sink, other;
  struct Case {
    const char* what;
    std::string process;
    IBugReportSink* sink;
    std::string store, info, err;
  } bad[] = {
      {"no sink", "RptBusy", nullptr, StoreUrl(), InfoUrl(), ""},
      {"no process name", "", &other, StoreUrl(), InfoUrl(), ""},
      {"process name only .exe", ".exe", &other, StoreUrl(), InfoUrl(), ""},
      {"process name with a path", "..\\RptBusy", &other, StoreUrl(), InfoUrl(), ""},
      {"error report without file endpoints", "RptBusy", &other, "", "", ErrUrl()},
  };
  for (const Case& c : bad) {
    EXPECT_EQ(report_->SendReport(c.process, "C1", "S1", "U1", "u", c.store, c.info, c.sink, "", 0,
                                  c.err, 77, 0),
              IBugReport::kRefused)
        << c.what;
  }

  ASSERT_EQ(Send("RptBusy", &sink, 0, StoreUrl("?delay=1500"), "", 77), 0);
  EXPECT_EQ(Send("RptBusy", &other, 0, StoreUrl(), "", 77), IBugReport::kRefused);
  EXPECT_EQ(sink.Wait(), IBugReportSink::kSent);
  Sleep(300);
  EXPECT_TRUE(other.statuses().empty());
  EXPECT_EQ(http_testing::RequestCount(store_), 1);
}

TEST_F(BugReportTest, RejectedUploadReportsFailureAndSendsNoRecord) {
  Make(logs_ + "RptFail_" + Today() + "_78.log", "log");
  // Refused, no answer at all, and a stored-file address cut off before its end.
  for (const char* query : {"?status=500", "?close=1", "?size=64&cut=20"}) {
    SCOPED_TRACE(query);
    StatusSink sink;
    ASSERT_EQ(Send("RptFail", &sink, 0, StoreUrl(query), "", 78), 0);
    EXPECT_EQ(sink.Wait(), IBugReportSink::kFailed);
    Sleep(300);
    EXPECT_EQ(http_testing::RequestCount(info_), 0);
    EXPECT_EQ(sink.statuses().size(), 1u);
  }
}

TEST_F(BugReportTest, FailedLogUploadReportsAtOnceAndLaterDumpStillSendsRecord) {
  Make(logs_ + "RptHalf_" + Today() + "_80.log", "log");
  const std::string dump = Make(program_ + "RptHalf.exe.dmp", "dump");

  StatusSink sink;
  ASSERT_EQ(
      Send("RptHalf", &sink, 0, StoreUrl("?fail_file=.zip&delay=1000&delay_file=.dmp"), "", 80), 0);
  EXPECT_EQ(sink.Wait(), IBugReportSink::kFailed);
  EXPECT_EQ(http_testing::RequestCount(info_), 0) << "reported before the dump upload ended";

  RecordedRequest record, dump_upload;
  ASSERT_TRUE(http_testing::WaitForRequest(info_, 0, &record));
  ASSERT_TRUE(FindUpload("_RptHalf.exe.dmp", &dump_upload));
  EXPECT_EQ(record.body,
            BuildDiagnosisXml("C1", "a b&c", "", "", "stored:" + dump_upload.file_name));
  Sleep(300);
  EXPECT_EQ(sink.statuses(), std::vector<int>{IBugReportSink::kFailed});
  EXPECT_FALSE(Exists(dump));
}

TEST_F(BugReportTest, ReportThatCannotStartReleasesItsSink) {
  for (const char* name : {"sdk_test.log"}) {
    DeleteFileA((sdk_ + name).c_str());
  }
  DeleteFileA((program_ + "TarvoLive_render.exe.dmp").c_str());
  // An archive path that is taken by a folder cannot be written.
  Make(logs_ + "RptDir_" + Today() + "_79.log", "log");
  CreateDirectoryA((logs_ + "RptDir.zip").c_str(), nullptr);

  struct Case {
    const char* what;
    const char* process;
    int days;
    bool error_report;
    int result;
  } cases[] = {
      {"no logs at all", "RptNone", 1, false, IBugReport::kNothingToArchive},
      {"no logs, only the error report starts", "RptNone", 1, true, IBugReport::kNothingToArchive},
      {"no log of this process", "RptNone", 0, false, IBugReport::kFailed},
      {"no log of this process, only the error report starts", "RptNone", 0, true,
       IBugReport::kFailed},
      {"archive cannot be written", "RptDir", 1, false, IBugReport::kArchiveFailed},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    StatusSink sink;
    EXPECT_EQ(Send(c.process, &sink, c.days, StoreUrl(), c.error_report ? ErrUrl() : "", 79),
              c.result);
    Sleep(200);
    EXPECT_TRUE(sink.statuses().empty());
  }
  RemoveDirectoryA((logs_ + "RptDir.zip").c_str());
  EXPECT_EQ(http_testing::RequestCount(store_), 0);
  RecordedRequest second;
  EXPECT_TRUE(http_testing::WaitForRequest(err_, 1, &second));
  EXPECT_EQ(http_testing::RequestCount(err_), 2);
}
