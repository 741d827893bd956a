#include "share/anno/as_anno_panel.h"

#include <windowsx.h>

#include <algorithm>
#include <string>
#include <vector>

#include "foundation/log.h"
#include "foundation/text_convert.h"
#include "foundation/tick_clock.h"
#include "platform/duilib/UIlib.h"
#include "share/capture/monitor_info.h"
#include "share/window/gdiplus_include.h"

namespace {

// A cursor file of the program's "cursor" folder, or null when it cannot be read.
HCURSOR LoadCursorFile(const wchar_t* name) {
  const std::wstring path = DuiLib::CPaintManagerUI::GetInstancePath() + L"cursor\\" + name;
  HCURSOR cursor = LoadCursorFromFileW(path.c_str());
  if (!cursor) TVLOG_WARN() << "cursor file missing: " << UnicodeToUtf8(name);
  return cursor;
}

Gdiplus::Color StrokeColour(std::uint32_t stored) {
  return Gdiplus::Color(254, stored & 0xFF, (stored >> 8) & 0xFF, (stored >> 16) & 0xFF);
}

void DrawRectStroke(Gdiplus::Graphics& graphics, const AnnoStroke& stroke) {
  Gdiplus::Pen pen(StrokeColour(stroke.colour), static_cast<Gdiplus::REAL>(stroke.width));
  const LONG left = min(stroke.start.x, stroke.end.x);
  const LONG top = min(stroke.start.y, stroke.end.y);
  graphics.DrawRectangle(&pen, static_cast<INT>(left), static_cast<INT>(top),
                         static_cast<INT>(max(stroke.start.x, stroke.end.x) - left),
                         static_cast<INT>(max(stroke.start.y, stroke.end.y) - top));
}

void DrawLineStroke(Gdiplus::Graphics& graphics, const AnnoStroke& stroke) {
  if (stroke.points.size() < 2) return;
  std::vector<Gdiplus::Point> points;
  points.reserve(stroke.points.size());
  for (const POINT& p : stroke.points) points.emplace_back(p.x, p.y);
  Gdiplus::Pen pen(StrokeColour(stroke.colour), static_cast<Gdiplus::REAL>(stroke.width));
  pen.SetLineJoin(Gdiplus::LineJoinRound);
  pen.SetStartCap(Gdiplus::LineCapRound);
  pen.SetEndCap(Gdiplus::LineCapRound);
  graphics.DrawCurve(&pen, points.data(), static_cast<INT>(points.size()));
}

}  // namespace

CAsAnnoPanel::CAsAnnoPanel() = default;

CAsAnnoPanel::~CAsAnnoPanel() {
  if (m_hWnd && IsWindow(m_hWnd)) {
    SetWindowLongPtrW(m_hWnd, GWLP_USERDATA, 0);
    DestroyWindow(m_hWnd);
    m_hWnd = nullptr;
  }
  {
    CxAutoLock lock(lock_);
    ReleaseSurfaces();
  }
  for (HCURSOR cursor : {pen_cursor_, cross_cursor_, rect_cursor_, eraser_cursor_}) {
    if (cursor) DestroyCursor(cursor);
  }
}

HWND CAsAnnoPanel::CreatePanel() {
  return Create(nullptr, 0, 0, 0, 0, kClassName, kClassName, WS_POPUP,
                WS_EX_LAYERED | WS_EX_TOPMOST | WS_EX_TOOLWINDOW | WS_EX_TRANSPARENT);
}

LRESULT CAsAnnoPanel::OnCreate(UINT, WPARAM, LPARAM, BOOL& handled) {
  arrow_cursor_ = LoadCursorW(nullptr, IDC_ARROW);
  pen_cursor_ = LoadCursorFile(L"anno_pen_solid.cur");
  cross_cursor_ = LoadCursorFile(L"anno_pointer_cross.cur");
  rect_cursor_ = LoadCursorFile(L"anno_image.cur");
  eraser_cursor_ = LoadCursorFile(L"anno_eraser.cur");
  handled = TRUE;
  return 0;
}

LRESULT CAsAnnoPanel::OnDestroy(UINT, WPARAM, LPARAM, BOOL&) {
  CxAutoLock lock(lock_);
  ReleaseSurfaces();
  return 0;
}

HCURSOR CAsAnnoPanel::CursorForShape(int shape) const {
  HCURSOR cursor = nullptr;
  switch (shape) {
    case kAnnoShapePen:
      cursor = pen_cursor_;
      break;
    case kAnnoShapeRect:
      cursor = rect_cursor_;
      break;
    case kAnnoShapeEraser:
      cursor = eraser_cursor_;
      break;
    default:
      break;
  }
  return cursor ? cursor : arrow_cursor_;
}

LRESULT CAsAnnoPanel::OnSetCursor(UINT, WPARAM, LPARAM, BOOL& handled) {
  SetCursor(CursorForShape(CAnnoState::Instance().GetShape()));
  handled = TRUE;
  return TRUE;
}

LRESULT CAsAnnoPanel::OnEraseBkgnd(UINT, WPARAM, LPARAM, BOOL& handled) {
  handled = TRUE;
  return 1;
}

void CAsAnnoPanel::UpdateRectPos() {
  MonitorInfoTable& table = MonitorInfoTable::Instance();
  table.Refresh();
  const MonitorInfoTable::Snapshot monitors = table.GetSnapshot();
  RECT rect{};
  if (monitors.primary >= 0 && monitors.primary < monitors.count) {
    rect = monitors.monitors[monitors.primary].rect;
  }
  for (int i = 0; i < monitors.count; ++i) {
    UnionRect(&rect, &rect, &monitors.monitors[i].rect);
  }
  if (IsRectEmpty(&rect)) {
    rect = RECT{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  }
  TVLOG_INFO_THIS() << (monitors.primary > 0 ? "!!!======== Work Monitor = "
                                              : "!!!-------- Work Monitor = ")
                    << monitors.primary << " Pos(" << rect.left << ", " << rect.top
                    << ") - Size(" << rect.right - rect.left << ", " << rect.bottom - rect.top
                    << ")";
  panel_rect_ = rect;
  std::lock_guard<std::mutex> geometry(geometry_lock_);
  shared_rect_ = rect;
}

void CAsAnnoPanel::ReleaseSurfaces() {
  if (memory_dc_ && displaced_bitmap_) SelectObject(memory_dc_, displaced_bitmap_);
  displaced_bitmap_ = nullptr;
  if (bitmap_) DeleteObject(bitmap_);
  bitmap_ = nullptr;
  bits_ = nullptr;
  if (memory_dc_) DeleteDC(memory_dc_);
  memory_dc_ = nullptr;
  if (window_dc_) ReleaseDC(m_hWnd, window_dc_);
  window_dc_ = nullptr;
  width_ = 0;
  height_ = 0;
}

void CAsAnnoPanel::Prepare() {
  stroke_ = AnnoStroke();
  rect_drag_ = false;
  UpdateRectPos();
  if (!m_hWnd) return;
  SetWindowPos(m_hWnd, nullptr, panel_rect_.left, panel_rect_.top,
               panel_rect_.right - panel_rect_.left, panel_rect_.bottom - panel_rect_.top,
               SWP_NOZORDER | SWP_NOACTIVATE);
  RECT client{};
  GetClientRect(m_hWnd, &client);
  CxAutoLock lock(lock_);
  ReleaseSurfaces();
  if (client.right > 0 && client.bottom > 0) {
    window_dc_ = GetDC(m_hWnd);
    memory_dc_ = CreateCompatibleDC(window_dc_);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = client.right;
    info.bmiHeader.biHeight = -client.bottom;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    bitmap_ = memory_dc_ ? CreateDIBSection(memory_dc_, &info, DIB_RGB_COLORS, &bits, nullptr, 0)
                         : nullptr;
    if (bitmap_ && bits) {
      displaced_bitmap_ = SelectObject(memory_dc_, bitmap_);
      bits_ = static_cast<std::uint32_t*>(bits);
      width_ = client.right;
      height_ = client.bottom;
    } else {
      TVLOG_ERROR_THIS() << "no drawing surface of " << client.right << " x " << client.bottom;
      ReleaseSurfaces();
    }
  }
  std::lock_guard<std::mutex> geometry(geometry_lock_);
  shared_size_ = SIZE{width_, height_};
}

RECT CAsAnnoPanel::GetPanelRect() const {
  std::lock_guard<std::mutex> geometry(geometry_lock_);
  return shared_rect_;
}

SIZE CAsAnnoPanel::GetClientSize() const {
  std::lock_guard<std::mutex> geometry(geometry_lock_);
  return shared_size_;
}

void CAsAnnoPanel::UpdateClickThrough() {
  if (!m_hWnd) return;
  const LONG_PTR style = GetWindowLongPtrW(m_hWnd, GWL_EXSTYLE);
  const LONG_PTR wanted = CAnnoState::Instance().GetShape() == kAnnoShapeNone
                              ? (style | WS_EX_TRANSPARENT)
                              : (style & ~static_cast<LONG_PTR>(WS_EX_TRANSPARENT));
  if (wanted == style) return;
  SetWindowLongPtrW(m_hWnd, GWL_EXSTYLE, wanted);
  SetWindowPos(m_hWnd, nullptr, 0, 0, 0, 0,
               SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CAsAnnoPanel::Show() {
  if (!m_hWnd) return;
  if (!IsWindowVisible(m_hWnd)) ::ShowWindow(m_hWnd, SW_SHOWNOACTIVATE);
  SetWindowPos(m_hWnd, nullptr, panel_rect_.left, panel_rect_.top,
               panel_rect_.right - panel_rect_.left, panel_rect_.bottom - panel_rect_.top,
               SWP_NOZORDER | SWP_NOACTIVATE);
  UpdateClickThrough();
  Redraw();
}

void CAsAnnoPanel::Hide() {
  if (m_hWnd) ::ShowWindow(m_hWnd, SW_HIDE);
}

void CAsAnnoPanel::OnShapeChanged() {
  UpdateClickThrough();
  rect_drag_ = false;
  Redraw();
}

void CAsAnnoPanel::Redraw() {
  CxAutoLock lock(lock_);
  if (!bits_ || !m_hWnd) return;
  const CAnnoState& state = CAnnoState::Instance();
  // Cleared to alpha 0 (click-through) or to alpha 1 (takes the mouse, shows the screen), as
  // premultiplied white.
  const std::uint32_t clear = state.GetShape() == kAnnoShapeNone ? 0x00000000u : 0x01010101u;
  std::fill(bits_, bits_ + static_cast<std::size_t>(width_) * height_, clear);
  {
    Gdiplus::Bitmap surface(width_, height_, width_ * 4, PixelFormat32bppPARGB,
                            reinterpret_cast<BYTE*>(bits_));
    Gdiplus::Graphics graphics(&surface);
    graphics.SetSmoothingMode(Gdiplus::SmoothingModeHighQuality);
    if (border_) {
      Gdiplus::Pen pen(Gdiplus::Color(kBorderColour), static_cast<Gdiplus::REAL>(kBorderWidth));
      graphics.DrawRectangle(&pen, 0, 0, width_ - 2, height_ - 2);
    }
    for (const AnnoStroke& stroke : state.Strokes()) {
      if (stroke.kind == kAnnoStrokeRect) DrawRectStroke(graphics, stroke);
    }
    // Freehand lines lie above all rectangles.
    for (const AnnoStroke& stroke : state.Strokes()) {
      if (stroke.kind == kAnnoStrokeLine) DrawLineStroke(graphics, stroke);
    }
    if (drawing_) {
      if (stroke_shape_ == kAnnoShapeRect && rect_drag_) DrawRectStroke(graphics, stroke_);
      if (stroke_shape_ == kAnnoShapePen) DrawLineStroke(graphics, stroke_);
    }
  }
  POINT destination{panel_rect_.left, panel_rect_.top};
  SIZE size{width_, height_};
  POINT source{0, 0};
  BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
  if (!UpdateLayeredWindow(m_hWnd, window_dc_, &destination, &size, memory_dc_, &source, 0,
                           &blend, ULW_ALPHA)) {
    TVLOG_WARN_THIS() << "UpdateLayeredWindow err = " << GetLastError();
  }
  drawn_once_ = true;
}

bool CAsAnnoPanel::GetSurfacePixel(int x, int y, std::uint32_t* argb) {
  CxAutoLock lock(lock_);
  if (!bits_ || x < 0 || y < 0 || x >= width_ || y >= height_) return false;
  *argb = bits_[static_cast<std::size_t>(y) * width_ + x];
  return true;
}

bool CAsAnnoPanel::InClient(POINT point) const {
  RECT client{};
  GetClientRect(m_hWnd, &client);
  return PtInRect(&client, point) != FALSE;
}

LRESULT CAsAnnoPanel::OnLButtonDown(UINT, WPARAM, LPARAM lparam, BOOL& handled) {
  handled = TRUE;
  const POINT point{GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam)};
  if (!IsWindowEnabled(m_hWnd) || !InClient(point)) return 0;
  CAnnoState& state = CAnnoState::Instance();
  drawing_ = true;
  down_point_ = point;
  last_point_ = point;
  stroke_start_ = CxTickClock::Now();
  stroke_shape_ = state.GetShape();
  stroke_ = AnnoStroke();
  if (stroke_shape_ == kAnnoShapePen) {
    stroke_.kind = kAnnoStrokeLine;
    stroke_.colour = state.GetColour();
    stroke_.width = state.GetWidth();
    AddStrokePoint(&stroke_, point, false);
  } else if (stroke_shape_ == kAnnoShapeRect) {
    stroke_.kind = kAnnoStrokeRect;
    stroke_.colour = state.GetColour();
    stroke_.width = state.GetWidth();
    stroke_.start = point;
    stroke_.end = point;
    rect_drag_ = true;
  }
  Redraw();
  SetFocus(m_hWnd);
  SetCapture(m_hWnd);
  InvalidateRect(m_hWnd, nullptr, FALSE);
  return 0;
}

LRESULT CAsAnnoPanel::OnMouseMove(UINT, WPARAM, LPARAM lparam, BOOL& handled) {
  handled = TRUE;
  const POINT point{GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam)};
  if (!tracking_ && InClient(point)) {
    TRACKMOUSEEVENT track{sizeof(track), TME_LEAVE, m_hWnd, 0};
    tracking_ = TrackMouseEvent(&track) != FALSE;
    InvalidateRect(m_hWnd, nullptr, FALSE);
  }
  if (!drawing_) return 0;
  last_point_ = point;
  if (CxTickClock::Now() - stroke_start_ <= static_cast<std::uint64_t>(kAnnoSettleMs)) return 0;
  if (stroke_shape_ == kAnnoShapePen) {
    if (AddStrokePoint(&stroke_, point, false)) Redraw();
  } else if (stroke_shape_ == kAnnoShapeRect) {
    stroke_.end = point;
    Redraw();
  }
  return 0;
}

LRESULT CAsAnnoPanel::OnLButtonUp(UINT, WPARAM, LPARAM lparam, BOOL& handled) {
  handled = TRUE;
  const POINT point{GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam)};
  if (IsWindowEnabled(m_hWnd) && drawing_) {
    drawing_ = false;
    Finish(point);
    InvalidateRect(m_hWnd, nullptr, FALSE);
  }
  if (GetCapture() == m_hWnd) ReleaseCapture();
  return 0;
}

LRESULT CAsAnnoPanel::OnCaptureChanged(UINT, WPARAM, LPARAM, BOOL& handled) {
  handled = TRUE;
  if (!drawing_) return 0;
  drawing_ = false;
  // A pen line ends where the mouse last was; going back to the press point would add a
  // segment the user never drew.
  Finish(stroke_shape_ == kAnnoShapePen ? last_point_ : down_point_);
  return 0;
}

LRESULT CAsAnnoPanel::OnMouseLeave(UINT, WPARAM, LPARAM, BOOL& handled) {
  handled = TRUE;
  tracking_ = false;
  return 0;
}

void CAsAnnoPanel::Finish(POINT point) {
  CAnnoState& state = CAnnoState::Instance();
  switch (stroke_shape_) {
    case kAnnoShapePen:
      AddStrokePoint(&stroke_, point, true);
      state.AddStroke(stroke_);
      break;
    case kAnnoShapeRect: {
      const double dx = stroke_.end.x - stroke_.start.x;
      const double dy = stroke_.end.y - stroke_.start.y;
      if (dx * dx + dy * dy >= 4.0) state.AddStroke(stroke_);
      rect_drag_ = false;
      break;
    }
    case kAnnoShapeEraser:
      state.RemoveStrokeAt(point);
      break;
    default:
      break;
  }
  stroke_ = AnnoStroke();
  stroke_shape_ = kAnnoShapeNone;
  Redraw();
}
