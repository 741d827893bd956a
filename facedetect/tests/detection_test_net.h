// A tiny stand-in for the face detection network, built as ONNX bytes at test time.
//
// It has the real network's shape: for each prior level (steps 8, 16, 32, 64 with 3, 2, 2, 3
// anchors) a head over a feature map of ceil(H / step) x ceil(W / step) cells, laid out cell by
// cell and anchor by anchor, concatenated into "output0" (4 box values per prior), "529" (10
// key-point values) and "530" (2 class scores). Each cell's feature is the largest value of
// each input channel within the cell. The face score of one chosen anchor is
// (blue - 104 + 104) / 255, that is the brightest blue in the cell / 255; every other score is
// 0. Box and key-point values are the same chosen constants for every prior.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "onnx_builder.h"

namespace zqfd_test {

struct DetectionTestNet {
  int scored_level = 1;   // 0 to 3
  int scored_anchor = 0;  // within the level
  float box[4] = {0, 0, 0, 0};
  float points[10] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  // Faults a model may have.
  bool drop_last_level = false;    // outputs hold fewer values than there are priors
  std::string score_name = "530";  // another name: the score output is missing
  bool oversized_weights = false;  // a weight declares 2^26 floats and holds 4
};

inline std::vector<uint8_t> BuildDetectionTestNet(const DetectionTestNet& net) {
  using onnx_test::OnnxAttr;
  onnx_test::OnnxBuilder b;
  b.Input("input", {1, 3, 0, 0});
  if (net.oversized_weights) {
    b.Initializer(onnx_test::OnnxBuilder::FloatTensor("oversized", {1 << 26}, {1, 2, 3, 4}));
  }
  const int steps[4] = {8, 16, 32, 64};
  const int anchors[4] = {3, 2, 2, 3};
  const int levels = net.drop_last_level ? 3 : 4;
  std::vector<std::string> boxes, points, scores;
  for (int level = 0; level < levels; ++level) {
    const std::string l = std::to_string(level);
    const int a = anchors[level];
    const int64_t step = steps[level];
    b.Node("MaxPool", {"input"}, {"feat" + l},
           {OnnxAttr::Ints("kernel_shape", {step, step}), OnnxAttr::Ints("strides", {step, step}),
            OnnxAttr::Int("ceil_mode", 1)});
    struct Head {
      const char* name;
      int per_prior;
      std::vector<std::string>* outputs;
    };
    for (const Head& head :
         {Head{"box", 4, &boxes}, Head{"pts", 10, &points}, Head{"cls", 2, &scores}}) {
      const std::string name = std::string(head.name) + l;
      const int channels = a * head.per_prior;
      std::vector<float> weights(static_cast<size_t>(channels) * 3, 0.0f);
      std::vector<float> bias(static_cast<size_t>(channels), 0.0f);
      for (int k = 0; k < a; ++k) {
        for (int c = 0; c < head.per_prior; ++c) {
          float& value = bias[k * head.per_prior + c];
          if (head.per_prior == 4) value = net.box[c];
          if (head.per_prior == 10) value = net.points[c];
        }
      }
      if (head.per_prior == 2 && level == net.scored_level) {
        const int face = net.scored_anchor * 2 + 1;
        weights[face * 3 + 0] = 1.0f / 255.0f;  // blue channel
        bias[face] = 104.0f / 255.0f;
      }
      b.Initializer(name + "_w", {channels, 3, 1, 1}, weights);
      b.Initializer(name + "_b", {channels}, bias);
      b.Node("Conv", {"feat" + l, name + "_w", name + "_b"}, {name + "_conv"},
             {OnnxAttr::Ints("kernel_shape", {1, 1})});
      b.Node("Transpose", {name + "_conv"}, {name + "_nhwc"},
             {OnnxAttr::Ints("perm", {0, 2, 3, 1})});
      b.InitializerInt64(name + "_shape", {3}, {1, -1, head.per_prior});
      b.Node("Reshape", {name + "_nhwc", name + "_shape"}, {name + "_flat"});
      head.outputs->push_back(name + "_flat");
    }
  }
  b.Node("Concat", boxes, {"output0"}, {OnnxAttr::Int("axis", 1)});
  b.Node("Concat", points, {"529"}, {OnnxAttr::Int("axis", 1)});
  b.Node("Concat", scores, {net.score_name}, {OnnxAttr::Int("axis", 1)});
  b.Output("output0");
  b.Output("529");
  b.Output(net.score_name);
  return b.Build();
}

}  // namespace zqfd_test
