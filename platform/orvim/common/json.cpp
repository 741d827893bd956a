#include "platform/orvim/common/json.h"

#include <cmath>

namespace orvim {

JsonPtr ParseObject(const std::string& text) {
  JsonPtr json(cJSON_ParseWithLength(text.data(), text.size()));
  if (!json || !cJSON_IsObject(json.get())) return nullptr;
  return json;
}

JsonPtr NewObject() { return JsonPtr(cJSON_CreateObject()); }

std::string GetString(const cJSON* object, const char* key, const std::string& fallback) {
  const cJSON* item = cJSON_GetObjectItemCaseSensitive(object, key);
  return cJSON_IsString(item) && item->valuestring ? std::string(item->valuestring) : fallback;
}

int GetInt(const cJSON* object, const char* key, int fallback) {
  const cJSON* item = cJSON_GetObjectItemCaseSensitive(object, key);
  if (!cJSON_IsNumber(item)) return fallback;
  const double v = item->valuedouble;
  if (!std::isfinite(v) || v > 2147483647.0 || v < -2147483648.0) return fallback;
  return static_cast<int>(v);
}

int64_t GetInt64(const cJSON* object, const char* key, int64_t fallback) {
  const cJSON* item = cJSON_GetObjectItemCaseSensitive(object, key);
  if (!cJSON_IsNumber(item) || !std::isfinite(item->valuedouble)) return fallback;
  return static_cast<int64_t>(item->valuedouble);
}

double GetDouble(const cJSON* object, const char* key, double fallback) {
  const cJSON* item = cJSON_GetObjectItemCaseSensitive(object, key);
  return cJSON_IsNumber(item) ? item->valuedouble : fallback;
}

bool GetBool(const cJSON* object, const char* key, bool fallback) {
  const cJSON* item = cJSON_GetObjectItemCaseSensitive(object, key);
  if (cJSON_IsBool(item)) return cJSON_IsTrue(item);
  if (cJSON_IsNumber(item)) return item->valuedouble != 0.0;
  return fallback;
}

bool Has(const cJSON* object, const char* key) {
  return cJSON_GetObjectItemCaseSensitive(object, key) != nullptr;
}

void PutString(cJSON* object, const char* key, const std::string& value) {
  cJSON_AddItemToObject(object, key, cJSON_CreateString(value.c_str()));
}

void PutInt(cJSON* object, const char* key, int64_t value) {
  cJSON_AddItemToObject(object, key, cJSON_CreateNumber(static_cast<double>(value)));
}

void PutDouble(cJSON* object, const char* key, double value) {
  cJSON_AddItemToObject(object, key, cJSON_CreateNumber(value));
}

void PutBool(cJSON* object, const char* key, bool value) {
  cJSON_AddItemToObject(object, key, cJSON_CreateBool(value));
}

std::string ToText(const cJSON* json) {
  char* text = cJSON_PrintUnformatted(json);
  std::string result = text ? text : "null";
  cJSON_free(text);
  return result;
}

std::string ErrorAnswer(const std::string& error) {
  JsonPtr answer = NewObject();
  PutBool(answer.get(), "ok", false);
  PutString(answer.get(), "error", error);
  return ToText(answer.get());
}

std::string OkAnswer() { return "{\"ok\":true}"; }

}  // namespace orvim
