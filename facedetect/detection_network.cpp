#include "detection_network.h"

#include <MNN/ImageProcess.hpp>
#include <MNN/Interpreter.hpp>
#include <opencv2/imgproc.hpp>

#include "face_log.h"

namespace zqfd {
namespace {

constexpr const char* kBoxOutput = "output0";
constexpr const char* kPointOutput = "529";
constexpr const char* kScoreOutput = "530";

bool CopyOutput(MNN::Interpreter* interpreter, MNN::Session* session, const char* name,
                std::vector<float>* values) {
  MNN::Tensor* output = interpreter->getSessionOutput(session, name);
  if (output == nullptr) return false;
  MNN::Tensor host(output, output->getDimensionType());
  if (!output->copyToHostTensor(&host)) return false;
  values->assign(host.host<float>(), host.host<float>() + host.elementSize());
  return true;
}

}  // namespace

FaceDetectionNet::FaceDetectionNet() = default;

FaceDetectionNet::~FaceDetectionNet() = default;

bool FaceDetectionNet::Init(const DetectionSetup& setup) {
  detect_interval_ = setup.detect_interval;
  input_size_ = setup.input_size;
  score_threshold_ = setup.score_threshold;
  session_ = nullptr;
  input_ = nullptr;
  interpreter_.reset(MNN::Interpreter::createFromBuffer(setup.model, setup.model_length));
  if (interpreter_) {
    MNN::BackendConfig backend;
    backend.precision = MNN::BackendConfig::Precision_High;
    backend.memory = MNN::BackendConfig::Memory_Normal;
    backend.power = MNN::BackendConfig::Power_Normal;
    MNN::ScheduleConfig config;
    config.type = static_cast<MNN::MNNForwardType>(setup.forward_type);
    config.numThread = setup.thread_count;
    config.backendConfig = &backend;
    session_ = interpreter_->createSession(config);
  }
  if (session_ != nullptr) input_ = interpreter_->getSessionInput(session_, nullptr);

  bool usable = input_ != nullptr && input_size_ > 0;
  for (const char* name : {kBoxOutput, kPointOutput, kScoreOutput}) {
    usable = usable && interpreter_->getSessionOutput(session_, name) != nullptr;
  }
  if (usable) {
    MNN::CV::ImageProcess::Config process;
    process.sourceFormat = MNN::CV::BGR;
    process.destFormat = MNN::CV::BGR;
    const float mean[4] = {104.0f, 117.0f, 123.0f, 0.0f};
    for (int k = 0; k < 4; ++k) {
      process.mean[k] = mean[k];
      process.normal[k] = 1.0f;
    }
    process.filterType = MNN::CV::NEAREST;
    process.wrap = MNN::CV::CLAMP_TO_EDGE;
    image_process_.reset(MNN::CV::ImageProcess::create(process));

    // A trial run on a blank 4:3 image: the outputs must hold one set of values per prior.
    const int trial_height = input_size_ * 3 / 4;
    const cv::Mat blank(trial_height, input_size_, CV_8UC3, cv::Scalar::all(0));
    usable = trial_height > 0 &&
             Run(blank, MakePriors(input_size_, trial_height, three_level_priors_)).has_value();
  }
  if (!usable) {
    LogLine("load detect model fail.");
    session_ = nullptr;
    input_ = nullptr;
    interpreter_.reset();
    return false;
  }
  return true;
}

std::optional<DetectionOutputs> FaceDetectionNet::Run(const cv::Mat& scaled,
                                                      const std::vector<PriorBox>& priors) {
  interpreter_->resizeTensor(input_, {1, 3, scaled.rows, scaled.cols});
  interpreter_->resizeSession(session_);
  last_input_width_ = scaled.cols;
  last_input_height_ = scaled.rows;
  if (image_process_->convert(scaled.data, scaled.cols, scaled.rows, static_cast<int>(scaled.step),
                              input_) != MNN::NO_FAILURE ||
      interpreter_->runSession(session_) != MNN::NO_FAILURE) {
    return std::nullopt;
  }
  DetectionOutputs outputs;
  if (!CopyOutput(interpreter_.get(), session_, kBoxOutput, &outputs.boxes) ||
      !CopyOutput(interpreter_.get(), session_, kPointOutput, &outputs.points) ||
      !CopyOutput(interpreter_.get(), session_, kScoreOutput, &outputs.scores) ||
      !outputs.Fits(priors.size())) {
    return std::nullopt;
  }
  return outputs;
}

std::vector<FaceCandidate> FaceDetectionNet::Detect(const cv::Mat& image) {
  if (!interpreter_ || image.empty() || image.type() != CV_8UC3) return {};
  const int columns = image.cols;
  const int rows = image.rows;
  int width = input_size_;
  int height = input_size_;
  if (columns <= rows) {
    width = static_cast<int>(static_cast<long long>(input_size_) * columns / rows);
  } else {
    height = static_cast<int>(static_cast<long long>(input_size_) * rows / columns);
  }
  if (width <= 0 || height <= 0) return {};  // too thin to scale
  cv::Mat scaled;
  cv::resize(image, scaled, cv::Size(width, height), 0, 0, cv::INTER_LINEAR);
  const float fx = static_cast<float>(columns) / width;
  const float fy = static_cast<float>(rows) / height;

  const std::vector<PriorBox> priors = MakePriors(width, height, three_level_priors_);
  std::optional<DetectionOutputs> outputs = Run(scaled, priors);
  if (!outputs) return {};
  std::vector<Detection> detections =
      DecodeDetections(*outputs, priors, width, height, score_threshold_);
  SuppressOverlaps(&detections, nms_threshold_);
  return ToCandidates(detections, fx, fy, columns, rows);
}

}  // namespace zqfd
