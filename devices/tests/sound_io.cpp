#include "devices/tests/sound_io.h"

#include <cmath>

#include "devices/tests/test_devices/test_devices.h"

namespace morlun_test {
namespace {

constexpr int kRate = 48000;
constexpr int kRecordBuffers = 8;
constexpr int kRecordBufferFrames = 960;  // 20 ms.

WAVEFORMATEX Stereo16() {
  return WAVEFORMATEX{WAVE_FORMAT_PCM, 2, kRate, kRate * 4, 4, 16, 0};
}

bool StartsWith(const wchar_t* name, const std::wstring& prefix) {
  return std::wstring(name).compare(0, prefix.size(), prefix) == 0;
}

}  // namespace

UINT FindWaveOut(const std::wstring& prefix) {
  for (UINT i = 0; i < waveOutGetNumDevs(); ++i) {
    WAVEOUTCAPSW caps{};
    if (waveOutGetDevCapsW(i, &caps, sizeof(caps)) == MMSYSERR_NOERROR &&
        StartsWith(caps.szPname, prefix)) {
      return i;
    }
  }
  return WAVE_MAPPER;
}

UINT FindWaveIn(const std::wstring& prefix) {
  for (UINT i = 0; i < waveInGetNumDevs(); ++i) {
    WAVEINCAPSW caps{};
    if (waveInGetDevCapsW(i, &caps, sizeof(caps)) == MMSYSERR_NOERROR &&
        StartsWith(caps.szPname, prefix)) {
      return i;
    }
  }
  return WAVE_MAPPER;
}

TonePlayer::TonePlayer(const std::wstring& device_prefix, int seconds) {
  const UINT device = FindWaveOut(device_prefix);
  if (device == WAVE_MAPPER) return;
  WAVEFORMATEX format = Stereo16();
  samples_.resize(static_cast<size_t>(kRate) * 2 * seconds);
  for (size_t i = 0; i < samples_.size() / 2; ++i) {
    samples_[2 * i] = samples_[2 * i + 1] =
        tarvo_test_devices::ToneSample(static_cast<int64_t>(i), kRate);
  }
  if (waveOutOpen(&wave_out_, device, &format, 0, 0, CALLBACK_NULL) != MMSYSERR_NOERROR) {
    wave_out_ = nullptr;
    return;
  }
  header_.lpData = reinterpret_cast<LPSTR>(samples_.data());
  header_.dwBufferLength = static_cast<DWORD>(samples_.size() * sizeof(int16_t));
  waveOutPrepareHeader(wave_out_, &header_, sizeof(header_));
  playing_ = waveOutWrite(wave_out_, &header_, sizeof(header_)) == MMSYSERR_NOERROR;
}

TonePlayer::~TonePlayer() {
  if (!wave_out_) return;
  waveOutReset(wave_out_);
  waveOutUnprepareHeader(wave_out_, &header_, sizeof(header_));
  waveOutClose(wave_out_);
}

MonitorRecorder::MonitorRecorder(const std::wstring& device_prefix) {
  const UINT device = FindWaveIn(device_prefix);
  if (device == WAVE_MAPPER) return;
  event_ = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  WAVEFORMATEX format = Stereo16();
  if (waveInOpen(&wave_in_, device, &format, reinterpret_cast<DWORD_PTR>(event_), 0,
                 CALLBACK_EVENT) != MMSYSERR_NOERROR) {
    wave_in_ = nullptr;
    return;
  }
  buffers_.assign(kRecordBuffers, std::vector<char>(kRecordBufferFrames * 4));
  headers_.assign(kRecordBuffers, WAVEHDR{});
  for (int i = 0; i < kRecordBuffers; ++i) {
    headers_[i].lpData = buffers_[i].data();
    headers_[i].dwBufferLength = static_cast<DWORD>(buffers_[i].size());
    waveInPrepareHeader(wave_in_, &headers_[i], sizeof(WAVEHDR));
    waveInAddBuffer(wave_in_, &headers_[i], sizeof(WAVEHDR));
  }
  waveInStart(wave_in_);
  thread_ = std::thread(&MonitorRecorder::Collect, this);
}

MonitorRecorder::~MonitorRecorder() {
  quit_ = true;
  if (thread_.joinable()) thread_.join();
  if (wave_in_) {
    waveInReset(wave_in_);
    for (WAVEHDR& header : headers_) waveInUnprepareHeader(wave_in_, &header, sizeof(header));
    waveInClose(wave_in_);
  }
  if (event_) CloseHandle(event_);
}

void MonitorRecorder::Collect() {
  size_t next = 0;
  while (!quit_) {
    WAVEHDR& header = headers_[next];
    if (!(header.dwFlags & WHDR_DONE)) {
      WaitForSingleObject(event_, 50);
      continue;
    }
    const auto* samples = reinterpret_cast<const int16_t*>(header.lpData);
    {
      std::lock_guard<std::mutex> lock(mutex_);
      for (DWORD i = 0; i + 1 < header.dwBytesRecorded / 2; i += 2) left_.push_back(samples[i]);
    }
    header.dwFlags &= ~WHDR_DONE;
    waveInAddBuffer(wave_in_, &header, sizeof(header));
    next = (next + 1) % headers_.size();
  }
}

std::vector<double> MonitorRecorder::Left() {
  std::lock_guard<std::mutex> lock(mutex_);
  return left_;
}

double DominantFrequency(const std::vector<double>& samples, int rate) {
  double best_frequency = 0;
  double best_power = -1;
  for (double f = 200; f <= 4000; f += 5) {
    double re = 0;
    double im = 0;
    for (size_t i = 0; i < samples.size(); ++i) {
      const double phase = 2 * 3.14159265358979323846 * f * static_cast<double>(i) / rate;
      re += samples[i] * std::cos(phase);
      im -= samples[i] * std::sin(phase);
    }
    const double power = re * re + im * im;
    if (power > best_power) {
      best_power = power;
      best_frequency = f;
    }
  }
  return best_frequency;
}

double Rms(const std::vector<double>& samples) {
  if (samples.empty()) return 0;
  double sum = 0;
  for (double s : samples) sum += s * s;
  return std::sqrt(sum / static_cast<double>(samples.size()));
}

std::vector<double> LoudestWindow(const std::vector<double>& samples, size_t window) {
  if (samples.size() <= window) return samples;
  size_t best = 0;
  double best_rms = -1;
  for (size_t start = 0; start + window <= samples.size(); start += window / 4) {
    const double rms =
        Rms(std::vector<double>(samples.begin() + start, samples.begin() + start + window));
    if (rms > best_rms) {
      best_rms = rms;
      best = start;
    }
  }
  return std::vector<double>(samples.begin() + best, samples.begin() + best + window);
}

}  // namespace morlun_test
