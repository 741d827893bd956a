#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "foundation/handle.h"
#include "foundation/lock.h"
#include "foundation/log_archive.h"

// The open log files of a log and their registry. Used by CLogWrapper only; the caller holds
// the log's lock around every call on a LogFile.
namespace foundation::log_internal {

// One open log file. Lines are buffered and written at the file's write position, followed by
// the end marker that the next write overwrites. The bytes on disk end their lines with "\r\n".
class LogFile {
 public:
  static const char kEndMarker[];  // Without its line end; 70 characters.
  static const char kFileEndLine[];

  // Opens |path| for writing from the start. When the file could only be kept (|append_at_end|)
  // writing continues behind its current end instead.
  LogFile(std::wstring path, bool append_at_end);
  ~LogFile();

  LogFile(const LogFile&) = delete;
  LogFile& operator=(const LogFile&) = delete;

  // Sets the limits, empties the buffer and puts "current pid = <pid>" into it.
  void Initialise(unsigned size_limit, unsigned records_per_flush, int process_id);
  // Starts the file again from its beginning (after it reached the size limit).
  void Restart();

  // Formats one line into the buffer and flushes when enough records are buffered. A line
  // that does not fit the buffer is dropped.
  void Write(const LocalTime& time, unsigned long thread_id, const char* level_name,
             const char* text);
  // Flushes what is buffered, closes the file and packs it into an archive.
  void CloseAndPack(const LocalTime& now);

  const std::wstring& path() const { return path_; }
  bool initialised() const { return initialised_; }
  bool full() const { return full_; }
  unsigned write_position() const { return write_position_; }

 private:
  void Flush();
  // Writes |data| at |offset|, moving the handle's position there first when it is elsewhere.
  bool WriteAt(unsigned offset, const char* data, unsigned length);

  static constexpr unsigned kUnknownPosition = 0xFFFFFFFFu;

  std::wstring path_;
  CxHandle file_;
  bool full_ = false;
  bool initialised_ = false;
  unsigned write_position_ = 0;  // Offset of the end marker: where the next flush starts.
  unsigned file_position_ = 0;   // The handle's own position, or kUnknownPosition.
  unsigned size_limit_ = 0;
  unsigned records_per_flush_ = 1;
  std::vector<char> buffer_;  // Lines with "\n" ends; records per flush × 4096 + 70 (+1).
  unsigned buffer_used_ = 0;
  unsigned buffered_records_ = 0;
  std::string disk_bytes_;  // The buffer with "\r\n" line ends, reused by every flush.
};

// The files of one log, keyed by path.
class LogFileRegistry {
 public:
  explicit LogFileRegistry(std::function<LocalTime()> now);
  // Closes and packs every file.
  ~LogFileRegistry();

  LogFileRegistry(const LogFileRegistry&) = delete;
  LogFileRegistry& operator=(const LogFileRegistry&) = delete;

  // The file of |path|, created when missing. A file of that path already on disk is packed
  // as a crash archive first. A full file is restarted unless |keep|.
  LogFile* Open(const std::wstring& path, bool keep);
  // Initialises every file not yet initialised.
  void InitialiseAll(unsigned size_limit, unsigned records_per_flush, int process_id);
  // Flushes, closes and packs every file and forgets them.
  void CloseAll();

  // The registry of the process-wide log, never freed; the log closes its files at exit.
  static LogFileRegistry* Process();

 private:
  std::function<LocalTime()> now_;
  CxLock lock_;                                  // Protects |files_|; taken inside the log's lock.
  std::vector<std::unique_ptr<LogFile>> files_;  // Newest first.
};

}  // namespace foundation::log_internal
