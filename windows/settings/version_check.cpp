#include "windows/settings/version_check.h"

#include <cjson/cJSON.h>
#include <curl/curl.h>

#include <atomic>
#include <cstdio>
#include <cstring>

#include "foundation/log.h"
#include "shell/http/curl_support.h"

namespace {

std::atomic<int> g_ended{0};

struct Reply {
  std::string text;
  bool too_long = false;
};

size_t AppendReply(char* data, size_t size, size_t count, void* context) {
  auto* reply = static_cast<Reply*>(context);
  const size_t bytes = size * count;
  if (reply->text.size() + bytes > CVersionCheck::kMaxReplyBytes) {
    reply->too_long = true;
    return 0;  // ends the transfer as failed
  }
  reply->text.append(data, bytes);
  return bytes;
}

int NumberOf(const cJSON* object, const char* key) {
  const cJSON* item = cJSON_GetObjectItemCaseSensitive(object, key);
  return cJSON_IsNumber(item) ? static_cast<int>(item->valuedouble) : 0;
}

// The host of "host[:port]".
std::wstring HostOf(const std::string& server) {
  const size_t colon = server.rfind(':');
  const std::string host = colon == std::string::npos ? server : server.substr(0, colon);
  return std::wstring(host.begin(), host.end());
}

}  // namespace

CVersionCheck::CVersionCheck(HWND window, UINT message, const std::string& server,
                             const int version[4])
    : window(window), message(message), server(server) {
  for (int i = 0; i < 4; ++i) sentVersion[i] = result.version[i] = version[i];
}

std::string CVersionCheck::BuildRequest(const int version[4]) {
  cJSON* body = cJSON_CreateObject();
  if (!body) return std::string();
  cJSON_AddStringToObject(body, "dev", "TarvoZentavo.Windows");
  if (cJSON* numbers = cJSON_AddObjectToObject(body, "version")) {
    cJSON_AddNumberToObject(numbers, "main", version[0]);
    cJSON_AddNumberToObject(numbers, "minor", version[1]);
    cJSON_AddNumberToObject(numbers, "revision", version[2]);
    cJSON_AddNumberToObject(numbers, "build", version[3]);
  }
  std::string text;
  if (char* printed = cJSON_PrintUnformatted(body)) {
    text = printed;
    cJSON_free(printed);
  }
  cJSON_Delete(body);
  return text;
}

bool CVersionCheck::ParseReply(const std::string& reply, const int version[4], Result* out) {
  cJSON* root = cJSON_ParseWithLength(reply.data(), reply.size());
  if (!cJSON_IsObject(root)) {
    cJSON_Delete(root);
    return false;
  }
  Result parsed;
  parsed.answered = true;
  parsed.status = NumberOf(root, "code");
  for (int i = 0; i < 4; ++i) parsed.version[i] = version[i];
  const cJSON* numbers = cJSON_GetObjectItemCaseSensitive(root, "version");
  if (cJSON_IsObject(numbers)) {
    parsed.version[0] = NumberOf(numbers, "main");
    parsed.version[1] = NumberOf(numbers, "minor");
    parsed.version[2] = NumberOf(numbers, "revision");
    parsed.version[3] = NumberOf(numbers, "build");
  }
  cJSON_Delete(root);
  *out = parsed;
  return true;
}

bool CVersionCheck::Start(unsigned* threadId) {
  // The thread keeps the check alive for as long as it runs.
  auto* self = new std::shared_ptr<CVersionCheck>(shared_from_this());
  DWORD id = 0;
  HANDLE thread = CreateThread(nullptr, 0, &CVersionCheck::ThreadMain, self, 0, &id);
  if (!thread) {
    delete self;
    return false;
  }
  CloseHandle(thread);
  *threadId = id;
  return true;
}

DWORD WINAPI CVersionCheck::ThreadMain(void* context) {
  std::unique_ptr<std::shared_ptr<CVersionCheck>> check(
      static_cast<std::shared_ptr<CVersionCheck>*>(context));
  try {
    (*check)->Run();
  } catch (...) {
    TVLOG_ERROR() << "update check failed";
  }
  return 0;
}

void CVersionCheck::Detach() {
  std::lock_guard<std::mutex> guard(lock);
  window = nullptr;
}

void CVersionCheck::Run() {
  EnsureCurlStarted();
  bool answered = false;
  if (CURL* curl = curl_easy_init()) {
    const std::string body = BuildRequest(sentVersion);
    const std::string url = "https://" + server + "/?cmd=update";
    curl_slist* headers = curl_slist_append(nullptr, "Content-Type: application/json");
    Reply reply;
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_POST, 1L);
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
    curl_easy_setopt(curl, CURLOPT_POSTFIELDS, body.c_str());
    curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE, static_cast<long>(body.size()));
    curl_easy_setopt(curl, CURLOPT_HTTPAUTH, static_cast<long>(CURLAUTH_BASIC | CURLAUTH_DIGEST));
    curl_easy_setopt(curl, CURLOPT_TIMEOUT, kTimeoutSeconds);
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, 2L);
    curl_easy_setopt(curl, CURLOPT_CERTINFO, 1L);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, AppendReply);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &reply);
    const CURLcode code = curl_easy_perform(curl);
    long status = 0;
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
    if (code != CURLE_OK) {
      TVLOG_WARN() << "update check failed: " << curl_easy_strerror(code);
    } else if (!CurlServerIsTrusted(curl, HostOf(server))) {
      // not an answer
    } else if (status != 200) {
      TVLOG_WARN() << "update check answered with HTTP " << static_cast<int>(status);
    } else if (!ParseReply(reply.text, sentVersion, &result)) {
      TVLOG_WARN() << "update check reply is not a JSON object";
    } else {
      answered = true;
    }
    curl_slist_free_all(headers);
    curl_easy_cleanup(curl);
  } else {
    TVLOG_ERROR() << "update check: no curl handle";
  }
  {
    std::lock_guard<std::mutex> guard(lock);
    if (window) PostMessageW(window, message, answered ? 0 : 1, 0);
  }
  ++g_ended;
}

int CVersionCheck::EndedChecksForTest() { return g_ended.load(); }
