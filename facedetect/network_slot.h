// One small network of the face library (landmarks, classifier, head pose): its interpreter,
// session, input tensor and image converter, created once and run on images already at the
// size the caller sets.
//
// Used by one thread at a time (the engine holds the detector's lock).
#pragma once

#include <cstddef>
#include <memory>
#include <vector>

#include <MNN/ImageProcess.hpp>
#include <MNN/Interpreter.hpp>
#include <opencv2/core/mat.hpp>

namespace zqfd {

class NetworkSlot {
 public:
  NetworkSlot();
  ~NetworkSlot();
  NetworkSlot(const NetworkSlot&) = delete;
  NetworkSlot& operator=(const NetworkSlot&) = delete;

  // Creates the network from |model| (copied) with a session of |thread_count| threads at high
  // precision, and the converter |image|. False when the bytes are no network.
  bool Create(const unsigned char* model, size_t length, int thread_count, int forward_type,
              const MNN::CV::ImageProcess::Config& image);

  // The input's declared height and width, 0 where the model leaves them free.
  int input_height() const;
  int input_width() const;

  // Converts |image| (8-bit BGR, |height| x |width| after the caller's resizing) into an input
  // of 1 x 3 x height x width and runs the network. False when the conversion or the run fails.
  bool Run(const cv::Mat& image);

  // The values of output |name| (the first output when null) after the last run; empty when it
  // is missing or the run failed.
  std::vector<float> Output(const char* name) const;

 private:
  std::unique_ptr<MNN::Interpreter> interpreter_;
  MNN::Session* session_ = nullptr;  // owned by |interpreter_|
  MNN::Tensor* input_ = nullptr;     // owned by |session_|
  int declared_height_ = 0;
  int declared_width_ = 0;
  std::unique_ptr<MNN::CV::ImageProcess> image_process_;
};

// A converter from 8-bit BGR to |destination| order, (pixel - mean) * normal in each colour
// channel, nearest-neighbour, clamped at the edges.
MNN::CV::ImageProcess::Config BgrImageConfig(MNN::CV::ImageFormat destination, float mean,
                                             float normal);

// True when a network's output holds exactly |count| values, all finite.
bool OutputHasValues(const std::vector<float>& values, size_t count);

}  // namespace zqfd
