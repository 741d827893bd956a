#pragma once

#include <cstdint>
#include <functional>

// The client's own processor usage, for the page's overload warning.
//
// Usage is the growth of the process's kernel + user time, divided by the processor count,
// over the growth of the system clock, as a rounded percentage. The first sample measures over
// one tick of the system clock; every later one over the time since the previous sample.
class CpuUsageSampler {
 public:
  struct Clock {
    // System time in 100-ns units (GetSystemTimeAsFileTime).
    std::function<int64_t()> now;
    // Kernel + user time of a process in 100-ns units; false when it cannot be read.
    std::function<bool(unsigned long process_id, int64_t* busy)> process_time;
    int processors = 1;
  };

  CpuUsageSampler();  // the real clocks of this machine
  explicit CpuUsageSampler(Clock clock);

  // Percent (0 to 100) of the machine's processors used by the process since the previous
  // sample. When the process times cannot be read, returns the previous result (0 at first)
  // and logs.
  // Not thread-safe: the UI thread samples.
  int Sample(unsigned long process_id);

 private:
  Clock clock_;
  // Whether a previous sample exists (a process may well have used no time at all yet, so the
  // stored values being zero says nothing).
  bool have_last_ = false;
  int64_t last_process_time_ = 0;
  int64_t last_system_time_ = 0;
  int last_usage_ = 0;
};

// The process-wide sampler's Sample().
int GetCpuUsage(unsigned long process_id);
