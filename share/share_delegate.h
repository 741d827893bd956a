#pragma once

// The interfaces between the share windows and their owners.
//
// ShareDelegate: what the share window and its toolbar ask of their owner (the main window).
// AnnoDelegate: what the annotation palette and the share toolbar ask of the share window.
// Both are called on the UI thread.

#include <cstdint>
#include <string>

class ShareDelegate {
 public:
  // The user asked to start sharing what the share window has selected.
  virtual void OnShareStarted() = 0;
  // The user asked to stop the share.
  virtual void OnShareStopped() = 0;
  // The user asked to see the share selection again.
  virtual void OnShowShareFrame() = 0;
  // Progress of a local media file played into the broadcast (the local media window).
  virtual void OnLocalPlayback(const std::string& md5, int status, int total_time,
                               int current_time) = 0;

 protected:
  ~ShareDelegate() = default;
};

class AnnoDelegate {
 public:
  // A palette colour, 0xAARRGGBB.
  virtual void SetColor(std::uint32_t argb) = 0;
  virtual void SetPenSize(int width) = 0;
  // 0 none (the mouse goes through), 1 pen, 2 rectangle, 3 eraser; other values are ignored.
  virtual void SetShape(int shape) = 0;
  // Keeps the annotation panel above the shared screen and over all monitors.
  virtual void SetAnniPos() = 0;

 protected:
  ~AnnoDelegate() = default;
};
