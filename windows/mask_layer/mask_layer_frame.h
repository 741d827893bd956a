#pragma once

// CMaskLayerFrame: the translucent layer over the main window while the device test window is
// shown in front of it before the user enters a live room. It carries the "skip detection"
// button, which closes the device test window (its companion) and then the layer.
//
//   auto* layer = new CMaskLayerFrame(true);
//   layer->Create(main_window, L"CMaskLayerFrame", 0x96C80000, 0);
//   ... create the device test window owned by the layer ...
//   layer->SetCompanion(test_window);
//   layer->ShowModal();  // the layer has deleted itself when this returns
//
// The companion stays in front of the layer: each time the layer is shown or activated it
// puts the companion back on top (a layer raised by a click must not bury the window it hosts).
//
// Modal result: 1 after the skip button. The device test window enables or disables the skip
// button by posting kSkipButtonMessage (wParam 1 enables, anything else disables).
// UI thread only.

#include "windows/common/skin_dialog.h"

class CMaskLayerFrame : public CSkinDialog {
 public:
  static constexpr UINT kSkipButtonMessage = 3352;
  // Posted to the layer once it is shown or activated: the companion goes back on top of it.
  static constexpr UINT kRaiseCompanionMessage = WM_APP + 0x1D1;
  // One-shot, after the layer was shown: raises the companion once the layer is on the display.
  static constexpr UINT_PTR kRaiseCompanionTimer = 0x1D1;
  static constexpr UINT kRaiseCompanionDelayMs = 300;

  explicit CMaskLayerFrame(bool showSkipButton);

  // The window the layer hosts (the device test window); null for none.
  void SetCompanion(HWND companion) { companionWindow = companion; }
  HWND GetCompanion() const { return companionWindow; }

  const wchar_t* GetWindowClassName() const override { return L"CMaskLayerFrame"; }
  // Covers the owner's window rectangle.
  void InitWindow() override;
  void Notify(DuiLib::TNotifyUI& msg) override;
  // Deletes the object once its window is gone.
  void OnFinalMessage(HWND hWnd) override;

 protected:
  DuiLib::CDuiString GetSkinFile() override;
  LRESULT HandleCustomMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled) override;

 private:
  void RaiseCompanion();

  bool showSkipButton;
  HWND companionWindow = nullptr;
};
