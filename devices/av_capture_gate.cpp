#include "devices/av_capture_gate.h"

namespace morlun {

void AvCaptureGate::Open() {
  std::lock_guard<std::mutex> lock(mutex_);
  open_ = true;
}

bool AvCaptureGate::Enter() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!open_) return false;
  ++running_;
  callback_thread_ = GetCurrentThreadId();
  return true;
}

void AvCaptureGate::Leave() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (--running_ == 0) {
    callback_thread_ = 0;
    idle_.notify_all();
  }
}

bool AvCaptureGate::Close() {
  std::unique_lock<std::mutex> lock(mutex_);
  open_ = false;
  if (running_ > 0 && callback_thread_ == GetCurrentThreadId()) return true;
  idle_.wait(lock, [this] { return running_ == 0; });
  return false;
}

bool AvCaptureGate::IsInsideCallback() {
  std::lock_guard<std::mutex> lock(mutex_);
  return running_ > 0 && callback_thread_ == GetCurrentThreadId();
}

}  // namespace morlun
