// Connection loss, recovery and removal against the stand-in offline, and callbacks with
// malformed input.

#include <gtest/gtest.h>

#include "foundation/app_config.h"
#include "sdk/interactive/tests/sdk_test_support.h"
#include "shell/registry/user_stream_list.h"

namespace sdk_test {
namespace {

using Texts = std::vector<std::string>;

std::string Id(const char* id) { return std::string(R"({"stream_id":")") + id + "\"}"; }

// One row of the recovery table: losses, then results, then what the page, the owner and the
// lists show.
struct RecoveryCase {
  const char* name;
  Texts losses;              // Stream ids lost, in order.
  int pubRetries;            // The owner's retry counts when the results come.
  int subRetries;
  Texts results;             // "pub:ok", "pub:fail", "sub:<id>:ok", "sub:<id>:fail".
  Texts status;              // Page event 28 values.
  Texts ownerCalls;
  Texts republish;
  Texts resubscribe;
};

TEST(SdkReconnectTest, TheRecoveryListsFollowLossesAndResults) {
  const RecoveryCase cases[] = {
      {"two losses of one stream are listed once", {"pub", "pub"}, 0, 0, {}, {"1"}, {"IceReConnectPub(1)"}, {"pub"}, {}},
      {"publish and subscribe losses", {"pub", "remote"}, 0, 0, {}, {"1", "1"},
       {"IceReConnectPub(1)", "IceReConnectSub(1)"}, {"pub"}, {"remote"}},
      {"success before a retry", {"pub"}, 0, 0, {"pub:ok"}, {"1", "2"},
       {"IceReConnectPub(1)", "IceReConnectPub(0)"}, {}, {}},
      {"failure before a retry", {"pub"}, 0, 0, {"pub:fail"}, {"1", "3"},
       {"IceReConnectPub(1)", "IceReConnectPub(0)"}, {}, {}},
      {"failure after a retry stays listed", {"pub"}, 1, 0, {"pub:fail"}, {"1"}, {"IceReConnectPub(1)"}, {"pub"}, {}},
      {"success after a retry", {"pub"}, 3, 0, {"pub:fail", "pub:ok"}, {"1", "2"},
       {"IceReConnectPub(1)", "IceReConnectPub(0)"}, {}, {}},
      {"the share and local media are published streams", {"share", "lod", "x"}, 0, 0, {}, {"1", "1"},
       {"IceReConnectPub(1)", "IceReConnectPub(1)", "IceReConnectSub(1)"}, {"share", "lod"}, {"x"}},
      {"a side ends when its last stream is back", {"a", "b"}, 1, 1, {"sub:a:ok", "sub:b:fail", "sub:b:ok"}, {"1", "2"},
       {"IceReConnectSub(1)", "IceReConnectSub(1)", "IceReConnectSub(0)"}, {}, {}},
      {"a result of an unlisted stream changes nothing", {"a"}, 0, 0, {"sub:other:ok", "pub:ok"}, {"1"},
       {"IceReConnectSub(1)"}, {}, {"a"}},
      {"an empty id only logs", {""}, 0, 0, {}, {}, {}, {}, {}},
  };
  for (const RecoveryCase& c : cases) {
    SCOPED_TRACE(c.name);
    OfflineMeeting m;
    m.Join();
    m.layer.UpdateMeetingIds([](StMeetingIds& ids) {
      ids.publishStreamId = "pub";
      ids.shareStreamId = "share";
      ids.localMediaStreamId = "lod";
    });
    for (const std::string& id : c.losses) ASSERT_TRUE(m.Emit("OnIceDisconnected", Id(id.c_str())));
    m.owner.pubRetries = c.pubRetries;
    m.owner.subRetries = c.subRetries;
    for (const std::string& result : c.results) {
      const bool ok = result.substr(result.rfind(':') + 1) == "ok";
      if (result.rfind("pub:", 0) == 0) {
        m.layer.OnPublishStreamRestored("pub", ok);
      } else {
        const std::string id = result.substr(4, result.rfind(':') - 4);
        if (ok) {
          ASSERT_TRUE(m.Emit("OnSubscribeSuccess", R"({"video_type":1,"stream_id":")" + id + "\"}"));
        } else {
          ASSERT_TRUE(m.Emit("OnSubscribeFailed", R"({"ec":1,"video_type":1,"stream_id":")" + id + "\"}"));
        }
      }
    }
    EXPECT_EQ(m.page.Values(28, "status"), c.status);
    EXPECT_EQ(m.owner.Calls(), c.ownerCalls);
    EXPECT_EQ(m.layer.GetRepublishStreams(), c.republish);
    EXPECT_EQ(m.layer.GetResubscribeStreams(), c.resubscribe);
    EXPECT_EQ(m.layer.IsConnectionLost(true), !c.republish.empty());
    EXPECT_EQ(m.layer.IsConnectionLost(false), !c.resubscribe.empty());
    size_t lossLogs = 0;
    for (const std::string& text : m.page.Values(30, "text")) {
      lossLogs += text.rfind("win_client:OnIceDisconnected ice connected id=", 0) == 0 ? 1 : 0;
    }
    EXPECT_EQ(lossLogs, c.losses.size()) << "each loss posts a web log";
  }
}

TEST(SdkReconnectTest, LossesOutOfAMeetingOnlyLogAndTheServerComingBackRestartsBothTimers) {
  OfflineMeeting m;
  m.layer.Login(m.join);
  m.layer.AddStreamOp("pub_v");
  ASSERT_TRUE(m.Emit("OnIceDisconnected", Id("pub")));
  ASSERT_TRUE(m.Emit("OnServerConnected", R"({"reason":"back"})"));
  EXPECT_TRUE(m.layer.GetResubscribeStreams().empty());
  EXPECT_EQ(m.layer.GetStreamOps(), Texts{"pub_v"});
  EXPECT_TRUE(m.owner.Calls().empty());
  EXPECT_EQ(m.page.Values(30, "text"), Texts{"win_client:OnIceDisconnected ice connected id=pub"});

  ASSERT_TRUE(m.Emit("OnJoinRoomSuccess", R"({"room_id":"room"})"));
  m.owner.Clear();
  m.page.Clear();
  ASSERT_TRUE(m.Emit("OnServerConnected", R"({"reason":"back"})"));
  ASSERT_TRUE(m.Emit("OnServerConnected", R"({"reason":""})"));
  EXPECT_EQ(m.owner.Calls(), (Texts{"IceReConnectPub(1)", "IceReConnectSub(1)", "IceReConnectPub(1)", "IceReConnectSub(1)"}));
  EXPECT_EQ(m.page.Values(30, "text"), (Texts{"win_client:OnServerConnected server connected id=back",
                                              "win_client:OnServerConnected server connected null"}));
  // A loss in the meeting drops the pending mute operations.
  ASSERT_TRUE(m.Emit("OnIceDisconnected", Id("pub")));
  EXPECT_TRUE(m.layer.GetStreamOps().empty());
}

TEST(SdkReconnectTest, PublishReconnectingAndItsClearing) {
  OfflineMeeting m;
  m.Join();
  m.layer.UpdateMeetingIds([](StMeetingIds& ids) { ids.publishStreamId = "pub"; });
  EXPECT_FALSE(m.layer.IsPublishReconnecting());
  ASSERT_TRUE(m.Emit("OnIceDisconnected", Id("pub")));
  ASSERT_TRUE(m.Emit("OnIceDisconnected", Id("share-old")));
  EXPECT_TRUE(m.layer.IsPublishReconnecting());
  m.layer.ClearPublishReconnect();
  EXPECT_FALSE(m.layer.IsPublishReconnecting());
  EXPECT_EQ(m.layer.GetResubscribeStreams(), Texts{"share-old"});
}

// Every way out of a meeting (kicked for any reason, the server gone) wipes it: the rejoin
// starts without senders, ids, subscriptions or listed streams.
TEST(SdkReconnectTest, RemovalAndServerLossEndTheMeeting) {
  struct Case {
    const char* callback;
    const char* args;
    Texts page27;    // Reasons of page event 27.
    Texts deferred;  // The main window's notices.
  } cases[] = {
      {"BeKickedFromRoomNotify", R"({"origin":"host","reason":1})", {"1"}, {"1/host/0"}},
      {"BeKickedFromRoomNotify", R"({"origin":"host","reason":2})", {}, {}},
      {"OnServerDisconnected", R"({"stream_id":"x"})", {}, {"0//1"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args);
    OfflineMeeting m;
    m.Join();
    m.layer.UpdateMeetingIds([](StMeetingIds& ids) {
      ids.publishStreamId = "pub";
      ids.cameraStreamId = "cam";
    });
    static int sender;  // Never called.
    m.layer.AddSender(0, "pub", reinterpret_cast<rtTarvo::rtc::FrameSender*>(&sender));
    ASSERT_TRUE(m.Emit("OnSubscribeSuccess", R"({"stream_id":"room-live","video_type":7})"));
    ASSERT_TRUE(m.Emit("OnIceDisconnected", Id("pub")));
    ASSERT_TRUE(m.Emit("OnIceDisconnected", Id("room-mix")));
    m.layer.AddStreamOp("pub_a");
    m.page.Clear();
    m.Journal();

    ASSERT_TRUE(m.Emit(c.callback, c.args));
    EXPECT_FALSE(m.layer.IsInMeeting());
    EXPECT_EQ(m.page.Values(27, "reason"), c.page27);
    EXPECT_EQ(m.page.Deferred(), c.deferred);
    EXPECT_EQ(m.Ops({"Unpublish"}), Texts{R"(Unpublish{"stream_id":"pub"})"});
    EXPECT_FALSE(m.layer.HasSender(0));
    EXPECT_EQ(m.layer.GetMeetingIds().publishStreamId, "");
    EXPECT_TRUE(m.layer.GetSubscribedStreams().empty());
    EXPECT_TRUE(m.layer.GetRepublishStreams().empty());
    EXPECT_TRUE(m.layer.GetResubscribeStreams().empty());
    EXPECT_TRUE(m.layer.GetStreamOps().empty());
    EXPECT_FALSE(m.layer.IsConnectionLost(true));
    EXPECT_FALSE(m.layer.IsConnectionLost(false));
    // Out of the meeting, losses and the server's return do nothing.
    ASSERT_TRUE(m.Emit("OnIceDisconnected", Id("pub")));
    EXPECT_TRUE(m.layer.GetRepublishStreams().empty());
  }
}

TEST(SdkReconnectTest, KickoutNoticesOnlyLog) {
  OfflineMeeting m;
  m.Join();
  const size_t log = LogSize();
  ASSERT_TRUE(m.Emit("OnKickoutNotify", R"({"user_ids":["u7","u8"]})"));
  ASSERT_TRUE(m.Emit("OnKickoutNotify", R"({"user_ids":[]})"));
  EXPECT_EQ(m.page.Values(30, "text"), Texts{"win_client:OnKickoutNotify kickout_user u7"});
  const std::string text = ReadLog(log);
  EXPECT_NE(text.find("[ kickout_users=u7]"), std::string::npos) << text;
  EXPECT_NE(text.find("[ kickout_users null]"), std::string::npos) << text;
  EXPECT_TRUE(m.layer.IsInMeeting());
}

// Callbacks with empty and unknown ids, states outside 1 to 3, huge lists and empty records:
// nothing breaks, and the logs say what happened.
TEST(SdkMalformedInputTest, CallbacksWithOddInputOnlyLog) {
  OfflineMeeting m;
  m.Join();
  const size_t log = LogSize();
  ASSERT_TRUE(m.Emit("OnParticipantJoined", R"({"participant":{}})"));
  ASSERT_TRUE(m.Emit("OnParticipantJoined", R"({"participant":{"id":"p1","has_stream":true,"audio_state":0,
      "video_state":9,"stream_id":"s1"}})"));
  EXPECT_EQ(CUserStreamList::Instance()->Find("p1")->audioStatus, "");
  EXPECT_EQ(CUserStreamList::Instance()->Find("p1")->videoStatus, "");
  ASSERT_TRUE(m.Emit("OnParticipantLeft", R"({"participant":{"id":"nobody"}})"));
  ASSERT_TRUE(m.Emit("OnParticipantLeft", R"({"participant":{}})"));
  ASSERT_TRUE(m.Emit("OnSubscribeSuccess", R"({"stream_id":"","video_type":-5})"));
  ASSERT_TRUE(m.Emit("OnUnSubscribeSuccess", R"({"stream_id":"unknown"})"));
  ASSERT_TRUE(m.Emit("OnUnSubscribeFailed", R"({"ec":-1,"em":"","stream_id":""})"));
  ASSERT_TRUE(m.Emit("OnSubscribeFailed", R"({"ec":0,"em":"","stream_id":"","video_type":7})"));
  ASSERT_TRUE(m.Emit("OnGetRoomStatusSuccess", R"({"status":{}})"));
  ASSERT_TRUE(m.Emit("OnJoinRoomFailed", R"({"ec":0,"room_id":""})"));
  ASSERT_TRUE(m.Emit("OnRoomDestoryNotify", R"({"reason":-1})"));
  ASSERT_TRUE(m.Emit("OnAudioDeviceSelected", R"({"kind":255,"name":"","id":""})"));
  ASSERT_TRUE(m.Emit("OnGetParticipantsSuccess", R"({"count":10000})"));
  EXPECT_EQ(m.page.Events(12).size(), 10u);
  ASSERT_TRUE(m.Emit("OnGetParticipantsSuccess", R"({"participants":[{},{}]})"));
  EXPECT_EQ(CUserStreamList::Instance()->Size(), 1u);  // Two records of the empty id: one user.
  m.layer.UserStreamChange("no-such-stream", true, true, true);
  m.layer.UserStreamChange("", std::make_pair(std::string(), std::string()));
  ASSERT_TRUE(m.Emit("OnServerConnected", R"({"reason":""})"));
  ASSERT_TRUE(m.Emit("BeKickedFromRoomNotify", R"({"origin":"","reason":-3})"));
  ASSERT_TRUE(m.Emit("OnServerDisconnected", R"({"stream_id":""})"));
  EXPECT_FALSE(m.layer.IsInMeeting());

  const std::string text = ReadLog(log);
  for (const char* line : {"[join id= ,name=]", "[leave id=nobody ,name=]", "[user list size =10000]",
                           "[ not find user stream_id =no-such-stream]", "[ OnRoomDestoryNotify =-1]",
                           "[ ec=0 ,room_id=]", "[ resason=-3 ,origin=]", "[ reason = null]"}) {
    EXPECT_NE(text.find(line), std::string::npos) << line;
  }
}

}  // namespace
}  // namespace sdk_test
