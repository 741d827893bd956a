#include "landmark_geometry.h"

#include <algorithm>
#include <cfloat>

#include "zq_landmark_template.h"

namespace zqfd {

cv::Rect BoundingRect(const Landmarks& points) {
  if (points.empty()) return cv::Rect();
  int min_x = 100000, min_y = 100000, max_x = 0, max_y = 0;
  for (const cv::Point2f& p : points) {
    const int x = static_cast<int>(p.x);
    const int y = static_cast<int>(p.y);
    min_x = std::min(min_x, x);
    min_y = std::min(min_y, y);
    max_x = std::max(max_x, x);
    max_y = std::max(max_y, y);
  }
  return cv::Rect(min_x, min_y, max_x - min_x, max_y - min_y);
}

float IntersectionOverUnion(const cv::Rect& a, const cv::Rect& b) {
  const float intersection = static_cast<float>((a & b).area());
  const float united = static_cast<float>(a.area()) + static_cast<float>(b.area()) - intersection;
  return united < FLT_EPSILON ? 0.0f : intersection / united;
}

cv::Mat PointsToMat(const Landmarks& points) {
  cv::Mat matrix(static_cast<int>(points.size()), 2, CV_32F);
  for (int i = 0; i < matrix.rows; ++i) {
    matrix.at<float>(i, 0) = points[i].x;
    matrix.at<float>(i, 1) = points[i].y;
  }
  return matrix;
}

KeyPoints KeyPointsOf(const Landmarks& landmarks) {
  KeyPoints key;
  for (int k = 0; k < 4; ++k) {
    const auto& pair = zq_landmarks::kKeyPointPairs[k];
    key[k] = (landmarks[pair[0]] + landmarks[pair[1]]) * 0.5f;
  }
  return key;
}

}  // namespace zqfd
