// Vendra's frame path: SetData (I420 converted through the tables) + DrawTexture + Present of
// a 1280x720 frame into a 1280x720 window. Needs a display (run under Xvfb).

#include <windows.h>

#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "vendra_interface.h"

namespace {

constexpr int kWidth = 1280;
constexpr int kHeight = 720;

HWND MakeWindow() {
  WNDCLASSW wc{};
  wc.lpfnWndProc = DefWindowProcW;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = L"VendraBenchWindow";
  RegisterClassW(&wc);
  return CreateWindowExW(0, wc.lpszClassName, L"vendra bench", WS_POPUP | WS_VISIBLE, 0, 0, kWidth,
                         kHeight, nullptr, nullptr, wc.hInstance, nullptr);
}

void PumpMessages() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
}

// A moving gradient, so that no two frames are alike.
std::vector<std::uint8_t> MakeFrame(int shift) {
  std::vector<std::uint8_t> frame(kWidth * kHeight * 3 / 2);
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x)
      frame[y * kWidth + x] = static_cast<std::uint8_t>(x + y + shift);
  }
  for (std::size_t i = kWidth * kHeight; i < frame.size(); ++i) {
    frame[i] = static_cast<std::uint8_t>(i * 3 + shift);
  }
  return frame;
}

struct Fixture {
  Fixture() : window(MakeWindow()), system(Vendra_Create()) {
    system->SetWindow(window);
    texture = system->CreateTextureWrite(kWidth, kHeight, nullptr, false);
    frames[0] = MakeFrame(0);
    frames[1] = MakeFrame(50);
    PumpMessages();
  }
  ~Fixture() {
    delete texture;
    Vendra_Destroy(system);
    DestroyWindow(window);
  }
  HWND window;
  gsSystemBase* system;
  gsTextureBase* texture = nullptr;
  std::vector<std::uint8_t> frames[2];
};

void BM_I420FrameToWindow(benchmark::State& state) {
  Fixture f;
  if (!f.window || !f.system || !f.texture) {
    state.SkipWithError("no window, system or texture");
    return;
  }
  const int size = static_cast<int>(f.frames[0].size());
  int n = 0;
  for (auto _ : state) {
    const std::vector<std::uint8_t>& frame = f.frames[n++ & 1];
    f.texture->SetData(frame.data(), size, gs::vendra::kI420, false);
    f.system->DrawTexture(f.texture, 0, 0, kWidth, kHeight, 0xFFFFFFFF, 0.f, 1.f, 0.f, 1.f);
    if (!f.system->Present(0)) {
      state.SkipWithError("Present failed");
      break;
    }
    GdiFlush();
    if ((n & 31) == 0) PumpMessages();
  }
  state.counters["fps"] =
      benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_I420FrameToWindow)->Unit(benchmark::kMillisecond)->UseRealTime();

// The upload alone (conversion and the transfer into the bitmap), for comparison.
void BM_I420SetData(benchmark::State& state) {
  Fixture f;
  if (!f.texture) {
    state.SkipWithError("no texture");
    return;
  }
  const int size = static_cast<int>(f.frames[0].size());
  int n = 0;
  for (auto _ : state) {
    f.texture->SetData(f.frames[n++ & 1].data(), size, gs::vendra::kI420, false);
  }
  state.counters["fps"] =
      benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_I420SetData)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
