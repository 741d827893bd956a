#include "shell/http/http_url.h"

#include <cstdlib>

const char kHttpFormBoundary[] = "----WebKitFormBoundaryl6TGOBASIHwzq0uj";

bool ParseHttpUrl(const std::string& url, bool secure, StHttpUrl* out) {
  size_t begin = 0;
  const size_t scheme_end = url.find("://");
  if (scheme_end != std::string::npos) {
    secure = url.compare(0, scheme_end, "https") == 0 && scheme_end == 5;
    begin = scheme_end + 3;
  }
  const size_t slash = url.find('/', begin);
  std::string host_part =
      url.substr(begin, slash == std::string::npos ? std::string::npos : slash - begin);
  out->path = slash == std::string::npos ? std::string() : url.substr(slash + 1);
  out->secure = secure;

  const size_t colon = host_part.find(':');
  if (colon == std::string::npos) {
    out->host = host_part;
    out->port = secure ? 443 : 80;
  } else {
    out->host = host_part.substr(0, colon);
    const std::string digits = host_part.substr(colon + 1);
    if (digits.empty() || digits.size() > 5 ||
        digits.find_first_not_of("0123456789") != std::string::npos) {
      return false;
    }
    out->port = std::atoi(digits.c_str());
  }
  return !out->host.empty() && out->port >= 1 && out->port <= 65535;
}

std::string BuildMultipartBody(const std::string& content, const std::string& fileName) {
  const std::string line = std::string("\r\n--") + kHttpFormBoundary + "\r\n";
  std::string body;
  body.reserve(content.size() + 512);
  body += line;
  body += "Content-Disposition: form-data; name=\"file1\"; filename=\"";
  body += fileName;
  body += "\"\r\n";
  body += fileName.find(".zip") != std::string::npos
              ? "Content-Type:application/x-zip-compressed\r\n\r\n"
              : "Content-Type:application/octet-stream\r\n\r\n";
  body += content;
  body += line;
  body += "Content-Disposition: form-data; name=\"submit\"\r\n\r\nUpload";
  body += line;
  body += "Content-Disposition: form-data; name=\"test\"\r\n\r\nvalue";
  body += line;
  return body;
}
