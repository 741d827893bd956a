// The layer in a room of the loopback server, watched by a raw member through the room's live
// stream: a published picture goes out at its fitted and turned size, and a publishing camera's
// frames go out through the stand-in beauty process (luma inverted) unless beauty is suspended.

#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "foundation/app_config.h"
#include "foundation/bus_topics.h"
#include "foundation/hub.h"
#include "platform/orvim/common/media_pattern.h"
#include "platform/orvim/testing/room_server_process.h"
#include "platform/orvim/testing/service_client.h"
#include "sdk/interactive/tests/sdk_test_support.h"
#include "shell/registry/user_stream_list.h"

namespace sdk_test {
namespace {

using namespace std::chrono_literals;
using orvim::testing::RoomServerProcess;
using orvim::testing::ServiceClient;

// Pictures are loaded, scaled and published before the first frame: waits are longer here.
constexpr int kPictureWaitMs = 15000;

// A 24-bit BMP of |width| x |height|, mid grey.
std::string WriteGreyBmp(const std::string& name, int width, int height) {
  char folder[MAX_PATH];
  GetTempPathA(MAX_PATH, folder);
  const std::string path = std::string(folder) + name;
  const int row = (width * 3 + 3) / 4 * 4;
  std::vector<uint8_t> file(54 + static_cast<size_t>(row) * height, 128);
  auto put = [&file](size_t at, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) file[at + i] = static_cast<uint8_t>(value >> (8 * i));
  };
  std::fill(file.begin(), file.begin() + 54, 0);
  file[0] = 'B';
  file[1] = 'M';
  put(2, static_cast<uint32_t>(file.size()), 4);
  put(10, 54, 4);
  put(14, 40, 4);
  put(18, static_cast<uint32_t>(width), 4);
  put(22, static_cast<uint32_t>(height), 4);
  put(26, 1, 2);
  put(28, 24, 2);
  FILE* out = std::fopen(path.c_str(), "wb");
  if (out) {
    std::fwrite(file.data(), 1, file.size(), out);
    std::fclose(out);
  }
  return path;
}

// What the raw member sees of the live stream: each frame's size and whether the camera's mark
// reads as it was drawn or only after inverting the luma.
class LiveFrames {
 public:
  struct Entry {
    int width = 0, height = 0;
    bool plain = false, inverted = false;
  };
  void OnFrame(const std::string& streamId, const rtTarvo::rtc::FrameDescription& d) {
    if (streamId != "room1-live" || !d.data || d.width <= 0 || d.height <= 0) return;
    Entry e;
    e.width = d.width;
    e.height = d.height;
    orvim::PictureMark mark;
    e.plain = orvim::ReadPictureMark(d.data, d.width, d.height, &mark);
    const size_t luma = static_cast<size_t>(d.width) * d.height;
    std::vector<uint8_t> turned(d.data, d.data + luma + luma / 2);
    for (size_t i = 0; i < luma; ++i) turned[i] = static_cast<uint8_t>(255 - turned[i]);
    e.inverted = orvim::ReadPictureMark(turned.data(), d.width, d.height, &mark);
    std::lock_guard<std::mutex> lock(mutex_);
    entries_.push_back(e);
  }
  std::vector<Entry> Since(size_t from) {
    std::lock_guard<std::mutex> lock(mutex_);
    return std::vector<Entry>(entries_.begin() + std::min(from, entries_.size()), entries_.end());
  }
  size_t Count() {
    std::lock_guard<std::mutex> lock(mutex_);
    return entries_.size();
  }

 private:
  std::mutex mutex_;  // Protects |entries_|.
  std::vector<Entry> entries_;
};

class SdkPictureRoomTest : public ::testing::Test {
 protected:
  void SetUp() override {
    CUserStreamList::Instance()->Replace({});
    ASSERT_TRUE(library_.ok());
    ASSERT_TRUE(server_.Start());
    StAppConfig* config = GetAppConfig();
    UseVirtualDevices(config);
    config->rotation = 0;
    config->mirror = 0;
    config->flip = 0;
    config->beauty_suspended.store(false);
    bob_ = std::make_unique<ServiceClient>(library_);
    bob_->observer().SetFrameHook(
        [this](const std::string& id, int, const rtTarvo::rtc::FrameDescription& d) { live_.OnFrame(id, d); });
    layer_ = std::make_unique<TestLayer>(&owner_);
    layer_->InitSDK();
    join_ = JoinAsMe("room1", server_.address());
    ASSERT_TRUE(bob_->Join(server_.address(), "room1", "bob"));
    layer_->Login(join_);
    ASSERT_TRUE(WaitUntil([&] { return layer_->IsInMeeting(); }, kPictureWaitMs));
  }
  void TearDown() override {
    layer_.reset();
    bob_.reset();
    for (const std::string& file : files_) DeleteFileA(file.c_str());
    CUserStreamList::Instance()->Replace({});
  }
  std::string Picture(const std::string& name, int width, int height) {
    files_.push_back(WriteGreyBmp(name, width, height));
    return files_.back();
  }
  // Resends the stored picture as the main window's 40 ms timer does until |count| more live
  // frames of |width| x |height| arrived; false when they do not.
  bool PictureFramesArrive(int width, int height, size_t count) {
    const size_t from = live_.Count();
    return WaitUntil([&] {
      layer_->ResendLastLocalFrame();
      std::this_thread::sleep_for(40ms);
      size_t sized = 0;
      for (const LiveFrames::Entry& e : live_.Since(from)) sized += e.width == width && e.height == height;
      return sized >= count;
    }, kPictureWaitMs);
  }

  ConfigGuard config_;
  orvim::testing::OrvimLibrary library_;
  RoomServerProcess server_;
  PageSink page_;
  RecordingOwner owner_;
  LiveFrames live_;
  std::unique_ptr<ServiceClient> bob_;
  std::unique_ptr<TestLayer> layer_;
  StJoinInfo join_;
  std::vector<std::string> files_;
};

TEST_F(SdkPictureRoomTest, APictureGoesOutAtItsFittedAndTurnedSize) {
  GetAppConfig()->use_mode.store(false);
  GetAppConfig()->picture_path = Picture("tarvo_room_4000.bmp", 4000, 3000);
  layer_->Open_Picture_Stream();
  ASSERT_TRUE(WaitUntil([&] { return owner_.Published(); }, kPictureWaitMs));
  bob_->media()->SubscribeLive(0, 0, false);
  EXPECT_TRUE(PictureFramesArrive(1440, 1080, 5));

  // Turned by 90 degrees, a 1280 x 720 picture: the running stream takes 720 x 1280.
  GetAppConfig()->rotation = 90;
  GetAppConfig()->picture_path = Picture("tarvo_room_1280.bmp", 1280, 720);
  layer_->Open_Picture_Stream();
  EXPECT_TRUE(PictureFramesArrive(720, 1280, 5));

  // An unreadable picture: the picture already sent goes on.
  GetAppConfig()->picture_path = Picture("tarvo_room_bad.bmp", 0, 0);
  layer_->Open_Picture_Stream();
  EXPECT_TRUE(PictureFramesArrive(720, 1280, 5));
  EXPECT_EQ(page_.Values(30, "text").back(), "win_client:Open_Picture_Stream open failed!");
}

TEST_F(SdkPictureRoomTest, APublishingCamerasFramesGoOutBeautifiedUnlessSuspended) {
  GetAppConfig()->use_mode.store(true);
  ASSERT_TRUE(layer_->Open_Video_Dev("orvim-camera-1", "Orvim Virtual Camera", true, true));
  ASSERT_TRUE(WaitUntil([&] { return owner_.Published(); }, kPictureWaitMs));
  st_beauty beauty;
  beauty.whitening = 40;
  CxBus::Call(GetMessageBus(), kTopicSetBeautyDev, std::string("orvim-camera-1"), &beauty, true);
  bob_->media()->SubscribeLive(0, 0, false);

  // The beauty process starts with the stream; from its first answer on every frame is changed.
  // After the switch, frames on their way still come as they were sent: from the first frame of
  // the new state on, every frame keeps it.
  auto firstOf = [&](size_t from, bool inverted, size_t* at) {
    return WaitUntil([&] {
      const std::vector<LiveFrames::Entry> entries = live_.Since(from);
      for (size_t i = 0; i < entries.size(); ++i) {
        if (inverted ? entries[i].inverted : entries[i].plain) {
          *at = from + i;
          return true;
        }
      }
      return false;
    }, kPictureWaitMs);
  };
  auto followers = [&](size_t at) {
    EXPECT_TRUE(WaitUntil([&] { return live_.Count() >= at + 15; }, kPictureWaitMs));
    return live_.Since(at);
  };
  size_t on = 0;
  ASSERT_TRUE(firstOf(0, true, &on));
  for (const LiveFrames::Entry& e : followers(on)) {
    EXPECT_TRUE(e.inverted);
    EXPECT_FALSE(e.plain);
  }

  GetAppConfig()->beauty_suspended.store(true);
  size_t suspended = 0;
  ASSERT_TRUE(firstOf(live_.Count(), false, &suspended));
  for (const LiveFrames::Entry& e : followers(suspended)) {
    EXPECT_TRUE(e.plain);
    EXPECT_FALSE(e.inverted);
  }

  GetAppConfig()->beauty_suspended.store(false);
  size_t resumed = 0;
  ASSERT_TRUE(firstOf(live_.Count(), true, &resumed));
  for (const LiveFrames::Entry& e : followers(resumed)) EXPECT_TRUE(e.inverted);
}

}  // namespace
}  // namespace sdk_test
