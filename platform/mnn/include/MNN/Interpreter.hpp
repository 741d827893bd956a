// The network interpreter of the inference layer: a network created from model bytes, sessions
// that run it, and the sessions' input and output tensors.
//
// A model buffer holds an ONNX network; it is run by OpenCV's dnn module on the processor.
// Tensors are NCHW float. Every session has its own copy of the network, so different sessions
// may run on different threads at once; one session is used by one thread at a time.
// No exception leaves these functions.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "MNN/ErrorCode.hpp"
#include "MNN/Tensor.hpp"

namespace MNN {

enum MNNForwardType {
  MNN_FORWARD_CPU = 0,
  MNN_FORWARD_AUTO = 4,
};

struct BackendConfig {
  enum MemoryMode { Memory_Normal = 0, Memory_High, Memory_Low };
  enum PowerMode { Power_Normal = 0, Power_High, Power_Low };
  enum PrecisionMode { Precision_Normal = 0, Precision_High, Precision_Low };
  MemoryMode memory = Memory_Normal;
  PowerMode power = Power_Normal;
  PrecisionMode precision = Precision_Normal;
};

// Every forward type runs on the processor here. The thread count and the back-end modes are
// kept with the session; OpenCV chooses its own worker threads.
struct ScheduleConfig {
  MNNForwardType type = MNN_FORWARD_CPU;
  int numThread = 4;
  BackendConfig* backendConfig = nullptr;
};

class Session;

class Interpreter {
 public:
  // Returns null when |buffer| does not hold a network that can be loaded: for example bytes
  // still enciphered, a stored tensor whose values do not fill its declared shape, or an input
  // declaring more than 2^24 values. The bytes are copied; the caller keeps |buffer|.
  static Interpreter* createFromBuffer(const void* buffer, size_t size);
  static void destroy(Interpreter* net);
  ~Interpreter();
  Interpreter(const Interpreter&) = delete;
  Interpreter& operator=(const Interpreter&) = delete;

  // Returns null when the network cannot be prepared. The session lives until releaseSession
  // or until the interpreter is destroyed.
  Session* createSession(const ScheduleConfig& config);
  bool releaseSession(Session* session);

  // The input named |name|, or the first input when |name| is null; null when there is none.
  // It starts with the model's declared shape, 0 for a dimension without a fixed size.
  Tensor* getSessionInput(const Session* session, const char* name);
  // The output named |name|, or the first output when |name| is null; null when there is none.
  // Its shape and values are those of the last successful runSession.
  Tensor* getSessionOutput(const Session* session, const char* name);

  // Sets an input's shape (its values are reset to zero when their number changes).
  void resizeTensor(Tensor* tensor, const std::vector<int>& dims);
  void resizeTensor(Tensor* tensor, int batch, int channel, int height, int width);
  // Takes the new input shapes into account; the outputs get their shapes on the next run.
  void resizeSession(Session* session);

  // Runs the network on the session's inputs. On failure every output of the session is left
  // empty (no values) and an error code is returned.
  ErrorCode runSession(Session* session) const;

  // Names of the network's inputs and outputs, in the model's order.
  const std::vector<std::string>& inputNames() const;
  const std::vector<std::string>& outputNames() const;

 private:
  struct Model;
  explicit Interpreter(std::unique_ptr<Model> model);
  ErrorCode runNetwork(Session* session) const;

  std::unique_ptr<Model> model_;
  std::vector<std::unique_ptr<Session>> sessions_;
};

}  // namespace MNN
