#include "platform/browser/web_page.h"

#include <windows.h>

#include <cjson/cJSON.h>

#include "platform/browser/page_bridge.h"
#include "platform/browser/web_run.h"

namespace {

constexpr char kInvokePrefix[] = "nativeInvokeJS(";
constexpr char kInvokeSuffix[] = ");";

}  // namespace

CWebPage::CWebPage(CWebRun* owner, unsigned browser_id, std::string url)
    : owner_(owner), browser_id_(browser_id), url_(std::move(url)) {}

void CWebPage::Load(const std::string& url, bool add_to_history) {
  url_ = url;
  if (add_to_history) history_.push_back(url);
}

void CWebPage::RunScript(const std::string& script) {
  scripts_.push_back(script);
  if (RunPageFunction(script)) return;
  // "nativeInvokeJS(" + json + "); ": the page's script function receives the json text.
  std::string::size_type end = script.find_last_not_of(" \t\r\n");
  const std::string::size_type prefix = sizeof(kInvokePrefix) - 1;
  const std::string::size_type suffix = sizeof(kInvokeSuffix) - 1;
  if (end == std::string::npos || script.compare(0, prefix, kInvokePrefix) != 0) return;
  end += 1;
  if (end < prefix + suffix || script.compare(end - suffix, suffix, kInvokeSuffix) != 0) return;
  invocations_.push_back(script.substr(prefix, end - suffix - prefix));
  if (invoke_listener_) {
    try {
      invoke_listener_(invocations_.back());
    } catch (...) {
      OutputDebugStringA("[CWebPage] the invoke listener threw; ignored\n");
    }
  }
}

bool CWebPage::RunPageFunction(const std::string& script) {
  // kPageMessageFunction + "(" + two JSON texts + ")", with an optional ";": the page sends.
  const std::string prefix = std::string(kPageMessageFunction) + "(";
  std::string::size_type end = script.find_last_not_of(" \t\r\n;");
  if (end == std::string::npos || script.compare(0, prefix.size(), prefix) != 0 ||
      script[end] != ')') {
    return false;
  }
  const std::string arguments = script.substr(prefix.size(), end - prefix.size());
  cJSON* pair = cJSON_Parse(("[" + arguments + "]").c_str());
  const cJSON* key = cJSON_GetArrayItem(pair, 0);
  const cJSON* value = cJSON_GetArrayItem(pair, 1);
  const bool sent = cJSON_GetArraySize(pair) == 2 && cJSON_IsString(key) && cJSON_IsString(value);
  if (sent) SendRequest(key->valuestring, value->valuestring);
  cJSON_Delete(pair);
  return sent;
}
