// Head pose: three angles per face, either from a 64 x 64 network (output "pred_pose/mul_24")
// or, when that network is not enabled, from the landmarks by a perspective-n-point solution
// against the 3D face model of head_pose_model.h.
//
// The geometric angles are (-a0, a1, a2) of OpenCV's decomposition of [R | t] (degrees), with
// R from the iterative solvePnP. The model's axes (+x to the image's left, +y up) make it face
// away from the camera in image axes, so a frontal face reads a roll near +-180 degrees: callers
// receive the angles in this convention.
//
// Used by one thread at a time (the engine holds the detector's lock).
#pragma once

#include <cstddef>
#include <deque>
#include <vector>

#include "face_networks.h"
#include "network_slot.h"

namespace zqfd {

// Name of the head-pose model file inside the model folder.
constexpr char kHeadPoseModelFile[] = "/FP_A_N_v1.m.bin";

// What the engine hands the estimator at set-up.
struct HeadPoseSetup {
  bool present = true;
  int network_enabled = 0;
  const unsigned char* model = nullptr;
  size_t model_length = 0;
  int input_width = 64;
  int input_height = 64;
  int thread_count = 1;
  int forward_type = 0;
};

class HeadPoseEstimator : public PoseSource {
 public:
  // -1 when not present, 1 for the geometric pose or a ready network, 0 after the log line "load
  // pose model failed." when the bytes are no network or it gives no three values.
  int Init(const HeadPoseSetup& setup);

  // Zeros when the estimator is not present, the landmarks are too few (85 are read), the
  // points give no solution, or (network) the crop is empty or the output unusable.
  PoseAngles Estimate(const cv::Mat& image, const cv::Rect& box,
                      const Landmarks& landmarks) override;
  bool smoothed() const override { return network_enabled_; }

 private:
  PoseAngles FromLandmarks(const cv::Mat& image, const Landmarks& landmarks) const;
  PoseAngles FromNetwork(const cv::Mat& image, const cv::Rect& box);

  bool present_ = false;
  bool network_enabled_ = false;
  int input_width_ = 64;
  int input_height_ = 64;
  NetworkSlot network_;
};

// Steadies network pose values of one face track: a weighted mean of the last 20 values,
// weighted by age and by closeness to the new value.
class PoseSmoother {
 public:
  PoseSmoother() { Reset(); }
  // Forgets the history; sets the limit (20) and the age weights.
  void Reset();
  PoseAngles Smooth(const PoseAngles& angles);
  size_t history_size() const { return history_.size(); }

 private:
  static constexpr int kLimit = 20;
  std::deque<PoseAngles> history_;  // newest last
  bool has_result_ = false;
  PoseAngles result_ = {0, 0, 0};
  float age_weights_[kLimit] = {};
};

}  // namespace zqfd
