#include "foundation/log.h"

#include <windows.h>

#include <shlobj.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "foundation/log_file.h"

using foundation::log_internal::LocalTime;
using foundation::log_internal::LogFile;
using foundation::log_internal::LogFileRegistry;

namespace {

constexpr unsigned kRecorderReserve = 64;                     // Bytes every record keeps free.
constexpr unsigned long long kArchiveMaxAgeSeconds = 604800;  // Seven days.
constexpr unsigned long long kFileTimeUnitsPerSecond = 10000000;

unsigned long long SystemClock() {
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  return (static_cast<unsigned long long>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
}

LocalTime ToLocalTime(unsigned long long utc) {
  FILETIME utc_time{static_cast<DWORD>(utc), static_cast<DWORD>(utc >> 32)};
  FILETIME local_time;
  SYSTEMTIME t{};
  if (!FileTimeToLocalFileTime(&utc_time, &local_time) || !FileTimeToSystemTime(&local_time, &t)) {
    GetLocalTime(&t);
  }
  return LocalTime{t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond, t.wMilliseconds};
}

std::wstring WithTrailingSlash(std::wstring folder) {
  if (!folder.empty() && folder.back() != L'\\' && folder.back() != L'/') folder += L'\\';
  return folder;
}

std::wstring DefaultLogFolder() {
  wchar_t app_data[MAX_PATH] = {};
  if (FAILED(SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, app_data))) {
    return L".\\TarvoLive\\Logs\\";
  }
  return WithTrailingSlash(app_data) + L"TarvoLive\\Logs\\";
}

// "<program folder>\logs\", found once.
std::wstring DefaultCleanupFolder() {
  static const std::wstring folder = [] {
    wchar_t path[1024] = {};
    const DWORD n = GetModuleFileNameW(nullptr, path, 1024);
    std::wstring program(path, n);
    const size_t slash = program.find_last_of(L"\\/");
    if (n == 0 || n >= 1024 || slash == std::wstring::npos) return std::wstring(L"/tmp\\logs\\");
    return program.substr(0, slash) + L"\\logs\\";
  }();
  return folder;
}

// Creates |folder| and its missing parents.
void CreateFolders(const std::wstring& folder) {
  for (size_t i = 0; i <= folder.size(); ++i) {
    if (i == folder.size() || folder[i] == L'\\' || folder[i] == L'/') {
      const std::wstring part = folder.substr(0, i);
      if (!part.empty() && part.back() != L':') CreateDirectoryW(part.c_str(), nullptr);
    }
  }
}

void CopyLevelName(char (&target)[64], const char* name) {
  std::strncpy(target, name, sizeof(target) - 1);
  target[sizeof(target) - 1] = '\0';
}

// The record and its line end in one debugger message: each message is costly (an exception
// is raised to reach a debugger).
void EchoToDebugger(const char* text) {
  char line[CLogWrapper::kRecordCapacity + 2];
  const size_t n = strnlen(text, CLogWrapper::kRecordCapacity);
  if (text[n] != '\0') {
    OutputDebugStringA(text);
    OutputDebugStringA("\n");
    return;
  }
  std::memcpy(line, text, n);
  line[n] = '\n';
  line[n + 1] = '\0';
  OutputDebugStringA(line);
}

constexpr DWORD kExitGraceMs = 200;  // Time threads still logging get to finish at exit.

CLogWrapper* g_instance = nullptr;
std::atomic<bool> g_instance_destroyed{false};

// Ends the process-wide log at exit: threads still writing first get the grace, then no new
// record reaches the log and it is freed, which closes and packs its files.
void DestroyInstanceAtExit() {
  Sleep(kExitGraceMs);
  CLogWrapper* instance = g_instance;
  g_instance = nullptr;
  g_instance_destroyed = true;
  delete instance;
}

}  // namespace

// ---------------------------------------------------------------------------------------------

CLogWrapper::CRecorder::CRecorder(char* buffer, unsigned capacity)
    : buffer_(buffer), capacity_(capacity) {
  if (buffer_ && capacity_ > 0) std::memset(buffer_, 0, capacity_);
}

CLogWrapper::CRecorder::~CRecorder() = default;

CLogWrapper::CRecorder& CLogWrapper::CRecorder::Write(const char* text, unsigned length) {
  if (!buffer_ || !text || capacity_ < kRecorderReserve + length_) return *this;
  const unsigned room = capacity_ - length_ - kRecorderReserve;
  const unsigned n = length < room ? length : room;
  std::memcpy(buffer_ + length_, text, n);
  length_ += n;
  buffer_[length_] = '\0';
  return *this;
}

CLogWrapper::CRecorder& CLogWrapper::CRecorder::operator<<(const char* text) {
  if (!text) return *this;
  return Write(text, static_cast<unsigned>(std::strlen(text)));
}

CLogWrapper::CRecorder& CLogWrapper::CRecorder::operator<<(const std::string& text) {
  return Write(text.data(), static_cast<unsigned>(text.size()));
}

template <typename T>
CLogWrapper::CRecorder& CLogWrapper::CRecorder::AppendNumber(const char* format,
                                                             const char* hex_format, T value) {
  char digits[32];
  const int n = std::snprintf(digits, sizeof(digits), hex_ ? hex_format : format, value);
  hex_ = false;
  if (n > 0) Write(digits, static_cast<unsigned>(n));
  return *this;
}

CLogWrapper::CRecorder& CLogWrapper::CRecorder::operator<<(int value) {
  return AppendNumber("%d", "%x", value);
}
CLogWrapper::CRecorder& CLogWrapper::CRecorder::operator<<(unsigned int value) {
  return AppendNumber("%u", "%x", value);
}
CLogWrapper::CRecorder& CLogWrapper::CRecorder::operator<<(long value) {
  return AppendNumber("%ld", "%lx", value);
}
CLogWrapper::CRecorder& CLogWrapper::CRecorder::operator<<(unsigned long value) {
  return AppendNumber("%lu", "%lx", value);
}
CLogWrapper::CRecorder& CLogWrapper::CRecorder::operator<<(long long value) {
  return AppendNumber("%lld", "%llx", value);
}
CLogWrapper::CRecorder& CLogWrapper::CRecorder::operator<<(unsigned long long value) {
  return AppendNumber("%llu", "%llx", value);
}
CLogWrapper::CRecorder& CLogWrapper::CRecorder::operator<<(double value) {
  hex_ = false;
  char digits[64];
  const int n = std::snprintf(digits, sizeof(digits), "%g", value);
  if (n > 0) Write(digits, static_cast<unsigned>(n < 63 ? n : 63));
  return *this;
}

CLogWrapper::CRecorder& CLogWrapper::CRecorder::operator<<(Hex manipulator) {
  hex_ = manipulator.argument == 0;
  return *this;
}

CLogWrapper::CRecorder& CLogWrapper::CRecorder::AppendPointer(const void* pointer) {
  char digits[32];
  const int n =
      std::snprintf(digits, sizeof(digits), "0x%llx",
                    static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(pointer)));
  if (n > 0) Write(digits, static_cast<unsigned>(n));
  return *this;
}

// ---------------------------------------------------------------------------------------------

CLogWrapper* CLogWrapper::Instance() {
  // Created once, on first use (normally on the main thread at start-up); a racing first use
  // from another thread still gets the same log.
  static CLogWrapper* const created = [] {
    g_instance = new CLogWrapper(Settings(), LogFileRegistry::Process());
    std::atexit(&DestroyInstanceAtExit);
    return g_instance;
  }();
  return g_instance_destroyed ? nullptr : created;
}

CLogWrapper::CLogWrapper(Settings settings) : CLogWrapper(std::move(settings), nullptr) {}

CLogWrapper::CLogWrapper(Settings settings, LogFileRegistry* registry)
    : settings_(std::move(settings)), registry_(registry), process_id_(_getpid()) {
  if (!settings_.clock) settings_.clock = &SystemClock;
  settings_.log_folder =
      settings_.log_folder.empty() ? DefaultLogFolder() : WithTrailingSlash(settings_.log_folder);
  settings_.cleanup_folder = settings_.cleanup_folder.empty()
                                 ? DefaultCleanupFolder()
                                 : WithTrailingSlash(settings_.cleanup_folder);
  if (!registry_) {
    auto clock = settings_.clock;
    own_registry_ = std::make_unique<LogFileRegistry>([clock] { return ToLocalTime(clock()); });
    registry_ = own_registry_.get();
  }

  static const char* const kLevelNames[] = {"ERROR", "WARN", "INFO", "STATE", "FUNC"};
  for (unsigned i = 0; i <= kLevelCount; ++i) {
    CopyLevelName(level_names_[i], i < 5 ? kLevelNames[i] : "");
    level_enabled_[i] = true;
  }
  for (unsigned i = 0; i <= kModuleCount; ++i) module_enabled_[i] = true;

  const LocalTime today = ToLocalTime(Now());
  day_ = today.day;
  month_ = today.month;
  DeleteOldArchives();
  OpenLogFile(nullptr, false);
}

CLogWrapper::~CLogWrapper() {
  // Waits for a record in progress; a record that comes later finds no file.
  CxAutoLock guard(lock_);
  enabled_ = false;
  current_file_ = nullptr;
  if (own_registry_) {
    own_registry_.reset();
  } else {
    registry_->CloseAll();
  }
}

unsigned long long CLogWrapper::Now() const { return settings_.clock(); }

void CLogWrapper::DeleteOldArchives() {
  const std::wstring& folder = settings_.cleanup_folder;
  WIN32_FIND_DATAW entry;
  HANDLE find = FindFirstFileW((folder + L"*.zlog").c_str(), &entry);
  if (find == INVALID_HANDLE_VALUE) return;
  const unsigned long long now = Now();
  do {
    if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
    const unsigned long long created =
        (static_cast<unsigned long long>(entry.ftCreationTime.dwHighDateTime) << 32) |
        entry.ftCreationTime.dwLowDateTime;
    if (created < now && (now - created) / kFileTimeUnitsPerSecond > kArchiveMaxAgeSeconds) {
      DeleteFileW((folder + entry.cFileName).c_str());
    }
  } while (FindNextFileW(find, &entry));
  FindClose(find);
}

void CLogWrapper::OpenLogFile(LogFile* current, bool keep) {
  if (!enabled_) return;
  CxAutoLock guard(lock_);
  if (!current && current_file_) return;

  CreateDirectoryW(settings_.cleanup_folder.c_str(), nullptr);
  CreateFolders(settings_.log_folder);
  const LocalTime today = ToLocalTime(Now());
  wchar_t name[64];
  swprintf(name, 64, L"TarvoLive_%04d%02d%02d_%d.log", today.year, today.month, today.day,
           process_id_);
  current_path_ = settings_.log_folder + name;
  current_file_ = registry_->Open(current_path_, keep);
  registry_->InitialiseAll(settings_.size_limit, records_per_flush_, process_id_);
}

void CLogWrapper::WriteLog(int level, int module, const char* text) {
  if (level < 0 || level > static_cast<int>(kLevelCount) || module < 0 ||
      module > static_cast<int>(kModuleCount) || !text) {
    return;
  }
  CxAutoLock guard(lock_);
  const LocalTime now = ToLocalTime(Now());
  // A new day starts a new file before the record is written, so the first record after
  // midnight is in the new day's file.
  if (now.day != day_ || now.month != month_) {
    day_ = now.day;
    month_ = now.month;
    OpenLogFile(current_file_, true);
  }
  if (current_file_ && enabled_) {
    EchoToDebugger(text);
    if (level_enabled_[level] && module_enabled_[module]) {
      current_file_->Write(now, GetCurrentThreadId(), level_names_[level], text);
    }
  }
  // A file that reached the size limit is written again from its start.
  if (current_file_ && current_file_->full()) OpenLogFile(current_file_, false);
}

std::wstring CLogWrapper::GetLogPath() {
  CxAutoLock guard(lock_);
  return current_path_;
}

// ---------------------------------------------------------------------------------------------

void LogFunctionName(const char* pretty, const char** begin, unsigned* length) {
  *begin = pretty;
  *length = 0;
  if (!pretty) return;
  // The name ends at the first "(" outside template brackets; it starts after the last space
  // outside template brackets before that (the return type and specifiers come first).
  int depth = 0;
  const char* start = pretty;
  const char* p = pretty;
  for (; *p; ++p) {
    if (*p == '<') {
      ++depth;
    } else if (*p == '>') {
      if (depth > 0) --depth;
    } else if (depth == 0 && *p == ' ') {
      start = p + 1;
    } else if (depth == 0 && *p == '(') {
      break;
    }
  }
  while (*start == '*' || *start == '&') ++start;
  *begin = start;
  *length = static_cast<unsigned>(p - start);
}

CLogRecord::CLogRecord(int level, const char* pretty_function, int line, const void* self)
    : level_(level), recorder_(buffer_, sizeof(buffer_)) {
  if (self) {
    recorder_ << "[this=";
    recorder_.AppendPointer(self);
    recorder_ << "]";
  }
  const char* name = nullptr;
  unsigned length = 0;
  LogFunctionName(pretty_function, &name, &length);
  recorder_ << "[";
  recorder_.Write(name, length);
  recorder_ << ":" << line << "][";
}

CLogRecord::~CLogRecord() {
  // The recorder always keeps room for the closing bracket.
  const unsigned n = recorder_.GetLength();
  buffer_[n] = ']';
  buffer_[n + 1] = '\0';
  if (CLogWrapper* log = CLogWrapper::Instance()) log->WriteLog(level_, 0, buffer_);
}
