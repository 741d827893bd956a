#pragma once

#include <functional>
#include <memory>
#include <string>

#include "foundation/lock.h"

// The process log.
//
// Every component builds one record on the stack and hands it, with a level, to the
// process-wide `CLogWrapper`:
//
//   TVLOG_INFO_THIS() << "opened " << path << " size=" << size;   // in a member function
//   TVLOG_ERROR() << "no device";                                  // in a free function
//
// A member's record reads "[this=0x...][Class::Method:line][text]", a free function's
// "[Function:line][text]". The log echoes every record to the debugger output and writes it as
// one time-stamped line into the day's file of this process:
//   "<application data>\TarvoLive\Logs\TarvoLive_YYYYMMDD_<pid>.log".
// A file that reaches the size limit (100 MiB) ends with a FILE END line and is written again
// from its start. When the process ends every file is packed into a password-protected ZIP
// archive "<file>_YYYY_mm_dd_II_MM_SS.zlog" and removed; a file of the same name found when the
// log opens it is packed first as "<file>_..._SScrash.zlog". Archives older than seven days are
// deleted from "<program folder>\logs\" when the log starts.
//
// Thread-safe: any thread may log; one re-entrant lock serialises writing.

namespace foundation::log_internal {
class LogFile;
class LogFileRegistry;
}  // namespace foundation::log_internal

class CLogWrapper {
 public:
  // Levels, by use: kError for refusals and failures that should not happen, kWarn for
  // recoverable trouble, kInfo for the normal course, kState for state changes, kFunc for
  // call traces.
  enum Level { kError = 0, kWarn = 1, kInfo = 2, kState = 3, kFunc = 4 };

  static constexpr unsigned kDefaultSizeLimit = 104857600;  // 100 MiB per file.
  static constexpr unsigned kRecordCapacity = 4096;         // Stack buffer of one record.
  static constexpr unsigned kLevelCount = 8;
  static constexpr unsigned kModuleCount = 16;

  // Builds one record in a caller-supplied buffer without heap use. The last 64 bytes of the
  // buffer are never filled by appends, so the text is always terminated and a closing
  // bracket still fits.
  class CRecorder {
   public:
    // Argument 0 sets the hexadecimal flag (the next number is written in hexadecimal),
    // argument 1 clears it.
    struct Hex {
      int argument;
    };

    CRecorder(char* buffer, unsigned capacity);  // Zero-fills the buffer.
    virtual ~CRecorder();

    CRecorder& operator<<(const char* text);
    CRecorder& operator<<(const std::string& text);
    CRecorder& operator<<(int value);
    CRecorder& operator<<(unsigned int value);
    CRecorder& operator<<(long value);
    CRecorder& operator<<(unsigned long value);
    CRecorder& operator<<(long long value);
    CRecorder& operator<<(unsigned long long value);
    CRecorder& operator<<(double value);
    CRecorder& operator<<(Hex manipulator);
    // "0x" and the pointer in lower-case hexadecimal without leading zeros.
    CRecorder& AppendPointer(const void* pointer);
    // Appends |length| characters of |text| under the same limit as operator<<.
    CRecorder& Write(const char* text, unsigned length);

    const char* GetText() const { return buffer_; }
    unsigned GetLength() const { return length_; }

   private:
    template <typename T>
    CRecorder& AppendNumber(const char* format, const char* hex_format, T value);

    char* buffer_;
    unsigned capacity_;
    unsigned length_ = 0;
    bool hex_ = false;
  };

  // What tests inject; every empty field keeps the default.
  struct Settings {
    unsigned size_limit = kDefaultSizeLimit;
    // The current time as UTC FILETIME units (100 ns since 1601-01-01); the system clock when
    // empty. Line times, file dates, archive names and the archive clean-up all read it.
    std::function<unsigned long long()> clock;
    // Folder of the log files, ending in '\'; "<application data>\TarvoLive\Logs\" when empty.
    std::wstring log_folder;
    // Folder whose old archives are deleted at start, ending in '\'; "<program folder>\logs\"
    // when empty.
    std::wstring cleanup_folder;
  };

  // The process-wide log, created on first use. At exit, threads still logging get 200 ms to
  // finish; then the log is destroyed, which closes and packs its files. Returns null once it
  // has been destroyed.
  static CLogWrapper* Instance();

  // A log of its own (tests): its files are closed and packed when it is destroyed. Records
  // must not be written to a log while it is destroyed.
  explicit CLogWrapper(Settings settings);
  virtual ~CLogWrapper();

  CLogWrapper(const CLogWrapper&) = delete;
  CLogWrapper& operator=(const CLogWrapper&) = delete;

  // Writes one record. Levels above kLevelCount and modules above kModuleCount are ignored;
  // every call site passes module 0.
  void WriteLog(int level, int module, const char* text);

  // Path of the file in use.
  std::wstring GetLogPath();

 private:
  CLogWrapper(Settings settings, foundation::log_internal::LogFileRegistry* registry);
  unsigned long long Now() const;
  void DeleteOldArchives();
  void OpenLogFile(foundation::log_internal::LogFile* current, bool keep);

  Settings settings_;
  foundation::log_internal::LogFileRegistry* registry_;  // Not owned when process-wide.
  std::unique_ptr<foundation::log_internal::LogFileRegistry> own_registry_;
  foundation::log_internal::LogFile* current_file_ = nullptr;  // Owned by |registry_|.
  int process_id_;
  bool enabled_ = true;
  unsigned records_per_flush_ = 1;
  int day_ = 0;
  int month_ = 0;
  std::wstring current_path_;
  CxLock lock_;  // Protects everything above and the file objects' contents.
  char level_names_[kLevelCount + 1][64];
  bool level_enabled_[kLevelCount + 1];
  bool module_enabled_[kModuleCount + 1];
};

// One record of a TVLOG_ macro: collects the text and writes it to the process log when the
// statement ends.
class CLogRecord {
 public:
  CLogRecord(int level, const char* pretty_function, int line, const void* self);
  ~CLogRecord();
  CLogRecord(const CLogRecord&) = delete;
  CLogRecord& operator=(const CLogRecord&) = delete;

  CLogWrapper::CRecorder& Stream() { return recorder_; }

 private:
  int level_;
  char buffer_[CLogWrapper::kRecordCapacity];
  CLogWrapper::CRecorder recorder_;
};

// Finds "Class::Method" (or "Function") inside a compiler's __PRETTY_FUNCTION__ text, without
// copying: the name is the |*length| characters at |*begin|.
void LogFunctionName(const char* pretty_function, const char** begin, unsigned* length);

#define TVLOG_AT(level, self) CLogRecord((level), __PRETTY_FUNCTION__, __LINE__, (self)).Stream()
#define TVLOG_ERROR() TVLOG_AT(CLogWrapper::kError, nullptr)
#define TVLOG_WARN() TVLOG_AT(CLogWrapper::kWarn, nullptr)
#define TVLOG_INFO() TVLOG_AT(CLogWrapper::kInfo, nullptr)
#define TVLOG_STATE() TVLOG_AT(CLogWrapper::kState, nullptr)
#define TVLOG_FUNC() TVLOG_AT(CLogWrapper::kFunc, nullptr)
#define TVLOG_ERROR_THIS() TVLOG_AT(CLogWrapper::kError, this)
#define TVLOG_WARN_THIS() TVLOG_AT(CLogWrapper::kWarn, this)
#define TVLOG_INFO_THIS() TVLOG_AT(CLogWrapper::kInfo, this)
#define TVLOG_STATE_THIS() TVLOG_AT(CLogWrapper::kState, this)
#define TVLOG_FUNC_THIS() TVLOG_AT(CLogWrapper::kFunc, this)
