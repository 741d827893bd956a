#include "platform/browser/engine/devtools_socket.h"

#include <windows.h>
#include <winhttp.h>

#include <utility>

namespace {

HINTERNET H(void* handle) { return static_cast<HINTERNET>(handle); }

void CloseInternet(void*& handle) {
  if (handle != nullptr) WinHttpCloseHandle(H(handle));
  handle = nullptr;
}

}  // namespace

DevToolsSocket::~DevToolsSocket() { Close(); }

bool DevToolsSocket::Open(int port, const std::string& path, MessageHandler on_message,
                          ClosedHandler on_closed) {
  if (socket_ != nullptr || port <= 0 || port > 65535) return false;
  const std::wstring wide_path(path.begin(), path.end());  // The engine's paths are ASCII.
  session_ = WinHttpOpen(L"TarvoLive", WINHTTP_ACCESS_TYPE_NO_PROXY, WINHTTP_NO_PROXY_NAME,
                         WINHTTP_NO_PROXY_BYPASS, 0);
  if (session_ != nullptr) {
    connection_ = WinHttpConnect(H(session_), L"127.0.0.1", static_cast<INTERNET_PORT>(port), 0);
  }
  HINTERNET request = nullptr;
  if (connection_ != nullptr) {
    request = WinHttpOpenRequest(H(connection_), L"GET", wide_path.c_str(), nullptr,
                                 WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES, 0);
  }
  if (request != nullptr &&
      WinHttpSetOption(request, WINHTTP_OPTION_UPGRADE_TO_WEB_SOCKET, nullptr, 0) &&
      WinHttpSendRequest(request, WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA, 0, 0,
                         0) &&
      WinHttpReceiveResponse(request, nullptr)) {
    DWORD status = 0;
    DWORD size = sizeof(status);
    WinHttpQueryHeaders(request, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                        WINHTTP_HEADER_NAME_BY_INDEX, &status, &size, WINHTTP_NO_HEADER_INDEX);
    if (status == 101) socket_ = WinHttpWebSocketCompleteUpgrade(request, 0);
  }
  if (request != nullptr) WinHttpCloseHandle(request);
  if (socket_ == nullptr) {
    CloseInternet(connection_);
    CloseInternet(session_);
    return false;
  }
  on_message_ = std::move(on_message);
  on_closed_ = std::move(on_closed);
  closing_ = false;
  receiver_ = std::thread([this, socket = socket_] { Receive(socket); });
  return true;
}

bool DevToolsSocket::Send(const std::string& text) {
  std::lock_guard<std::mutex> hold(send_lock_);
  if (socket_ == nullptr || closing_) return false;
  return WinHttpWebSocketSend(H(socket_), WINHTTP_WEB_SOCKET_UTF8_MESSAGE_BUFFER_TYPE,
                              const_cast<char*>(text.data()),
                              static_cast<DWORD>(text.size())) == NO_ERROR;
}

void DevToolsSocket::Receive(void* socket) {
  std::string message;
  std::string buffer(64 * 1024, '\0');
  for (;;) {
    DWORD got = 0;
    WINHTTP_WEB_SOCKET_BUFFER_TYPE type = WINHTTP_WEB_SOCKET_CLOSE_BUFFER_TYPE;
    const DWORD error = WinHttpWebSocketReceive(H(socket), &buffer[0],
                                                static_cast<DWORD>(buffer.size()), &got, &type);
    if (error != NO_ERROR || type == WINHTTP_WEB_SOCKET_CLOSE_BUFFER_TYPE) break;
    if (type == WINHTTP_WEB_SOCKET_BINARY_MESSAGE_BUFFER_TYPE ||
        type == WINHTTP_WEB_SOCKET_BINARY_FRAGMENT_BUFFER_TYPE) {
      message.clear();  // The protocol speaks text only; a binary message is skipped.
      continue;
    }
    message.append(buffer.data(), got);
    if (type == WINHTTP_WEB_SOCKET_UTF8_FRAGMENT_BUFFER_TYPE) continue;
    {
      std::lock_guard<std::mutex> hold(send_lock_);
      if (closing_) return;
    }
    on_message_(std::move(message));
    message.clear();
  }
  {
    std::lock_guard<std::mutex> hold(send_lock_);
    if (closing_) return;
    closing_ = true;  // No more sends on a dead connection.
  }
  on_closed_();
}

void DevToolsSocket::Close() {
  {
    std::lock_guard<std::mutex> hold(send_lock_);
    closing_ = true;
    // Closing the socket handle ends a receive that is waiting.
    CloseInternet(socket_);
  }
  if (receiver_.joinable()) {
    if (receiver_.get_id() == std::this_thread::get_id()) {
      receiver_.detach();  // Closed from a callback: the thread ends on its own.
    } else {
      receiver_.join();
    }
  }
  CloseInternet(connection_);
  CloseInternet(session_);
}
