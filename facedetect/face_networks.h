// What the face detection engine asks of its networks. The library's own networks implement
// these over model files; tests give the engine scripted ones.
#pragma once

#include <array>
#include <vector>

#include <opencv2/core/mat.hpp>
#include <opencv2/core/types.hpp>

#include "face_candidate.h"
#include "landmark_geometry.h"

namespace zqfd {

class CandidateSource {
 public:
  virtual ~CandidateSource() = default;
  // Face candidates in |image| (8-bit BGR), in working-image pixels, best first.
  virtual std::vector<FaceCandidate> Detect(const cv::Mat& image) = 0;
};

class LandmarkSource {
 public:
  virtual ~LandmarkSource() = default;
  // The 95 landmarks of the face in |box|; false when there is no crop or no usable output.
  virtual bool FromBox(const cv::Mat& image, const cv::Rect& box, Landmarks* landmarks) = 0;
  // The 95 landmarks of a face followed from its previous key points; false, with |landmarks|
  // unchanged, when there is no crop or no usable output.
  virtual bool Track(const cv::Mat& image, const KeyPoints& key_points, Landmarks* landmarks) = 0;
};

class FaceVerifier {
 public:
  virtual ~FaceVerifier() = default;
  // True when the candidate in |box| is a face (always, when verification is off).
  virtual bool IsFace(const cv::Mat& image, const cv::Rect& box) = 0;
};

using PoseAngles = std::array<float, 3>;

class PoseSource {
 public:
  virtual ~PoseSource() = default;
  // Three head-pose angles in degrees; zeros when none can be estimated.
  virtual PoseAngles Estimate(const cv::Mat& image, const cv::Rect& box,
                              const Landmarks& landmarks) = 0;
  // True when the angles come from a network and are smoothed per track.
  virtual bool smoothed() const = 0;
};

}  // namespace zqfd
