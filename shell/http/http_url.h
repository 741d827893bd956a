#pragma once

#include <string>

// Pieces of an upload address "scheme://host[:port]/path".
struct StHttpUrl {
  std::string host;
  int port = 0;
  // Everything after the host's "/", without that slash; the query stays in it.
  std::string path;
  bool secure = false;
};

// Splits `url`. The scheme is optional; without one, `secure` keeps the value given. The port
// defaults to 443 for "https" and 80 otherwise. Returns false, leaving `out` unspecified, when
// the host is empty or the port is not a number from 1 to 65535.
bool ParseHttpUrl(const std::string& url, bool secure, StHttpUrl* out);

// The multipart form that carries one file: the file part "file1" named `fileName` (zip content
// type when the name contains ".zip"), then the fields "submit" and "test". Byte-exact; the
// receiving side relies on this layout.
std::string BuildMultipartBody(const std::string& content, const std::string& fileName);

// The boundary the multipart body uses, as it goes into the Content-Type header.
extern const char kHttpFormBoundary[];
