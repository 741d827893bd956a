// A fixed set of worker threads taking tasks first in, first out. The destructor lets the
// queued tasks run, then joins the workers.
#pragma once

#include <condition_variable>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <queue>
#include <stdexcept>
#include <thread>
#include <vector>

namespace QUENMAR_FACEBEAUTY {

class ThreadPool {
 public:
  // At least one worker: a pool without workers would never run a task.
  explicit ThreadPool(int threadCount);
  ~ThreadPool();
  ThreadPool(const ThreadPool&) = delete;
  ThreadPool& operator=(const ThreadPool&) = delete;

  // Throws std::runtime_error("enqueue on stopped ThreadPool") once the pool is stopping.
  template <class F>
  std::future<void> enqueue(F&& task) {
    auto packaged = std::make_shared<std::packaged_task<void()>>(std::forward<F>(task));
    std::future<void> result = packaged->get_future();
    {
      std::lock_guard<std::mutex> guard(lock_);
      if (stop_) throw std::runtime_error("enqueue on stopped ThreadPool");
      tasks_.emplace([packaged] { (*packaged)(); });
    }
    wake_.notify_one();
    return result;
  }

 private:
  void work();

  std::vector<std::thread> workers_;
  std::queue<std::function<void()>> tasks_;
  std::mutex lock_;  // guards tasks_ and stop_
  std::condition_variable wake_;
  bool stop_ = false;
};

}  // namespace QUENMAR_FACEBEAUTY
