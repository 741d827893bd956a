// Pellix's frame path: SetData (I420 packed into texels) + DrawTexture (YUV converted on the
// graphics card) + Present of a 1280x720 frame into a 1280x720 window. The same program runs
// Vendra's path (vendra_frame_path.cpp) so both figures come from one run.

#include <benchmark/benchmark.h>

#include "bench_window.h"
#include "graphics/include/pellix_interface.h"

namespace {

void BM_PellixI420FrameToWindow(benchmark::State& state) {
  HWND window = bench::MakeWindow(L"pellix bench");
  gsSystemBase* system = Pellix_Create();
  gsTextureBase* texture =
      system ? system->CreateTextureWrite(bench::kWidth, bench::kHeight, nullptr, true) : nullptr;
  if (!window || !system || !texture) {
    state.SkipWithError("no window, system or texture");
  } else {
    system->SetWindow(window);
    system->SetViewport(0, 0, bench::kWidth, bench::kHeight);
    system->SetOrtho(0, bench::kWidth, bench::kHeight, 0, 0, 1);
    system->SetColorType(gs::pellix::kI420);
    const std::vector<std::uint8_t> frames[2] = {bench::MakeI420Frame(0), bench::MakeI420Frame(50)};
    const int size = static_cast<int>(frames[0].size());
    bench::PumpMessages();
    int n = 0;
    for (auto _ : state) {
      const std::vector<std::uint8_t>& frame = frames[n++ & 1];
      texture->SetData(frame.data(), size, gs::pellix::kI420);
      system->DrawTexture(texture, 0, 0, bench::kWidth, bench::kHeight, 0xFFFFFFFF, 0.f, 1.f, 0.f,
                          1.f);
      if (!system->Present()) {
        state.SkipWithError("Present failed");
        break;
      }
      bench::PumpMessages();
    }
    state.counters["fps"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
  }
  delete texture;
  Pellix_Destroy(system);
  if (window) DestroyWindow(window);
}
BENCHMARK(BM_PellixI420FrameToWindow)->Unit(benchmark::kMillisecond)->UseRealTime();

// The upload alone: the I420 frame packed into the mapped texture on the processor.
void BM_PellixI420SetData(benchmark::State& state) {
  gsSystemBase* system = Pellix_Create();
  gsTextureBase* texture =
      system ? system->CreateTextureWrite(bench::kWidth, bench::kHeight, nullptr, true) : nullptr;
  if (!texture) {
    state.SkipWithError("no system or texture");
  } else {
    const std::vector<std::uint8_t> frame = bench::MakeI420Frame(0);
    for (auto _ : state)
      texture->SetData(frame.data(), static_cast<int>(frame.size()), gs::pellix::kI420);
  }
  delete texture;
  Pellix_Destroy(system);
}
BENCHMARK(BM_PellixI420SetData)->Unit(benchmark::kMillisecond);

}  // namespace
