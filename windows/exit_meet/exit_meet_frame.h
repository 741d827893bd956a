#pragma once

// CExitMeetFrame: the confirmation asked before the client closes. The host page tells the host
// of a live that closing may end it and lets them end it or only leave; the update page warns
// that an update closes the client.
//
//   auto* dialog = new CExitMeetFrame(false);
//   dialog->Create(owner, L"ExitMeetFrame", 0x96C80000, 0);
//   UINT result = dialog->ShowModal();  // the dialog has deleted itself when this returns
//
// Modal result: 0 cancelled (or the host chose neither option), 1 end the live, 2 leave only
// or go on with the update. UI thread only.

#include "windows/common/skin_dialog.h"

class CExitMeetFrame : public CSkinDialog {
 public:
  enum Result : UINT { kCancel = 0, kEndLive = 1, kLeaveOrUpdate = 2 };

  // `isHost`: true shows the host page, false the update page.
  explicit CExitMeetFrame(bool isHost);

  const wchar_t* GetWindowClassName() const override { return L"CExitMeetFrame"; }
  void InitWindow() override;
  void Notify(DuiLib::TNotifyUI& msg) override;
  // Deletes the object once its window is gone.
  void OnFinalMessage(HWND hWnd) override;

 protected:
  DuiLib::CDuiString GetSkinFile() override;

 private:
  UINT ChosenResult();

  bool isHost;
};
