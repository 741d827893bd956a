// Vendra's frame path for comparison: SetData (I420 converted on the processor) + DrawTexture +
// Present of the same 1280x720 frames into a 1280x720 window.

#include <benchmark/benchmark.h>

#include "bench_window.h"
#include "graphics/include/vendra_interface.h"

namespace {

void BM_VendraI420FrameToWindow(benchmark::State& state) {
  HWND window = bench::MakeWindow(L"vendra bench");
  gsSystemBase* system = Vendra_Create();
  gsTextureBase* texture =
      system ? system->CreateTextureWrite(bench::kWidth, bench::kHeight, nullptr, false) : nullptr;
  if (!window || !system || !texture) {
    state.SkipWithError("no window, system or texture");
  } else {
    system->SetWindow(window);
    const std::vector<std::uint8_t> frames[2] = {bench::MakeI420Frame(0), bench::MakeI420Frame(50)};
    const int size = static_cast<int>(frames[0].size());
    bench::PumpMessages();
    int n = 0;
    for (auto _ : state) {
      const std::vector<std::uint8_t>& frame = frames[n++ & 1];
      texture->SetData(frame.data(), size, gs::vendra::kI420, false);
      system->DrawTexture(texture, 0, 0, bench::kWidth, bench::kHeight, 0xFFFFFFFF, 0.f, 1.f, 0.f,
                          1.f);
      if (!system->Present(0)) {
        state.SkipWithError("Present failed");
        break;
      }
      bench::PumpMessages();
    }
    state.counters["fps"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
  }
  delete texture;
  Vendra_Destroy(system);
  if (window) DestroyWindow(window);
}
BENCHMARK(BM_VendraI420FrameToWindow)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
