#include "share/capture/scr_dc_cap_source.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "share/capture/monitor_info.h"

namespace {

bool IsCapturable(HWND window) {
  return IsWindow(window) && IsWindowVisible(window) && !IsIconic(window);
}

// The union of the rectangles of the capturable windows; false when there is none.
bool UnionOfWindows(const std::vector<HWND>& windows, RECT* capture) {
  bool any = false;
  for (HWND window : windows) {
    RECT rect{};
    if (!IsCapturable(window) || !GetWindowRect(window, &rect)) continue;
    if (any) {
      UnionRect(capture, capture, &rect);
    } else {
      *capture = rect;
      any = true;
    }
  }
  return any;
}

BOOL CALLBACK AddWindow(HWND window, LPARAM context) {
  reinterpret_cast<std::vector<HWND>*>(context)->push_back(window);
  return TRUE;
}

// The area of a window on the screen: its window region when it has a complex one, else its
// rectangle.
share::ScopedRegion WindowArea(HWND window) {
  RECT rect{};
  GetWindowRect(window, &rect);
  share::ScopedRegion region(CreateRectRgn(0, 0, 0, 0));
  if (region && GetWindowRgn(window, region.get()) == COMPLEXREGION) {
    OffsetRgn(region.get(), rect.left, rect.top);
    return region;
  }
  return share::ScopedRegion(CreateRectRgnIndirect(&rect));
}

bool ClassIs(HWND window, const wchar_t* name) {
  wchar_t class_name[256] = {};
  GetClassNameW(window, class_name, 256);
  return wcscmp(class_name, name) == 0;
}

}  // namespace

CScrDCCapSource::CScrDCCapSource()
    : arrow_cursor_(LoadCursorW(nullptr, IDC_ARROW)),
      covered_brush_(CreateSolidBrush(kCoveredColour)),
      white_brush_(CreateSolidBrush(RGB(255, 255, 255))) {}

CScrDCCapSource::~CScrDCCapSource() = default;

bool CScrDCCapSource::GetWindowImageData(const std::vector<HWND>& windows, unsigned char** pixels,
                                         int* width, int* height, int* size) {
  RECT capture{};
  if (!UnionOfWindows(windows, &capture)) return false;
  const int captured_width = capture.right - capture.left;
  const int captured_height = capture.bottom - capture.top;
  share::WindowDc screen(nullptr);
  if (!screen || !image_.Prepare(screen.get(), captured_width, captured_height)) return false;
  {
    share::ScopedMemoryDc memory(CreateCompatibleDC(screen.get()));
    if (!memory) return false;
    share::SelectedObject selected(memory.get(), image_.bitmap());
    if (!selected) return false;
    image_.Clear(memory.get(), white_brush_.get());
    if (!CopyFromScreen(screen.get(), memory.get(), capture)) return false;
    if (!PaintCoveredArea(memory.get(), windows, capture)) return false;
    DrawCursor(memory.get(), capture);
  }
  if (!image_.Read(screen.get())) return false;
  *pixels = image_.pixels();
  *width = image_.width();
  *height = image_.height();
  *size = image_.size();
  return true;
}

bool CScrDCCapSource::CopyFromScreen(HDC screen, HDC memory, const RECT& capture) {
  double scale_x = 0;
  double scale_y = 0;
  GetMonitorScale(&scale_x, &scale_y);
  // One factor of zero would make an empty source rectangle.
  if (scale_x == 0 || scale_y == 0) return false;
  const int width = capture.right - capture.left;
  const int height = capture.bottom - capture.top;
  if (std::fabs(scale_x - 1.0) < 1e-7 && std::fabs(scale_y - 1.0) < 1e-7) {
    return BitBlt(memory, 0, 0, width, height, screen, capture.left, capture.top, SRCCOPY) != FALSE;
  }
  const int left = static_cast<int>(capture.left * scale_x);
  const int right = static_cast<int>(capture.right * scale_x);
  const int top = static_cast<int>(capture.top * scale_y);
  const int bottom = static_cast<int>(capture.bottom * scale_y);
  const int previous = SetStretchBltMode(memory, HALFTONE);
  SetBrushOrgEx(memory, 0, 0, nullptr);
  const BOOL ok = StretchBlt(memory, 0, 0, width, height, screen, left, top, right - left,
                             bottom - top, SRCCOPY);
  if (previous) SetStretchBltMode(memory, previous);
  return ok != FALSE;
}

bool CScrDCCapSource::PaintCoveredArea(HDC memory, const std::vector<HWND>& windows,
                                       const RECT& capture) {
  const RECT desktop{GetSystemMetrics(SM_XVIRTUALSCREEN), GetSystemMetrics(SM_YVIRTUALSCREEN),
                     GetSystemMetrics(SM_XVIRTUALSCREEN) + GetSystemMetrics(SM_CXVIRTUALSCREEN),
                     GetSystemMetrics(SM_YVIRTUALSCREEN) + GetSystemMetrics(SM_CYVIRTUALSCREEN)};
  share::ScopedRegion covered(CreateRectRgnIndirect(&desktop));
  if (!covered) return false;
  std::vector<HWND> top_down;
  EnumWindows(AddWindow, reinterpret_cast<LPARAM>(&top_down));
  // From the bottom of the z-order up: a shared window uncovers its area, any other window
  // covers its area again.
  for (auto it = top_down.rbegin(); it != top_down.rend(); ++it) {
    HWND window = *it;
    if (!IsWindowVisible(window) || IsIconic(window) ||
        ClassIs(window, L"CompatWindowDesktopReplacement")) {
      continue;
    }
    const bool shared = std::find(windows.begin(), windows.end(), window) != windows.end();
    if (!shared && (ClassIs(window, L"Windows.UI.Core.CoreWindow") ||
                    (GetWindowLongW(window, GWL_EXSTYLE) & WS_EX_LAYERED))) {
      continue;
    }
    share::ScopedRegion area = WindowArea(window);
    if (area) CombineRgn(covered.get(), covered.get(), area.get(), shared ? RGN_DIFF : RGN_OR);
  }
  share::ScopedRegion inside(CreateRectRgnIndirect(&capture));
  if (!inside) return false;
  CombineRgn(covered.get(), covered.get(), inside.get(), RGN_AND);
  if (EqualRgn(covered.get(), inside.get())) return false;  // Nothing of the windows shows.
  OffsetRgn(covered.get(), -capture.left, -capture.top);
  FillRgn(memory, covered.get(), covered_brush_.get());
  return true;
}

void CScrDCCapSource::DrawCursor(HDC memory, const RECT& capture) {
  CURSORINFO cursor{};
  cursor.cbSize = sizeof(cursor);
  if (!GetCursorInfo(&cursor) || !(cursor.flags & CURSOR_SHOWING) ||
      !PtInRect(&capture, cursor.ptScreenPos)) {
    return;
  }
  HCURSOR shape = cursor.hCursor ? cursor.hCursor : arrow_cursor_;
  POINT hotspot{};
  ICONINFO icon{};
  if (GetIconInfo(shape, &icon)) {
    hotspot = {static_cast<LONG>(icon.xHotspot), static_cast<LONG>(icon.yHotspot)};
    if (icon.hbmMask) DeleteObject(icon.hbmMask);
    if (icon.hbmColor) DeleteObject(icon.hbmColor);
  }
  DrawIconEx(memory, cursor.ptScreenPos.x - capture.left - hotspot.x,
             cursor.ptScreenPos.y - capture.top - hotspot.y, shape, 0, 0, 0, nullptr, DI_NORMAL);
}
