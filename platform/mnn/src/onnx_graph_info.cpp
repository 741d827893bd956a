#include "onnx_graph_info.h"

#include <set>

#include "onnx_tensor_check.h"
#include "protobuf_wire.h"

namespace mnn_layer {
namespace {

// Field numbers of the ONNX schema that are read here.
constexpr uint32_t kModelGraph = 7;
constexpr uint32_t kGraphInitializer = 5;
constexpr uint32_t kGraphInput = 11;
constexpr uint32_t kGraphOutput = 12;
constexpr uint32_t kTensorName = 8;
constexpr uint32_t kValueInfoName = 1;
constexpr uint32_t kValueInfoType = 2;
constexpr uint32_t kTypeTensor = 1;
constexpr uint32_t kTensorTypeShape = 2;
constexpr uint32_t kShapeDim = 1;
constexpr uint32_t kDimValue = 1;

bool ReadDims(const uint8_t* data, size_t size, std::vector<int64_t>* dims) {
  WireReader shape(data, size);
  WireReader::Field field;
  while (shape.Next(&field)) {
    if (field.number != kShapeDim || field.wire_type != kLengthDelimited) continue;
    int64_t value = 0;
    WireReader dim(field.bytes, field.length);
    WireReader::Field part;
    while (dim.Next(&part)) {
      if (part.number == kDimValue && part.wire_type == kVarint) {
        value = static_cast<int64_t>(part.varint);
      }
    }
    if (dim.failed()) return false;
    dims->push_back(value < 0 ? 0 : value);
  }
  return !shape.failed();
}

bool ReadValueInfo(const uint8_t* data, size_t size, OnnxValueInfo* info) {
  WireReader reader(data, size);
  WireReader::Field field;
  while (reader.Next(&field)) {
    if (field.wire_type != kLengthDelimited) continue;
    if (field.number == kValueInfoName) {
      info->name.assign(reinterpret_cast<const char*>(field.bytes), field.length);
    } else if (field.number == kValueInfoType) {
      WireReader type(field.bytes, field.length);
      WireReader::Field type_field;
      while (type.Next(&type_field)) {
        if (type_field.number != kTypeTensor || type_field.wire_type != kLengthDelimited) continue;
        WireReader tensor(type_field.bytes, type_field.length);
        WireReader::Field tensor_field;
        while (tensor.Next(&tensor_field)) {
          if (tensor_field.number == kTensorTypeShape &&
              tensor_field.wire_type == kLengthDelimited &&
              !ReadDims(tensor_field.bytes, tensor_field.length, &info->dims)) {
            return false;
          }
        }
        if (tensor.failed()) return false;
      }
      if (type.failed()) return false;
    }
  }
  return !reader.failed() && !info->name.empty();
}

bool ReadTensorName(const uint8_t* data, size_t size, std::string* name) {
  WireReader reader(data, size);
  WireReader::Field field;
  while (reader.Next(&field)) {
    if (field.number == kTensorName && field.wire_type == kLengthDelimited) {
      name->assign(reinterpret_cast<const char*>(field.bytes), field.length);
    }
  }
  return !reader.failed();
}

}  // namespace

std::optional<OnnxGraphInfo> ReadOnnxGraphInfo(const uint8_t* data, size_t size) {
  if (data == nullptr || size == 0) return std::nullopt;
  WireReader model(data, size);
  WireReader::Field field;
  const uint8_t* graph_bytes = nullptr;
  size_t graph_length = 0;
  while (model.Next(&field)) {
    if (field.number == kModelGraph && field.wire_type == kLengthDelimited) {
      graph_bytes = field.bytes;
      graph_length = field.length;
    }
  }
  if (model.failed() || graph_bytes == nullptr ||
      !GraphTensorsHoldTheirShapes(graph_bytes, graph_length)) {
    return std::nullopt;
  }

  OnnxGraphInfo info;
  std::vector<OnnxValueInfo> declared_inputs;
  std::set<std::string> initializers;
  WireReader graph(graph_bytes, graph_length);
  while (graph.Next(&field)) {
    if (field.wire_type != kLengthDelimited) continue;
    if (field.number == kGraphInitializer) {
      std::string name;
      if (!ReadTensorName(field.bytes, field.length, &name)) return std::nullopt;
      initializers.insert(name);
    } else if (field.number == kGraphInput || field.number == kGraphOutput) {
      OnnxValueInfo value;
      if (!ReadValueInfo(field.bytes, field.length, &value)) return std::nullopt;
      (field.number == kGraphInput ? declared_inputs : info.outputs).push_back(std::move(value));
    }
  }
  if (graph.failed()) return std::nullopt;
  for (auto& input : declared_inputs) {
    if (initializers.count(input.name) == 0) info.inputs.push_back(std::move(input));
  }
  if (info.inputs.empty() || info.outputs.empty()) return std::nullopt;
  return info;
}

}  // namespace mnn_layer
