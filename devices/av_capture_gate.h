#pragma once

// The gate between a capture engine's control thread and DirectShow's streaming thread: frame
// and buffer callbacks pass it only while capture is started, and closing it waits until a
// callback in progress has ended, except when the closing call comes from inside that
// callback (a Stop made by the user's OnFrame or OnAudio), which must not wait for itself.
//
// Thread-safe.

#include <windows.h>

#include <condition_variable>
#include <mutex>

namespace morlun {

class AvCaptureGate {
 public:
  AvCaptureGate() = default;
  AvCaptureGate(const AvCaptureGate&) = delete;
  AvCaptureGate& operator=(const AvCaptureGate&) = delete;

  // Admits callbacks from now on.
  void Open();
  // Streaming thread: true when a callback may run now; Leave must follow it.
  bool Enter();
  void Leave();
  // Admits no further callback. Returns true when called from inside a callback (it does not
  // wait then); otherwise waits until no callback runs and returns false.
  bool Close();
  // True when the calling thread is inside a callback.
  bool IsInsideCallback();

 private:
  std::mutex mutex_;  // Protects the three fields below.
  std::condition_variable idle_;
  bool open_ = false;
  int running_ = 0;           // Callbacks in progress.
  DWORD callback_thread_ = 0;  // The streaming thread of the callback in progress.
};

}  // namespace morlun
