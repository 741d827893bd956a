#pragma once

// The interfaces between the window capture and its two capture methods, and the owner's hook
// into a window-context capture.

#include <windows.h>

#include <vector>

// One way of capturing a list of windows.
class IWinCaptureSource {
 public:
  virtual ~IWinCaptureSource() = default;
  // A bottom-up 24-bit BGR image of the windows (sides rounded up to multiples of 32, white
  // where nothing was captured). The pixels belong to the source and stay valid until its next
  // call. False when nothing could be captured.
  virtual bool GetWindowImageData(const std::vector<HWND>& windows, unsigned char** pixels,
                                  int* width, int* height, int* size) = 0;
};

// Lets the owner draw over a window captured from its own device context.
class IWinCaptureSink {
 public:
  // `dc` holds the captured window at its origin; `left` and `top` are the window's screen
  // position. Called on the capturing thread.
  virtual void OnWinCaptureDraw(HDC dc, int left, int top, int width, int height) = 0;

 protected:
  ~IWinCaptureSink() = default;
};
