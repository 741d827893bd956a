#include "platform/orvim/server/page_files.h"

#include <windows.h>

#include <string>

namespace orvim::server {

namespace {

constexpr size_t kMaxRequestBytes = 16 * 1024;
constexpr DWORD kReadTimeoutMs = 5000;
constexpr unsigned long long kMaxFileBytes = 16ull * 1024 * 1024;
constexpr char kPagePath[] = "/cla/pc";
constexpr char kFolderPath[] = "/cla/";

bool PlainFileName(const std::string& name) {
  if (name.empty() || name.size() > 128 || name[0] == '.') return false;
  for (char c : name) {
    const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                    c == '-' || c == '_' || c == '.';
    if (!ok) return false;
  }
  return true;
}

const char* ContentType(const std::string& name) {
  const size_t dot = name.rfind('.');
  const std::string ext = dot == std::string::npos ? std::string() : name.substr(dot + 1);
  if (ext == "html") return "text/html; charset=utf-8";
  if (ext == "css") return "text/css; charset=utf-8";
  if (ext == "js") return "text/javascript; charset=utf-8";
  if (ext == "json") return "application/json";
  if (ext == "png") return "image/png";
  if (ext == "svg") return "image/svg+xml";
  if (ext == "ico") return "image/x-icon";
  return "application/octet-stream";
}

bool SendAll(SOCKET socket, const char* data, size_t size) {
  while (size > 0) {
    const int chunk = size > (1u << 20) ? (1 << 20) : static_cast<int>(size);
    const int sent = send(socket, data, chunk, 0);
    if (sent <= 0) return false;
    data += sent;
    size -= static_cast<size_t>(sent);
  }
  return true;
}

// The whole file, or false when it is missing, a folder, unreadable or too large.
bool ReadFileBytes(const std::wstring& path, std::string* out) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY))
    return false;
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  LARGE_INTEGER size{};
  bool ok = GetFileSizeEx(file, &size) && size.QuadPart >= 0 &&
            static_cast<unsigned long long>(size.QuadPart) <= kMaxFileBytes;
  if (ok) {
    out->resize(static_cast<size_t>(size.QuadPart));
    size_t done = 0;
    while (ok && done < out->size()) {
      DWORD got = 0;
      ok = ReadFile(file, &(*out)[done], static_cast<DWORD>(out->size() - done), &got, nullptr) &&
           got > 0;
      done += got;
    }
  }
  CloseHandle(file);
  return ok;
}

void Answer(SOCKET socket, const char* status, const char* type, const std::string& body,
            bool with_body, const char* extra = "") {
  std::string head = std::string("HTTP/1.1 ") + status + "\r\nContent-Type: " + type +
                     "\r\nContent-Length: " + std::to_string(body.size()) +
                     "\r\nCache-Control: no-store\r\nX-Content-Type-Options: nosniff\r\n" + extra +
                     "Connection: close\r\n\r\n";
  if (with_body) head += body;
  SendAll(socket, head.data(), head.size());
}

void AnswerError(SOCKET socket, const char* status, bool with_body, const char* extra = "") {
  Answer(socket, status, "text/plain; charset=utf-8", std::string(status) + "\n", with_body, extra);
}

}  // namespace

bool StartsHttpRequest(const uint8_t* head, size_t size) {
  if (size < 4) return false;
  for (size_t i = 0; i < 4; ++i) {
    const bool letter = head[i] >= 'A' && head[i] <= 'Z';
    if (!letter && !(i == 3 && head[i] == ' ')) return false;
  }
  return true;
}

std::string PageFileName(const std::string& target) {
  const std::string path = target.substr(0, target.find_first_of("?#"));
  if (path == kPagePath) return "index.html";
  const size_t folder = sizeof(kFolderPath) - 1;
  if (path.compare(0, folder, kFolderPath) != 0) return std::string();
  const std::string name = path.substr(folder);
  return PlainFileName(name) ? name : std::string();
}

void ServePageRequest(SOCKET socket, const std::string& head, const std::wstring& root) {
  // A client that stops sending must not hold this connection's thread for ever.
  const DWORD timeout = kReadTimeoutMs;
  setsockopt(socket, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout),
             sizeof(timeout));
  std::string request = head;
  while (request.find("\r\n\r\n") == std::string::npos) {
    if (request.size() > kMaxRequestBytes) {
      AnswerError(socket, "400 Bad Request", true);
      return;
    }
    char buffer[2048];
    const int got = recv(socket, buffer, sizeof(buffer), 0);
    if (got <= 0) return;  // Ended or silent: nothing to answer.
    request.append(buffer, static_cast<size_t>(got));
  }

  // "METHOD SP target SP HTTP/1.x"
  const std::string line = request.substr(0, request.find("\r\n"));
  const size_t first = line.find(' ');
  const size_t second = first == std::string::npos ? first : line.find(' ', first + 1);
  const std::string method = line.substr(0, first);
  const bool with_body = method != "HEAD";
  if (second == std::string::npos || line.find(' ', second + 1) != std::string::npos ||
      line.compare(second + 1, 7, "HTTP/1.") != 0 || line.size() != second + 9 ||
      line[first + 1] != '/') {
    AnswerError(socket, "400 Bad Request", with_body);
  } else if (method != "GET" && method != "HEAD") {
    AnswerError(socket, "405 Method Not Allowed", true, "Allow: GET, HEAD\r\n");
  } else {
    const std::string name = PageFileName(line.substr(first + 1, second - first - 1));
    std::string body;
    if (name.empty() ||
        !ReadFileBytes(root + L"\\" + std::wstring(name.begin(), name.end()), &body)) {
      AnswerError(socket, "404 Not Found", with_body);
    } else {
      Answer(socket, "200 OK", ContentType(name), body, with_body);
    }
  }
  // Let the client read the whole answer before the connection closes.
  shutdown(socket, SD_SEND);
  char drain[512];
  while (recv(socket, drain, sizeof(drain), 0) > 0) {
  }
}

}  // namespace orvim::server
