#pragma once

#include <atomic>
#include <cstdint>
#include <string>

// StGlPrint: the frame statistics line of one frame path. Every Print counts a frame; at most
// once per 10000 ms it logs one INFO line with its label, the kind, the size and the frames
// counted since the last line (the first frame already prints). Printers are process-wide, one
// per call site, made on first use.
//
// Thread-safe: several SDK threads print through one printer, so the counters are atomic and
// exactly one of two racing threads writes the line.
struct StGlPrint {
  static constexpr uint32_t kIntervalMs = 10000;
  // Milliseconds of a 32-bit tick count (GetTickCount by default).
  using Clock = uint32_t (*)();

  explicit StGlPrint(std::string text) : label(std::move(text)) {}
  StGlPrint(const StGlPrint&) = delete;
  StGlPrint& operator=(const StGlPrint&) = delete;

  void Print(int kind, int width, int height);

  // Replaces the clock of every printer (tests); null restores GetTickCount. Returns the
  // previous one.
  static Clock SetClock(Clock clock);

  std::atomic<uint32_t> lastPrint{0};  // Tick of the last line.
  std::atomic<uint32_t> frames{0};     // Frames since the last line.
  const std::string label;
};
