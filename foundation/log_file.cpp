#include "foundation/log_file.h"

#include <windows.h>

#include <cstdio>
#include <cstring>

namespace foundation::log_internal {

const char LogFile::kEndMarker[] =
    "**************  This is the end of current log message  **************";
const char LogFile::kFileEndLine[] =
    "-----------------------------  FILE END  -----------------------------";

namespace {

constexpr unsigned kMarkerLength = sizeof(LogFile::kEndMarker) - 1;
static_assert(sizeof(LogFile::kEndMarker) - 1 == 70, "end marker must be 70 characters");
static_assert(sizeof(LogFile::kFileEndLine) - 1 == 70, "FILE END line must be 70 characters");

bool FileExists(const std::wstring& path) {
  return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

}  // namespace

LogFile::LogFile(std::wstring path, bool append_at_end) : path_(std::move(path)) {
  file_.Reset(CreateFileW(path_.c_str(), GENERIC_READ | GENERIC_WRITE,
                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                          append_at_end ? OPEN_ALWAYS : CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                          nullptr));
  if (file_ && append_at_end) {
    LARGE_INTEGER size{};
    if (GetFileSizeEx(file_.Get(), &size)) {
      write_position_ =
          size.QuadPart > 0xFFFFFFFFLL ? 0xFFFFFFFFu : static_cast<unsigned>(size.QuadPart);
    }
  }
}

LogFile::~LogFile() = default;

void LogFile::Initialise(unsigned size_limit, unsigned records_per_flush, int process_id) {
  size_limit_ = size_limit;
  records_per_flush_ = records_per_flush == 0 ? 1 : records_per_flush;
  buffer_.assign(records_per_flush_ * 4096 + 70 + 1, '\0');
  buffer_used_ = 0;
  buffered_records_ = 0;
  const int n = std::snprintf(buffer_.data(), buffer_.size() - 1, "current pid = %d\n", process_id);
  if (n > 0) {
    buffer_used_ = static_cast<unsigned>(n);
    buffered_records_ = 1;
  }
  initialised_ = true;
}

void LogFile::Restart() {
  full_ = false;
  write_position_ = 0;
  initialised_ = false;
}

void LogFile::Write(const LocalTime& time, unsigned long thread_id, const char* level_name,
                    const char* text) {
  if (!file_ || full_ || !initialised_) return;
  const size_t room = buffer_.size() - 1 - buffer_used_;
  const int n = std::snprintf(buffer_.data() + buffer_used_, room,
                              "[%04d-%02d-%02d %02d:%02d:%02d.%03d][t=%lu][%s]%s\n", time.year,
                              time.month, time.day, time.hour, time.minute, time.second,
                              time.millisecond, thread_id, level_name, text);
  if (n > 0 && static_cast<size_t>(n) < room) {
    buffer_used_ += static_cast<unsigned>(n);
    ++buffered_records_;
  } else {
    buffer_[buffer_used_] = '\0';  // The line did not fit: drop it.
  }
  if (buffered_records_ >= records_per_flush_) Flush();
}

bool LogFile::WriteAt(unsigned offset, const char* data, unsigned length) {
  // A write at the handle's current position costs far less than one that carries its offset
  // (under Wine about 1.5 µs against 40 µs), so the position is moved only when it is elsewhere.
  if (offset != file_position_) {
    LARGE_INTEGER to{};
    to.QuadPart = offset;
    if (!SetFilePointerEx(file_.Get(), to, nullptr, FILE_BEGIN)) {
      file_position_ = kUnknownPosition;
      return false;
    }
    file_position_ = offset;
  }
  DWORD written = 0;
  const bool ok = WriteFile(file_.Get(), data, length, &written, nullptr) && written == length;
  file_position_ = ok ? offset + length : kUnknownPosition;
  return ok;
}

void LogFile::Flush() {
  if (!file_ || buffer_used_ == 0) return;
  // Lines end in "\r\n" on disk, also those inside a record; the marker follows the records.
  disk_bytes_.clear();
  for (unsigned i = 0; i < buffer_used_; ++i) {
    if (buffer_[i] == '\n') disk_bytes_.push_back('\r');
    disk_bytes_.push_back(buffer_[i]);
  }
  const unsigned records_length = static_cast<unsigned>(disk_bytes_.size());
  disk_bytes_.append(kEndMarker, kMarkerLength);
  disk_bytes_.append("\r\n");
  if (WriteAt(write_position_, disk_bytes_.data(), static_cast<unsigned>(disk_bytes_.size()))) {
    // The next flush starts at the marker's first byte, right behind the last record.
    write_position_ += records_length;
  }
  buffer_used_ = 0;
  buffered_records_ = 0;
  buffer_[0] = '\0';

  if (write_position_ >= size_limit_) {
    full_ = true;
    std::string line(kFileEndLine);
    line += "\r\n";
    WriteAt(write_position_, line.data(), static_cast<unsigned>(line.size()));
  }
}

void LogFile::CloseAndPack(const LocalTime& now) {
  if (file_ && initialised_ && buffer_used_ > 0 && !full_) Flush();
  buffer_.clear();
  file_.Close();
  PackLogFile(path_, false, now);
}

// ---------------------------------------------------------------------------------------------

LogFileRegistry::LogFileRegistry(std::function<LocalTime()> now) : now_(std::move(now)) {}

LogFileRegistry::~LogFileRegistry() { CloseAll(); }

LogFile* LogFileRegistry::Open(const std::wstring& path, bool keep) {
  CxAutoLock guard(lock_);
  for (auto& file : files_) {
    if (_wcsicmp(file->path().c_str(), path.c_str()) == 0) {
      if (!keep && file->full()) file->Restart();
      return file.get();
    }
  }
  // A file of this name left by a process that did not close it becomes a crash archive. If
  // it cannot be packed, it is kept and written on behind its end, so no record is lost.
  bool append = false;
  if (FileExists(path)) append = PackLogFile(path, true, now_()).empty();
  files_.insert(files_.begin(), std::make_unique<LogFile>(path, append));
  return files_.front().get();
}

void LogFileRegistry::InitialiseAll(unsigned size_limit, unsigned records_per_flush,
                                    int process_id) {
  CxAutoLock guard(lock_);
  for (auto& file : files_) {
    if (!file->initialised()) file->Initialise(size_limit, records_per_flush, process_id);
  }
}

void LogFileRegistry::CloseAll() {
  CxAutoLock guard(lock_);
  const LocalTime now = now_();
  for (auto& file : files_) file->CloseAndPack(now);
  files_.clear();
}

namespace {

LogFileRegistry* g_process_registry = nullptr;

LocalTime SystemLocalTime() {
  SYSTEMTIME t;
  GetLocalTime(&t);
  return LocalTime{t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond, t.wMilliseconds};
}

}  // namespace

LogFileRegistry* LogFileRegistry::Process() {
  // Created with the process-wide log (first use of the log, no lock); never freed. The log
  // closes its files when it is freed at exit.
  if (!g_process_registry) g_process_registry = new LogFileRegistry(&SystemLocalTime);
  return g_process_registry;
}

}  // namespace foundation::log_internal
