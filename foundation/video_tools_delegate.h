#pragma once

#include <cstdint>

// VideoToolsDelegate: how the floating tools of a camera preview act on the window that owns
// the preview. The video tools window rotates, flips and mirrors; the pick tools window starts
// colour picking and resets the key colour; the render window reports the colour picked from
// the screen. The settings and beauty settings windows implement it.
//
// Threads: every operation is called on the UI thread.
//
// Objects are never deleted through this interface (its destructor is protected).
class VideoToolsDelegate {
 public:
  // "clockwise_btn" passes true, "anti_clockwise_btn" false.
  virtual void OnVideo_Rotate(bool clockwise) = 0;
  // The state of "flip_check".
  virtual void OnVideo_Flip(bool flipped) = 0;
  // The state of "mirror_check".
  virtual void OnVideo_Mirror(bool mirrored) = 0;
  // "pick_btn" passes true.
  virtual void OnVideo_StartPick(bool on) = 0;
  // A COLORREF (0x00BBGGRR): the screen pixel clicked in pick mode, or pure green 0x0000FF00
  // from "reset_btn".
  virtual void OnVideo_PickColor(uint32_t colorref) = 0;

 protected:
  ~VideoToolsDelegate() = default;
};
