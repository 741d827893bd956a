// The share canvas (1280x720, its capture sink copying that area of the screen, ticks back to
// back) in I420 frames per second at the frame-out sink, against a bare loop of BitBlt of the
// same area from the screen into a DIB section; and CWinCapture of a 1280x720 window against a
// bare BitBlt from the window's context. Needs a display (run under Xvfb).

#include <windows.h>

#include <benchmark/benchmark.h>

#include <chrono>
#include <condition_variable>
#include <mutex>

#include "bench/support/screen_area.h"
#include "platform/trastor/trastor.h"
#include "share/capture/win_capture.h"
#include "tests/support/window_pixels.h"

namespace {

constexpr int kWidth = 1280;
constexpr int kHeight = 720;

class FrameCounter : public gsVideoFrameOutSink {
 public:
  void OnVideoFrameOut(TrastorCanvas*, int, int, int, const unsigned char*, int, int,
                       int) override {
    std::lock_guard<std::mutex> lock(mutex_);
    ++frames_;
    arrived_.notify_all();
  }
  // Waits for the frame after the ones counted so far.
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

void BM_ShareCanvasFromScreen(benchmark::State& state) {
  FrameCounter counter;
  tarvo_bench::RunScreenAreaCanvas(state, "CANVAS_AS", kWidth, kHeight, counter);
}
BENCHMARK(BM_ShareCanvasFromScreen)->UseRealTime()->MinTime(2.0);

void BM_BareScreenBitBlt(benchmark::State& state) {
  tarvo_bench::RunBareScreenCopy(state, kWidth, kHeight);
}
BENCHMARK(BM_BareScreenBitBlt)->UseRealTime()->MinTime(2.0);

// A 1280x720 window of this process that paints a gradient.
HWND MakeWindow() {
  WNDCLASSW window_class{};
  window_class.lpfnWndProc = DefWindowProcW;
  window_class.hInstance = GetModuleHandleW(nullptr);
  window_class.hbrBackground = static_cast<HBRUSH>(GetStockObject(GRAY_BRUSH));
  window_class.lpszClassName = L"CaptureBenchWindow";
  RegisterClassW(&window_class);
  HWND window =
      CreateWindowExW(0, window_class.lpszClassName, L"Capture bench", WS_POPUP | WS_VISIBLE, 0, 0,
                      kWidth, kHeight, nullptr, nullptr, window_class.hInstance, nullptr);
  UpdateWindow(window);
  return window;
}

void BM_WinCaptureOfAWindow(benchmark::State& state) {
  HWND window = MakeWindow();
  CWinCapture capture;
  capture.Init(nullptr, {window});
  for (auto _ : state) {
    unsigned char* pixels = nullptr;
    int width = 0;
    int height = 0;
    int size = 0;
    int reason = 0;
    if (!capture.GetCaptureData(&pixels, &width, &height, &size, &reason)) {
      state.SkipWithError("capture failed");
      break;
    }
  }
  state.SetItemsProcessed(state.iterations());
  capture.Stop();
  DestroyWindow(window);
}
BENCHMARK(BM_WinCaptureOfAWindow)->UseRealTime()->MinTime(2.0);

void BM_BareWindowBitBlt(benchmark::State& state) {
  HWND window = MakeWindow();
  tarvo_test::DibCanvas target(kWidth, kHeight);
  for (auto _ : state) {
    HDC dc = GetWindowDC(window);
    BitBlt(target.dc(), 0, 0, kWidth, kHeight, dc, 0, 0, SRCCOPY);
    ReleaseDC(window, dc);
    GdiFlush();
  }
  state.SetItemsProcessed(state.iterations());
  DestroyWindow(window);
}
BENCHMARK(BM_BareWindowBitBlt)->UseRealTime()->MinTime(2.0);

}  // namespace
