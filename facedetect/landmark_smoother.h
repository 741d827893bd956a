// Steadies a face track's landmarks over time: each point becomes a weighted mean of its last
// 30 positions, weighted by age (a Gaussian of 10 frames) and by closeness to the new position
// (a Gaussian whose width depends on the point's group and the face's size), so that small
// jitter is smoothed while a real move is followed at once.
#pragma once

#include <deque>

#include <opencv2/core/mat.hpp>

#include "landmark_geometry.h"

namespace zqfd {

class LandmarkSmoother {
 public:
  LandmarkSmoother() { Reset(); }

  // Forgets the history; sets the limit (30) and the age weights.
  void Reset();

  // The smoothed landmarks for the new ones (95 points). The first call, and a call with a face
  // scale of (nearly) 0 or another count of points, return |landmarks| unsmoothed.
  Landmarks Smooth(const Landmarks& landmarks);

  size_t history_size() const { return history_.size(); }

 private:
  static constexpr int kLimit = 30;
  cv::Mat last_;                 // 95 x 2 float; empty at first
  std::deque<cv::Mat> history_;  // oldest first
  float age_weights_[kLimit] = {};
};

}  // namespace zqfd
