#include "platform/orvim/sdk/task_thread.h"

#include <chrono>
#include <utility>

namespace orvim::sdk {

TaskThread::TaskThread(const wchar_t* name, const ThreadHooks& hooks) {
  thread_ = StartThread(name, hooks, [this] { Run(); });
  std::lock_guard<std::mutex> lock(mutex_);
  thread_id_ = thread_.get_id();
}

TaskThread::~TaskThread() { Stop(); }

void TaskThread::Post(std::function<void()> task) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (stopping_) return;
  queue_.push_back(std::move(task));
  ++posted_;
  wake_.notify_one();
}

bool TaskThread::Flush(unsigned timeout_ms) {
  if (IsCurrent()) return true;
  std::unique_lock<std::mutex> lock(mutex_);
  const uint64_t target = posted_;
  return done_.wait_for(lock, std::chrono::milliseconds(timeout_ms),
                        [&] { return finished_ >= target || stopping_; }) &&
         finished_ >= target;
}

void TaskThread::Stop() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
    queue_.clear();
    wake_.notify_one();
    done_.notify_all();
  }
  if (!thread_.joinable()) return;
  if (IsCurrent()) {
    thread_.detach();  // Stopped from one of its own tasks: it ends when that task returns.
  } else {
    thread_.join();
  }
}

bool TaskThread::IsCurrent() const { return std::this_thread::get_id() == thread_id_; }

void TaskThread::Run() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    wake_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
    if (stopping_) return;
    std::function<void()> task = std::move(queue_.front());
    queue_.pop_front();
    lock.unlock();
    try {
      task();
    } catch (...) {
      // A failing callback must not end the thread.
    }
    lock.lock();
    ++finished_;
    done_.notify_all();
  }
}

}  // namespace orvim::sdk
