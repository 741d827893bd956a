// Pictures per second of a whole file decoded at the engine's top speed, twice in one run:
//   BM_EngineAlone: the decode engine with a counting receiver, as bench/morlun measures it;
//   BM_ThroughLodView: the same file played by CLodViewFrame into the SDK layer (the layer's
//   share-frame path, without a share sender), its sound pulled through the layer's audio
//   generator as fast as it answers.
// Both time the playback from its start to its end; making, opening and starting the engine are
// left out (the window's open also reads the whole file for its duration).
// The ratio of the two frames_per_second is the window's and the layer's share of the cost.
// The file is LOD_BENCH_FILE (default bench_720p.mp4 in the working folder); run.sh makes it.

#include <windows.h>

#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "devices/av_file_decode_engine.h"
#include "sdk/interactive/sdk_interactive.h"
#include "share/share_delegate.h"
#include "windows/lod_view/lod_view_frame.h"

namespace {

std::wstring BenchFile() {
  const char* name = std::getenv("LOD_BENCH_FILE");
  std::string path = name ? name : "bench_720p.mp4";
  return std::wstring(path.begin(), path.end());
}

void PumpOnce() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
  MsgWaitForMultipleObjects(0, nullptr, FALSE, 2, QS_ALLINPUT);
}

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

void BM_EngineAlone(benchmark::State& state) {
  const std::wstring path = BenchFile();
  long total_frames = 0;
  for (auto _ : state) {
    state.PauseTiming();
    CountingUser user;
    AvFileDecodeEngine* engine = Av_CreateFileDecodeEngine(&user);
    engine->SetSink(&user);
    engine->SetMaxVideoSize(1920, 1080);
    engine->SetAudioOutput(1, 1, 48000, 480);
    engine->SetVideoOutput(0, 0, 0, 0.0);
    engine->SetLoopCount(1);
    if (engine->OpenFile(path.c_str(), false) != 0 || !engine->Reset()) {
      Av_DestroyFileDecodeEngine(engine);
      state.SkipWithError("the bench file does not open (set LOD_BENCH_FILE)");
      return;
    }
    state.ResumeTiming();
    std::atomic<bool> pulling{true};
    std::thread puller([&] {
      std::vector<uint8_t> buffer(1920);
      while (pulling.load()) engine->PullAudio(buffer.data(), 1920);
    });
    while (!user.finished && engine->IsActive()) PumpOnce();
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

class EndWatcher : public ShareDelegate {
 public:
  void OnShareStarted() override {}
  void OnShareStopped() override {}
  void OnShowShareFrame() override {}
  void OnLocalPlayback(const std::string&, int status, int, int) override {
    if (status != 1) ended = true;
  }
  bool ended = false;
};

class CountingLodView : public CLodViewFrame {
 public:
  using CLodViewFrame::CLodViewFrame;
  void OnVideoFrame(int width, int height, const uint8_t* data, int size) override {
    ++frames;
    CLodViewFrame::OnVideoFrame(width, height, data, size);
  }
  std::atomic<long> frames{0};
};

void BM_ThroughLodView(benchmark::State& state) {
  const std::wstring path = BenchFile();
  CSdkInterActive layer(nullptr);
  long total_frames = 0;
  for (auto _ : state) {
    state.PauseTiming();
    EndWatcher owner;
    CountingLodView view(&owner);
    view.SetSdk(&layer);
    layer.SetLodView(&view);
    view.SetMaxVideoSize(1920, 1080);
    if (!view.DoOpenFile(path, false, 100, "bench")) {
      layer.SetLodView(nullptr);
      state.SkipWithError("the bench file does not open (set LOD_BENCH_FILE)");
      return;
    }
    if (!view.DoRun(false)) {
      layer.SetLodView(nullptr);
      state.SkipWithError("the bench file does not start");
      return;
    }
    state.ResumeTiming();
    std::atomic<bool> pulling{true};
    std::thread puller([&] {
      std::vector<uint8_t> buffer(1920);
      while (pulling.load()) layer.GenerateAudioFrame(buffer.data(), 1920);
    });
    while (!owner.ended) PumpOnce();
    pulling = false;
    puller.join();
    layer.SetLodView(nullptr);
    total_frames += view.frames.load();
  }
  state.counters["frames_per_second"] =
      benchmark::Counter(static_cast<double>(total_frames), benchmark::Counter::kIsRate);
  state.counters["frames"] =
      benchmark::Counter(static_cast<double>(total_frames), benchmark::Counter::kAvgIterations);
}

BENCHMARK(BM_EngineAlone)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_ThroughLodView)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

}  // namespace
