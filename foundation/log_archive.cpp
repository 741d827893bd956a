#include "foundation/log_archive.h"

#include <windows.h>

#include <minizip/zip.h>
#include <zlib.h>
// The Win32 file functions' header still uses zlib's retired prototype macro.
#ifndef OF
#define OF(args) args
#endif
#include <minizip/iowin32.h>

#include <cstdio>
#include <vector>

#include "foundation/handle.h"

namespace foundation::log_internal {

const char kLogArchivePassword[] = "kym904_dusk";

namespace {

constexpr DWORD kChunk = 64 * 1024;

bool FileExists(const std::wstring& path) {
  return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// CRC-32 of the whole file: the traditional ZIP encryption needs it before the data.
bool FileCrc(HANDLE file, uLong* crc) {
  std::vector<unsigned char> chunk(kChunk);
  *crc = crc32(0, nullptr, 0);
  SetFilePointer(file, 0, nullptr, FILE_BEGIN);
  for (;;) {
    DWORD read = 0;
    if (!ReadFile(file, chunk.data(), kChunk, &read, nullptr)) return false;
    if (read == 0) return true;
    *crc = crc32(*crc, chunk.data(), read);
  }
}

bool WriteArchive(const std::wstring& archive, const std::wstring& source, const LocalTime& time) {
  CxHandle file(CreateFileW(source.c_str(), GENERIC_READ,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;
  uLong crc = 0;
  if (!FileCrc(file.Get(), &crc)) return false;

  const std::wstring wide_name = source.substr(source.find_last_of(L"\\/") + 1);
  char entry_name[MAX_PATH * 2] = {};
  WideCharToMultiByte(CP_ACP, 0, wide_name.c_str(), -1, entry_name, sizeof(entry_name) - 1, nullptr,
                      nullptr);

  zlib_filefunc64_def functions;
  fill_win32_filefunc64W(&functions);
  zipFile zip = zipOpen2_64(archive.c_str(), APPEND_STATUS_CREATE, nullptr, &functions);
  if (!zip) return false;
  zip_fileinfo info{};
  info.tmz_date.tm_year = static_cast<uInt>(time.year);
  info.tmz_date.tm_mon = static_cast<uInt>(time.month - 1);
  info.tmz_date.tm_mday = static_cast<uInt>(time.day);
  info.tmz_date.tm_hour = static_cast<uInt>(time.hour);
  info.tmz_date.tm_min = static_cast<uInt>(time.minute);
  info.tmz_date.tm_sec = static_cast<uInt>(time.second);
  bool ok = zipOpenNewFileInZip3_64(zip, entry_name, &info, nullptr, 0, nullptr, 0, nullptr,
                                    Z_DEFLATED, Z_DEFAULT_COMPRESSION, 0, -MAX_WBITS, DEF_MEM_LEVEL,
                                    Z_DEFAULT_STRATEGY, kLogArchivePassword, crc, 0) == ZIP_OK;
  if (ok) {
    std::vector<unsigned char> chunk(kChunk);
    SetFilePointer(file.Get(), 0, nullptr, FILE_BEGIN);
    for (;;) {
      DWORD read = 0;
      if (!ReadFile(file.Get(), chunk.data(), kChunk, &read, nullptr)) {
        ok = false;
        break;
      }
      if (read == 0) break;
      if (zipWriteInFileInZip(zip, chunk.data(), read) != ZIP_OK) {
        ok = false;
        break;
      }
    }
    ok = zipCloseFileInZip(zip) == ZIP_OK && ok;
  }
  ok = zipClose(zip, nullptr) == ZIP_OK && ok;
  return ok;
}

}  // namespace

std::wstring PackLogFile(const std::wstring& path, bool crash, const LocalTime& time) {
  if (!FileExists(path)) return std::wstring();
  const size_t dot = path.find_last_of(L'.');
  const size_t slash = path.find_last_of(L"\\/");
  const std::wstring base =
      (dot != std::wstring::npos && (slash == std::wstring::npos || dot > slash))
          ? path.substr(0, dot)
          : path;
  // The hour is on the 12-hour clock, as the archives have always been named; a name that is
  // taken (also by the morning's archive) gets a counter instead of being replaced.
  wchar_t stamp[64];
  const int hour12 = time.hour % 12 == 0 ? 12 : time.hour % 12;
  swprintf(stamp, 64, L"_%04d_%02d_%02d_%02d_%02d_%02d", time.year, time.month, time.day, hour12,
           time.minute, time.second);
  const std::wstring stem = base + stamp + (crash ? L"crash" : L"");

  for (int attempt = 0; attempt < 1000; ++attempt) {
    const std::wstring suffix = attempt == 0 ? L"" : L"_" + std::to_wstring(attempt);
    const std::wstring temporary = stem + suffix + L".zip";
    const std::wstring final_name = stem + suffix + L".zlog";
    if (FileExists(temporary) || FileExists(final_name)) continue;
    if (!WriteArchive(temporary, path, time)) {
      DeleteFileW(temporary.c_str());
      return std::wstring();
    }
    // MoveFileW never replaces: a name taken meanwhile makes it fail, and we try the next.
    if (MoveFileW(temporary.c_str(), final_name.c_str())) {
      DeleteFileW(path.c_str());
      return final_name;
    }
    DeleteFileW(temporary.c_str());
  }
  return std::wstring();
}

}  // namespace foundation::log_internal
