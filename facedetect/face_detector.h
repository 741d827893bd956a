// The detector behind one handle: its engine, the initialised flag and the orientation of the
// previous call. Its lock serialises initialisation, detection and release.
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "face_engine.h"
#include "zq_face_detect_api.h"

namespace zqfd {

// The arguments of one detect call.
struct DetectRequest {
  const unsigned char* data = nullptr;
  int width = 0;
  int height = 0;
  int pixel_format = 0;
  int orientation = 0;
  int size_class = 0;
  bool no_landmarks = false;
  bool picture = false;
};

// Longer side of the working image for a size class.
int WorkingSizeOf(int size_class);

class FaceDetector {
 public:
  FaceDetector() = default;
  FaceDetector(const FaceDetector&) = delete;
  FaceDetector& operator=(const FaceDetector&) = delete;

  // 0, -2 when already initialised, -3 when the engine cannot be set up.
  int Init(const std::string& model_dir, int detect_interval, float score_threshold, int max_faces);
  // 0, or -1 (with a log line) when not initialised.
  int Release();
  // 0, or -1 (with a log line) for a refused input; |faces| is only changed on success.
  int Detect(const DetectRequest& request, std::vector<zq_face_detect_result>* faces);

 private:
  std::mutex lock_;  // Protects every member below.
  bool initialised_ = false;
  int last_orientation_ = 1;
  std::unique_ptr<FaceEngine> engine_;
};

}  // namespace zqfd
