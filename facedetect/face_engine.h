// The engine behind one detector handle: loads the model files and turns a working image into
// a list of faces. A detector uses its engine from one thread at a time, under its own lock.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <opencv2/core/mat.hpp>
#include <opencv2/core/types.hpp>

namespace zqfd {

// One face in working-image pixels.
struct EngineFace {
  int32_t face_id = 0;
  cv::Rect box;
  std::vector<cv::Point2f> landmarks;
  std::vector<float> pose;
};

class FaceEngine {
 public:
  virtual ~FaceEngine() = default;
  // Loads the model files from |model_dir| and creates the networks; false when one fails.
  virtual bool Setup(const std::string& model_dir, int detect_interval, float score_threshold,
                     bool classifier_enabled, int head_pose_network, int max_faces) = 0;
  // Faces in |image| (8-bit BGR). |picture|: detect afresh instead of tracking.
  virtual std::vector<EngineFace> Run(const cv::Mat& image, bool picture) = 0;
  // Forgets every tracked face.
  virtual void ResetTracking() = 0;
};

using FaceEngineFactory = std::unique_ptr<FaceEngine> (*)();

// A new engine from the current factory.
std::unique_ptr<FaceEngine> CreateFaceEngine();

// Replaces the factory (tests use a scripted engine); null restores the library's own.
// Thread-safe.
void SetFaceEngineFactory(FaceEngineFactory factory);

}  // namespace zqfd
