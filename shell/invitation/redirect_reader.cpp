#include "shell/invitation/redirect_reader.h"

#include <curl/curl.h>

#include <memory>

#include "foundation/log.h"
#include "shell/http/curl_support.h"

namespace {

struct CurlEasyDeleter {
  void operator()(CURL* curl) const { curl_easy_cleanup(curl); }
};
struct CurlUrlDeleter {
  void operator()(CURLU* url) const { curl_url_cleanup(url); }
};

// The answer's body is not needed.
size_t DiscardBody(char*, size_t size, size_t count, void*) { return size * count; }

int CheckCancel(void* cancel, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
  return static_cast<const std::atomic<bool>*>(cancel)->load() ? 1 : 0;
}

// The host of |url| as a certificate names it (no brackets around an IPv6 address).
std::wstring HostOf(const std::string& url) {
  std::unique_ptr<CURLU, CurlUrlDeleter> parsed(curl_url());
  char* host = nullptr;
  if (!parsed || curl_url_set(parsed.get(), CURLUPART_URL, url.c_str(), 0) != CURLUE_OK ||
      curl_url_get(parsed.get(), CURLUPART_HOST, &host, 0) != CURLUE_OK) {
    return std::wstring();
  }
  std::string text = host;
  curl_free(host);
  if (text.size() >= 2 && text.front() == '[' && text.back() == ']') {
    text = text.substr(1, text.size() - 2);
  }
  return std::wstring(text.begin(), text.end());
}

}  // namespace

std::string ReadRedirectAddress(const std::string& url, const std::atomic<bool>* cancel) {
  EnsureCurlStarted();
  std::unique_ptr<CURL, CurlEasyDeleter> curl(curl_easy_init());
  if (!curl) {
    TVLOG_ERROR() << "invitation link: no curl handle";
    return std::string();
  }
  CURL* handle = curl.get();
  curl_easy_setopt(handle, CURLOPT_URL, url.c_str());
  curl_easy_setopt(handle, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(handle, CURLOPT_HTTPAUTH, static_cast<long>(CURLAUTH_BASIC | CURLAUTH_DIGEST));
  curl_easy_setopt(handle, CURLOPT_TIMEOUT, kRedirectTimeoutSeconds);
  curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(handle, CURLOPT_SSL_VERIFYPEER, 1L);
  curl_easy_setopt(handle, CURLOPT_SSL_VERIFYHOST, 2L);
  curl_easy_setopt(handle, CURLOPT_CERTINFO, 1L);
  curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, DiscardBody);
  if (cancel != nullptr) {
    curl_easy_setopt(handle, CURLOPT_XFERINFOFUNCTION, CheckCancel);
    curl_easy_setopt(handle, CURLOPT_XFERINFODATA, const_cast<std::atomic<bool>*>(cancel));
    curl_easy_setopt(handle, CURLOPT_NOPROGRESS, 0L);
  }
  const CURLcode code = curl_easy_perform(handle);
  if (code != CURLE_OK) {
    TVLOG_WARN() << "invitation link request failed: " << curl_easy_strerror(code);
    return std::string();
  }
  const char* scheme = nullptr;
  curl_easy_getinfo(handle, CURLINFO_SCHEME, &scheme);
  const bool https = scheme != nullptr && curl_strequal(scheme, "https");
  if (https && !CurlServerIsTrusted(handle, HostOf(url))) {
    TVLOG_WARN() << "invitation link: the server's certificate is not trusted";
    return std::string();
  }
  const char* location = nullptr;
  curl_easy_getinfo(handle, CURLINFO_REDIRECT_URL, &location);
  if (location == nullptr) {
    long status = 0;
    curl_easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &status);
    TVLOG_WARN() << "invitation link answered HTTP " << static_cast<int>(status)
                 << " without a redirect";
    return std::string();
  }
  return location;
}
