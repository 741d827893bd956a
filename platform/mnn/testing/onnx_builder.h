// Writes small ONNX networks in memory (protobuf wire format), for tests and benchmarks.
//
//   OnnxBuilder b;
//   b.Input("x", {1, 3, 0, 0});             // 0: a dimension without a fixed size
//   b.Initializer("k", {1}, {2.0f});
//   b.Node("Mul", {"x", "k"}, {"y"});
//   b.Output("y");
//   std::vector<uint8_t> model = b.Build();
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace onnx_test {

class ProtoWriter {
 public:
  void Varint(uint32_t field, uint64_t value) {
    Key(field, 0);
    Raw(value);
  }
  void Float(uint32_t field, float value) {
    Key(field, 5);
    char b[4];
    std::memcpy(b, &value, 4);
    out_.append(b, 4);
  }
  void Bytes(uint32_t field, const std::string& bytes) {
    Key(field, 2);
    Raw(bytes.size());
    out_ += bytes;
  }
  void Message(uint32_t field, const ProtoWriter& message) { Bytes(field, message.out_); }
  const std::string& str() const { return out_; }

 private:
  void Key(uint32_t field, uint32_t wire) { Raw((static_cast<uint64_t>(field) << 3) | wire); }
  void Raw(uint64_t value) {
    while (value >= 0x80) {
      out_ += static_cast<char>((value & 0x7F) | 0x80);
      value >>= 7;
    }
    out_ += static_cast<char>(value);
  }
  std::string out_;
};

struct OnnxAttr {
  static OnnxAttr Int(const std::string& name, int64_t v) { return {name, 2, {v}, 0.0f, {}}; }
  static OnnxAttr Ints(const std::string& name, std::vector<int64_t> v) {
    return {name, 7, std::move(v), 0.0f, {}};
  }
  static OnnxAttr Float(const std::string& name, float v) { return {name, 1, {}, v, {}}; }
  // |tensor|: a TensorProto's bytes (see OnnxBuilder::FloatTensor).
  static OnnxAttr Tensor(const std::string& name, const ProtoWriter& tensor) {
    return {name, 4, {}, 0.0f, tensor.str()};
  }
  std::string name;
  int type;  // 1 float, 2 int, 4 tensor, 7 ints
  std::vector<int64_t> ints;
  float f;
  std::string tensor;
};

class OnnxBuilder {
 public:
  void Input(const std::string& name, const std::vector<int64_t>& dims) {
    graph_.Message(11, ValueInfo(name, dims));
  }
  void Output(const std::string& name) { graph_.Message(12, ValueInfo(name, {})); }
  void Initializer(const std::string& name, const std::vector<int64_t>& dims,
                   const std::vector<float>& values) {
    graph_.Message(5, Tensor(name, dims, 1, values.data(), values.size() * sizeof(float)));
  }
  // An initialiser written field by field (tests of malformed tensors).
  void Initializer(const ProtoWriter& tensor) { graph_.Message(5, tensor); }
  void InitializerInt64(const std::string& name, const std::vector<int64_t>& dims,
                        const std::vector<int64_t>& values) {
    graph_.Message(5, Tensor(name, dims, 7, values.data(), values.size() * sizeof(int64_t)));
  }
  void Node(const std::string& op, const std::vector<std::string>& inputs,
            const std::vector<std::string>& outputs, const std::vector<OnnxAttr>& attrs = {}) {
    ProtoWriter node;
    for (const auto& in : inputs) node.Bytes(1, in);
    for (const auto& out : outputs) node.Bytes(2, out);
    node.Bytes(3, op + "_" + std::to_string(++node_count_));
    node.Bytes(4, op);
    for (const auto& a : attrs) {
      ProtoWriter attr;
      attr.Bytes(1, a.name);
      if (a.type == 1) attr.Float(2, a.f);
      if (a.type == 2) attr.Varint(3, static_cast<uint64_t>(a.ints[0]));
      if (a.type == 4) attr.Bytes(5, a.tensor);
      if (a.type == 7) {
        for (int64_t v : a.ints) attr.Varint(8, static_cast<uint64_t>(v));
      }
      attr.Varint(20, static_cast<uint64_t>(a.type));
      node.Message(5, attr);
    }
    graph_.Message(1, node);
  }

  std::vector<uint8_t> Build(int64_t opset = 11) const {
    ProtoWriter graph = graph_;
    graph.Bytes(2, "test");
    ProtoWriter model;
    model.Varint(1, 6);  // IR version
    model.Bytes(2, "tarvo-test");
    ProtoWriter op;
    op.Bytes(1, "");
    op.Varint(2, static_cast<uint64_t>(opset));
    model.Message(8, op);
    model.Message(7, graph);
    const std::string& s = model.str();
    return std::vector<uint8_t>(s.begin(), s.end());
  }

  // A float TensorProto holding |values| as raw bytes, whatever |dims| declare.
  static ProtoWriter FloatTensor(const std::string& name, const std::vector<int64_t>& dims,
                                 const std::vector<float>& values) {
    return Tensor(name, dims, 1, values.data(), values.size() * sizeof(float));
  }

 private:
  static ProtoWriter ValueInfo(const std::string& name, const std::vector<int64_t>& dims) {
    ProtoWriter shape;
    for (size_t i = 0; i < dims.size(); ++i) {
      ProtoWriter dim;
      if (dims[i] > 0) {
        dim.Varint(1, static_cast<uint64_t>(dims[i]));
      } else {
        dim.Bytes(2, "d" + std::to_string(i));
      }
      shape.Message(1, dim);
    }
    ProtoWriter tensor_type;
    tensor_type.Varint(1, 1);  // float
    tensor_type.Message(2, shape);
    ProtoWriter type;
    type.Message(1, tensor_type);
    ProtoWriter info;
    info.Bytes(1, name);
    info.Message(2, type);
    return info;
  }
  static ProtoWriter Tensor(const std::string& name, const std::vector<int64_t>& dims,
                            int data_type, const void* data, size_t bytes) {
    ProtoWriter t;
    for (int64_t d : dims) t.Varint(1, static_cast<uint64_t>(d));
    t.Varint(2, static_cast<uint64_t>(data_type));
    t.Bytes(8, name);
    t.Bytes(9, std::string(static_cast<const char*>(data), bytes));
    return t;
  }

  ProtoWriter graph_;
  int node_count_ = 0;
};

}  // namespace onnx_test
