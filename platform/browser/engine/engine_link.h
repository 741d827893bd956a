#pragma once

#include <atomic>
#include <functional>
#include <string>
#include <thread>

#include "platform/browser/engine/devtools_socket.h"

// The client's side of the web engine: makes the client's own profile folder, starts the
// keeper (the render process program with the keeper's arguments, see engine_keeper.h), waits
// on a thread of its own for the engine's protocol port and holds the one protocol connection
// to the engine's browser endpoint.
//
// Callbacks: |ready| or |failed| once, on the waiting thread; then |message| for every message
// and |ended| once when the connection ends, on the connection's receive thread. None runs
// after Stop has returned. Start and Stop belong to one thread (the UI thread); Send to any.
class EngineLink {
 public:
  struct Callbacks {
    std::function<void()> ready;
    std::function<void(const std::string& why)> failed;
    std::function<void(std::string&& text)> message;
    std::function<void()> ended;
  };

  EngineLink() = default;
  ~EngineLink();
  EngineLink(const EngineLink&) = delete;
  EngineLink& operator=(const EngineLink&) = delete;

  // Starts the keeper program |keeper| for an engine with the page locale |locale| ("zh-CN")
  // and the user-agent text |user_agent| (either may be empty). False when the folder or the
  // keeper could not be made; then no callback runs.
  bool Start(const std::wstring& keeper, const std::string& locale, const std::string& user_agent,
             Callbacks callbacks);
  bool Send(const std::string& text) { return socket_.Send(text); }
  // Ends the connection and the keeper, whose end ends the engine, waits a moment for the
  // engine to go and removes the profile folder.
  void Stop();

  int port() const { return port_; }
  const std::wstring& profile() const { return profile_; }

 private:
  void Wait();

  Callbacks callbacks_;
  std::wstring profile_;
  void* keeper_ = nullptr;      // Process handle of the keeper.
  void* stop_event_ = nullptr;  // Set by Stop; ends the wait.
  std::thread waiter_;
  DevToolsSocket socket_;
  std::atomic<int> port_{0};
};
