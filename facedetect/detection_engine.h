// The library's engine for now: the detection network alone. It reports each candidate of a
// run as a face with its position in the list as identifier, without landmarks or pose, and
// keeps no tracks.
#pragma once

#include "detection_network.h"
#include "face_engine.h"

namespace zqfd {

// Name of the detection model file inside the model folder.
constexpr char kDetectionModelFile[] = "/FD_J_N_v2.m.bin";

class DetectionEngine : public FaceEngine {
 public:
  bool Setup(const std::string& model_dir, int detect_interval, float score_threshold,
             bool classifier_enabled, int head_pose_network, int max_faces) override;
  std::vector<EngineFace> Run(const cv::Mat& image, bool picture) override;
  void ResetTracking() override {}

 private:
  FaceDetectionNet detector_;
  int max_faces_ = 0;
};

}  // namespace zqfd
