#pragma once

// Capture of windows from the screen: the union of their rectangles, copied from the screen
// (scaled by the screen scale factors), with the parts other windows cover painted
// RGB(108, 217, 162) and the cursor drawn on top.

#include <windows.h>

#include <vector>

#include "share/capture/capture_image.h"
#include "share/capture/win_capture_source.h"
#include "share/window/gdi_objects.h"

class CScrDCCapSource : public IWinCaptureSource {
 public:
  static constexpr COLORREF kCoveredColour = RGB(108, 217, 162);

  CScrDCCapSource();
  ~CScrDCCapSource() override;

  bool GetWindowImageData(const std::vector<HWND>& windows, unsigned char** pixels, int* width,
                          int* height, int* size) override;

 private:
  // Copies `capture` (screen coordinates) from the screen into `memory` at its origin.
  static bool CopyFromScreen(HDC screen, HDC memory, const RECT& capture);
  // Paints what covers the shared windows inside `capture`. False when nothing of them shows.
  bool PaintCoveredArea(HDC memory, const std::vector<HWND>& windows, const RECT& capture);
  void DrawCursor(HDC memory, const RECT& capture);

  HCURSOR arrow_cursor_;  // Shared system cursor, not owned.
  share::ScopedBrush covered_brush_;
  share::ScopedBrush white_brush_;
  CaptureImage image_;
};
