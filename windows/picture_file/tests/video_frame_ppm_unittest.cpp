#include "windows/picture_file/video_frame_ppm.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

std::string TestData(const std::string& name) {
  const char* dir = std::getenv("TARVO_TEST_DATA");
  return std::string(dir ? dir : ".") + "/" + name;
}

std::string TempFile(const std::string& name) {
  char folder[MAX_PATH];
  GetTempPathA(MAX_PATH, folder);
  return std::string(folder) + "video_frame_ppm_" + std::to_string(GetCurrentProcessId()) + "_" +
         name;
}

std::vector<uint8_t> ReadAll(const std::string& path) {
  std::vector<uint8_t> bytes;
  FILE* file = fopen(path.c_str(), "rb");
  if (!file) return bytes;
  uint8_t chunk[65536];
  size_t got;
  while ((got = fread(chunk, 1, sizeof(chunk), file)) > 0) bytes.insert(bytes.end(), chunk, chunk + got);
  fclose(file);
  return bytes;
}

bool Exists(const std::string& path) {
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// A binary PPM read back: its size and R, G, B pixels.
struct Ppm {
  int width = 0, height = 0;
  std::vector<uint8_t> rgb;
};
bool ParsePpm(const std::vector<uint8_t>& bytes, Ppm* out) {
  int max = 0, consumed = 0;
  const std::string head(bytes.begin(), bytes.begin() + std::min<size_t>(bytes.size(), 32));
  if (sscanf(head.c_str(), "P6 %d %d %d%n", &out->width, &out->height, &max, &consumed) != 3 ||
      max != 255) {
    return false;
  }
  const size_t start = consumed + 1;  // one white-space character after the maximum
  const size_t need = static_cast<size_t>(out->width) * out->height * 3;
  if (bytes.size() != start + need) return false;
  out->rgb.assign(bytes.begin() + start, bytes.end());
  return true;
}

// The frame number drawn into every picture of the clip: bit k is the stripe at
// x = 40k .. 40k + 39, white for 1.
int FrameNumber(const Ppm& ppm) {
  int number = 0;
  const int y = ppm.height / 2;
  for (int k = 0; k < 8; ++k) {
    const int x = 40 * k + 20;
    if (ppm.rgb[(y * ppm.width + x) * 3] > 128) number |= 1 << k;
  }
  return number;
}

class VideoFramePpmTest : public ::testing::Test {
 protected:
  void TearDown() override {
    for (const std::string& path : made_) DeleteFileA(path.c_str());
  }
  std::string Made(const std::string& name) {
    made_.push_back(TempFile(name));
    return made_.back();
  }
  std::vector<std::string> made_;
};

}  // namespace

TEST_F(VideoFramePpmTest, SaveRgbAsPpmWritesHeaderAndRowsOrReportsFailure) {
  const uint8_t rgb[2 * 2 * 3] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
  const std::string path = Made("small.ppm");
  ASSERT_TRUE(SaveRgbAsPpm(path, rgb, 2, 2));
  const std::vector<uint8_t> bytes = ReadAll(path);
  const std::string header = "P6\n2 2\n255\n";
  ASSERT_EQ(bytes.size(), header.size() + sizeof(rgb));
  EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + header.size()), header);
  EXPECT_EQ(memcmp(bytes.data() + header.size(), rgb, sizeof(rgb)), 0);

  // No picture, no size, or a place that cannot be written: false, and no file.
  const std::string none = Made("none.ppm");
  EXPECT_FALSE(SaveRgbAsPpm(none, nullptr, 2, 2));
  EXPECT_FALSE(SaveRgbAsPpm(none, rgb, 0, 2));
  EXPECT_FALSE(Exists(none));
  EXPECT_FALSE(SaveRgbAsPpm(TempFile("no_such_folder") + "\\x.ppm", rgb, 2, 2));
  char folder[MAX_PATH];
  GetTempPathA(MAX_PATH, folder);
  EXPECT_FALSE(SaveRgbAsPpm(folder, rgb, 2, 2));  // a folder, not a file
}

TEST_F(VideoFramePpmTest, FirstKeyFrameOfAClipThatStartsWithoutOne) {
  const std::string clip = TestData("picture_cut_clip.ts");
  const std::string out = Made("clip.ppm");
  ASSERT_EQ(SaveVideoFirstFramePpm(clip, out, 1), out);
  Ppm ours, reference;
  ASSERT_TRUE(ParsePpm(ReadAll(out), &ours));
  ASSERT_TRUE(ParsePpm(ReadAll(TestData("picture_cut_clip_key.ppm")), &reference));
  ASSERT_EQ(ours.width, 320);
  ASSERT_EQ(ours.height, 240);
  ASSERT_EQ(reference.width, ours.width);
  ASSERT_EQ(reference.height, ours.height);
  // The first four packets were cut away: frames 4 to 9 have no key frame to start from, so the
  // first key frame is frame 10.
  EXPECT_EQ(FrameNumber(ours), 10);
  EXPECT_EQ(FrameNumber(reference), 10);
  double difference = 0;
  for (size_t i = 0; i < ours.rgb.size(); ++i) difference += std::abs(ours.rgb[i] - reference.rgb[i]);
  EXPECT_LE(difference / ours.rgb.size(), 2.0);

  // The second key frame.
  const std::string second = Made("second.ppm");
  ASSERT_EQ(SaveVideoFirstFramePpm(clip, second, 2), second);
  Ppm next;
  ASSERT_TRUE(ParsePpm(ReadAll(second), &next));
  EXPECT_EQ(FrameNumber(next), 20);
}

TEST_F(VideoFramePpmTest, NoVideoOrNoPlaceToWriteGivesEmptyText) {
  const std::string zeros = Made("zeros.mp4");
  {
    FILE* file = fopen(zeros.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    const std::vector<uint8_t> nothing(64 * 1024, 0);
    fwrite(nothing.data(), 1, nothing.size(), file);
    fclose(file);
  }
  const std::string out = Made("never.ppm");
  EXPECT_EQ(SaveVideoFirstFramePpm(zeros, out, 1), "");
  EXPECT_EQ(SaveVideoFirstFramePpm(TestData("picture_audio_only.wav"), out, 1), "");
  EXPECT_EQ(SaveVideoFirstFramePpm(TestData("no_such_clip.mp4"), out, 1), "");
  EXPECT_EQ(SaveVideoFirstFramePpm(TestData("picture_cut_clip.ts"), out, 0), "");
  // More key frames than the clip has (two seconds, one every ten frames).
  EXPECT_EQ(SaveVideoFirstFramePpm(TestData("picture_cut_clip.ts"), out, 50), "");
  EXPECT_FALSE(Exists(out));
  EXPECT_EQ(SaveVideoFirstFramePpm(TestData("picture_cut_clip.ts"),
                                   TempFile("no_such_folder") + "\\x.ppm", 1),
            "");
}
