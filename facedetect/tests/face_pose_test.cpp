// The face classifier, the head-pose estimator and the pose smoother.
#include <cmath>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <opencv2/calib3d.hpp>
#include <opencv2/imgproc.hpp>

#include "face_classifier.h"
#include "face_test_nets.h"
#include "head_pose.h"
#include "head_pose_model.h"
#include "zq_landmark_template.h"

namespace {

using zqfd::Landmarks;
using zqfd::PoseAngles;

cv::Matx33d RotationX(double degrees) {
  const double a = degrees * CV_PI / 180;
  return {1, 0, 0, 0, std::cos(a), -std::sin(a), 0, std::sin(a), std::cos(a)};
}
cv::Matx33d RotationY(double degrees) {
  const double a = degrees * CV_PI / 180;
  return {std::cos(a), 0, std::sin(a), 0, 1, 0, -std::sin(a), 0, std::cos(a)};
}
cv::Matx33d RotationZ(double degrees) {
  const double a = degrees * CV_PI / 180;
  return {std::cos(a), -std::sin(a), 0, std::sin(a), std::cos(a), 0, 0, 0, 1};
}

// The landmarks of the pose model seen through |rotation| at 60 units before a camera whose focal
// length is the image's width: the 14 model points at their landmarks, the others at the centre.
Landmarks ProjectModel(const cv::Matx33d& rotation, cv::Size image) {
  Landmarks landmarks(zq_landmarks::kPointCount,
                      cv::Point2f(image.width / 2.0f, image.height / 2.0f));
  const double f = image.width;
  for (const zqfd::PoseModelPoint& m : zqfd::kPoseModel) {
    const cv::Vec3d p = rotation * cv::Vec3d(m.x, m.y, m.z) + cv::Vec3d(0, 0, 60);
    landmarks[m.landmark] = cv::Point2f(static_cast<float>(f * p[0] / p[2] + image.width / 2.0),
                                        static_cast<float>(f * p[1] / p[2] + image.height / 2.0));
  }
  return landmarks;
}

// The geometric pose: the estimator without its network.
class GeometricPose : public testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(pose.Init(zqfd::HeadPoseSetup()), 1); }
  zqfd::HeadPoseEstimator pose;
};

TEST_F(GeometricPose, ReadsBackTheAnglesOfAKnownRotation) {
  const cv::Size size(320, 240);
  const cv::Mat image(size, CV_8UC3, cv::Scalar::all(0));
  // The decomposition's convention: R = Rz(a2) Ry(a1) Rx(a0).
  const double a0 = 20, a1 = -10, a2 = 5;
  const Landmarks seen = ProjectModel(RotationZ(a2) * RotationY(a1) * RotationX(a0), size);
  const PoseAngles angles = pose.Estimate(image, cv::Rect(100, 80, 100, 100), seen);
  EXPECT_NEAR(angles[0], -a0, 1.0);
  EXPECT_NEAR(angles[1], a1, 1.0);
  EXPECT_NEAR(angles[2], a2, 1.0);
}

// The model's +x points to the image's left and +y up, as the landmark template shows a face
// from the front: so placed before the camera the model faces away from it, and reads a roll of
// 180 degrees with no turn or nod.
TEST_F(GeometricPose, TheModelAsTheTemplateShowsItReadsARollOf180Degrees) {
  const cv::Size size(320, 240);
  const cv::Mat image(size, CV_8UC3, cv::Scalar::all(0));
  const Landmarks seen = ProjectModel(RotationZ(180), size);
  const PoseAngles angles = pose.Estimate(image, cv::Rect(100, 80, 100, 100), seen);
  EXPECT_NEAR(std::fabs(angles[2]), 180.0f, 1.0f);
  EXPECT_NEAR(angles[0], 0.0f, 1.0f);
  EXPECT_NEAR(angles[1], 0.0f, 1.0f);
}

TEST_F(GeometricPose, PointsWithoutASolutionGiveZeros) {
  const cv::Mat image(240, 320, CV_8UC3, cv::Scalar::all(0));
  const PoseAngles zeros = {0, 0, 0};
  const Landmarks spot(zq_landmarks::kPointCount, cv::Point2f(50, 50));
  const PoseAngles on_spot = pose.Estimate(image, cv::Rect(40, 40, 20, 20), spot);
  for (float a : on_spot) EXPECT_TRUE(std::isfinite(a));
  EXPECT_EQ(pose.Estimate(image, cv::Rect(40, 40, 20, 20), Landmarks(84)), zeros);

  zqfd::HeadPoseSetup absent;
  absent.present = false;
  zqfd::HeadPoseEstimator none;
  EXPECT_EQ(none.Init(absent), -1);
  EXPECT_EQ(none.Estimate(image, cv::Rect(40, 40, 20, 20), spot), zeros);
}

// Init's result and what it printed.
template <typename Network, typename Setup>
std::pair<int, std::string> Init(Network* network, const Setup& setup) {
  testing::internal::CaptureStdout();
  const int result = network->Init(setup);
  return {result, testing::internal::GetCapturedStdout()};
}

zqfd::HeadPoseSetup PoseNetworkSetup(const std::vector<uint8_t>& model) {
  zqfd::HeadPoseSetup setup;
  setup.network_enabled = 1;
  setup.model = model.data();
  setup.model_length = model.size();
  return setup;
}

TEST(PoseNetwork, GivesItsOutputsInTheOrderSecondFirstThird) {
  const auto model = zqfd_test::BuildPoseTestNet({});
  zqfd::HeadPoseEstimator pose;
  ASSERT_EQ(Init(&pose, PoseNetworkSetup(model)), std::make_pair(1, std::string()));
  EXPECT_TRUE(pose.smoothed());
  cv::Mat image(240, 320, CV_8UC3);
  cv::randu(image, 0, 255);
  EXPECT_EQ(pose.Estimate(image, cv::Rect(100, 80, 60, 60), {}), (PoseAngles{22, 11, 33}));
  // A box with nothing of its region inside the image.
  EXPECT_EQ(pose.Estimate(image, cv::Rect(900, 900, 60, 60), {}), (PoseAngles{0, 0, 0}));

  zqfd_test::PoseTestNet two;
  two.output_values = 2;
  zqfd::HeadPoseEstimator refused;
  EXPECT_EQ(Init(&refused, PoseNetworkSetup(zqfd_test::BuildPoseTestNet(two))),
            std::make_pair(0, std::string("Zq_FaceDetect: load pose model failed.\n")));
}

TEST(PoseSmoother, KeepsTwentyEntriesAndWeighsByHand) {
  zqfd::PoseSmoother smoother;
  EXPECT_EQ(smoother.Smooth({0, 4, 0}), (PoseAngles{0, 4, 0}));  // the first value as it is
  const PoseAngles second = smoother.Smooth({10, 4, -3});
  // Newest entry at distance 0 and age 0, the older at distance 10 (or 3) and age 1.
  auto expected = [](float now, float before) {
    const double w_now = 1.0;
    const double w_before = std::exp(-(now - before) * (now - before) / 50.0) * std::exp(-1 / 200.0);
    return (w_now * now + w_before * before) / (w_now + w_before);
  };
  EXPECT_NEAR(second[0], expected(10, 0), 1e-4);
  EXPECT_NEAR(second[1], 4.0f, 1e-4);
  EXPECT_NEAR(second[2], expected(-3, 0), 1e-4);
  for (int i = 0; i < 25; ++i) smoother.Smooth({1, 2, 3});
  EXPECT_EQ(smoother.history_size(), 20u);
}

zqfd::ClassifierSetup ClassifierWith(const std::vector<uint8_t>& model) {
  zqfd::ClassifierSetup setup;
  setup.enabled = true;
  setup.model = model.data();
  setup.model_length = model.size();
  return setup;
}

TEST(FaceClassifier, ADisabledClassifierAcceptsEverything) {
  zqfd::FaceClassifier classifier;
  EXPECT_EQ(classifier.Init(zqfd::ClassifierSetup()), -1);
  const cv::Mat black(100, 100, CV_8UC3, cv::Scalar::all(0));
  EXPECT_TRUE(classifier.IsFace(black, cv::Rect(10, 10, 30, 30)));
  EXPECT_TRUE(classifier.IsFace(black, cv::Rect(500, 10, 0, 30)));
}

TEST(FaceClassifier, ABorderBoxIsJudgedOnABlackPaddedSquare) {
  const auto model = zqfd_test::BuildClassifierTestNet({});
  zqfd::FaceClassifier classifier;
  ASSERT_EQ(Init(&classifier, ClassifierWith(model)), std::make_pair(1, std::string()));
  const cv::Mat white(100, 100, CV_8UC3, cv::Scalar::all(255));
  // The test network scores the crop's mean brightness; the threshold is 0.15.
  EXPECT_TRUE(classifier.IsFace(white, cv::Rect(30, 30, 40, 20)));
  EXPECT_TRUE(classifier.IsFace(white, cv::Rect(-30, 30, 40, 40)));   // a quarter inside
  EXPECT_FALSE(classifier.IsFace(white, cv::Rect(-35, 30, 40, 40)));  // an eighth inside
  EXPECT_FALSE(classifier.IsFace(white, cv::Rect(30, 30, 0, 0)));

  zqfd_test::ClassifierTestNet renamed;
  renamed.output_name = "prob2";
  zqfd::FaceClassifier refused;
  EXPECT_EQ(Init(&refused, ClassifierWith(zqfd_test::BuildClassifierTestNet(renamed))),
            std::make_pair(0, std::string("Zq_FaceDetect: load cly model failed.\n")));
}

}  // namespace
