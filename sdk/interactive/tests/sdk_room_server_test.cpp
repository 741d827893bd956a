// One layer in a room of the loopback server, with a raw service as the other member: the
// meeting's users, the live and mix subscriptions, recovery after a media loss, removal and
// server loss.

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <thread>

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
using Texts = std::vector<std::string>;

// A server, a raw member "bob" (made first, so that the layer's service is the newest) and the
// layer, whose owner plays the main window.
class SdkRoomServerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    CUserStreamList::Instance()->Replace({});
    ASSERT_TRUE(library_.ok());
    ASSERT_TRUE(server_.Start());
    bob_ = std::make_unique<ServiceClient>(library_);
    layer_ = std::make_unique<TestLayer>(&owner_);
    layer_->InitSDK();
    layer_->SetLiveSubscribeEnabled(true);  // As the main window's device opening does.
    join_ = JoinAsMe("room1", server_.address());
  }
  void TearDown() override {
    layer_.reset();
    bob_.reset();
    CUserStreamList::Instance()->Replace({});
  }

  // Logs the layer in and waits for the room status and the participant list.
  void JoinLayer(const std::string& room) {
    join_.confid = room;
    const size_t lists = page_.Events(12).size();
    layer_->Login(join_);
    ASSERT_TRUE(WaitUntil([&] { return layer_->IsInMeeting(); }));
    ASSERT_TRUE(page_.WaitFor(12, lists + 1));
  }
  bool Server(const std::string& request) { return orvim::testing::ServerControlOk(library_, server_.address(), request); }
  std::vector<std::string> Ops(const std::string& op) {
    std::vector<std::string> out;
    orvim::JsonPtr answer = library_.ControlJson(R"({"cmd":"journal","clear":true})");
    const cJSON* entry = nullptr;
    cJSON_ArrayForEach(entry, cJSON_GetObjectItemCaseSensitive(answer.get(), "calls")) {
      if (orvim::GetString(entry, "op") == op) out.push_back(orvim::ToText(cJSON_GetObjectItemCaseSensitive(entry, "args")));
    }
    return out;
  }
  bool HasLiveStream() {
    std::vector<rtTarvo::rtc::StreamEntry> streams;
    layer_->GetRtcEngine()->GetMediaObject()->GetStreams(&streams);
    for (const auto& s : streams) {
      if (s.kind == rtTarvo::rtc::kStreamLive) return true;
    }
    return false;
  }
  bool Subscribed(const std::string& id) { return layer_->GetSubscribedStreams().count(id) > 0; }

  orvim::testing::OrvimLibrary library_;
  RoomServerProcess server_;
  PageSink page_;
  RecordingOwner owner_;
  std::unique_ptr<ServiceClient> bob_;
  std::unique_ptr<TestLayer> layer_;
  StJoinInfo join_;
};

TEST_F(SdkRoomServerTest, UsersLiveAndMixAndARecoveredLiveStream) {
  JoinLayer("room1");
  EXPECT_EQ(owner_.Calls().front(), "OnJoinRoom(1,room1)");
  ASSERT_TRUE(WaitUntil([&] { return owner_.Calls().size() >= 2; }));
  EXPECT_EQ(owner_.Calls()[1].rfind("OnJoinGroup(", 0), 0u);
  const std::string own = layer_->GetMeetingIds().ownParticipantId;
  EXPECT_FALSE(own.empty());
  EXPECT_EQ(layer_->GetOwnStreamName(), own);
  EXPECT_EQ(CUserStreamList::Instance()->Size(), 1u);

  // Bob joins (event 13) and publishes: the room gets its live and mix streams.
  ASSERT_TRUE(bob_->Join(server_.address(), "room1", "bob"));
  ASSERT_TRUE(page_.WaitFor(13, 1));
  EXPECT_TRUE(CUserStreamList::Instance()->FindByUidCid("bob", "cid-bob").has_value());
  std::string camera;
  ASSERT_TRUE(bob_->PublishStream(0, true, &camera, nullptr));
  ASSERT_TRUE(WaitUntil([&] { return HasLiveStream(); }));
  // The stream-added callback subscribes the new live stream on its own.
  ASSERT_TRUE(WaitUntil([&] { return layer_->GetLiveState().subscribed && !layer_->GetLiveState().subscribing; }));
  Ops("SubscribeLive");

  // The live stream at a wanted size.
  layer_->Set_Subscribe_Resolution(1280, 720, true, true);
  ASSERT_TRUE(WaitUntil([&] { return !layer_->GetLiveState().subscribing; }));
  EXPECT_EQ(Ops("SubscribeLive"), Texts{R"({"width":1280,"height":720,"audio_muted":false})"});
  EXPECT_EQ(layer_->GetSubscribedStreams(), (std::map<std::string, int32_t>{{"room1-live", 7}}));
  EXPECT_FALSE(layer_->GetLiveState().subscribing);

  // The video wall: the mix on and off.
  layer_->VideoWall_OnOff(1);
  ASSERT_TRUE(WaitUntil([&] { return Subscribed("room1-mix"); }));
  layer_->VideoWall_OnOff(0);
  ASSERT_TRUE(WaitUntil([&] { return !Subscribed("room1-mix"); }));
  EXPECT_TRUE(Subscribed("room1-live"));

  // The live stream's media connection is lost: event 28 with 1 and the owner's timer; the
  // timer's tick subscribes it again and 28 with 2 follows.
  ASSERT_TRUE(Server(R"({"cmd":"drop_media","uid":"me","stream":"room1-live"})"));
  ASSERT_TRUE(page_.WaitFor(28, 1));
  EXPECT_EQ(layer_->GetResubscribeStreams(), Texts{"room1-live"});
  EXPECT_TRUE(owner_.subTimer.load());
  owner_.subRetries = 1;
  layer_->IceReConnectSub();
  ASSERT_TRUE(page_.WaitFor(28, 2));
  EXPECT_EQ(page_.Values(28, "status"), (Texts{"1", "2"}));
  EXPECT_FALSE(owner_.subTimer.load());
  EXPECT_TRUE(layer_->GetResubscribeStreams().empty());
  owner_.subRetries = 0;

  // Held: the retried subscription fails and the stream stays listed until the hold ends.
  ASSERT_TRUE(Server(R"({"cmd":"drop_media","uid":"me","stream":"room1-live","hold":true})"));
  ASSERT_TRUE(page_.WaitFor(28, 3));
  owner_.subRetries = 1;
  const size_t failures = page_.Values(30, "text").size();
  layer_->IceReConnectSub();
  ASSERT_TRUE(WaitUntil([&] {
    for (const std::string& text : page_.Values(30, "text")) {
      if (text.rfind("win_client:OnSubscribeFailed", 0) == 0) return true;
    }
    return false;
  }));
  EXPECT_GT(page_.Values(30, "text").size(), failures);
  EXPECT_EQ(layer_->GetResubscribeStreams(), Texts{"room1-live"});
  EXPECT_TRUE(owner_.subTimer.load());
  ASSERT_TRUE(Server(R"({"cmd":"hold","uid":"me","on":false})"));
  layer_->IceReConnectSub();
  ASSERT_TRUE(page_.WaitFor(28, 4));
  EXPECT_EQ(page_.Values(28, "status"), (Texts{"1", "2", "1", "2"}));

  // Bob leaves: event 14 and the registry forgets him.
  bob_->service()->Leave();
  ASSERT_TRUE(page_.WaitFor(14, 1));
  EXPECT_FALSE(CUserStreamList::Instance()->FindByUidCid("bob", "cid-bob").has_value());
}

TEST_F(SdkRoomServerTest, AKickEndsTheMeetingAndTheRejoinStartsClean) {
  ASSERT_TRUE(bob_->Join(server_.address(), "room1", "bob"));
  JoinLayer("room1");
  EXPECT_TRUE(CUserStreamList::Instance()->FindByUidCid("bob", "cid-bob").has_value());
  // What a publishing meeting holds: a sender and the publish stream's ids.
  static int sender;  // Never called.
  layer_->AddSender(0, "pub", reinterpret_cast<rtTarvo::rtc::FrameSender*>(&sender));
  layer_->UpdateMeetingIds([](StMeetingIds& ids) {
    ids.publishStreamId = "pub";
    ids.cameraStreamId = "cam";
  });

  ASSERT_TRUE(Server(R"({"cmd":"kick","uid":"me","origin":"host","reason":1})"));
  ASSERT_TRUE(page_.WaitFor(27, 1));
  EXPECT_EQ(page_.Values(27, "reason"), Texts{"1"});
  EXPECT_EQ(page_.Values(27, "origin"), Texts{"host"});
  ASSERT_TRUE(WaitUntil([&] { return !layer_->IsInMeeting(); }));

  // The rejoin (another room): no sender, no ids, and only this room's users.
  JoinLayer("room2");
  EXPECT_FALSE(layer_->HasSender(0));
  const StMeetingIds ids = layer_->GetMeetingIds();
  EXPECT_EQ(ids.publishStreamId + ids.cameraStreamId + ids.shareStreamId, "");
  EXPECT_EQ(ids.roomId, "room2");
  EXPECT_FALSE(CUserStreamList::Instance()->FindByUidCid("bob", "cid-bob").has_value());
  EXPECT_EQ(CUserStreamList::Instance()->Size(), 1u);
}

TEST_F(SdkRoomServerTest, AKilledServerEndsTheMeeting) {
  ASSERT_TRUE(bob_->Join(server_.address(), "room1", "bob"));
  std::string camera;
  ASSERT_TRUE(bob_->PublishStream(0, true, &camera, nullptr));
  JoinLayer("room1");
  ASSERT_TRUE(WaitUntil([&] { return HasLiveStream(); }));
  ASSERT_TRUE(library_.ControlOk(R"({"cmd":"reconnect_window_ms","ms":300})"));
  StAppConfig* config = GetAppConfig();
  config->camera_dev_id = "cam-x";
  LocalVideoStream record;
  record.deviceId = "cam-x";
  record.streamId = "cs1";
  layer_->AppendLocalVideoStream(record);
  layer_->Set_Subscribe_Resolution(0, 0, true, true);
  ASSERT_TRUE(WaitUntil([&] { return layer_->GetLiveState().subscribed; }));
  ASSERT_TRUE(Server(R"({"cmd":"drop_media","uid":"me","stream":"room1-live"})"));
  ASSERT_TRUE(WaitUntil([&] { return !layer_->GetResubscribeStreams().empty(); }));
  Ops("ReleaseStream");

  server_.Kill();
  ASSERT_TRUE(WaitUntil([&] { return !layer_->IsInMeeting(); }));
  config->camera_dev_id.clear();
  EXPECT_EQ(Ops("ReleaseStream"), Texts{R"({"stream_id":"cs1"})"});  // The camera, once.
  EXPECT_TRUE(layer_->GetLocalVideoStreams().empty());
  EXPECT_TRUE(layer_->GetSubscribedStreams().empty());
  EXPECT_TRUE(layer_->GetResubscribeStreams().empty());
  EXPECT_FALSE(layer_->IsConnectionLost(false));
  EXPECT_FALSE(layer_->GetLiveState().subscribed);
  EXPECT_EQ(page_.Deferred(), Texts{"0//1"});
  EXPECT_TRUE(page_.Events(27).empty());
}

}  // namespace
}  // namespace sdk_test
