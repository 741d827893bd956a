// The library as its users load it: model files enciphered by our tool, read, deciphered and
// run through the exported functions.
#include <windows.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "detection_test_net.h"
#include "test_files.h"
#include "zq_face_detect_api.h"

namespace {

// Enciphers |model| with zq_model_encipher into |folder|\FD_J_N_v2.m.bin.
void InstallDetectionModel(const std::vector<uint8_t>& model, const std::string& folder,
                           const char* mode) {
  const std::string plain = folder + "\\detection.onnx";
  WriteFile(plain, model);
  std::string command = "\"" + TestFolder() + "\\zq_model_encipher.exe\" " + mode + " \"" + plain +
                        "\" \"" + folder + "\\FD_J_N_v2.m.bin\"";
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
  std::vector<zq_face_detect_result> faces;
  testing::internal::CaptureStdout();
  const int result =
      zq_face_detect_api_detectBuffer(handle, frame.data(), 1280, 960, 7, 0, 1, 0, &faces);
  testing::internal::GetCapturedStdout();
  ASSERT_EQ(result, 0);
  ASSERT_EQ(faces.size(), 1u);
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

  // No handle number was used.
  const std::string good = MakeTestFolder("library_good_model");
  InstallDetectionModel(zqfd_test::BuildDetectionTestNet({}), good, "plain");
  testing::internal::CaptureStdout();
  const int handle = zq_face_detect_api_init(good.c_str(), 10, 5, nullptr);
  EXPECT_EQ(handle, 1);
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
          if (zq_face_detect_api_detectBuffer(handle, frame.data(), 320, 240, 7, 0, 1, 0, &faces) !=
                  0 ||
              faces.size() != 1) {
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
