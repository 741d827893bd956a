#include "onnx_graph_info.h"

#include <set>

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

enum WireType : uint32_t { kVarint = 0, kFixed64 = 1, kLengthDelimited = 2, kFixed32 = 5 };

// One protobuf message being read field by field. Every read is bounds-checked; a malformed
// message sets |failed| and ends the walk.
class WireReader {
 public:
  WireReader(const uint8_t* data, size_t size) : pos_(data), end_(data + size) {}

  struct Field {
    uint32_t number = 0;
    uint32_t wire_type = 0;
    uint64_t varint = 0;
    const uint8_t* bytes = nullptr;
    size_t length = 0;
  };

  // Reads the next field; false at the end of the message or on malformed bytes.
  bool Next(Field* field) {
    if (pos_ == end_ || failed_) return false;
    uint64_t key = 0;
    if (!ReadVarint(&key)) return Fail();
    field->number = static_cast<uint32_t>(key >> 3);
    field->wire_type = static_cast<uint32_t>(key & 7);
    if (field->number == 0) return Fail();
    switch (field->wire_type) {
      case kVarint:
        return ReadVarint(&field->varint) || Fail();
      case kFixed64:
        return Skip(8) || Fail();
      case kFixed32:
        return Skip(4) || Fail();
      case kLengthDelimited: {
        uint64_t length = 0;
        if (!ReadVarint(&length) || length > static_cast<uint64_t>(end_ - pos_)) return Fail();
        field->bytes = pos_;
        field->length = static_cast<size_t>(length);
        pos_ += length;
        return true;
      }
      default:
        return Fail();
    }
  }

  bool failed() const { return failed_; }

 private:
  bool ReadVarint(uint64_t* value) {
    *value = 0;
    for (int shift = 0; shift < 64; shift += 7) {
      if (pos_ == end_) return false;
      const uint8_t byte = *pos_++;
      *value |= static_cast<uint64_t>(byte & 0x7F) << shift;
      if ((byte & 0x80) == 0) return true;
    }
    return false;
  }
  bool Skip(size_t count) {
    if (static_cast<size_t>(end_ - pos_) < count) return false;
    pos_ += count;
    return true;
  }
  bool Fail() {
    failed_ = true;
    return false;
  }

  const uint8_t* pos_;
  const uint8_t* end_;
  bool failed_ = false;
};

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
  if (model.failed() || graph_bytes == nullptr) return std::nullopt;

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
