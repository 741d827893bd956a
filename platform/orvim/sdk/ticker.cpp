#include "platform/orvim/sdk/ticker.h"

#include <chrono>
#include <utility>

namespace orvim::sdk {

Ticker::Ticker(const wchar_t* name, const ThreadHooks& hooks, int period_ms, std::function<void()> tick)
    : period_ms_(period_ms), tick_(std::move(tick)) {
  thread_ = StartThread(name, hooks, [this] { Run(); });
}

Ticker::~Ticker() { Stop(); }

void Ticker::Stop() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
    wake_.notify_all();
  }
  if (!thread_.joinable()) return;
  if (thread_.get_id() == std::this_thread::get_id()) {
    thread_.detach();
  } else {
    thread_.join();
  }
}

void Ticker::Run() {
  using Clock = std::chrono::steady_clock;
  auto next = Clock::now();
  for (;;) {
    {
      std::unique_lock<std::mutex> lock(mutex_);
      next += std::chrono::milliseconds(period_ms_);
      const auto now = Clock::now();
      if (next < now - std::chrono::milliseconds(100)) next = now;
      if (wake_.wait_until(lock, next, [this] { return stopping_; })) return;
    }
    try {
      tick_();
    } catch (...) {
      // A failing tick does not end the thread.
    }
  }
}

}  // namespace orvim::sdk
