#include "face_classifier.h"

#include <algorithm>

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include "face_log.h"

namespace zqfd {
namespace {

constexpr char kScoreOutput[] = "prob1";

// The face score of a crop already at the input size; false when the output is unusable.
bool Score(NetworkSlot* network, const cv::Mat& input, float* score) {
  if (!network->Run(input)) return false;
  const std::vector<float> values = network->Output(kScoreOutput);
  if (!OutputHasValues(values, 2)) return false;
  *score = values[1];
  return true;
}

}  // namespace

int FaceClassifier::Init(const ClassifierSetup& setup) {
  enabled_ = setup.enabled;
  if (!enabled_) return -1;
  input_width_ = setup.input_width;
  input_height_ = setup.input_height;
  threshold_ = setup.score_threshold;
  float score = 0;
  if (input_width_ <= 0 || input_height_ <= 0 ||
      !network_.Create(setup.model, setup.model_length, setup.thread_count, setup.forward_type,
                       BgrImageConfig(MNN::CV::BGR, 127.5f, 0.0078125f)) ||
      !Score(&network_, cv::Mat(input_height_, input_width_, CV_8UC3, cv::Scalar::all(0)),
             &score)) {
    LogLine("load cly model failed.");
    return 0;
  }
  return 1;
}

bool FaceClassifier::IsFace(const cv::Mat& image, const cv::Rect& box) {
  if (!enabled_) return true;
  const int side = std::max(box.width, box.height);
  if (side <= 0 || image.empty()) return false;
  const int left = static_cast<int>((box.width - side) * 0.5 + box.x);
  const int top = static_cast<int>((box.height - side) * 0.5 + box.y);
  const cv::Rect square(left, top, side, side);
  cv::Mat crop(side, side, image.type(), cv::Scalar::all(0));
  const cv::Rect inside = square & cv::Rect(0, 0, image.cols, image.rows);
  if (!inside.empty()) image(inside).copyTo(crop(inside - square.tl()));

  cv::Mat resized, input;
  cv::resize(crop, resized, cv::Size(input_width_, input_height_), 0, 0, cv::INTER_AREA);
  cv::transpose(resized, input);
  float score = 0;
  return Score(&network_, input, &score) && score >= threshold_;
}

}  // namespace zqfd
