// The face detection network: a single-shot detector with fixed prior boxes. It scales a whole
// working image so that its longer side is the input size, runs the network and returns face
// candidates in the working image's pixels.
//
// One object is used by one thread at a time (the engine holds the detector's lock).
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <vector>

#include <opencv2/core/mat.hpp>

#include "detection_decode.h"
#include "face_candidate.h"
#include "face_networks.h"

namespace MNN {
class Interpreter;
class Session;
class Tensor;
namespace CV {
class ImageProcess;
}
}  // namespace MNN

namespace zqfd {

// What the engine hands the network at set-up.
struct DetectionSetup {
  int input_size = 320;
  int second_size = 320;  // not read here
  const unsigned char* model = nullptr;
  size_t model_length = 0;
  int detect_interval = 1;
  float score_threshold = 0.75f;
  int thread_count = 2;
  int forward_type = 0;  // the processor back end
};

class FaceDetectionNet : public CandidateSource {
 public:
  FaceDetectionNet();
  ~FaceDetectionNet() override;
  FaceDetectionNet(const FaceDetectionNet&) = delete;
  FaceDetectionNet& operator=(const FaceDetectionNet&) = delete;

  // Creates the network from the model bytes (copied). Fails, with the log line "load detect
  // model fail.", when the bytes are no network, when it lacks one of the outputs "output0",
  // "529" and "530", or when a trial run does not give one set of values per prior.
  bool Init(const DetectionSetup& setup);

  // Candidates in |image| (8-bit BGR), best first. Empty when nothing scores above the
  // threshold, or when the network's outputs do not match the prior boxes.
  std::vector<FaceCandidate> Detect(const cv::Mat& image) override;

  int detect_interval() const { return detect_interval_; }

 private:
  // Runs the network on an image already at its scaled size; nothing when the run fails or its
  // outputs do not fit |priors|.
  std::optional<DetectionOutputs> Run(const cv::Mat& scaled, const std::vector<PriorBox>& priors);

  int detect_interval_ = 1;
  int last_input_width_ = 0;
  int last_input_height_ = 0;
  int input_size_ = 320;
  float nms_threshold_ = 0.4f;
  float score_threshold_ = 0.75f;
  bool three_level_priors_ = false;
  std::shared_ptr<MNN::CV::ImageProcess> image_process_;
  std::unique_ptr<MNN::Interpreter> interpreter_;
  MNN::Session* session_ = nullptr;  // owned by |interpreter_|
  MNN::Tensor* input_ = nullptr;     // owned by |session_|
};

}  // namespace zqfd
