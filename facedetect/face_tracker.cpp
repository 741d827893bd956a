#include "face_tracker.h"

#include <algorithm>
#include <cmath>

namespace zqfd {
namespace {

constexpr float kPairingOverlap = 0.3f;
constexpr float kLargestTurn = 60.0f;
constexpr int kLeftEyeInner = 45;
constexpr int kRightEyeInner = 51;

// Pairs tracks with boxes; marks |box_taken|.
void PairWithBoxes(std::vector<FaceTrack>* tracks, const std::vector<cv::Rect>& boxes,
                   int miss_limit, std::vector<bool>* box_taken) {
  const size_t rows = tracks->size();
  const size_t columns = boxes.size();
  std::vector<float> overlap(rows * columns, 0.0f);
  for (size_t t = 0; t < rows; ++t) {
    if (!(*tracks)[t].alive) continue;
    for (size_t b = 0; b < columns; ++b) {
      overlap[t * columns + b] = IntersectionOverUnion((*tracks)[t].box, boxes[b]);
    }
  }
  std::vector<bool> paired(rows, false);
  while (!overlap.empty()) {
    const auto best = std::max_element(overlap.begin(), overlap.end());
    if (!(*best > kPairingOverlap)) break;
    const size_t at = static_cast<size_t>(best - overlap.begin());
    const size_t t = at / columns;
    const size_t b = at % columns;
    paired[t] = true;
    (*box_taken)[b] = true;
    for (size_t k = 0; k < columns; ++k) overlap[t * columns + k] = 0.0f;
    for (size_t k = 0; k < rows; ++k) overlap[k * columns + b] = 0.0f;
  }
  for (size_t t = 0; t < rows; ++t) {
    FaceTrack& track = (*tracks)[t];
    if (paired[t]) {
      track.alive = true;
      track.missed = 0;
    } else if (++track.missed >= miss_limit) {
      track.alive = false;
    }
  }
}

bool TurnedOrGrewTooFast(const FaceTrack& track) {
  if (track.landmarks.size() > kRightEyeInner && track.previous_landmarks.size() > kRightEyeInner &&
      EyeLineTurn(EyeLineAngle(track.landmarks), EyeLineAngle(track.previous_landmarks)) >
          kLargestTurn) {
    return true;
  }
  return static_cast<double>(track.box.area()) > 2.0 * track.previous_box.area();
}

}  // namespace

float EyeLineAngle(const Landmarks& landmarks) {
  const cv::Point2f a = landmarks[kLeftEyeInner];
  const cv::Point2f b = landmarks[kRightEyeInner];
  float angle = std::atan((a.y - b.y) / (b.x - a.x)) * 180.0f / 3.14159265358979f;
  if (a.x > b.x && a.y > b.y) {
    angle += 180.0f;
  } else if (a.x > b.x && b.y > a.y) {
    angle -= 180.0f;
  }
  return angle;
}

float EyeLineTurn(float a, float b) {
  if ((a > 90.0f && b < -90.0f) || (a < -90.0f && b > 90.0f)) {
    return 360.0f - std::fabs(a) - std::fabs(b);
  }
  return std::fabs(a - b);
}

std::vector<cv::Rect> UpdateTracks(std::vector<FaceTrack>* tracks,
                                   const std::vector<cv::Rect>& boxes, bool detector_ran,
                                   int miss_limit) {
  std::vector<cv::Rect> unpaired;
  if (detector_ran) {
    std::vector<bool> taken(boxes.size(), false);
    PairWithBoxes(tracks, boxes, miss_limit, &taken);
    for (size_t b = 0; b < boxes.size(); ++b) {
      if (!taken[b]) unpaired.push_back(boxes[b]);
    }
  }
  for (FaceTrack& track : *tracks) {
    if (TurnedOrGrewTooFast(track)) track.alive = false;
    track.previous_landmarks = track.landmarks;
  }
  tracks->erase(std::remove_if(tracks->begin(), tracks->end(),
                               [](const FaceTrack& track) { return !track.alive; }),
                tracks->end());
  return unpaired;
}

}  // namespace zqfd
