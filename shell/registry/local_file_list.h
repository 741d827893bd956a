#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// One local document the user opened for the broadcast. The field names are the page's JSON
// keys for the same record.
struct LocalDocumentInfo {
  std::string url;     // Full path, UTF-8.
  std::string md5;     // Identifier: 32 lowercase hexadecimal characters.
  int32_t status = 5;  // 5 waiting for conversion, 1 being converted.
  int32_t totalpage = 0;
  int32_t curpage = 0;
  int32_t x = 1;
  int32_t y = 1;
};

// One local media file the user opened for the broadcast.
struct LocalMediaInfo {
  std::string url;
  std::string md5;
  int32_t height = 720;
  int32_t status = 3;
  int32_t muted = 0;
  int32_t volume = 100;
  int32_t pos = 0;
  uint8_t local_playback = 0;
};

// CLocalFileList: the process-wide registry of local documents and media files. Each added
// file gets an identifier: the MD5 (lowercase hexadecimal) of its path followed by a counter
// in decimal; the counter starts at the tick count and grows by 2 per identifier. Searches
// return the first match in insertion order; misses give "" or change nothing. Media records
// are never removed. UI thread only (no lock).
class CLocalFileList {
 public:
  static CLocalFileList* Instance();

  explicit CLocalFileList(uint32_t first_counter);
  CLocalFileList(const CLocalFileList&) = delete;
  CLocalFileList& operator=(const CLocalFileList&) = delete;

  // |mode| is the transfer mode the user chose; mode 1 registers no document but still uses
  // up an identifier.
  std::string AddDocument(const std::string& path, int mode);
  std::string AddMedia(const std::string& path);

  std::string FindDocument(const std::string& id) const;
  std::string FindMedia(const std::string& id) const;
  void RemoveDocument(const std::string& id);
  void SetDocumentStatus(const std::string& id, int status);
  std::string FindWaitingDocument() const;
  std::string FindConvertingDocument() const;

  size_t DocumentCount() const { return documents_.size(); }
  uint32_t counter() const { return counter_; }

 private:
  std::string MakeId(const std::string& path);
  LocalDocumentInfo* FindDocumentRecord(const std::string& id) const;
  std::string FirstDocumentWithStatus(int status) const;

  uint32_t counter_;
  std::vector<std::unique_ptr<LocalDocumentInfo>> documents_;
  std::vector<std::unique_ptr<LocalMediaInfo>> media_;
};
