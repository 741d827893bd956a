#include "shell/system/system_info.h"

#include <windows.h>

#include <cpuid.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "foundation/log.h"
#include "foundation/system_info.h"

namespace {

const char* OsName(unsigned major, unsigned minor) {
  switch (major) {
    case 5:
      if (minor == 0) return "Windows 2000";
      if (minor == 1) return "Windows XP";
      if (minor == 2) return "Windows Server 2003";
      return "";
    case 6:
      if (minor == 0) return "Windows Vista";
      if (minor == 1) return "Windows 7";
      if (minor == 2) return "Windows 8";
      if (minor == 3) return "Windows 8.1";
      return "";
    case 10:
      return minor == 0 ? "Windows 10" : "after Windows 10";
    default:
      return "Windows Unkown Version";
  }
}

}  // namespace

std::string OsVersionText(const OsVersionNumbers* numbers, bool is_64bit_windows) {
  if (!numbers) return "Windows Unkown Version";
  std::string text = OsName(numbers->major, numbers->minor);
  text += is_64bit_windows ? " X64" : " X86";
  char build[64];
  std::snprintf(build, sizeof(build), ", Build: %u.%u.%u", numbers->major, numbers->minor,
                numbers->build);
  return text + build;
}

std::string GetOsVersionText() {
  unsigned long major = 0, minor = 0, build = 0;
  if (!GetNtVersionNumbers(major, minor, build)) return OsVersionText(nullptr, false);
  const OsVersionNumbers numbers{major, minor, build};
  return OsVersionText(&numbers, Is64BitWindows());
}

std::string GetCpuBrandText() {
  unsigned regs[12] = {};
  unsigned max_leaf = __get_cpuid_max(0x80000000, nullptr);
  if (max_leaf < 0x80000004) return std::string();
  for (unsigned i = 0; i < 3; ++i) {
    __get_cpuid(0x80000002 + i, &regs[i * 4], &regs[i * 4 + 1], &regs[i * 4 + 2], &regs[i * 4 + 3]);
  }
  char brand[49] = {};
  std::memcpy(brand, regs, 48);
  return std::string(brand);
}

MemoryInfo GetMemoryInfo() {
  MEMORYSTATUSEX status{};
  status.dwLength = sizeof(status);
  MemoryInfo info;
  if (GlobalMemoryStatusEx(&status)) {
    info.total_mb = static_cast<unsigned>(status.ullTotalPhys / 1024.0 / 1024.0);
    info.available_mb = static_cast<unsigned>(status.ullAvailPhys / 1024.0 / 1024.0);
  }
  return info;
}

std::wstring GetModuleFilePath() {
  wchar_t path[1025] = {};
  const DWORD n = GetModuleFileNameW(nullptr, path, 1024);
  return std::wstring(path, n);
}

std::wstring GetModuleDir() {
  const std::wstring path = GetModuleFilePath();
  const size_t slash = path.find_last_of(L'\\');
  return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

FileVersionInfo::FileVersionInfo(const std::wstring& path) {
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
  if (size > 0) {
    std::vector<uint8_t> block(size);
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT fixed_size = 0;
    if (GetFileVersionInfoW(path.c_str(), 0, size, block.data()) &&
        VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &fixed_size) &&
        fixed && fixed_size >= sizeof(VS_FIXEDFILEINFO)) {
      numbers_[0] = HIWORD(fixed->dwFileVersionMS);
      numbers_[1] = LOWORD(fixed->dwFileVersionMS);
      numbers_[2] = HIWORD(fixed->dwFileVersionLS);
      numbers_[3] = LOWORD(fixed->dwFileVersionLS);
    }
  }
  char text[64];
  std::snprintf(text, sizeof(text), "%d.%d.%d.%d", numbers_[0], numbers_[1], numbers_[2],
                numbers_[3]);
  version_ = text;

  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  FILETIME written{}, local{};
  SYSTEMTIME t{};
  if (GetFileTime(file, nullptr, nullptr, &written) &&
      (written.dwLowDateTime || written.dwHighDateTime) &&
      FileTimeToLocalFileTime(&written, &local) && FileTimeToSystemTime(&local, &t)) {
    std::snprintf(text, sizeof(text), "%02u%02u%02u%02u%02u", unsigned(t.wYear - 2000),
                  unsigned(t.wMonth), unsigned(t.wDay), unsigned(t.wHour), unsigned(t.wMinute));
    build_stamp_ = text;
  }
  CloseHandle(file);
}

void WriteBaseInfoToLog(const void* main_window) {
  const FileVersionInfo info(GetModuleDir() + L"\\TarvoLive.exe");
  TVLOG_INFO() << "version = " << info.Version() << ", buildNo = " << info.BuildStamp()
               << ", hWnd = "
               << static_cast<unsigned long>(reinterpret_cast<uintptr_t>(main_window));
  const MemoryInfo memory = GetMemoryInfo();
  TVLOG_INFO() << "Env, cpu=" << GetCpuBrandText() << ", os=" << GetOsVersionText()
               << ", total memory(MB)=" << memory.total_mb
               << ", available memory(MB)=" << memory.available_mb;
}
