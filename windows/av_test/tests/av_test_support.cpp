#include "windows/av_test/tests/av_test_support.h"

#include "windows/common/tests/dialog_test_support.h"
#include "windows/mask_layer/mask_layer_frame.h"

namespace av_test {

RunResult RunAvTest(HWND ownerWindow, DevConsumerDelegate* owner,
                    const std::function<void(const Windows&)>& script, DWORD timeout_ms) {
  RunResult run;
  // The client registers the shadow window class at start-up.
  static const bool shadows = DuiLib::CWndShadow::Initialize(GetModuleHandleW(nullptr));
  (void)shadows;
  auto* mask = new CMaskLayerFrame(true);
  const HWND maskHwnd = dialog_test::CreateLikeTheClient(mask, ownerWindow, L"CMaskLayerFrame");
  if (!maskHwnd) {
    delete mask;
    run.timedOut = true;
    return run;
  }
  auto* frame = new CAVTestFrame(maskHwnd, owner);
  const HWND test = dialog_test::CreateLikeTheClient(frame, maskHwnd, L"AvTestFrame");
  if (!test) delete frame;
  mask->SetCompanion(test);
  run.maskResult = dialog_test::RunModal(
      mask,
      [&](HWND) {
        if (!test) return;
        Windows w{frame, test, frame->GetPaintManager(), maskHwnd, mask->GetPaintManager()};
        dialog_test::LayOut(w.pm);
        auto* cameras = setting_test::Get<DuiLib::CComboUI>(w.pm, L"video_dev_list");
        setting_test::PumpUntil([&] { return cameras->GetCount() > 0; });
        setting_test::Pump(50);
        script(w);
      },
      &run.timedOut, timeout_ms);
  run.testWindowGone = !test || !IsWindow(test);
  if (test && IsWindow(test)) DestroyWindow(test);
  return run;
}

void Answer(const Windows& w, bool yes) {
  const int next = w.frame->GetStep() + 1;
  dialog_test::ClickOn(w.hwnd, w.pm, yes ? L"yes_btn" : L"no_btn");
  setting_test::PumpUntil([&] { return w.frame->GetStep() == next; });
  const wchar_t* list = next == CAVTestFrame::kMic       ? L"mic_dev_list"
                        : next == CAVTestFrame::kSpeaker ? L"speaker_dev_list"
                                                         : nullptr;
  if (list) {
    auto* combo = setting_test::Get<DuiLib::CComboUI>(w.pm, list);
    setting_test::PumpUntil([&] { return combo->GetCount() > 0; });
  }
  setting_test::Pump(50);
  dialog_test::LayOut(w.pm);  // the new page's controls get their places
}

bool SkipEnabled(const Windows& w) { return setting_test::Enabled(w.maskPm, L"skip_check_btn"); }

}  // namespace av_test
