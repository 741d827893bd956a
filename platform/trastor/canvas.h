#pragma once

// One canvas: its settings, its sources and its engine thread.
//
// Locks, never nested except |run_mutex_| → |tick_mutex_| → |state_mutex_|, and none held
// while a sink runs except |tick_mutex_|, which only ticks and Close take:
//   |run_mutex_|    serialises Start, Stop, Close and Retire from threads that are not ticking;
//   |tick_mutex_|   held for a whole tick, so ticks never overlap and Close waits for one;
//   |state_mutex_|  the settings and the source list;
//   |thread_mutex_| the engine thread's wake-up conditions.

#include <windows.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "picture.h"
#include "platform/trastor/trastor.h"
#include "platform/trastor/trastor_testing.h"
#include "source.h"

namespace trastor {

class Canvas final : public TrastorCanvas {
 public:
  explicit Canvas(std::string name);
  ~Canvas();
  Canvas(const Canvas&) = delete;
  Canvas& operator=(const Canvas&) = delete;

  const std::string& name() const { return name_; }

  // TrastorCanvas; callable from any thread.
  TrastorSource* CreateSource(int kind, const char* name, int reserved) override;
  void Close() override;
  bool SetSize(int width, int height) override;
  void GetSize(int* width, int* height) override;
  bool SetFrameRate(float frames_per_second) override;
  void SetWindow(HWND window) override;
  bool SetViewSize(int width, int height) override;
  bool SetOutputMode(int mode) override;
  bool Start() override;
  void Stop() override;
  bool IsRunning() override;
  void SetFrameOutSink(gsVideoFrameOutSink* sink) override;
  void SetBackground(unsigned int argb) override;

  // Stops and closes the canvas for good: later calls do nothing. False (nothing done) on the
  // thread that is running a tick of this canvas.
  bool Retire();
  // True on the thread that is running a tick of this canvas (inside its sinks).
  bool IsTickingThread() const;

  // Test support.
  bool RunTick(unsigned timeout_ms);
  bool GetLastPicture(unsigned char* pixels, int capacity, int* width, int* height);
  void GetCounters(TrastorCanvasCounters* counters) const;
  TrastorSource* GetSource(int index);

 private:
  // A copy of the settings one tick works with.
  struct TickSettings {
    int width;
    int height;
    std::uint32_t background;
    int mode;
    HWND window;
    int view_width;
    int view_height;
    gsVideoFrameOutSink* sink;
    std::vector<Source*> sources;
  };

  void EngineLoop();
  void Tick();
  // Both with |run_mutex_| held, never on the ticking thread.
  void StopLocked();
  void CloseLocked();
  PictureView Compose(const TickSettings& settings);
  void Output(const TickSettings& settings, const PictureView& picture);
  void DrawIntoWindow(const TickSettings& settings, const PictureView& picture);

  const std::string name_;

  std::mutex run_mutex_;
  std::thread thread_;                // Protected by |run_mutex_|.
  std::atomic<bool> retired_{false};  // Set under |run_mutex_|.
  std::atomic<bool> running_{false};

  std::mutex tick_mutex_;
  std::atomic<DWORD> ticking_thread_{0};
  // Used while |tick_mutex_| is held.
  Picture picture_;
  Picture scratch_;
  std::vector<std::uint8_t> i420_;
  PictureView last_picture_;

  mutable std::mutex state_mutex_;
  int width_ = 640;
  int height_ = 480;
  double frame_interval_ms_ = 1000.0 / 15;
  HWND window_ = nullptr;
  int view_width_ = 0;
  int view_height_ = 0;
  int mode_ = kOutputWindow;
  gsVideoFrameOutSink* sink_ = nullptr;
  std::uint32_t background_ = 0xFF000000;
  std::vector<std::unique_ptr<Source>> sources_;  // Closed sources stay until destruction.

  std::mutex thread_mutex_;
  std::condition_variable thread_wake_;
  bool stop_requested_ = false;  // Protected by |thread_mutex_|.
  unsigned tick_requests_ = 0;   // Protected by |thread_mutex_|.
  unsigned ticks_served_ = 0;    // Protected by |thread_mutex_|.

  std::atomic<long long> ticks_{0};
  std::atomic<long long> pulls_{0};
  std::atomic<long long> outputs_{0};
  std::atomic<long long> draws_{0};
};

}  // namespace trastor
