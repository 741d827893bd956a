#include "MNN/Interpreter.hpp"

#include <algorithm>
#include <exception>
#include <utility>

#include <opencv2/core.hpp>
#include <opencv2/dnn.hpp>

#include "onnx_graph_info.h"

namespace MNN {

struct Interpreter::Model {
  std::vector<uchar> bytes;
  mnn_layer::OnnxGraphInfo graph;
  std::vector<std::string> input_names;
  std::vector<std::string> output_names;
};

// One prepared copy of the network with its own input and output tensors.
class Session {
 public:
  cv::dnn::Net net;
  ScheduleConfig schedule;
  BackendConfig backend;
  std::vector<std::pair<std::string, std::unique_ptr<Tensor>>> inputs;
  std::vector<std::pair<std::string, std::unique_ptr<Tensor>>> outputs;
};

namespace {

// Reads the network; OpenCV reports malformed or unsupported models by throwing.
bool ReadNet(const std::vector<uchar>& bytes, cv::dnn::Net* net) {
  try {
    *net = cv::dnn::readNetFromONNX(bytes);
    return !net->empty();
  } catch (const std::exception&) {
    return false;
  }
}

Tensor* FindTensor(const std::vector<std::pair<std::string, std::unique_ptr<Tensor>>>& list,
                   const char* name) {
  if (list.empty()) return nullptr;
  if (name == nullptr) return list.front().second.get();
  for (const auto& entry : list) {
    if (entry.first == name) return entry.second.get();
  }
  return nullptr;
}

// Inputs are allocated at their declared size when a session is created; a declaration beyond
// this many values is no network we can run.
constexpr int64_t kMaxDeclaredInputValues = int64_t{1} << 24;

bool InputsFitInMemory(const mnn_layer::OnnxGraphInfo& graph) {
  for (const auto& input : graph.inputs) {
    int64_t values = 1;
    for (int64_t d : input.dims) {
      if (d > 0 && values > kMaxDeclaredInputValues / d) return false;
      if (d > 0) values *= d;
    }
  }
  return true;
}

// The declared shape, with 0 for a dimension without a fixed size.
std::vector<int> InitialShape(const std::vector<int64_t>& dims) {
  std::vector<int> shape;
  for (int64_t d : dims) shape.push_back(d > 0 ? static_cast<int>(d) : 0);
  return shape;
}

}  // namespace

Interpreter::Interpreter(std::unique_ptr<Model> model) : model_(std::move(model)) {}

Interpreter::~Interpreter() = default;

Interpreter* Interpreter::createFromBuffer(const void* buffer, size_t size) {
  if (buffer == nullptr || size == 0) return nullptr;
  const auto* bytes = static_cast<const uint8_t*>(buffer);
  auto graph = mnn_layer::ReadOnnxGraphInfo(bytes, size);
  if (!graph || !InputsFitInMemory(*graph)) return nullptr;
  auto model = std::make_unique<Model>();
  model->bytes.assign(bytes, bytes + size);
  cv::dnn::Net probe;
  if (!ReadNet(model->bytes, &probe)) return nullptr;
  model->graph = std::move(*graph);
  for (const auto& input : model->graph.inputs) model->input_names.push_back(input.name);
  for (const auto& output : model->graph.outputs) model->output_names.push_back(output.name);
  return new Interpreter(std::move(model));
}

void Interpreter::destroy(Interpreter* net) { delete net; }

Session* Interpreter::createSession(const ScheduleConfig& config) {
  auto session = std::make_unique<Session>();
  if (!ReadNet(model_->bytes, &session->net)) return nullptr;
  try {
    session->net.setPreferableBackend(cv::dnn::DNN_BACKEND_OPENCV);
    session->net.setPreferableTarget(cv::dnn::DNN_TARGET_CPU);
  } catch (const std::exception&) {
    return nullptr;
  }
  session->schedule = config;
  if (config.backendConfig != nullptr) session->backend = *config.backendConfig;
  session->schedule.backendConfig = nullptr;
  for (const auto& input : model_->graph.inputs) {
    session->inputs.emplace_back(
        input.name, std::unique_ptr<Tensor>(new Tensor(InitialShape(input.dims), Tensor::CAFFE)));
  }
  for (const auto& output : model_->graph.outputs) {
    session->outputs.emplace_back(
        output.name, std::unique_ptr<Tensor>(new Tensor(std::vector<int>{0}, Tensor::CAFFE)));
  }
  sessions_.push_back(std::move(session));
  return sessions_.back().get();
}

bool Interpreter::releaseSession(Session* session) {
  auto it =
      std::find_if(sessions_.begin(), sessions_.end(),
                   [session](const std::unique_ptr<Session>& s) { return s.get() == session; });
  if (it == sessions_.end()) return false;
  sessions_.erase(it);
  return true;
}

Tensor* Interpreter::getSessionInput(const Session* session, const char* name) {
  return session ? FindTensor(session->inputs, name) : nullptr;
}

Tensor* Interpreter::getSessionOutput(const Session* session, const char* name) {
  return session ? FindTensor(session->outputs, name) : nullptr;
}

void Interpreter::resizeTensor(Tensor* tensor, const std::vector<int>& dims) {
  if (tensor == nullptr) return;
  for (int d : dims) {
    if (d < 0) return;
  }
  tensor->reshape(dims);
}

void Interpreter::resizeTensor(Tensor* tensor, int batch, int channel, int height, int width) {
  resizeTensor(tensor, std::vector<int>{batch, channel, height, width});
}

void Interpreter::resizeSession(Session* /*session*/) {
  // OpenCV sizes its layers from the inputs at each run; nothing to prepare ahead.
}

ErrorCode Interpreter::runSession(Session* session) const {
  if (session == nullptr) return INVALID_VALUE;
  const ErrorCode result = runNetwork(session);
  if (result != NO_FAILURE) {
    for (auto& output : session->outputs) output.second->reshape({0});
  }
  return result;
}

ErrorCode Interpreter::runNetwork(Session* session) const {
  try {
    for (const auto& input : session->inputs) {
      const Tensor& tensor = *input.second;
      std::vector<int> dims = tensor.shape();
      if (dims.empty() || tensor.elementSize() == 0) return INPUT_DATA_ERROR;
      cv::Mat blob(static_cast<int>(dims.size()), dims.data(), CV_32F, tensor.host<float>());
      session->net.setInput(blob.clone(), input.first);
    }
    std::vector<cv::Mat> results;
    session->net.forward(results, model_->output_names);
    if (results.size() != session->outputs.size()) return COMPUTE_SIZE_ERROR;
    for (size_t i = 0; i < results.size(); ++i) {
      cv::Mat result = results[i];
      if (result.depth() != CV_32F) result.convertTo(result, CV_32F);
      if (!result.isContinuous()) result = result.clone();
      std::vector<int> shape(result.size.p, result.size.p + result.dims);
      Tensor& out = *session->outputs[i].second;
      out.reshape(shape);
      if (static_cast<size_t>(out.elementSize()) != result.total()) return COMPUTE_SIZE_ERROR;
      std::copy(result.ptr<float>(), result.ptr<float>() + result.total(), out.host<float>());
    }
  } catch (const std::exception&) {
    return COMPUTE_SIZE_ERROR;
  }
  return NO_FAILURE;
}

const std::vector<std::string>& Interpreter::inputNames() const { return model_->input_names; }
const std::vector<std::string>& Interpreter::outputNames() const { return model_->output_names; }

}  // namespace MNN
