#include "net_statistics.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace {

// One field of the record: how to set it to a distinctive value, how to read it back (as a
// double, texts by length), its initial value, and whether Reset keeps it.
struct Field {
  const char* name;
  std::function<void(NetStatistics&)> set;
  std::function<double(const NetStatistics&)> get;
  double initial;
  bool kept_by_reset;
};

const Field kFields[] = {
    {"video.bytes", [](NetStatistics& s) { s.video.bytes = 5000000000LL; },
     [](const NetStatistics& s) { return static_cast<double>(s.video.bytes); }, 0, false},
    {"video.packets", [](NetStatistics& s) { s.video.packets = 11; },
     [](const NetStatistics& s) { return s.video.packets; }, 0, false},
    {"video.packetsLost", [](NetStatistics& s) { s.video.packetsLost = 12; },
     [](const NetStatistics& s) { return s.video.packetsLost; }, 0, false},
    {"video.lossCount", [](NetStatistics& s) { s.video.lossCount = 13; },
     [](const NetStatistics& s) { return s.video.lossCount; }, 0, false},
    {"video.width", [](NetStatistics& s) { s.video.width = 1280; },
     [](const NetStatistics& s) { return s.video.width; }, 0, true},
    {"video.height", [](NetStatistics& s) { s.video.height = 720; },
     [](const NetStatistics& s) { return s.video.height; }, 0, true},
    {"video.frameRate", [](NetStatistics& s) { s.video.frameRate = 25; },
     [](const NetStatistics& s) { return s.video.frameRate; }, 0, false},
    {"video.codec", [](NetStatistics& s) { s.video.codec = "I420"; },
     [](const NetStatistics& s) { return static_cast<double>(s.video.codec.size()); }, 0, true},
    {"video.rtt", [](NetStatistics& s) { s.video.rtt = 7; },
     [](const NetStatistics& s) { return s.video.rtt; }, -1, false},
    {"audio.bytes", [](NetStatistics& s) { s.audio.bytes = 4000000000LL; },
     [](const NetStatistics& s) { return static_cast<double>(s.audio.bytes); }, 0, false},
    {"audio.packets", [](NetStatistics& s) { s.audio.packets = 21; },
     [](const NetStatistics& s) { return s.audio.packets; }, 0, false},
    {"audio.packetsLost", [](NetStatistics& s) { s.audio.packetsLost = 22; },
     [](const NetStatistics& s) { return s.audio.packetsLost; }, 0, false},
    {"audio.packetsDiscarded", [](NetStatistics& s) { s.audio.packetsDiscarded = 23; },
     [](const NetStatistics& s) { return s.audio.packetsDiscarded; }, 0, false},
    {"audio.codec", [](NetStatistics& s) { s.audio.codec = "PCM16"; },
     [](const NetStatistics& s) { return static_cast<double>(s.audio.codec.size()); }, 0, true},
    {"audio.rtt", [](NetStatistics& s) { s.audio.rtt = 8; },
     [](const NetStatistics& s) { return s.audio.rtt; }, 0, false},
    {"audio.audioLevel", [](NetStatistics& s) { s.audio.audioLevel = 3000; },
     [](const NetStatistics& s) { return s.audio.audioLevel; }, 0, true},
    {"audio.totalAudioEnergy", [](NetStatistics& s) { s.audio.totalAudioEnergy = 1.5; },
     [](const NetStatistics& s) { return s.audio.totalAudioEnergy; }, 0, true},
    {"audio.totalSamplesDuration", [](NetStatistics& s) { s.audio.totalSamplesDuration = 2.5; },
     [](const NetStatistics& s) { return s.audio.totalSamplesDuration; }, 0, true},
};

NetStatistics Filled() {
  NetStatistics s;
  for (const Field& f : kFields) f.set(s);
  return s;
}

TEST(NetStatisticsTest, StartsAtTheInitialValues) {
  const NetStatistics s;
  for (const Field& f : kFields) EXPECT_EQ(f.get(s), f.initial) << f.name;
}

TEST(NetStatisticsTest, CopiesEveryField) {
  const NetStatistics filled = Filled();
  NetStatistics assigned;
  assigned = filled;
  const NetStatistics constructed(filled);
  for (const Field& f : kFields) {
    EXPECT_NE(f.get(filled), f.initial) << f.name;
    EXPECT_EQ(f.get(assigned), f.get(filled)) << f.name;
    EXPECT_EQ(f.get(constructed), f.get(filled)) << f.name;
  }
}

TEST(NetStatisticsTest, ResetZeroesCountersAndKeepsTextsSizesLevelAndSums) {
  NetStatistics s = Filled();
  const NetStatistics before = s;
  s.Reset();
  for (const Field& f : kFields) {
    if (f.kept_by_reset) {
      EXPECT_EQ(f.get(s), f.get(before)) << f.name;
    } else {
      EXPECT_EQ(f.get(s), 0) << f.name;
    }
  }
}

TEST(NetStatisticsTest, HasTheSizeTheClientExpects) {
  if (sizeof(void*) != 4) GTEST_SKIP() << "the record's size is the 32-bit product's";
  // 64 bytes of video part and 72 of audio part with 24-byte texts.
  EXPECT_EQ(sizeof(NetStatistics), 136u);
}

}  // namespace
