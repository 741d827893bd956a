#include "shell/report/bug_report.h"

#include <windows.h>
#include <shlobj.h>

#include <algorithm>
#include <cstdio>
#include <ctime>

#include "foundation/log.h"
#include "shell/report/report_text.h"
#include "shell/report/report_zip.h"

namespace {

constexpr long long kFileTimeTicksPerSecond = 10000000;

bool ReadWholeFile(const std::string& path, std::string* out) {
  FILE* f = fopen(path.c_str(), "rb");
  if (!f) {
    return false;
  }
  bool ok = fseek(f, 0, SEEK_END) == 0;
  const long size = ok ? ftell(f) : -1;
  ok = size >= 0 && fseek(f, 0, SEEK_SET) == 0;
  if (ok) {
    out->resize(static_cast<size_t>(size));
    ok = size == 0 || fread(&(*out)[0], 1, out->size(), f) == out->size();
  }
  fclose(f);
  return ok;
}

bool FileExists(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

long long FileTimeValue(const FILETIME& t) {
  return (static_cast<long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
}

struct FoundFile {
  std::string name;
  long long last_write;
};

// The plain files (no folders) of `folder` (ending in a backslash) that match `pattern`.
std::vector<FoundFile> ListFiles(const std::string& folder, const std::string& pattern) {
  std::vector<FoundFile> files;
  WIN32_FIND_DATAA data;
  HANDLE find = FindFirstFileA((folder + pattern).c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) {
    return files;
  }
  do {
    if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
      files.push_back({data.cFileName, FileTimeValue(data.ftLastWriteTime)});
    }
  } while (FindNextFileA(find, &data));
  FindClose(find);
  return files;
}

bool StartsWithNoCase(const std::string& text, const std::string& prefix) {
  return text.size() >= prefix.size() &&
         CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, text.c_str(),
                        static_cast<int>(prefix.size()), prefix.c_str(),
                        static_cast<int>(prefix.size())) == CSTR_EQUAL;
}

bool EndsWithNoCase(const std::string& text, const std::string& suffix) {
  return text.size() >= suffix.size() &&
         StartsWithNoCase(text.substr(text.size() - suffix.size()), suffix);
}

bool IsDate(const std::string& text) {
  return text.size() == 8 && text.find_first_not_of("0123456789") == std::string::npos;
}

// The process log names its files "<process>_YYYYMMDD_<pid>.log"; its archives add the packing
// time: "<process>_YYYYMMDD_<pid>_<time>.zlog".
bool IsProcessLog(const std::string& name, const std::string& process, const std::string& pid) {
  const std::string head = process + "_";
  const std::string tail = "_" + pid + ".log";
  return name.size() == head.size() + 8 + tail.size() && StartsWithNoCase(name, head) &&
         EndsWithNoCase(name, tail) && IsDate(name.substr(head.size(), 8));
}

bool IsProcessLogArchive(const std::string& name, const std::string& process,
                         const std::string& pid) {
  const std::string head = process + "_";
  const std::string middle = "_" + pid + "_";
  return name.size() > head.size() + 8 + middle.size() + 5 && StartsWithNoCase(name, head) &&
         IsDate(name.substr(head.size(), 8)) &&
         name.compare(head.size() + 8, middle.size(), middle) == 0 && EndsWithNoCase(name, ".zlog");
}

std::string SpecialFolder(int csidl) {
  char path[MAX_PATH] = {};
  if (!SHGetSpecialFolderPathA(nullptr, path, csidl, TRUE)) {
    return std::string();
  }
  return path;
}

std::string PointerText(const void* p) {
  char text[32];
  snprintf(text, sizeof(text), "0x%lx", static_cast<unsigned long>(reinterpret_cast<uintptr_t>(p)));
  return text;
}

}  // namespace

CBugReportImp* CBugReportImp::Instance() {
  static CBugReportImp* instance = new CBugReportImp;
  return instance;
}

CBugReportImp::CBugReportImp() {
  program_folder_ = SpecialFolder(CSIDL_APPDATA) + "\\TarvoLive";
  CreateDirectoryA(program_folder_.c_str(), nullptr);
  program_folder_ += "\\";
}

int CBugReportImp::SendReport(const std::string& processName, const std::string& confId,
                              const std::string& siteId, const std::string& userId,
                              const std::string& userName, const std::string& fileStorageURL,
                              const std::string& fileInfoURL, IBugReportSink* sink,
                              const std::string& desc, int nDays, const std::string& errReportURL,
                              int pid, unsigned int serviceType) {
  CxAutoLock guard(lock_);
  TVLOG_INFO_THIS() << "CBugReportImp::SendReport,strProcessName=" + processName +
                           ",strFileStorageURL=" + fileStorageURL +
                           ",strFileInfoURL=" + fileInfoURL + ",pSink=" + PointerText(sink) +
                           ",m_pSink=" + PointerText(sink_) + ",strErrReport=" + errReportURL +
                           ",pid=" + std::to_string(pid) + ",nDays=" + std::to_string(nDays) +
                           "<nServiceType=" + std::to_string(serviceType);
  const std::string process = processName.substr(0, processName.find(".exe"));
  if (sink_ || log_client_ || dump_client_ || info_client_ || !sink || process.empty() ||
      process.find_first_of("\\/:*?\"<>|") != std::string::npos ||
      (fileInfoURL.empty() && fileStorageURL.empty() && !errReportURL.empty())) {
    return kRefused;
  }

  process_name_ = process;
  conf_id_ = confId;
  site_id_ = siteId;
  user_id_ = userId;
  user_name_ = userName;
  desc_ = desc;
  info_url_ = fileInfoURL;
  sink_ = sink;
  pid_ = pid != 0 ? pid : static_cast<int>(GetCurrentProcessId());
  service_type_ = serviceType;
  log_address_.clear();
  dump_address_.clear();
  sent_dump_path_.clear();

  const bool error_report_started = SendErrorReport(errReportURL);
  const int log_result = SendLog(fileStorageURL, nDays);
  SendMiniDump(fileStorageURL);
  if (log_client_ || dump_client_) {
    return kOk;
  }

  // Nothing is under way that could finish this report: release the sink now, so that the
  // caller's failure result is the only outcome and the next report is not refused.
  sink_ = nullptr;
  if (error_report_started) {
    TVLOG_INFO_THIS() << "can't create";
  }
  return log_result == kNothingToArchive || log_result == kArchiveFailed ? log_result : kFailed;
}

bool CBugReportImp::SendErrorReport(const std::string& url) {
  if (url.empty()) {
    return false;
  }
  std::string request = url;
  if (request.back() != '/') {
    request += '/';
  }
  // Every value is encoded, so that no id can add or change a parameter.
  request += "report?siteid=" + UrlEncodeReportText(site_id_) +
             "&confid=" + UrlEncodeReportText(conf_id_) +
             "&userid=" + UrlEncodeReportText(user_id_) + "&userrole=3&type=1" +
             "&servicetype=" + std::to_string(service_type_) +
             "&username=" + UrlEncodeReportText(user_name_);
  auto client = std::make_unique<CSysHttpClient>();
  const bool started = client->SendRequest(request, "", "", this) == CSysHttpClient::kStarted;
  if (started) {
    error_clients_.push_back(std::move(client));
  }
  TVLOG_INFO_THIS() << "strRequest=" + request;
  return started;
}

int CBugReportImp::SendLog(const std::string& url, int nDays) {
  return nDays > 0 ? SendRecentLogs(url, nDays) : SendTodayLog(url);
}

int CBugReportImp::SendTodayLog(const std::string& url) {
  const std::string folder = program_folder_ + "Logs\\";
  const std::string pid = std::to_string(pid_);
  const std::string send_base = folder + process_name_ + "_" + pid;

  // This process's log files; a process that ran past midnight has one per day.
  std::vector<std::string> logs;
  for (const FoundFile& f : ListFiles(folder, process_name_ + "_*_" + pid + ".log")) {
    if (IsProcessLog(f.name, process_name_, pid)) {
      logs.push_back(folder + f.name);
    }
  }
  std::sort(logs.begin(), logs.end());

  if (logs.empty()) {
    // The log was already packed: send its newest archive as it is (and keep it).
    const std::string pattern = process_name_ + "_*_" + pid + "_*.zlog";
    const FoundFile* newest = nullptr;
    const std::vector<FoundFile> archives = ListFiles(folder, pattern);
    for (const FoundFile& f : archives) {
      if (IsProcessLogArchive(f.name, process_name_, pid) &&
          (!newest || f.last_write > newest->last_write)) {
        newest = &f;
      }
    }
    if (!newest) {
      TVLOG_INFO_THIS() << "can't compressfile1,strFileName=" << folder << pattern
                        << ",strSendFile=" << send_base;
      return kFailed;
    }
    return SendFile(url, folder + newest->name, true);
  }

  const std::string archive = send_base + ".zip";
  DeleteFileA(archive.c_str());
  if (ZipReportFiles(archive, logs) <= 0) {
    TVLOG_INFO_THIS() << "can't compressfile2,strFileName=" + logs.front() +
                             ",strSendFile=" + archive;
    DeleteFileA(archive.c_str());
    return kFailed;
  }
  const int result = SendFile(url, archive, true);
  DeleteFileA(archive.c_str());  // The upload holds the bytes.
  return result;
}

int CBugReportImp::SendRecentLogs(const std::string& url, int nDays) {
  const std::string folder = program_folder_ + "Logs\\";
  const std::string archive = folder + process_name_ + ".zip";
  DeleteFileA(archive.c_str());

  const std::vector<FoundFile> candidates = ListFiles(folder, process_name_ + "*.*");
  if (candidates.empty()) {
    return kNothingToArchive;
  }
  FILETIME now_time;
  GetSystemTimeAsFileTime(&now_time);
  const long long days = std::min(nDays, 36500);
  const long long oldest = FileTimeValue(now_time) - days * 86400 * kFileTimeTicksPerSecond;

  std::vector<std::string> files;
  for (const FoundFile& f : candidates) {
    if ((f.name.find(".log") != std::string::npos || f.name.find(".zlog") != std::string::npos) &&
        f.last_write >= oldest) {
      files.push_back(folder + f.name);
    }
  }
  std::sort(files.begin(), files.end());

  // The real-time SDK's own logs.
  const std::string local = SpecialFolder(CSIDL_LOCAL_APPDATA);
  if (!local.empty()) {
    const std::string sdk_folder = local + "\\TarvoVisionSdk";
    CreateDirectoryA(sdk_folder.c_str(), nullptr);
    for (const FoundFile& f : ListFiles(sdk_folder + "\\", "*")) {
      files.push_back(sdk_folder + "\\" + f.name);
    }
  }
  // The render process's crash dump.
  const std::string render_dump = program_folder_ + "TarvoLive_render.exe.dmp";
  if (FileExists(render_dump)) {
    files.push_back(render_dump);
  }
  if (files.empty()) {
    return kNothingToArchive;
  }

  const int added = ZipReportFiles(archive, files);
  if (added <= 0) {
    DeleteFileA(archive.c_str());
    return added < 0 ? kArchiveFailed : kNothingToArchive;
  }
  const int result = SendFile(url, archive, true);
  DeleteFileA(archive.c_str());  // The upload holds the bytes.
  return result;
}

int CBugReportImp::SendMiniDump(const std::string& url) {
  const std::string path = program_folder_ + process_name_ + ".exe.dmp";
  const int result = SendFile(url, path, false);
  if (result == kOk) {
    sent_dump_path_ = path;
  } else {
    sent_dump_path_.clear();
    TVLOG_INFO_THIS() << "have no dump file,strFileName=" + path;
  }
  return result;
}

int CBugReportImp::SendFile(const std::string& url, const std::string& path, bool isLog) {
  TVLOG_INFO_THIS() << "strURL=" + url + ",bLog=" + (isLog ? "1" : "0") + ",strFile=" + path;
  std::string bytes;
  if (!ReadWholeFile(path, &bytes)) {
    return kFailed;
  }
  std::unique_ptr<CSysHttpClient>& client = isLog ? log_client_ : dump_client_;
  if (!client) {
    client = std::make_unique<CSysHttpClient>();
  }
  const size_t slash = path.find_last_of('\\');
  const std::string name = site_id_ + "_" + user_id_ + "_" + conf_id_ + "_" +
                           std::to_string(static_cast<long long>(time(nullptr))) + "_" +
                           path.substr(slash == std::string::npos ? 0 : slash + 1);
  const int result = client->SendRequest(url, bytes, name, this);
  if (result != CSysHttpClient::kStarted) {
    client.reset();  // Not in flight: it must not hold the report open.
  }
  return result;
}

int CBugReportImp::SendInfo() {
  if (info_client_ || (log_address_.empty() && dump_address_.empty())) {
    TVLOG_INFO_THIS() << "CBugReportImp::SendInfo,m_http_info=" + PointerText(info_client_.get()) +
                             ",m_strLogURL=" + log_address_ + ",m_strDumpURL=" + dump_address_;
    return kFailed;
  }
  const std::string xml =
      BuildDiagnosisXml(conf_id_, user_name_, desc_, log_address_, dump_address_);
  info_client_ = std::make_unique<CSysHttpClient>();
  const int result = info_client_->SendRequest(info_url_, xml, "", this);
  TVLOG_INFO_THIS() << "CBugReportImp::SendInfo,m_strInfoURL=" + info_url_ + ",strXML=" + xml;
  if (result != CSysHttpClient::kStarted) {
    info_client_.reset();
    return kFailed;
  }
  return kOk;
}

IBugReportSink* CBugReportImp::ReleaseSink() {
  IBugReportSink* sink = sink_;
  sink_ = nullptr;
  return sink;
}

void CBugReportImp::OnFinish(bool ok, const std::string& result, CSysHttpClient* client) {
  IBugReportSink* notify = nullptr;
  int status = IBugReportSink::kFailed;
  {
    CxAutoLock guard(lock_);
    const auto error_client = std::find_if(
        error_clients_.begin(), error_clients_.end(),
        [client](const std::unique_ptr<CSysHttpClient>& c) { return c.get() == client; });
    if (error_client != error_clients_.end()) {
      // The error report needs no answer; the report's outcome is the record's.
      TVLOG_INFO_THIS() << std::string("get error response,bOK=") + (ok ? "1" : "0") +
                               ",strResult=" + result;
      error_clients_.erase(error_client);
      return;
    }
    if (client == info_client_.get()) {
      TVLOG_INFO_THIS() << std::string("get info response,bOK=") + (ok ? "1" : "0");
      info_client_.reset();
      notify = ReleaseSink();
      status = ok ? IBugReportSink::kSent : IBugReportSink::kFailed;
    } else if (client == log_client_.get() || client == dump_client_.get()) {
      const bool is_log = client == log_client_.get();
      if (is_log) {
        TVLOG_INFO_THIS() << "get log response";
        log_address_ = ok ? result : std::string();
        log_client_.reset();
      } else {
        TVLOG_INFO_THIS() << "get dump response";
        dump_address_ = ok ? result : std::string();
        dump_client_.reset();
        if (ok && !sent_dump_path_.empty()) {
          DeleteFileA(sent_dump_path_.c_str());
          sent_dump_path_.clear();
        }
      }
      if (!ok) {
        notify = ReleaseSink();
      } else if (!log_client_ && !dump_client_ && SendInfo() != kOk) {
        notify = ReleaseSink();
      }
    } else {
      TVLOG_INFO_THIS() << "unknown client " + PointerText(client);
      return;
    }
  }
  if (notify) {
    notify->OnReportStatus(status);
  }
}
