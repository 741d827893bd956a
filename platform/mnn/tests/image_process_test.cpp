#include "MNN/ImageProcess.hpp"

#include <memory>

#include <gtest/gtest.h>

namespace {

using MNN::Tensor;
using MNN::CV::ImageProcess;

std::unique_ptr<Tensor> MakeTensor(std::vector<int> shape, Tensor::DimensionType type) {
  return std::unique_ptr<Tensor>(Tensor::create(shape, type));
}

TEST(MnnImageProcess, ReordersChannelsAndAppliesMeanAndNormal) {
  // Two BGR pixels in a row of stride 8 (two bytes of padding).
  const uint8_t pixels[8] = {10, 20, 30, 40, 50, 60, 0xEE, 0xEE};
  struct Case {
    MNN::CV::ImageFormat dest;
    Tensor::DimensionType order;
    std::vector<float> expected;  // in the tensor's own order
  };
  const Case cases[] = {
      // BGR kept, NCHW: plane B, plane G, plane R.
      {MNN::CV::BGR, Tensor::CAFFE, {0, 30, 5, 35, 10, 40}},
      // RGB, NCHW: plane R, plane G, plane B.
      {MNN::CV::RGB, Tensor::CAFFE, {20, 50, 5, 35, -10, 20}},
      // RGB, NHWC: pixel by pixel.
      {MNN::CV::RGB, Tensor::TENSORFLOW, {20, 5, -10, 50, 35, 20}},
  };
  for (const Case& c : cases) {
    ImageProcess::Config config;
    config.sourceFormat = MNN::CV::BGR;
    config.destFormat = c.dest;
    // Means are in destination channel order: channel k becomes pixel - mean[k].
    const float means[3] = {10, 15, 20};
    for (int k = 0; k < 3; ++k) config.mean[k] = means[k];
    std::unique_ptr<ImageProcess> process(ImageProcess::create(config));
    auto shape =
        c.order == Tensor::CAFFE ? std::vector<int>{1, 3, 1, 2} : std::vector<int>{1, 1, 2, 3};
    auto tensor = MakeTensor(shape, c.order);
    ASSERT_EQ(process->convert(pixels, 2, 1, 8, tensor.get()), MNN::NO_FAILURE);
    std::vector<float> got(tensor->host<float>(), tensor->host<float>() + 6);
    EXPECT_EQ(got, c.expected) << "destination " << c.dest << " order " << c.order;
  }
}

TEST(MnnImageProcess, ScalesByNormal) {
  const uint8_t pixel[3] = {127, 184, 70};
  ImageProcess::Config config;
  config.sourceFormat = MNN::CV::BGR;
  config.destFormat = MNN::CV::BGR;
  for (int k = 0; k < 3; ++k) {
    config.mean[k] = 127.0f;
    config.normal[k] = 1.0f / 57.0f;
  }
  std::unique_ptr<ImageProcess> process(ImageProcess::create(config));
  auto tensor = MakeTensor({1, 3, 1, 1}, Tensor::CAFFE);
  ASSERT_EQ(process->convert(pixel, 1, 1, 0, tensor.get()), MNN::NO_FAILURE);
  EXPECT_FLOAT_EQ(tensor->host<float>()[0], 0.0f);
  EXPECT_FLOAT_EQ(tensor->host<float>()[1], 1.0f);
  EXPECT_FLOAT_EQ(tensor->host<float>()[2], -1.0f);
}

TEST(MnnImageProcess, FillsALargerTensorByTheWrapMode) {
  const uint8_t pixels[2] = {7, 9};  // grey, 2 x 1
  for (auto [wrap, expected] : {std::pair{MNN::CV::CLAMP_TO_EDGE, 9.0f},
                                std::pair{MNN::CV::ZERO, 0.0f}, std::pair{MNN::CV::REPEAT, 7.0f}}) {
    ImageProcess::Config config;
    config.sourceFormat = MNN::CV::GRAY;
    config.destFormat = MNN::CV::GRAY;
    config.wrap = wrap;
    std::unique_ptr<ImageProcess> process(ImageProcess::create(config));
    auto tensor = MakeTensor({1, 1, 1, 3}, Tensor::CAFFE);
    ASSERT_EQ(process->convert(pixels, 2, 1, 2, tensor.get()), MNN::NO_FAILURE);
    EXPECT_FLOAT_EQ(tensor->host<float>()[2], expected) << "wrap " << wrap;
  }
}

TEST(MnnImageProcess, RefusesMismatchedTensorsAndBadInput) {
  const uint8_t pixels[12] = {};
  ImageProcess::Config config;
  config.sourceFormat = MNN::CV::BGR;
  config.destFormat = MNN::CV::BGR;
  std::unique_ptr<ImageProcess> process(ImageProcess::create(config));
  auto one_channel = MakeTensor({1, 1, 2, 2}, Tensor::CAFFE);
  auto good = MakeTensor({1, 3, 2, 2}, Tensor::CAFFE);
  EXPECT_NE(process->convert(pixels, 2, 2, 0, one_channel.get()), MNN::NO_FAILURE);
  EXPECT_NE(process->convert(nullptr, 2, 2, 0, good.get()), MNN::NO_FAILURE);
  EXPECT_NE(process->convert(pixels, 2, 2, 3, good.get()), MNN::NO_FAILURE);  // stride too small
  EXPECT_NE(process->convert(pixels, 0, 2, 0, good.get()), MNN::NO_FAILURE);
  EXPECT_EQ(process->convert(pixels, 2, 2, 0, good.get()), MNN::NO_FAILURE);
}

}  // namespace
