// Tiny stand-ins for the landmark, classifier and head-pose networks, built as ONNX bytes at
// test time. No trained model exists here; these have the real networks' inputs and outputs.
//
// Landmark network: input 1 x 3 x S x S holding (pixel - 127) / 57; output 1 x 190, the
// template's points (normalised by 128) moved by the crop's brightness centroid:
//   point_i = template_i / 128 + (c - (0.5, 0.5)),
// c being the mean of the normalised pixel-centre coordinates weighted by each pixel's
// brightness (the sum of its channels, the mean added back so that no weight is negative). A
// bright patch on black is thus given the template centred on the patch, and a track follows
// the patch as it moves.
//
// Classifier: input 1 x 3 x 48 x 48 holding (pixel - 127.5) / 128; output "prob1" = (1 - m, m),
// m being the crop's mean brightness in 0..1.
//
// Head-pose network: input 1 x 3 x 64 x 64; output "pred_pose/mul_24" = three constants.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "onnx_builder.h"
#include "zq_landmark_template.h"

namespace zqfd_test {

struct LandmarkTestNet {
  int input_size = 128;
  bool fixed_input = true;     // false: the input's height and width are left free
  int output_values = 190;     // another count: a model with the wrong number of outputs
};

inline std::vector<float> Ramp(int size, bool along_x) {
  std::vector<float> ramp(static_cast<size_t>(size) * size);
  for (int y = 0; y < size; ++y) {
    for (int x = 0; x < size; ++x) {
      ramp[static_cast<size_t>(y) * size + x] = ((along_x ? x : y) + 0.5f) / size;
    }
  }
  return ramp;
}

inline std::vector<uint8_t> BuildLandmarkTestNet(const LandmarkTestNet& net) {
  using onnx_test::OnnxAttr;
  const int64_t s = net.input_size;
  onnx_test::OnnxBuilder b;
  b.Input("input", net.fixed_input ? std::vector<int64_t>{1, 3, s, s}
                                   : std::vector<int64_t>{1, 3, 0, 0});
  // Brightness: 57 * x + 127 per channel gives the pixel back; summed over the channels.
  b.Initializer("bright_w", {1, 3, 1, 1}, {57.0f, 57.0f, 57.0f});
  b.Initializer("bright_b", {1}, {3 * 127.0f});
  b.Node("Conv", {"input", "bright_w", "bright_b"}, {"bright"},
         {OnnxAttr::Ints("kernel_shape", {1, 1})});
  b.Initializer("ramp_x", {1, 1, s, s}, Ramp(net.input_size, true));
  b.Initializer("ramp_y", {1, 1, s, s}, Ramp(net.input_size, false));
  b.Node("Mul", {"bright", "ramp_x"}, {"bright_x"});
  b.Node("Mul", {"bright", "ramp_y"}, {"bright_y"});
  b.Node("GlobalAveragePool", {"bright"}, {"mean"});
  b.Node("GlobalAveragePool", {"bright_x"}, {"mean_x"});
  b.Node("GlobalAveragePool", {"bright_y"}, {"mean_y"});
  // c = (mean_xy + e / 2) / (mean + e): a black crop reads its centre.
  const float e = 1e-3f;
  b.Initializer("half_e", {1}, {e / 2});
  b.Initializer("e", {1}, {e});
  b.Node("Concat", {"mean_x", "mean_y"}, {"sums"}, {OnnxAttr::Int("axis", 1)});
  b.Node("Add", {"sums", "half_e"}, {"sums_e"});
  b.Node("Add", {"mean", "e"}, {"mean_e"});
  b.Node("Concat", {"mean_e", "mean_e"}, {"means"}, {OnnxAttr::Int("axis", 1)});
  b.Node("Div", {"sums_e", "means"}, {"centroid4"});
  b.Node("Flatten", {"centroid4"}, {"centroid"}, {OnnxAttr::Int("axis", 1)});
  // Output: template / 128 - 0.5 + centroid, x and y alternating.
  const int n = net.output_values;
  // Gemm's weights as n x 2 with transB set (OpenCV reads them so).
  std::vector<float> spread(static_cast<size_t>(n) * 2, 0.0f);
  std::vector<float> offset(static_cast<size_t>(n), 0.0f);
  for (int k = 0; k < n; ++k) {
    const bool x = k % 2 == 0;
    spread[static_cast<size_t>(k) * 2 + (x ? 0 : 1)] = 1.0f;
    const auto& point = zq_landmarks::kTemplate[(k / 2) % zq_landmarks::kPointCount];
    offset[k] = (x ? point.x : point.y) / zq_landmarks::kTemplateCropSize - 0.5f;
  }
  b.Initializer("spread", {n, 2}, spread);
  b.Initializer("offset", {n}, offset);
  b.Node("Gemm", {"centroid", "spread", "offset"}, {"points"}, {OnnxAttr::Int("transB", 1)});
  b.Output("points");
  return b.Build();
}

struct ClassifierTestNet {
  std::string output_name = "prob1";
};

inline std::vector<uint8_t> BuildClassifierTestNet(const ClassifierTestNet& net) {
  using onnx_test::OnnxAttr;
  onnx_test::OnnxBuilder b;
  b.Input("input", {1, 3, 48, 48});
  b.Node("GlobalAveragePool", {"input"}, {"channel_means"});
  // m = (mean of x + 1) / 2; scores (1 - m, m) = (0.5 - x / 2, 0.5 + x / 2).
  const float third = 1.0f / 3.0f;
  b.Initializer("score_w", {2, 3, 1, 1}, {-third / 2, -third / 2, -third / 2, third / 2,
                                          third / 2, third / 2});
  b.Initializer("score_b", {2}, {0.5f, 0.5f});
  b.Node("Conv", {"channel_means", "score_w", "score_b"}, {"scores4"},
         {OnnxAttr::Ints("kernel_shape", {1, 1})});
  b.Node("Flatten", {"scores4"}, {net.output_name}, {OnnxAttr::Int("axis", 1)});
  b.Output(net.output_name);
  return b.Build();
}

struct PoseTestNet {
  float values[3] = {11.0f, 22.0f, 33.0f};
  int output_values = 3;
};

inline std::vector<uint8_t> BuildPoseTestNet(const PoseTestNet& net) {
  using onnx_test::OnnxAttr;
  onnx_test::OnnxBuilder b;
  b.Input("input", {1, 3, 64, 64});
  b.Node("GlobalAveragePool", {"input"}, {"channel_means"});
  const int n = net.output_values;
  std::vector<float> bias(static_cast<size_t>(n));
  for (int k = 0; k < n; ++k) bias[k] = net.values[k % 3];
  b.Initializer("pose_w", {n, 3, 1, 1}, std::vector<float>(static_cast<size_t>(n) * 3, 0.0f));
  b.Initializer("pose_b", {n}, bias);
  b.Node("Conv", {"channel_means", "pose_w", "pose_b"}, {"pose4"},
         {OnnxAttr::Ints("kernel_shape", {1, 1})});
  b.Node("Flatten", {"pose4"}, {"pred_pose/mul_24"}, {OnnxAttr::Int("axis", 1)});
  b.Output("pred_pose/mul_24");
  return b.Build();
}

}  // namespace zqfd_test
