#pragma once

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "foundation/lock.h"

// One participant of the current room and its streams, as the real-time SDK reports them. The
// field names are the page's JSON keys for the same record.
struct StUserStream {
  std::string name;
  std::string id;
  std::string gId;
  std::string gcId;
  std::string audioStatus;
  std::string videoStatus;
  std::string platform;
  std::string streamId;
  std::string uid;
  std::string cid;
};

// CUserStreamList: the process-wide registry of the room's participants, keyed and walked in
// ascending byte order of |id|.
//
// Threads: the SDK's callback threads write it while the UI thread and others read it, so every
// operation takes the registry's lock, and look-ups hand out copies: a record another thread
// replaces or removes never leaves a caller with a dangling pointer. ForEach runs the caller's
// function under the lock (the lock is re-entrant: the function may read the registry but must
// not add or remove records, and should be short).
class CUserStreamList {
 public:
  static CUserStreamList* Instance();

  CUserStreamList() = default;
  CUserStreamList(const CUserStreamList&) = delete;
  CUserStreamList& operator=(const CUserStreamList&) = delete;

  // Takes ownership of |record| (null is ignored) and stores it under its id, replacing (and
  // freeing) a record with the same id.
  void Add(StUserStream* record);
  void Add(const StUserStream& record);
  // Frees and erases the record with |id|; nothing when there is none.
  void Remove(const std::string& id);
  // Makes |records| the whole registry (a later record replaces an earlier one of the same id):
  // the participant list of a room replaces whatever an earlier room left.
  void Replace(std::vector<StUserStream> records);
  // Changes the record with |id| in place, under the lock, and returns a copy of the result;
  // nothing (and no copy) when there is no such record. |change| must not touch the registry
  // or alter the id.
  std::optional<StUserStream> Update(const std::string& id,
                                     const std::function<void(StUserStream&)>& change);

  std::optional<StUserStream> Find(const std::string& id) const;
  // The first record in key order whose uid and cid both equal the arguments.
  std::optional<StUserStream> FindByUidCid(const std::string& uid, const std::string& cid) const;
  std::optional<StUserStream> FindByStreamId(const std::string& streamId) const;

  size_t Size() const;
  // Calls |visit| for every record in key order, under the lock.
  void ForEach(const std::function<void(const StUserStream&)>& visit) const;

 private:
  std::optional<StUserStream> FindFirst(
      const std::function<bool(const StUserStream&)>& match) const;

  mutable CxLock lock_;  // Guards |users_|.
  std::map<std::string, std::unique_ptr<StUserStream>> users_;
};
