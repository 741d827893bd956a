#pragma once

// The two small tool windows a camera preview floats over its video: CVideoToolsFrame
// (rotate both ways, flip, mirror) and CPickToolsFrame (a hint, the colour-pick button and the
// key-colour reset). Neither acts on the video: each forwards the user's action to its owner's
// VideoToolsDelegate; a null owner receives nothing. UI thread only.

#include <windows.h>

#include "foundation/video_tools_delegate.h"
#include "platform/duilib/UIlib.h"

// What both tool windows share: the owner, the skin archive and their placement.
class CFloatingToolsFrame : public DuiLib::WindowImplBase {
 public:
  // Moves the window, without resizing, so that it is centred on `render` (screen
  // coordinates) with its top at render.bottom - own client height - `lift`, and shows it
  // without activating it.
  void PlaceOver(const RECT& render, int lift);
  void Hide();

 protected:
  explicit CFloatingToolsFrame(VideoToolsDelegate* owner) : m_pOwner(owner) {}
  DuiLib::CDuiString GetSkinFolder() override { return L""; }
  DuiLib::UILIB_RESOURCETYPE GetResourceType() const override;
  UINT GetResourceID() const override;

  VideoToolsDelegate* m_pOwner;  // Not owned.
};

class CVideoToolsFrame : public CFloatingToolsFrame {
 public:
  // The tools sit this many pixels above the bottom of the video.
  static constexpr int kLift = 15;

  explicit CVideoToolsFrame(VideoToolsDelegate* owner) : CFloatingToolsFrame(owner) {}
  const wchar_t* GetWindowClassName() const override { return L"CVideoToolsFrame"; }
  void Notify(DuiLib::TNotifyUI& msg) override;

  // Sets the check boxes without notifying anyone.
  void SetToolsState(bool mirror, bool flip);
  void Place(const RECT& render) { PlaceOver(render, kLift); }

 protected:
  DuiLib::CDuiString GetSkinFile() override;
};

class CPickToolsFrame : public CFloatingToolsFrame {
 public:
  static constexpr int kLift = 72;
  // What "reset_btn" reports: pure green as a COLORREF.
  static constexpr uint32_t kResetColour = 0x0000FF00;

  explicit CPickToolsFrame(VideoToolsDelegate* owner) : CFloatingToolsFrame(owner) {}
  const wchar_t* GetWindowClassName() const override { return L"CPickToolsFrame"; }
  void InitWindow() override;
  void Notify(DuiLib::TNotifyUI& msg) override;
  void Place(const RECT& render) { PlaceOver(render, kLift); }

 protected:
  DuiLib::CDuiString GetSkinFile() override;
};
