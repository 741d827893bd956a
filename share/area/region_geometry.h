#pragma once

// The geometry of the area frame (CRegionIndicator): the shared area inside the frame's
// window, the aspect ratios, the 12 resize handles, the drag rules and the size limits.
//
// The area is the window rectangle less 7 pixels left and right, 18 at the top and 37 at the
// bottom. Handles 0..3 lie on the top and bottom edges (left and right ends), 4..7 on the left
// and right edges (top and bottom ends), 8..11 on the corners (top-left, bottom-right,
// top-right, bottom-left); 12 moves the whole frame.

#include <windows.h>

namespace region {

enum Aspect { kAspect4x3 = 0, kAspect16x9 = 1 };

constexpr int kLeftMargin = 7;
constexpr int kRightMargin = 7;
constexpr int kTopMargin = 18;
constexpr int kBottomMargin = 37;
constexpr int kExtraWidth = kLeftMargin + kRightMargin;   // 14
constexpr int kExtraHeight = kTopMargin + kBottomMargin;  // 55
constexpr int kHandleCount = 12;
constexpr int kMoveHandle = 12;
constexpr int kHandleLength = 60;

// The area may be from 640 x 360 to 1920 x 1080.
constexpr int kMinAreaWidth = 640;
constexpr int kMinAreaHeight = 360;
constexpr int kMaxAreaWidth = 1920;
constexpr int kMaxAreaHeight = 1080;

// The area inside a window rectangle; empty for an empty window rectangle.
RECT AreaOfWindow(const RECT& window);
// Area height from its width and back, by the aspect (integer division).
int AreaHeightFromWidth(int width, int aspect);
int AreaWidthFromHeight(int height, int aspect);
// The 12 handle rectangles around `area` (client coordinates).
void HandleRects(const RECT& area, RECT handles[kHandleCount]);
// True when a window rectangle keeps its area within the limits.
bool WithinLimits(const RECT& window);
// The window rectangle after dragging `handle` with the cursor at `cursor` (screen), `delta`
// since the last move and `moved` since the drag began; not yet checked against the limits.
RECT DragWindow(int handle, const RECT& window, POINT cursor, POINT delta, POINT moved,
                int aspect);
// The window rectangle for a new aspect: width and bottom edge kept, the height following the
// ratio, narrowed (about its centre) when the area would grow past the height limit; centred
// on `desktop` when its top would lie above 1.
RECT WindowForAspect(const RECT& window, int aspect, const RECT& desktop);

}  // namespace region
