// The layer in a room of the loopback server with a raw member "bob": local media played from
// a clip by a real decode engine, the publish statistics and the quality level under loss and
// at a small size, a muted camera, the mix and live layouts, and the speaker test.

#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "devices/tests/file_decode_harness.h"
#include "foundation/app_config.h"
#include "platform/orvim/testing/room_server_process.h"
#include "platform/orvim/testing/service_client.h"
#include "sdk/interactive/tests/sdk_test_support.h"
#include "shell/registry/user_stream_list.h"

namespace sdk_test {
namespace {

using namespace std::chrono_literals;
using orvim::testing::RoomServerProcess;
using orvim::testing::ServiceClient;

// Joining, publishing and the first statistics take longer here than the shared default.
constexpr int kRoomWaitMs = 15000;

// The local playback as the playback window drives it: each decoded picture goes to the layer
// as a share frame.
class LocalMediaPlayer : public morlun_test::TestPlayer {
 public:
  explicit LocalMediaPlayer(CSdkInterActive* layer) : layer_(layer) {}
  void OnVideoFrame(int width, int height, const uint8_t* data, int size) override {
    layer_->SendShareStreamData(data, size, width, height);
    morlun_test::TestPlayer::OnVideoFrame(width, height, data, size);
  }

 private:
  CSdkInterActive* layer_;
};

class SdkShareStatsRoomTest : public ::testing::Test {
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
    config->use_mode.store(true);
    bob_ = std::make_unique<ServiceClient>(library_);
    layer_ = std::make_unique<TestLayer>(&owner_);
    layer_->InitSDK();
    join_ = JoinAsMe("room1", server_.address());
    ASSERT_TRUE(bob_->Join(server_.address(), "room1", "bob"));
    layer_->Login(join_);
    ASSERT_TRUE(WaitUntil([&] { return layer_->IsInMeeting(); }, kRoomWaitMs));
  }
  void TearDown() override {
    layer_.reset();
    bob_.reset();
    CUserStreamList::Instance()->Replace({});
  }
  bool Server(const std::string& request) { return orvim::testing::ServerControlOk(library_, server_.address(), request); }
  // Opens the virtual camera publishing and waits until the publish stream is out.
  void PublishCamera() {
    ASSERT_TRUE(layer_->Open_Video_Dev("orvim-camera-1", "Orvim Virtual Camera", true, false));
    ASSERT_TRUE(WaitUntil([&] { return owner_.Published(); }, kRoomWaitMs));
  }
  // One network-quality tick: the judgement (which asks for fresh statistics), then time for
  // the answer to arrive.
  int Tick(int interval_ms) {
    const int level = layer_->UpdateNetStatus();
    std::this_thread::sleep_for(std::chrono::milliseconds(interval_ms));
    return level;
  }

  ConfigGuard config_;
  orvim::testing::OrvimLibrary library_;
  RoomServerProcess server_;
  PageSink page_;
  RecordingOwner owner_;
  std::unique_ptr<ServiceClient> bob_;
  std::unique_ptr<TestLayer> layer_;
  StJoinInfo join_;
};

TEST_F(SdkShareStatsRoomTest, LocalMediaPicturesReachTheRoomInOrder) {
  LocalMediaPlayer player(layer_.get());
  player.Configure(320, 240, 1);
  std::mutex mutex;
  std::vector<int> seen;  // Frame numbers bob received on the local-media stream.
  bob_->observer().SetFrameHook([&](const std::string&, int type, const rtTarvo::rtc::FrameDescription& d) {
    if (type != rtTarvo::rtc::kStreamLocalMedia || !d.data || d.width != 320 || d.height != 240) return;
    std::lock_guard<std::mutex> lock(mutex);
    seen.push_back(morlun_test::FrameNumberOf(d.data, d.width, d.height));
  });
  ASSERT_TRUE(player.OpenAndStart("morlun_h264_aac.mp4"));
  ASSERT_EQ(layer_->Start_LocalMedia_Stream(player.engine(), 320, 240, false), 0);
  EXPECT_TRUE(library_.Control(R"({"cmd":"journal"})").find(R"("has_video":true)") != std::string::npos);
  player.StartPulling(10);  // The playback's sound clock: pictures come at the file's pace.
  // Bob subscribes the local-media stream once the room announces it.
  ASSERT_TRUE(WaitUntil([&] {
    for (const auto& e : bob_->observer().Events("OnStreamAdded")) {
      if (e.stream.kind == rtTarvo::rtc::kStreamLocalMedia) return true;
    }
    return false;
  }, kRoomWaitMs));
  std::string mediaId;
  for (const auto& e : bob_->observer().Events("OnStreamAdded")) {
    if (e.stream.kind == rtTarvo::rtc::kStreamLocalMedia) mediaId = e.stream.stream_id;
  }
  EXPECT_EQ(mediaId, layer_->GetMeetingIds().localMediaStreamId);
  bob_->media()->Resubscribe(mediaId, 0);
  ASSERT_TRUE(player.PumpUntil([&] {
    std::lock_guard<std::mutex> lock(mutex);
    return seen.size() >= 30;
  }, 20000)) << "decoded " << player.FrameCount() << ", seen " << seen.size() << ", bob's frames "
             << bob_->observer().Frames().size() << ", sender " << layer_->HasSender(1);
  {
    std::lock_guard<std::mutex> lock(mutex);
    for (size_t i = 1; i < seen.size(); ++i) EXPECT_GT(seen[i], seen[i - 1]) << i;
  }
  // Local media excludes a share; its statistics come from its own record.
  EXPECT_EQ(layer_->Start_Share_Stream(), 2);
  NetStatistics stats;
  ASSERT_TRUE(WaitUntil([&] {
    layer_->GetLocalMediaNetStats(&stats);
    std::this_thread::sleep_for(100ms);
    return stats.video.packets > 0;
  }, kRoomWaitMs));
  EXPECT_EQ(stats.video.width, 320u);

  player.StopPulling();
  layer_->Stop_LocalMedia_Stream();
  EXPECT_FALSE(layer_->IsLocalMediaPlaying());
  ASSERT_TRUE(WaitUntil([&] { return layer_->GetMeetingIds().localMediaStreamId.empty(); },
                        kRoomWaitMs));
  layer_->GetLocalMediaNetStats(&stats);
  EXPECT_EQ(stats.video.packets, 0);
  EXPECT_EQ(layer_->Start_Share_Stream(), 0);
}

TEST_F(SdkShareStatsRoomTest, PublishStatisticsAndTheQualityLevel) {
  PublishCamera();
  // The copies grow while publishing.
  NetStatistics first, second;
  ASSERT_TRUE(WaitUntil([&] {
    layer_->GetPublishNetStats(&first, true);
    std::this_thread::sleep_for(100ms);
    return first.video.packets > 0 && first.video.frameRate > 0;
  }, kRoomWaitMs));
  ASSERT_TRUE(WaitUntil([&] {
    layer_->GetPublishNetStats(&second, true);
    std::this_thread::sleep_for(100ms);
    return second.video.packets > first.video.packets;
  }, kRoomWaitMs));
  EXPECT_GT(second.video.bytes, first.video.bytes);
  EXPECT_EQ(second.video.width, 1280u);
  EXPECT_EQ(second.video.height, 720u);
  EXPECT_GT(second.video.frameRate, 0);
  EXPECT_GT(second.audio.packets, 0);

  // 12 % of the pictures lost: once the histories hold the loss, the level reads 1.
  ASSERT_TRUE(Server(R"({"cmd":"network","uid":"me","loss":0.12})"));
  int ones = 0;
  for (int tick = 0; tick < 40 && ones < 3; ++tick) ones = Tick(1500) == 1 ? ones + 1 : 0;
  EXPECT_EQ(ones, 3);
  ASSERT_TRUE(Server(R"({"cmd":"network","uid":"me","loss":0})"));

  // A muted camera: its frames stop and the sound is judged instead (no sound is lost).
  const std::string own = layer_->GetMeetingIds().ownParticipantId;
  layer_->OnVideo_OnOff(own, 0);
  ASSERT_TRUE(WaitUntil([&] { return layer_->GetStreamOps().empty(); }, kRoomWaitMs));
  std::vector<int> levels;
  for (int tick = 0; tick < 6; ++tick) levels.push_back(Tick(300));
  EXPECT_EQ(levels.back(), 2);
  EXPECT_EQ(layer_->GetNetStatus().audioPackets.size(), 5u);
  layer_->OnVideo_OnOff(own, 1);
  ASSERT_TRUE(WaitUntil([&] { return layer_->GetStreamOps().empty(); }, kRoomWaitMs));
}

TEST_F(SdkShareStatsRoomTest, ASmallPictureIsAtMostFair) {
  GetAppConfig()->video_width = 640;
  GetAppConfig()->video_height = 360;
  PublishCamera();
  GetAppConfig()->video_height = 720;  // The settings now ask for 720 lines.
  std::vector<int> levels;
  for (int tick = 0; tick < 8; ++tick) levels.push_back(Tick(300));
  EXPECT_EQ(layer_->GetNetStatus().frameHeight.back(), 360u);
  for (size_t i = 5; i < levels.size(); ++i) EXPECT_LE(levels[i], 1) << i;
}

TEST_F(SdkShareStatsRoomTest, LayoutsAndTheSpeakerTest) {
  // Bob's camera enters the mix: event 18 with his region.
  std::string camera;
  ASSERT_TRUE(bob_->PublishStream(0, true, &camera, nullptr));
  ASSERT_TRUE(page_.WaitFor(18, 1));
  const orvim::JsonPtr layout = std::move(page_.Parsed(18).back());
  const cJSON* item = cJSON_GetArrayItem(cJSON_GetObjectItemCaseSensitive(layout.get(), "list"), 0);
  EXPECT_EQ(orvim::GetString(item, "stream_id"), camera);
  EXPECT_EQ(orvim::GetString(item, "userId"), "bob");
  EXPECT_EQ(orvim::GetString(item, "width"), "1.00");

  // The live layout: set, then get answers event 19 with the text.
  layer_->SetLive2Layout("room1", R"({"mode":"grid","main":"bob"})");
  layer_->GetLive2Layout("room1");
  ASSERT_TRUE(page_.WaitFor(19, 1));
  EXPECT_EQ(page_.Values(19, "data"), std::vector<std::string>{R"({"mode":"grid","main":"bob"})"});

  // The speaker test's end reaches every consumer.
  SpeakerTestConsumer a, b;
  layer_->AddDevConsumer(&a);
  layer_->AddDevConsumer(&b);
  ASSERT_TRUE(library_.ControlOk(R"({"cmd":"speaker_test_ms","ms":200})"));
  layer_->PlayTestSpeaker("Orvim Virtual Speaker", "orvim-speaker-1", "C:\\test.wav", false);
  EXPECT_TRUE(WaitUntil([&] { return a.ends.load() == 1 && b.ends.load() == 1; }, kRoomWaitMs));
  layer_->DelDevConsumer(&a);
  layer_->DelDevConsumer(&b);
}

}  // namespace
}  // namespace sdk_test
