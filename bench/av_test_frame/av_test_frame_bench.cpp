// One "yes_btn" click in the device test window, from the click to the microphone step painted
// with its list filled (a recording responder answers on the bus as the SDK layer would), and
// one tab switch of the UI library's demonstration window (an option click to the new page
// painted). BM_AnswerAgainstTabSwitch times both in turn in every iteration and reports
//   ratio  answer time / tab switch time.

#include <benchmark/benchmark.h>

#include <windows.h>

#include "foundation/app_config.h"
#include "platform/duilib/UIlib.h"
#include "platform/duilib/tests/test_support.h"
#include "shell/login/skin_choice.h"
#include "windows/av_test/av_test_frame.h"
#include "windows/settings/tests/setting_test_support.h"

using namespace DuiLib;

namespace {

bool UseSkin() {
  static const bool ok = [] {
    SetSkinIndex(kSkinBlue);
    CShadowBaseFrame::SetSkinIndexSource(&GetSkinIndex);
    CWndShadow::Initialize(GetModuleHandleW(nullptr));
    setting_test::StartGdiplusOnce();
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

void Drain() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

void ClickAt(HWND hwnd, CPaintManagerUI* pm, const wchar_t* name) {
  const RECT rc = pm->FindControl(name)->GetPos();
  duilib_test::Click(hwnd, (rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2);
}

double Seconds(const LARGE_INTEGER& from, const LARGE_INTEGER& to) {
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  return static_cast<double>(to.QuadPart - from.QuadPart) / frequency.QuadPart;
}

setting_test::TestOwner g_owner;

// A device test window on its video step, laid out, its camera list in.
CAVTestFrame* OpenTestWindow() {
  auto* frame = new CAVTestFrame(nullptr, &g_owner);
  frame->Create(Owner(), L"AvTestFrame", 0x96C80000, 0);
  CPaintManagerUI* pm = frame->GetPaintManager();
  pm->NeedUpdate();
  pm->UpdateLayout();
  UpdateWindow(frame->GetHWND());
  Drain();
  return frame;
}

// The click on "yes_btn" until the microphone step is painted with its list.
double Answer(CAVTestFrame* frame) {
  const HWND hwnd = frame->GetHWND();
  CPaintManagerUI* pm = frame->GetPaintManager();
  auto* mics = static_cast<CComboUI*>(pm->FindControl(L"mic_dev_list"));
  LARGE_INTEGER start, painted;
  QueryPerformanceCounter(&start);
  ClickAt(hwnd, pm, L"yes_btn");
  while (mics->GetCount() == 0) {
    MSG msg;
    if (!PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) break;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  UpdateWindow(hwnd);
  QueryPerformanceCounter(&painted);
  return Seconds(start, painted);
}

// One option click of the demonstration window until the new page is painted.
double TabSwitch(duilib_test::DemoFrame* demo, bool toDevices) {
  const HWND hwnd = demo->GetHWND();
  LARGE_INTEGER start, painted;
  QueryPerformanceCounter(&start);
  ClickAt(hwnd, &demo->Manager(), toDevices ? L"opt_devices" : L"opt_general");
  UpdateWindow(hwnd);
  QueryPerformanceCounter(&painted);
  return Seconds(start, painted);
}

void BM_AnswerAgainstTabSwitch(benchmark::State& state) {
  if (!UseSkin()) return state.SkipWithError("skin resource missing");
  setting_test::RecordingResponder responder;
  responder.cameras = {{"cam1", "Integrated Camera", 0, 0}};
  responder.mics = {{"mic1", "Microphone (USB Audio)", 0, 0}, {"mic2", "Headset", 0, 0}};
  responder.speakers = {{"spk1", "Speakers", 0, 0}};
  StAppConfig* config = GetAppConfig();
  config->camera_dev_id = "cam1";
  config->SetMicDevice("mic1", "Microphone (USB Audio)");
  auto* demo = new duilib_test::DemoFrame(L"blue");
  demo->CreateDemo(Owner());
  demo->Manager().NeedUpdate();
  demo->Manager().UpdateLayout();
  UpdateWindow(demo->GetHWND());
  Drain();
  double answers = 0;
  double switches = 0;
  bool toDevices = true;
  for (auto _ : state) {
    state.PauseTiming();
    CAVTestFrame* frame = OpenTestWindow();
    const HWND hwnd = frame->GetHWND();
    state.ResumeTiming();
    const double a = Answer(frame);
    const double b = TabSwitch(demo, toDevices);
    toDevices = !toDevices;
    answers += a;
    switches += b;
    state.SetIterationTime(a + b);
    state.PauseTiming();
    if (frame->GetStep() != CAVTestFrame::kMic) state.SkipWithError("the answer did not advance");
    DestroyWindow(hwnd);
    Drain();
    responder.ClearCalls();
    state.ResumeTiming();
  }
  DestroyWindow(demo->GetHWND());
  Drain();
  if (switches > 0) state.counters["ratio"] = answers / switches;
  state.counters["answer_ms"] = answers * 1000 / static_cast<double>(state.iterations());
  state.counters["tab_switch_ms"] = switches * 1000 / static_cast<double>(state.iterations());
}
BENCHMARK(BM_AnswerAgainstTabSwitch)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace
