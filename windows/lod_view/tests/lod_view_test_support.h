#pragma once

// What the local media window's tests share: the owner that records playback reports, the
// window with its frames counted, a thread that pulls the sound the way the SDK's audio thread
// does, and message pumping for the engines' notifications.

#include <windows.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "share/share_delegate.h"
#include "windows/lod_view/lod_view_frame.h"

class CSdkInterActive;

namespace lod_test {

struct Report {
  std::string md5;
  int status, total, current;
};

// The main window's side of ShareDelegate: records the playback reports.
class RecordingOwner : public ShareDelegate {
 public:
  void OnShareStarted() override {}
  void OnShareStopped() override {}
  void OnShowShareFrame() override {}
  void OnLocalPlayback(const std::string& md5, int status, int total, int current) override {
    reports.push_back(Report{md5, status, total, current});
  }
  // How many reports of `status` (for `md5` unless empty) arrived.
  int Count(int status, const std::string& md5 = std::string()) const;

  std::vector<Report> reports;  // UI thread only.
};

// The window with the frame numbers of the pictures it was handed (the stripes every fixture
// draws), in order.
class ProbeFrame : public CLodViewFrame {
 public:
  using CLodViewFrame::CLodViewFrame;
  void OnVideoFrame(int width, int height, const uint8_t* data, int size) override;
  std::vector<int> Frames();
  size_t FrameCount();

 private:
  std::mutex mutex_;  // Protects |frames_|.
  std::vector<int> frames_;
};

// Creates `frame`'s window as the main window does: hidden, no parent.
HWND CreateHidden(CLodViewFrame* frame);

// Pumps this thread's messages until `done` is true or `timeout_ms` passed; returns `done`.
bool PumpUntil(const std::function<bool()>& done, int timeout_ms = 20000);
void PumpFor(int ms);

// Pulls `bytes` every `interval_ms` through the layer's audio generator on a thread of its own,
// as the SDK's audio thread does, until destroyed.
class AudioPuller {
 public:
  AudioPuller(CSdkInterActive* layer, int bytes = 1920, int interval_ms = 10);
  ~AudioPuller();
  AudioPuller(const AudioPuller&) = delete;
  AudioPuller& operator=(const AudioPuller&) = delete;
  long long pulls() const { return pulls_.load(); }
  long long non_zero_bytes() const { return non_zero_.load(); }
  long long false_answers() const { return false_answers_.load(); }

 private:
  std::atomic<bool> running_{true};
  std::atomic<long long> pulls_{0};
  std::atomic<long long> non_zero_{0};
  std::atomic<long long> false_answers_{0};
  std::thread thread_;
};

// Writes `contents` as `name` in the test data folder; returns its wide path.
std::wstring WriteScratchFile(const std::string& name, const std::string& contents);
// The bytes of the test data file `name` (empty when missing).
std::string ReadDataFile(const std::string& name);

}  // namespace lod_test
