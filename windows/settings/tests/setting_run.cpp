// Runs of the settings window as the main window makes them.

#include "windows/settings/tests/setting_test_support.h"

namespace setting_test {

RunResult RunSettings(HWND ownerWindow, DevConsumerDelegate* owner, int role, int page,
                const std::function<void(CSettingFrame*, HWND, DuiLib::CPaintManagerUI*)>& script,
                DWORD timeout_ms) {
  RunResult run;
  // The client registers the shadow window class at start-up.
  static const bool shadows = DuiLib::CWndShadow::Initialize(GetModuleHandleW(nullptr));
  (void)shadows;
  auto* frame = new CSettingFrame(owner, role, page);
  if (!dialog_test::CreateLikeTheClient(frame, ownerWindow, L"SettingFrame")) {
    delete frame;
    run.timed_out = true;
    return run;
  }
  run.result = dialog_test::RunModal(
      frame, [&](HWND hwnd) { script(frame, hwnd, frame->GetPaintManager()); }, &run.timed_out,
      timeout_ms);
  return run;
}

}  // namespace setting_test
