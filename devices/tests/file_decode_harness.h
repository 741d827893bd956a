#pragma once

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "devices/av_file_decode_engine.h"

// A user of the decode engine for tests: it owns one engine made on the test's thread, records
// pictures (with the frame number read from the stripes every fixture draws) and
// notifications, pumps the thread's messages and pulls audio on a thread of its own.

namespace morlun_test {

// One notification as the sink received it.
struct Notice {
  int kind;  // 1 position (a = manual, b = position), 2 finished (a = manual, b = code),
             // 3 state (a = state, b = code)
  int a;
  int b;
};

// The frame number in a stripes picture of `width` x `height` (packed I420).
int FrameNumberOf(const uint8_t* data, int width, int height);
// The fixture's path (UTF-16) and the host ffprobe's video frame count (-1 when unknown).
std::wstring DataPath(const std::string& name);
int HostFrameCount(const std::string& name);

class TestPlayer : public IAVFrame, public AvFileDecodeSink {
 public:
  TestPlayer();
  ~TestPlayer() override;

  AvFileDecodeEngine* engine() { return engine_; }
  // Destroys the engine now (the destructor does nothing more).
  void DestroyEngine();
  // Stops pulling and hands the engine over to the caller, who destroys it.
  AvFileDecodeEngine* ReleaseEngine();

  // The client's settings: box, signed 16-bit stereo at 48000 Hz in 480-sample frames, I420 at
  // the source size and rate, the loop count.
  void Configure(int box_width, int box_height, int loops);
  // Opens (measuring the real duration when `pre_read`) and starts; false when either fails.
  bool OpenAndStart(const std::string& name, bool pre_read = false);

  // Pulls 1920 bytes (10 ms) every `interval_ms` (0: as fast as it can) until StopPulling.
  void StartPulling(int interval_ms);
  void StopPulling();
  // Bytes that were not zero in pulls made while the engine said it was paused.
  long long NonSilentWhilePaused() const { return non_silent_paused_.load(); }
  // Bytes that were not zero in all pulls so far.
  long long NonSilentPulled() const { return non_silent_.load(); }

  // Pumps messages until `done` is true or the time-out passes; returns `done`.
  bool PumpUntil(const std::function<bool()>& done, int timeout_ms);
  void PumpFor(int ms);
  // Waits for OnAvFileDecodeFinished; returns its code, or -1 on time-out.
  int WaitFinished(int timeout_ms);

  std::vector<int> Frames();
  int FrameCount();
  void LastFrameSize(int* width, int* height, int* size);
  std::vector<Notice> notices() const { return notices_; }
  std::vector<std::pair<int, int>> States() const;  // (state, code) in order
  // Called on the pacing thread with each frame number.
  void SetFrameHook(std::function<void(int)> hook) { hook_ = std::move(hook); }

  // IAVFrame
  void OnVideoFrame(int width, int height, const uint8_t* data, int size) override;
  void OnVideoFrameUnused() override {}
  // AvFileDecodeSink
  void OnAvFileDecodePosChanged(AvFileDecodeEngine* inst, bool manual, int pos) override;
  void OnAvFileDecodeFinished(AvFileDecodeEngine* inst, bool manual, int code) override;
  void OnAvFileDecodeStateChanged(AvFileDecodeEngine* inst, int state, int code) override;

 private:
  AvFileDecodeEngine* engine_ = nullptr;
  std::mutex mutex_;
  std::vector<int> frames_;                               // Protected by |mutex_|.
  int last_width_ = 0, last_height_ = 0, last_size_ = 0;  // Protected by |mutex_|.
  std::function<void(int)> hook_;
  std::vector<Notice> notices_;  // Test thread only.
  std::thread puller_;
  std::atomic<bool> pulling_{false};
  std::atomic<long long> non_silent_paused_{0};
  std::atomic<long long> non_silent_{0};
};

// Collects what this process sends to the debugger output (the engine's log lines) while it
// lives. One at a time.
class DebugOutputCapture {
 public:
  DebugOutputCapture();
  ~DebugOutputCapture();
  DebugOutputCapture(const DebugOutputCapture&) = delete;
  DebugOutputCapture& operator=(const DebugOutputCapture&) = delete;

  std::string Text();
  bool Contains(const std::string& text) { return Text().find(text) != std::string::npos; }

 private:
  void* handler_;
};

}  // namespace morlun_test
