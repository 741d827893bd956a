#pragma once

#include <memory>
#include <string>
#include <vector>

#include "foundation/lock.h"
#include "shell/http/sys_http_client.h"

// Receives the outcome of a report that SendReport started (result 0). Called once per report,
// on the HTTP library's callback thread.
class IBugReportSink {
 public:
  static constexpr int kSent = 2;
  static constexpr int kFailed = 3;

  virtual void OnReportStatus(int status) = 0;

 protected:
  ~IBugReportSink() = default;
};

class IBugReport {
 public:
  // Result codes of SendReport.
  static constexpr int kOk = 0;
  static constexpr int kFailed = 10001;
  static constexpr int kNothingToArchive = 10008;
  static constexpr int kRefused = 10015;  // a report is pending, or the arguments are unusable
  static constexpr int kArchiveFailed = 10017;

  // Sends a diagnostic report: an optional error report (GET to `errReportURL`), the zipped
  // logs and the client's crash dump (multipart POSTs to `fileStorageURL`), then the
  // "clientDiagnosis" record naming the stored files (POST to `fileInfoURL`).
  // `nDays` 0 sends this process's log only; above 0, the logs of all processes written in the
  // last `nDays` days with the real-time SDK's logs and the render process's dump. A `pid` of 0
  // means this process.
  // Returns 0 when the upload is under way: `sink` then gets OnReportStatus exactly once.
  // Any other result means nothing more will be reported to `sink`.
  virtual int SendReport(const std::string& processName, const std::string& confId,
                         const std::string& siteId, const std::string& userId,
                         const std::string& userName, const std::string& fileStorageURL,
                         const std::string& fileInfoURL, IBugReportSink* sink,
                         const std::string& desc, int nDays, const std::string& errReportURL,
                         int pid, unsigned int serviceType) = 0;
  virtual ~IBugReport() = default;
};

// The process's report uploader. One report is pending at a time.
//
// Threads: SendReport runs on the UI thread; OnFinish on WinINet's callback threads. `lock_`
// guards all state; the sink is called after the lock is released.
class CBugReportImp : public IBugReport, public CSysHttpClientSink {
 public:
  // Created on first use, never destroyed (completions may arrive until the process ends).
  static CBugReportImp* Instance();

  int SendReport(const std::string& processName, const std::string& confId,
                 const std::string& siteId, const std::string& userId, const std::string& userName,
                 const std::string& fileStorageURL, const std::string& fileInfoURL,
                 IBugReportSink* sink, const std::string& desc, int nDays,
                 const std::string& errReportURL, int pid, unsigned int serviceType) override;

  void OnFinish(bool ok, const std::string& result, CSysHttpClient* client) override;

  // The program folder: the user's application-data folder + "\TarvoLive\".
  const std::string& ProgramFolder() const { return program_folder_; }

 private:
  CBugReportImp();
  ~CBugReportImp() override = default;

  // Each returns a result code of SendReport; 0 means the request is under way.
  bool SendErrorReport(const std::string& url);  // true when the request is under way
  int SendLog(const std::string& url, int nDays);
  int SendTodayLog(const std::string& url);
  int SendRecentLogs(const std::string& url, int nDays);
  int SendMiniDump(const std::string& url);
  int SendFile(const std::string& url, const std::string& path, bool isLog);
  int SendInfo();
  // Takes the pending sink for one status report; null when none is held.
  IBugReportSink* ReleaseSink();

  CxLock lock_;  // Protects everything below.

  std::string process_name_;
  std::string conf_id_;
  std::string site_id_;
  std::string user_id_;
  std::string user_name_;
  std::string desc_;
  std::string info_url_;
  IBugReportSink* sink_ = nullptr;  // Not owned; non-null while a report is pending.

  std::unique_ptr<CSysHttpClient> log_client_;
  std::unique_ptr<CSysHttpClient> dump_client_;
  std::unique_ptr<CSysHttpClient> info_client_;
  // Error reports need no answer; one may still be under way when the next report starts.
  std::vector<std::unique_ptr<CSysHttpClient>> error_clients_;

  std::string program_folder_;
  std::string log_address_;
  std::string dump_address_;
  std::string sent_dump_path_;
  int pid_ = 0;
  unsigned int service_type_ = 0;
};
