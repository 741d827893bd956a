// One face followed from frame to frame by the detection engine.
#pragma once

#include <cstdint>
#include <vector>

#include <opencv2/core/types.hpp>

#include "head_pose.h"
#include "landmark_geometry.h"
#include "landmark_smoother.h"

namespace zqfd {

struct FaceTrack {
  int32_t face_id = 0;
  cv::Rect box;
  cv::Rect previous_box;
  Landmarks landmarks;  // empty for a picture face whose landmarks were not found
  Landmarks previous_landmarks;
  LandmarkSmoother smoother;
  std::vector<float> pose;  // three angles; empty without landmarks
  PoseSmoother pose_smoother;
  bool alive = true;
  KeyPoints key_points;  // from the landmarks: where the next frame's tracking crop is aligned
  int missed = 0;        // detector runs in a row that did not confirm the face
};

}  // namespace zqfd
