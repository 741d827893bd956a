#include "shell/report/report_zip.h"

#include <windows.h>

#include <minizip/zip.h>
#include <zlib.h>

#include <cstdio>
#include <memory>

namespace {

struct FileCloser {
  void operator()(FILE* f) const { fclose(f); }
};
using ScopedFile = std::unique_ptr<FILE, FileCloser>;

// The entry's time: the file's last write time in local time (zero when unknown). `large` is
// set for a file that needs the 64-bit extension.
zip_fileinfo EntryInfo(const std::string& path, bool* large) {
  zip_fileinfo info{};
  *large = false;
  WIN32_FILE_ATTRIBUTE_DATA data;
  FILETIME local;
  SYSTEMTIME time;
  if (GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data) &&
      FileTimeToLocalFileTime(&data.ftLastWriteTime, &local) &&
      FileTimeToSystemTime(&local, &time)) {
    *large = data.nFileSizeHigh != 0 || data.nFileSizeLow == 0xFFFFFFFF;
    info.tmz_date.tm_sec = time.wSecond;
    info.tmz_date.tm_min = time.wMinute;
    info.tmz_date.tm_hour = time.wHour;
    info.tmz_date.tm_mday = time.wDay;
    info.tmz_date.tm_mon = time.wMonth - 1;
    info.tmz_date.tm_year = time.wYear;
  }
  return info;
}

// Copies one file into the archive. Returns 1 when added, 0 when the file could not be read,
// -1 when the archive could not be written.
int AddFile(zipFile zip, const std::string& path) {
  ScopedFile in(fopen(path.c_str(), "rb"));
  if (!in) {
    return 0;
  }
  const size_t slash = path.find_last_of('\\');
  const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  bool large = false;
  const zip_fileinfo info = EntryInfo(path, &large);
  if (zipOpenNewFileInZip64(zip, name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr, Z_DEFLATED,
                            Z_DEFAULT_COMPRESSION, large ? 1 : 0) != ZIP_OK) {
    return -1;
  }
  std::unique_ptr<char[]> buffer(new char[64 * 1024]);
  size_t n;
  while ((n = fread(buffer.get(), 1, 64 * 1024, in.get())) > 0) {
    if (zipWriteInFileInZip(zip, buffer.get(), static_cast<unsigned>(n)) != ZIP_OK) {
      zipCloseFileInZip(zip);
      return -1;
    }
  }
  return zipCloseFileInZip(zip) == ZIP_OK ? 1 : -1;
}

}  // namespace

int ZipReportFiles(const std::string& archivePath, const std::vector<std::string>& files) {
  zipFile zip = zipOpen64(archivePath.c_str(), APPEND_STATUS_CREATE);
  if (!zip) {
    return -1;
  }
  int added = 0;
  for (const std::string& file : files) {
    const int result = AddFile(zip, file);
    if (result < 0) {
      zipClose(zip, nullptr);
      DeleteFileA(archivePath.c_str());
      return -1;
    }
    added += result;
  }
  if (zipClose(zip, nullptr) != ZIP_OK) {
    DeleteFileA(archivePath.c_str());
    return -1;
  }
  return added;
}
