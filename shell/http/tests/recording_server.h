#pragma once

// Test access to the recording HTTP server (recording_server.py), which the CTest fixture
// "http_server" starts on 127.0.0.1 before the tests that need it.

#include <windows.h>

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

namespace http_testing {

inline std::string StateDir() {
  const char* dir = std::getenv("TARVO_TEST_DATA");
  return std::string(dir ? dir : ".") + "/http-server";
}

inline bool ReadWholeFile(const std::string& path, std::string* out) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    return false;
  }
  out->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return true;
}

// "http://127.0.0.1:<port>", or "" when the server is not running.
inline std::string ServerBase() {
  std::string port;
  if (!ReadWholeFile(StateDir() + "/port", &port)) {
    return std::string();
  }
  return "http://127.0.0.1:" + port;
}

// A first path segment no other test uses, so that its requests are recorded apart.
inline std::string UniqueSegment(const std::string& name) {
  static std::atomic<int> counter{0};
  return name + "-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++counter);
}

struct RecordedRequest {
  std::string head;       // request line and headers
  std::string body;       // exact body bytes
  std::string file;       // file part of a multipart upload
  std::string file_name;  // its file name
};

// Waits up to `timeout_ms` for request number `n` (from 0) recorded under `segment`.
inline bool WaitForRequest(const std::string& segment, int n, RecordedRequest* out,
                           int timeout_ms = 10000) {
  const std::string base = StateDir() + "/requests/" + segment + "/" + std::to_string(n);
  for (int waited = 0; waited <= timeout_ms; waited += 20) {
    if (ReadWholeFile(base + ".head", &out->head)) {
      ReadWholeFile(base + ".body", &out->body);
      ReadWholeFile(base + ".file", &out->file);
      ReadWholeFile(base + ".name", &out->file_name);
      return true;
    }
    Sleep(20);
  }
  return false;
}

// Number of requests recorded under `segment` so far.
inline int RequestCount(const std::string& segment) {
  int n = 0;
  std::string unused;
  while (ReadWholeFile(StateDir() + "/requests/" + segment + "/" + std::to_string(n) + ".head",
                       &unused)) {
    ++n;
  }
  return n;
}

}  // namespace http_testing
