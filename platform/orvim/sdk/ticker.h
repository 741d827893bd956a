#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

#include "platform/orvim/common/socket_writer.h"

namespace orvim::sdk {

// Calls |tick| every |period_ms| on a thread of its own (paced on a steady clock, no catching
// up after a stall) until Stop.
class Ticker {
 public:
  Ticker(const wchar_t* name, const ThreadHooks& hooks, int period_ms, std::function<void()> tick);
  ~Ticker();
  Ticker(const Ticker&) = delete;
  Ticker& operator=(const Ticker&) = delete;

  // Waits for a running tick and joins.
  void Stop();

 private:
  void Run();

  const int period_ms_;
  std::function<void()> tick_;
  std::mutex mutex_;  // Guards |stopping_|.
  std::condition_variable wake_;
  bool stopping_ = false;
  std::thread thread_;
};

}  // namespace orvim::sdk
