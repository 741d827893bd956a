// The face classifier: confirms or rejects a detection candidate with a 48 x 48 network whose
// output "prob1" holds (not a face, face) scores.
//
// Used by one thread at a time (the engine holds the detector's lock).
#pragma once

#include <cstddef>

#include "face_networks.h"
#include "network_slot.h"

namespace zqfd {

// Name of the classifier model file inside the model folder.
constexpr char kClassifierModelFile[] = "/FC_A0_N_v1.m.bin";

// What the engine hands the classifier at set-up.
struct ClassifierSetup {
  bool enabled = false;
  int input_width = 48;
  int input_height = 48;
  const unsigned char* model = nullptr;
  size_t model_length = 0;
  float score_threshold = 0.15f;
  int thread_count = 1;
  int forward_type = 0;
};

class FaceClassifier : public FaceVerifier {
 public:
  // -1 when disabled (no network), 1 when the network is ready, 0 after the log line "load cly
  // model failed." when the bytes are no network or it gives no two values at "prob1".
  int Init(const ClassifierSetup& setup);

  // True when the classifier is disabled or the face score of the box's square crop (black
  // outside the image) reaches the threshold; false for an empty box or an unusable output.
  bool IsFace(const cv::Mat& image, const cv::Rect& box) override;

 private:
  bool enabled_ = false;
  int input_width_ = 48;
  int input_height_ = 48;
  float threshold_ = 0.15f;
  NetworkSlot network_;
};

}  // namespace zqfd
