// Records per second through CLogWrapper::WriteLog, from one thread and from four threads
// sharing the log, and the log's rate against the floor this design allows. The log writes into
// a scratch folder under the temporary folder.
#include <windows.h>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>
#include <string>

#include "foundation/log.h"

namespace {

std::wstring BenchFolder() {
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  return std::wstring(temp) + L"tarvo_log_bench_" + std::to_wstring(GetCurrentProcessId());
}

CLogWrapper& BenchLog() {
  static std::unique_ptr<CLogWrapper> log = [] {
    CLogWrapper::Settings settings;
    settings.log_folder = BenchFolder();
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

double Seconds(const LARGE_INTEGER& from, const LARGE_INTEGER& to, const LARGE_INTEGER& hz) {
  return static_cast<double>(to.QuadPart - from.QuadPart) / static_cast<double>(hz.QuadPart);
}

// The log against its floor: the same lines, each written with fwrite + fflush (one plain write
// at the current position) and echoed with one OutputDebugStringA, as every record must be.
// Batches of both alternate, so that both see the same machine. Counters: records per second
// of each and their ratio (log / anchor).
void BM_WriteLogAgainstAnchor(benchmark::State& state) {
  constexpr int kBatch = 200;
  CLogWrapper& log = BenchLog();
  const char record[] =
      "[this=0x1234abcd][CSdkInterActive::OnRemoteVideoStats:812][uid=1024 "
      "fps=25 kbps=1200]";
  char line[256];
  const int line_length =
      std::snprintf(line, sizeof(line), "[2024-05-06 07:08:09.123][t=%lu][INFO]%s\r\n",
                    GetCurrentThreadId(), record);
  const std::string echo = std::string(record) + "\n";
  const std::wstring anchor_path = BenchFolder() + L"\\anchor.log";
  FILE* anchor = _wfopen(anchor_path.c_str(), L"wb");
  if (!anchor) {
    state.SkipWithError("cannot open the anchor file");
    return;
  }
  LARGE_INTEGER hz, t0, t1, t2;
  QueryPerformanceFrequency(&hz);
  double log_seconds = 0;
  double anchor_seconds = 0;
  for (auto _ : state) {
    QueryPerformanceCounter(&t0);
    for (int i = 0; i < kBatch; ++i) log.WriteLog(CLogWrapper::kInfo, 0, record);
    QueryPerformanceCounter(&t1);
    for (int i = 0; i < kBatch; ++i) {
      std::fwrite(line, 1, static_cast<size_t>(line_length), anchor);
      std::fflush(anchor);
      OutputDebugStringA(echo.c_str());
    }
    QueryPerformanceCounter(&t2);
    log_seconds += Seconds(t0, t1, hz);
    anchor_seconds += Seconds(t1, t2, hz);
  }
  std::fclose(anchor);
  DeleteFileW(anchor_path.c_str());
  const double records = static_cast<double>(state.iterations()) * kBatch;
  state.counters["log_per_s"] = records / log_seconds;
  state.counters["anchor_per_s"] = records / anchor_seconds;
  state.counters["ratio"] = anchor_seconds / log_seconds;
}
BENCHMARK(BM_WriteLogAgainstAnchor)->UseRealTime()->MinTime(2.0);

}  // namespace
