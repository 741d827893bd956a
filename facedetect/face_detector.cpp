#include "face_detector.h"

#include <algorithm>

#include <opencv2/imgproc.hpp>

#include "face_log.h"

namespace zqfd {
namespace {

// Maps a landmark point of the caller's frame (|width| x |height|) by the orientation.
cv::Point2f Orient(float px, float py, int orientation, float width, float height) {
  switch (orientation) {
    case 1:
      return {width - py, px};
    case 2:
      return {width - px, height - py};
    case 3:
      return {py, height - px};
    default:
      return {px, py};
  }
}

}  // namespace

int WorkingSizeOf(int size_class) {
  switch (size_class) {
    case 0:
      return 160;
    case 1:
      return 320;
    case 2:
      return 480;
    case 3:
      return 640;
    case 4:
      return 1280;
    default:
      return 480;
  }
}

int FaceDetector::Init(const std::string& model_dir, int detect_interval, float score_threshold,
                       int max_faces) {
  std::lock_guard<std::mutex> hold(lock_);
  if (initialised_) {
    LogLine("ZqFaceDetect has been initialized!");
    return -2;
  }
  engine_ = CreateFaceEngine();
  initialised_ =
      engine_ && engine_->Setup(model_dir, detect_interval, score_threshold, false, 0, max_faces);
  if (!initialised_) {
    engine_.reset();
    return -3;
  }
  return 0;
}

int FaceDetector::Release() {
  std::lock_guard<std::mutex> hold(lock_);
  if (!initialised_) {
    LogLine("ZqFaceDetect is not initialized");
    return -1;
  }
  engine_->ResetTracking();
  engine_.reset();
  initialised_ = false;
  return 0;
}

int FaceDetector::Detect(const DetectRequest& request, std::vector<zq_face_detect_result>* faces) {
  std::lock_guard<std::mutex> hold(lock_);
  if (!initialised_) {
    LogLine("ZqFaceDetect is not initialized");
    return -1;
  }
  if (request.data == nullptr) {
    LogLine("picData is null");
    return -1;
  }
  if (request.pixel_format != PIX_FMT_BGR888) {
    LogLine("picData only support PIX_FMT_BGR888");
    return -1;
  }
  if (faces == nullptr) {
    LogLine("faces is null");
    return -1;
  }

  // A frame without pixels, or one so thin that a side scales to nothing, has no working image.
  const int longer = std::max(request.width, request.height);
  const float scale = static_cast<float>(WorkingSizeOf(request.size_class)) / longer;
  const int columns = request.width > 0 ? static_cast<int>(request.width * scale) : 0;
  const int rows = request.height > 0 ? static_cast<int>(request.height * scale) : 0;
  if (request.width <= 0 || request.height <= 0 || columns <= 0 || rows <= 0) {
    LogLine("conv_pix_to_mat fail,mat.empty!");
    return -1;
  }
  const cv::Mat frame(request.height, request.width, CV_8UC3,
                      const_cast<unsigned char*>(request.data));
  cv::Mat working;
  cv::resize(frame, working, cv::Size(columns, rows), 0, 0, cv::INTER_LINEAR);
  if (working.empty()) {
    LogLine("conv_pix_to_mat fail,mat.empty!");
    return -1;
  }

  if (request.orientation != last_orientation_) engine_->ResetTracking();
  last_orientation_ = request.orientation;

  const std::vector<EngineFace> found = engine_->Run(working, request.picture);
  const float factor = static_cast<float>(longer) / std::max(working.cols, working.rows);
  const float width = static_cast<float>(request.width);
  const float height = static_cast<float>(request.height);
  std::vector<zq_face_detect_result> results;
  results.reserve(found.size());
  for (const EngineFace& face : found) {
    zq_face_detect_result record;
    record.face_id = face.face_id;
    record.x = static_cast<int32_t>(face.box.x * factor);
    record.y = static_cast<int32_t>(face.box.y * factor);
    record.width = static_cast<int32_t>(face.box.width * factor);
    record.height = static_cast<int32_t>(face.box.height * factor);
    std::copy_n(face.pose.begin(), std::min(face.pose.size(), record.pose.size()),
                record.pose.begin());
    if (!request.no_landmarks) {
      const float max_x = working.cols * factor - 1;
      const float max_y = working.rows * factor - 1;
      for (const cv::Point2f& point : face.landmarks) {
        const float px = std::min(std::max(point.x * factor, 0.0f), max_x);
        const float py = std::min(std::max(point.y * factor, 0.0f), max_y);
        const cv::Point2f mapped = Orient(px, py, request.orientation, width, height);
        record.landmarks.push_back(mapped.x);
        record.landmarks.push_back(mapped.y);
      }
    }
    results.push_back(std::move(record));
  }
  // Only now is the caller's list touched, so a failure above leaves it as it was.
  faces->clear();
  for (auto& record : results) faces->push_back(std::move(record));
  return 0;
}

}  // namespace zqfd
