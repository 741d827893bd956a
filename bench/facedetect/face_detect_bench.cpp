#include <random>
#include <vector>

#include <MNN/ImageProcess.hpp>
#include <MNN/Tensor.hpp>
#include <benchmark/benchmark.h>
#include <opencv2/imgproc.hpp>

#include "detection_decode.h"
#include "detection_network.h"
#include "detection_test_net.h"

namespace {

constexpr int kWidth = 320;
constexpr int kHeight = 240;

// Network outputs for every prior of a 320x240 input; |face_share| of them score above 0.75.
zqfd::DetectionOutputs SyntheticOutputs(size_t priors, double face_share) {
  std::mt19937 random(7);
  std::uniform_real_distribution<float> offset(-1.0f, 1.0f);
  std::uniform_real_distribution<double> chance(0.0, 1.0);
  zqfd::DetectionOutputs out;
  out.boxes.resize(priors * 4);
  out.points.resize(priors * 10);
  out.scores.resize(priors * 2);
  for (auto& v : out.boxes) v = offset(random);
  for (auto& v : out.points) v = offset(random);
  for (size_t k = 0; k < priors; ++k) {
    const float face =
        chance(random) < face_share ? 0.8f + 0.2f * static_cast<float>(chance(random)) : 0.1f;
    out.scores[k * 2] = 1.0f - face;
    out.scores[k * 2 + 1] = face;
  }
  return out;
}

// Everything a detect call does besides running the network, for one 640x480 camera frame.
void PassAroundTheNetwork(benchmark::State& state, double face_share) {
  cv::Mat frame(480, 640, CV_8UC3);
  cv::randu(frame, 0, 255);
  MNN::CV::ImageProcess::Config config;
  config.sourceFormat = MNN::CV::BGR;
  config.destFormat = MNN::CV::BGR;
  const float mean[3] = {104.0f, 117.0f, 123.0f};
  for (int k = 0; k < 3; ++k) config.mean[k] = mean[k];
  std::unique_ptr<MNN::CV::ImageProcess> process(MNN::CV::ImageProcess::create(config));
  std::unique_ptr<MNN::Tensor> input(MNN::Tensor::create({1, 3, kHeight, kWidth}));
  const auto outputs = SyntheticOutputs(zqfd::MakePriors(kWidth, kHeight).size(), face_share);
  size_t candidates = 0;
  for (auto _ : state) {
    cv::Mat scaled;
    cv::resize(frame, scaled, cv::Size(kWidth, kHeight), 0, 0, cv::INTER_LINEAR);
    process->convert(scaled.data, kWidth, kHeight, static_cast<int>(scaled.step), input.get());
    const auto priors = zqfd::MakePriors(kWidth, kHeight);
    auto detections = zqfd::DecodeDetections(outputs, priors, kWidth, kHeight, 0.75f);
    zqfd::SuppressOverlaps(&detections, 0.4f);
    const auto found = zqfd::ToCandidates(detections, 2.0f, 2.0f, 640, 480);
    candidates = found.size();
    benchmark::DoNotOptimize(found.data());
  }
  state.counters["kept"] = static_cast<double>(candidates);
}

// A few faces, as in a camera frame.
void BM_PassAroundNetworkFewFaces(benchmark::State& state) { PassAroundTheNetwork(state, 0.002); }
// Every one of the 4420 priors above the threshold: the worst case for decoding and suppression.
void BM_PassAroundNetworkAllPriors(benchmark::State& state) { PassAroundTheNetwork(state, 1.0); }

// A whole detect call of a 640x480 frame with the tiny stand-in network (OpenCV runs it).
void BM_DetectWithTinyNetwork(benchmark::State& state) {
  const auto model = zqfd_test::BuildDetectionTestNet({});
  zqfd::DetectionSetup setup;
  setup.model = model.data();
  setup.model_length = model.size();
  zqfd::FaceDetectionNet net;
  if (!net.Init(setup)) {
    state.SkipWithError("network refused");
    return;
  }
  cv::Mat frame(480, 640, CV_8UC3, cv::Scalar::all(0));
  frame(cv::Rect(200, 100, 4, 4)).setTo(cv::Scalar::all(255));
  for (auto _ : state) benchmark::DoNotOptimize(net.Detect(frame));
}

BENCHMARK(BM_PassAroundNetworkFewFaces)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PassAroundNetworkAllPriors)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DetectWithTinyNetwork)->Unit(benchmark::kMillisecond);

}  // namespace
