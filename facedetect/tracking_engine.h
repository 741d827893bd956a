// The library's face detection engine. In picture mode every call detects afresh: the detection
// network finds candidates, the landmark image network places each face's points and the head
// pose is computed. In video mode faces are tracked: every frame each track follows its face
// with the landmark tracking network from its previous key points, smoothed over time; the
// detection network runs only on a schedule (frames 0, 3 and 6 while nothing is tracked, then
// one frame in every detection interval) and its candidates, applied on the next frame, confirm
// tracks and start new ones up to the maximum number of faces.
//
// An engine is used by one thread at a time (the detector's lock, face_engine.h).
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "face_engine.h"
#include "face_networks.h"
#include "face_track.h"

namespace zqfd {

// Name of the detection model file inside the model folder.
constexpr char kDetectionModelFile[] = "/FD_J_N_v2.m.bin";

// The networks an engine runs.
struct EngineNetworks {
  std::unique_ptr<CandidateSource> detector;
  std::unique_ptr<LandmarkSource> landmarks;
  std::unique_ptr<FaceVerifier> classifier;
  std::unique_ptr<PoseSource> pose;
};

class FaceTrackingEngine : public FaceEngine {
 public:
  FaceTrackingEngine();
  ~FaceTrackingEngine() override;

  // Reads the detection and the two landmark model files, the classifier's when
  // |classifier_enabled| and the head-pose network's when |head_pose_network| is 1, creates the
  // networks in that order and starts. False at the first network that cannot be created (it
  // logs why). A detection interval below 1 runs as 1 (with a log line).
  bool Setup(const std::string& model_dir, int detect_interval, float score_threshold,
             bool classifier_enabled, int head_pose_network, int max_faces) override;

  // Starts with the given networks (every one must be set): the miss limit follows from the
  // interval (4; 2 for intervals 2 and 3; 1 above), counters and tracks are cleared.
  void Start(EngineNetworks networks, int detect_interval, int max_faces);

  std::vector<EngineFace> Run(const cv::Mat& image, bool picture) override;
  void ResetTracking() override;

 private:
  std::vector<EngineFace> RunPicture(const cv::Mat& image);
  std::vector<EngineFace> RunVideo(const cv::Mat& image);
  // Candidates of |image| the classifier accepts, when the image is bright enough to judge.
  void KeepFaces(const cv::Mat& image, double brightness, std::vector<FaceCandidate>* candidates);
  void FollowTrack(const cv::Mat& image, FaceTrack* track);
  void StartTracks(const cv::Mat& image, const std::vector<cv::Rect>& boxes);
  // Landmarks, key points and pose of a new face in |box|; false when no landmarks are found.
  bool Locate(const cv::Mat& image, const cv::Rect& box, FaceTrack* face);
  std::vector<EngineFace> Report() const;

  EngineNetworks networks_;
  int detect_interval_ = 1;
  int miss_limit_ = 4;
  int max_faces_ = 0;
  std::vector<FaceCandidate> candidates_;  // of the last detector run, used on the next frame
  std::vector<FaceTrack> tracks_;
  int frame_counter_ = 0;
  int next_face_id_ = 0;
  bool detected_last_frame_ = false;
  cv::Mat grey_;
  int last_columns_ = 0;
  int last_rows_ = 0;
  bool last_was_picture_ = false;
};

}  // namespace zqfd
