// The microphone engine against Wine's own capture devices and the virtual microphones of
// TarvoTestDevices.dll, through real DirectShow graphs and the PulseAudio sinks of the run.

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "devices/av_microphone.h"
#include "devices/tests/sound_io.h"
#include "devices/tests/test_devices/test_devices.h"

namespace td = tarvo_test_devices;

namespace {

class MicrophoneRecorder : public AvMicrophoneSink {
 public:
  struct Buffer {
    int length, tag, channels, rate, bits;
  };

  void OnState(int state) override {
    std::lock_guard<std::mutex> lock(mutex_);
    states_.push_back(state);
  }
  void OnAudio(const uint8_t* data, int length, int tag, int channels, int rate,
               int bits) override {
    std::lock_guard<std::mutex> lock(mutex_);
    buffers_.push_back(Buffer{length, tag, channels, rate, bits});
    const auto* samples = reinterpret_cast<const int16_t*>(data);
    samples_.insert(samples_.end(), samples, samples + length / 2);
    changed_.notify_all();
  }

  bool WaitBuffers(size_t count, int timeout_ms = 5000) {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, std::chrono::milliseconds(timeout_ms),
                             [&] { return buffers_.size() >= count; });
  }
  bool WaitSamples(size_t count, int timeout_ms) {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, std::chrono::milliseconds(timeout_ms),
                             [&] { return samples_.size() >= count; });
  }
  std::vector<Buffer> buffers() {
    std::lock_guard<std::mutex> lock(mutex_);
    return buffers_;
  }
  std::vector<int16_t> samples() {
    std::lock_guard<std::mutex> lock(mutex_);
    return samples_;
  }
  std::vector<int> states() {
    std::lock_guard<std::mutex> lock(mutex_);
    return states_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<Buffer> buffers_;
  std::vector<int16_t> samples_;  // Interleaved, as captured.
  std::vector<int> states_;
};

class MicrophoneTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(microphone_.Init(), 1);
    microphone_.SetSink(&recorder_);
  }
  void TearDown() override { microphone_.Uninit(); }

  AvMicrophone microphone_;
  MicrophoneRecorder recorder_;
};

bool IsTestDevice(const std::wstring& name) {
  for (const td::DeviceInstance& device : td::kDeviceInstances) {
    if (name == device.name) return true;
  }
  return false;
}

}  // namespace

TEST_F(MicrophoneTest, WinesPinlessDevicesOpenWithoutCapabilitiesAndDoNotStart) {
  const int count = microphone_.EnumDevices();
  ASSERT_GE(count, 3);
  int foreign = 0;
  int ours = 0;
  for (int i = 0; i < count; ++i) {
    const std::wstring name = microphone_.GetDeviceName(i);
    const std::wstring path = microphone_.GetDevicePath(i);
    if (IsTestDevice(name)) {
      ++ours;
      continue;
    }
    ++foreign;
    SCOPED_TRACE(name);
    ASSERT_EQ(microphone_.OpenDevice(name.c_str(), path.c_str()), 1);
    EXPECT_EQ(microphone_.GetCapCount(), 0);
    EXPECT_EQ(microphone_.SelectCap(0), 0);
    EXPECT_EQ(microphone_.Start(), 0);
    EXPECT_EQ(microphone_.FilterCount(), 0);
  }
  EXPECT_EQ(ours, 3);
  EXPECT_GE(foreign, 1);  // One per PulseAudio source.
  EXPECT_TRUE(recorder_.states().empty());
}

TEST_F(MicrophoneTest, CapabilitiesFieldByField) {
  ASSERT_EQ(microphone_.OpenDevice(td::kToneMicrophoneName, nullptr), 1);
  ASSERT_EQ(microphone_.GetCapCount(), td::kMicrophoneCapCount);
  for (int i = 0; i < td::kMicrophoneCapCount; ++i) {
    EXPECT_EQ(microphone_.GetCapFormatTag(i), WAVE_FORMAT_PCM);
    EXPECT_STREQ(microphone_.GetCapFormatName(i), L"PCM");
    EXPECT_EQ(microphone_.GetCapChannels(i), td::kMicrophoneCaps[i].channels);
    EXPECT_EQ(microphone_.GetCapSampleRate(i), td::kMicrophoneCaps[i].sample_rate);
    EXPECT_EQ(microphone_.GetCapBitsPerSample(i), td::kMicrophoneCaps[i].bits);
  }
  for (int outside : {-1, td::kMicrophoneCapCount}) {
    EXPECT_EQ(microphone_.GetCapFormatTag(outside), 0);
    EXPECT_STREQ(microphone_.GetCapFormatName(outside), L"UNKNOWN");
    EXPECT_EQ(microphone_.GetCapChannels(outside), 0);
    EXPECT_EQ(microphone_.GetCapSampleRate(outside), 0);
    EXPECT_EQ(microphone_.GetCapBitsPerSample(outside), 0);
  }
  EXPECT_EQ(microphone_.SelectCap(td::kMicrophoneCapCount), 0);
  EXPECT_EQ(microphone_.GetSelectedCap(), 0);
}

TEST_F(MicrophoneTest, BufferSizeFollowsTheSamplesAskedFor) {
  struct Case {
    int cap;
    int samples;
    int expected_bytes;
  } cases[] = {
      {0, 480, 1920},  // 48000 Hz, 16 bits, stereo.
      {2, 480, 960},   // 16000 Hz, 16 bits, mono.
      {0, 0, 48000 * td::kMicrophoneBufferMs / 1000 * 4},  // The device's own size.
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.samples);
    MicrophoneRecorder recorder;
    microphone_.SetSink(&recorder);
    microphone_.SetBufferSamples(c.samples);
    EXPECT_EQ(microphone_.GetBufferSamples(), c.samples);
    ASSERT_EQ(microphone_.OpenDevice(td::kToneMicrophoneName, nullptr), 1);  // A fresh device.
    ASSERT_EQ(microphone_.SelectCap(c.cap), 1);
    ASSERT_EQ(microphone_.Start(), 1);
    ASSERT_TRUE(recorder.WaitBuffers(3));
    microphone_.Stop();
    for (const MicrophoneRecorder::Buffer& buffer : recorder.buffers()) {
      EXPECT_EQ(buffer.length, c.expected_bytes);
      EXPECT_EQ(buffer.tag, WAVE_FORMAT_PCM);
      EXPECT_EQ(buffer.channels, td::kMicrophoneCaps[c.cap].channels);
      EXPECT_EQ(buffer.rate, td::kMicrophoneCaps[c.cap].sample_rate);
      EXPECT_EQ(buffer.bits, 16);
    }
    EXPECT_EQ(recorder.states(), (std::vector<int>{1, 0}));
  }
}

TEST_F(MicrophoneTest, ToneArrivesAtItsLevelPhaseContinuous) {
  ASSERT_EQ(microphone_.OpenDevice(td::kToneMicrophoneName, nullptr), 1);
  microphone_.SetBufferSamples(441);
  ASSERT_EQ(microphone_.SelectCap(1), 1);  // 44100 Hz mono: 44.1 samples per period.
  ASSERT_EQ(microphone_.Start(), 1);
  ASSERT_TRUE(recorder_.WaitBuffers(8));
  microphone_.Stop();
  const std::vector<int16_t> samples = recorder_.samples();
  ASSERT_GE(samples.size(), 8u * 441);
  // The first buffer may start anywhere in the tone; from there on every sample follows.
  int64_t start = -1;
  for (int64_t k = 0; k < 44100 && start < 0; k += 441) {
    bool match = true;
    for (int i = 0; i < 64 && match; ++i) match = samples[i] == td::ToneSample(k + i, 44100);
    if (match) start = k;
  }
  ASSERT_GE(start, 0);
  int mismatches = 0;
  int peak = 0;
  for (size_t i = 0; i < samples.size(); ++i) {
    if (samples[i] != td::ToneSample(start + static_cast<int64_t>(i), 44100)) ++mismatches;
    peak = std::max(peak, std::abs(static_cast<int>(samples[i])));
  }
  EXPECT_EQ(mismatches, 0);
  EXPECT_NEAR(peak, td::kToneAmplitude, 2);
}

TEST_F(MicrophoneTest, PulseAudioMonitorCarriesTheToneThatIsPlayed) {
  morlun_test::TonePlayer player(td::kToneSinkName, 20);
  ASSERT_TRUE(player.playing()) << "no wave-out device for the \"Tarvo Tone\" sink";
  ASSERT_EQ(microphone_.OpenDevice(td::kPulseMicrophoneName, nullptr), 1);
  microphone_.SetBufferSamples(480);
  ASSERT_EQ(microphone_.SelectCap(0), 1);
  ASSERT_EQ(microphone_.Start(), 1);
  // Wine's capture through PulseAudio runs below real time: wait for content, not for rate.
  constexpr size_t kWindow = 4800;  // 100 ms of stereo frames.
  ASSERT_TRUE(recorder_.WaitSamples(2 * (kWindow + 9600), 15000));
  microphone_.Stop();
  const std::vector<int16_t> samples = recorder_.samples();
  std::vector<double> left;
  for (size_t i = samples.size() - 2 * kWindow; i < samples.size(); i += 2) {
    left.push_back(samples[i]);
  }
  const double frequency = morlun_test::DominantFrequency(left, 48000);
  EXPECT_NEAR(frequency, td::kToneFrequency, td::kToneFrequency * 0.02);
  const double played_rms = td::kToneAmplitude / std::sqrt(2.0);
  EXPECT_NEAR(morlun_test::Rms(left), played_rms, played_rms * 0.1);
  for (const MicrophoneRecorder::Buffer& buffer : recorder_.buffers()) {
    EXPECT_EQ(buffer.rate, 48000);
    EXPECT_EQ(buffer.channels, 2);
  }
}

TEST_F(MicrophoneTest, DeviceWithoutAWaveFormatDoesNotStart) {
  ASSERT_EQ(microphone_.OpenDevice(td::kFormatlessMicrophoneName, nullptr), 1);
  EXPECT_EQ(microphone_.GetCapCount(), 0);
  EXPECT_EQ(microphone_.Start(), 0);
  EXPECT_EQ(microphone_.FilterCount(), 0);
  EXPECT_TRUE(recorder_.states().empty());
}

TEST_F(MicrophoneTest, StopInsideOnAudioEndsTheBuffersAndTheNextStartWorks) {
  ASSERT_EQ(microphone_.OpenDevice(td::kToneMicrophoneName, nullptr), 1);
  microphone_.SetBufferSamples(480);
  ASSERT_EQ(microphone_.SelectCap(0), 1);
  struct StoppingSink : AvMicrophoneSink {
    AvMicrophone* microphone = nullptr;
    std::mutex mutex;
    std::vector<int> states;
    std::atomic<int> buffers{0};
    void OnState(int state) override {
      std::lock_guard<std::mutex> lock(mutex);
      states.push_back(state);
    }
    void OnAudio(const uint8_t*, int, int, int, int, int) override {
      if (++buffers == 2) microphone->Stop();
    }
  } sink;
  sink.microphone = &microphone_;
  microphone_.SetSink(&sink);
  ASSERT_EQ(microphone_.Start(), 1);
  for (int i = 0; i < 500 && sink.buffers < 2; ++i) Sleep(10);
  Sleep(300);  // A buffer after the stop would show by now.
  EXPECT_EQ(sink.buffers, 2);
  EXPECT_FALSE(microphone_.IsStarted());
  ASSERT_EQ(microphone_.Start(), 1);
  // Wait for the restarted capture's first buffer (a loaded machine may take a while).
  for (int i = 0; i < 500 && sink.buffers <= 2; ++i) Sleep(10);
  microphone_.Stop();
  EXPECT_GT(sink.buffers, 2);
  EXPECT_EQ(microphone_.FilterCount(), 0);
  std::lock_guard<std::mutex> lock(sink.mutex);
  EXPECT_EQ(sink.states, (std::vector<int>{1, 0, 1, 0}));
}
