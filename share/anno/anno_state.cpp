#include "share/anno/anno_state.h"

#include <algorithm>
#include <cmath>

#include "share/window/gdiplus_include.h"

namespace {

int Distance(POINT a, POINT b) {
  const double dx = a.x - b.x;
  const double dy = a.y - b.y;
  return static_cast<int>(std::sqrt(dx * dx + dy * dy));
}

// `rect` grown by `band` on every side, edges included.
bool InBand(LONG left, LONG top, LONG right, LONG bottom, int band, POINT point) {
  return point.x >= left - band && point.x <= right + band && point.y >= top - band &&
         point.y <= bottom + band;
}

bool RectStrokeHit(const AnnoStroke& stroke, POINT point) {
  const LONG left = std::min(stroke.start.x, stroke.end.x);
  const LONG right = std::max(stroke.start.x, stroke.end.x);
  const LONG top = std::min(stroke.start.y, stroke.end.y);
  const LONG bottom = std::max(stroke.start.y, stroke.end.y);
  const int band = kAnnoRectHitBand;
  return InBand(left, top, right, top, band, point) ||       // Top edge.
         InBand(left, bottom, right, bottom, band, point) ||  // Bottom edge.
         InBand(left, top, left, bottom, band, point) ||      // Left edge.
         InBand(right, top, right, bottom, band, point);      // Right edge.
}

bool LineStrokeHit(const AnnoStroke& stroke, POINT point) {
  if (stroke.points.size() < 2) return false;
  std::vector<Gdiplus::Point> curve;
  curve.reserve(stroke.points.size());
  for (const POINT& p : stroke.points) curve.emplace_back(p.x, p.y);
  Gdiplus::GraphicsPath path;
  if (path.AddCurve(curve.data(), static_cast<INT>(curve.size())) != Gdiplus::Ok) return false;
  const INT count = path.GetPointCount();
  if (count < 2) return false;
  std::vector<Gdiplus::PointF> points(count);
  if (path.GetPathPoints(points.data(), count) != Gdiplus::Ok) return false;
  for (INT i = 0; i + 1 < count; ++i) {
    const auto left = static_cast<LONG>(std::min(points[i].X, points[i + 1].X));
    const auto right = static_cast<LONG>(std::max(points[i].X, points[i + 1].X));
    const auto top = static_cast<LONG>(std::min(points[i].Y, points[i + 1].Y));
    const auto bottom = static_cast<LONG>(std::max(points[i].Y, points[i + 1].Y));
    if (InBand(left, top, right, bottom, kAnnoLineHitBand, point)) return true;
  }
  return false;
}

}  // namespace

bool AddStrokePoint(AnnoStroke* stroke, POINT point, bool forced) {
  if (stroke->points.empty()) {
    stroke->points.push_back(point);
    return true;
  }
  POINT& last = stroke->points.back();
  if (last.x == point.x && last.y == point.y) return false;
  if (Distance(last, point) >= kAnnoPointSpacing) {
    stroke->points.push_back(point);
    return true;
  }
  if (!forced) return false;
  last = point;
  return true;
}

bool StrokeHit(const AnnoStroke& stroke, POINT point) {
  switch (stroke.kind) {
    case kAnnoStrokeRect:
      return RectStrokeHit(stroke, point);
    case kAnnoStrokeLine:
      return LineStrokeHit(stroke, point);
    default:
      return false;
  }
}

CAnnoState& CAnnoState::Instance() {
  static CAnnoState* state = new CAnnoState();
  return *state;
}

bool CAnnoState::SetShape(int shape) {
  if (shape < kAnnoShapeNone || shape > kAnnoShapeEraser) return false;
  shape_ = shape;
  return true;
}

bool CAnnoState::RemoveStrokeAt(POINT point) {
  for (auto it = strokes_.begin(); it != strokes_.end(); ++it) {
    if (StrokeHit(*it, point)) {
      strokes_.erase(it);
      return true;
    }
  }
  return false;
}
