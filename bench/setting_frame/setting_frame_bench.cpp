// Creation to first paint of the settings window (the function page, as a user opens it) and of
// the UI library's demonstration window ("demo_frame.xml"), each made as the client makes its
// dialogs and painted once through WM_PAINT. BM_SettingAgainstDemo times both in turn in every
// iteration and reports:
//   ratio              settings window time / demonstration window time
//   ratio_per_control  that ratio divided by the ratio of their control counts
// (goal: ratio_per_control at most 1.5).

#include <benchmark/benchmark.h>

#include <windows.h>

#include <string>

#include "foundation/dev_consumer.h"
#include "platform/duilib/UIlib.h"
#include "shell/login/skin_choice.h"
#include "windows/settings/setting_frame.h"

using namespace DuiLib;

namespace {

class BenchOwner : public DevConsumerDelegate {
 public:
  void OnVideoDevResult(const std::string&, bool) override {}
  void OnPreviewFrame(const unsigned char*, int, int, int) override {}
  bool IsEffectsIdle() override { return false; }
  bool IsUsingVideoDev(const std::string&) override { return false; }
  int GetCaptureWidth() override { return 1280; }
  int GetCaptureHeight() override { return 720; }
};

class DemoWindow : public WindowImplBase {
 public:
  const wchar_t* GetWindowClassName() const override { return L"BenchDemoWindow"; }
  void OnFinalMessage(HWND hWnd) override {
    WindowImplBase::OnFinalMessage(hWnd);
    delete this;
  }

 protected:
  CDuiString GetSkinFolder() override { return L""; }
  CDuiString GetSkinFile() override { return L"xml/blue/demo_frame.xml"; }
  UILIB_RESOURCETYPE GetResourceType() const override { return UILIB_ZIPRESOURCE; }
  UINT GetResourceID() const override { return 130; }
};

bool UseSkin() {
  static const bool ok = [] {
    SetSkinIndex(kSkinBlue);
    CShadowBaseFrame::SetSkinIndexSource(&GetSkinIndex);
    CWndShadow::Initialize(GetModuleHandleW(nullptr));
    return CMutiLanSupport::Instance()->LoadFromResFile(130, L"xml\\language.xml", true, L"zh_CN",
                                                        L"xml");
  }();
  return ok;
}

HWND Owner() {
  static HWND owner = CreateWindowExW(0, L"STATIC", L"owner", WS_POPUP | WS_VISIBLE, 0, 0, 200,
                                      100, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
  return owner;
}

int CountControls(CControlUI* control) {
  if (!control) return 0;
  int count = 1;
  if (auto* container = static_cast<CContainerUI*>(control->GetInterface(L"Container"))) {
    for (int i = 0; i < container->GetCount(); ++i) count += CountControls(container->GetItemAt(i));
  }
  return count;
}

void Drain() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

// Makes the window, paints it once, counts its controls and closes it; returns the seconds
// from creation to the end of the first paint.
template <class Make>
double FirstPaint(Make make, int* controls) {
  LARGE_INTEGER frequency, start, painted;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&start);
  WindowImplBase* window = make();
  HWND hwnd = window->GetHWND();
  UpdateWindow(hwnd);
  QueryPerformanceCounter(&painted);
  if (controls) *controls = CountControls(window->GetPaintManager()->GetRoot());
  DestroyWindow(hwnd);
  Drain();
  return static_cast<double>(painted.QuadPart - start.QuadPart) / frequency.QuadPart;
}

BenchOwner g_owner;

WindowImplBase* MakeSettings() {
  auto* frame = new CSettingFrame(&g_owner, 1, 0);
  frame->Create(Owner(), L"SettingFrame", 0x96C80000, 0);
  return frame;
}

WindowImplBase* MakeDemo() {
  auto* demo = new DemoWindow;
  demo->Create(Owner(), L"DemoFrame", 0x96C80000, 0);
  return demo;
}

void BM_SettingFrameFirstPaint(benchmark::State& state) {
  if (!UseSkin()) return state.SkipWithError("skin resource missing");
  for (auto _ : state) {
    state.SetIterationTime(FirstPaint(MakeSettings, nullptr));
  }
}
BENCHMARK(BM_SettingFrameFirstPaint)->UseManualTime()->Unit(benchmark::kMillisecond);

void BM_DemoFrameFirstPaint(benchmark::State& state) {
  if (!UseSkin()) return state.SkipWithError("skin resource missing");
  for (auto _ : state) {
    state.SetIterationTime(FirstPaint(MakeDemo, nullptr));
  }
}
BENCHMARK(BM_DemoFrameFirstPaint)->UseManualTime()->Unit(benchmark::kMillisecond);

void BM_SettingAgainstDemo(benchmark::State& state) {
  if (!UseSkin()) return state.SkipWithError("skin resource missing");
  double settings = 0;
  double demo = 0;
  int settings_controls = 0;
  int demo_controls = 0;
  for (auto _ : state) {
    const double a = FirstPaint(MakeSettings, &settings_controls);
    const double b = FirstPaint(MakeDemo, &demo_controls);
    settings += a;
    demo += b;
    state.SetIterationTime(a + b);
  }
  if (demo <= 0 || demo_controls == 0 || settings_controls == 0) return;
  const double ratio = settings / demo;
  state.counters["settings_controls"] = settings_controls;
  state.counters["demo_controls"] = demo_controls;
  state.counters["ratio"] = ratio;
  state.counters["ratio_per_control"] =
      ratio / (static_cast<double>(settings_controls) / demo_controls);
}
BENCHMARK(BM_SettingAgainstDemo)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace
