#include "shell/mainframe/doc_trans_result.h"

#include <cjson/cJSON.h>

#include <cmath>
#include <cstdint>
#include <memory>

namespace {

struct JsonDelete {
  void operator()(cJSON* json) const { cJSON_Delete(json); }
};

void ReadNumber(const cJSON* root, const char* key, int32_t* out) {
  const cJSON* item = cJSON_GetObjectItem(root, key);
  if (!cJSON_IsNumber(item)) return;
  const double value = item->valuedouble;
  // Out-of-range values are clamped as cJSON clamps its integer view.
  if (std::isnan(value)) return;
  if (value >= 2147483647.0) {
    *out = INT32_MAX;
  } else if (value <= -2147483648.0) {
    *out = INT32_MIN;
  } else {
    *out = static_cast<int32_t>(value);
  }
}

}  // namespace

bool ParseDocTransResult(const std::string& json, LocalDocumentInfo* doc) {
  if (doc == nullptr) return false;
  std::unique_ptr<cJSON, JsonDelete> root(cJSON_ParseWithLength(json.data(), json.size()));
  if (!cJSON_IsObject(root.get())) return false;
  const cJSON* md5 = cJSON_GetObjectItem(root.get(), "md5");
  if (!cJSON_IsString(md5) || md5->valuestring == nullptr) return false;
  doc->md5 = md5->valuestring;
  const cJSON* url = cJSON_GetObjectItem(root.get(), "url");
  if (cJSON_IsString(url) && url->valuestring != nullptr) doc->url = url->valuestring;
  ReadNumber(root.get(), "status", &doc->status);
  ReadNumber(root.get(), "totalpage", &doc->totalpage);
  ReadNumber(root.get(), "curpage", &doc->curpage);
  return true;
}
