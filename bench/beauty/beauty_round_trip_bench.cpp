// One 1280x720 I420 frame through the stand-in beauty process (beauty\TarvoAiVideo.exe beside
// this program, built with the tests): write, signal, wait, read back.
#include "share/beauty/beauty_face.h"

#include <benchmark/benchmark.h>

#include <vector>

namespace {

void BM_BeautyRoundTrip1280x720(benchmark::State& state) {
  CxBeautyFace beauty(1201);
  StBeautyParam param = DefaultBeautyParam();
  param.flags = 1;
  beauty.SetParam(param);
  beauty.Init();
  std::vector<uint8_t> frame(1280 * 720 * 3 / 2, 90);
  if (!beauty.BeautyFaceProcess(frame.data(), unsigned(frame.size()), 1280, 720)) {
    state.SkipWithError("the stand-in beauty process did not answer");
    return;
  }
  for (auto _ : state) {
    benchmark::DoNotOptimize(
        beauty.BeautyFaceProcess(frame.data(), unsigned(frame.size()), 1280, 720));
  }
  beauty.UnInit();
}
BENCHMARK(BM_BeautyRoundTrip1280x720)->Unit(benchmark::kMillisecond);

}  // namespace
