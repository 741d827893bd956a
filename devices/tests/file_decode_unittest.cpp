// Behaviour of the decode engine through Morlun.dll's exports, on files the host's ffmpeg made.

#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <functional>
#include <thread>

#include "devices/tests/file_decode_harness.h"

using morlun_test::DataPath;
using morlun_test::HostFrameCount;
using morlun_test::Notice;
using morlun_test::TestPlayer;

namespace {

constexpr int kPlayTimeoutMs = 30000;

// Frames numbered first, first + 1, ... without a gap or a repeat.
::testing::AssertionResult InOrderFrom(const std::vector<int>& frames, int first) {
  for (size_t i = 0; i < frames.size(); ++i) {
    if (frames[i] != first + static_cast<int>(i)) {
      return ::testing::AssertionFailure()
             << "frame " << i << " is number " << frames[i] << ", expected " << first + i;
    }
  }
  return ::testing::AssertionSuccess();
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Opening

TEST(FileDecodeOpenTest, FailuresReportTheirCodeWithOpenTry) {
  const std::string text_name = "morlun_text_" + std::to_string(GetCurrentProcessId()) + ".txt";
  std::ofstream(std::string(std::getenv("TARVO_TEST_DATA")) + "/" + text_name)
      << "this is not a media file\n";
  struct Case {
    std::wstring path;
    int code;
  } cases[] = {
      {L"", 1},
      {DataPath("morlun_missing.mp4"), 2},
      {DataPath(text_name), 2},
      {DataPath("morlun_subtitle_only.mkv"), 3},
  };
  for (const Case& c : cases) {
    TestPlayer player;
    ASSERT_NE(player.engine(), nullptr);
    player.Configure(320, 240, 1);
    EXPECT_EQ(player.engine()->OpenFile(c.path.c_str(), true), c.code);
    player.PumpUntil([&] { return player.States().size() >= 2; }, 2000);
    const std::vector<std::pair<int, int>> expected = {{1, 0}, {1, c.code}};
    EXPECT_EQ(player.States(), expected) << "code " << c.code;
    EXPECT_FALSE(player.engine()->HasAudio());
    EXPECT_FALSE(player.engine()->HasVideo());
  }
  std::remove((std::string(std::getenv("TARVO_TEST_DATA")) + "/" + text_name).c_str());
}

TEST(FileDecodeOpenTest, OpenReportsFormatsAndStates) {
  TestPlayer player;
  player.Configure(320, 240, 1);
  ASSERT_EQ(player.engine()->OpenFile(DataPath("morlun_h264_aac.mp4").c_str(), false), 0);
  EXPECT_TRUE(player.engine()->HasFile());
  EXPECT_TRUE(player.engine()->HasAudio());
  EXPECT_TRUE(player.engine()->HasVideo());
  EXPECT_EQ(player.engine()->GetSourceWidth(), 320);
  EXPECT_EQ(player.engine()->GetSourceHeight(), 240);
  EXPECT_NEAR(player.engine()->GetSourceFrameRate(), 25.0, 0.01);
  EXPECT_EQ(player.engine()->GetSourcePixelFormat(), 0);
  EXPECT_EQ(player.engine()->GetDurationCeil(), 4 + (player.engine()->GetDuration() > 4.0));
  player.PumpUntil([&] { return player.States().size() >= 2; }, 2000);
  const std::vector<std::pair<int, int>> expected = {{1, 0}, {2, 0}};
  EXPECT_EQ(player.States(), expected);

  player.engine()->CloseFile();
  EXPECT_FALSE(player.engine()->HasFile());
  EXPECT_STREQ(player.engine()->GetFilePath(), L"");
}

TEST(FileDecodeOpenTest, ResetReportsAFileThatWentAway) {
  const std::wstring copy =
      DataPath("morlun_gone_" + std::to_string(GetCurrentProcessId()) + ".mp4");
  ASSERT_TRUE(CopyFileW(DataPath("morlun_short.mp4").c_str(), copy.c_str(), FALSE));
  TestPlayer player;
  player.Configure(320, 240, 1);
  ASSERT_EQ(player.engine()->OpenFile(copy.c_str(), false), 0);
  player.engine()->Finish();  // Closes the file but keeps its path.
  ASSERT_TRUE(DeleteFileW(copy.c_str()));
  EXPECT_FALSE(player.engine()->Reset());
  player.PumpUntil([&] { return player.States().size() >= 6; }, 2000);
  const std::vector<std::pair<int, int>> expected = {{1, 0}, {2, 0}, {5, 0},
                                                     {6, 0}, {3, 0}, {3, 4}};
  EXPECT_EQ(player.States(), expected);
}

// ---------------------------------------------------------------------------------------------
// Playing every frame

// A file of a format people bring, and whether it has sound this build decodes.
struct FormatCase {
  const char* file;
  bool sound;
};

class FileDecodeEveryFrameTest : public ::testing::TestWithParam<FormatCase> {};

TEST_P(FileDecodeEveryFrameTest, EveryFrameArrivesOnceInOrder) {
  const std::string name = GetParam().file;
  const int expected = HostFrameCount(name);
  ASSERT_GT(expected, 0);
  TestPlayer player;
  player.Configure(320, 240, 1);
  // The duration scan (AVI and ASF only) must leave the file at its start.
  ASSERT_TRUE(player.OpenAndStart(name, true));
  EXPECT_NEAR(player.engine()->GetDuration(), expected / 25.0, 0.1);
  EXPECT_EQ(player.engine()->HasAudio(), GetParam().sound);
  player.StartPulling(0);
  EXPECT_EQ(player.WaitFinished(kPlayTimeoutMs), 10);
  player.StopPulling();

  const std::vector<int> frames = player.Frames();
  EXPECT_EQ(static_cast<int>(frames.size()), expected);
  EXPECT_TRUE(InOrderFrom(frames, 0));
  // The sound was played, not silence in its place.
  if (GetParam().sound) {
    EXPECT_GT(player.NonSilentPulled(), 48000);
  }
  int width = 0, height = 0, size = 0;
  player.LastFrameSize(&width, &height, &size);
  EXPECT_EQ(width, 320);
  EXPECT_EQ(height, 240);
  EXPECT_EQ(size, 320 * 240 * 3 / 2);
  EXPECT_FALSE(player.engine()->IsActive());
  const auto states = player.States();
  ASSERT_GE(states.size(), 3u);
  EXPECT_EQ(states[states.size() - 3], std::make_pair(3, 0));
  EXPECT_EQ(states[states.size() - 2], std::make_pair(4, 0));
  EXPECT_EQ(states.back().first, 6);
}

INSTANTIATE_TEST_SUITE_P(Containers, FileDecodeEveryFrameTest,
                         ::testing::Values(FormatCase{"morlun_h264_aac.mp4", true},
                                           FormatCase{"morlun_hevc_flac.mkv", true},
                                           FormatCase{"morlun_mpeg4_mp3.avi", true},
                                           FormatCase{"morlun_video_only.mp4", false},
                                           FormatCase{"morlun_wmv2_wma.wmv", true},
                                           FormatCase{"morlun_h264_aac.ts", true},
                                           FormatCase{"morlun_h264_ac3.mp4", true},
                                           FormatCase{"morlun_flv_nellymoser.flv", false}),
                         [](const ::testing::TestParamInfo<FormatCase>& info) {
                           std::string name = info.param.file;
                           for (char& ch : name) {
                             if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
                           }
                           return name;
                         });

// A file whose sound this build cannot decode plays its pictures (above) and says so in the log;
// with nothing else in it, it is refused and the log says why.
TEST(FileDecodePlayTest, SoundThatCannotBeDecodedIsReported) {
  struct Case {
    const char* file;
    int open_code;
  } cases[] = {{"morlun_flv_nellymoser.flv", 0}, {"morlun_nellymoser_only.flv", 3}};
  for (const Case& c : cases) {
    morlun_test::DebugOutputCapture log;
    TestPlayer player;
    player.Configure(320, 240, 1);
    EXPECT_EQ(player.engine()->OpenFile(DataPath(c.file).c_str(), false), c.open_code) << c.file;
    EXPECT_EQ(player.engine()->HasVideo(), c.open_code == 0) << c.file;
    EXPECT_FALSE(player.engine()->HasAudio()) << c.file;
    EXPECT_TRUE(
        log.Contains("The audio stream (nellymoser) cannot be decoded: no sound from "
                     "this file"))
        << c.file << "\n"
        << log.Text();
    EXPECT_FALSE(log.Contains("Could not find audio stream in input file")) << c.file << "\n"
                                                                            << log.Text();
  }
}

TEST(FileDecodePlayTest, TruncatedFilePlaysWhatItHasAndFinishes) {
  TestPlayer player;
  player.Configure(320, 240, 1);
  ASSERT_TRUE(player.OpenAndStart("morlun_truncated.mkv"));
  player.StartPulling(0);
  EXPECT_EQ(player.WaitFinished(kPlayTimeoutMs), 10);
  player.StopPulling();
  const std::vector<int> frames = player.Frames();
  EXPECT_GT(frames.size(), 10u);
  EXPECT_LT(frames.size(), 100u);
  EXPECT_EQ(static_cast<int>(frames.size()), HostFrameCount("morlun_truncated.mkv"));
  // Pictures whose packets were cut off are missing; the others come once, in order.
  EXPECT_EQ(frames[0], 0);
  for (size_t i = 1; i < frames.size(); ++i) EXPECT_GT(frames[i], frames[i - 1]) << i;
}

TEST(FileDecodePlayTest, LoopCountsPlayTheFileThatOften) {
  const int per_pass = HostFrameCount("morlun_short.mp4");
  ASSERT_GT(per_pass, 0);
  for (int loops : {1, 2}) {
    TestPlayer player;
    player.Configure(320, 240, loops);
    ASSERT_TRUE(player.OpenAndStart("morlun_short.mp4"));
    player.StartPulling(0);
    EXPECT_EQ(player.WaitFinished(kPlayTimeoutMs), 10) << loops;
    player.StopPulling();
    const std::vector<int> frames = player.Frames();
    ASSERT_EQ(static_cast<int>(frames.size()), per_pass * loops);
    for (int pass = 0; pass < loops; ++pass) {
      EXPECT_TRUE(InOrderFrom(std::vector<int>(frames.begin() + pass * per_pass,
                                               frames.begin() + (pass + 1) * per_pass),
                              0));
    }
  }

  // 0 plays until told to finish.
  TestPlayer player;
  player.Configure(320, 240, 0);
  ASSERT_TRUE(player.OpenAndStart("morlun_short.mp4"));
  player.StartPulling(0);
  EXPECT_TRUE(player.PumpUntil([&] { return player.FrameCount() > per_pass * 3; }, kPlayTimeoutMs));
  EXPECT_TRUE(player.engine()->IsActive());
  for (const Notice& n : player.notices()) EXPECT_NE(n.kind, 2);
  player.engine()->Finish();
  EXPECT_EQ(player.WaitFinished(2000), 0);
  const auto notices = player.notices();
  EXPECT_EQ(notices.back().a, 1);  // manual finish
  EXPECT_FALSE(player.engine()->IsActive());
  const auto states = player.States();
  ASSERT_GE(states.size(), 2u);
  EXPECT_EQ(states[states.size() - 2].first, 5);
  EXPECT_EQ(states.back().first, 6);
}

// ---------------------------------------------------------------------------------------------
// Seeking

TEST(FileDecodeSeekTest, SeekLandsWithinOneFrame) {
  struct Case {
    bool percent;
    int target;
    double seconds;
  } cases[] = {{false, 2, 2.0}, {true, 50, -1}, {false, 1, 1.0}};
  for (const Case& c : cases) {
    TestPlayer player;
    player.Configure(320, 240, 1);
    ASSERT_TRUE(player.OpenAndStart("morlun_h264_aac.mp4"));
    AvFileDecodeEngine* engine = player.engine();
    engine->SetPercentMode(c.percent);
    const double seconds = c.seconds >= 0 ? c.seconds : engine->GetDuration() * c.target / 100;
    // Nothing is pulled yet, so no picture is due: the first one shown comes after the seek.
    engine->Seek(c.target);
    ASSERT_TRUE(player.PumpUntil([&] { return engine->GetStreamTime() > 0.5; }, 5000));
    player.StartPulling(10);
    ASSERT_TRUE(player.PumpUntil([&] { return player.FrameCount() >= 5; }, 10000));
    const std::vector<int> frames = player.Frames();
    EXPECT_NEAR(frames[0], seconds * 25, 1.0) << "target " << c.target;
    EXPECT_TRUE(InOrderFrom(frames, frames[0]));
    player.PumpFor(300);
    const int expected_progress = c.percent ? c.target : static_cast<int>(seconds);
    EXPECT_NEAR(engine->GetProgress(), expected_progress, c.percent ? 3 : 0);
  }
}

TEST(FileDecodeSeekTest, PercentBeyondTheEndIsTakenAsTheEnd) {
  TestPlayer player;
  player.Configure(320, 240, 1);
  ASSERT_TRUE(player.OpenAndStart("morlun_h264_aac.mp4"));
  player.engine()->SetPercentMode(true);
  player.engine()->Seek(150);
  ASSERT_TRUE(player.PumpUntil([&] { return player.engine()->GetStreamTime() > 3.5; }, 5000));
  player.StartPulling(0);
  EXPECT_EQ(player.WaitFinished(kPlayTimeoutMs), 10);
  player.StopPulling();
  EXPECT_LE(player.FrameCount(), 2);
  int last = -1;
  for (const Notice& n : player.notices()) {
    if (n.kind == 1) {
      EXPECT_LE(n.b, 100);
      last = n.b;
    }
  }
  EXPECT_EQ(last, 100);
  EXPECT_EQ(player.engine()->GetProgress(), 100);
}

TEST(FileDecodeSeekTest, StepBackwardNearTheStartGoesToZero) {
  TestPlayer player;
  player.Configure(320, 240, 1);
  ASSERT_TRUE(player.OpenAndStart("morlun_h264_aac.mp4"));
  player.StartPulling(10);
  ASSERT_TRUE(player.PumpUntil([&] { return player.FrameCount() >= 10; }, 10000));
  player.StopPulling();
  player.engine()->StepBackward();
  player.PumpFor(300);
  const int before = player.FrameCount();
  player.StartPulling(10);
  ASSERT_TRUE(player.PumpUntil([&] { return player.FrameCount() >= before + 3; }, 10000));
  EXPECT_EQ(player.Frames()[before], 0);
}

// Steps forward near the end stop at the end: the position never passes the duration, and the
// file plays out.
TEST(FileDecodeSeekTest, StepsForwardNearTheEndStopAtTheEnd) {
  struct Case {
    const char* what;
    double played_to;  // Seconds played (pulled in real time) before the steps; 0: none.
    int steps;
  } cases[] = {{"one step from the last half second", 3.6, 1},
               {"steps faster than pictures come", 0, 4}};
  for (const Case& c : cases) {
    TestPlayer player;
    player.Configure(320, 240, 1);
    ASSERT_TRUE(player.OpenAndStart("morlun_h264_aac.mp4"));
    AvFileDecodeEngine* engine = player.engine();
    const double duration = engine->GetDuration();
    ASSERT_GT(duration, 3.9);
    engine->Seek(3);
    ASSERT_TRUE(player.PumpUntil([&] { return engine->GetStreamTime() > 2.9; }, 5000));
    if (c.played_to > 0) {
      player.StartPulling(10);
      ASSERT_TRUE(player.PumpUntil([&] { return engine->GetStreamTime() >= c.played_to; }, 5000));
    }
    for (int step = 0; step < c.steps; ++step) {
      engine->StepForward();
      player.PumpFor(300);
      EXPECT_LE(engine->GetStreamTime(), duration) << c.what << ", step " << step;
      EXPECT_LE(engine->GetStreamTimeCeil(), engine->GetDurationCeil()) << c.what;
    }
    player.StartPulling(0);
    EXPECT_EQ(player.WaitFinished(kPlayTimeoutMs), 10) << c.what;
    player.StopPulling();
    EXPECT_LE(engine->GetStreamTime(), duration) << c.what;
  }
}

TEST(FileDecodeSeekTest, UnknownDurationGivesZeroPercentAndNoSeek) {
  TestPlayer player;
  player.Configure(320, 240, 1);
  ASSERT_TRUE(player.OpenAndStart("morlun_no_duration.mkv"));
  AvFileDecodeEngine* engine = player.engine();
  EXPECT_EQ(engine->GetDuration(), 0.0);
  EXPECT_EQ(engine->GetDurationCeil(), 0);
  engine->SetPercentMode(true);
  engine->Seek(50);
  player.StartPulling(0);
  EXPECT_EQ(player.WaitFinished(kPlayTimeoutMs), 10);
  player.StopPulling();
  EXPECT_EQ(static_cast<int>(player.Frames().size()), 25);
  EXPECT_TRUE(InOrderFrom(player.Frames(), 0));
  EXPECT_EQ(engine->GetProgress(), 0);
  for (const Notice& n : player.notices()) {
    if (n.kind == 1) {
      EXPECT_EQ(n.b, 0);
    }
  }
}

// ---------------------------------------------------------------------------------------------
// Audio

TEST(FileDecodeAudioTest, PullWithoutRecordsGivesSilenceOfTheFullLength) {
  TestPlayer player;
  std::vector<uint8_t> buffer(4000, 0x5A);
  player.engine()->PullAudio(buffer.data(), static_cast<unsigned>(buffer.size()));
  EXPECT_EQ(std::count(buffer.begin(), buffer.end(), 0), 4000);
}

// Pulls the first `count` non-silent samples of morlun_loud.wav at `volume`; pulls use odd
// lengths so that records are split across pulls.
static std::vector<int16_t> LoudSamples(double volume, size_t count) {
  TestPlayer player;
  player.Configure(0, 0, 1);
  player.engine()->SetVolume(volume);
  EXPECT_TRUE(player.OpenAndStart("morlun_loud.wav"));
  std::vector<int16_t> samples;
  std::vector<int16_t> buffer(700);
  for (int tries = 0; tries < 2000 && samples.size() < count; ++tries) {
    std::fill(buffer.begin(), buffer.end(), 0x1234);
    player.engine()->PullAudio(reinterpret_cast<uint8_t*>(buffer.data()), 1398);
    EXPECT_EQ(buffer[699], 0x1234);  // Not a byte past the length.
    for (int i = 0; i < 699; ++i) {
      if (!samples.empty() || buffer[i] != 0) samples.push_back(buffer[i]);
    }
    Sleep(1);
  }
  samples.resize(std::min(samples.size(), count));
  return samples;
}

TEST(FileDecodeAudioTest, VolumeScalesAndClips) {
  const std::vector<int16_t> plain = LoudSamples(100, 4800);
  const std::vector<int16_t> loud = LoudSamples(300, 4800);
  const std::vector<int16_t> quiet = LoudSamples(50, 4800);
  ASSERT_EQ(plain.size(), 4800u);
  ASSERT_EQ(loud.size(), 4800u);
  ASSERT_EQ(quiet.size(), 4800u);
  int clipped = 0;
  for (size_t i = 0; i < plain.size(); ++i) {
    const int expected = std::max(-32768, std::min(32767, plain[i] * 3));
    ASSERT_EQ(loud[i], expected) << i;
    ASSERT_EQ(quiet[i], plain[i] * 50 / 100) << i;
    clipped += loud[i] == 32767 || loud[i] == -32768;
  }
  EXPECT_GT(clipped, 100);
}

TEST(FileDecodeAudioTest, AudioOnlyFileProgressFollowsThePull) {
  TestPlayer player;
  player.Configure(320, 240, 1);
  ASSERT_TRUE(player.OpenAndStart("morlun_audio_only.mp3"));
  EXPECT_FALSE(player.engine()->HasVideo());
  player.StartPulling(0);
  EXPECT_EQ(player.WaitFinished(kPlayTimeoutMs), 10);
  player.StopPulling();
  // A pull under way at the end has posted by now: take in what is queued behind the end.
  player.PumpFor(0);
  std::vector<int> positions;
  for (const Notice& n : player.notices()) {
    if (n.kind == 1) positions.push_back(n.b);
  }
  // Each second once as the pull reaches it, then the rounded-up duration at the end, and
  // nothing older after it.
  ASSERT_GE(positions.size(), 3u);
  EXPECT_EQ(positions[0], 0);
  EXPECT_EQ(positions[1], 1);
  for (size_t i = 1; i < positions.size(); ++i) EXPECT_GT(positions[i], positions[i - 1]);
  EXPECT_EQ(positions.back(), player.engine()->GetDurationCeil());
}

// ---------------------------------------------------------------------------------------------
// Pause, speed, picture box, destruction

TEST(FileDecodeControlTest, PauseStopsPicturesAndSound) {
  for (const char* name : {"morlun_h264_aac.mp4", "morlun_video_only.mp4"}) {
    TestPlayer player;
    player.Configure(320, 240, 1);
    ASSERT_TRUE(player.OpenAndStart(name));
    player.StartPulling(10);
    ASSERT_TRUE(player.PumpUntil([&] { return player.FrameCount() >= 5; }, 10000)) << name;
    player.engine()->Pause();
    EXPECT_TRUE(player.engine()->IsPaused());
    player.PumpFor(100);
    const int paused_at = player.FrameCount();
    player.PumpFor(600);
    EXPECT_EQ(player.FrameCount(), paused_at) << name;
    EXPECT_EQ(player.NonSilentWhilePaused(), 0) << name;
    player.engine()->Resume();
    EXPECT_TRUE(player.PumpUntil([&] { return player.FrameCount() >= paused_at + 5; }, 5000));
    EXPECT_TRUE(InOrderFrom(player.Frames(), 0)) << name;
  }
}

// Whole process processor time, in milliseconds.
static double ProcessCpuMs() {
  FILETIME created, exited, kernel, user;
  GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
  auto ms = [](const FILETIME& t) {
    return ((static_cast<uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 10000.0;
  };
  return ms(kernel) + ms(user);
}

TEST(FileDecodeControlTest, AStalledPlaybackWaitsWithoutSpinning) {
  // The whole file is demuxed at once, then nothing is pulled: the engine has reached the end
  // of its input with everything still queued, and must wait quietly.
  TestPlayer player;
  player.Configure(320, 240, 1);
  ASSERT_TRUE(player.OpenAndStart("morlun_short.mp4"));
  player.engine()->Pause();
  player.PumpFor(500);
  const double before = ProcessCpuMs();
  Sleep(1000);
  EXPECT_LT(ProcessCpuMs() - before, 300.0);
  EXPECT_TRUE(player.engine()->IsActive());
  player.engine()->Resume();
  player.StartPulling(0);
  EXPECT_EQ(player.WaitFinished(kPlayTimeoutMs), 10);
  EXPECT_EQ(player.FrameCount(), HostFrameCount("morlun_short.mp4"));
}

TEST(FileDecodeControlTest, SpeedOutsideAtempoRangeIsRefused) {
  TestPlayer player;
  for (double refused : {0.25, 0.49, 101.0, -1.0, std::nan("")}) {
    player.engine()->SetSpeed(refused);
    EXPECT_EQ(player.engine()->GetSpeed(), 1.0f) << refused;
  }
  player.engine()->SetSpeed(2.0);
  EXPECT_EQ(player.engine()->GetSpeed(), 2.0f);
}

// Plays a file with the audio pulled in real time and measures, for every picture,
// how far its time lies from the sound being played: pictures and sound must stay together
// whatever changes the filters make to the timestamps.
struct SyncCase {
  const char* what;
  const char* file;
  double speed_at_start;
  double speed_later;  // Set after ten pictures when not 0.
  double output_rate;  // SetVideoOutput's frame rate (0 keeps the source's).
  int seek_seconds;    // Before the first pull when not 0.
};

class FileDecodeSyncTest : public ::testing::TestWithParam<SyncCase> {};

TEST_P(FileDecodeSyncTest, PicturesFollowTheSound) {
  const SyncCase& c = GetParam();
  TestPlayer player;
  player.Configure(320, 240, 1);
  AvFileDecodeEngine* engine = player.engine();
  engine->SetVideoOutput(0, 0, 0, c.output_rate);
  engine->SetSpeed(c.speed_at_start);
  ASSERT_TRUE(player.OpenAndStart(c.file));
  std::atomic<int> worst_ms{0};
  std::atomic<int> checked{0};
  std::atomic<bool> measuring{c.speed_later == 0};
  player.SetFrameHook([&](int number) {
    if (!measuring.load()) return;
    const int picture_ms = number * 40;
    const int sound_ms = static_cast<int>(engine->GetStreamTime() * 1000);
    worst_ms = std::max(worst_ms.load(), std::abs(picture_ms - sound_ms));
    ++checked;
  });
  if (c.seek_seconds) {
    engine->Seek(c.seek_seconds);
    ASSERT_TRUE(
        player.PumpUntil([&] { return engine->GetStreamTime() >= c.seek_seconds - 0.1; }, 5000));
  }
  player.StartPulling(10);
  if (c.speed_later != 0) {
    ASSERT_TRUE(player.PumpUntil([&] { return player.FrameCount() >= 10; }, 10000));
    engine->SetSpeed(c.speed_later);
    player.PumpFor(300);  // The change is served as a seek to the current position.
    measuring = true;
  }
  EXPECT_EQ(player.WaitFinished(kPlayTimeoutMs), 10);
  player.StopPulling();
  EXPECT_GT(checked.load(), 10);
  EXPECT_LT(worst_ms.load(), 300);  // A drift shows as 500 ms or more.
  const std::vector<int> frames = player.Frames();
  for (size_t i = 1; i < frames.size(); ++i) EXPECT_GT(frames[i], frames[i - 1]) << i;
}

INSTANTIATE_TEST_SUITE_P(
    Filters, FileDecodeSyncTest,
    ::testing::Values(
        SyncCase{"double speed after a seek", "morlun_h264_aac.mp4", 2.0, 0, 0, 1},
        SyncCase{"speed changed while playing", "morlun_h264_aac.mp4", 1.0, 1.5, 0, 0},
        SyncCase{"output frame rate", "morlun_h264_aac.mp4", 1.0, 0, 12.5, 0},
        // One stream's packets far ahead of the other's stall neither.
        SyncCase{"sound interleaved far ahead", "morlun_audio_first.mkv", 1.0, 0, 0, 0}),
    [](const ::testing::TestParamInfo<SyncCase>& info) {
      std::string name = info.param.what;
      for (char& ch : name) {
        if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
      }
      return name;
    });

TEST(FileDecodeControlTest, PicturesAreFittedIntoTheBoxWithEvenSizes) {
  struct Case {
    int box_w, box_h, w, h;
  } cases[] = {{640, 480, 320, 240}, {160, 160, 160, 120}, {101, 75, 100, 74}, {0, 0, 0, 0}};
  for (const Case& c : cases) {
    TestPlayer player;
    player.Configure(c.box_w, c.box_h, 1);
    ASSERT_TRUE(player.OpenAndStart("morlun_short.mp4"));
    player.StartPulling(0);
    EXPECT_EQ(player.WaitFinished(kPlayTimeoutMs), 10);
    player.StopPulling();
    int width = 0, height = 0, size = 0;
    player.LastFrameSize(&width, &height, &size);
    EXPECT_EQ(width, c.w) << c.box_w << "x" << c.box_h;
    EXPECT_EQ(height, c.h) << c.box_w << "x" << c.box_h;
    EXPECT_EQ(size, c.w * c.h * 3 / 2);
    if (c.w == 0) {
      EXPECT_EQ(player.FrameCount(), 0);
    }
  }
}

TEST(FileDecodeControlTest, DestroyWhilePlayingFromAnotherThread) {
  TestPlayer player;
  player.Configure(320, 240, 0);
  ASSERT_TRUE(player.OpenAndStart("morlun_h264_aac.mp4"));
  player.StartPulling(5);
  ASSERT_TRUE(player.PumpUntil([&] { return player.FrameCount() >= 5; }, 10000));
  AvFileDecodeEngine* engine = player.ReleaseEngine();
  std::atomic<bool> done{false};
  std::thread destroyer([&] {
    Av_DestroyFileDecodeEngine(engine);
    done = true;
  });
  EXPECT_TRUE(player.PumpUntil([&] { return done.load(); }, 5000));
  destroyer.join();
  const size_t notices = player.notices().size();
  player.PumpFor(200);  // The window goes away on this thread; nothing more is delivered.
  EXPECT_EQ(player.notices().size(), notices);
}

// Runs `calls` on a thread of its own while this thread pumps messages. Calls that wait for each
// other never return: the process then ends with the failure shown, rather than hang.
static void RunOnAnotherThread(TestPlayer* player, const std::function<void()>& calls) {
  std::atomic<bool> done{false};
  std::thread caller([&] {
    calls();
    done = true;
  });
  if (!player->PumpUntil([&] { return done.load(); }, 60000)) {
    ADD_FAILURE() << "the engine's calls did not return within 60 s: they wait for each other";
    std::fflush(stdout);
    TerminateProcess(GetCurrentProcess(), 3);
  }
  caller.join();
}

// Waits until `count` more pictures have arrived; false after 5 s.
static bool WaitForPictures(TestPlayer* player, int count) {
  const int target = player->FrameCount() + count;
  for (int i = 0; i < 1000 && player->FrameCount() < target; ++i) Sleep(5);
  return player->FrameCount() >= target;
}

// A receiver may call the engine from inside OnVideoFrame: every read operation (and pause and
// resume) returns while another thread opens, resets, finishes, closes and destroys the engine.
TEST(FileDecodeControlTest, ReceiverCallsTheEngineWhileAnotherThreadStopsIt) {
  TestPlayer player;
  player.Configure(320, 240, 0);
  AvFileDecodeEngine* engine = player.engine();
  std::atomic<int> reads{0};
  const std::function<void()> read_operations[] = {
      [&] { reads += engine->HasFile(); },
      [&] { reads += engine->GetFilePath() != nullptr; },
      [&] { engine->Pause(); },
      [&] { engine->Resume(); },
      [&] { reads += !engine->IsPaused(); },
      [&] { reads += engine->IsActive(); },
      [&] { reads += engine->HasVideo(); },
      [&] { reads += engine->GetStreamTime() >= 0; },
      [&] { reads += engine->GetDuration() > 0; },
      [&] { reads += engine->GetSourceWidth() == 320; },
  };
  // Spread over the picture's time, so that a stop meets each of them.
  player.SetFrameHook([&](int) {
    for (const auto& read : read_operations) {
      Sleep(2);
      read();
    }
  });
  const std::wstring path = DataPath("morlun_video_only.mp4");
  int started = 0, attempts = 0;
  auto start = [&] {
    ++attempts;
    started += engine->OpenFile(path.c_str(), false) == 0 && engine->Reset() &&
               WaitForPictures(&player, 2);
  };
  player.ReleaseEngine();
  RunOnAnotherThread(&player, [&] {
    for (int round = 0; round < 3; ++round) {
      start();
      engine->CloseFile();
      start();
      engine->Finish();
      start();
      engine->Reset();
      started += WaitForPictures(&player, 2);
      ++attempts;
      start();  // Opened again while playing.
    }
    start();
    Av_DestroyFileDecodeEngine(engine);
  });
  EXPECT_EQ(started, attempts);
  EXPECT_GT(reads.load(), 0);
}

// A receiver that stops playback from inside OnVideoFrame while another thread stops it too:
// neither waits for the other.
TEST(FileDecodeControlTest, ReceiverAndAnotherThreadStopPlaybackTogether) {
  TestPlayer player;
  player.Configure(320, 240, 0);
  AvFileDecodeEngine* engine = player.engine();
  std::atomic<int> stops{0};
  player.SetFrameHook([&](int number) {
    Sleep(10);
    if (number % 2) {
      engine->Finish();
    } else {
      engine->CloseFile();
    }
    ++stops;
  });
  const std::wstring path = DataPath("morlun_video_only.mp4");
  const int kRounds = 20;
  int met = 0;
  RunOnAnotherThread(&player, [&] {
    for (int round = 0; round < kRounds; ++round) {
      if (engine->OpenFile(path.c_str(), false) != 0 || !engine->Reset()) continue;
      // The receiver is inside its picture (or its own stop) when this thread stops playback.
      met += WaitForPictures(&player, 1);
      Sleep(3 * (round % 5));
      if (round % 2) {
        engine->Finish();
      } else {
        engine->CloseFile();
      }
    }
  });
  EXPECT_EQ(met, kRounds);
  EXPECT_GT(stops.load(), 0);
}

TEST(FileDecodeControlTest, NullSinkDropsQueuedNotifications) {
  TestPlayer player;
  player.Configure(320, 240, 1);
  ASSERT_EQ(player.engine()->OpenFile(DataPath("morlun_short.mp4").c_str(), false), 0);
  player.engine()->SetSink(nullptr);
  player.PumpFor(200);
  EXPECT_TRUE(player.notices().empty());
}
