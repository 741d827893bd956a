#pragma once

// Sound through the run's PulseAudio sinks for Morlun's device tests: a tone played into a
// sink by wave-out name, a recorder of a sink's monitor by wave-in name, and the measures the
// tests take of what they hear.

#include <windows.h>
#include <mmsystem.h>

#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <atomic>
#include <vector>

namespace morlun_test {

// The first wave-out (or wave-in) device whose name starts with `prefix`; WAVE_MAPPER if none.
UINT FindWaveOut(const std::wstring& prefix);
UINT FindWaveIn(const std::wstring& prefix);

// Plays `seconds` of the test devices' 1 kHz tone (48000 Hz stereo) into a wave-out device
// until destroyed.
class TonePlayer {
 public:
  TonePlayer(const std::wstring& device_prefix, int seconds);
  ~TonePlayer();
  TonePlayer(const TonePlayer&) = delete;
  TonePlayer& operator=(const TonePlayer&) = delete;
  bool playing() const { return playing_; }

 private:
  HWAVEOUT wave_out_ = nullptr;
  WAVEHDR header_{};
  std::vector<int16_t> samples_;
  bool playing_ = false;
};

// Records 48000 Hz stereo from a wave-in device (a sink's monitor) until destroyed.
class MonitorRecorder {
 public:
  explicit MonitorRecorder(const std::wstring& device_prefix);
  ~MonitorRecorder();
  MonitorRecorder(const MonitorRecorder&) = delete;
  MonitorRecorder& operator=(const MonitorRecorder&) = delete;
  bool recording() const { return wave_in_ != nullptr; }
  // The left channel so far.
  std::vector<double> Left();

 private:
  void Collect();

  HWAVEIN wave_in_ = nullptr;
  HANDLE event_ = nullptr;
  std::vector<std::vector<char>> buffers_;
  std::vector<WAVEHDR> headers_;
  std::atomic<bool> quit_{false};
  std::thread thread_;
  std::mutex mutex_;  // Protects |left_|.
  std::vector<double> left_;
};

// The strongest frequency between 200 Hz and 4 kHz (5 Hz steps) of mono `samples`.
double DominantFrequency(const std::vector<double>& samples, int rate);
double Rms(const std::vector<double>& samples);
// The `window` samples of `samples` with the highest RMS, in steps of `window` / 4.
std::vector<double> LoudestWindow(const std::vector<double>& samples, size_t window);

}  // namespace morlun_test
