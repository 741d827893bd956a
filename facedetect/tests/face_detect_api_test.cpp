#include "zq_face_detect_api.h"

#include <atomic>
#include <chrono>
#include <mutex>
#include <set>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "face_engine.h"

namespace {

using Faces = std::vector<zq_face_detect_result>;

// What the scripted engine does; shared by every engine it makes.
struct Script {
  std::mutex lock;  // Protects every field below.
  bool setup_ok = true;
  std::vector<zqfd::EngineFace> faces;
  bool throw_on_run = false;
  int run_delay_ms = 0;
  // Observed.
  cv::Size last_image;
  bool last_picture = false;
  int resets = 0;
  int runs = 0;
  std::string model_dir;
  int detect_interval = 0;
  float threshold = 0;
  int max_faces = 0;
};

Script& TheScript() {
  static Script script;
  return script;
}

class ScriptedEngine : public zqfd::FaceEngine {
 public:
  bool Setup(const std::string& model_dir, int detect_interval, float score_threshold,
             bool classifier_enabled, int head_pose_network, int max_faces) override {
    Script& s = TheScript();
    std::lock_guard<std::mutex> hold(s.lock);
    EXPECT_FALSE(classifier_enabled);
    EXPECT_EQ(head_pose_network, 0);
    s.model_dir = model_dir;
    s.detect_interval = detect_interval;
    s.threshold = score_threshold;
    s.max_faces = max_faces;
    return s.setup_ok;
  }
  std::vector<zqfd::EngineFace> Run(const cv::Mat& image, bool picture) override {
    Script& s = TheScript();
    int delay = 0;
    {
      std::lock_guard<std::mutex> hold(s.lock);
      s.last_image = image.size();
      s.last_picture = picture;
      ++s.runs;
      if (s.throw_on_run) throw std::runtime_error("engine failure");
      delay = s.run_delay_ms;
    }
    if (delay > 0) std::this_thread::sleep_for(std::chrono::milliseconds(delay));
    std::lock_guard<std::mutex> hold(s.lock);
    return s.faces;
  }
  void ResetTracking() override {
    Script& s = TheScript();
    std::lock_guard<std::mutex> hold(s.lock);
    ++s.resets;
  }
};

class FaceDetectApi : public testing::Test {
 protected:
  void SetUp() override {
    zqfd::SetFaceEngineFactory(
        []() -> std::unique_ptr<zqfd::FaceEngine> { return std::make_unique<ScriptedEngine>(); });
    Script& s = TheScript();
    std::lock_guard<std::mutex> hold(s.lock);
    s.setup_ok = true;
    s.faces.clear();
    s.throw_on_run = false;
    s.run_delay_ms = 0;
    s.resets = 0;
    s.runs = 0;
  }
  void TearDown() override {
    testing::internal::CaptureStdout();
    for (int h : open_) zq_face_detect_api_destroy(h);
    testing::internal::GetCapturedStdout();
    zqfd::SetFaceEngineFactory(nullptr);
  }
  int Init() {
    testing::internal::CaptureStdout();
    const int h = zq_face_detect_api_init("Z:/models", 10, 5, "unused");
    testing::internal::GetCapturedStdout();
    if (h > 0) open_.push_back(h);
    return h;
  }
  int Destroy(int h) {
    testing::internal::CaptureStdout();
    const int result = zq_face_detect_api_destroy(h);
    testing::internal::GetCapturedStdout();
    open_.erase(std::remove(open_.begin(), open_.end(), h), open_.end());
    return result;
  }
  static void SetFaces(std::vector<zqfd::EngineFace> faces) {
    std::lock_guard<std::mutex> hold(TheScript().lock);
    TheScript().faces = std::move(faces);
  }
  std::vector<int> open_;
};

// Runs detectBuffer and returns its result and what it printed.
std::pair<int, std::string> DetectBuffer(int handle, const std::vector<uint8_t>& frame, int width,
                                         int height, Faces* faces, int size_class = 1,
                                         int orientation = 0, int pixel_format = PIX_FMT_BGR888,
                                         int no_landmarks = 0) {
  testing::internal::CaptureStdout();
  const int result =
      zq_face_detect_api_detectBuffer(handle, frame.empty() ? nullptr : frame.data(), width, height,
                                      pixel_format, orientation, size_class, no_landmarks, faces);
  return {result, testing::internal::GetCapturedStdout()};
}

std::vector<uint8_t> Frame(int width, int height) {
  return std::vector<uint8_t>(static_cast<size_t>(width) * height * 3, 40);
}

TEST_F(FaceDetectApi, CountsHandlesFromOneAndRestartsWhenAllAreGone) {
  testing::internal::CaptureStdout();
  const int first = zq_face_detect_api_init("Z:/models", 10, 5, nullptr);
  const std::string printed = testing::internal::GetCapturedStdout();
  open_.push_back(first);
  EXPECT_EQ(first, 1);
  EXPECT_EQ(printed, "Zq_FaceDetect: init version: QUENMAR_FACEDETECT_PLUS_V3.4.4\n");
  {
    std::lock_guard<std::mutex> hold(TheScript().lock);
    EXPECT_EQ(TheScript().model_dir, "Z:/models");
    EXPECT_EQ(TheScript().detect_interval, 10);
    EXPECT_FLOAT_EQ(TheScript().threshold, 0.75f);
    EXPECT_EQ(TheScript().max_faces, 5);
  }

  // A failed set-up returns -3 and uses no handle number.
  TheScript().setup_ok = false;
  EXPECT_EQ(Init(), -3);
  TheScript().setup_ok = true;
  EXPECT_EQ(Init(), 2);

  EXPECT_EQ(Destroy(1), 0);
  EXPECT_EQ(Init(), 3);  // one handle is still open: counting goes on
  testing::internal::CaptureStdout();
  EXPECT_EQ(zq_face_detect_api_destroy(2), 0);
  EXPECT_EQ(zq_face_detect_api_destroy(3), 0);
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "Zq_FaceDetect: destroy version: QUENMAR_FACEDETECT_PLUS_V3.4.4\n"
            "Zq_FaceDetect: destroy version: QUENMAR_FACEDETECT_PLUS_V3.4.4\n");
  open_.clear();
  EXPECT_EQ(Init(), 1);

  for (int bad : {0, -1, 3, 2}) EXPECT_EQ(Destroy(bad), -2) << bad;
  Faces faces;
  EXPECT_EQ(DetectBuffer(7, Frame(4, 4), 4, 4, &faces).first, -2);
  EXPECT_EQ(DetectBuffer(7, Frame(4, 4), 4, 4, &faces).second, "");
}

TEST_F(FaceDetectApi, ScalesTheFrameBySizeClass) {
  const int h = Init();
  Faces faces;
  struct Case {
    int size_class;
    cv::Size working;
  };
  // 1920x1080 frames: the longer side becomes the class's length.
  const Case cases[] = {{0, {160, 90}},   {1, {320, 180}}, {2, {480, 270}}, {3, {640, 360}},
                        {4, {1280, 720}}, {5, {480, 270}}, {-1, {480, 270}}};
  const auto frame = Frame(1920, 1080);
  for (const Case& c : cases) {
    ASSERT_EQ(DetectBuffer(h, frame, 1920, 1080, &faces, c.size_class).first, 0);
    EXPECT_EQ(TheScript().last_image, c.working) << "class " << c.size_class;
  }
  // A small frame is enlarged.
  ASSERT_EQ(DetectBuffer(h, Frame(100, 80), 100, 80, &faces, 1).first, 0);
  EXPECT_EQ(TheScript().last_image, cv::Size(320, 256));
}

TEST_F(FaceDetectApi, ReportsFacesInTheCallersFrame) {
  const int h = Init();
  zqfd::EngineFace face;
  face.face_id = 4;
  face.box = cv::Rect(10, 20, 30, 41);
  face.landmarks = {{1.5f, 2.0f}, {-3.0f, 500.0f}};
  face.pose = {10.0f, -20.0f, 30.0f};
  SetFaces({face});
  Faces faces(3);  // cleared by the call
  ASSERT_EQ(DetectBuffer(h, Frame(1920, 1080), 1920, 1080, &faces, 1).first, 0);
  ASSERT_EQ(faces.size(), 1u);
  const zq_face_detect_result& r = faces[0];
  EXPECT_EQ(r.face_id, 4);
  // 320x180 working image: everything times 6.
  EXPECT_EQ(r.x, 60);
  EXPECT_EQ(r.y, 120);
  EXPECT_EQ(r.width, 180);
  EXPECT_EQ(r.height, 246);
  // Points clamped to the frame: x to 0..1919, y to 0..1079.
  EXPECT_EQ(r.landmarks, (std::vector<float>{9.0f, 12.0f, 0.0f, 1079.0f}));
  EXPECT_EQ(r.pose, (std::vector<float>{10, -20, 30, -999, -999, -999, -999, -999, -999}));
  // Fields the library never writes keep their defaults.
  const zq_face_detect_result fresh;
  EXPECT_EQ(r.reserved_int_a, 0);
  EXPECT_EQ(r.reserved_int_b, 0);
  EXPECT_EQ(r.reserved_int_c, 0);
  EXPECT_TRUE(r.reserved_floats.empty());
  EXPECT_EQ(r.reserved_ints5, fresh.reserved_ints5);
  EXPECT_EQ(r.reserved_ints2, fresh.reserved_ints2);
  EXPECT_EQ(r.reserved_values, fresh.reserved_values);
  EXPECT_EQ(r.reserved_ids, std::vector<int32_t>(5, -1));
  EXPECT_EQ(fresh.reserved_values.size(), 7281u);

  // Without landmarks the pose still comes through.
  ASSERT_EQ(DetectBuffer(h, Frame(1920, 1080), 1920, 1080, &faces, 1, 0, 7, 1).first, 0);
  EXPECT_TRUE(faces[0].landmarks.empty());
  EXPECT_FLOAT_EQ(faces[0].pose[2], 30.0f);

  // Picture mode reaches the engine as such.
  ASSERT_EQ(zq_face_detect_api_detectPicData(h, Frame(64, 64).data(), 64, 64, 7, 0, 1, 0, &faces),
            0);
  EXPECT_TRUE(TheScript().last_picture);
}

TEST_F(FaceDetectApi, MapsLandmarksByOrientation) {
  const int h = Init();
  zqfd::EngineFace face;
  face.box = cv::Rect(5, 6, 7, 8);
  face.landmarks = {{10.0f, 20.0f}};
  SetFaces({face});
  struct Case {
    int orientation;
    float x, y;
  };
  // A 640x480 frame at size class 3 keeps its size: the point is (10, 20).
  const Case cases[] = {{0, 10, 20}, {1, 620, 10}, {2, 630, 460}, {3, 20, 470}, {9, 10, 20}};
  Faces faces;
  for (const Case& c : cases) {
    ASSERT_EQ(DetectBuffer(h, Frame(640, 480), 640, 480, &faces, 3, c.orientation).first, 0);
    EXPECT_EQ(faces[0].landmarks, (std::vector<float>{c.x, c.y})) << c.orientation;
    EXPECT_EQ(faces[0].x, 5) << "the box is not rotated";
    EXPECT_EQ(faces[0].height, 8);
  }
}

TEST_F(FaceDetectApi, AnOrientationChangeRestartsTracking) {
  const int h = Init();
  Faces faces;
  const auto frame = Frame(32, 32);
  const int orientations[] = {1, 1, 2, 2, 0};  // the detector starts at 1
  for (int o : orientations) DetectBuffer(h, frame, 32, 32, &faces, 1, o);
  EXPECT_EQ(TheScript().resets, 2);
}

TEST_F(FaceDetectApi, RefusesBadInputAndLeavesFacesUntouched) {
  const int h = Init();
  SetFaces({zqfd::EngineFace()});
  struct Case {
    const char* what;
    std::vector<uint8_t> frame;
    int width, height, size_class, pixel_format;
    const char* message;
  };
  const std::string empty = "Zq_FaceDetect: conv_pix_to_mat fail,mat.empty!\n";
  const Case cases[] = {
      {"pixel format 6", Frame(8, 8), 8, 8, 1, 6,
       "Zq_FaceDetect: picData only support PIX_FMT_BGR888\n"},
      {"no data", {}, 8, 8, 1, 7, "Zq_FaceDetect: picData is null\n"},
      {"zero width", Frame(8, 8), 0, 8, 1, 7, empty.c_str()},
      {"negative height", Frame(8, 8), 8, -4, 1, 7, empty.c_str()},
      {"both zero", Frame(8, 8), 0, 0, 1, 7, empty.c_str()},
      {"a side scaling to nothing", Frame(10000, 1), 10000, 1, 0, 7, empty.c_str()},
  };
  for (const Case& c : cases) {
    Faces faces(2);
    faces[0].face_id = 77;
    const auto [result, printed] =
        DetectBuffer(h, c.frame, c.width, c.height, &faces, c.size_class, 0, c.pixel_format);
    EXPECT_EQ(result, -1) << c.what;
    EXPECT_EQ(printed, c.message) << c.what;
    ASSERT_EQ(faces.size(), 2u) << c.what;
    EXPECT_EQ(faces[0].face_id, 77) << c.what;
  }
  EXPECT_EQ(TheScript().runs, 0);

  const auto [result, printed] = DetectBuffer(h, Frame(8, 8), 8, 8, nullptr);
  EXPECT_EQ(result, -1);
  EXPECT_EQ(printed, "Zq_FaceDetect: faces is null\n");
}

TEST_F(FaceDetectApi, AnEngineFailureStaysInsideTheLibrary) {
  const int h = Init();
  TheScript().throw_on_run = true;
  Faces faces(1);
  EXPECT_EQ(DetectBuffer(h, Frame(16, 16), 16, 16, &faces).first, -1);
  EXPECT_EQ(faces.size(), 1u);
  TheScript().throw_on_run = false;
  EXPECT_EQ(DetectBuffer(h, Frame(16, 16), 16, 16, &faces).first, 0);
}

TEST_F(FaceDetectApi, ConcurrentInitsGetDistinctHandles) {
  constexpr int kThreads = 8;
  constexpr int kRounds = 20;
  std::vector<std::vector<int>> handles(kThreads);
  std::vector<std::thread> threads;
  std::atomic<int> detect_failures{0};
  testing::internal::CaptureStdout();
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([t, &handles, &detect_failures] {
      const auto frame = Frame(64, 48);
      for (int i = 0; i < kRounds; ++i) {
        const int h = zq_face_detect_api_init("Z:/models", 10, 5, nullptr);
        handles[t].push_back(h);
        Faces faces;
        if (zq_face_detect_api_detectBuffer(h, frame.data(), 64, 48, 7, 0, 1, 0, &faces) != 0) {
          ++detect_failures;
        }
      }
    });
  }
  for (auto& thread : threads) thread.join();
  std::set<int> distinct;
  for (const auto& list : handles) distinct.insert(list.begin(), list.end());
  EXPECT_EQ(distinct.size(), static_cast<size_t>(kThreads * kRounds));
  EXPECT_EQ(*distinct.begin(), 1);
  EXPECT_EQ(*distinct.rbegin(), kThreads * kRounds);
  EXPECT_EQ(detect_failures, 0);
  for (int h : distinct) EXPECT_EQ(zq_face_detect_api_destroy(h), 0);
  testing::internal::GetCapturedStdout();
}

TEST_F(FaceDetectApi, DestroyWaitsForADetectRunningOnTheHandle) {
  const int h = Init();
  TheScript().run_delay_ms = 300;
  Faces faces;
  int detect_result = 99;
  testing::internal::CaptureStdout();
  std::thread detecting([&] {
    const auto frame = Frame(32, 32);
    detect_result = zq_face_detect_api_detectBuffer(h, frame.data(), 32, 32, 7, 0, 1, 0, &faces);
  });
  while (true) {
    std::lock_guard<std::mutex> hold(TheScript().lock);
    if (TheScript().runs > 0) break;
  }
  EXPECT_EQ(zq_face_detect_api_destroy(h), 0);
  detecting.join();
  const auto frame = Frame(32, 32);
  EXPECT_EQ(zq_face_detect_api_detectBuffer(h, frame.data(), 32, 32, 7, 0, 1, 0, &faces), -2);
  testing::internal::GetCapturedStdout();
  open_.clear();
  EXPECT_EQ(detect_result, 0);
}

}  // namespace
