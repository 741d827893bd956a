// Decodes a whole file through the decode engine as fast as it allows: the audio is pulled on
// a thread without pause, so the audio clock runs ahead and every picture is due at once.
// The file is MORLUN_BENCH_FILE (default bench_720p.mp4 in the working folder).
//   frames_per_second: pictures handed to the receiver per second of wall time.

#include <windows.h>

#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "devices/av_file_decode_engine.h"

namespace {

class CountingUser : public IAVFrame, public AvFileDecodeSink {
 public:
  void OnVideoFrame(int, int, const uint8_t*, int) override { ++frames; }
  void OnVideoFrameUnused() override {}
  void OnAvFileDecodePosChanged(AvFileDecodeEngine*, bool, int) override {}
  void OnAvFileDecodeFinished(AvFileDecodeEngine*, bool, int) override { finished = true; }
  void OnAvFileDecodeStateChanged(AvFileDecodeEngine*, int, int) override {}

  std::atomic<long> frames{0};
  bool finished = false;
};

std::wstring BenchFile() {
  const char* name = std::getenv("MORLUN_BENCH_FILE");
  std::string path = name ? name : "bench_720p.mp4";
  return std::wstring(path.begin(), path.end());
}

void BM_DecodeWholeFile(benchmark::State& state) {
  const std::wstring path = BenchFile();
  long total_frames = 0;
  for (auto _ : state) {
    CountingUser user;
    AvFileDecodeEngine* engine = Av_CreateFileDecodeEngine(&user);
    engine->SetSink(&user);
    engine->SetMaxVideoSize(1920, 1080);
    engine->SetAudioOutput(1, 1, 48000, 480);
    engine->SetVideoOutput(0, 0, 0, 0.0);
    engine->SetLoopCount(1);
    if (engine->OpenFile(path.c_str(), false) != 0 || !engine->Reset()) {
      Av_DestroyFileDecodeEngine(engine);
      state.SkipWithError("the bench file does not open (set MORLUN_BENCH_FILE)");
      return;
    }
    std::atomic<bool> pulling{true};
    std::thread puller([&] {
      std::vector<uint8_t> buffer(1920);
      while (pulling.load()) engine->PullAudio(buffer.data(), 1920);
    });
    // The finished notification, or IsActive where no window could be made.
    while (!user.finished && engine->IsActive()) {
      MSG msg;
      while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
      MsgWaitForMultipleObjects(0, nullptr, FALSE, 2, QS_ALLINPUT);
    }
    pulling = false;
    puller.join();
    Av_DestroyFileDecodeEngine(engine);
    total_frames += user.frames.load();
  }
  state.counters["frames_per_second"] =
      benchmark::Counter(static_cast<double>(total_frames), benchmark::Counter::kIsRate);
  state.counters["frames"] =
      benchmark::Counter(static_cast<double>(total_frames), benchmark::Counter::kAvgIterations);
}

BENCHMARK(BM_DecodeWholeFile)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

}  // namespace
