#pragma once

#include <functional>
#include <mutex>
#include <string>
#include <thread>

// One WebSocket connection to the web engine's DevTools endpoint on 127.0.0.1 (WinHTTP's
// WebSocket functions). Text messages arrive whole, in order, on the connection's own receive
// thread; the closed callback runs once on that thread when the connection ends for any reason
// other than Close (the engine ended, the socket failed).
//
// Send may be called from any thread (one lock serialises writers); Open and Close belong to
// the owner's thread.
class DevToolsSocket {
 public:
  using MessageHandler = std::function<void(std::string&& text)>;
  using ClosedHandler = std::function<void()>;

  DevToolsSocket() = default;
  ~DevToolsSocket();
  DevToolsSocket(const DevToolsSocket&) = delete;
  DevToolsSocket& operator=(const DevToolsSocket&) = delete;

  // Connects to ws://127.0.0.1:|port||path| and starts the receive thread. False (and nothing
  // started) when the connection cannot be made.
  bool Open(int port, const std::string& path, MessageHandler on_message, ClosedHandler on_closed);
  // Sends one text message; false when the connection is not open or the send failed.
  bool Send(const std::string& text);
  // Ends the connection and waits for the receive thread; no callback runs after it returns.
  void Close();

 private:
  // The receive thread's body; |socket| is its own copy of the handle, which Close may close.
  void Receive(void* socket);

  void* session_ = nullptr;  // WinHTTP handles, owned.
  void* connection_ = nullptr;
  void* socket_ = nullptr;
  std::mutex send_lock_;  // Serialises WinHttpWebSocketSend; guards |socket_| for senders.
  std::thread receiver_;
  MessageHandler on_message_;
  ClosedHandler on_closed_;
  bool closing_ = false;  // Set under |send_lock_| by Close before the socket goes.
};
