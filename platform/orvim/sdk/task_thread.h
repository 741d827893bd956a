#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

#include "platform/orvim/common/socket_writer.h"

namespace orvim::sdk {

// Runs posted tasks one after another on a thread of its own, in the order they were posted.
// Thread-safe.
class TaskThread {
 public:
  TaskThread(const wchar_t* name, const ThreadHooks& hooks);
  ~TaskThread();
  TaskThread(const TaskThread&) = delete;
  TaskThread& operator=(const TaskThread&) = delete;

  // Queues |task|; dropped once Stop was called.
  void Post(std::function<void()> task);
  // Waits until every task posted before the call has run. True at once on the thread itself;
  // false after |timeout_ms| or when the thread has stopped with tasks left.
  bool Flush(unsigned timeout_ms);
  // Runs no further task, waits for the running one and joins.
  void Stop();
  // True on the task thread itself.
  bool IsCurrent() const;

 private:
  void Run();

  std::mutex mutex_;  // Protects everything below.
  std::condition_variable wake_;
  std::condition_variable done_;
  std::deque<std::function<void()>> queue_;
  uint64_t posted_ = 0;
  uint64_t finished_ = 0;
  bool stopping_ = false;
  std::thread thread_;
  std::thread::id thread_id_;
};

}  // namespace orvim::sdk
