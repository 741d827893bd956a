#pragma once

#include <cstdint>
#include <string>

// Facts about the machine and the program that start-up writes into the log.

struct OsVersionNumbers {
  unsigned major = 0;
  unsigned minor = 0;
  unsigned build = 0;
};

// "<name> X64|X86, Build: major.minor.build"; "Windows Unkown Version" when |numbers| is null
// (the query failed). Versions 5 and 6 with an unknown minor version have no name, so the text
// then begins with " X64" or " X86".
std::string OsVersionText(const OsVersionNumbers* numbers, bool is_64bit_windows);

// OsVersionText of this system (the version numbers and architecture Windows reports).
std::string GetOsVersionText();

// The processor brand string from CPUID, up to its first NUL.
std::string GetCpuBrandText();

struct MemoryInfo {
  unsigned total_mb = 0;
  unsigned available_mb = 0;
};
MemoryInfo GetMemoryInfo();

// Writes the two records that open every log: the program's version and build stamp with the
// main window's handle, then the processor, system and memory.
void WriteBaseInfoToLog(const void* main_window);

// The program's own path (at most 1024 characters) and its folder (without the last
// backslash).
std::wstring GetModuleFilePath();
std::wstring GetModuleDir();

// A file's fixed version ("%d.%d.%d.%d", "0.0.0.0" without version information) and build
// stamp (its last-write time in local time as "YYMMDDhhmm", empty when unknown).
class FileVersionInfo {
 public:
  explicit FileVersionInfo(const std::wstring& path);

  const std::string& Version() const { return version_; }
  const std::string& BuildStamp() const { return build_stamp_; }
  // The four numbers: main, minor, revision, build.
  const uint16_t* Numbers() const { return numbers_; }

 private:
  uint16_t numbers_[4] = {0, 0, 0, 0};
  std::string version_;
  std::string build_stamp_;
};
