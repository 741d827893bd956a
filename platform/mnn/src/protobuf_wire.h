// Reads protobuf messages field by field, straight from their bytes.
#pragma once

#include <cstddef>
#include <cstdint>

namespace mnn_layer {

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
    const uint8_t* bytes = nullptr;  // length-delimited fields: the field's bytes
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

// Calls |visit| (uint64_t value, returning false to stop) with each varint of a packed repeated
// field. False when |visit| stops or the bytes end inside a varint.
template <typename Visit>
bool ForEachPackedVarint(const uint8_t* data, size_t length, Visit visit) {
  const uint8_t* end = data + length;
  while (data != end) {
    uint64_t value = 0;
    for (int shift = 0;; shift += 7) {
      if (data == end || shift >= 64) return false;
      const uint8_t byte = *data++;
      value |= static_cast<uint64_t>(byte & 0x7F) << shift;
      if ((byte & 0x80) == 0) break;
    }
    if (!visit(value)) return false;
  }
  return true;
}

}  // namespace mnn_layer
