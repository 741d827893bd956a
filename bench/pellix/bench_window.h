#pragma once

// Shared pieces of the frame-path benchmarks: a 1280x720 window and moving I420 frames.

#include <windows.h>

#include <cstdint>
#include <vector>

namespace bench {

constexpr int kWidth = 1280;
constexpr int kHeight = 720;

HWND MakeWindow(const wchar_t* title);
void PumpMessages();
// A moving gradient, so that no two consecutive frames are alike.
std::vector<std::uint8_t> MakeI420Frame(int shift);

}  // namespace bench
