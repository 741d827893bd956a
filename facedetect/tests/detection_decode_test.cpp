#include "detection_decode.h"

#include <gtest/gtest.h>

namespace {

using zqfd::Detection;
using zqfd::DetectionOutputs;
using zqfd::PriorBox;

TEST(DetectionPriors, CountFourLevelsOfCells) {
  struct Case {
    int width, height;
    size_t count;
  };
  // 320x240: 40x30x3 + 20x15x2 + 10x8x2 + 5x4x3 = 4420.
  const Case cases[] = {{320, 240, 4420}, {320, 320, 5875}, {320, 180, 3405}, {240, 320, 4420}};
  for (const Case& c : cases) {
    EXPECT_EQ(zqfd::MakePriors(c.width, c.height).size(), c.count) << c.width << "x" << c.height;
  }
  EXPECT_TRUE(zqfd::MakePriors(0, 240).empty());
}

TEST(DetectionPriors, RunRowByRowThenCellThenSize) {
  const auto priors = zqfd::MakePriors(320, 240);
  // First level: cell (0, 0) sizes 10, 16, 24; then cell (1, 0).
  EXPECT_FLOAT_EQ(priors[0].cx, 4.0f / 320);
  EXPECT_FLOAT_EQ(priors[0].cy, 4.0f / 240);
  EXPECT_FLOAT_EQ(priors[2].width, 24.0f / 320);
  EXPECT_FLOAT_EQ(priors[2].height, 24.0f / 240);
  EXPECT_FLOAT_EQ(priors[3].cx, 12.0f / 320);
  // Row 1 of the first level starts after 40 cells.
  EXPECT_FLOAT_EQ(priors[120].cy, 12.0f / 240);
  // The last prior: level 4, cell (4, 3), size 256; priors are not clamped.
  const PriorBox& last = priors.back();
  EXPECT_FLOAT_EQ(last.cx, 4.5f * 64 / 320);
  EXPECT_FLOAT_EQ(last.cy, 3.5f * 64 / 240);
  EXPECT_GT(last.cy + last.height / 2, 1.0f);
}

// Outputs for |count| priors, all background.
DetectionOutputs Empty(size_t count) {
  DetectionOutputs o;
  o.boxes.assign(count * 4, 0.0f);
  o.points.assign(count * 10, 0.0f);
  o.scores.assign(count * 2, 0.0f);
  return o;
}

TEST(DetectionDecode, DecodesChosenBoxesWithTheVariances) {
  // One prior of 100x100 pixels centred at (50, 60) in a 200x200 image.
  const std::vector<PriorBox> priors = {{0.25f, 0.3f, 0.5f, 0.5f}, {0.5f, 0.5f, 0.1f, 0.1f}};
  DetectionOutputs o = Empty(2);
  o.scores[1] = 0.9f;
  o.boxes = {2.0f, -1.0f, 0.0f, 0.0f, 0, 0, 0, 0};  // centre moves by (+20, -10) pixels
  for (int i = 0; i < 5; ++i) {
    o.points[2 * i] = 1.0f * i;   // x moves by 10 * i pixels
    o.points[2 * i + 1] = -1.0f;  // y moves by -10 pixels
  }
  const auto found = zqfd::DecodeDetections(o, priors, 200, 200, 0.75f);
  ASSERT_EQ(found.size(), 1u);
  const Detection& d = found[0];
  EXPECT_NEAR(d.x1, 20.0f, 1e-3);
  EXPECT_NEAR(d.y1, 0.0f, 1e-3);  // 50 - 50 = 0
  EXPECT_NEAR(d.x2, 120.0f, 1e-3);
  EXPECT_NEAR(d.y2, 100.0f, 1e-3);
  EXPECT_FLOAT_EQ(d.score, 0.9f);
  EXPECT_NEAR(d.points[0], 50, 1);
  EXPECT_NEAR(d.points[8], 90, 1);
  EXPECT_NEAR(d.points[9], 50, 1);

  // exp(dw * 0.2) scales the width: dw = 5 * ln 0.5 halves it.
  o.boxes[2] = 5.0f * -0.6931472f;
  const auto narrow = zqfd::DecodeDetections(o, priors, 200, 200, 0.75f);
  EXPECT_NEAR(narrow[0].x1, 45.0f, 0.01f);
  EXPECT_NEAR(narrow[0].x2, 95.0f, 0.01f);
}

TEST(DetectionDecode, KeepsOnlyScoresAboveTheThreshold) {
  const std::vector<PriorBox> priors(4, PriorBox{0.5f, 0.5f, 0.2f, 0.2f});
  DetectionOutputs o = Empty(4);
  const float scores[4] = {0.75f, 0.7500001f, 0.2f, 1.0f};
  for (int k = 0; k < 4; ++k) {
    o.scores[k * 2] = 1.0f - scores[k];
    o.scores[k * 2 + 1] = scores[k];
  }
  const auto found = zqfd::DecodeDetections(o, priors, 100, 100, 0.75f);
  ASSERT_EQ(found.size(), 2u);
  EXPECT_FLOAT_EQ(found[0].score, 0.7500001f);
  EXPECT_FLOAT_EQ(found[1].score, 1.0f);
}

TEST(DetectionDecode, RefusesOutputsThatDoNotFitThePriors) {
  const std::vector<PriorBox> priors(3, PriorBox{0.5f, 0.5f, 0.2f, 0.2f});
  DetectionOutputs o = Empty(3);
  for (int k = 0; k < 3; ++k) o.scores[k * 2 + 1] = 1.0f;
  EXPECT_EQ(zqfd::DecodeDetections(o, priors, 100, 100, 0.75f).size(), 3u);
  for (auto* values : {&o.boxes, &o.points, &o.scores}) {
    DetectionOutputs shorter = o;
    auto* member = values == &o.boxes    ? &shorter.boxes
                   : values == &o.points ? &shorter.points
                                         : &shorter.scores;
    member->pop_back();
    EXPECT_TRUE(zqfd::DecodeDetections(shorter, priors, 100, 100, 0.75f).empty());
  }
}

Detection Box(float x1, float y1, float x2, float y2, float score) {
  Detection d{x1, y1, x2, y2, score, {}};
  return d;
}

TEST(DetectionSuppression, DropsOverlapsFromTheThresholdOn) {
  // 7x10 boxes (corners inclusive) overlapping 4x10: IoU = 40 / 100 = 0.4 exactly.
  std::vector<Detection> exact = {Box(3, 0, 9, 9, 0.8f), Box(0, 0, 6, 9, 0.9f)};
  zqfd::SuppressOverlaps(&exact, 0.4f);
  ASSERT_EQ(exact.size(), 1u);
  EXPECT_FLOAT_EQ(exact[0].score, 0.9f);

  // Overlapping 3x10: IoU = 30 / 110, kept; sorted highest first.
  std::vector<Detection> apart = {Box(4, 0, 10, 9, 0.8f), Box(0, 0, 6, 9, 0.9f)};
  zqfd::SuppressOverlaps(&apart, 0.4f);
  ASSERT_EQ(apart.size(), 2u);
  EXPECT_FLOAT_EQ(apart[0].score, 0.9f);

  // A chain: b is removed by a, so c (which overlaps only b) stays; d duplicates a.
  std::vector<Detection> chain = {Box(0, 0, 9, 9, 0.95f), Box(3, 0, 12, 9, 0.9f),
                                  Box(8, 0, 17, 9, 0.85f), Box(0, 0, 9, 9, 0.8f)};
  zqfd::SuppressOverlaps(&chain, 0.4f);
  ASSERT_EQ(chain.size(), 2u);
  EXPECT_FLOAT_EQ(chain[1].score, 0.85f);
}

TEST(DetectionCandidates, MapBackAndClampAtTheFrameEdges) {
  Detection d = Box(-0.0f, 10.5f, 320.0f, 100.0f, 0.9f);
  for (int i = 0; i < 5; ++i) {
    d.points[2 * i] = 10 * i;
    d.points[2 * i + 1] = 20;
  }
  d.points[8] = 330;  // past the right edge
  // A 640x360 frame scaled to 320x180: factors 2.
  const auto candidates = zqfd::ToCandidates({d}, 2.0f, 2.0f, 640, 360);
  ASSERT_EQ(candidates.size(), 1u);
  const auto& c = candidates[0];
  EXPECT_EQ(c.x, 0);
  EXPECT_EQ(c.y, 21);
  EXPECT_EQ(c.width, 639);  // ends at column C - 1
  EXPECT_EQ(c.height, 179);
  EXPECT_FLOAT_EQ(c.score, 0.9f);
  ASSERT_EQ(c.key_points.size(), 5u);
  EXPECT_EQ(c.key_points[1], cv::Point(20, 40));
  EXPECT_EQ(c.key_points[4], cv::Point(639, 40));
}

}  // namespace
