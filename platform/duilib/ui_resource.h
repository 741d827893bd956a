#pragma once

// Where layouts, images and language tables are read from: a ZIP archive (from a module
// resource or from memory) or a folder on disk. Process-wide, UI thread only.

#include <windows.h>

#include <map>
#include <memory>
#include <string>

namespace DuiLib {

// An unencrypted ZIP archive read whole into memory. Entry names are looked up without regard
// to case or to "\" and "/".
class CZipArchive {
 public:
  // Returns null (and logs) when the data is not a readable ZIP, when its central directory is
  // damaged or when any entry is: a size above 64 MiB or not matching its data, a check value
  // mismatch. Never throws.
  static std::unique_ptr<CZipArchive> FromMemory(const void* data, size_t size);
  bool Read(const std::wstring& name, std::string* bytes) const;
  size_t GetEntryCount() const { return entries_.size(); }

 private:
  static std::unique_ptr<CZipArchive> Parse(const void* data, size_t size);

  std::map<std::wstring, std::string> entries_;
};

// `name` under the resource path (CPaintManagerUI::GetResourcePath).
std::wstring ResourceFilePath(const std::wstring& name);
// Reads the whole file at `path` into *bytes; false when it is missing, unreadable or larger
// than `limit` bytes. The file is closed on return; never throws.
bool ReadWholeFile(const std::wstring& path, size_t limit, std::string* bytes);

class CResourceStore {
 public:
  // Uses the ZIP resource `id` of type L"ZIPRES" in `module`; loaded once per module and id.
  static bool UseZipResource(HMODULE module, UINT id);
  // Uses a ZIP held in memory (copied).
  static bool UseZipMemory(const void* data, size_t size);
  // Reads from files under the resource path (drops the archive).
  static void UseFolder();
  // Reads `name` (relative to the archive root or the resource path).
  static bool Read(const std::wstring& name, std::string* bytes);
  // Reads one entry of the ZIP resource `id` of `module`, without changing the current source.
  static bool ReadFromZipResource(HMODULE module, UINT id, const std::wstring& name,
                                  std::string* bytes);
  static bool HasArchive();
};

}  // namespace DuiLib
