#include "landmark_network.h"

#include <opencv2/imgproc.hpp>

#include "face_alignment.h"
#include "face_log.h"
#include "zq_landmark_template.h"

namespace zqfd {
namespace {

constexpr size_t kOutputValues = 2 * zq_landmarks::kPointCount;

// Creates one network and checks it on a blank crop of its input size.
bool CreateLandmarkSlot(NetworkSlot* slot, const unsigned char* model, size_t length,
                        const LandmarkSetup& setup) {
  if (!slot->Create(model, length, setup.thread_count, setup.forward_type,
                    BgrImageConfig(MNN::CV::RGB, 127.0f, 0.017543860f)) ||
      slot->input_width() <= 0 || slot->input_height() <= 0) {
    return false;
  }
  const cv::Mat blank(slot->input_height(), slot->input_width(), CV_8UC3, cv::Scalar::all(0));
  return slot->Run(blank) && slot->Output(nullptr).size() == kOutputValues;
}

// The points of the last run, relative to the crop; false when the output is not 95 finite
// (x, y) pairs.
bool ReadPoints(const NetworkSlot& slot, std::vector<float>* values) {
  *values = slot.Output(nullptr);
  return OutputHasValues(*values, kOutputValues);
}

}  // namespace

bool LandmarkNetwork::Init(const LandmarkSetup& setup) {
  if (!CreateLandmarkSlot(&tracking_, setup.tracking_model, setup.tracking_model_length, setup)) {
    LogLine("load ld model failed.");
    return false;
  }
  if (!CreateLandmarkSlot(&image_, setup.image_model, setup.image_model_length, setup)) {
    LogLine("load ld model i failed.");
    return false;
  }
  return true;
}

bool LandmarkNetwork::FromBox(const cv::Mat& image, const cv::Rect& box, Landmarks* landmarks) {
  SquareCrop crop;
  if (!MakeSquareCrop(image, box, &crop)) return false;
  cv::Mat resized;
  cv::resize(crop.image, resized, cv::Size(image_.input_width(), image_.input_height()), 0, 0,
             cv::INTER_LINEAR);
  std::vector<float> values;
  if (!image_.Run(resized) || !ReadPoints(image_, &values)) return false;
  const float side = static_cast<float>(crop.side);
  landmarks->resize(zq_landmarks::kPointCount);
  for (int i = 0; i < zq_landmarks::kPointCount; ++i) {
    (*landmarks)[i] = cv::Point2f(side * values[2 * i] + crop.left,
                                  side * values[2 * i + 1] + crop.top);
  }
  return true;
}

bool LandmarkNetwork::Track(const cv::Mat& image, const KeyPoints& key_points,
                            Landmarks* landmarks) {
  AlignedCrop crop;
  if (!MakeAlignedCrop(image, key_points, tracking_.input_width(), &crop)) return false;
  std::vector<float> values;
  if (!tracking_.Run(crop.image) || !ReadPoints(tracking_, &values)) return false;
  const cv::Matx23d back = crop.to_image;
  Landmarks points(zq_landmarks::kPointCount);
  for (int i = 0; i < zq_landmarks::kPointCount; ++i) {
    const double x = values[2 * i] * crop.image.cols;
    const double y = values[2 * i + 1] * crop.image.rows;
    points[i] = cv::Point2f(static_cast<float>(back(0, 0) * x + back(0, 1) * y + back(0, 2)),
                            static_cast<float>(back(1, 0) * x + back(1, 1) * y + back(1, 2)));
  }
  *landmarks = std::move(points);
  return true;
}

}  // namespace zqfd
