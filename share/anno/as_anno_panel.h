#pragma once

// CAsAnnoPanel: the annotation panel, a topmost layered window over all monitors on which the
// presenter draws with the annotation state's tool (see anno_state.h).
//
// The panel draws into a 32-bit premultiplied surface and hands it to the window with
// UpdateLayeredWindow (per-pixel alpha). With no tool (shape 0) the surface is cleared to
// alpha 0 and the window is click-through (WS_EX_TRANSPARENT); with a tool it is cleared to
// alpha 1, so the window takes the mouse while the screen shows through. Freehand lines are
// drawn above all rectangles. With the border flag an 8-pixel frame marks the shared screen.
//
// Mouse: a stroke starts at the button press; moves within 50 ms of the press add nothing; a
// freehand stroke keeps points at least 8 pixels apart; the button release (or losing the
// capture) finishes it. A rectangle under 2 pixels is dropped. The eraser removes the oldest
// stroke under the release point.
//
// Threads: the window and its drawing belong to the UI thread. GetPanelRect and GetClientSize
// may be called from any thread (the canvas engine's frame pull reads them).

#include <windows.h>

#include <cstdint>
#include <mutex>

#include "foundation/lock.h"
#include "share/anno/anno_state.h"
#include "share/window/base_win_frame.h"

class CAsAnnoPanel : public CBaseWinFrame {
 public:
  static constexpr const wchar_t* kClassName = L"As_Anno_Wnd";
  // The border's pen colour (ARGB) and width.
  static constexpr std::uint32_t kBorderColour = 0xFE24CB7C;
  static constexpr int kBorderWidth = 8;

  CAsAnnoPanel();
  ~CAsAnnoPanel() override;

  // Creates the hidden panel window (class and title "As_Anno_Wnd", WS_POPUP, layered,
  // topmost, tool window, click-through).
  HWND CreatePanel();
  // Forgets the stroke being drawn, covers all monitors and rebuilds the drawing surfaces.
  void Prepare();
  // The union of all monitors becomes the panel rectangle.
  void UpdateRectPos();
  void Show();
  void Hide();
  // Follows the annotation state's shape: click-through for shape 0, then redraws.
  void OnShapeChanged();
  void SetBorder(bool border) { border_ = border; }
  // Draws the strokes and hands the surface to the window.
  void Redraw();

  // Screen rectangle the panel covers; empty before the first UpdateRectPos.
  RECT GetPanelRect() const;
  // Size of the drawing surface; 0 x 0 before the first Prepare.
  SIZE GetClientSize() const;
  // One premultiplied 0xAARRGGBB pixel of the last drawing; false outside the surface.
  bool GetSurfacePixel(int x, int y, std::uint32_t* argb);
  // The cursor shown for a shape (the arrow when its file is missing).
  HCURSOR CursorForShape(int shape) const;
  bool IsDrawing() const { return drawing_; }

 protected:
  LRESULT OnCreate(UINT message, WPARAM wparam, LPARAM lparam, BOOL& handled) override;
  LRESULT OnDestroy(UINT message, WPARAM wparam, LPARAM lparam, BOOL& handled) override;
  LRESULT OnSetCursor(UINT message, WPARAM wparam, LPARAM lparam, BOOL& handled) override;
  LRESULT OnEraseBkgnd(UINT message, WPARAM wparam, LPARAM lparam, BOOL& handled) override;
  LRESULT OnLButtonDown(UINT message, WPARAM wparam, LPARAM lparam, BOOL& handled) override;
  LRESULT OnMouseMove(UINT message, WPARAM wparam, LPARAM lparam, BOOL& handled) override;
  LRESULT OnLButtonUp(UINT message, WPARAM wparam, LPARAM lparam, BOOL& handled) override;
  LRESULT OnCaptureChanged(UINT message, WPARAM wparam, LPARAM lparam, BOOL& handled) override;
  LRESULT OnMouseLeave(UINT message, WPARAM wparam, LPARAM lparam, BOOL& handled) override;

 private:
  void Finish(POINT point);
  void UpdateClickThrough();
  void ReleaseSurfaces();  // Under lock_.
  bool InClient(POINT point) const;

  bool drawing_ = false;
  bool tracking_ = false;
  POINT down_point_{};
  POINT last_point_{};
  AnnoStroke stroke_;
  int stroke_shape_ = kAnnoShapeNone;  // The tool the stroke being drawn was started with.
  std::uint64_t stroke_start_ = 0;
  bool rect_drag_ = false;
  HDC window_dc_ = nullptr;
  HDC memory_dc_ = nullptr;
  HBITMAP bitmap_ = nullptr;
  HGDIOBJ displaced_bitmap_ = nullptr;
  std::uint32_t* bits_ = nullptr;  // Top-down premultiplied ARGB rows of the bitmap.
  int width_ = 0;
  int height_ = 0;
  HCURSOR arrow_cursor_ = nullptr;
  HCURSOR pen_cursor_ = nullptr;
  HCURSOR cross_cursor_ = nullptr;
  HCURSOR rect_cursor_ = nullptr;
  HCURSOR eraser_cursor_ = nullptr;
  CxLock lock_;  // Surfaces and drawing.
  bool drawn_once_ = false;
  bool border_ = false;
  RECT panel_rect_{};

  mutable std::mutex geometry_lock_;  // The copies other threads read.
  RECT shared_rect_{};
  SIZE shared_size_{};
};
