// The picture stream against the stand-in offline: the picture's frame as stored, the publish
// stream made at its size, and an unreadable picture that changes nothing.

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "foundation/app_config.h"
#include "foundation/bus_topics.h"
#include "foundation/hub.h"
#include "sdk/interactive/tests/sdk_test_support.h"

namespace sdk_test {
namespace {

using Ops = std::vector<std::string>;

// An 8-bit BMP of four quadrants: top-left red, top-right green, bottom-left blue, bottom-right
// white (rows bottom-up, padded to 4 bytes).
std::string WriteQuadrantBmp(const std::string& name, int width, int height) {
  char folder[MAX_PATH];
  GetTempPathA(MAX_PATH, folder);
  const std::string path = std::string(folder) + name;
  const uint8_t palette[4][4] = {{30, 30, 220, 0}, {60, 200, 30, 0}, {210, 60, 40, 0}, {250, 250, 250, 0}};
  const int row = (width + 3) / 4 * 4;
  const uint32_t offset = 14 + 40 + sizeof(palette);
  std::vector<uint8_t> file(offset + static_cast<size_t>(row) * height, 0);
  auto put = [&file](size_t at, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) file[at + i] = static_cast<uint8_t>(value >> (8 * i));
  };
  file[0] = 'B';
  file[1] = 'M';
  put(2, static_cast<uint32_t>(file.size()), 4);
  put(10, offset, 4);
  put(14, 40, 4);
  put(18, static_cast<uint32_t>(width), 4);
  put(22, static_cast<uint32_t>(height), 4);
  put(26, 1, 2);
  put(28, 8, 2);
  put(46, 4, 4);
  std::memcpy(&file[54], palette, sizeof(palette));
  for (int y = 0; y < height; ++y) {  // y counts from the top.
    uint8_t* line = &file[offset + static_cast<size_t>(height - 1 - y) * row];
    for (int x = 0; x < width; ++x) line[x] = static_cast<uint8_t>((y >= height / 2 ? 2 : 0) + (x >= width / 2 ? 1 : 0));
  }
  FILE* out = std::fopen(path.c_str(), "wb");
  if (!out) return path;
  std::fwrite(file.data(), 1, file.size(), out);
  std::fclose(out);
  return path;
}

// The luma at the centres of the four quadrants of an I420 frame: top-left, top-right,
// bottom-left, bottom-right.
std::vector<int> QuadrantLuma(const std::vector<uint8_t>& frame, int width, int height) {
  std::vector<int> luma;
  for (const int qy : {height / 4, height * 3 / 4}) {
    for (const int qx : {width / 4, width * 3 / 4}) luma.push_back(frame[static_cast<size_t>(qy) * width + qx]);
  }
  return luma;
}

// Picture mode with the virtual microphone configured; the settings and the picture files are
// put back afterwards.
class SdkPictureTest : public ::testing::Test {
 protected:
  void SetUp() override {
    GetAppConfig()->use_mode.store(false);
    GetAppConfig()->SetMicDevId("orvim-mic-1");
  }
  void TearDown() override {
    for (const std::string& file : files_) DeleteFileA(file.c_str());
  }
  std::string Picture(const std::string& name, int width, int height) {
    files_.push_back(WriteQuadrantBmp(name, width, height));
    return files_.back();
  }
  // Opens |path| on the bus and answers the stream calls made, as "op{args}".
  static Ops OpenPicture(OfflineMeeting& m, const std::string& path) {
    GetAppConfig()->picture_path = path;
    CxBus::Call(GetMessageBus(), kTopicOpenPicture);
    Ops ops;
    for (const Call& call : m.Journal()) {
      if (call.op == "CreateStream" || call.op == "SetPublishOptions") ops.push_back(call.op + call.args);
    }
    return ops;
  }

 private:
  ConfigGuard config_;
  std::vector<std::string> files_;
};

std::string Create(int width, int height) {
  return "CreateStream{\"kind\":0,\"width\":" + std::to_string(width) + ",\"height\":" + std::to_string(height) +
         R"(,"profile":7,"layers":5,"video":true,"audio":true})";
}

TEST_F(SdkPictureTest, ThePictureIsFittedRoundedDownAndPublishedAtItsSize) {
  OfflineMeeting m;
  m.Join();
  const struct {
    const char* name;
    int width, height, rotation;
    int sentWidth, sentHeight;
  } cases[] = {
      {"tarvo_pic_4000.bmp", 4000, 3000, 0, 1440, 1080},
      {"tarvo_pic_641.bmp", 641, 361, 0, 640, 360},
      {"tarvo_pic_1280.bmp", 1280, 720, 90, 720, 1280},
  };
  for (const auto& c : cases) {
    GetAppConfig()->rotation = c.rotation;
    EXPECT_EQ(OpenPicture(m, Picture(c.name, c.width, c.height)), (Ops{Create(c.sentWidth, c.sentHeight)})) << c.name;
    int width = 0, height = 0;
    const std::vector<uint8_t> frame = m.layer.GetStoredFrame(&width, &height);
    EXPECT_EQ(width, c.sentWidth) << c.name;
    EXPECT_EQ(height, c.sentHeight) << c.name;
    EXPECT_EQ(frame.size(), static_cast<size_t>(c.sentWidth) * c.sentHeight * 3 / 2) << c.name;
  }
  EXPECT_EQ(m.owner.Calls(), (Ops{"OnPictureStream(1)", "OnPictureStream(1)", "OnPictureStream(1)"}));
}

TEST_F(SdkPictureTest, RotationMirrorAndFlipApplyToTheStoredFrame) {
  OfflineMeeting m;
  m.Join();
  const std::string path = Picture("tarvo_pic_quadrants.bmp", 320, 240);
  OpenPicture(m, path);
  int width = 0, height = 0;
  const std::vector<int> q = QuadrantLuma(m.layer.GetStoredFrame(&width, &height), 320, 240);
  ASSERT_EQ(width, 320);
  // Four different colours: each quadrant is told by its luma.
  ASSERT_NE(q[0], q[1]);
  ASSERT_NE(q[2], q[3]);
  ASSERT_NE(q[0], q[2]);
  const int tl = q[0], tr = q[1], bl = q[2], br = q[3];
  const struct {
    int rotation, mirror, flip;
    int width, height;
    std::vector<int> quadrants;
  } cases[] = {
      {90, 0, 0, 240, 320, {bl, tl, br, tr}},  // Clockwise.
      {180, 0, 0, 320, 240, {br, bl, tr, tl}},
      {270, 0, 0, 240, 320, {tr, br, tl, bl}},
      {0, 1, 0, 320, 240, {tr, tl, br, bl}},
      {0, 0, 1, 320, 240, {bl, br, tl, tr}},
  };
  for (const auto& c : cases) {
    GetAppConfig()->rotation = c.rotation;
    GetAppConfig()->mirror = c.mirror;
    GetAppConfig()->flip = c.flip;
    OpenPicture(m, path);
    const std::vector<uint8_t> frame = m.layer.GetStoredFrame(&width, &height);
    EXPECT_EQ(width, c.width);
    EXPECT_EQ(height, c.height);
    EXPECT_EQ(QuadrantLuma(frame, width, height), c.quadrants) << c.rotation << c.mirror << c.flip;
  }
}

// A picture that cannot be read creates nothing, tells no one and keeps the picture already
// sent; with the publish stream running its size stays.
TEST_F(SdkPictureTest, AnUnreadablePictureChangesNothing) {
  OfflineMeeting m;
  m.Join();
  EXPECT_EQ(OpenPicture(m, Picture("tarvo_pic_good.bmp", 640, 360)), (Ops{Create(640, 360)}));
  ASSERT_TRUE(m.Emit("OnCreateSenderSuccess",
                     R"({"stream_id":"pub","video_type":7,"stream_kind":1,"sender_kind":0})"));
  ASSERT_TRUE(m.layer.HasSender(0));
  m.Journal();
  m.owner.Clear();
  m.page.Clear();

  char folder[MAX_PATH];
  GetTempPathA(MAX_PATH, folder);
  const std::string garbage = std::string(folder) + "tarvo_pic_garbage.bmp";
  FILE* out = std::fopen(garbage.c_str(), "wb");
  ASSERT_NE(out, nullptr);
  std::fputs("BM this is no picture", out);
  std::fclose(out);
  for (const std::string& path : {garbage, std::string(folder) + "tarvo_pic_missing.bmp"}) {
    EXPECT_EQ(OpenPicture(m, path), Ops{}) << path;
    int width = 0, height = 0;
    EXPECT_EQ(m.layer.GetStoredFrame(&width, &height).size(), 640u * 360 * 3 / 2) << path;
    EXPECT_EQ(width, 640);
    EXPECT_EQ(height, 360);
  }
  DeleteFileA(garbage.c_str());
  EXPECT_TRUE(m.owner.Calls().empty());
  EXPECT_EQ(m.page.Values(30, "text"),
            (Ops{"win_client:Open_Picture_Stream open failed!", "win_client:Open_Picture_Stream open failed!"}));

  // A readable one again: the running publish stream takes its size.
  EXPECT_EQ(OpenPicture(m, Picture("tarvo_pic_good2.bmp", 1280, 720)),
            (Ops{R"(SetPublishOptions{"stream_id":"pub","width":1280,"height":720})"}));
}

TEST_F(SdkPictureTest, OutOfAMeetingNothingIsOpened) {
  OfflineMeeting m;
  EXPECT_EQ(OpenPicture(m, Picture("tarvo_pic_out.bmp", 640, 360)), Ops{});
  EXPECT_TRUE(m.layer.GetStoredFrame(nullptr, nullptr).empty());
  EXPECT_TRUE(m.owner.Calls().empty());
}

}  // namespace
}  // namespace sdk_test
