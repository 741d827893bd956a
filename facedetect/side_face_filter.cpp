#include "side_face_filter.h"

#include <algorithm>
#include <cmath>

namespace zqfd {
namespace {

constexpr float kSmallShare = 4.0f;     // below a quarter of the frame a candidate is tested
constexpr float kWidthPerSpread = 5.0f;  // a side face is over five eye (or mouth) widths wide

float Distance(const cv::Point& a, const cv::Point& b) {
  return std::hypot(static_cast<float>(a.x - b.x), static_cast<float>(a.y - b.y));
}

// The cross product of (a - n) and (b - n), as the test writes it.
long long Turn(const cv::Point& a, const cv::Point& b, const cv::Point& n) {
  return static_cast<long long>(a.y - n.y) * (b.x - n.x) -
         static_cast<long long>(a.x - n.x) * (b.y - n.y);
}

bool IsSideFace(const FaceCandidate& c, int columns, int rows) {
  if (static_cast<float>(rows) / c.height < kSmallShare) return false;
  if (rows >= columns && std::max(columns, rows) / c.width < 4) return false;
  if (c.key_points.size() < 5) return false;
  const cv::Point& e1 = c.key_points[0];
  const cv::Point& e2 = c.key_points[1];
  const cv::Point& nose = c.key_points[2];
  const cv::Point& m1 = c.key_points[3];
  const cv::Point& m2 = c.key_points[4];
  const int centre = c.x + c.width / 2;
  bool tested = false;
  if ((e1.x > centre && e2.x > centre) || (m1.x > centre && m2.x > centre)) {
    tested = Turn(m2, e2, nose) < 0;
  } else if ((e1.x < centre && e2.x < centre) || (m1.x < centre && m2.x < centre)) {
    tested = Turn(m1, e1, nose) > 0;
  }
  if (!tested) return false;
  const float width = static_cast<float>(c.width);
  return width / (Distance(e1, e2) + 0.001f) > kWidthPerSpread ||
         width / (Distance(m1, m2) + 0.001f) > kWidthPerSpread;
}

}  // namespace

std::vector<FaceCandidate> FilterSideFaces(const std::vector<FaceCandidate>& candidates,
                                           int columns, int rows) {
  std::vector<FaceCandidate> kept;
  for (const FaceCandidate& c : candidates) {
    if (c.width < 1 || c.height < 1) continue;
    if (!IsSideFace(c, columns, rows)) kept.push_back(c);
  }
  return kept;
}

}  // namespace zqfd
