#include "MNN/Interpreter.hpp"

#include <memory>

#include <gtest/gtest.h>

#include "onnx_builder.h"

namespace {

using MNN::Interpreter;
using MNN::Tensor;

using onnx_test::ProtoWriter;

// y = x * 2 + 1 and z = max-pool 2x2 of x, on an input of free height and width. |extra| adds
// further initialisers or nodes.
std::vector<uint8_t> TwoOutputNet(void (*extra)(onnx_test::OnnxBuilder*) = nullptr) {
  onnx_test::OnnxBuilder b;
  b.Input("x", {1, 2, 0, 0});
  if (extra != nullptr) extra(&b);
  b.Initializer("two", {1}, {2.0f});
  b.Initializer("one", {1}, {1.0f});
  b.Node("Mul", {"x", "two"}, {"x2"});
  b.Node("Add", {"x2", "one"}, {"y"});
  b.Node("MaxPool", {"x"}, {"z"},
         {onnx_test::OnnxAttr::Ints("kernel_shape", {2, 2}),
          onnx_test::OnnxAttr::Ints("strides", {2, 2})});
  b.Output("y");
  b.Output("z");
  return b.Build();
}

struct Net {
  explicit Net(const std::vector<uint8_t>& bytes)
      : interpreter(Interpreter::createFromBuffer(bytes.data(), bytes.size())) {}
  std::unique_ptr<Interpreter> interpreter;
};

TEST(MnnInterpreter, RefusesBytesThatAreNoNetwork) {
  std::vector<uint8_t> model = TwoOutputNet();
  std::vector<uint8_t> scrambled = model;
  for (auto& b : scrambled) b ^= 0xA5;
  std::vector<uint8_t> truncated(model.begin(), model.begin() + model.size() / 2);
  std::vector<uint8_t> junk(64, 0x5A);
  for (const auto* bytes : {&scrambled, &truncated, &junk}) {
    EXPECT_EQ(Interpreter::createFromBuffer(bytes->data(), bytes->size()), nullptr);
  }
  EXPECT_EQ(Interpreter::createFromBuffer(nullptr, 10), nullptr);
  EXPECT_EQ(Interpreter::createFromBuffer(model.data(), 0), nullptr);
}

// A tensor written field by field: dimensions, data type, name, then |write| adds the values.
ProtoWriter TensorFields(const std::vector<int64_t>& dims, int data_type,
                         void (*write)(ProtoWriter*)) {
  ProtoWriter t;
  for (int64_t d : dims) t.Varint(1, static_cast<uint64_t>(d));
  t.Varint(2, static_cast<uint64_t>(data_type));
  t.Bytes(8, "extra");
  write(&t);
  return t;
}

std::string FloatBytes(const std::vector<float>& values) {
  return std::string(reinterpret_cast<const char*>(values.data()), values.size() * sizeof(float));
}

// Tensors whose values do not fill their declared shape are refused before the network is
// built, wherever they sit: OpenCV's reader would copy the declared size out of the model.
TEST(MnnInterpreter, RefusesTensorsThatDoNotHoldTheirShape) {
  struct Case {
    const char* what;
    void (*extra)(onnx_test::OnnxBuilder*);
  };
  const Case cases[] = {
      {"2^26 floats declared, 4 held",
       [](onnx_test::OnnxBuilder* b) {
         b->Initializer(onnx_test::OnnxBuilder::FloatTensor("extra", {1 << 26}, {1, 2, 3, 4}));
       }},
      {"raw bytes one short",
       [](onnx_test::OnnxBuilder* b) {
         b->Initializer(TensorFields({2, 2}, 1, [](ProtoWriter* t) {
           t->Bytes(9, FloatBytes({1, 2, 3, 4}).substr(1));
         }));
       }},
      {"three packed floats for a 2x2",
       [](onnx_test::OnnxBuilder* b) {
         b->Initializer(
             TensorFields({2, 2}, 1, [](ProtoWriter* t) { t->Bytes(4, FloatBytes({1, 2, 3})); }));
       }},
      {"three single floats for a 2x2",
       [](onnx_test::OnnxBuilder* b) {
         b->Initializer(TensorFields({2, 2}, 1, [](ProtoWriter* t) {
           for (float v : {1.0f, 2.0f, 3.0f}) t->Float(4, v);
         }));
       }},
      {"two 64-bit integers for three",
       [](onnx_test::OnnxBuilder* b) {
         b->Initializer(TensorFields({3}, 7, [](ProtoWriter* t) { t->Bytes(7, "\x01\x02"); }));
       }},
      {"a negative dimension",
       [](onnx_test::OnnxBuilder* b) {
         b->Initializer(TensorFields({-1, 4}, 1, [](ProtoWriter* t) {
           t->Bytes(9, FloatBytes({1, 2, 3, 4}));
         }));
       }},
      {"dimensions whose product wraps to 0",
       [](onnx_test::OnnxBuilder* b) {
         b->Initializer(TensorFields({int64_t{1} << 32, int64_t{1} << 32}, 1,
                                     [](ProtoWriter* t) { t->Bytes(9, ""); }));
       }},
      {"no values at all",
       [](onnx_test::OnnxBuilder* b) {
         b->Initializer(TensorFields({8}, 1, [](ProtoWriter*) {}));
       }},
      {"values stored outside the model",
       [](onnx_test::OnnxBuilder* b) {
         b->Initializer(TensorFields({1}, 1, [](ProtoWriter* t) {
           ProtoWriter location;
           location.Bytes(1, "location");
           location.Bytes(2, "weights.bin");
           t->Message(13, location);
           t->Varint(14, 1);
         }));
       }},
      {"an unknown data type",
       [](onnx_test::OnnxBuilder* b) {
         b->Initializer(
             TensorFields({1}, 99, [](ProtoWriter* t) { t->Bytes(9, FloatBytes({1})); }));
       }},
      {"an input declaring more values than memory holds",
       [](onnx_test::OnnxBuilder* b) { b->Input("huge", {1, 3, 100000, 100000}); }},
      {"a constant node's value",
       [](onnx_test::OnnxBuilder* b) {
         b->Node("Constant", {}, {"unused"},
                 {onnx_test::OnnxAttr::Tensor(
                     "value", onnx_test::OnnxBuilder::FloatTensor("c", {1 << 26}, {1, 2, 3, 4}))});
       }},
  };
  for (const Case& c : cases) {
    const std::vector<uint8_t> model = TwoOutputNet(c.extra);
    EXPECT_EQ(Interpreter::createFromBuffer(model.data(), model.size()), nullptr) << c.what;
  }

  // Values written as typed fields instead of raw bytes are read as such.
  const std::vector<uint8_t> typed = TwoOutputNet([](onnx_test::OnnxBuilder* b) {
    b->Initializer(TensorFields({2, 2}, 1, [](ProtoWriter* t) {
      t->Bytes(4, FloatBytes({1, 2, 3, 4}));
    }));
  });
  Net net(typed);
  ASSERT_NE(net.interpreter, nullptr);
  MNN::Session* session = net.interpreter->createSession(MNN::ScheduleConfig());
  ASSERT_NE(session, nullptr);
  Tensor* input = net.interpreter->getSessionInput(session, nullptr);
  net.interpreter->resizeTensor(input, {1, 2, 2, 2});
  input->host<float>()[3] = 5.0f;
  ASSERT_EQ(net.interpreter->runSession(session), MNN::NO_FAILURE);
  EXPECT_FLOAT_EQ(net.interpreter->getSessionOutput(session, "y")->host<float>()[3], 11.0f);
}

TEST(MnnInterpreter, RunsAtTheSizeTheInputIsResizedTo) {
  Net net(TwoOutputNet());
  ASSERT_NE(net.interpreter, nullptr);
  MNN::BackendConfig backend;
  backend.precision = MNN::BackendConfig::Precision_High;
  MNN::ScheduleConfig config;
  config.numThread = 2;
  config.backendConfig = &backend;
  MNN::Session* session = net.interpreter->createSession(config);
  ASSERT_NE(session, nullptr);

  Tensor* input = net.interpreter->getSessionInput(session, nullptr);
  ASSERT_NE(input, nullptr);
  EXPECT_EQ(net.interpreter->getSessionInput(session, "x"), input);
  EXPECT_EQ(input->shape(), (std::vector<int>{1, 2, 0, 0})) << "free height and width read 0";

  Tensor* y = net.interpreter->getSessionOutput(session, "y");
  Tensor* z = net.interpreter->getSessionOutput(session, "z");
  ASSERT_NE(y, nullptr);
  ASSERT_NE(z, nullptr);
  EXPECT_EQ(net.interpreter->getSessionOutput(session, nullptr), y);
  EXPECT_EQ(net.interpreter->getSessionOutput(session, "missing"), nullptr);

  for (int size : {4, 6}) {
    net.interpreter->resizeTensor(input, 1, 2, size, size);
    net.interpreter->resizeSession(session);
    ASSERT_EQ(input->elementSize(), 2 * size * size);
    for (int i = 0; i < input->elementSize(); ++i) input->host<float>()[i] = float(i);
    ASSERT_EQ(net.interpreter->runSession(session), MNN::NO_FAILURE);

    EXPECT_EQ(y->shape(), (std::vector<int>{1, 2, size, size}));
    EXPECT_FLOAT_EQ(y->host<float>()[5], 11.0f);
    EXPECT_EQ(z->shape(), (std::vector<int>{1, 2, size / 2, size / 2}));
    // Channel 1, top-left window: the largest of its four values is at row 1, column 1.
    const int c1 = size * size;
    EXPECT_FLOAT_EQ(z->host<float>()[(size / 2) * (size / 2)], float(c1 + size + 1));
  }
}

TEST(MnnInterpreter, CopiesOutputsToHostTensorsInEitherOrder) {
  Net net(TwoOutputNet());
  ASSERT_NE(net.interpreter, nullptr);
  MNN::Session* session = net.interpreter->createSession(MNN::ScheduleConfig());
  Tensor* input = net.interpreter->getSessionInput(session, nullptr);
  net.interpreter->resizeTensor(input, {1, 2, 2, 3});
  for (int i = 0; i < 12; ++i) input->host<float>()[i] = float(i);
  ASSERT_EQ(net.interpreter->runSession(session), MNN::NO_FAILURE);
  Tensor* y = net.interpreter->getSessionOutput(session, "y");

  Tensor caffe(y, Tensor::CAFFE);
  ASSERT_TRUE(y->copyToHostTensor(&caffe));
  EXPECT_FLOAT_EQ(caffe.host<float>()[7], 15.0f);

  Tensor nhwc(y, Tensor::TENSORFLOW);
  EXPECT_EQ(nhwc.shape(), (std::vector<int>{1, 2, 3, 2}));
  EXPECT_EQ(nhwc.width(), 3);
  EXPECT_EQ(nhwc.height(), 2);
  EXPECT_EQ(nhwc.channel(), 2);
  ASSERT_TRUE(y->copyToHostTensor(&nhwc));
  // NHWC index of (c=1, h=0, w=1) is (0*3+1)*2+1 = 3; its NCHW value index is 6+0+1 = 7.
  EXPECT_FLOAT_EQ(nhwc.host<float>()[3], 15.0f);

  std::unique_ptr<Tensor> copy(Tensor::createHostTensorFromDevice(y, true));
  EXPECT_FLOAT_EQ(copy->host<float>()[7], 15.0f);

  std::unique_ptr<Tensor> wrong_size(Tensor::create({1, 2, 4, 4}));
  EXPECT_FALSE(y->copyToHostTensor(wrong_size.get()));
}

TEST(MnnInterpreter, AFailedRunLeavesNoStaleOutputs) {
  Net net(TwoOutputNet());
  ASSERT_NE(net.interpreter, nullptr);
  MNN::Session* session = net.interpreter->createSession(MNN::ScheduleConfig());
  Tensor* input = net.interpreter->getSessionInput(session, nullptr);
  net.interpreter->resizeTensor(input, {1, 2, 4, 4});
  ASSERT_EQ(net.interpreter->runSession(session), MNN::NO_FAILURE);
  Tensor* y = net.interpreter->getSessionOutput(session, "y");
  ASSERT_EQ(y->elementSize(), 32);

  // Too small for the 2x2 pooling: OpenCV refuses, nothing is thrown.
  net.interpreter->resizeTensor(input, {1, 2, 1, 1});
  EXPECT_NE(net.interpreter->runSession(session), MNN::NO_FAILURE);
  EXPECT_EQ(y->elementSize(), 0);
  EXPECT_EQ(net.interpreter->getSessionOutput(session, "z")->elementSize(), 0);
}

TEST(MnnInterpreter, SessionsRunIndependently) {
  Net net(TwoOutputNet());
  ASSERT_NE(net.interpreter, nullptr);
  MNN::Session* a = net.interpreter->createSession(MNN::ScheduleConfig());
  MNN::Session* b = net.interpreter->createSession(MNN::ScheduleConfig());
  Tensor* in_a = net.interpreter->getSessionInput(a, nullptr);
  Tensor* in_b = net.interpreter->getSessionInput(b, nullptr);
  ASSERT_NE(in_a, in_b);
  net.interpreter->resizeTensor(in_a, {1, 2, 2, 2});
  net.interpreter->resizeTensor(in_b, {1, 2, 4, 4});
  ASSERT_EQ(net.interpreter->runSession(a), MNN::NO_FAILURE);
  ASSERT_EQ(net.interpreter->runSession(b), MNN::NO_FAILURE);
  EXPECT_EQ(net.interpreter->getSessionOutput(a, "y")->elementSize(), 8);
  EXPECT_EQ(net.interpreter->getSessionOutput(b, "y")->elementSize(), 32);
  EXPECT_TRUE(net.interpreter->releaseSession(a));
  EXPECT_FALSE(net.interpreter->releaseSession(a));
}

}  // namespace
