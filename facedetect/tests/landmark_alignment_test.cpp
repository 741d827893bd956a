// Face alignment, the landmark networks and the landmark smoother.
#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <opencv2/imgproc.hpp>

#include "face_alignment.h"
#include "face_test_nets.h"
#include "landmark_geometry.h"
#include "landmark_network.h"
#include "landmark_smoother.h"
#include "zq_landmark_template.h"

namespace {

using zqfd::KeyPoints;
using zqfd::Landmarks;

// The template placed with its centre (64, 64) at |centre|, |side| pixels per 128.
Landmarks TemplateAt(cv::Point2f centre, float side) {
  Landmarks points;
  for (const auto& p : zq_landmarks::kTemplate) {
    points.emplace_back(centre.x + (p.x - 64.0f) * side / 128.0f,
                        centre.y + (p.y - 64.0f) * side / 128.0f);
  }
  return points;
}

cv::Mat BlackWithPatch(cv::Size size, cv::Rect patch) {
  cv::Mat image(size, CV_8UC3, cv::Scalar::all(0));
  cv::rectangle(image, patch, cv::Scalar::all(255), cv::FILLED);
  return image;
}

cv::Matx33d Similarity(double degrees, double scale, double dx, double dy) {
  const double a = degrees * CV_PI / 180.0;
  return cv::Matx33d(scale * std::cos(a), -scale * std::sin(a), dx, scale * std::sin(a),
                     scale * std::cos(a), dy, 0, 0, 1);
}

Landmarks Apply(const cv::Matx33d& t, const Landmarks& points) {
  Landmarks out;
  for (const cv::Point2f& p : points) {
    out.emplace_back(static_cast<float>(t(0, 0) * p.x + t(0, 1) * p.y + t(0, 2)),
                     static_cast<float>(t(1, 0) * p.x + t(1, 1) * p.y + t(1, 2)));
  }
  return out;
}

// The largest distance between corresponding points.
double Farthest(const Landmarks& a, const Landmarks& b) {
  if (a.size() != b.size()) return 1e9;
  double farthest = 0;
  for (size_t i = 0; i < a.size(); ++i) farthest = std::max(farthest, cv::norm(a[i] - b[i]));
  return farthest;
}

Landmarks ReferencePoints(int size) {
  const KeyPoints reference = zqfd::AlignmentReference(size);
  return Landmarks(reference.begin(), reference.end());
}

TEST(SquareCrop, SideFollowsTheBoxShape) {
  struct Case {
    int width, height, side;
  };
  const Case cases[] = {{100, 170, 160}, {100, 100, 140}, {101, 101, 142}, {100, 190, 180},
                        {100, 160, 160}, {100, 180, 160}, {100, 159, 140}, {7, 7, 10}};
  for (const Case& c : cases) {
    EXPECT_EQ(zqfd::SquareCropSide(c.width, c.height), c.side) << c.width << "x" << c.height;
  }
}

TEST(SquareCrop, ABorderBoxIsZeroPaddedAtFullSize) {
  cv::Mat image(150, 200, CV_8UC3);
  for (int y = 0; y < image.rows; ++y) {
    for (int x = 0; x < image.cols; ++x) image.at<cv::Vec3b>(y, x) = cv::Vec3b(x, y, 200);
  }
  zqfd::SquareCrop crop;
  ASSERT_TRUE(zqfd::MakeSquareCrop(image, cv::Rect(-20, -10, 60, 60), &crop));
  EXPECT_EQ(crop.side, 84);
  EXPECT_EQ(crop.left, -32);  // -20 + 30 - 42
  EXPECT_EQ(crop.top, -22);
  ASSERT_EQ(crop.image.size(), cv::Size(84, 84));
  EXPECT_EQ(crop.image.at<cv::Vec3b>(21, 40), cv::Vec3b(0, 0, 0));  // above the image
  EXPECT_EQ(crop.image.at<cv::Vec3b>(30, 31), cv::Vec3b(0, 0, 0));  // left of it
  EXPECT_EQ(crop.image.at<cv::Vec3b>(30, 40), cv::Vec3b(8, 8, 200));
  EXPECT_EQ(crop.image.at<cv::Vec3b>(83, 83), cv::Vec3b(51, 61, 200));

  // Inside the image the crop is the region itself.
  ASSERT_TRUE(zqfd::MakeSquareCrop(image, cv::Rect(80, 50, 40, 40), &crop));
  EXPECT_EQ(crop.image.at<cv::Vec3b>(0, 0), cv::Vec3b(72, 42, 200));

  // Nothing of the square inside the image, or no box: no crop.
  EXPECT_FALSE(zqfd::MakeSquareCrop(image, cv::Rect(500, 500, 40, 40), &crop));
  EXPECT_FALSE(zqfd::MakeSquareCrop(image, cv::Rect(10, 10, 0, 40), &crop));
}

TEST(Similarity, IdentityAtTheReferenceAndAKnownTransformRecovered) {
  const Landmarks reference = ReferencePoints(128);
  const cv::Mat identity = zqfd::EstimateSimilarity(zqfd::PointsToMat(reference),
                                                    zqfd::PointsToMat(reference));
  ASSERT_EQ(identity.size(), cv::Size(3, 3));
  EXPECT_LT(cv::norm(identity, cv::Mat::eye(3, 3, CV_64F), cv::NORM_INF), 1e-5);

  const cv::Matx33d known = Similarity(25.0, 1.7, 12.0, -7.0);
  const cv::Mat found = zqfd::EstimateSimilarity(zqfd::PointsToMat(reference),
                                                 zqfd::PointsToMat(Apply(known, reference)));
  ASSERT_FALSE(found.empty());
  EXPECT_LT(cv::norm(found, cv::Mat(known), cv::NORM_INF), 1e-3);
}

TEST(Similarity, AReflectedSetGetsARotationNotAMirror) {
  const Landmarks from = ReferencePoints(128);
  Landmarks mirrored;
  for (const cv::Point2f& p : from) mirrored.emplace_back(200.0f - p.x, p.y);
  const cv::Mat t =
      zqfd::EstimateSimilarity(zqfd::PointsToMat(from), zqfd::PointsToMat(mirrored));
  ASSERT_FALSE(t.empty());
  EXPECT_GT(cv::determinant(t(cv::Rect(0, 0, 2, 2))), 0.0);
  // Points on one line (rank 1) still give a transform that maps them onto their image.
  const Landmarks line = {{0, 0}, {10, 10}, {20, 20}, {30, 30}};
  const Landmarks moved = Apply(Similarity(0, 2.0, 5, 5), line);
  const cv::Mat on_line =
      zqfd::EstimateSimilarity(zqfd::PointsToMat(line), zqfd::PointsToMat(moved));
  ASSERT_FALSE(on_line.empty());
  const Landmarks mapped = Apply(cv::Matx33d(on_line), line);
  for (size_t i = 0; i < line.size(); ++i) EXPECT_LT(cv::norm(mapped[i] - moved[i]), 1e-3);
}

TEST(Similarity, NoTransformFromCoincidingOrNonFinitePoints) {
  const Landmarks same(4, cv::Point2f(10, 10));
  EXPECT_TRUE(zqfd::EstimateSimilarity(zqfd::PointsToMat(same),
                                       zqfd::PointsToMat(ReferencePoints(128)))
                  .empty());
  Landmarks broken = ReferencePoints(128);
  broken[2].x = NAN;
  EXPECT_TRUE(zqfd::EstimateSimilarity(zqfd::PointsToMat(broken),
                                       zqfd::PointsToMat(ReferencePoints(128)))
                  .empty());

  const cv::Mat image(100, 100, CV_8UC3, cv::Scalar::all(9));
  zqfd::AlignedCrop crop;
  KeyPoints key;
  key.fill(cv::Point2f(40, 40));
  testing::internal::CaptureStdout();
  EXPECT_FALSE(zqfd::MakeAlignedCrop(image, key, 128, &crop));
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "TransformationMatrix Is Empty !\n");
}

TEST(AlignedCrop, PointsGoThroughTheCropAndBackWithinAHundredthOfAPixel) {
  const cv::Mat image(240, 320, CV_8UC3, cv::Scalar::all(50));
  const Landmarks face = Apply(Similarity(15.0, 0.6, 120.0, 40.0), TemplateAt({64, 64}, 128));
  zqfd::AlignedCrop crop;
  ASSERT_TRUE(zqfd::MakeAlignedCrop(image, zqfd::KeyPointsOf(face), 128, &crop));
  EXPECT_EQ(crop.image.size(), cv::Size(128, 128));
  const cv::Matx23d back = crop.to_image;
  // The template in the crop goes back onto the face.
  for (int i = 0; i < zq_landmarks::kPointCount; ++i) {
    const cv::Point2f p(zq_landmarks::kTemplate[i].x, zq_landmarks::kTemplate[i].y);
    const cv::Point2f mapped(
        static_cast<float>(back(0, 0) * p.x + back(0, 1) * p.y + back(0, 2)),
        static_cast<float>(back(1, 0) * p.x + back(1, 1) * p.y + back(1, 2)));
    EXPECT_LT(cv::norm(mapped - face[i]), 0.01) << i;
  }
}

TEST(LandmarkGeometry, BoundingRectangleAndOverlapByHand) {
  EXPECT_EQ(zqfd::BoundingRect({{1.7f, 2.2f}, {10.9f, 5.5f}, {4.2f, 20.99f}}),
            cv::Rect(1, 2, 9, 18));
  EXPECT_EQ(zqfd::BoundingRect({}), cv::Rect());
  EXPECT_FLOAT_EQ(zqfd::IntersectionOverUnion({0, 0, 10, 10}, {5, 5, 10, 10}), 25.0f / 175.0f);
  EXPECT_FLOAT_EQ(zqfd::IntersectionOverUnion({0, 0, 10, 10}, {0, 0, 10, 10}), 1.0f);
  EXPECT_FLOAT_EQ(zqfd::IntersectionOverUnion({0, 0, 10, 10}, {20, 0, 10, 10}), 0.0f);
  EXPECT_FLOAT_EQ(zqfd::IntersectionOverUnion({0, 0, 0, 0}, {3, 3, 0, 0}), 0.0f);
  const cv::Mat m = zqfd::PointsToMat({{1, 2}, {3, 4}});
  EXPECT_EQ(m.size(), cv::Size(2, 2));
  EXPECT_EQ(m.at<float>(1, 0), 3.0f);
}

// Face scale of landmarks, as the smoother computes it.
float FaceScale(const Landmarks& l) {
  const cv::Point2f mouth = (l[51] + l[57]) * 0.5f;
  const cv::Point2f eyes = (l[39] + l[45]) * 0.5f;
  return static_cast<float>((cv::norm(l[17] - l[0]) / 2 + cv::norm(mouth - eyes) / 2) / 2);
}

TEST(LandmarkSmoother, KeepsStillPointsAndFollowsJumpsAtOnce) {
  zqfd::LandmarkSmoother smoother;
  const Landmarks face = TemplateAt({160, 120}, 100);
  EXPECT_EQ(smoother.Smooth(face), face);  // the first call
  EXPECT_LT(Farthest(smoother.Smooth(face), face), 1e-4);
  EXPECT_LT(Farthest(smoother.Smooth(face), face), 1e-4);

  // Moved by many widths: the old positions get almost no weight.
  Landmarks jumped = face;
  for (auto& p : jumped) p += cv::Point2f(30, -20);
  EXPECT_LT(Farthest(smoother.Smooth(jumped), jumped), 1e-3);

  // A face of no size (every point on one spot) is passed through.
  zqfd::LandmarkSmoother flat;
  const Landmarks spot(zq_landmarks::kPointCount, cv::Point2f(5, 5));
  flat.Smooth(face);
  EXPECT_EQ(flat.Smooth(spot), spot);
  EXPECT_EQ(flat.Smooth(spot), spot);

  // The history holds the last 30 frames.
  for (int i = 0; i < 40; ++i) smoother.Smooth(face);
  EXPECT_EQ(smoother.history_size(), 30u);
}

TEST(LandmarkSmoother, TwoFramesWeighedByHandInEachGroup) {
  const Landmarks face = TemplateAt({160, 120}, 100);
  const float scale = FaceScale(face);
  struct Group {
    int point;
    float width;
  };
  // One point per group, none of those the face scale is measured from.
  const Group groups[] = {{5, 0.05f}, {25, 0.035f}, {42, 0.02f}, {66, 0.03f}, {80, 0.03f}};
  for (const Group& g : groups) {
    zqfd::LandmarkSmoother smoother;
    smoother.Smooth(face);  // remembered, not in the history
    smoother.Smooth(face);  // the older history entry
    const float sigma = scale * g.width;
    const float step = 0.8f * sigma;
    Landmarks moved = face;
    moved[g.point].x += step;
    const Landmarks out = smoother.Smooth(moved);
    // Newest entry at distance 0 and age 0; the older at distance |step| and age 1.
    const double newest = 1.0 / std::sqrt(200.0 * CV_PI);
    const double older = std::exp(-step * step / (2.0 * sigma * sigma)) *
                         std::exp(-1.0 / 200.0) / std::sqrt(200.0 * CV_PI);
    const double expected = (newest * moved[g.point].x + older * face[g.point].x) / (newest + older);
    EXPECT_NEAR(out[g.point].x, expected, 1e-3) << g.point;
    EXPECT_NEAR(out[g.point].y, face[g.point].y, 1e-4) << g.point;
    EXPECT_LT(cv::norm(out[g.point + 1] - face[g.point + 1]), 1e-4) << "an unmoved neighbour";
  }
}

// The landmark networks, with tiny stand-ins that put the template on a bright patch.
class LandmarkNetworks : public testing::Test {
 protected:
  static zqfd::LandmarkSetup Setup(const std::vector<uint8_t>& image_model,
                                   const std::vector<uint8_t>& tracking_model) {
    zqfd::LandmarkSetup setup;
    setup.image_model = image_model.data();
    setup.image_model_length = image_model.size();
    setup.tracking_model = tracking_model.data();
    setup.tracking_model_length = tracking_model.size();
    return setup;
  }
  // Init's result and what it printed.
  static std::pair<bool, std::string> Init(zqfd::LandmarkNetwork* net,
                                           const std::vector<uint8_t>& image_model,
                                           const std::vector<uint8_t>& tracking_model) {
    testing::internal::CaptureStdout();
    const bool ok = net->Init(Setup(image_model, tracking_model));
    return {ok, testing::internal::GetCapturedStdout()};
  }
};

TEST_F(LandmarkNetworks, RefusesModelsWithoutAFixedInputOr190Values) {
  const auto good = zqfd_test::BuildLandmarkTestNet({});
  zqfd_test::LandmarkTestNet short_output;
  short_output.output_values = 150;
  zqfd_test::LandmarkTestNet free_input;
  free_input.fixed_input = false;
  const std::vector<uint8_t> junk(300, 0x42);
  const std::string tracking_failed = "Zq_FaceDetect: load ld model failed.\n";
  const std::string image_failed = "Zq_FaceDetect: load ld model i failed.\n";
  struct Case {
    const char* what;
    std::vector<uint8_t> image, tracking;
    std::string printed;
  };
  const Case cases[] = {
      {"150 tracking outputs", good, zqfd_test::BuildLandmarkTestNet(short_output),
       tracking_failed},
      {"150 image outputs", zqfd_test::BuildLandmarkTestNet(short_output), good, image_failed},
      {"free tracking input", good, zqfd_test::BuildLandmarkTestNet(free_input), tracking_failed},
      {"junk image model", junk, good, image_failed},
      {"no tracking model", good, {}, tracking_failed},
  };
  for (const Case& c : cases) {
    zqfd::LandmarkNetwork net;
    EXPECT_EQ(Init(&net, c.image, c.tracking), std::make_pair(false, c.printed)) << c.what;
  }
  zqfd::LandmarkNetwork net;
  EXPECT_EQ(Init(&net, good, good), std::make_pair(true, std::string()));
}

TEST_F(LandmarkNetworks, FindsAndFollowsAFaceFromItsBox) {
  zqfd::LandmarkNetwork net;
  zqfd_test::LandmarkTestNet tracking;
  tracking.input_size = 96;  // the tracking crop takes the network's own size
  ASSERT_TRUE(Init(&net, zqfd_test::BuildLandmarkTestNet({}),
                   zqfd_test::BuildLandmarkTestNet(tracking))
                  .first);
  const cv::Rect patch(140, 90, 20, 20);  // centre (150, 100)
  cv::Mat image = BlackWithPatch({320, 240}, patch);
  Landmarks found;
  // A box off the patch's centre: the template lands on the patch, scaled to the crop (56).
  ASSERT_TRUE(net.FromBox(image, cv::Rect(128, 82, 40, 40), &found));
  const Landmarks expected = TemplateAt({150, 100}, 56);
  EXPECT_LT(Farthest(found, expected), 0.7);

  // A box at the image's corner: the crop is padded, and its points come back by the same
  // offset (the crop starts at -18, -18).
  const cv::Mat corner = BlackWithPatch({320, 240}, cv::Rect(0, 0, 20, 20));
  Landmarks at_corner;
  ASSERT_TRUE(net.FromBox(corner, cv::Rect(-10, -10, 40, 40), &at_corner));
  EXPECT_LT(Farthest(at_corner, TemplateAt({10, 10}, 56)), 0.7);

  // Tracked from its key points it stays; moved, it is followed.
  Landmarks tracked = found;
  ASSERT_TRUE(net.Track(image, zqfd::KeyPointsOf(found), &tracked));
  EXPECT_LT(Farthest(tracked, found), 0.5);
  image = BlackWithPatch({320, 240}, patch + cv::Point(3, -2));
  ASSERT_TRUE(net.Track(image, zqfd::KeyPointsOf(found), &tracked));
  Landmarks moved = found;
  for (auto& p : moved) p += cv::Point2f(3, -2);
  EXPECT_LT(Farthest(tracked, moved), 0.5);

  // A box with nothing of it inside the image, and key points on one spot, give nothing and
  // change nothing.
  Landmarks untouched = found;
  EXPECT_FALSE(net.FromBox(image, cv::Rect(1000, 1000, 40, 40), &untouched));
  KeyPoints spot;
  spot.fill(cv::Point2f(50, 50));
  testing::internal::CaptureStdout();
  EXPECT_FALSE(net.Track(image, spot, &untouched));
  testing::internal::GetCapturedStdout();
  EXPECT_EQ(untouched, found);
}

}  // namespace
