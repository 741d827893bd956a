// An area share of 1280x720: the share window (CShareFrame) paints every frame the share canvas
// pulls, ticks back to back, counted in I420 frames per second at the frame-out sink; against a
// bare loop of BitBlt of the same area from the screen into a DIB section, and against the
// canvas engine alone with a sink that copies the same area. Needs a display (run under Xvfb):
// scripts/wine-run build/<arch>/bin/ShareBench.exe

#include <windows.h>

#include <benchmark/benchmark.h>

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>

#include "bench/support/screen_area.h"
#include "platform/duilib/UIlib.h"
#include "platform/trastor/trastor.h"
#include "share/sharing/share_frame.h"
#include "share/window/gdiplus_include.h"
#include "tests/support/window_pixels.h"

namespace {

constexpr int kWidth = 1280;
constexpr int kHeight = 720;

class FrameCounter : public ShareDelegate, public gsVideoFrameOutSink {
 public:
  void OnShareStarted() override {}
  void OnShareStopped() override {}
  void OnShowShareFrame() override {}
  void OnLocalPlayback(const std::string&, int, int, int) override {}
  void OnVideoFrameOut(TrastorCanvas*, int, int width, int height, const unsigned char*, int,
                       int, int) override {
    std::lock_guard<std::mutex> lock(mutex_);
    if (width == kWidth && height == kHeight) ++frames_;
    arrived_.notify_all();
  }
  // Waits for the next frame of the area's size.
  bool WaitForNext() {
    std::unique_lock<std::mutex> lock(mutex_);
    const long long seen = frames_;
    return arrived_.wait_for(lock, std::chrono::seconds(5), [&] { return frames_ > seen; });
  }

 private:
  std::mutex mutex_;
  std::condition_variable arrived_;
  long long frames_ = 0;
};

void StartGdiplus() {
  static const bool started = [] {
    Gdiplus::GdiplusStartupInput input;
    ULONG_PTR token = 0;
    return Gdiplus::GdiplusStartup(&token, &input, nullptr) == Gdiplus::Ok;
  }();
  (void)started;
}

void BM_AreaShareThroughShareFrame(benchmark::State& state) {
  StartGdiplus();
  FrameCounter counter;
  auto frame = std::make_unique<CShareFrame>(&counter, &counter);
  frame->Create(nullptr, L"ShareFrame", WS_POPUP, 0);
  frame->ShowWindow(true, false);
  tarvo_test::PumpUntil([&] { return frame->GetAnnoPanel() != nullptr; }, 5000);
  DuiLib::CControlUI* area_option = frame->GetPaintManager()->FindControl(L"option_window");
  if (!frame->GetCanvas() || !area_option) {
    state.SkipWithError("no share window");
    return;
  }
  const RECT& rect = area_option->GetPos();
  const LPARAM at = MAKELPARAM((rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2);
  SendMessageW(frame->GetHWND(), WM_LBUTTONDOWN, MK_LBUTTON, at);
  SendMessageW(frame->GetHWND(), WM_LBUTTONUP, 0, at);
  frame->StartShare();
  // The area frame around a 1280 x 720 area at the screen's top-left corner.
  MoveWindow(frame->GetAreaFrame()->GetHWND(), -7, -18, kWidth + 14, kHeight + 55, TRUE);
  frame->GetCanvas()->SetFrameRate(10000.0f);  // Ticks back to back.
  tarvo_test::PumpMessages(50);
  for (int i = 0; i < 3; ++i) counter.WaitForNext();
  for (auto _ : state) {
    if (!counter.WaitForNext()) {
      state.SkipWithError("no frame");
      break;
    }
  }
  state.SetItemsProcessed(state.iterations());
  frame->StopShare();
  SendMessageW(frame->GetHWND(), WM_CLOSE, 0, 0);
}
BENCHMARK(BM_AreaShareThroughShareFrame)->UseRealTime()->MinTime(2.0);

// The engine alone: a sink that copies the area and nothing else.
void BM_EngineOnlyAreaCopy(benchmark::State& state) {
  FrameCounter counter;
  tarvo_bench::RunScreenAreaCanvas(state, "BENCH_AREA", kWidth, kHeight, counter);
}
BENCHMARK(BM_EngineOnlyAreaCopy)->UseRealTime()->MinTime(2.0);

void BM_BareAreaBitBlt(benchmark::State& state) {
  tarvo_bench::RunBareScreenCopy(state, kWidth, kHeight);
}
BENCHMARK(BM_BareAreaBitBlt)->UseRealTime()->MinTime(2.0);

}  // namespace
