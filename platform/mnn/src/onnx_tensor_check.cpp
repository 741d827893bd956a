#include "onnx_tensor_check.h"

#include "protobuf_wire.h"

namespace mnn_layer {
namespace {

// Field numbers of the ONNX schema that are read here.
constexpr uint32_t kGraphNode = 1;
constexpr uint32_t kGraphInitializer = 5;
constexpr uint32_t kGraphSparseInitializer = 15;
constexpr uint32_t kNodeAttribute = 5;
constexpr uint32_t kAttributeTensor = 5;
constexpr uint32_t kAttributeGraph = 6;
constexpr uint32_t kAttributeTensors = 10;
constexpr uint32_t kAttributeGraphs = 11;
constexpr uint32_t kAttributeSparseTensor = 22;
constexpr uint32_t kAttributeSparseTensors = 23;
constexpr uint32_t kSparseValues = 1;
constexpr uint32_t kSparseIndices = 2;
constexpr uint32_t kTensorDims = 1;
constexpr uint32_t kTensorDataType = 2;
constexpr uint32_t kTensorFloatData = 4;
constexpr uint32_t kTensorInt32Data = 5;
constexpr uint32_t kTensorStringData = 6;
constexpr uint32_t kTensorInt64Data = 7;
constexpr uint32_t kTensorRawData = 9;
constexpr uint32_t kTensorDoubleData = 10;
constexpr uint32_t kTensorUint64Data = 11;
constexpr uint32_t kTensorExternalData = 13;
constexpr uint32_t kTensorDataLocation = 14;

// Subgraphs nest inside node attributes; deeper models are refused rather than walked.
constexpr int kMaxGraphDepth = 16;

// Above this many values a shape cannot be held by any model file we read.
constexpr uint64_t kValueLimit = uint64_t{1} << 40;

// Where a data type keeps its values when they are not raw bytes.
struct DataTypeLayout {
  uint32_t typed_field;        // 0: none (raw bytes only)
  uint32_t raw_bytes;          // bytes per value in raw data; 0: no raw form (text)
  uint32_t entries_per_value;  // entries of the typed field per value (2 for complex numbers)
};

bool LayoutOf(uint64_t data_type, DataTypeLayout* layout) {
  switch (data_type) {
    case 1:  // float
      *layout = {kTensorFloatData, 4, 1};
      return true;
    case 2:   // uint8
    case 3:   // int8
    case 9:   // bool
      *layout = {kTensorInt32Data, 1, 1};
      return true;
    case 4:   // uint16
    case 5:   // int16
    case 10:  // float16
    case 16:  // bfloat16
      *layout = {kTensorInt32Data, 2, 1};
      return true;
    case 6:  // int32
      *layout = {kTensorInt32Data, 4, 1};
      return true;
    case 7:  // int64
      *layout = {kTensorInt64Data, 8, 1};
      return true;
    case 8:  // string
      *layout = {kTensorStringData, 0, 1};
      return true;
    case 11:  // double
      *layout = {kTensorDoubleData, 8, 1};
      return true;
    case 12:  // uint32
    case 13:  // uint64
      *layout = {kTensorUint64Data, data_type == 12 ? 4u : 8u, 1};
      return true;
    case 14:  // complex64
      *layout = {kTensorFloatData, 8, 2};
      return true;
    case 15:  // complex128
      *layout = {kTensorDoubleData, 16, 2};
      return true;
    default:
      return false;
  }
}

// Bytes of one entry of a fixed-width typed field; 0 for varint fields and text.
uint32_t FixedEntryBytes(uint32_t field) {
  if (field == kTensorFloatData) return 4;
  if (field == kTensorDoubleData) return 8;
  return 0;
}

// Adds the entries of one occurrence of a repeated typed field (packed or not) to |count|.
bool CountEntries(const WireReader::Field& field, uint64_t* count) {
  const uint32_t fixed = FixedEntryBytes(field.number);
  if (field.number == kTensorStringData) {
    if (field.wire_type != kLengthDelimited) return false;
    ++*count;
    return true;
  }
  if (field.wire_type == kLengthDelimited) {
    uint64_t entries = 0;
    if (fixed != 0) {
      if (field.length % fixed != 0) return false;
      entries = field.length / fixed;
    } else if (!ForEachPackedVarint(field.bytes, field.length, [&entries](uint64_t) {
                 ++entries;
                 return true;
               })) {
      return false;
    }
    *count += entries;
    return true;
  }
  const uint32_t single_wire = fixed == 4 ? kFixed32 : fixed == 8 ? kFixed64 : kVarint;
  if (field.wire_type != single_wire) return false;
  ++*count;
  return true;
}

bool TensorHoldsItsShape(const uint8_t* data, size_t length) {
  uint64_t values = 1;
  uint64_t data_type = 0;
  bool raw = false;
  size_t raw_length = 0;
  bool external = false;
  // Entries per typed field, indexed by field number.
  uint64_t typed[kTensorUint64Data + 1] = {};
  WireReader reader(data, length);
  WireReader::Field field;
  auto multiply = [&values](uint64_t dim) {
    // A negative dimension reads as a value above the limit.
    if (dim >= kValueLimit || (dim != 0 && values > (kValueLimit - 1) / dim)) return false;
    values *= dim;
    return true;
  };
  while (reader.Next(&field)) {
    switch (field.number) {
      case kTensorDims:
        if (field.wire_type == kVarint) {
          if (!multiply(field.varint)) return false;
        } else if (field.wire_type != kLengthDelimited ||
                   !ForEachPackedVarint(field.bytes, field.length, multiply)) {
          return false;
        }
        break;
      case kTensorDataType:
        if (field.wire_type != kVarint) return false;
        data_type = field.varint;
        break;
      case kTensorRawData:
        if (field.wire_type != kLengthDelimited) return false;
        raw = true;
        raw_length = field.length;
        break;
      case kTensorFloatData:
      case kTensorInt32Data:
      case kTensorStringData:
      case kTensorInt64Data:
      case kTensorDoubleData:
      case kTensorUint64Data:
        if (!CountEntries(field, &typed[field.number])) return false;
        break;
      case kTensorExternalData:
        external = true;
        break;
      case kTensorDataLocation:
        if (field.wire_type != kVarint) return false;
        external = external || field.varint != 0;
        break;
      default:
        break;
    }
  }
  DataTypeLayout layout;
  if (reader.failed() || external || !LayoutOf(data_type, &layout)) return false;
  // Values in a field that does not belong to the data type, or in two places, are malformed.
  for (uint32_t number = kTensorFloatData; number <= kTensorUint64Data; ++number) {
    if (number != layout.typed_field && typed[number] != 0) return false;
  }
  if (raw) {
    return layout.raw_bytes != 0 && typed[layout.typed_field] == 0 &&
           raw_length == values * layout.raw_bytes;
  }
  return typed[layout.typed_field] == values * layout.entries_per_value;
}

bool GraphHoldsItsShapes(const uint8_t* data, size_t length, int depth);

bool SparseTensorHoldsItsShape(const uint8_t* data, size_t length) {
  WireReader reader(data, length);
  WireReader::Field field;
  while (reader.Next(&field)) {
    if ((field.number == kSparseValues || field.number == kSparseIndices) &&
        (field.wire_type != kLengthDelimited || !TensorHoldsItsShape(field.bytes, field.length))) {
      return false;
    }
  }
  return !reader.failed();
}

bool AttributeHoldsItsShapes(const uint8_t* data, size_t length, int depth) {
  WireReader reader(data, length);
  WireReader::Field field;
  while (reader.Next(&field)) {
    bool sound = true;
    switch (field.number) {
      case kAttributeTensor:
      case kAttributeTensors:
        sound = field.wire_type == kLengthDelimited &&
                TensorHoldsItsShape(field.bytes, field.length);
        break;
      case kAttributeSparseTensor:
      case kAttributeSparseTensors:
        sound = field.wire_type == kLengthDelimited &&
                SparseTensorHoldsItsShape(field.bytes, field.length);
        break;
      case kAttributeGraph:
      case kAttributeGraphs:
        sound = field.wire_type == kLengthDelimited &&
                GraphHoldsItsShapes(field.bytes, field.length, depth + 1);
        break;
      default:
        break;
    }
    if (!sound) return false;
  }
  return !reader.failed();
}

bool NodeHoldsItsShapes(const uint8_t* data, size_t length, int depth) {
  WireReader reader(data, length);
  WireReader::Field field;
  while (reader.Next(&field)) {
    if (field.number == kNodeAttribute &&
        (field.wire_type != kLengthDelimited ||
         !AttributeHoldsItsShapes(field.bytes, field.length, depth))) {
      return false;
    }
  }
  return !reader.failed();
}

bool GraphHoldsItsShapes(const uint8_t* data, size_t length, int depth) {
  if (depth > kMaxGraphDepth) return false;
  WireReader reader(data, length);
  WireReader::Field field;
  while (reader.Next(&field)) {
    bool sound = true;
    switch (field.number) {
      case kGraphNode:
        sound = field.wire_type == kLengthDelimited &&
                NodeHoldsItsShapes(field.bytes, field.length, depth);
        break;
      case kGraphInitializer:
        sound = field.wire_type == kLengthDelimited &&
                TensorHoldsItsShape(field.bytes, field.length);
        break;
      case kGraphSparseInitializer:
        sound = field.wire_type == kLengthDelimited &&
                SparseTensorHoldsItsShape(field.bytes, field.length);
        break;
      default:
        break;
    }
    if (!sound) return false;
  }
  return !reader.failed();
}

}  // namespace

bool GraphTensorsHoldTheirShapes(const uint8_t* graph, size_t length) {
  return GraphHoldsItsShapes(graph, length, 0);
}

}  // namespace mnn_layer
