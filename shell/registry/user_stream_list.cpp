#include "shell/registry/user_stream_list.h"

CUserStreamList* CUserStreamList::Instance() {
  static CUserStreamList registry;
  return &registry;
}

void CUserStreamList::Add(StUserStream* record) {
  if (record == nullptr) return;
  std::unique_ptr<StUserStream> owned(record);
  std::unique_ptr<StUserStream> replaced;  // Freed after the lock is released.
  CxAutoLock hold(lock_);
  auto& slot = users_[owned->id];
  replaced = std::move(slot);
  slot = std::move(owned);
}

void CUserStreamList::Add(const StUserStream& record) { Add(new StUserStream(record)); }

void CUserStreamList::Remove(const std::string& id) {
  std::unique_ptr<StUserStream> removed;
  CxAutoLock hold(lock_);
  auto found = users_.find(id);
  if (found == users_.end()) return;
  removed = std::move(found->second);
  users_.erase(found);
}

void CUserStreamList::Replace(std::vector<StUserStream> records) {
  std::map<std::string, std::unique_ptr<StUserStream>> users;
  for (StUserStream& record : records) {
    std::string id = record.id;
    users[std::move(id)] = std::make_unique<StUserStream>(std::move(record));
  }
  {
    CxAutoLock hold(lock_);
    users_.swap(users);
  }
  // The earlier records are freed here, outside the lock.
}

std::optional<StUserStream> CUserStreamList::Update(
    const std::string& id, const std::function<void(StUserStream&)>& change) {
  CxAutoLock hold(lock_);
  auto found = users_.find(id);
  if (found == users_.end()) return std::nullopt;
  change(*found->second);
  return *found->second;
}

std::optional<StUserStream> CUserStreamList::Find(const std::string& id) const {
  CxAutoLock hold(lock_);
  auto found = users_.find(id);
  if (found == users_.end()) return std::nullopt;
  return *found->second;
}

std::optional<StUserStream> CUserStreamList::FindFirst(
    const std::function<bool(const StUserStream&)>& match) const {
  CxAutoLock hold(lock_);
  for (const auto& entry : users_) {
    if (match(*entry.second)) return *entry.second;
  }
  return std::nullopt;
}

std::optional<StUserStream> CUserStreamList::FindByUidCid(const std::string& uid,
                                                          const std::string& cid) const {
  return FindFirst([&](const StUserStream& user) { return user.uid == uid && user.cid == cid; });
}

std::optional<StUserStream> CUserStreamList::FindByStreamId(const std::string& streamId) const {
  return FindFirst([&](const StUserStream& user) { return user.streamId == streamId; });
}

size_t CUserStreamList::Size() const {
  CxAutoLock hold(lock_);
  return users_.size();
}

void CUserStreamList::ForEach(const std::function<void(const StUserStream&)>& visit) const {
  CxAutoLock hold(lock_);
  for (const auto& entry : users_) visit(*entry.second);
}
