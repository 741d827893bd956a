#pragma once

// Runs of the device test window as the main window's start-up makes them: the mask layer over
// an owner window, run modally, and the test window owned by the mask as its companion. The
// tests stand on the settings window's recording responder, page-event sink and owner.

#include <windows.h>

#include <functional>
#include <vector>

#include "windows/av_test/av_test_frame.h"
#include "windows/settings/tests/setting_test_support.h"

namespace av_test {

// What a script gets: the test window with its paint manager, and the mask layer with its.
struct Windows {
  CAVTestFrame* frame;
  HWND hwnd;
  DuiLib::CPaintManagerUI* pm;
  HWND mask;
  DuiLib::CPaintManagerUI* maskPm;
};

struct RunResult {
  UINT maskResult = 0xFFFF;
  bool timedOut = false;
  bool testWindowGone = false;  // the test window was gone when the mask's loop ended
};

// `script` runs inside the mask's modal loop once the test window is laid out and its camera
// list is in. When the mask is still open `timeout_ms` later it is closed.
RunResult RunAvTest(HWND ownerWindow, DevConsumerDelegate* owner,
                    const std::function<void(const Windows&)>& script, DWORD timeout_ms = 20000);

// Answers the current step with "yes_btn" (true) or "no_btn" and waits until the next step's
// device list is in (the results step has none).
void Answer(const Windows& w, bool yes);

// The mask's skip button is usable.
bool SkipEnabled(const Windows& w);

}  // namespace av_test
