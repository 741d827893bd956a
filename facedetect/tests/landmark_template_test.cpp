// The landmark template: its alignment key points, its head-pose points and its hull.
#include "zq_landmark_template.h"

#include <set>
#include <utility>
#include <vector>

#include <gtest/gtest.h>
#include <opencv2/imgproc.hpp>

#include "head_pose_model.h"

namespace {

using zq_landmarks::kTemplate;

TEST(LandmarkTemplate, KeyPointMidpointsLieOnTheAlignmentReference) {
  for (int k = 0; k < 4; ++k) {
    const auto& pair = zq_landmarks::kKeyPointPairs[k];
    const float x = (kTemplate[pair[0]].x + kTemplate[pair[1]].x) / 2;
    const float y = (kTemplate[pair[0]].y + kTemplate[pair[1]].y) / 2;
    EXPECT_NEAR(x, zq_landmarks::kAlignmentReference[k].x, 1e-3) << k;
    EXPECT_NEAR(y, zq_landmarks::kAlignmentReference[k].y, 1e-3) << k;
  }
}

TEST(LandmarkTemplate, PosePointsAreTheFrontalProjectionOfThePoseModel) {
  for (const zqfd::PoseModelPoint& m : zqfd::kPoseModel) {
    EXPECT_NEAR(kTemplate[m.landmark].x, 64.5f - 6.04f * m.x, 1e-3) << m.landmark;
    EXPECT_NEAR(kTemplate[m.landmark].y, 80.4f - 6.04f * m.y, 1e-3) << m.landmark;
  }
}

TEST(LandmarkTemplate, ADelaunayMeshOfItHas164Triangles) {
  std::vector<cv::Point2f> points;
  std::set<std::pair<float, float>> distinct;
  for (const auto& p : kTemplate) {
    points.emplace_back(p.x, p.y);
    distinct.insert({p.x, p.y});
  }
  EXPECT_EQ(distinct.size(), 95u);

  std::vector<int> hull;
  cv::convexHull(points, hull);
  EXPECT_EQ(hull.size(), 24u);

  cv::Subdiv2D subdiv(cv::Rect(0, 0, 128, 128));
  subdiv.insert(points);
  std::vector<cv::Vec6f> triangles;
  subdiv.getTriangleList(triangles);
  // Triangles that touch the subdivision's outer helper vertices lie outside the crop.
  int inside = 0;
  for (const cv::Vec6f& t : triangles) {
    bool in_crop = true;
    for (int k = 0; k < 6; ++k) in_crop = in_crop && t[k] >= 0.0f && t[k] <= 128.0f;
    inside += in_crop;
  }
  EXPECT_EQ(inside, 164);
}

// Users place masks and meshes by it: every point inside the crop, the chin lowest, each brow
// and eye on its own side of the face.
TEST(LandmarkTemplate, PointsLieInsideTheCropOnTheirSideOfTheFace) {
  for (int i = 0; i < zq_landmarks::kPointCount; ++i) {
    EXPECT_GT(kTemplate[i].x, 0.0f) << i;
    EXPECT_LT(kTemplate[i].x, 128.0f) << i;
    EXPECT_GT(kTemplate[i].y, 0.0f) << i;
    EXPECT_LT(kTemplate[i].y, 128.0f) << i;
  }
  // The chin is the lowest point; left groups lie left of the right ones.
  for (int i = 0; i < zq_landmarks::kPointCount; ++i) {
    if (i != zq_landmarks::kChin) {
      EXPECT_LT(kTemplate[i].y, kTemplate[zq_landmarks::kChin].y) << i;
    }
  }
  for (int i = 0; i < 10; ++i) {
    EXPECT_LT(kTemplate[zq_landmarks::kLeftBrow.first + i].x, 64.5f);
    EXPECT_GT(kTemplate[zq_landmarks::kRightBrow.first + i].x, 64.5f);
  }
  for (int i = 0; i < 12; ++i) {
    EXPECT_LT(kTemplate[zq_landmarks::kLeftEye.first + i].x, 64.5f);
    EXPECT_GT(kTemplate[zq_landmarks::kRightEye.first + i].x, 64.5f);
  }
}

}  // namespace
