// The tracking engine's video-mode run on a 320x240 frame at detection interval 10, with 1 and
// with 5 tracked faces, against the detection network's pass alone on the same frame. The
// networks are the tiny stand-ins of the tests (bright squares are faces).
#include <memory>
#include <vector>

#include <benchmark/benchmark.h>
#include <opencv2/imgproc.hpp>

#include "detection_network.h"
#include "detection_test_net.h"
#include "face_classifier.h"
#include "face_test_nets.h"
#include "head_pose.h"
#include "landmark_network.h"
#include "tracking_engine.h"

namespace {

// A black 320x240 frame with |faces| white squares, each inside its own 32-pixel cell (the
// stand-in detection network scores 64-pixel boxes on that grid).
cv::Mat FrameWithFaces(int faces) {
  cv::Mat frame(240, 320, CV_8UC3, cv::Scalar::all(0));
  const cv::Point cells[] = {{3, 2}, {6, 2}, {1, 5}, {5, 5}, {8, 5}};
  for (int i = 0; i < faces; ++i) {
    frame(cv::Rect(cells[i].x * 32 + 10, cells[i].y * 32 + 10, 12, 12)).setTo(cv::Scalar::all(255));
  }
  return frame;
}

struct Models {
  std::vector<uint8_t> detection;
  std::vector<uint8_t> landmarks = zqfd_test::BuildLandmarkTestNet({});
  Models() {
    zqfd_test::DetectionTestNet net;
    net.scored_level = 2;
    detection = zqfd_test::BuildDetectionTestNet(net);
  }
};

std::unique_ptr<zqfd::FaceDetectionNet> DetectionNet(const Models& models) {
  zqfd::DetectionSetup setup;
  setup.model = models.detection.data();
  setup.model_length = models.detection.size();
  auto net = std::make_unique<zqfd::FaceDetectionNet>();
  return net->Init(setup) ? std::move(net) : nullptr;
}

void BM_DetectionNetworkPass(benchmark::State& state) {
  const Models models;
  auto net = DetectionNet(models);
  if (!net) {
    state.SkipWithError("network refused");
    return;
  }
  const cv::Mat frame = FrameWithFaces(5);
  for (auto _ : state) benchmark::DoNotOptimize(net->Detect(frame));
}

void BM_EngineVideoRun(benchmark::State& state) {
  const Models models;
  zqfd::LandmarkSetup landmark_setup;
  landmark_setup.image_model = landmark_setup.tracking_model = models.landmarks.data();
  landmark_setup.image_model_length = landmark_setup.tracking_model_length =
      models.landmarks.size();
  auto landmarks = std::make_unique<zqfd::LandmarkNetwork>();
  auto pose = std::make_unique<zqfd::HeadPoseEstimator>();
  zqfd::EngineNetworks networks;
  networks.detector = DetectionNet(models);
  if (!networks.detector || !landmarks->Init(landmark_setup) ||
      pose->Init(zqfd::HeadPoseSetup()) != 1) {
    state.SkipWithError("network refused");
    return;
  }
  networks.landmarks = std::move(landmarks);
  networks.classifier = std::make_unique<zqfd::FaceClassifier>();
  networks.pose = std::move(pose);
  zqfd::FaceTrackingEngine engine;
  engine.Start(std::move(networks), 10, 5);

  const int faces = static_cast<int>(state.range(0));
  const cv::Mat frame = FrameWithFaces(faces);
  size_t tracked = 0;
  for (int i = 0; i < 3; ++i) tracked = engine.Run(frame, false).size();
  if (static_cast<int>(tracked) != faces) {
    state.SkipWithError("faces not tracked");
    return;
  }
  for (auto _ : state) tracked = engine.Run(frame, false).size();
  state.counters["tracked"] = static_cast<double>(tracked);
}

BENCHMARK(BM_DetectionNetworkPass)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EngineVideoRun)->Arg(1)->Arg(5)->Unit(benchmark::kMillisecond);

}  // namespace
