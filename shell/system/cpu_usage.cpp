#include "shell/system/cpu_usage.h"

#include <windows.h>

#include <utility>

#include "foundation/log.h"

namespace {

int64_t ToInt64(const FILETIME& t) {
  return static_cast<int64_t>((static_cast<uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime);
}

int64_t SystemNow() {
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  return ToInt64(now);
}

bool ProcessBusyTime(unsigned long process_id, int64_t* busy) {
  HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, process_id);
  if (!process) return false;
  FILETIME created, exited, kernel, user;
  const bool ok = GetProcessTimes(process, &created, &exited, &kernel, &user) != FALSE;
  CloseHandle(process);
  if (ok) *busy = ToInt64(kernel) + ToInt64(user);
  return ok;
}

int ProcessorCount() {
  SYSTEM_INFO info;
  GetSystemInfo(&info);
  return info.dwNumberOfProcessors > 0 ? static_cast<int>(info.dwNumberOfProcessors) : 1;
}

}  // namespace

CpuUsageSampler::CpuUsageSampler()
    : CpuUsageSampler(Clock{SystemNow, ProcessBusyTime, ProcessorCount()}) {}

CpuUsageSampler::CpuUsageSampler(Clock clock) : clock_(std::move(clock)) {
  if (clock_.processors <= 0) clock_.processors = 1;
}

int CpuUsageSampler::Sample(unsigned long process_id) {
  for (;;) {
    const int64_t now = clock_.now();
    int64_t busy = 0;
    if (!clock_.process_time(process_id, &busy)) {
      TVLOG_WARN_THIS() << "the times of process " << process_id << " cannot be read";
      return last_usage_;
    }
    const int64_t process_time = busy / clock_.processors;
    if (have_last_) {
      const int64_t d_process = process_time - last_process_time_;
      const int64_t d_system = now - last_system_time_;
      if (d_system == 0) continue;  // the system clock has not advanced yet
      last_process_time_ = process_time;
      last_system_time_ = now;
      const int64_t usage = (d_process * 100 + d_system / 2) / d_system;
      // The two clocks tick at different steps (Wine reads process times in 10 ms steps), so a
      // short interval can seem busier than all processors together: at most 100.
      last_usage_ = static_cast<int>(usage > 100 ? 100 : (usage < 0 ? 0 : usage));
      return last_usage_;
    }
    last_process_time_ = process_time;
    last_system_time_ = now;
    have_last_ = true;
  }
}

int GetCpuUsage(unsigned long process_id) {
  static CpuUsageSampler sampler;
  return sampler.Sample(process_id);
}
