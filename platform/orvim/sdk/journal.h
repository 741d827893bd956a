#pragma once

#include <cjson/cJSON.h>

#include <deque>
#include <mutex>
#include <string>

namespace orvim::sdk {

// The calls a service received, in order, as {"op": name, "args": {...}} (the control's
// "journal"). Keeps the latest 100000 entries. Thread-safe.
class Journal {
 public:
  // Takes ownership of |args| (may be null).
  void Record(const char* op, cJSON* args);
  // {"ok": true, "calls": [...]}; with |clear| the entries are dropped afterwards.
  std::string Read(bool clear);

 private:
  static constexpr size_t kMaxEntries = 100000;
  std::mutex mutex_;  // Protects |entries_|.
  std::deque<std::string> entries_;  // Each entry's JSON text.
};

}  // namespace orvim::sdk
