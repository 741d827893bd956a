// One "valuechanged" of the beauty settings window's overall slider, as the UI library delivers
// it, up to the receiver's copy of the beauty block (six sliders and labels set, the working copy
// stored into the settings record, the bus call), against one plain bus call carrying a beauty
// block to the same receiver. BM_OverallSliderAgainstBusCall times both in turn in every
// iteration and reports:
//   ratio   slider move time / plain bus call time

#include <benchmark/benchmark.h>

#include <windows.h>

#include <chrono>
#include <string>

#include "foundation/beauty_record.h"
#include "foundation/bus.h"
#include "foundation/bus_topics.h"
#include "foundation/dev_consumer.h"
#include "foundation/hub.h"
#include "platform/duilib/UIlib.h"
#include "shell/login/skin_choice.h"
#include "windows/beauty/beauty_setting_frame.h"

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

// What the SDK layer does with the block: copies it during the call.
class Receiver {
 public:
  Receiver() {
    CxBus::Listen(subscriptions_, GetMessageBus(), kTopicSetBeautyDev, &Receiver::OnBeauty, this);
  }
  ~Receiver() { subscriptions_.RemoveAll(); }
  int calls = 0;
  st_beauty last;

 private:
  void OnBeauty(const std::string&, void* beauty, bool) {
    ++calls;
    if (beauty) last = *static_cast<const st_beauty*>(beauty);
  }
  CxSubscriptionList subscriptions_;
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

void PumpFor(int ms) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  MSG msg;
  while (std::chrono::steady_clock::now() < end) {
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    Sleep(1);
  }
}

double Seconds(LARGE_INTEGER from, LARGE_INTEGER to) {
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  return static_cast<double>(to.QuadPart - from.QuadPart) / frequency.QuadPart;
}

void BM_OverallSliderAgainstBusCall(benchmark::State& state) {
  if (!UseSkin()) return state.SkipWithError("skin resource missing");
  HWND owner = CreateWindowExW(0, L"STATIC", L"owner", WS_POPUP | WS_VISIBLE, 0, 0, 200, 100,
                               nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
  Receiver receiver;
  BenchOwner consumerOwner;
  auto* frame = new CBeautySettingFrame(&consumerOwner);
  frame->Create(owner, L"BeautySettingFrame", 0x96C80000, 0);
  PumpFor(200);  // "windowinit" and the first load
  auto* slider =
      static_cast<CSliderUI*>(frame->GetPaintManager()->FindControl(L"comprehensive_level"));
  if (!slider) {
    DestroyWindow(frame->GetHWND());
    DestroyWindow(owner);
    return state.SkipWithError("no overall slider");
  }
  st_beauty block;
  const std::string camera = "bench-camera";
  double sliderTime = 0;
  double busTime = 0;
  int value = 0;
  const int before = receiver.calls;
  for (auto _ : state) {
    value = (value + 7) % 101;
    LARGE_INTEGER t0, t1, t2;
    QueryPerformanceCounter(&t0);
    slider->SetValue(value);
    TNotifyUI msg;
    msg.sType = L"valuechanged";
    msg.pSender = slider;
    frame->Notify(msg);
    QueryPerformanceCounter(&t1);
    block.comprehensive = value;
    CxBus::Call(GetMessageBus(), kTopicSetBeautyDev, camera, &block, true);
    QueryPerformanceCounter(&t2);
    sliderTime += Seconds(t0, t1);
    busTime += Seconds(t1, t2);
    state.SetIterationTime(Seconds(t0, t2));
  }
  if (receiver.calls - before != 2 * static_cast<int>(state.iterations())) {
    state.SkipWithError("a publication went missing");
  } else if (busTime > 0) {
    state.counters["slider_us"] = sliderTime * 1e6 / state.iterations();
    state.counters["bus_us"] = busTime * 1e6 / state.iterations();
    state.counters["ratio"] = sliderTime / busTime;
  }
  DestroyWindow(frame->GetHWND());
  DestroyWindow(owner);
  PumpFor(50);
}
BENCHMARK(BM_OverallSliderAgainstBusCall)->UseManualTime()->Unit(benchmark::kMicrosecond);

}  // namespace
