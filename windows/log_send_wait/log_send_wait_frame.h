#pragma once

// CLogSendWaitFrame: the small wait sign (an animated icon and "s.log.sending") that the main
// window shows under its own rectangle while the diagnostic report is being sent.
//
//   auto* wait = new CLogSendWaitFrame;  // owned by the main window, created once
//   wait->Create(main_window, L"LogSendWaitFrame", WS_POPUP, WS_EX_TOOLWINDOW);
//   wait->ShowWait(main_rect);           // when an upload starts
//   wait->StopWait();                    // when it ends
//
// The creator owns the object and deletes it after its window is gone. UI thread only.

#include "windows/common/skin_dialog.h"

class CLogSendWaitFrame : public CSkinDialog {
 public:
  CLogSendWaitFrame() = default;

  const wchar_t* GetWindowClassName() const override { return L"CLogSendWaitFrame"; }
  void Notify(DuiLib::TNotifyUI& msg) override;

  // Shows the window, without resizing or activating it, centred under `rc`: at
  // x = rc.left + width / 2 − client width / 2, y = rc.top + client height + 60; plays the
  // animation and repaints.
  void ShowWait(const RECT& rc);
  // Hides the window and stops the animation.
  void StopWait();

 protected:
  DuiLib::CDuiString GetSkinFile() override;

 private:
  DuiLib::CAnimationUI* Animation();
};
