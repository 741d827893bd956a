#include <opencv2/calib3d.hpp>
#include <opencv2/dnn.hpp>
#include <opencv2/imgproc.hpp>

#include <gtest/gtest.h>

TEST(EnvOpenCv, ResizesAndRunsADnnLayer) {
  cv::Mat src(4, 4, CV_8UC1, cv::Scalar(200));
  cv::Mat dst;
  cv::resize(src, dst, cv::Size(2, 2), 0, 0, cv::INTER_AREA);
  EXPECT_EQ(dst.at<uchar>(1, 1), 200);

  // A one-layer network built in code: ReLU clamps the negative input to zero.
  cv::dnn::Net net;
  cv::dnn::LayerParams relu;
  relu.type = "ReLU";
  relu.name = "relu";
  net.addLayerToPrev(relu.name, relu.type, relu);
  cv::Mat input = (cv::Mat_<float>(1, 4) << -1.f, 0.5f, -2.f, 3.f);
  net.setInput(input.reshape(1, std::vector<int>{1, 1, 1, 4}));
  cv::Mat out = net.forward().reshape(1, 1);
  EXPECT_FLOAT_EQ(out.at<float>(0, 0), 0.f);
  EXPECT_FLOAT_EQ(out.at<float>(0, 3), 3.f);
}

TEST(EnvOpenCv, ReadingAnInvalidOnnxBufferFailsCleanly) {
  std::vector<uchar> junk(16, 0x5A);
  EXPECT_THROW(cv::dnn::readNetFromONNX(junk), cv::Exception);
}
