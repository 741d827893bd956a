#pragma once

#include <cstddef>
#include <cstdint>

// What the virtual devices put into their pictures and sound, and how tests read it back.
//
// Camera pictures: an 8 x 8 grid of black and white cells over the picture's central 16:9
// area (9:16 for a portrait picture): row 0 and column 0 carry a fixed sync pattern, the other
// 49 cells the service's tag (16 bits), the camera's number (4 bits), the frame counter (24
// bits) and a 5-bit check. The cells are large enough to survive scaling to 320 x 180; the
// reader finds the grid in any of the eight rotations and mirrorings of the picture.
//
// Microphone packets (480 stereo frames, 10 ms): frame 0 holds the tag (left) and a marker
// (right), frame 1 the running sample counter (left low, right high 16 bits); the other frames
// a 1 kHz square wave at the microphone's level, whose RMS is that level.

namespace orvim {

struct PictureMark {
  uint16_t tag = 0;
  uint8_t camera = 0;     // 0 to 15.
  uint32_t counter = 0;   // 0 to 2^24 - 1 (wraps).
};

// Draws |mark| into the I420 picture (Y plane, then U and V of (w + 1) / 2 x (h + 1) / 2).
void DrawPictureMark(uint8_t* i420, int width, int height, const PictureMark& mark);

// Reads a mark from the luma of the rectangle (x, y, w, h) of a plane with |stride| bytes per
// row. False when no valid mark is there.
bool ReadPictureMarkInRect(const uint8_t* luma, int stride, int x, int y, int w, int h,
                           PictureMark* mark);
// The same over a whole I420 picture.
bool ReadPictureMark(const uint8_t* i420, int width, int height, PictureMark* mark);

inline constexpr int kAudioPacketFrames = 480;
inline constexpr int16_t kAudioMarker = 0x5A5A;

struct AudioMark {
  bool marked = false;  // Frame 0 carried the marker (a mix of two senders does not).
  uint16_t tag = 0;
  uint32_t counter = 0;
  int level = 0;  // RMS of frames 2 and later, 0 to 32767.
};

// Fills |frames| stereo frames (|samples| holds 2 x frames values).
void FillMicrophonePacket(int16_t* samples, int frames, uint16_t tag, uint32_t counter, int level);
AudioMark ReadAudioPacket(const int16_t* samples, int frames);
// RMS of |count| samples, 0 to 32767.
int RmsLevel(const int16_t* samples, size_t count);

// A tag from a text (the user id), never 0.
uint16_t TagFromText(const char* text);

}  // namespace orvim
