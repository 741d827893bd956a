#pragma once

#include <cjson/cJSON.h>

#include <cstdint>
#include <memory>
#include <string>

// Small helpers over cJSON for the SDK's and the server's messages.

namespace orvim {

struct JsonDeleter {
  void operator()(cJSON* json) const { cJSON_Delete(json); }
};
using JsonPtr = std::unique_ptr<cJSON, JsonDeleter>;

// Parses |text|; null unless it is a JSON object.
JsonPtr ParseObject(const std::string& text);
JsonPtr NewObject();

// Readers: the member |key| of |object| when it has the right type, else |fallback|.
std::string GetString(const cJSON* object, const char* key, const std::string& fallback = "");
int GetInt(const cJSON* object, const char* key, int fallback = 0);
int64_t GetInt64(const cJSON* object, const char* key, int64_t fallback = 0);
double GetDouble(const cJSON* object, const char* key, double fallback = 0.0);
bool GetBool(const cJSON* object, const char* key, bool fallback = false);
bool Has(const cJSON* object, const char* key);

// Writers (return |object| for chaining inside builders).
void PutString(cJSON* object, const char* key, const std::string& value);
void PutInt(cJSON* object, const char* key, int64_t value);
void PutDouble(cJSON* object, const char* key, double value);
void PutBool(cJSON* object, const char* key, bool value);

// Unformatted text of |json|.
std::string ToText(const cJSON* json);

// {"ok": false, "error": error} and {"ok": true}.
std::string ErrorAnswer(const std::string& error);
std::string OkAnswer();

}  // namespace orvim
