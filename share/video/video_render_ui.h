#pragma once

// CVideoRenderUI: a layout control ("VideoRender") that shows live video. It owns a child
// window, CVideoRenderWin, made at its first layout, into which the canvas engine draws one
// named canvas fed with pushed frames; over the video it can float the video tools and the
// colour-pick tools, which report to the owner's VideoToolsDelegate.
//
// Life: the first SetPos creates the render window; the first layout pass that gives the
// control its fixed size sends "rendercreate" (once); the owner then sets up and attaches its
// canvas and pushes frames. Every operation does nothing while there is no render window.
//
// Threads: UI thread, except PushFrame, which may come from any thread until the owner leaves
// the frame sources (before it destroys the control).

#include <atomic>
#include <memory>
#include <string>

#include "foundation/video_tools_delegate.h"
#include "platform/duilib/UIlib.h"

class CVideoRenderWin;

class CVideoRenderUI : public DuiLib::CControlUI {
 public:
  // `owner` (may be null) receives the tools' actions; `tools_enabled` floats the video tools
  // over the video; `mode` is kept for the owner and not used.
  CVideoRenderUI(VideoToolsDelegate* owner, bool tools_enabled, int mode = 0);
  ~CVideoRenderUI() override;

  const wchar_t* GetClass() const override { return L"VideoRenderUI"; }
  void* GetInterface(const wchar_t* name) override;

  void SetPos(RECT rc, bool bNeedInvalidate = true) override;
  // Besides the control, show or hide the render window (with the control's visibility) and
  // its tools (with the tools-shown flag).
  void SetVisible(bool visible = true) override;
  void SetInternVisible(bool visible = true) override;

  void ShowTools(bool show);
  // The display canvas `name` of `width` x `height` (needs a paint manager).
  void SetupCanvas(const char* name, int width, int height);
  void AttachCanvas(bool on);
  // `format` is a frame code of video_frame_format.h (12: I420).
  void PushFrame(int width, int height, int format, const unsigned char* data, int size);
  void SetRotation(int width, int height, int degrees);
  // Moves the visible tools along with the control (the position comes from the window).
  void PlaceToolsFrame(int x = 0, int y = 0);
  // true shows the busy picture "res\devbusy.png" until frames come; false does nothing.
  void ShowDevBusy(bool show = true);
  // true shows the skin's no-video picture until frames come; false does nothing.
  void ShowNoVideo(bool show = true);
  void SetPickMode(bool enable, bool unused = false);
  void SetPickCursor(bool on);
  void SetToolsState(bool mirror, bool flip);

  CVideoRenderWin* GetRenderWindow() const { return m_pRenderWin.get(); }
  int GetMode() const { return m_nMode; }

 private:
  void SyncRenderVisibility();

  VideoToolsDelegate* m_pOwner;
  std::unique_ptr<CVideoRenderWin> m_pRenderWin;
  // The render window for PushFrame, which other threads call.
  std::atomic<CVideoRenderWin*> m_pPushTarget{nullptr};
  bool m_bToolsEnabled;
  bool m_bCreatedSent = false;
  bool m_bToolsShown = false;
  int m_nMode;
};
