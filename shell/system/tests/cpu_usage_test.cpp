#include "shell/system/cpu_usage.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <vector>

namespace {

// A scripted clock: each sample reads the next system time and process time.
struct Script {
  std::vector<int64_t> now;
  std::vector<int64_t> busy;
  size_t next_now = 0;
  size_t next_busy = 0;
  bool fail = false;

  CpuUsageSampler::Clock Clock(int processors) {
    return {[this] { return now[std::min(next_now++, now.size() - 1)]; },
            [this](unsigned long, int64_t* b) {
              if (fail) return false;
              *b = busy[std::min(next_busy++, busy.size() - 1)];
              return true;
            },
            processors};
  }
};

}  // namespace

TEST(CpuUsage, UsageIsBusyGrowthPerProcessorOverClockGrowthRounded) {
  // First call: one sample to start, the clock does not move once, then it does.
  Script s{{1000, 1000, 1100, 2100}, {0, 0, 100, 700}};
  CpuUsageSampler sampler(s.Clock(2));
  // Busy 0 -> 100 over 2 processors is 50 units in 100: 50 %. A process that has used no
  // time yet must not make the sampler loop forever.
  EXPECT_EQ(sampler.Sample(1), 50);
  // Next: (700 - 100) / 2 = 300 units over 1000: 30 %.
  EXPECT_EQ(sampler.Sample(1), 30);
}

TEST(CpuUsage, RoundsToNearestAndKeepsTheLastValueWhenTimesCannotBeRead) {
  Script s{{10, 13, 16}, {10, 12, 14}};
  CpuUsageSampler sampler(s.Clock(1));
  EXPECT_EQ(sampler.Sample(1), 67);  // 2 * 100 / 3 = 66.7
  s.fail = true;
  EXPECT_EQ(sampler.Sample(1), 67);
}

TEST(CpuUsage, ClockGranularityNeverGivesMoreThanAllProcessors) {
  // Process times and the system clock tick at different steps: over a short interval the
  // process may seem to have run longer than the clock moved.
  Script s{{0, 10, 20}, {0, 0, 50}};
  CpuUsageSampler sampler(s.Clock(1));
  EXPECT_EQ(sampler.Sample(1), 0);
  EXPECT_EQ(sampler.Sample(1), 100);
}

TEST(CpuUsage, RealSamplerReadsThisProcess) {
  const int usage = GetCpuUsage(GetCurrentProcessId());
  EXPECT_GE(usage, 0);
  EXPECT_LE(usage, 100);
  EXPECT_EQ(CpuUsageSampler().Sample(0xFFFFFFF0u), 0);  // no such process: no exit, value 0
}
