// The screen-area pieces the capture and share benchmarks measure against each other: a capture
// sink that copies the screen's top-left area, the bare BitBlt loop that is their common anchor,
// and a pull canvas run with ticks back to back. Needs a display (run under Xvfb).
#pragma once

#include <windows.h>

#include <benchmark/benchmark.h>

#include "platform/trastor/trastor.h"
#include "tests/support/window_pixels.h"

namespace tarvo_bench {

// Copies the screen's area at (0, 0) of the given size into dc.
inline void CopyScreenArea(HDC dc, int width, int height) {
  HDC screen = GetDC(nullptr);
  BitBlt(dc, 0, 0, width, height, screen, 0, 0, SRCCOPY);
  ReleaseDC(nullptr, screen);
}

// A capture sink that copies the screen's area and nothing else.
class ScreenAreaSink : public gsDsCaptureSink {
 public:
  bool OnCaptureFrame(TrastorSource*, HDC dc, int width, int height) override {
    CopyScreenArea(dc, width, height);
    return true;
  }
};

// The anchor: BitBlt of the screen's area into a DIB section, back to back.
inline void RunBareScreenCopy(benchmark::State& state, int width, int height) {
  tarvo_test::DibCanvas target(width, height);
  for (auto _ : state) {
    CopyScreenArea(target.dc(), width, height);
    GdiFlush();
  }
  state.SetItemsProcessed(state.iterations());
}

// A canvas named `name` with one pull source fed by ScreenAreaSink, ticking back to back; each
// iteration waits for the next frame at `counter` (a gsVideoFrameOutSink with WaitForNext()).
template <typename FrameCounter>
void RunScreenAreaCanvas(benchmark::State& state, const char* name, int width, int height,
                         FrameCounter& counter) {
  TrastorCanvas* canvas = Trastor_CreateCanvas(name);
  if (!canvas) {
    state.SkipWithError("no canvas");
    return;
  }
  ScreenAreaSink sink;
  canvas->SetBackground(0xFF808080);
  canvas->SetSize(width, height);
  canvas->SetFrameRate(10000.0f);  // Ticks back to back.
  TrastorSource* source = canvas->CreateSource(trastor::kSourcePull, "SOURCE_AS", 0);
  source->SetCaptureSink(&sink);
  source->SetPosition(0, 0);
  source->SetSize(width, height);
  canvas->SetFrameOutSink(&counter);
  canvas->SetOutputMode(trastor::kOutputFrames);
  canvas->Start();
  counter.WaitForNext();
  for (auto _ : state) {
    if (!counter.WaitForNext()) {
      state.SkipWithError("no frame");
      break;
    }
  }
  state.SetItemsProcessed(state.iterations());
  canvas->Stop();
  Trastor_DestroyCanvas(canvas);
}

}  // namespace tarvo_bench
