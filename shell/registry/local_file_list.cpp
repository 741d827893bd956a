#include "shell/registry/local_file_list.h"

#include <windows.h>

#include "shell/registry/md5.h"

CLocalFileList* CLocalFileList::Instance() {
  static CLocalFileList registry(GetTickCount());
  return &registry;
}

CLocalFileList::CLocalFileList(uint32_t first_counter) : counter_(first_counter) {}

std::string CLocalFileList::MakeId(const std::string& path) {
  const std::string id = CMd5::GetMd5String(path + std::to_string(counter_));
  counter_ += 2;
  return id;
}

std::string CLocalFileList::AddDocument(const std::string& path, int mode) {
  std::string id = MakeId(path);
  if (mode != 1) {
    auto record = std::make_unique<LocalDocumentInfo>();
    record->url = path;
    record->md5 = id;
    documents_.push_back(std::move(record));
  }
  return id;
}

std::string CLocalFileList::AddMedia(const std::string& path) {
  std::string id = MakeId(path);
  auto record = std::make_unique<LocalMediaInfo>();
  record->url = path;
  record->md5 = id;
  media_.push_back(std::move(record));
  return id;
}

LocalDocumentInfo* CLocalFileList::FindDocumentRecord(const std::string& id) const {
  for (const auto& record : documents_) {
    if (record->md5 == id) return record.get();
  }
  return nullptr;
}

std::string CLocalFileList::FindDocument(const std::string& id) const {
  const LocalDocumentInfo* record = FindDocumentRecord(id);
  return record != nullptr ? record->url : std::string();
}

std::string CLocalFileList::FindMedia(const std::string& id) const {
  for (const auto& record : media_) {
    if (record->md5 == id) return record->url;
  }
  return std::string();
}

void CLocalFileList::RemoveDocument(const std::string& id) {
  for (auto it = documents_.begin(); it != documents_.end(); ++it) {
    if ((*it)->md5 == id) {
      documents_.erase(it);
      return;
    }
  }
}

void CLocalFileList::SetDocumentStatus(const std::string& id, int status) {
  LocalDocumentInfo* record = FindDocumentRecord(id);
  if (record != nullptr) record->status = status;
}

std::string CLocalFileList::FirstDocumentWithStatus(int status) const {
  for (const auto& record : documents_) {
    if (record->status == status) return record->md5;
  }
  return std::string();
}

std::string CLocalFileList::FindWaitingDocument() const { return FirstDocumentWithStatus(5); }

std::string CLocalFileList::FindConvertingDocument() const { return FirstDocumentWithStatus(1); }
