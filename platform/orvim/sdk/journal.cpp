#include "platform/orvim/sdk/journal.h"

#include "platform/orvim/common/json.h"

namespace orvim::sdk {

void Journal::Record(const char* op, cJSON* args) {
  JsonPtr entry = NewObject();
  PutString(entry.get(), "op", op);
  cJSON_AddItemToObject(entry.get(), "args", args ? args : cJSON_CreateObject());
  std::string text = ToText(entry.get());
  std::lock_guard<std::mutex> lock(mutex_);
  entries_.push_back(std::move(text));
  if (entries_.size() > kMaxEntries) entries_.pop_front();
}

std::string Journal::Read(bool clear) {
  std::lock_guard<std::mutex> lock(mutex_);
  std::string answer = "{\"ok\":true,\"calls\":[";
  bool first = true;
  for (const std::string& entry : entries_) {
    if (!first) answer += ',';
    answer += entry;
    first = false;
  }
  answer += "]}";
  if (clear) entries_.clear();
  return answer;
}

}  // namespace orvim::sdk
