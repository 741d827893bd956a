#pragma once

// Capture of one window from its own device context: it comes out with its own pixels even
// where other windows cover it, for windows that draw into their context.

#include <windows.h>

#include <vector>

#include "share/capture/capture_image.h"
#include "share/capture/win_capture_source.h"
#include "share/window/gdi_objects.h"

class CWinCapture;

// Whether `window` can be captured from its own context: probes the deepest visible child at
// the centre with a green pixel, copies the client area and reads the pixel back. False for a
// null, destroyed or hidden window. Invalidates the probed window afterwards.
bool WinDCCapTest(HWND window);

class CWinDCCapSource : public IWinCaptureSource {
 public:
  // `owner` gives the sink that may draw over each capture; it outlives the source.
  explicit CWinDCCapSource(CWinCapture* owner);
  ~CWinDCCapSource() override;

  // Captures the first window of the list (its whole window rectangle).
  bool GetWindowImageData(const std::vector<HWND>& windows, unsigned char** pixels, int* width,
                          int* height, int* size) override;

 private:
  CWinCapture* owner_;
  share::ScopedBrush white_brush_;
  CaptureImage image_;
};
