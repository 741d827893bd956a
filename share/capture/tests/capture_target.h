#pragma once

// What the capture target program shows: each window is split into four quadrants of known
// colours (0x00RRGGBB), its own class and a title given on its command line.
//
//   capture_target.exe --title=T [--rect=X,Y,W,H] [--layered] [--second=MS] [--exit=MS]
//
// --layered   the windows get WS_EX_LAYERED (fully opaque);
// --second=MS after MS milliseconds a second window "T 2" opens to the right of the first;
// --exit=MS   the program ends after MS milliseconds.

#include <cstdint>

namespace capture_target {

constexpr wchar_t kClassName[] = L"CaptureTargetWindow";
constexpr std::uint32_t kTopLeft = 0xC81E1E;
constexpr std::uint32_t kTopRight = 0x1EC81E;
constexpr std::uint32_t kBottomLeft = 0x1E1EC8;
constexpr std::uint32_t kBottomRight = 0xDCDC28;
constexpr int kSecondWidth = 200;
constexpr int kSecondHeight = 150;
constexpr int kSecondGap = 10;

}  // namespace capture_target
