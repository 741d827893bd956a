// The face detection engine: its detector schedule, the tracker, picture mode and set-up, with
// scripted networks; and a face followed by the tiny landmark networks.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <opencv2/imgproc.hpp>

#include "detection_test_net.h"
#include "face_alignment.h"
#include "face_classifier.h"
#include "face_test_nets.h"
#include "head_pose.h"
#include "landmark_network.h"
#include "model_encipher.h"
#include "side_face_filter.h"
#include "test_files.h"
#include "tracking_engine.h"
#include "zq_landmark_template.h"

namespace {

using zqfd::EngineFace;
using zqfd::FaceCandidate;
using zqfd::KeyPoints;
using zqfd::Landmarks;

// The template, |scale| pixels per template pixel, its corner at |origin|.
Landmarks TemplateFrom(cv::Point2f origin, float scale) {
  Landmarks points;
  for (const auto& p : zq_landmarks::kTemplate) {
    points.emplace_back(origin.x + p.x * scale, origin.y + p.y * scale);
  }
  return points;
}

// A candidate with its five key points where a frontal face has them.
FaceCandidate Candidate(cv::Rect box) {
  FaceCandidate c;
  c.score = 0.9f;
  c.x = box.x;
  c.y = box.y;
  c.width = box.width;
  c.height = box.height;
  auto at = [&box](float fx, float fy) {
    return cv::Point(box.x + static_cast<int>(fx * box.width),
                     box.y + static_cast<int>(fy * box.height));
  };
  c.key_points = {at(0.3f, 0.4f), at(0.7f, 0.4f), at(0.5f, 0.6f), at(0.35f, 0.8f),
                  at(0.65f, 0.8f)};
  return c;
}

// A move of the landmarks about their centre, applied to the next tracking result.
struct Motion {
  double degrees = 0;
  double scale = 1;
  cv::Point2f shift;
};

// What the scripted networks do; shared by the test and the networks the engine owns.
struct Script {
  // Candidates of the n-th detector run (from 0).
  std::function<std::vector<FaceCandidate>(int run)> detections = [](int) {
    return std::vector<FaceCandidate>();
  };
  int detect_runs = 0;
  std::function<bool(const cv::Rect&)> landmarks_found = [](const cv::Rect&) { return true; };
  bool track_fails = false;
  std::vector<Motion> motions;  // consumed one per tracking call, in order
  std::function<bool(const cv::Rect&)> is_face = [](const cv::Rect&) { return true; };
  int classify_calls = 0;
  zqfd::PoseAngles pose = {1, 2, 3};
  bool pose_smoothed = false;
};

class ScriptedDetector : public zqfd::CandidateSource {
 public:
  explicit ScriptedDetector(std::shared_ptr<Script> s) : s_(std::move(s)) {}
  std::vector<FaceCandidate> Detect(const cv::Mat&) override {
    return s_->detections(s_->detect_runs++);
  }

 private:
  std::shared_ptr<Script> s_;
};

// From a box: the template filling its width. Tracked: the template on the key points, moved
// as the script says.
class ScriptedLandmarks : public zqfd::LandmarkSource {
 public:
  explicit ScriptedLandmarks(std::shared_ptr<Script> s) : s_(std::move(s)) {}
  bool FromBox(const cv::Mat&, const cv::Rect& box, Landmarks* landmarks) override {
    if (!s_->landmarks_found(box)) return false;
    *landmarks = TemplateFrom(cv::Point2f(box.tl()), box.width / 128.0f);
    return true;
  }
  bool Track(const cv::Mat&, const KeyPoints& key_points, Landmarks* landmarks) override {
    if (s_->track_fails) return false;
    const Landmarks tpl = TemplateFrom({0, 0}, 1);
    const KeyPoints from = zqfd::KeyPointsOf(tpl);
    const cv::Mat t = zqfd::EstimateSimilarity(
        zqfd::PointsToMat(Landmarks(from.begin(), from.end())),
        zqfd::PointsToMat(Landmarks(key_points.begin(), key_points.end())));
    Landmarks out;
    for (const cv::Point2f& p : tpl) {
      out.emplace_back(static_cast<float>(t.at<double>(0, 0) * p.x + t.at<double>(0, 1) * p.y +
                                          t.at<double>(0, 2)),
                       static_cast<float>(t.at<double>(1, 0) * p.x + t.at<double>(1, 1) * p.y +
                                          t.at<double>(1, 2)));
    }
    if (!s_->motions.empty()) {
      const Motion m = s_->motions.front();
      s_->motions.erase(s_->motions.begin());
      cv::Point2f centre;
      for (const cv::Point2f& p : out) centre += p * (1.0f / out.size());
      const cv::Mat turn = cv::getRotationMatrix2D(centre, m.degrees, m.scale);
      for (cv::Point2f& p : out) {
        p = cv::Point2f(
            static_cast<float>(turn.at<double>(0, 0) * p.x + turn.at<double>(0, 1) * p.y +
                               turn.at<double>(0, 2)),
            static_cast<float>(turn.at<double>(1, 0) * p.x + turn.at<double>(1, 1) * p.y +
                               turn.at<double>(1, 2))) +
            m.shift;
      }
    }
    *landmarks = out;
    return true;
  }

 private:
  std::shared_ptr<Script> s_;
};

class ScriptedClassifier : public zqfd::FaceVerifier {
 public:
  explicit ScriptedClassifier(std::shared_ptr<Script> s) : s_(std::move(s)) {}
  bool IsFace(const cv::Mat&, const cv::Rect& box) override {
    ++s_->classify_calls;
    return s_->is_face(box);
  }

 private:
  std::shared_ptr<Script> s_;
};

class ScriptedPose : public zqfd::PoseSource {
 public:
  explicit ScriptedPose(std::shared_ptr<Script> s) : s_(std::move(s)) {}
  zqfd::PoseAngles Estimate(const cv::Mat&, const cv::Rect&, const Landmarks&) override {
    return s_->pose;
  }
  bool smoothed() const override { return s_->pose_smoothed; }

 private:
  std::shared_ptr<Script> s_;
};

class TrackingEngine : public testing::Test {
 protected:
  void Start(int interval = 10, int max_faces = 5) {
    zqfd::EngineNetworks networks;
    networks.detector = std::make_unique<ScriptedDetector>(script);
    networks.landmarks = std::make_unique<ScriptedLandmarks>(script);
    networks.classifier = std::make_unique<ScriptedClassifier>(script);
    networks.pose = std::make_unique<ScriptedPose>(script);
    engine.Start(std::move(networks), interval, max_faces);
  }
  // One video frame; notes the frame when the detector ran on it.
  std::vector<EngineFace> Video(cv::Size size = {320, 240}, int brightness = 100) {
    const int runs = script->detect_runs;
    const auto faces = engine.Run(cv::Mat(size, CV_8UC3, cv::Scalar::all(brightness)), false);
    if (script->detect_runs != runs) detector_frames.push_back(frame);
    ++frame;
    return faces;
  }
  std::vector<EngineFace> Picture(int brightness = 100) {
    return engine.Run(cv::Mat(240, 320, CV_8UC3, cv::Scalar::all(brightness)), true);
  }
  // The detector finds |boxes| on every run.
  void AlwaysFind(std::vector<cv::Rect> boxes) {
    script->detections = [boxes](int) {
      std::vector<FaceCandidate> found;
      for (const cv::Rect& b : boxes) found.push_back(Candidate(b));
      return found;
    };
  }
  // The detector finds |boxes| on its first run only.
  void FindOnce(std::vector<cv::Rect> boxes) {
    script->detections = [boxes](int run) {
      std::vector<FaceCandidate> found;
      if (run == 0) {
        for (const cv::Rect& b : boxes) found.push_back(Candidate(b));
      }
      return found;
    };
  }
  static std::vector<int> Ids(const std::vector<EngineFace>& faces) {
    std::vector<int> ids;
    for (const EngineFace& f : faces) ids.push_back(f.face_id);
    return ids;
  }

  std::shared_ptr<Script> script = std::make_shared<Script>();
  zqfd::FaceTrackingEngine engine;
  int frame = 0;
  std::vector<int> detector_frames;
};

TEST_F(TrackingEngine, SearchesOftenWhileNothingIsTrackedThenEveryInterval) {
  Start(10);
  for (int i = 0; i <= 40; ++i) Video();
  EXPECT_EQ(detector_frames, (std::vector<int>{0, 3, 6, 10, 20, 30, 40}));
}

TEST_F(TrackingEngine, AFaceFromFrameZeroIsReportedFromFrameOneAsZero) {
  Start(10);
  AlwaysFind({{100, 60, 80, 80}});
  EXPECT_TRUE(Video().empty());
  for (int i = 1; i <= 21; ++i) {
    const auto faces = Video();
    ASSERT_EQ(Ids(faces), std::vector<int>{0}) << "frame " << i;
    EXPECT_EQ(faces[0].landmarks.size(), 95u);
    EXPECT_EQ(faces[0].pose, (std::vector<float>{1, 2, 3}));
  }
  // Once a face is tracked the schedule is the interval's.
  EXPECT_EQ(detector_frames, (std::vector<int>{0, 10, 20}));

  // The next new face gets the next number.
  AlwaysFind({{100, 60, 80, 80}, {220, 60, 60, 60}});
  while (frame <= 31) Video();
  EXPECT_EQ(Ids(Video()), (std::vector<int>{0, 1}));
}

TEST_F(TrackingEngine, ATrackEndsAfterTheIntervalsMissLimit) {
  struct Case {
    int interval;
    int misses;
  };
  for (const Case c : {Case{1, 4}, Case{2, 2}, Case{3, 2}, Case{4, 1}, Case{10, 1}}) {
    SCOPED_TRACE(testing::Message() << "interval " << c.interval);
    script = std::make_shared<Script>();
    frame = 0;
    detector_frames.clear();
    Start(c.interval);
    FindOnce({{100, 60, 80, 80}});
    int first = -1, gone = -1;
    for (int i = 0; i < 100 && gone < 0; ++i) {
      const bool seen = !Video().empty();
      if (seen && first < 0) first = i;
      if (!seen && first >= 0) gone = i;
    }
    ASSERT_GE(first, 0);
    ASSERT_GT(gone, first);
    // Detector runs that found nothing while the face was tracked.
    const auto misses = std::count_if(detector_frames.begin(), detector_frames.end(),
                                      [&](int f) { return f >= first && f < gone; });
    EXPECT_EQ(misses, c.misses);
    // At interval 10 the face is gone on the frame after the run that missed it.
    if (c.interval == 10) {
      EXPECT_EQ(gone, 11);
    }
  }
}

TEST_F(TrackingEngine, SevenCandidatesFillFivePlacesAndTheRestWait) {
  Start(10, 5);
  std::vector<cv::Rect> boxes;
  for (int i = 0; i < 7; ++i) boxes.emplace_back(5 + 45 * i, 20, 40, 40);
  AlwaysFind(boxes);
  Video();
  EXPECT_EQ(Ids(Video()), (std::vector<int>{0, 1, 2, 3, 4}));
  for (int i = 0; i < 10; ++i) Video();  // a full detector run changes nothing
  EXPECT_EQ(Ids(Video()), (std::vector<int>{0, 1, 2, 3, 4}));
  // Two tracks are not confirmed: their places go to the waiting candidates.
  AlwaysFind({boxes[0], boxes[1], boxes[2], boxes[5], boxes[6]});
  while (frame <= 21) Video();
  EXPECT_EQ(Ids(Video()), (std::vector<int>{0, 1, 2, 5, 6}));
}

TEST_F(TrackingEngine, AGrowingBoxOrATurningEyeLineEndsATrack) {
  struct Case {
    const char* what;
    Motion motion;
    bool ends;
  };
  const Case cases[] = {
      {"area times 2.25", {0, 1.5, {}}, true},
      {"area times 1.69", {0, 1.3, {}}, false},
      {"eye line turned 70 degrees", {70, 1, {}}, true},
      {"eye line turned 50 degrees", {50, 1, {}}, false},
      {"eye line turned 170 degrees", {170, 1, {}}, true},
  };
  for (const Case& c : cases) {
    script = std::make_shared<Script>();
    Start(10);
    AlwaysFind({{100, 60, 80, 80}});
    Video();
    Video();  // the track's box is now its landmarks' rectangle
    ASSERT_EQ(Video().size(), 1u) << c.what;
    script->motions = {c.motion};
    EXPECT_EQ(Video().empty(), c.ends) << c.what;
  }
}

// A frame of another size deletes the tracks and the candidates found on the old size; face
// numbers count on.
TEST_F(TrackingEngine, ASizeChangeRestartsTracking) {
  Start(10);
  AlwaysFind({{100, 60, 80, 80}});
  Video();
  ASSERT_EQ(Ids(Video()), std::vector<int>{0});
  // The last frame of the old size runs the detector (frame 10).
  while (frame <= 10) Video();
  ASSERT_EQ(detector_frames.back(), 10);
  FindOnce({});
  EXPECT_TRUE(Video({160, 120}).empty()) << "no track from the old size's candidates";
  AlwaysFind({{40, 30, 50, 50}});
  // The counter runs on (11): the next detector run is on frame 20.
  std::vector<EngineFace> faces;
  while (faces.empty() && frame <= 21) faces = Video({160, 120});
  EXPECT_EQ(frame, 22);
  EXPECT_EQ(Ids(faces), std::vector<int>{1});
}

TEST_F(TrackingEngine, PicturesDetectAfreshAndVideoThenStartsOver) {
  Start(10);
  AlwaysFind({{100, 60, 80, 80}, {220, 60, 60, 60}});
  for (int i = 0; i < 3; ++i) Video();
  const auto first = Picture();
  const auto second = Picture();
  ASSERT_EQ(Ids(first), (std::vector<int>{0, 1}));  // numbered by position
  ASSERT_EQ(Ids(second), Ids(first));
  for (size_t i = 0; i < first.size(); ++i) {
    EXPECT_EQ(first[i].box, second[i].box);
    EXPECT_EQ(first[i].landmarks, second[i].landmarks);
  }
  EXPECT_EQ(first[0].box, cv::Rect(100, 60, 80, 80));
  // Video after pictures: no track and no candidate is left over.
  EXPECT_TRUE(Video().empty());
  EXPECT_EQ(Ids(Video()), (std::vector<int>{2, 3}));
}

// A face whose landmarks are not found: in a picture it keeps its box without landmarks or
// pose; in video it starts no track and takes no number.
TEST_F(TrackingEngine, AFaceWithoutLandmarks) {
  Start(10);
  AlwaysFind({{100, 60, 80, 80}, {220, 60, 60, 60}});
  script->landmarks_found = [](const cv::Rect& box) { return box.x != 100; };
  const auto pictured = Picture();
  ASSERT_EQ(pictured.size(), 2u);
  EXPECT_EQ(pictured[0].box, cv::Rect(100, 60, 80, 80));
  EXPECT_TRUE(pictured[0].landmarks.empty());
  EXPECT_TRUE(pictured[0].pose.empty());
  EXPECT_EQ(pictured[1].landmarks.size(), 95u);

  Video();
  const auto tracked = Video();
  ASSERT_EQ(tracked.size(), 1u);
  EXPECT_EQ(tracked[0].face_id, 0);
  EXPECT_EQ(tracked[0].box.x, 220);
}

// A tracking step without a crop or output leaves the track where it was.
TEST_F(TrackingEngine, AFailedTrackingStepKeepsTheTrackStill) {
  Start(10);
  AlwaysFind({{100, 60, 80, 80}});
  Video();
  const auto before = Video();
  ASSERT_EQ(before.size(), 1u);
  script->track_fails = true;
  const auto after = Video();
  ASSERT_EQ(after.size(), 1u);
  EXPECT_EQ(after[0].landmarks, before[0].landmarks);
  EXPECT_EQ(after[0].box, before[0].box);
}

TEST_F(TrackingEngine, SmallCandidatesAndRejectedOnesStartNothing) {
  Start(10);
  AlwaysFind({{10, 10, 4, 40}, {60, 10, 40, 4}, {200, 60, 40, 40}});
  script->is_face = [](const cv::Rect& box) { return box.x != 200; };
  for (int i = 0; i < 8; ++i) EXPECT_TRUE(Video().empty()) << i;
  EXPECT_GT(script->classify_calls, 0);

  // Too dark to judge: the classifier is not asked and the candidate is taken.
  script->classify_calls = 0;
  for (int i = 0; i < 4; ++i) Video({320, 240}, 20);
  EXPECT_EQ(script->classify_calls, 0);
  EXPECT_EQ(Ids(Video({320, 240}, 20)), std::vector<int>{0});
}

TEST_F(TrackingEngine, NetworkPoseIsSmoothedPerTrack) {
  Start(10);
  AlwaysFind({{100, 60, 80, 80}});
  script->pose_smoothed = true;
  script->pose = {0, 0, 0};
  for (int i = 0; i < 3; ++i) Video();  // the track starts on frame 1, its pose is kept from 2
  script->pose = {10, 0, 0};
  const auto faces = Video();
  ASSERT_EQ(faces.size(), 1u);
  EXPECT_GT(faces[0].pose[0], 5.0f);
  EXPECT_LT(faces[0].pose[0], 10.0f);
}

// The Part's side face: eyes right of the box centre, turned away from the nose, the box more
// than five eye distances wide; kept when it is more than a quarter of the frame high.
TEST(SideFaceFilter, DropsSmallFacesSeenFromTheSide) {
  FaceCandidate side;
  side.x = 100;
  side.y = 100;
  side.width = 60;
  side.height = 50;
  // Eyes right of the centre (130), the nose further right still.
  side.key_points = {{140, 120}, {148, 121}, {150, 130}, {138, 140}, {146, 141}};
  FaceCandidate frontal = Candidate({10, 10, 60, 50});
  FaceCandidate tall = side;
  tall.height = 70;
  FaceCandidate empty = frontal;
  empty.width = 0;
  const auto kept = zqfd::FilterSideFaces({side, frontal, tall, empty}, 320, 240);
  ASSERT_EQ(kept.size(), 2u);
  EXPECT_EQ(kept[0].x, 10);
  EXPECT_EQ(kept[1].height, 70);
}

// The engine with the tiny landmark networks: a bright patch moving 2 pixels a frame is
// followed between detector runs.
TEST(TrackingEngineWithNetworks, FollowsAMovingPatchWithinAPixel) {
  const auto model = zqfd_test::BuildLandmarkTestNet({});
  zqfd::LandmarkSetup setup;
  setup.image_model = setup.tracking_model = model.data();
  setup.image_model_length = setup.tracking_model_length = model.size();
  auto landmarks = std::make_unique<zqfd::LandmarkNetwork>();
  ASSERT_TRUE(landmarks->Init(setup));
  auto script = std::make_shared<Script>();
  const cv::Rect start(100, 90, 30, 30);
  script->detections = [start](int run) {
    return run == 0 ? std::vector<FaceCandidate>{Candidate(start)} : std::vector<FaceCandidate>();
  };
  zqfd::EngineNetworks networks;
  networks.detector = std::make_unique<ScriptedDetector>(script);
  networks.landmarks = std::move(landmarks);
  networks.classifier = std::make_unique<zqfd::FaceClassifier>();
  networks.pose = std::make_unique<zqfd::HeadPoseEstimator>();
  zqfd::FaceTrackingEngine engine;
  engine.Start(std::move(networks), 10, 5);

  auto centre = [](const Landmarks& l) {
    cv::Point2f sum;
    for (const auto& p : l) sum += p;
    return sum * (1.0f / l.size());
  };
  cv::Point2f first;
  for (int i = 0; i < 10; ++i) {
    cv::Mat image(240, 320, CV_8UC3, cv::Scalar::all(0));
    cv::rectangle(image, start + cv::Point(2 * i, 0), cv::Scalar::all(255), cv::FILLED);
    const auto faces = engine.Run(image, false);
    if (i == 0) {
      EXPECT_TRUE(faces.empty());
      continue;
    }
    ASSERT_EQ(faces.size(), 1u) << "frame " << i;
    if (i == 1) first = centre(faces[0].landmarks);
    const cv::Point2f moved = centre(faces[0].landmarks) - first;
    EXPECT_NEAR(moved.x, 2.0f * (i - 1), 1.0f) << "frame " << i;
    EXPECT_NEAR(moved.y, 0.0f, 1.0f) << "frame " << i;
  }
}

// Standard output without the decipher's own lines ("zq_cipher ..."), which every model read
// prints.
std::string EngineLines(const std::string& out) {
  std::string kept;
  size_t start = 0;
  while (start < out.size()) {
    size_t end = out.find('\n', start);
    end = end == std::string::npos ? out.size() : end + 1;
    if (out.compare(start, 10, "zq_cipher ") != 0) kept += out.substr(start, end - start);
    start = end;
  }
  return kept;
}

// Set-up from a model folder: which files are read, which failures refuse the models.
class EngineSetup : public testing::Test {
 protected:
  void Install(const std::string& file, const std::vector<uint8_t>& model) {
    const auto enciphered = zqfd::EncipherModel(model, zqfd::CipherMode::kPlain);
    ASSERT_TRUE(enciphered);
    WriteFile(folder + file, *enciphered);
  }
  void InstallWorkingModels() {
    Install("/FD_J_N_v2.m.bin", zqfd_test::BuildDetectionTestNet({}));
    Install("/FL_D_N_v3_i.m.bin", zqfd_test::BuildLandmarkTestNet({}));
    Install("/FL_D_N_v5_v.m.bin", zqfd_test::BuildLandmarkTestNet({}));
  }
  std::pair<bool, std::string> Setup(int interval = 10, bool classifier = false, int pose = 0) {
    zqfd::FaceTrackingEngine engine;
    testing::internal::CaptureStdout();
    const bool ok = engine.Setup(folder, interval, 0.75f, classifier, pose, 5);
    return {ok, EngineLines(testing::internal::GetCapturedStdout())};
  }
  std::string folder;
};

TEST_F(EngineSetup, RefusesMissingOrMalformedModelsWithTheirMessage) {
  folder = MakeTestFolder("engine_no_landmarks");
  Install("/FD_J_N_v2.m.bin", zqfd_test::BuildDetectionTestNet({}));
  auto result = Setup();
  EXPECT_FALSE(result.first);
  EXPECT_NE(result.second.find("Dont open " + folder + "/FL_D_N_v3_i.m.bin\n"), std::string::npos);
  EXPECT_NE(result.second.find("Zq_FaceDetect: load ld model failed.\n"), std::string::npos);

  folder = MakeTestFolder("engine_short_landmarks");
  InstallWorkingModels();
  zqfd_test::LandmarkTestNet short_output;
  short_output.output_values = 150;
  Install("/FL_D_N_v3_i.m.bin", zqfd_test::BuildLandmarkTestNet(short_output));
  result = Setup();
  EXPECT_EQ(result, std::make_pair(false, std::string("Zq_FaceDetect: load ld model i failed.\n")));

  // The classifier and the pose network are read only when enabled.
  folder = MakeTestFolder("engine_optional_models");
  InstallWorkingModels();
  std::remove((folder + "/FC_A0_N_v1.m.bin").c_str());
  std::remove((folder + "/FP_A_N_v1.m.bin").c_str());
  EXPECT_EQ(Setup(), std::make_pair(true, std::string()));
  result = Setup(10, true);
  EXPECT_FALSE(result.first);
  EXPECT_NE(result.second.find("Zq_FaceDetect: load cly model failed.\n"), std::string::npos);
  zqfd_test::ClassifierTestNet renamed;
  renamed.output_name = "prob";
  Install("/FC_A0_N_v1.m.bin", zqfd_test::BuildClassifierTestNet(renamed));
  EXPECT_EQ(Setup(10, true),
            std::make_pair(false, std::string("Zq_FaceDetect: load cly model failed.\n")));
  Install("/FC_A0_N_v1.m.bin", zqfd_test::BuildClassifierTestNet({}));
  EXPECT_EQ(Setup(10, true), std::make_pair(true, std::string()));
  result = Setup(10, false, 1);
  EXPECT_NE(result.second.find("Zq_FaceDetect: load pose model failed.\n"), std::string::npos);
  Install("/FP_A_N_v1.m.bin", zqfd_test::BuildPoseTestNet({}));
  EXPECT_EQ(Setup(10, true, 1), std::make_pair(true, std::string()));
  EXPECT_EQ(Setup(10, false, 2), std::make_pair(true, std::string())) << "only 1 enables it";
}

TEST_F(EngineSetup, AnIntervalBelowOneRunsAsOne) {
  folder = MakeTestFolder("engine_interval");
  InstallWorkingModels();
  zqfd::FaceTrackingEngine engine;
  testing::internal::CaptureStdout();
  ASSERT_TRUE(engine.Setup(folder, 0, 0.75f, false, 0, 5));
  EXPECT_EQ(EngineLines(testing::internal::GetCapturedStdout()),
            "Zq_FaceDetect: detect interval 0 is below 1: detecting at interval 1\n");
  const cv::Mat image(240, 320, CV_8UC3, cv::Scalar::all(0));
  for (int i = 0; i < 12; ++i) engine.Run(image, false);  // no division by zero
}

}  // namespace
