#include "share/area/region_geometry.h"

#include <cstdlib>

namespace region {

RECT AreaOfWindow(const RECT& window) {
  if (IsRectEmpty(&window)) return RECT{};
  return RECT{window.left + kLeftMargin, window.top + kTopMargin, window.right - kRightMargin,
              window.bottom - kBottomMargin};
}

int AreaHeightFromWidth(int width, int aspect) {
  return aspect == kAspect16x9 ? width * 9 / 16 : width * 3 / 4;
}

int AreaWidthFromHeight(int height, int aspect) {
  return aspect == kAspect16x9 ? height * 16 / 9 : height * 4 / 3;
}

void HandleRects(const RECT& a, RECT h[kHandleCount]) {
  const int n = kHandleLength - 7;  // 53
  h[0] = RECT{a.left, a.top - 7, a.left + n, a.top};
  h[1] = RECT{a.right - n, a.top - 7, a.right, a.top};
  h[2] = RECT{a.left, a.bottom, a.left + n, a.bottom + 7};
  h[3] = RECT{a.right - n, a.bottom, a.right, a.bottom + 7};
  h[4] = RECT{a.left - 7, a.top, a.left, a.top + n};
  h[5] = RECT{a.right, a.top, a.right + 7, a.top + n};
  h[6] = RECT{a.left - 7, a.bottom - n, a.left, a.bottom};
  h[7] = RECT{a.right, a.bottom - n, a.right + 7, a.bottom};
  h[8] = RECT{a.left - 7, a.top - 7, a.left, a.top};
  h[9] = RECT{a.right, a.bottom, a.right + 7, a.bottom + 7};
  h[10] = RECT{a.right, a.top - 7, a.right + 7, a.top};
  h[11] = RECT{a.left - 7, a.bottom, a.left, a.bottom + 7};
}

bool WithinLimits(const RECT& w) {
  const int width = w.right - w.left;
  const int height = w.bottom - w.top;
  return width >= kMinAreaWidth + kExtraWidth && width < kMaxAreaWidth + kExtraWidth + 1 &&
         height >= kMinAreaHeight + kExtraHeight && height < kMaxAreaHeight + kExtraHeight + 1;
}

namespace {

// Width of the window whose area has the height that the window's height gives.
int WidthForHeight(const RECT& w, int aspect) {
  return AreaWidthFromHeight(w.bottom - w.top - kExtraHeight, aspect) + kExtraWidth;
}

int HeightForWidth(const RECT& w, int aspect) {
  return AreaHeightFromWidth(w.right - w.left - kExtraWidth, aspect) + kExtraHeight;
}

}  // namespace

RECT DragWindow(int handle, const RECT& window, POINT cursor, POINT delta, POINT moved,
                int aspect) {
  RECT w = window;
  const bool vertical = std::abs(moved.x) < std::abs(moved.y);
  // Corners act as the edge handle of the dominant direction of the whole drag.
  switch (handle) {
    case 8:
      handle = vertical ? 0 : 4;
      break;
    case 9:
      handle = vertical ? 3 : 7;
      break;
    case 10:
      handle = vertical ? 1 : 5;
      break;
    case 11:
      handle = vertical ? 2 : 6;
      break;
    default:
      break;
  }
  switch (handle) {
    case 0:
      w.top = cursor.y;
      w.left = w.right - WidthForHeight(w, aspect);
      break;
    case 1:
      w.top = cursor.y;
      w.right = w.left + WidthForHeight(w, aspect);
      break;
    case 2:
      w.bottom = cursor.y;
      w.left = w.right - WidthForHeight(w, aspect);
      break;
    case 3:
      w.bottom = cursor.y;
      w.right = w.left + WidthForHeight(w, aspect);
      break;
    case 4:
      w.left = cursor.x;
      w.top = w.bottom - HeightForWidth(w, aspect);
      break;
    case 5:
      w.right = cursor.x;
      w.top = w.bottom - HeightForWidth(w, aspect);
      break;
    case 6:
      w.left = cursor.x;
      w.bottom = w.top + HeightForWidth(w, aspect);
      break;
    case 7:
      w.right = cursor.x;
      w.bottom = w.top + HeightForWidth(w, aspect);
      break;
    case kMoveHandle:
      OffsetRect(&w, delta.x, delta.y);
      break;
    default:
      break;
  }
  return w;
}

RECT WindowForAspect(const RECT& window, int aspect, const RECT& desktop) {
  int area_width = window.right - window.left - kExtraWidth;
  int area_height = AreaHeightFromWidth(area_width, aspect);
  int left = window.left;
  if (area_height > kMaxAreaHeight) {
    // A wide 16:9 area turned 4:3 would outgrow the limit: narrow it to the tallest 4:3 area.
    area_height = kMaxAreaHeight;
    const int narrowed = AreaWidthFromHeight(area_height, aspect);
    left += (area_width - narrowed) / 2;
    area_width = narrowed;
  }
  const int width = area_width + kExtraWidth;
  const int height = area_height + kExtraHeight;
  RECT w{left, window.bottom - height, left + width, window.bottom};
  if (w.top < 1) {
    const int cx = (desktop.left + desktop.right) / 2;
    const int cy = (desktop.top + desktop.bottom) / 2;
    w = RECT{cx - width / 2, cy - height / 2, cx - width / 2 + width, cy - height / 2 + height};
  }
  return w;
}

}  // namespace region
