#pragma once

// The frame codes the client's windows push into a video render control, and what the canvas
// engine receives for each.
//
//   code   pixels                        engine format   length handed to the engine
//   0      24-bit BGR                    2 (BGR24)       w*h*3
//   1      32-bit BGRA                   3 (BGRA)        w*h*4
//   6, 8   16-bit packed Y0 U Y1 V       5 (YUY2)        w*h*2
//   10     16-bit packed U Y0 V Y1       6 (UYVY)        w*h*2
//   12     I420 (three planes 4:2:0)     0 (I420)        w*h + 2*((w+1)/2)*((h+1)/2)
//   16     NV12                          1 (NV12)        (w*h*3)/2

struct EngineFrame {
  int format = -1;
  long long length = 0;
};

// False for any other code or for sides below 1.
bool MapVideoFrameCode(int code, int width, int height, EngineFrame* frame);
