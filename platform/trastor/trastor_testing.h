#pragma once

// Extra exports of Trastor.dll for tests and benchmarks: run a tick on demand, read the last
// composed picture and the engine's counters. The client does not use them.

#include "platform/trastor/trastor.h"

struct TrastorCanvasCounters {
  long long ticks;    // Ticks composed.
  long long pulls;    // Capture sink calls.
  long long outputs;  // Frame-out sink calls.
  long long draws;    // Pictures drawn into the window.
};

struct TrastorSourceCounters {
  long long pushes;  // Frames taken by PushFrame.
  int last_format;   // Format, sides and length of the last frame taken; -1 and 0 before.
  int last_width;
  int last_height;
  int last_length;
};

extern "C" {

// Runs one tick and returns when it has ended: on the engine thread while the canvas runs,
// else on the calling thread. False for a pointer that is not a live canvas, when the canvas
// stopped meanwhile, or after `timeout_ms`.
TRASTOR_API bool TrastorTest_RunTick(TrastorCanvas* canvas, unsigned timeout_ms);

// Copies the last composed picture (32-bit blue, green, red, alpha rows, top row first) when
// it fits into `capacity` bytes. Always reports its sides (0 x 0 before the first tick).
TRASTOR_API bool TrastorTest_GetLastPicture(TrastorCanvas* canvas, unsigned char* pixels,
                                            int capacity, int* width, int* height);

// False for a pointer that is not a live canvas.
TRASTOR_API bool TrastorTest_GetCanvasCounters(TrastorCanvas* canvas,
                                               TrastorCanvasCounters* counters);

// The source made `index`-th (from 0) by a live canvas, or null.
TRASTOR_API TrastorSource* TrastorTest_GetSource(TrastorCanvas* canvas, int index);

// Counters of a source of a live or destroyed canvas.
TRASTOR_API void TrastorTest_GetSourceCounters(TrastorSource* source,
                                               TrastorSourceCounters* counters);

// Canvases created and not yet destroyed.
TRASTOR_API int TrastorTest_LiveCanvasCount(void);

// Users counted by Trastor_Load and not yet ended by Trastor_Free.
TRASTOR_API int TrastorTest_UserCount(void);

}  // extern "C"
