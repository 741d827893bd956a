// One 1920 × 1080 × 2-byte frame through a shared-memory channel to a second process and back
// (write, signal, the peer reads and writes it back, wait, read), against a plain memcpy of the
// same frame.
#include <windows.h>

#include <benchmark/benchmark.h>

#include <cstring>
#include <string>
#include <vector>

#include "foundation/handle.h"
#include "foundation/shared_memory.h"

namespace {

constexpr unsigned kFrameBytes = 1920 * 1080 * 2;

std::wstring ProgramBeside(const wchar_t* name) {
  wchar_t path[MAX_PATH];
  const DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring dir(path, n);
  return dir.substr(0, dir.find_last_of(L"\\/") + 1) + name;
}

void BM_ChannelRoundTrip(benchmark::State& state) {
  const std::wstring name = L"TarvoChannelBench_" + std::to_wstring(GetCurrentProcessId());
  CxShareMemory channel;
  if (!channel.Create(name.c_str(), kFrameBytes, true)) {
    state.SkipWithError("channel not created");
    return;
  }
  std::wstring command = L"\"" + ProgramBeside(L"foundation_channel_peer.exe") + L"\" echo " +
                         name + L" " + std::to_wstring(kFrameBytes);
  STARTUPINFOW startup{sizeof(startup)};
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &process)) {
    state.SkipWithError("peer not started");
    return;
  }
  CxHandle peer(process.hProcess);
  CloseHandle(process.hThread);

  std::vector<unsigned char> frame(kFrameBytes, 0x5A), answer(kFrameBytes);
  for (auto _ : state) {
    if (!channel.Write(frame.data(), kFrameBytes) || channel.Wait(10000) != 1 ||
        channel.Read(answer.data(), kFrameBytes) != kFrameBytes) {
      state.SkipWithError("round trip failed");
      break;
    }
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kFrameBytes);
  channel.Close();  // The peer sees the quit event and ends.
  WaitForSingleObject(peer.Get(), 10000);
}
BENCHMARK(BM_ChannelRoundTrip)->Unit(benchmark::kMicrosecond)->UseRealTime();

void BM_FrameMemcpy(benchmark::State& state) {
  std::vector<unsigned char> frame(kFrameBytes, 0x5A), copy(kFrameBytes);
  for (auto _ : state) {
    std::memcpy(copy.data(), frame.data(), kFrameBytes);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kFrameBytes);
}
BENCHMARK(BM_FrameMemcpy)->Unit(benchmark::kMicrosecond)->UseRealTime();

}  // namespace
