#include "head_pose.h"

#include <algorithm>
#include <cmath>
#include <exception>

#include <opencv2/calib3d.hpp>
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include "face_log.h"
#include "head_pose_model.h"

namespace zqfd {
namespace {

constexpr char kPoseOutput[] = "pred_pose/mul_24";
constexpr float kPi = 3.14159265358979f;
constexpr float kCropMargin = 0.6f;
constexpr size_t kLandmarksRead = 85;

bool Finite(const PoseAngles& angles) {
  return std::all_of(angles.begin(), angles.end(), [](float a) { return std::isfinite(a); });
}

}  // namespace

int HeadPoseEstimator::Init(const HeadPoseSetup& setup) {
  present_ = setup.present;
  if (!present_) return -1;
  network_enabled_ = setup.network_enabled != 0;
  if (!network_enabled_) return 1;
  input_width_ = setup.input_width;
  input_height_ = setup.input_height;
  if (input_width_ <= 0 || input_height_ <= 0 ||
      !network_.Create(setup.model, setup.model_length, setup.thread_count, setup.forward_type,
                       BgrImageConfig(MNN::CV::BGR, 0.0f, 1.0f)) ||
      !network_.Run(cv::Mat(input_height_, input_width_, CV_8UC3, cv::Scalar::all(0))) ||
      !OutputHasValues(network_.Output(kPoseOutput), 3)) {
    LogLine("load pose model failed.");
    return 0;
  }
  return 1;
}

PoseAngles HeadPoseEstimator::Estimate(const cv::Mat& image, const cv::Rect& box,
                                       const Landmarks& landmarks) {
  if (!present_ || image.empty()) return {0, 0, 0};
  const PoseAngles angles =
      network_enabled_ ? FromNetwork(image, box) : FromLandmarks(image, landmarks);
  return Finite(angles) ? angles : PoseAngles{0, 0, 0};
}

PoseAngles HeadPoseEstimator::FromLandmarks(const cv::Mat& image,
                                            const Landmarks& landmarks) const {
  if (landmarks.size() < kLandmarksRead) return {0, 0, 0};
  std::vector<cv::Point3f> model;
  std::vector<cv::Point2f> seen;
  for (const PoseModelPoint& point : kPoseModel) {
    model.emplace_back(point.x, point.y, point.z);
    seen.push_back(landmarks[point.landmark]);
  }
  const double focal = image.cols;
  const cv::Matx33d camera(focal, 0, image.cols / 2.0, 0, focal, image.rows / 2.0, 0, 0, 1);
  const cv::Mat distortion = cv::Mat::zeros(4, 1, CV_64F);
  try {
    cv::Mat rotation_vector, translation;
    if (!cv::solvePnP(model, seen, camera, distortion, rotation_vector, translation, false,
                      cv::SOLVEPNP_ITERATIVE)) {
      return {0, 0, 0};
    }
    cv::Mat rotation;
    cv::Rodrigues(rotation_vector, rotation);
    cv::Mat projection;
    cv::hconcat(rotation, translation, projection);
    cv::Mat camera_out, rotation_out, translation_out, euler;
    cv::decomposeProjectionMatrix(projection, camera_out, rotation_out, translation_out,
                                  cv::noArray(), cv::noArray(), cv::noArray(), euler);
    return {static_cast<float>(-euler.at<double>(0)), static_cast<float>(euler.at<double>(1)),
            static_cast<float>(euler.at<double>(2))};
  } catch (const std::exception&) {
    // Degenerate points (all on one spot, for example) have no solution.
    return {0, 0, 0};
  }
}

PoseAngles HeadPoseEstimator::FromNetwork(const cv::Mat& image, const cv::Rect& box) {
  const int left = static_cast<int>(std::max(0.0f, box.x - kCropMargin * box.width));
  const int right = static_cast<int>(
      std::min(static_cast<float>(image.cols - 1), box.x + box.width + kCropMargin * box.width));
  const int top = static_cast<int>(std::max(0.0f, box.y - kCropMargin * box.height));
  const int bottom = static_cast<int>(std::min(static_cast<float>(image.rows - 1),
                                               box.y + box.height + kCropMargin * box.height));
  if (right <= left || bottom <= top) return {0, 0, 0};
  const cv::Rect region =
      cv::Rect(left, top, right - left, bottom - top) & cv::Rect(0, 0, image.cols, image.rows);
  if (region.empty()) return {0, 0, 0};
  cv::Mat resized, stretched;
  cv::resize(image(region), resized, cv::Size(input_width_, input_height_), 0, 0,
             cv::INTER_LINEAR);
  cv::normalize(resized, stretched, 0, 255, cv::NORM_MINMAX);
  if (!network_.Run(stretched)) return {0, 0, 0};
  const std::vector<float> values = network_.Output(kPoseOutput);
  if (!OutputHasValues(values, 3)) return {0, 0, 0};
  return {values[1], values[0], values[2]};
}

void PoseSmoother::Reset() {
  history_.clear();
  has_result_ = false;
  result_ = {0, 0, 0};
  for (int k = 0; k < kLimit; ++k) {
    age_weights_[k] = std::exp(-static_cast<float>(k * k) / 200.0f) / std::sqrt(200.0f * kPi);
  }
}

PoseAngles PoseSmoother::Smooth(const PoseAngles& angles) {
  history_.push_back(angles);
  if (static_cast<int>(history_.size()) > kLimit) history_.pop_front();
  if (!has_result_) {
    has_result_ = true;
    result_ = angles;
    return result_;
  }
  constexpr float kSpread = 2 * 5.0f * 5.0f;
  const float normaliser = std::sqrt(kPi * kSpread);
  for (int c = 0; c < 3; ++c) {
    float sum_w = 0, sum = 0;
    int age = 0;
    for (auto entry = history_.rbegin(); entry != history_.rend(); ++entry, ++age) {
      const float d = angles[c] - (*entry)[c];
      const float w = std::exp(-d * d / kSpread) / normaliser * age_weights_[age];
      sum_w += w;
      sum += w * (*entry)[c];
    }
    result_[c] = sum / sum_w;
  }
  return result_;
}

}  // namespace zqfd
