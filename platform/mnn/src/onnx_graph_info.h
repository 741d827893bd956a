// Reads the names and declared shapes of an ONNX network's inputs and outputs straight from the
// protobuf bytes, which OpenCV's dnn module does not report.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace mnn_layer {

struct OnnxValueInfo {
  std::string name;
  // Declared dimensions; 0 for a dimension without a fixed size.
  std::vector<int64_t> dims;
};

struct OnnxGraphInfo {
  // Graph inputs that are not initialisers (the values the caller feeds).
  std::vector<OnnxValueInfo> inputs;
  std::vector<OnnxValueInfo> outputs;
};

// Returns nothing when the bytes are not a well-formed ONNX model with a graph that has at least
// one input and one output, or when a tensor stored in the model does not hold the values its
// shape declares (see onnx_tensor_check.h).
std::optional<OnnxGraphInfo> ReadOnnxGraphInfo(const uint8_t* data, size_t size);

}  // namespace mnn_layer
