#include "tracking_engine.h"

#include <optional>
#include <utility>

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include "detection_network.h"
#include "face_classifier.h"
#include "face_log.h"
#include "face_tracker.h"
#include "head_pose.h"
#include "landmark_network.h"
#include "model_file.h"
#include "side_face_filter.h"

namespace zqfd {
namespace {

// Below this mean the classifier is not asked: too dark to judge.
constexpr double kBrightEnough = 30.0;
// Candidates below this width or height start no track.
constexpr int kSmallestFace = 5;
constexpr int kCounterWrap = 100000;
// While nothing is tracked, the first frames are searched more often.
constexpr int kEarlyFrames = 9;
constexpr int kEarlyInterval = 3;

int MissLimitOf(int interval) {
  if (interval > 3) return 1;
  if (interval >= 2) return 2;
  return 4;
}

using ModelBytes = std::optional<std::vector<unsigned char>>;

const unsigned char* DataOf(const ModelBytes& bytes) {
  return bytes ? bytes->data() : nullptr;
}
size_t LengthOf(const ModelBytes& bytes) { return bytes ? bytes->size() : 0; }

}  // namespace

FaceTrackingEngine::FaceTrackingEngine() = default;

FaceTrackingEngine::~FaceTrackingEngine() = default;

bool FaceTrackingEngine::Setup(const std::string& model_dir, int detect_interval,
                               float score_threshold, bool classifier_enabled,
                               int head_pose_network, int max_faces) {
  const ModelBytes detection = ReadModelFile(model_dir + kDetectionModelFile);
  const ModelBytes image_landmarks = ReadModelFile(model_dir + kImageLandmarkModelFile);
  const ModelBytes tracking_landmarks = ReadModelFile(model_dir + kTrackingLandmarkModelFile);
  const ModelBytes classifier_model =
      classifier_enabled ? ReadModelFile(model_dir + kClassifierModelFile) : std::nullopt;
  const bool pose_network = head_pose_network == 1;
  const ModelBytes pose_model =
      pose_network ? ReadModelFile(model_dir + kHeadPoseModelFile) : std::nullopt;
  if (detect_interval < 1) {
    LogLine("detect interval %d is below 1: detecting at interval 1", detect_interval);
    detect_interval = 1;
  }

  DetectionSetup detection_setup;
  detection_setup.model = DataOf(detection);
  detection_setup.model_length = LengthOf(detection);
  detection_setup.detect_interval = detect_interval;
  detection_setup.score_threshold = score_threshold;
  auto detector = std::make_unique<FaceDetectionNet>();
  if (!detector->Init(detection_setup)) return false;

  LandmarkSetup landmark_setup;
  landmark_setup.image_model = DataOf(image_landmarks);
  landmark_setup.image_model_length = LengthOf(image_landmarks);
  landmark_setup.tracking_model = DataOf(tracking_landmarks);
  landmark_setup.tracking_model_length = LengthOf(tracking_landmarks);
  auto landmarks = std::make_unique<LandmarkNetwork>();
  if (!landmarks->Init(landmark_setup)) return false;

  ClassifierSetup classifier_setup;
  classifier_setup.enabled = classifier_enabled;
  classifier_setup.model = DataOf(classifier_model);
  classifier_setup.model_length = LengthOf(classifier_model);
  auto classifier = std::make_unique<FaceClassifier>();
  if (classifier->Init(classifier_setup) == 0) return false;

  HeadPoseSetup pose_setup;
  pose_setup.network_enabled = pose_network ? 1 : 0;
  pose_setup.model = DataOf(pose_model);
  pose_setup.model_length = LengthOf(pose_model);
  auto pose = std::make_unique<HeadPoseEstimator>();
  if (pose->Init(pose_setup) == 0) return false;

  EngineNetworks networks;
  networks.detector = std::move(detector);
  networks.landmarks = std::move(landmarks);
  networks.classifier = std::move(classifier);
  networks.pose = std::move(pose);
  Start(std::move(networks), detect_interval, max_faces);
  return true;
}

void FaceTrackingEngine::Start(EngineNetworks networks, int detect_interval, int max_faces) {
  networks_ = std::move(networks);
  detect_interval_ = detect_interval < 1 ? 1 : detect_interval;
  miss_limit_ = MissLimitOf(detect_interval_);
  max_faces_ = max_faces;
  frame_counter_ = 0;
  next_face_id_ = 0;
  detected_last_frame_ = false;
  candidates_.clear();
  tracks_.clear();
  last_columns_ = 0;
  last_rows_ = 0;
  last_was_picture_ = false;
}

std::vector<EngineFace> FaceTrackingEngine::Run(const cv::Mat& image, bool picture) {
  if (image.empty() || image.type() != CV_8UC3 || !networks_.detector) return {};
  return picture ? RunPicture(image) : RunVideo(image);
}

void FaceTrackingEngine::ResetTracking() { tracks_.clear(); }

std::vector<EngineFace> FaceTrackingEngine::RunPicture(const cv::Mat& image) {
  last_was_picture_ = true;
  std::vector<FaceCandidate> candidates =
      FilterSideFaces(networks_.detector->Detect(image), image.cols, image.rows);
  KeepFaces(image, cv::mean(image)[0], &candidates);
  std::vector<FaceTrack> faces;
  for (const FaceCandidate& candidate : candidates) {
    if (static_cast<int>(faces.size()) >= max_faces_) break;
    FaceTrack face;
    face.face_id = static_cast<int32_t>(faces.size());
    face.box = cv::Rect(candidate.x, candidate.y, candidate.width, candidate.height);
    // A face whose landmarks are not found keeps its box, without landmarks or pose.
    Locate(image, face.box, &face);
    faces.push_back(std::move(face));
  }
  tracks_ = std::move(faces);
  return Report();
}

std::vector<EngineFace> FaceTrackingEngine::RunVideo(const cv::Mat& image) {
  if (image.cols != last_columns_ || image.rows != last_rows_ || last_was_picture_) {
    tracks_.clear();
    // Candidates found on another frame size or on a picture are not this video's.
    candidates_.clear();
    detected_last_frame_ = false;
  }
  last_was_picture_ = false;
  last_columns_ = image.cols;
  last_rows_ = image.rows;

  cv::cvtColor(image, grey_, cv::COLOR_BGR2GRAY);
  if (detected_last_frame_) KeepFaces(image, cv::mean(grey_)[0], &candidates_);
  for (FaceTrack& track : tracks_) {
    if (track.alive) FollowTrack(image, &track);
  }
  for (FaceTrack& track : tracks_) {
    if (!track.alive || track.landmarks.empty()) continue;
    const PoseAngles angles = networks_.pose->Estimate(image, track.box, track.landmarks);
    const PoseAngles kept =
        networks_.pose->smoothed() ? track.pose_smoother.Smooth(angles) : angles;
    track.pose.assign(kept.begin(), kept.end());
  }

  std::vector<cv::Rect> boxes;
  for (const FaceCandidate& c : candidates_) {
    if (c.width >= kSmallestFace && c.height >= kSmallestFace) {
      boxes.emplace_back(c.x, c.y, c.width, c.height);
    }
  }
  StartTracks(image, UpdateTracks(&tracks_, boxes, detected_last_frame_, miss_limit_));
  detected_last_frame_ = false;
  candidates_.clear();

  const int interval =
      frame_counter_ < kEarlyFrames && tracks_.empty() ? kEarlyInterval : detect_interval_;
  if (frame_counter_ % interval == 0) {
    detected_last_frame_ = true;
    candidates_ = FilterSideFaces(networks_.detector->Detect(image), image.cols, image.rows);
  }
  if (++frame_counter_ >= kCounterWrap) frame_counter_ = 0;
  return Report();
}

void FaceTrackingEngine::KeepFaces(const cv::Mat& image, double brightness,
                                   std::vector<FaceCandidate>* candidates) {
  if (brightness < kBrightEnough) return;
  std::vector<FaceCandidate> kept;
  for (const FaceCandidate& c : *candidates) {
    if (networks_.classifier->IsFace(image, cv::Rect(c.x, c.y, c.width, c.height))) {
      kept.push_back(c);
    }
  }
  *candidates = std::move(kept);
}

void FaceTrackingEngine::FollowTrack(const cv::Mat& image, FaceTrack* track) {
  Landmarks found;
  if (track->landmarks.empty() || !networks_.landmarks->Track(image, track->key_points, &found)) {
    // No crop or no output: the track stands where it was.
    track->previous_box = track->box;
    return;
  }
  track->landmarks = track->smoother.Smooth(found);
  track->previous_box = track->box;
  track->box = BoundingRect(track->landmarks);
  track->key_points = KeyPointsOf(track->landmarks);
}

void FaceTrackingEngine::StartTracks(const cv::Mat& image, const std::vector<cv::Rect>& boxes) {
  for (const cv::Rect& box : boxes) {
    if (static_cast<int>(tracks_.size()) >= max_faces_) break;
    FaceTrack track;
    track.box = box;
    track.previous_box = box;
    // A candidate whose landmarks are not found starts no track.
    if (!Locate(image, box, &track)) continue;
    track.face_id = next_face_id_;
    if (++next_face_id_ >= kCounterWrap) next_face_id_ = 0;
    track.previous_landmarks = track.landmarks;
    tracks_.push_back(std::move(track));
  }
}

bool FaceTrackingEngine::Locate(const cv::Mat& image, const cv::Rect& box, FaceTrack* face) {
  Landmarks landmarks;
  if (!networks_.landmarks->FromBox(image, box, &landmarks)) return false;
  face->landmarks = std::move(landmarks);
  face->key_points = KeyPointsOf(face->landmarks);
  const PoseAngles angles = networks_.pose->Estimate(image, box, face->landmarks);
  face->pose.assign(angles.begin(), angles.end());
  return true;
}

std::vector<EngineFace> FaceTrackingEngine::Report() const {
  std::vector<EngineFace> faces;
  for (const FaceTrack& track : tracks_) {
    EngineFace face;
    face.face_id = track.face_id;
    face.box = track.box;
    face.landmarks = track.landmarks;
    face.pose = track.pose;
    faces.push_back(std::move(face));
  }
  return faces;
}

}  // namespace zqfd
