// The library as its users load it: model files enciphered by our tool, read, deciphered and
// run through the exported functions.
#include <windows.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "detection_test_net.h"
#include "face_test_nets.h"
#include "test_files.h"
#include "zq_face_detect_api.h"

namespace {

// Enciphers |model| with zq_model_encipher into |folder|\|file|.
void InstallModel(const std::vector<uint8_t>& model, const std::string& folder,
                  const std::string& file, const char* mode) {
  const std::string plain = folder + "\\model.onnx";
  WriteFile(plain, model);
  std::string command = "\"" + TestFolder() + "\\zq_model_encipher.exe\" " + mode + " \"" + plain +
                        "\" \"" + folder + "\\" + file + "\"";
  STARTUPINFOA si{};
  si.cb = sizeof(si);
  PROCESS_INFORMATION pi{};
  ASSERT_TRUE(
      CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
  WaitForSingleObject(pi.hProcess, 60000);
  DWORD code = 1;
  GetExitCodeProcess(pi.hProcess, &code);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  ASSERT_EQ(code, 0u);
  DeleteFileA(plain.c_str());
}

// The detection network |model| and the two tiny landmark networks.
void InstallDetectionModel(const std::vector<uint8_t>& model, const std::string& folder,
                           const char* mode) {
  InstallModel(model, folder, "FD_J_N_v2.m.bin", mode);
  InstallModel(zqfd_test::BuildLandmarkTestNet({}), folder, "FL_D_N_v3_i.m.bin", mode);
  InstallModel(zqfd_test::BuildLandmarkTestNet({}), folder, "FL_D_N_v5_v.m.bin", mode);
}

TEST(FaceDetectLibrary, DetectsWithAnEncipheredModelFromTheModelFolder) {
  const std::string folder = MakeTestFolder("library_models");
  zqfd_test::DetectionTestNet net;
  net.scored_level = 1;
  net.box[0] = 2.5f;    // +8 pixels
  net.box[1] = -1.25f;  // -4 pixels
  InstallDetectionModel(zqfd_test::BuildDetectionTestNet(net), folder, "block");

  testing::internal::CaptureStdout();
  const int handle = zq_face_detect_api_init(folder.c_str(), 10, 5, nullptr);
  const std::string printed = testing::internal::GetCapturedStdout();
  ASSERT_EQ(handle, 1) << printed;

  // 1280x960 at size class 1: a 320x240 working image, boxes come back times 4.
  std::vector<uint8_t> frame(1280 * 960 * 3, 0);
  for (int y = 200; y < 208; ++y) {
    for (int x = 400; x < 408; ++x) frame[(y * 1280 + x) * 3] = 255;
  }
  // A picture: detected at once (video finds a face from its second frame on).
  std::vector<zq_face_detect_result> faces;
  testing::internal::CaptureStdout();
  const int result =
      zq_face_detect_api_detectPicData(handle, frame.data(), 1280, 960, 7, 0, 1, 0, &faces);
  testing::internal::GetCapturedStdout();
  ASSERT_EQ(result, 0);
  ASSERT_EQ(faces.size(), 1u);
  EXPECT_EQ(faces[0].landmarks.size(), 190u);
  // Working image: prior (104, 56) size 32 moved to (112, 52): box (96, 36, 32, 32).
  EXPECT_NEAR(faces[0].x, 384, 4);
  EXPECT_NEAR(faces[0].y, 144, 4);
  EXPECT_NEAR(faces[0].width, 128, 4);
  EXPECT_NEAR(faces[0].height, 128, 4);

  testing::internal::CaptureStdout();
  EXPECT_EQ(zq_face_detect_api_destroy(handle), 0);
  testing::internal::GetCapturedStdout();
}

TEST(FaceDetectLibrary, RefusesAFolderWithoutUsableModels) {
  const std::string empty = MakeTestFolder("library_no_models");
  testing::internal::CaptureStdout();
  EXPECT_EQ(zq_face_detect_api_init(empty.c_str(), 10, 5, nullptr), -3);
  const std::string missing = testing::internal::GetCapturedStdout();
  EXPECT_NE(missing.find("Dont open " + empty + "/FD_J_N_v2.m.bin\n"), std::string::npos)
      << missing;

  // A network that lacks an output is refused when the library creates it.
  const std::string wrong = MakeTestFolder("library_wrong_model");
  zqfd_test::DetectionTestNet net;
  net.score_name = "531";
  InstallDetectionModel(zqfd_test::BuildDetectionTestNet(net), wrong, "plain");
  testing::internal::CaptureStdout();
  EXPECT_EQ(zq_face_detect_api_init(wrong.c_str(), 10, 5, nullptr), -3);
  EXPECT_NE(testing::internal::GetCapturedStdout().find("Zq_FaceDetect: load detect model fail.\n"),
            std::string::npos);

  // A weight that declares more values than the file holds is refused, not read past its end.
  const std::string oversized = MakeTestFolder("library_oversized_model");
  zqfd_test::DetectionTestNet lying;
  lying.oversized_weights = true;
  InstallDetectionModel(zqfd_test::BuildDetectionTestNet(lying), oversized, "plain");
  testing::internal::CaptureStdout();
  EXPECT_EQ(zq_face_detect_api_init(oversized.c_str(), 10, 5, nullptr), -3);
  EXPECT_NE(testing::internal::GetCapturedStdout().find("Zq_FaceDetect: load detect model fail.\n"),
            std::string::npos);

  // Landmark models missing, or giving 150 values instead of 190.
  const std::string no_landmarks = MakeTestFolder("library_no_landmarks");
  InstallModel(zqfd_test::BuildDetectionTestNet({}), no_landmarks, "FD_J_N_v2.m.bin", "plain");
  testing::internal::CaptureStdout();
  EXPECT_EQ(zq_face_detect_api_init(no_landmarks.c_str(), 10, 5, nullptr), -3);
  EXPECT_NE(testing::internal::GetCapturedStdout().find("Zq_FaceDetect: load ld model failed.\n"),
            std::string::npos);
  const std::string short_landmarks = MakeTestFolder("library_short_landmarks");
  InstallDetectionModel(zqfd_test::BuildDetectionTestNet({}), short_landmarks, "plain");
  zqfd_test::LandmarkTestNet short_output;
  short_output.output_values = 150;
  InstallModel(zqfd_test::BuildLandmarkTestNet(short_output), short_landmarks,
               "FL_D_N_v3_i.m.bin", "plain");
  testing::internal::CaptureStdout();
  EXPECT_EQ(zq_face_detect_api_init(short_landmarks.c_str(), 10, 5, nullptr), -3);
  EXPECT_NE(
      testing::internal::GetCapturedStdout().find("Zq_FaceDetect: load ld model i failed.\n"),
      std::string::npos);

  // No handle number was used.
  const std::string good = MakeTestFolder("library_good_model");
  InstallDetectionModel(zqfd_test::BuildDetectionTestNet({}), good, "plain");
  testing::internal::CaptureStdout();
  const int handle = zq_face_detect_api_init(good.c_str(), 10, 5, nullptr);
  EXPECT_EQ(handle, 1);
  EXPECT_EQ(zq_face_detect_api_destroy(handle), 0);
  testing::internal::GetCapturedStdout();
}

// A 320 x 240 frame, black but for a white square; the detection network scores 64-pixel boxes
// on a 32-pixel grid, so a square inside one cell is one face.
struct Square {
  int x, y, size;
};

std::vector<uint8_t> PatchFrame(Square patch) {
  std::vector<uint8_t> frame(320 * 240 * 3, 0);
  for (int y = patch.y; y < patch.y + patch.size; ++y) {
    for (int x = patch.x; x < patch.x + patch.size; ++x) {
      for (int c = 0; c < 3; ++c) frame[(y * 320 + x) * 3 + c] = 255;
    }
  }
  return frame;
}

std::string GridFaceModels(const char* name) {
  const std::string folder = MakeTestFolder(name);
  zqfd_test::DetectionTestNet net;
  net.scored_level = 2;
  InstallDetectionModel(zqfd_test::BuildDetectionTestNet(net), folder, "block");
  return folder;
}

TEST(FaceDetectLibrary, LandmarksComeMappedByOrientationWithThePoseFirst) {
  const std::string folder = GridFaceModels("library_orientation");
  testing::internal::CaptureStdout();
  const int handle = zq_face_detect_api_init(folder.c_str(), 10, 5, nullptr);
  ASSERT_EQ(handle, 1) << testing::internal::GetCapturedStdout();
  const auto frame = PatchFrame({100, 70, 12});
  std::vector<zq_face_detect_result> faces[4];
  for (int o = 0; o < 4; ++o) {
    ASSERT_EQ(
        zq_face_detect_api_detectPicData(handle, frame.data(), 320, 240, 7, o, 1, 0, &faces[o]),
        0);
    ASSERT_EQ(faces[o].size(), 1u) << o;
    ASSERT_EQ(faces[o][0].landmarks.size(), 190u) << o;
  }
  EXPECT_EQ(zq_face_detect_api_destroy(handle), 0);
  testing::internal::GetCapturedStdout();

  const float w = 320, h = 240;
  const std::vector<float>& plain = faces[0][0].landmarks;
  for (size_t i = 0; i < plain.size(); i += 2) {
    const float x = plain[i], y = plain[i + 1];
    EXPECT_FLOAT_EQ(faces[1][0].landmarks[i], w - y);
    EXPECT_FLOAT_EQ(faces[1][0].landmarks[i + 1], x);
    EXPECT_FLOAT_EQ(faces[2][0].landmarks[i], w - x);
    EXPECT_FLOAT_EQ(faces[2][0].landmarks[i + 1], h - y);
    EXPECT_FLOAT_EQ(faces[3][0].landmarks[i], y);
    EXPECT_FLOAT_EQ(faces[3][0].landmarks[i + 1], h - x);
  }
  // The head pose fills the first three entries.
  const std::vector<float>& pose = faces[0][0].pose;
  for (int k = 0; k < 3; ++k) EXPECT_NE(pose[k], -999.0f) << k;
  for (int k = 3; k < 9; ++k) EXPECT_EQ(pose[k], -999.0f) << k;
}

// Video: a square moving 2 pixels a frame keeps its number and is followed by the landmark
// tracking between detector runs.
TEST(FaceDetectLibrary, FollowsAMovingFaceBetweenDetectorRuns) {
  const std::string folder = GridFaceModels("library_video");
  testing::internal::CaptureStdout();
  const int handle = zq_face_detect_api_init(folder.c_str(), 10, 5, nullptr);
  ASSERT_EQ(handle, 1) << testing::internal::GetCapturedStdout();
  float first_x = 0, first_y = 0;
  for (int i = 0; i <= 10; ++i) {
    const auto frame = PatchFrame({98 + 2 * i, 70, 12});
    std::vector<zq_face_detect_result> faces;
    ASSERT_EQ(zq_face_detect_api_detectBuffer(handle, frame.data(), 320, 240, 7, 0, 1, 0, &faces),
              0);
    if (i == 0) {
      EXPECT_TRUE(faces.empty());
      continue;
    }
    ASSERT_EQ(faces.size(), 1u) << "frame " << i;
    EXPECT_EQ(faces[0].face_id, 0);
    float x = 0, y = 0;
    for (size_t k = 0; k < faces[0].landmarks.size(); k += 2) {
      x += faces[0].landmarks[k] / 95;
      y += faces[0].landmarks[k + 1] / 95;
    }
    if (i == 1) {
      first_x = x;
      first_y = y;
    }
    EXPECT_NEAR(x - first_x, 2.0f * (i - 1), 1.0f) << "frame " << i;
    EXPECT_NEAR(y - first_y, 0.0f, 1.0f) << "frame " << i;
  }
  EXPECT_EQ(zq_face_detect_api_destroy(handle), 0);
  testing::internal::GetCapturedStdout();
}

// Several threads create, use and free detectors with real networks at the same time.
TEST(FaceDetectLibrary, DetectorsRunInParallel) {
  const std::string folder = MakeTestFolder("library_parallel");
  zqfd_test::DetectionTestNet net;
  net.scored_level = 0;
  InstallDetectionModel(zqfd_test::BuildDetectionTestNet(net), folder, "block");

  std::vector<uint8_t> frame(320 * 240 * 3, 0);
  frame[(100 * 320 + 100) * 3] = 255;
  std::atomic<int> failures{0};
  std::vector<std::thread> threads;
  testing::internal::CaptureStdout();
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&] {
      for (int round = 0; round < 3; ++round) {
        const int handle = zq_face_detect_api_init(folder.c_str(), 10, 5, nullptr);
        if (handle < 1) {
          ++failures;
          continue;
        }
        std::vector<zq_face_detect_result> faces;
        for (int i = 0; i < 5; ++i) {
          // Video: the face is reported from the second frame on.
          if (zq_face_detect_api_detectBuffer(handle, frame.data(), 320, 240, 7, 0, 1, 0, &faces) !=
                  0 ||
              faces.size() != (i == 0 ? 0u : 1u)) {
            ++failures;
          }
        }
        if (zq_face_detect_api_destroy(handle) != 0) ++failures;
      }
    });
  }
  for (auto& thread : threads) thread.join();
  testing::internal::GetCapturedStdout();
  EXPECT_EQ(failures, 0);
}

}  // namespace
