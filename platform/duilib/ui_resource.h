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
  // Returns null (and logs) when the data is not a readable ZIP.
  static std::unique_ptr<CZipArchive> FromMemory(const void* data, size_t size);
  bool Read(const std::wstring& name, std::string* bytes) const;
  size_t GetEntryCount() const { return entries_.size(); }

 private:
  std::map<std::wstring, std::string> entries_;
};

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
