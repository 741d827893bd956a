// Records per second through CLogWrapper::WriteLog, from one thread and from four threads
// sharing the log. The log writes into a scratch folder under the temporary folder.
#include <windows.h>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>
#include <string>

#include "foundation/log.h"

namespace {

CLogWrapper& BenchLog() {
  static std::unique_ptr<CLogWrapper> log = [] {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    CLogWrapper::Settings settings;
    settings.log_folder =
        std::wstring(temp) + L"tarvo_log_bench_" + std::to_wstring(GetCurrentProcessId());
    settings.cleanup_folder = settings.log_folder + L"\\cleanup";
    return std::make_unique<CLogWrapper>(settings);
  }();
  return *log;
}

void BM_WriteLog(benchmark::State& state) {
  CLogWrapper& log = BenchLog();
  char record[128];
  std::snprintf(record, sizeof(record),
                "[this=0x%p][CSdkInterActive::OnRemoteVideoStats:%d][uid=1024 fps=25 kbps=1200]",
                static_cast<void*>(&log), state.thread_index());
  for (auto _ : state) log.WriteLog(CLogWrapper::kInfo, 0, record);
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_WriteLog)->Threads(1)->Threads(4)->UseRealTime();

void BM_RecordThroughMacro(benchmark::State& state) {
  BenchLog();
  int i = 0;
  for (auto _ : state) TVLOG_INFO() << "frame " << ++i << " size " << 1920 << "x" << 1080;
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_RecordThroughMacro)->Threads(1)->UseRealTime();

// The debugger echo alone, one message per record, for comparison.
void BM_DebuggerEchoOnly(benchmark::State& state) {
  for (auto _ : state) OutputDebugStringA("[this=0x1][CSdkInterActive::OnStats:1][uid=1024]\n");
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_DebuggerEchoOnly)->UseRealTime();

}  // namespace
