#pragma once

// CAddPushStreamFrame: the dialog in which the user enters an extra push destination of the
// broadcast: a platform name of at most 20 characters without punctuation, an address that
// begins with "rtmp://" or "RTMP://", and one of three resolutions (0 1920 × 1080,
// 1 1280 × 720, 2 640 × 360). The settings window opens it empty (adding) or filled with a
// destination (editing).
//
//   std::wstring name, address;  // empty: adding
//   int resolution = 1;
//   auto* dialog = new CAddPushStreamFrame(&name, &address, &resolution);
//   dialog->Create(settings_window, L"CAddPushStreamFrame", 0x96C80000, 0);
//   if (dialog->ShowModal() == 1) ...  // the three values were written back
//
// The dialog deletes itself once its window is gone. Nothing is written back unless the dialog
// ends with OK and valid values (modal result 1; 0 after cancel or close). The resolutions
// above the live's own (the settings record's live resolution) cannot be chosen.
// UI thread only.

#include <string>

#include "windows/common/skin_dialog.h"

class CAddPushStreamFrame : public CSkinDialog {
 public:
  static constexpr int kMaxNameLength = 20;

  // The three pointers are read at "windowinit" and written after a valid OK; they must stay
  // valid while the dialog is open.
  CAddPushStreamFrame(std::wstring* platformName, std::wstring* pushAddress, int* resolution);

  const wchar_t* GetWindowClassName() const override { return L"CAddPushStreamFrame"; }
  void InitWindow() override;
  void Notify(DuiLib::TNotifyUI& msg) override;
  // Deletes the object once its window is gone.
  void OnFinalMessage(HWND hWnd) override;

  // Why a platform name is refused: nullptr when it is taken, else the text id to show
  // ("s.platname.tips" when it is empty or blank, "s.platname2.tips" when a character below
  // 128 is punctuation; every other character is allowed).
  static const wchar_t* PlatformNameProblem(const std::wstring& name);
  // True when the address begins with "rtmp://" or "RTMP://" (no other mix of cases).
  static bool IsPushAddress(const std::wstring& address);
  // The first resolution the live allows: 0 for "1080", 1 for "720", else 2.
  static int FirstAllowedResolution(const std::string& liveResolution);

 protected:
  DuiLib::CDuiString GetSkinFile() override;

 private:
  void OnWindowInit();
  void OnClickButton(DuiLib::TNotifyUI& msg);
  void ShowNameLength();
  void ShowNameFocus(bool focused);

  std::wstring* platformName;
  std::wstring* pushAddress;
  int* resolution;
};
