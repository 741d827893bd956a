#pragma once

#include <winsock2.h>

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

#include "platform/orvim/common/wire.h"

namespace orvim {

// Hooks a side runs on each thread it starts (naming, counting).
struct ThreadHooks {
  std::function<void()> on_create;  // On the creating thread, before the new one starts.
  std::function<void()> on_start;   // First thing on the new thread.
  std::function<void()> on_exit;    // Last thing on the new thread (or when it failed to start).
};

// Sets the calling thread's description where Windows offers it.
void NameCurrentThread(const wchar_t* name);

// Starts |body| on a new thread that runs |hooks| around it, names itself |name| and lets no
// exception out.
std::thread StartThread(const wchar_t* name, const ThreadHooks& hooks, std::function<void()> body);

// Sends the messages of one connection on a thread of its own, in order. Media messages are
// dropped while more than |max_media_bytes| of media wait (a slow peer loses frames, not the
// sender's time); other messages always queue.
//
// Thread-safe. The socket is borrowed: its owner shuts it down (which ends a blocked send)
// before it stops the writer, and closes it afterwards.
class SocketWriter {
 public:
  SocketWriter(SOCKET socket, const wchar_t* thread_name, const ThreadHooks& hooks,
               size_t max_media_bytes);
  ~SocketWriter();
  SocketWriter(const SocketWriter&) = delete;
  SocketWriter& operator=(const SocketWriter&) = delete;

  // Queues |message|; false when it was dropped or the writer has stopped or failed.
  bool Post(OutMessage message);
  // Sends what is queued, then shuts the socket down; later posts are dropped. Does not wait.
  void Finish();
  // Ends the thread (what is still queued is dropped) and joins it.
  void Stop();

  // Media messages dropped so far.
  size_t dropped() const;
  // True once a send failed.
  bool failed() const;

 private:
  void Run();

  SOCKET socket_;
  const size_t max_media_bytes_;
  mutable std::mutex mutex_;  // Protects everything below.
  std::condition_variable wake_;
  std::deque<OutMessage> queue_;
  size_t media_bytes_ = 0;
  size_t dropped_ = 0;
  bool finishing_ = false;
  bool stopping_ = false;
  bool failed_ = false;
  std::thread thread_;
};

}  // namespace orvim
