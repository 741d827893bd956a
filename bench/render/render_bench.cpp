// 1280x720 I420 frames pushed into the display canvas of a 1280x720 render window, one tick
// per frame (ticks back to back), against a bare loop of libyuv I420ToARGB + StretchDIBits
// into the same window. Needs a display (run under Xvfb).

#include <windows.h>

#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "libyuv.h"
#include "platform/trastor/trastor_testing.h"
#include "share/video/video_render_win.h"
#include "tests/support/window_pixels.h"

namespace {

constexpr int kWidth = 1280;
constexpr int kHeight = 720;
constexpr int kI420Length = kWidth * kHeight * 3 / 2;

// Two different frames (a moving gradient), so that no frame repeats the last.
std::vector<std::uint8_t> MakeFrame(int shift) {
  std::vector<std::uint8_t> frame(kI420Length);
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x)
      frame[y * kWidth + x] = static_cast<std::uint8_t>(x + y + shift);
  }
  for (int i = kWidth * kHeight; i < kI420Length; ++i)
    frame[i] = static_cast<std::uint8_t>(i + shift);
  return frame;
}

void PumpMessages() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
}

void BM_RenderWindowCanvas(benchmark::State& state) {
  CVideoRenderWin render(nullptr, false);
  HWND window = render.Create(nullptr, 0, 0, kWidth, kHeight, L"VideoRender", L"render bench",
                              WS_POPUP | WS_VISIBLE, 0);
  render.SetupVendraEngine("PREVIEW_CANVAS", kWidth, kHeight);
  render.AttachCanvas(true);
  TrastorCanvas* canvas = Trastor_GetCanvas("PREVIEW_CANVAS");
  if (!window || !canvas) {
    state.SkipWithError("no render window or canvas");
    return;
  }
  const std::vector<std::uint8_t> frames[2] = {MakeFrame(0), MakeFrame(60)};
  PumpMessages();
  int n = 0;
  for (auto _ : state) {
    const std::vector<std::uint8_t>& frame = frames[n++ & 1];
    render.PushFrame(kWidth, kHeight, 12, frame.data(), kI420Length);
    if (!TrastorTest_RunTick(canvas, 5000)) {
      state.SkipWithError("tick failed");
      break;
    }
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_RenderWindowCanvas)->UseRealTime()->MinTime(2.0);

void BM_BareI420ToWindow(benchmark::State& state) {
  WNDCLASSW window_class{};
  window_class.lpfnWndProc = DefWindowProcW;
  window_class.hInstance = GetModuleHandleW(nullptr);
  window_class.lpszClassName = L"RenderBenchBare";
  RegisterClassW(&window_class);
  HWND window = CreateWindowExW(0, window_class.lpszClassName, L"bare", WS_POPUP | WS_VISIBLE, 0, 0,
                                kWidth, kHeight, nullptr, nullptr, window_class.hInstance, nullptr);
  const std::vector<std::uint8_t> frames[2] = {MakeFrame(0), MakeFrame(60)};
  std::vector<std::uint8_t> argb(kWidth * kHeight * 4);
  const BITMAPINFO info = tarvo_test::TopDownInfo32(kWidth, kHeight);
  PumpMessages();
  int n = 0;
  for (auto _ : state) {
    const std::uint8_t* y = frames[n++ & 1].data();
    const std::uint8_t* u = y + kWidth * kHeight;
    const std::uint8_t* v = u + kWidth * kHeight / 4;
    libyuv::I420ToARGB(y, kWidth, u, kWidth / 2, v, kWidth / 2, argb.data(), kWidth * 4, kWidth,
                       kHeight);
    HDC dc = GetDC(window);
    SetStretchBltMode(dc, COLORONCOLOR);
    StretchDIBits(dc, 0, 0, kWidth, kHeight, 0, 0, kWidth, kHeight, argb.data(), &info,
                  DIB_RGB_COLORS, SRCCOPY);
    ReleaseDC(window, dc);
  }
  state.SetItemsProcessed(state.iterations());
  DestroyWindow(window);
}
BENCHMARK(BM_BareI420ToWindow)->UseRealTime()->MinTime(2.0);

}  // namespace
