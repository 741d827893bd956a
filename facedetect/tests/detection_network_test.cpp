#include "detection_network.h"

#include <gtest/gtest.h>

#include "detection_test_net.h"
#include "model_encipher.h"
#include "model_file.h"
#include "test_files.h"

namespace {

using zqfd::CipherMode;
using zqfd::FaceCandidate;
using zqfd_test::DetectionTestNet;

// Boxes move by (+8, -4) pixels from a 32-pixel prior; key points spread by 8 pixels.
DetectionTestNet ChosenBoxes() {
  DetectionTestNet net;
  net.scored_level = 1;   // step 16
  net.scored_anchor = 0;  // size 32
  const float box[4] = {2.5f, -1.25f, 0.0f, 0.0f};
  const float points[10] = {-2.5f, -2.5f, 2.5f, -2.5f, 0, 0, -2.5f, 2.5f, 2.5f, 2.5f};
  std::copy(box, box + 4, net.box);
  std::copy(points, points + 10, net.points);
  return net;
}

// Writes |model| enciphered into a file and reads it back through the model reader.
std::vector<unsigned char> ThroughModelFile(const std::vector<uint8_t>& model, CipherMode mode) {
  const std::string path = MakeTestFolder("detection_net") + "\\model.m.bin";
  WriteFile(path, *zqfd::EncipherModel(model, mode));
  testing::internal::CaptureStdout();
  auto bytes = zqfd::ReadModelFile(path);
  testing::internal::GetCapturedStdout();
  return bytes ? *bytes : std::vector<unsigned char>{};
}

bool InitNet(zqfd::FaceDetectionNet* net, const std::vector<unsigned char>& model,
             std::string* printed = nullptr) {
  zqfd::DetectionSetup setup;
  setup.model = model.data();
  setup.model_length = model.size();
  setup.detect_interval = 10;
  setup.score_threshold = 0.75f;
  testing::internal::CaptureStdout();
  const bool ok = net->Init(setup);
  const std::string out = testing::internal::GetCapturedStdout();
  if (printed) *printed = out;
  return ok;
}

void ExpectBox(const FaceCandidate& c, int x, int y, int w, int h, int slack) {
  EXPECT_NEAR(c.x, x, slack);
  EXPECT_NEAR(c.y, y, slack);
  EXPECT_NEAR(c.width, w, slack);
  EXPECT_NEAR(c.height, h, slack);
}

TEST(FaceDetectionNet, FindsFacesAtTheChosenBoxesThroughTheModelFile) {
  for (CipherMode mode : {CipherMode::kBlock, CipherMode::kPlain}) {
    zqfd::FaceDetectionNet net;
    ASSERT_TRUE(InitNet(&net, ThroughModelFile(BuildDetectionTestNet(ChosenBoxes()), mode)));
    EXPECT_EQ(net.detect_interval(), 10);

    cv::Mat image(240, 320, CV_8UC3, cv::Scalar::all(0));
    // Blue 230 in cell (12, 9) scores 0.90; blue 255 in cell (6, 3) scores 1.0.
    image(cv::Rect(200, 150, 2, 2)).setTo(cv::Scalar(230, 0, 0));
    image(cv::Rect(100, 50, 2, 2)).setTo(cv::Scalar(255, 0, 0));
    const auto found = net.Detect(image);
    ASSERT_EQ(found.size(), 2u);
    // Prior centre (104, 56) moved to (112, 52), 32x32.
    ExpectBox(found[0], 96, 36, 32, 32, 1);
    EXPECT_NEAR(found[0].score, 1.0f, 1e-4);
    ASSERT_EQ(found[0].key_points.size(), 5u);
    EXPECT_NEAR(found[0].key_points[0].x, 96, 1);
    EXPECT_NEAR(found[0].key_points[0].y, 48, 1);
    EXPECT_NEAR(found[0].key_points[2].x, 104, 1);
    EXPECT_NEAR(found[0].key_points[4].y, 64, 1);
    // Prior centre (200, 152) moved to (208, 148).
    ExpectBox(found[1], 192, 132, 32, 32, 1);
    EXPECT_NEAR(found[1].score, 230.0f / 255, 1e-4);
  }
}

TEST(FaceDetectionNet, ScalesTheImageAndMapsCandidatesBack) {
  zqfd::FaceDetectionNet net;
  ASSERT_TRUE(
      InitNet(&net, ThroughModelFile(BuildDetectionTestNet(ChosenBoxes()), CipherMode::kBlock)));
  // 640x480 is scaled to 320x240: the block lands in cell (6, 3) and the box doubles.
  cv::Mat landscape(480, 640, CV_8UC3, cv::Scalar::all(0));
  landscape(cv::Rect(200, 100, 4, 4)).setTo(cv::Scalar(255, 255, 255));
  auto found = net.Detect(landscape);
  ASSERT_EQ(found.size(), 1u);
  ExpectBox(found[0], 192, 72, 64, 64, 2);

  // A portrait 480x640 is scaled to 240x320.
  cv::Mat portrait(640, 480, CV_8UC3, cv::Scalar::all(0));
  portrait(cv::Rect(200, 100, 4, 4)).setTo(cv::Scalar(255, 255, 255));
  found = net.Detect(portrait);
  ASSERT_EQ(found.size(), 1u);
  ExpectBox(found[0], 192, 72, 64, 64, 2);

  // A box past the frame's right edge ends at column C - 1.
  cv::Mat edge(240, 320, CV_8UC3, cv::Scalar::all(0));
  edge(cv::Rect(318, 0, 2, 2)).setTo(cv::Scalar(255, 0, 0));
  found = net.Detect(edge);
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(found[0].x + found[0].width, 319);
  EXPECT_EQ(found[0].y, 0);

  // Nothing bright: no candidates. Too thin to scale: no candidates.
  EXPECT_TRUE(net.Detect(cv::Mat(240, 320, CV_8UC3, cv::Scalar::all(0))).empty());
  EXPECT_TRUE(net.Detect(cv::Mat(1, 1000, CV_8UC3, cv::Scalar::all(255))).empty());
  EXPECT_TRUE(net.Detect(cv::Mat()).empty());
}

TEST(FaceDetectionNet, RefusesModelsThatDoNotFit) {
  DetectionTestNet missing_output = ChosenBoxes();
  missing_output.score_name = "531";
  DetectionTestNet too_few_priors = ChosenBoxes();
  too_few_priors.drop_last_level = true;
  const auto good = BuildDetectionTestNet(ChosenBoxes());
  const auto still_enciphered = *zqfd::EncipherModel(good, CipherMode::kBlock);
  struct Case {
    const char* what;
    std::vector<unsigned char> model;
  };
  const Case cases[] = {
      {"missing score output", BuildDetectionTestNet(missing_output)},
      {"fewer values than priors", BuildDetectionTestNet(too_few_priors)},
      {"still enciphered", still_enciphered},
      {"no bytes", {}},
  };
  for (const Case& c : cases) {
    zqfd::FaceDetectionNet net;
    std::string printed;
    EXPECT_FALSE(InitNet(&net, c.model, &printed)) << c.what;
    EXPECT_EQ(printed, "Zq_FaceDetect: load detect model fail.\n") << c.what;
    EXPECT_TRUE(net.Detect(cv::Mat(240, 320, CV_8UC3, cv::Scalar::all(255))).empty()) << c.what;
  }
}

TEST(ModelFile, ReadsDeciphersAndRefuses) {
  const std::string dir = MakeTestFolder("model_file");
  const std::vector<uint8_t> plain = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
  WriteFile(dir + "\\good.bin", *zqfd::EncipherModel(plain, CipherMode::kBlock, 7));
  auto broken = *zqfd::EncipherModel(plain, CipherMode::kBlock, 7);
  broken[0] = 0;
  WriteFile(dir + "\\broken.bin", broken);
  WriteFile(dir + "\\empty.bin", {});

  testing::internal::CaptureStdout();
  const auto good = zqfd::ReadModelFile(dir + "\\good.bin");
  const auto bad = zqfd::ReadModelFile(dir + "\\broken.bin");
  const auto empty = zqfd::ReadModelFile(dir + "\\empty.bin");
  const auto missing = zqfd::ReadModelFile(dir + "\\missing.bin");
  const std::string printed = testing::internal::GetCapturedStdout();
  ASSERT_TRUE(good);
  EXPECT_EQ(*good, plain);
  EXPECT_FALSE(bad);
  EXPECT_FALSE(empty);
  EXPECT_FALSE(missing);
  EXPECT_NE(printed.find("Dont open " + dir + "\\missing.bin\n"), std::string::npos);
}

}  // namespace
