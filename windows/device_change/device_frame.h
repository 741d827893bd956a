#pragma once

// CDeviceFrame: the prompt shown when a device has been unplugged. It names the device, says
// whether the local microphone or video was switched off, and offers to open the settings.
//
//   auto* prompt = new CDeviceFrame(true, false, name_utf8);
//   prompt->Create(main_window, L"CDeviceFrame", 0x96C80000, 0);
//   if (prompt->ShowModal() == 1) ...  // open the settings; the prompt has deleted itself
//
// Modal result: 1 for "btn_ok", 0 for any other way out. UI thread only.

#include <string>

#include "windows/common/skin_dialog.h"

class CDeviceFrame : public CSkinDialog {
 public:
  // `inUse`: the device was the one in use and has been switched off; `isMicrophone`: it was a
  // microphone (else a camera); `deviceName`: UTF-8.
  CDeviceFrame(bool inUse, bool isMicrophone, const std::string& deviceName);

  const wchar_t* GetWindowClassName() const override { return L"CDeviceFrame"; }
  void InitWindow() override;
  void Notify(DuiLib::TNotifyUI& msg) override;
  // Deletes the object once its window is gone.
  void OnFinalMessage(HWND hWnd) override;

  // The text id of the prompt for a device in use or not, microphone or camera.
  static const wchar_t* PromptTextId(bool inUse, bool isMicrophone);
  // `text` with its first "%s" replaced by `name` (nothing else in either is interpreted).
  static std::wstring FillName(const std::wstring& text, const std::wstring& name);

 protected:
  DuiLib::CDuiString GetSkinFile() override;

 private:
  bool inUse;
  bool isMicrophone;
  std::string deviceName;  // UTF-8
};
