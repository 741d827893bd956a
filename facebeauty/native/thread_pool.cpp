#include "thread_pool.h"

namespace QUENMAR_FACEBEAUTY {

ThreadPool::ThreadPool(int threadCount) {
  const int n = threadCount < 1 ? 1 : threadCount;
  for (int i = 0; i < n; ++i) workers_.emplace_back([this] { work(); });
}

ThreadPool::~ThreadPool() {
  {
    std::lock_guard<std::mutex> guard(lock_);
    stop_ = true;
  }
  wake_.notify_all();
  for (std::thread& worker : workers_) worker.join();
}

void ThreadPool::work() {
  for (;;) {
    std::function<void()> task;
    {
      std::unique_lock<std::mutex> guard(lock_);
      wake_.wait(guard, [this] { return stop_ || !tasks_.empty(); });
      if (stop_ && tasks_.empty()) return;
      task = std::move(tasks_.front());
      tasks_.pop();
    }
    task();
  }
}

}  // namespace QUENMAR_FACEBEAUTY
