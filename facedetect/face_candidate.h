// One face found by the detection network, in pixels of the image it ran on.
#pragma once

#include <cstdint>
#include <vector>

#include <opencv2/core/types.hpp>

namespace zqfd {

struct FaceCandidate {
  int32_t unused = 0;  // not set by the network
  float score = 0.0f;
  int32_t x = 0;
  int32_t y = 0;
  int32_t width = 0;
  int32_t height = 0;
  // Two eyes, nose, two mouth corners.
  std::vector<cv::Point> key_points;
};

}  // namespace zqfd
