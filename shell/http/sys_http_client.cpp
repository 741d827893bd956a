#include "shell/http/sys_http_client.h"

#include <windows.h>
#include <wininet.h>

#include <cstdlib>
#include <new>

#include "foundation/log.h"
#include "shell/http/http_url.h"

namespace {

constexpr DWORD kReadSize = 2048;

// WinINet's status callback for every handle of every client; the context is the client.
void CALLBACK OnInternetStatus(HINTERNET, DWORD_PTR context, DWORD status, LPVOID info, DWORD) {
  if (status != INTERNET_STATUS_REQUEST_COMPLETE || context == 0) {
    return;
  }
  const auto* result = static_cast<const INTERNET_ASYNC_RESULT*>(info);
  const bool ok = result == nullptr || result->dwResult != 0;
  try {
    reinterpret_cast<CSysHttpClient*>(context)->OnRequestComplete(ok, result ? result->dwError : 0);
  } catch (...) {
    // Nothing may leave a WinINet callback.
  }
}

// The body length the answer announces, or -1 when it announces none: a chunked body, an answer
// without body by its status, or no usable Content-Length. WinINet decodes chunked bodies
// itself; one that ends before its last chunk fails only where WinINet reports the cut (Wine's
// takes the closed connection for the end of the body).
long long AnnouncedBodyLength(HINTERNET request, DWORD status) {
  if (status < 200 || status == 204 || status == 304) return -1;
  char text[64] = {};
  DWORD size = sizeof(text) - 1;
  if (HttpQueryInfoA(request, HTTP_QUERY_TRANSFER_ENCODING, text, &size, nullptr)) return -1;
  size = sizeof(text) - 1;
  if (!HttpQueryInfoA(request, HTTP_QUERY_CONTENT_LENGTH, text, &size, nullptr)) return -1;
  char* end = nullptr;
  const long long length = std::strtoll(text, &end, 10);
  return end != text && *end == '\0' && length >= 0 ? length : -1;
}

void SetTimeouts(HINTERNET handle, DWORD ms) {
  InternetSetOptionA(handle, INTERNET_OPTION_CONNECT_TIMEOUT, &ms, sizeof(ms));
  InternetSetOptionA(handle, INTERNET_OPTION_SEND_TIMEOUT, &ms, sizeof(ms));
  InternetSetOptionA(handle, INTERNET_OPTION_RECEIVE_TIMEOUT, &ms, sizeof(ms));
}

}  // namespace

CSysHttpClient::CSysHttpClient() { response_.reserve(8192); }

CSysHttpClient::~CSysHttpClient() {
  if (busy_) {
    // Deleted while a request is open: no completion may reach this object any more.
    for (void* handle : {request_, connection_, session_}) {
      if (handle) {
        InternetSetStatusCallback(handle, nullptr);
      }
    }
  }
  CloseHandles();
  delete[] read_buffer_;
}

int CSysHttpClient::SendRequest(const std::string& url, const std::string& content,
                                const std::string& fileName, CSysHttpClientSink* sink) {
  if (busy_) {
    return kRefused;
  }
  StHttpUrl parts;
  if (!ParseHttpUrl(url, secure_, &parts)) {
    return kRefused;
  }
  host_ = parts.host;
  port_ = parts.port;
  path_ = parts.path;
  secure_ = parts.secure;
  TVLOG_INFO_THIS() << "m_srSvr=" << host_ << ",port=" << port_ << ",uri=" << path_;

  if (fileName.empty()) {
    body_ = content;
    multipart_ = false;
  } else {
    body_ = BuildMultipartBody(content, fileName);
    multipart_ = true;
  }
  sink_ = sink;
  busy_ = true;
  const int result = Send();
  // On success the request may already have completed and the sink may have deleted this
  // client: touch nothing here then.
  if (result != kStarted) {
    TVLOG_ERROR_THIS() << "request not started, result=" << result
                       << ",error=" << static_cast<unsigned long>(GetLastError());
    sink_ = nullptr;
    CloseHandles();
    busy_ = false;
  }
  return result;
}

int CSysHttpClient::Send() {
  if (!session_) {
    session_ = InternetOpenA("BrastelHttpAgent", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr,
                             INTERNET_FLAG_ASYNC);
    if (!session_) {
      return kOpenFailed;
    }
    InternetSetStatusCallback(session_, &OnInternetStatus);
  }
  SetTimeouts(session_, timeout_ms_);
  if (connection_) {
    InternetCloseHandle(connection_);
    connection_ = nullptr;
  }

  // Certificates are checked: a secure upload goes only to a peer that proves who it is.
  DWORD flags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE |
                INTERNET_FLAG_KEEP_CONNECTION | INTERNET_FLAG_NO_COOKIES;
  if (secure_) {
    flags |= INTERNET_FLAG_SECURE;
  }
  const auto context = reinterpret_cast<DWORD_PTR>(this);
  connection_ = InternetConnectA(session_, host_.c_str(), static_cast<INTERNET_PORT>(port_),
                                 nullptr, nullptr, INTERNET_SERVICE_HTTP, flags, context);
  if (!connection_) {
    return kOpenFailed;
  }
  SetTimeouts(connection_, timeout_ms_);

  const char* accept_types[] = {"*/*", nullptr};
  request_ = HttpOpenRequestA(connection_, body_.empty() ? "GET" : "POST", path_.c_str(),
                              "HTTP/1.1", nullptr, accept_types, flags, context);
  if (!request_) {
    return kOpenFailed;
  }
  SetTimeouts(request_, timeout_ms_);

  header_ = multipart_
                ? std::string("Content-Type: multipart/form-data; boundary=") + kHttpFormBoundary
                : std::string("Content-Type:text/xml");
  if (!HttpSendRequestA(request_, header_.c_str(), static_cast<DWORD>(header_.size()),
                        body_.empty() ? nullptr : &body_[0], static_cast<DWORD>(body_.size())) &&
      GetLastError() != ERROR_IO_PENDING) {
    return kFailed;
  }
  return kStarted;
}

void CSysHttpClient::OnRequestComplete(bool async_ok, unsigned long error) {
  if (!read_buffer_) {
    // The request went out and the answer's head arrived (or the exchange failed).
    if (!async_ok) {
      TVLOG_ERROR_THIS() << "request failed, error=" << error;
      Finish(false);
      return;
    }
    DWORD status = 0;
    DWORD size = sizeof(status);
    status_ok_ = HttpQueryInfoA(request_, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status,
                                &size, nullptr) &&
                 status >= 200 && status < 300;
    if (!status_ok_) {
      // The body (an error page) is still read and handed over, as a failure.
      TVLOG_ERROR_THIS() << "answer status=" << static_cast<unsigned long>(status);
    }
    announced_length_ = AnnouncedBodyLength(request_, status);
    read_buffer_ = new (std::nothrow) char[kReadSize]();
    if (!read_buffer_) {
      Finish(false);
      return;
    }
  } else if (read_pending_) {
    // A read that went pending has put its bytes into the buffer.
    read_pending_ = false;
    if (!async_ok) {
      TVLOG_ERROR_THIS() << "read failed, error=" << error;
      Finish(false);
      return;
    }
    if (!AppendRead()) {
      return;
    }
  }
  ReadBody();
}

void CSysHttpClient::ReadBody() {
  for (;;) {
    bytes_read_ = 0;
    // Marked before the call: the completion of a pending read may run on another thread
    // before InternetReadFile has returned here.
    read_pending_ = true;
    if (InternetReadFile(request_, read_buffer_, kReadSize, &bytes_read_)) {
      read_pending_ = false;
      if (bytes_read_ == 0) {
        // WinINet takes a closed connection for the end of the body: a body shorter than its
        // Content-Length was cut off.
        const bool whole =
            announced_length_ < 0 || static_cast<long long>(response_.size()) == announced_length_;
        if (!whole) {
          TVLOG_ERROR_THIS() << "answer cut off: read " << static_cast<unsigned>(response_.size())
                             << " of " << announced_length_ << " bytes";
        }
        Finish(status_ok_ && whole);
        return;
      }
      if (!AppendRead()) {
        return;
      }
      continue;
    }
    if (GetLastError() == ERROR_IO_PENDING) {
      return;  // The next completion goes on reading.
    }
    read_pending_ = false;
    TVLOG_ERROR_THIS() << "read failed, error=" << static_cast<unsigned long>(GetLastError());
    Finish(false);
    return;
  }
}

bool CSysHttpClient::AppendRead() {
  try {
    response_.append(read_buffer_, bytes_read_);
    return true;
  } catch (const std::bad_alloc&) {
    TVLOG_ERROR_THIS() << "response too large, read=" << static_cast<unsigned>(response_.size());
    Finish(false);
    return false;
  }
}

void CSysHttpClient::Finish(bool ok) {
  CloseHandles();
  delete[] read_buffer_;
  read_buffer_ = nullptr;
  read_pending_ = false;
  std::string response;
  response.swap(response_);
  CSysHttpClientSink* sink = sink_;
  sink_ = nullptr;
  busy_ = false;
  if (sink) {
    sink->OnFinish(ok, response, this);
  }
}

void CSysHttpClient::CloseHandles() {
  for (void** handle : {&request_, &connection_, &session_}) {
    if (*handle) {
      InternetCloseHandle(*handle);
      *handle = nullptr;
    }
  }
}
