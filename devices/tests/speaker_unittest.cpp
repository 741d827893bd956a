// The speaker test engine: WAV images, outputs through DirectSound on the run's PulseAudio
// sinks (heard back on a sink's monitor), and the playback states.

#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "devices/av_speaker.h"
#include "devices/av_wave_image.h"
#include "devices/tests/sound_io.h"
#include "devices/tests/test_devices/test_devices.h"

namespace {

using Clock = std::chrono::steady_clock;

// The long-named sink of the run (scripts/env.sh): wave-out names are cut to 31 characters.
const std::wstring kLongSink = L"Tarvo Speaker Test Output With A Long Name";
const std::wstring kLongSinkWaveOut = kLongSink.substr(0, 31);
const std::wstring kLongSinkMonitor = (L"Monitor of " + kLongSink).substr(0, 31);

void Put32(std::vector<uint8_t>* out, uint32_t value) {
  for (int i = 0; i < 4; ++i) out->push_back(static_cast<uint8_t>(value >> (8 * i)));
}

void Put16(std::vector<uint8_t>* out, uint16_t value) {
  out->push_back(static_cast<uint8_t>(value));
  out->push_back(static_cast<uint8_t>(value >> 8));
}

struct Chunk {
  std::string id;
  std::vector<uint8_t> body;
  uint32_t declared_size = UINT32_MAX;  // UINT32_MAX: the body's size.
};

std::vector<uint8_t> FormatBody(uint16_t channels, uint32_t rate, uint16_t bits,
                                uint32_t bytes_per_second = 0) {
  std::vector<uint8_t> body;
  Put16(&body, 1);
  Put16(&body, channels);
  Put32(&body, rate);
  Put32(&body, bytes_per_second ? bytes_per_second : rate * channels * bits / 8);
  Put16(&body, static_cast<uint16_t>(channels * bits / 8));
  Put16(&body, bits);
  return body;
}

// `seconds` of the 1 kHz test tone, 48000 Hz stereo 16-bit.
std::vector<uint8_t> ToneBody(double seconds) {
  std::vector<uint8_t> body;
  const int frames = static_cast<int>(48000 * seconds);
  for (int i = 0; i < frames; ++i) {
    const uint16_t value = static_cast<uint16_t>(tarvo_test_devices::ToneSample(i, 48000));
    Put16(&body, value);
    Put16(&body, value);
  }
  return body;
}

// A RIFF/WAVE image of `chunks`, padded after odd chunks; `riff_size` overrides the size.
std::vector<uint8_t> Wave(const std::vector<Chunk>& chunks, uint32_t riff_size = UINT32_MAX) {
  std::vector<uint8_t> body;
  for (const Chunk& chunk : chunks) {
    body.insert(body.end(), chunk.id.begin(), chunk.id.end());
    Put32(&body, chunk.declared_size != UINT32_MAX ? chunk.declared_size
                                                   : static_cast<uint32_t>(chunk.body.size()));
    body.insert(body.end(), chunk.body.begin(), chunk.body.end());
    if (chunk.body.size() & 1) body.push_back(0);
  }
  std::vector<uint8_t> image = {'R', 'I', 'F', 'F'};
  Put32(&image, riff_size != UINT32_MAX ? riff_size : static_cast<uint32_t>(body.size() + 4));
  image.insert(image.end(), {'W', 'A', 'V', 'E'});
  image.insert(image.end(), body.begin(), body.end());
  return image;
}

std::vector<uint8_t> ToneWave(double seconds) {
  return Wave({{"fmt ", FormatBody(2, 48000, 16)}, {"data", ToneBody(seconds)}});
}

class StateRecorder : public AvSpeakerSink {
 public:
  void OnState(int state) override {
    std::lock_guard<std::mutex> lock(mutex_);
    states_.push_back(state);
    times_.push_back(Clock::now());
    changed_.notify_all();
  }
  bool WaitStates(size_t count, int timeout_ms = 5000) {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, std::chrono::milliseconds(timeout_ms),
                             [&] { return states_.size() >= count; });
  }
  std::vector<int> states() {
    std::lock_guard<std::mutex> lock(mutex_);
    return states_;
  }
  Clock::time_point time(size_t index) {
    std::lock_guard<std::mutex> lock(mutex_);
    return times_.at(index);
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<int> states_;
  std::vector<Clock::time_point> times_;
};

class SpeakerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(speaker_.Init(), 1);
    speaker_.SetSink(&recorder_);
  }
  void TearDown() override { speaker_.Uninit(); }

  void OpenLongSink() { ASSERT_EQ(speaker_.OpenDevice(kLongSinkWaveOut.c_str(), L""), 1); }
  void Load(const std::vector<uint8_t>& image) {
    ASSERT_EQ(speaker_.LoadWave(image.data(), static_cast<unsigned>(image.size())), 1);
  }

  AvSpeaker speaker_;
  StateRecorder recorder_;
};

}  // namespace

TEST(WaveImageTest, ChecksEveryChunkAgainstTheImage) {
  const std::vector<uint8_t> data = {1, 2, 3, 4, 5, 6, 7, 8};
  const std::vector<uint8_t> good = Wave({{"fmt ", FormatBody(2, 48000, 16)}, {"data", data}});
  std::vector<uint8_t> short_format = FormatBody(2, 48000, 16);
  short_format.resize(14);
  std::vector<uint8_t> truncated = good;
  truncated.resize(truncated.size() - 3);
  struct Case {
    const char* what;
    std::vector<uint8_t> image;
    bool ok;
  } cases[] = {
      {"good", good, true},
      {"byte-rate mismatch",
       Wave({{"fmt ", FormatBody(2, 48000, 16, 96000)}, {"data", data}}), false},
      {"RIFF size near 4 GiB",
       Wave({{"fmt ", FormatBody(2, 48000, 16)}, {"data", data}}, 0xFFFFFFF8u), false},
      {"14-byte fmt", Wave({{"fmt ", short_format}, {"data", data}}), false},
      {"data past the end",
       Wave({{"fmt ", FormatBody(2, 48000, 16)}, {"data", data, 0xFFFFFFF0u}}), false},
      {"fact and LIST skipped",
       Wave({{"fmt ", FormatBody(2, 48000, 16)},
             {"fact", {0x02, 0, 0, 0}},
             {"LIST", {'I', 'N', 'F', 'O', 'I', 'S', 'F', 'T'}},
             {"data", data}}),
       true},
      {"pad byte after an odd chunk",
       Wave({{"fmt ", FormatBody(2, 48000, 16)}, {"LIST", {1, 2, 3}}, {"data", data}}), true},
      {"truncated", truncated, false},
      {"data before fmt", Wave({{"data", data}, {"fmt ", FormatBody(2, 48000, 16)}}), false},
      {"no channels", Wave({{"fmt ", FormatBody(0, 48000, 16)}, {"data", data}}), false},
      {"no data", Wave({{"fmt ", FormatBody(2, 48000, 16)}}), false},
      {"empty data", Wave({{"fmt ", FormatBody(2, 48000, 16)}, {"data", {}}}), false},
      {"not RIFF", {'R', 'I', 'F', 'X', 4, 0, 0, 0, 'W', 'A', 'V', 'E'}, false},
      {"too short", {'R', 'I', 'F', 'F'}, false},
  };
  for (const Case& c : cases) {
    morlun::WaveImage wave;
    EXPECT_EQ(morlun::ParseWaveImage(c.image.data(), c.image.size(), &wave), c.ok) << c.what;
    if (!c.ok) continue;
    ASSERT_EQ(wave.data_size, data.size()) << c.what;
    EXPECT_EQ(std::memcmp(wave.data, data.data(), data.size()), 0) << c.what;
    ASSERT_EQ(wave.format.size(), 18u) << c.what;
    EXPECT_EQ(wave.format[16] | (wave.format[17] << 8), 0) << c.what;  // cbSize
  }
}

TEST(WaveImageTest, FormatExtensionIsKeptWithinItsChunk) {
  std::vector<uint8_t> format = FormatBody(2, 48000, 16);
  Put16(&format, 40);  // cbSize claims more than the chunk holds.
  format.insert(format.end(), {9, 9, 9, 9});
  const std::vector<uint8_t> image = Wave({{"fmt ", format}, {"data", {0, 0, 0, 0}}});
  morlun::WaveImage wave;
  ASSERT_TRUE(morlun::ParseWaveImage(image.data(), image.size(), &wave));
  ASSERT_EQ(wave.format.size(), 22u);
  EXPECT_EQ(wave.format[16], 4);
  EXPECT_EQ(wave.format[21], 9);
}

TEST(SpeakerNamesTest, CutNamesMatchDescriptionsStartingWithThem) {
  EXPECT_TRUE(AvSpeaker::DescriptionMatches(L"Null Output", L"Null Output"));
  EXPECT_TRUE(AvSpeaker::DescriptionMatches(kLongSink, kLongSinkWaveOut));
  EXPECT_FALSE(AvSpeaker::DescriptionMatches(kLongSink, kLongSink.substr(0, 20)));
  EXPECT_FALSE(AvSpeaker::DescriptionMatches(L"Null Output", L"Null"));
  EXPECT_FALSE(AvSpeaker::DescriptionMatches(L"Null Output", L""));
}

TEST_F(SpeakerTest, ListsEachOutputOnceByItsWaveOutName) {
  const int count = speaker_.EnumDevices();
  ASSERT_GE(count, 1);
  bool long_sink = false;
  for (int i = 0; i < count; ++i) {
    const std::wstring name = speaker_.GetDeviceName(i);
    EXPECT_EQ(name.find(L"DirectSound"), std::wstring::npos) << name.c_str();
    EXPECT_LE(name.size(), 31u);
    if (name == kLongSinkWaveOut) long_sink = true;
  }
  EXPECT_TRUE(long_sink);
  EXPECT_EQ(speaker_.GetDeviceName(count), nullptr);
  EXPECT_EQ(speaker_.GetDevicePath(-1), nullptr);
}

TEST_F(SpeakerTest, OpensOutputsThatDirectSoundNames) {
  OpenLongSink();
  EXPECT_TRUE(speaker_.IsOpened());
  EXPECT_EQ(speaker_.GetOpenedName(), kLongSinkWaveOut);
  EXPECT_EQ(speaker_.OpenDevice(L"Default WaveOut Device", L""), 0);  // No such DirectSound output.
  EXPECT_FALSE(speaker_.IsOpened());
  EXPECT_STREQ(speaker_.GetOpenedName(), L"");
  EXPECT_EQ(speaker_.OpenDevice(L"No Such Output", L""), 0);
}

TEST_F(SpeakerTest, ToneIsHeardOnTheMonitorAndEndsOnce) {
  OpenLongSink();
  Load(ToneWave(0.5));
  morlun_test::MonitorRecorder monitor(kLongSinkMonitor);
  ASSERT_TRUE(monitor.recording()) << "no wave-in device for the sink's monitor";
  // The monitor only carries what is played while it records: play once it delivers.
  for (int waited = 0; waited < 10000 && monitor.Left().empty(); waited += 20) Sleep(20);
  ASSERT_FALSE(monitor.Left().empty()) << "the sink's monitor delivers nothing";
  const Clock::time_point played = Clock::now();
  ASSERT_EQ(speaker_.Play(), 1);
  EXPECT_TRUE(speaker_.IsPlaying());
  ASSERT_TRUE(recorder_.WaitStates(2, 5000));
  const auto ended = recorder_.time(1) - played;
  EXPECT_GE(std::chrono::duration_cast<std::chrono::milliseconds>(ended).count(), 450);
  Sleep(300);
  EXPECT_EQ(recorder_.states(), (std::vector<int>{1, 0}));  // Exactly one 0.
  EXPECT_FALSE(speaker_.IsPlaying());

  // Wine records a monitor below real-time rate: wait for the tone's content, not for time.
  std::vector<double> heard;
  for (int waited = 0; waited < 10000; waited += 100) {
    heard = morlun_test::LoudestWindow(monitor.Left(), 2400);
    if (heard.size() >= 2400 && morlun_test::Rms(heard) > tarvo_test_devices::kToneAmplitude / 4) {
      break;
    }
    Sleep(100);
  }
  ASSERT_GE(heard.size(), 2400u);
  EXPECT_NEAR(morlun_test::DominantFrequency(heard, 48000), 1000, 20);
  EXPECT_GT(morlun_test::Rms(heard), tarvo_test_devices::kToneAmplitude / 4);
}

TEST_F(SpeakerTest, StopMidFileReportsOneStop) {
  OpenLongSink();
  Load(ToneWave(2.0));
  ASSERT_EQ(speaker_.Play(), 1);
  Sleep(200);
  speaker_.Stop();
  EXPECT_FALSE(speaker_.IsPlaying());
  speaker_.Stop();
  Sleep(300);
  EXPECT_EQ(recorder_.states(), (std::vector<int>{1, 0}));
}

TEST_F(SpeakerTest, SecondPlayRestartsWithoutReportingAStop) {
  OpenLongSink();
  Load(ToneWave(1.0));
  ASSERT_EQ(speaker_.Play(), 1);
  Sleep(500);
  const Clock::time_point replayed = Clock::now();
  ASSERT_EQ(speaker_.Play(), 1);
  EXPECT_EQ(recorder_.states(), (std::vector<int>{1}));  // No 0, no second 1.
  ASSERT_TRUE(recorder_.WaitStates(2, 5000));
  // The whole second played again: the end comes a full second after the restart.
  const auto ended = recorder_.time(1) - replayed;
  EXPECT_GE(std::chrono::duration_cast<std::chrono::milliseconds>(ended).count(), 900);
  EXPECT_EQ(recorder_.states(), (std::vector<int>{1, 0}));
}

TEST_F(SpeakerTest, PlayNeedsALoadedSoundAndPlaysNothingWithoutADevice) {
  EXPECT_EQ(speaker_.Play(), 0);  // Nothing loaded.
  Load(ToneWave(0.2));            // No device: the image is checked and kept.
  EXPECT_EQ(speaker_.Play(), 1);
  EXPECT_FALSE(speaker_.IsPlaying());
  OpenLongSink();
  EXPECT_EQ(speaker_.Play(), 0);  // Opening closed and unloaded the old device's sound.
  const std::vector<uint8_t> bad = Wave({{"fmt ", FormatBody(2, 48000, 16, 1)}, {"data", {0, 0}}});
  EXPECT_EQ(speaker_.LoadWave(bad.data(), static_cast<unsigned>(bad.size())), 0);
  EXPECT_EQ(speaker_.LoadWave(nullptr, 100), 0);
  EXPECT_EQ(speaker_.Play(), 0);
  EXPECT_EQ(speaker_.Unload(), 0);
  Sleep(200);
  EXPECT_TRUE(recorder_.states().empty());
}

TEST_F(SpeakerTest, TwoEnginesInOneProcess) {
  AvSpeaker second;
  StateRecorder second_recorder;
  ASSERT_EQ(second.Init(), 1);  // The window class is already registered.
  second.SetSink(&second_recorder);
  OpenLongSink();
  ASSERT_EQ(second.OpenDevice(kLongSinkWaveOut.c_str(), L""), 1);
  Load(ToneWave(0.3));
  const std::vector<uint8_t> tone = ToneWave(0.3);
  ASSERT_EQ(second.LoadWave(tone.data(), static_cast<unsigned>(tone.size())), 1);
  ASSERT_EQ(speaker_.Play(), 1);
  ASSERT_EQ(second.Play(), 1);
  ASSERT_TRUE(recorder_.WaitStates(2));
  ASSERT_TRUE(second_recorder.WaitStates(2));
  EXPECT_EQ(recorder_.states(), (std::vector<int>{1, 0}));
  EXPECT_EQ(second_recorder.states(), (std::vector<int>{1, 0}));
  second.Uninit();
  EXPECT_NE(FindWindowW(L"WndClass_NotifySpeaker", nullptr), nullptr);  // The first one's.
  speaker_.Uninit();
  EXPECT_EQ(FindWindowW(L"WndClass_NotifySpeaker", nullptr), nullptr);
}

TEST(SpeakerExportsTest, DestroyWhilePlaying) {
  HMODULE morlun = LoadLibraryW(L"Morlun.dll");
  ASSERT_NE(morlun, nullptr);
  auto create = reinterpret_cast<AvSpeakerEngine*(__cdecl*)()>(
      reinterpret_cast<void*>(GetProcAddress(morlun, "Av_CreateSpeakerEngine")));
  auto destroy = reinterpret_cast<void(__cdecl*)(AvSpeakerEngine*)>(
      reinterpret_cast<void*>(GetProcAddress(morlun, "Av_DestroySpeakerEngine")));
  ASSERT_NE(create, nullptr);
  ASSERT_NE(destroy, nullptr);
  StateRecorder recorder;
  AvSpeakerEngine* engine = create();
  ASSERT_NE(engine, nullptr);
  engine->SetSink(&recorder);
  ASSERT_EQ(engine->Init(), 1);
  ASSERT_EQ(engine->OpenDevice(kLongSinkWaveOut.c_str(), L""), 1);
  const std::vector<uint8_t> tone = ToneWave(2.0);
  ASSERT_EQ(engine->LoadWave(tone.data(), static_cast<unsigned>(tone.size())), 1);
  ASSERT_EQ(engine->Play(), 1);
  Sleep(100);
  destroy(engine);
  Sleep(300);
  EXPECT_EQ(recorder.states(), (std::vector<int>{1, 0}));
  FreeLibrary(morlun);
}
