#pragma once

// CWinCapture: the images of the windows of one shared application.
//
// It keeps the list of shared windows, learns which program owns each window (the program map,
// rebuilt at most every 3000 ms while capturing), and captures either from the window's own
// device context (one ordinary window) or from the screen (several windows, layered or
// transparent windows, and programs that draw elsewhere, see IsForceScreenProgram). Presentation
// and office programs that open further top-level windows get those added to the list.
//
// Threads: Init and Stop run on the UI thread, GetCaptureData on the canvas engine's thread;
// every public operation takes the object's lock. Nothing on the capture path sends a message
// to, or waits for, a window of another thread of this process.

#include <windows.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "foundation/lock.h"
#include "share/capture/program_map.h"
#include "share/capture/win_capture_source.h"

class CWinCapture {
 public:
  // Why GetCaptureData gave no image.
  enum Reason {
    kReasonNone = 0,        // An image was produced.
    kReasonNotVisible = 1,  // No shared window is visible and not minimised.
    kReasonNoWindow = 2,    // The window list is empty (never set, or all windows are gone).
    kReasonFailed = 3,      // The capture failed.
  };

  CWinCapture();
  ~CWinCapture();
  CWinCapture(const CWinCapture&) = delete;
  CWinCapture& operator=(const CWinCapture&) = delete;

  // Starts capturing `windows`: measures the screen scale factors, builds the program map,
  // decides between window and screen capture, restores and raises the windows and makes the
  // capture source. `sink` (may be null) draws over window-context captures.
  bool Init(IWinCaptureSink* sink, const std::vector<HWND>& windows);
  // Forgets the windows, the program map and the source.
  void Stop();
  // One image (see IWinCaptureSource) of the shared windows. On failure `reason` says why and
  // no pixels are handed out.
  bool GetCaptureData(unsigned char** pixels, int* width, int* height, int* size, int* reason);
  // Replaces the capture source: window-context capture for one ordinary window that passes
  // WinDCCapTest, screen capture otherwise.
  void NewCapture();

  IWinCaptureSink* GetSink() const { return sink_; }
  // Sources made so far (each NewCapture makes one).
  unsigned GetSourceCount();
  // The shared windows now.
  std::vector<HWND> GetWindows();

 private:
  void FreeTopWindowAndProcess();
  void CollectTopWindowAndProcess();
  bool DecideForceScreen();
  // Adds the further windows of presentation and office programs; true when the list changed
  // its length.
  bool GatherProgramWindows();

  std::unique_ptr<IWinCaptureSource> source_;
  IWinCaptureSink* sink_ = nullptr;
  bool new_source_ = true;
  std::vector<HWND> windows_;
  bool force_screen_ = false;
  ProgramMap programs_;
  CxLock lock_;  // Guards everything in this object.
  std::uint64_t last_map_refresh_ = 0;
  unsigned source_count_ = 0;
};
