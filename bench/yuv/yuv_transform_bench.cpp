// CxYuvTransform::Transform (rotate 90 + mirror) on a 1280x720 frame against the same two
// libyuv calls made directly into preallocated buffers.
#include "share/yuv/yuv_transform.h"

#include <benchmark/benchmark.h>
#include <libyuv/planar_functions.h>
#include <libyuv/rotate.h>

#include <vector>

namespace {

constexpr int kWidth = 1280;
constexpr int kHeight = 720;
constexpr int kSize = kWidth * kHeight * 3 / 2;

void BM_TransformRotate90Mirror(benchmark::State& state) {
  CxYuvTransform transform;
  std::vector<uint8_t> frame(kSize, 100);
  for (auto _ : state) {
    int size = kSize, width = kWidth, height = kHeight;
    benchmark::DoNotOptimize(
        transform.Transform(frame.data(), &size, &width, &height, 90, true, false, false));
  }
}
BENCHMARK(BM_TransformRotate90Mirror);

void BM_DirectLibyuvRotate90Mirror(benchmark::State& state) {
  std::vector<uint8_t> src(kSize, 100), rotated(kSize), mirrored(kSize);
  const int y = kWidth * kHeight, c = y / 4;
  for (auto _ : state) {
    libyuv::I420Rotate(src.data(), kWidth, src.data() + y, kWidth / 2, src.data() + y + c,
                       kWidth / 2, rotated.data(), kHeight, rotated.data() + y, kHeight / 2,
                       rotated.data() + y + c, kHeight / 2, kWidth, kHeight, libyuv::kRotate90);
    libyuv::I420Mirror(rotated.data(), kHeight, rotated.data() + y, kHeight / 2,
                       rotated.data() + y + c, kHeight / 2, mirrored.data(), kHeight,
                       mirrored.data() + y, kHeight / 2, mirrored.data() + y + c, kHeight / 2,
                       kHeight, kWidth);
    benchmark::DoNotOptimize(mirrored.data());
  }
}
BENCHMARK(BM_DirectLibyuvRotate90Mirror);

}  // namespace
