#pragma once

// CVideoRenderWin: the child window of a CVideoRenderUI into which the canvas engine draws one
// named display canvas with one source fed by pushed frames (a placeholder picture until frames
// come). It floats the video tool windows over itself and lets the user pick a colour from the
// screen for the green-screen key.
//
// Threads: the window and its tools belong to the UI thread. PushFrame may come from any
// thread (the SDK's frame threads): the canvas and source pointers are guarded by one lock,
// held across each push and across every operation that changes or releases them. The engine
// draws into the window on its own thread and never calls back into this object, so waiting
// for it under that lock cannot deadlock.

#include <windows.h>

#include <memory>
#include <mutex>
#include <string>

#include "foundation/video_tools_delegate.h"
#include "platform/trastor/trastor.h"
#include "share/window/base_win_frame.h"

class CVideoToolsFrame;
class CPickToolsFrame;

class CVideoRenderWin : public CBaseWinFrame {
 public:
  // The colour held before any pick: pure green as a COLORREF.
  static constexpr COLORREF kInitialPick = 0x0000FF00;

  CVideoRenderWin(VideoToolsDelegate* owner, bool tools_enabled);
  // Stops, closes and destroys the canvas, then the tool windows and the window.
  ~CVideoRenderWin() override;

  // Sets up the display canvas `name` of `width` x `height` (another name replaces the current
  // canvas; the same name changes nothing; an empty name only releases it).
  void SetupVendraEngine(const std::string& name, int width, int height);
  // Binds the canvas to this window and starts it (on), or stops it (off).
  void AttachCanvas(bool on);
  // The size the canvas stretches its picture to in the window.
  void SetViewSize(int width, int height);
  // One frame (see video_frame_format.h); dropped for an unknown code, sides below 1, a buffer
  // shorter than the code needs, or while the canvas is not running.
  void PushFrame(int width, int height, int code, const unsigned char* data, int size);
  // Canvas and source become width x height, or height x width for 90 and 270 degrees.
  void SetRotation(int width, int height, int degrees);
  // Shows the picture file `path` until frames come again (the canvas is rebound).
  void ShowPlaceholder(const std::wstring& path);

  // Places the visible tool windows over this window (only while it is visible).
  void PlaceToolsFrame();
  // Offers (creating it on first use) or withdraws the pick tools window.
  void SetPickMode(bool enable);
  // While set, the next left click picks the screen colour under the pointer.
  void SetPickCursor(bool on) { m_bPicking = on; }
  void SetToolsState(bool mirror, bool flip);

  // Shows or hides the tool windows (the render window itself is left as it is).
  void ShowWindow(bool show) override;

  // The process-wide placeholder pictures beside the program.
  static std::wstring NoVideoPicturePath();
  static std::wstring DevBusyPicturePath();

  CVideoToolsFrame* GetVideoTools() const { return m_pVideoTools.get(); }
  CPickToolsFrame* GetPickTools() const { return m_pPickTools.get(); }

 protected:
  void OnPaint(HDC dc) override;
  LRESULT OnEraseBkgnd(UINT message, WPARAM wparam, LPARAM lparam, BOOL& handled) override;
  LRESULT OnSetCursor(UINT message, WPARAM wparam, LPARAM lparam, BOOL& handled) override;
  LRESULT OnMouseMove(UINT message, WPARAM wparam, LPARAM lparam, BOOL& handled) override;
  LRESULT OnMouseLeave(UINT message, WPARAM wparam, LPARAM lparam, BOOL& handled) override;
  LRESULT OnLButtonDown(UINT message, WPARAM wparam, LPARAM lparam, BOOL& handled) override;
  LRESULT OnLButtonUp(UINT message, WPARAM wparam, LPARAM lparam, BOOL& handled) override;
  LRESULT OnSize(UINT message, WPARAM wparam, LPARAM lparam, BOOL& handled) override;

 private:
  // With |m_lock| held.
  void ReleaseCanvas();
  void BindCanvas();
  void ShowVideoTools(bool show);
  void ShowPickTools(bool show);
  HCURSOR CurrentCursor() const;

  std::mutex m_lock;  // Guards the canvas, the source and the last frame size.
  TrastorCanvas* m_pCanvas = nullptr;
  TrastorSource* m_pSource = nullptr;
  std::string m_canvasName;
  int m_lastWidth = 640;
  int m_lastHeight = 360;

  bool m_bTracking = false;
  bool m_bPicking = false;
  bool m_bPickToolsEnabled = false;
  bool m_bToolsEnabled;
  VideoToolsDelegate* m_pOwner;  // Not owned.
  std::unique_ptr<CVideoToolsFrame> m_pVideoTools;
  std::unique_ptr<CPickToolsFrame> m_pPickTools;
  HCURSOR m_hPickCursor;  // Loaded from a file: destroyed with the window object.
  COLORREF m_pickedColour = kInitialPick;
};
