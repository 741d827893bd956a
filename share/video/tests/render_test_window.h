#pragma once

// The window the render control tests use: a layout with a fixed-size "VideoRender" control on
// the first page of a tab layout and a "VoiceProgressDisplay" meter, both made by the window's
// control factory as the settings windows make them. It records notifications and the tools'
// calls on its VideoToolsDelegate.

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "foundation/video_tools_delegate.h"
#include "platform/duilib/UIlib.h"
#include "share/video/video_render_ui.h"
#include "share/video/voice_progress_display_ui.h"

namespace video_test {

constexpr int kVideoWidth = 640;
constexpr int kVideoHeight = 360;
constexpr int kVideoLeft = 10;  // The control's place in the window's client area.
constexpr int kVideoTop = 10;

// What the delegate received, in order.
struct ToolCall {
  std::string operation;  // "rotate", "flip", "mirror", "pick", "colour"
  std::uint32_t value;
};

class RecordingDelegate : public VideoToolsDelegate {
 public:
  void OnVideo_Rotate(bool clockwise) override { calls.push_back({"rotate", clockwise}); }
  void OnVideo_Flip(bool flipped) override { calls.push_back({"flip", flipped}); }
  void OnVideo_Mirror(bool mirrored) override { calls.push_back({"mirror", mirrored}); }
  void OnVideo_StartPick(bool on) override { calls.push_back({"pick", on}); }
  void OnVideo_PickColor(std::uint32_t colorref) override { calls.push_back({"colour", colorref}); }
  std::vector<ToolCall> calls;
};

class RenderTestWindow : public DuiLib::WindowImplBase, public RecordingDelegate {
 public:
  const wchar_t* GetWindowClassName() const override { return L"RenderTestWindow"; }
  DuiLib::CControlUI* CreateControl(const wchar_t* cls) override;
  void Notify(DuiLib::TNotifyUI& msg) override;

  // Creates the window topmost at (x, y) of the screen and pumps until it is laid out.
  HWND CreateAt(int x, int y);
  CVideoRenderUI* Video() const { return video_; }
  CVoiceProgressDisplayUI* Meter() const { return meter_; }
  DuiLib::CTabLayoutUI* Tabs();
  HWND RenderWindow() const;
  int RenderCreateCount() const { return render_create_; }

 protected:
  DuiLib::CDuiString GetSkinFolder() override { return L""; }
  DuiLib::CDuiString GetSkinFile() override;
  DuiLib::UILIB_RESOURCETYPE GetResourceType() const override { return DuiLib::UILIB_ZIPRESOURCE; }
  UINT GetResourceID() const override { return 130; }

 private:
  CVideoRenderUI* video_ = nullptr;
  CVoiceProgressDisplayUI* meter_ = nullptr;
  int render_create_ = 0;
};

// Starts GDI+ once for the test program, as the client does at start-up.
void StartGdiplus();

// Saves what the screen shows inside `rect` as a PNG in the test data folder.
bool SaveScreenPng(const RECT& rect, const std::wstring& name);

}  // namespace video_test
