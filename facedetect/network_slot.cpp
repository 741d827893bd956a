#include "network_slot.h"

#include <cmath>

namespace zqfd {

NetworkSlot::NetworkSlot() = default;

NetworkSlot::~NetworkSlot() = default;

bool NetworkSlot::Create(const unsigned char* model, size_t length, int thread_count,
                         int forward_type, const MNN::CV::ImageProcess::Config& image) {
  session_ = nullptr;
  input_ = nullptr;
  interpreter_.reset(model != nullptr ? MNN::Interpreter::createFromBuffer(model, length)
                                      : nullptr);
  if (!interpreter_) return false;
  MNN::BackendConfig backend;
  backend.precision = MNN::BackendConfig::Precision_High;
  backend.memory = MNN::BackendConfig::Memory_Normal;
  backend.power = MNN::BackendConfig::Power_Normal;
  MNN::ScheduleConfig config;
  config.type = static_cast<MNN::MNNForwardType>(forward_type);
  config.numThread = thread_count;
  config.backendConfig = &backend;
  session_ = interpreter_->createSession(config);
  if (session_ != nullptr) input_ = interpreter_->getSessionInput(session_, nullptr);
  if (input_ == nullptr) {
    session_ = nullptr;
    interpreter_.reset();
    return false;
  }
  const std::vector<int> shape = input_->shape();
  declared_height_ = shape.size() == 4 ? input_->height() : 0;
  declared_width_ = shape.size() == 4 ? input_->width() : 0;
  image_process_.reset(MNN::CV::ImageProcess::create(image));
  return true;
}

int NetworkSlot::input_height() const { return declared_height_; }
int NetworkSlot::input_width() const { return declared_width_; }

bool NetworkSlot::Run(const cv::Mat& image) {
  if (!interpreter_ || image.empty() || image.type() != CV_8UC3) return false;
  interpreter_->resizeTensor(input_, 1, 3, image.rows, image.cols);
  interpreter_->resizeSession(session_);
  return image_process_->convert(image.data, image.cols, image.rows,
                                 static_cast<int>(image.step), input_) == MNN::NO_FAILURE &&
         interpreter_->runSession(session_) == MNN::NO_FAILURE;
}

std::vector<float> NetworkSlot::Output(const char* name) const {
  if (!interpreter_) return {};
  const MNN::Tensor* output = interpreter_->getSessionOutput(session_, name);
  if (output == nullptr) return {};
  MNN::Tensor host(output, output->getDimensionType());
  if (!output->copyToHostTensor(&host)) return {};
  return std::vector<float>(host.host<float>(), host.host<float>() + host.elementSize());
}

MNN::CV::ImageProcess::Config BgrImageConfig(MNN::CV::ImageFormat destination, float mean,
                                             float normal) {
  MNN::CV::ImageProcess::Config config;
  config.sourceFormat = MNN::CV::BGR;
  config.destFormat = destination;
  for (int k = 0; k < 3; ++k) {
    config.mean[k] = mean;
    config.normal[k] = normal;
  }
  config.filterType = MNN::CV::NEAREST;
  config.wrap = MNN::CV::CLAMP_TO_EDGE;
  return config;
}

bool OutputHasValues(const std::vector<float>& values, size_t count) {
  if (values.size() != count) return false;
  for (float v : values) {
    if (!std::isfinite(v)) return false;
  }
  return true;
}

}  // namespace zqfd
