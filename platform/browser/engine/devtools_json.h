#pragma once

#include <cjson/cJSON.h>

#include <memory>
#include <string>

// Small helpers around cJSON for the engine's protocol messages.

struct JsonDeleter {
  void operator()(cJSON* item) const { cJSON_Delete(item); }
};
using JsonPtr = std::unique_ptr<cJSON, JsonDeleter>;

// The text member |key| of |object|; empty when missing or not a text.
inline std::string JsonText(const cJSON* object, const char* key) {
  const cJSON* item = cJSON_GetObjectItemCaseSensitive(object, key);
  return cJSON_IsString(item) && item->valuestring != nullptr ? item->valuestring : "";
}

// The number member |key| of |object| as an int; |fallback| when missing or not a number.
inline int JsonInt(const cJSON* object, const char* key, int fallback) {
  const cJSON* item = cJSON_GetObjectItemCaseSensitive(object, key);
  return cJSON_IsNumber(item) ? item->valueint : fallback;
}

inline const cJSON* JsonItem(const cJSON* object, const char* key) {
  return cJSON_GetObjectItemCaseSensitive(object, key);
}

// One protocol command as text: {"id":id,"sessionId":session,"method":method,"params":params}.
// Takes |params| (may be null); no session member when |session| is empty.
inline std::string DevToolsCommand(int id, const std::string& session, const char* method,
                                   cJSON* params) {
  JsonPtr command(cJSON_CreateObject());
  cJSON_AddNumberToObject(command.get(), "id", id);
  if (!session.empty()) cJSON_AddStringToObject(command.get(), "sessionId", session.c_str());
  cJSON_AddStringToObject(command.get(), "method", method);
  cJSON_AddItemToObject(command.get(), "params", params != nullptr ? params : cJSON_CreateObject());
  char* text = cJSON_PrintUnformatted(command.get());
  std::string out = text != nullptr ? text : "";
  cJSON_free(text);
  return out;
}
