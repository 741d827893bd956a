#pragma once

#include <string>

// Packing of log files into password-protected ZIP archives (".zlog"). Used by the log only.
namespace foundation::log_internal {

// The password of every log archive.
extern const char kLogArchivePassword[];

// A local wall-clock time.
struct LocalTime {
  int year, month, day, hour, minute, second, millisecond;
};

// Packs the file at |path| into "<path without extension>_YYYY_mm_dd_II_MM_SS[crash].zlog"
// (|local_time|, 12-hour clock) and removes the file. An existing archive is never replaced: a
// taken name gets "_1", "_2", ... before ".zlog". The file is stored under its bare name.
// Returns the archive's path; returns an empty text and keeps the file when there was no file
// or the archive could not be written and renamed.
std::wstring PackLogFile(const std::wstring& path, bool crash, const LocalTime& local_time);

}  // namespace foundation::log_internal
