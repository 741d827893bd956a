#include "landmark_smoother.h"

#include <cmath>

#include <opencv2/core.hpp>

#include "zq_landmark_template.h"

namespace zqfd {
namespace {

constexpr float kPi = 3.14159265358979f;
constexpr float kMinFaceScale = 1e-3f;

// Width factors of the point groups, times the face scale.
float WidthFactor(int point) {
  if (point <= zq_landmarks::kContour.last) return 0.05f;
  if (point <= zq_landmarks::kRightBrow.last) return 0.035f;
  if (point <= zq_landmarks::kRightEye.last) return 0.02f;
  return 0.03f;  // nose and mouth
}

float Distance(const cv::Point2f& a, const cv::Point2f& b) {
  const cv::Point2f d = a - b;
  return std::sqrt(d.x * d.x + d.y * d.y);
}

}  // namespace

void LandmarkSmoother::Reset() {
  last_.release();
  history_.clear();
  for (int k = 0; k < kLimit; ++k) {
    age_weights_[k] = std::exp(-static_cast<float>(k * k) / 200.0f) / std::sqrt(200.0f * kPi);
  }
}

Landmarks LandmarkSmoother::Smooth(const Landmarks& landmarks) {
  constexpr int kPoints = zq_landmarks::kPointCount;
  if (static_cast<int>(landmarks.size()) != kPoints) return landmarks;
  const cv::Mat current = PointsToMat(landmarks);
  if (last_.empty() || cv::norm(last_) == 0.0) {
    last_ = current.clone();
    return landmarks;
  }
  history_.push_back(current.clone());
  if (static_cast<int>(history_.size()) > kLimit) history_.pop_front();

  const cv::Point2f mouth = (landmarks[51] + landmarks[57]) * 0.5f;
  const cv::Point2f eyes = (landmarks[39] + landmarks[45]) * 0.5f;
  const float face_scale =
      (Distance(landmarks[17], landmarks[0]) / 2 + Distance(mouth, eyes) / 2) / 2;
  // Widths of (nearly) zero would divide by zero: such a face is passed through.
  if (!(face_scale >= kMinFaceScale) || !std::isfinite(face_scale)) {
    last_ = current.clone();
    return landmarks;
  }

  Landmarks smoothed(kPoints);
  for (int i = 0; i < kPoints; ++i) {
    const float sigma = face_scale * WidthFactor(i);
    const float spread = 2 * sigma * sigma;
    const float normaliser = std::sqrt(kPi * spread);
    float sum_wx = 0, sum_x = 0, sum_wy = 0, sum_y = 0;
    int age = 0;
    for (auto entry = history_.rbegin(); entry != history_.rend(); ++entry, ++age) {
      const float hx = entry->at<float>(i, 0);
      const float hy = entry->at<float>(i, 1);
      const float dx = landmarks[i].x - hx;
      const float dy = landmarks[i].y - hy;
      const float wx = std::exp(-dx * dx / spread) / normaliser * age_weights_[age];
      const float wy = std::exp(-dy * dy / spread) / normaliser * age_weights_[age];
      sum_wx += wx;
      sum_x += wx * hx;
      sum_wy += wy;
      sum_y += wy * hy;
    }
    smoothed[i] = cv::Point2f(sum_x / sum_wx, sum_y / sum_wy);
  }
  last_ = PointsToMat(smoothed);
  return smoothed;
}

}  // namespace zqfd
