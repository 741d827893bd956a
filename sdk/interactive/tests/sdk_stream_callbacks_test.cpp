// The stream, publish and mute callbacks against the stand-in offline: the ids, senders and
// flags they keep, the calls they make, and what the owner, the consumers and the page hear.

#include <gtest/gtest.h>

#include "foundation/app_config.h"
#include "sdk/interactive/tests/sdk_test_support.h"
#include "shell/registry/user_stream_list.h"

namespace sdk_test {
namespace {

using Ops = std::vector<std::string>;

class SdkStreamCallbacksTest : public ::testing::Test {
 protected:
  void SetUp() override {
    GetAppConfig()->SetMicDevId("orvim-mic-1");
    GetAppConfig()->camera_dev_id = "orvim-camera-1";
    m.Join();
  }
  void SetIds(const std::string& publish, const std::string& share, const std::string& localMedia) {
    m.layer.UpdateMeetingIds([&](StMeetingIds& ids) {
      ids.publishStreamId = publish;
      ids.shareStreamId = share;
      ids.localMediaStreamId = localMedia;
    });
  }
  bool Stream(const char* callback, const std::string& id, int kind, const std::string& uid) {
    return m.Emit(callback, R"({"stream":{"stream_id":")" + id + R"(","uid":")" + uid + R"(","cid":"c-)" + uid +
                                R"(","kind":)" + std::to_string(kind) + "}}");
  }

  ConfigGuard config;
  OfflineMeeting m;
};

TEST_F(SdkStreamCallbacksTest, DeviceResultsGoToTheOwnerThenEveryConsumerInOrder) {
  std::vector<std::string> log;
  std::mutex mutex;
  RecordingConsumer first("first", &log, &mutex);
  RecordingConsumer second("second", &log, &mutex);
  m.layer.AddDevConsumer(&first);
  m.layer.AddDevConsumer(&second);
  struct Case {
    const char* callback;
    const char* args;
    const char* result;
  };
  const Case cases[] = {
      {"OnCreateStreamSuccess", R"({"stream_id":"s","device_id":"cam","code":1105})", "0"},
      {"OnCreateStreamSuccess", R"({"stream_id":"s","device_id":"cam","code":0})", "1"},
      {"OnCreateStreamSuccess", R"({"stream_id":"s","device_id":"cam","code":-7})", "1"},
      {"OnCreateStreamFailed", R"({"ec":5,"device_id":"cam"})", "0"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args);
    log.clear();
    m.owner.Clear();
    ASSERT_TRUE(m.Emit(c.callback, c.args));
    EXPECT_EQ(m.owner.Calls(), Ops{std::string("OnVideoDevResult(cam,") + c.result + ")"});
    EXPECT_EQ(log, (Ops{std::string("first:cam=") + c.result, std::string("second:cam=") + c.result}));
  }
  // No camera record had that device: nothing was published, no beauty started.
  EXPECT_TRUE(m.Ops({"CreateStream", "Publish"}).empty());
  m.layer.DelDevConsumer(&first);
  m.layer.DelDevConsumer(&second);
}

TEST_F(SdkStreamCallbacksTest, TheCreatedStreamReachesEveryRecordOfItsCamera) {
  LocalVideoStream record;
  record.deviceId = "cam";
  m.layer.AppendLocalVideoStream(record);
  record.deviceId = "other";
  m.layer.AppendLocalVideoStream(record);
  record.deviceId = "cam";
  record.bpublish = true;
  m.layer.AppendLocalVideoStream(record);
  ASSERT_TRUE(m.Emit("OnCreateStreamSuccess", R"({"stream_id":"cs","device_id":"cam","code":0})"));
  const std::vector<LocalVideoStream> records = m.layer.GetLocalVideoStreams();
  EXPECT_EQ(records[0].streamId + "/" + records[1].streamId + "/" + records[2].streamId, "cs//cs");
  // The last record of the camera publishes: the default publish stream is asked for.
  EXPECT_EQ(m.Ops({"CreateStream"}).size(), 1u);
}

TEST_F(SdkStreamCallbacksTest, SendersAreKeptByTheirKindAndOtherKindsAreIgnored) {
  struct Case {
    const char* args;
    bool lodPlaying, videoMuted;
    const char* publishId;
    const char* shareId;
    const char* lodId;
    bool sender0, sender1;
    const char* publish;
  };
  const Case cases[] = {
      {R"({"stream_id":"p","video_type":7,"sender_kind":0})", false, true, "p", "", "", true, false,
       R"(Publish{"stream_id":"p","video_muted":true})"},
      {R"({"stream_id":"s","video_type":2,"sender_kind":1})", false, true, "", "s", "", false, true,
       R"(Publish{"stream_id":"s","video_muted":false})"},
      {R"({"stream_id":"l","video_type":2,"sender_kind":1})", true, false, "", "", "l", false, true,
       R"(Publish{"stream_id":"l","video_muted":false})"},
      {R"({"stream_id":"x","video_type":7,"sender_kind":2})", false, false, "x", "", "", false, false,
       R"(Publish{"stream_id":"x","video_muted":false})"},
      {R"({"stream_id":"y","video_type":7,"sender_kind":-1})", false, false, "y", "", "", false, false,
       R"(Publish{"stream_id":"y","video_muted":false})"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args);
    SetIds("", "", "");
    m.layer.DelSender(0);
    m.layer.DelSender(1);
    m.layer.SetLocalMediaPlaying(c.lodPlaying);
    m.layer.SetLocalVideoMuted(c.videoMuted);
    ASSERT_TRUE(m.Emit("OnCreateSenderSuccess", c.args));
    const StMeetingIds ids = m.layer.GetMeetingIds();
    EXPECT_EQ(ids.publishStreamId, c.publishId);
    EXPECT_EQ(ids.shareStreamId, c.shareId);
    EXPECT_EQ(ids.localMediaStreamId, c.lodId);
    EXPECT_EQ(m.layer.HasSender(0), c.sender0);
    EXPECT_EQ(m.layer.HasSender(1), c.sender1);
    EXPECT_EQ(m.Ops({"Publish"}), Ops{c.publish});
  }
  // The senders still work after the refused kinds.
  ASSERT_TRUE(m.Emit("OnCreateSenderSuccess", R"({"stream_id":"p","video_type":7,"sender_kind":0})"));
  EXPECT_EQ(m.layer.GetSenderStreamId(0), "p");
}

TEST_F(SdkStreamCallbacksTest, AReleaseClearsOnlyTheIdItMatches) {
  struct Case {
    const char* id;
    const char* ids;  // publish/share/local media after the callback.
    Ops owner;
  };
  const Case cases[] = {
      {"share", "pub//lod", {"OnShareResult(1,1)"}},
      {"lod", "pub/share/", {}},
      {"pub", "/share/lod", {}},
      {"unknown", "pub/share/lod", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.id);
    SetIds("pub", "share", "lod");
    m.owner.Clear();
    ASSERT_TRUE(m.Emit("OnReleaseStreamSuccess", std::string(R"({"stream_id":")") + c.id + "\"}"));
    const StMeetingIds ids = m.layer.GetMeetingIds();
    EXPECT_EQ(ids.publishStreamId + "/" + ids.shareStreamId + "/" + ids.localMediaStreamId, c.ids);
    EXPECT_EQ(m.owner.Calls(), c.owner);
  }
  // An empty held id never matches an empty released id.
  SetIds("pub", "", "lod");
  m.owner.Clear();
  ASSERT_TRUE(m.Emit("OnReleaseStreamSuccess", R"({"stream_id":""})"));
  EXPECT_TRUE(m.owner.Calls().empty());
  EXPECT_EQ(m.layer.GetMeetingIds().publishStreamId, "pub");
}

TEST_F(SdkStreamCallbacksTest, PublishResultsByStream) {
  // The own camera stream starts muted by the room's policy: its publish mutes the video.
  ASSERT_TRUE(m.SetUsers(R"([{"id":"p-me","uid":"me","cid":"c-me","stream_id":"cs","video_start_muted":true}])"));
  LocalVideoStream record;
  record.deviceId = "cam";
  record.bpublish = true;
  m.layer.AppendLocalVideoStream(record);
  ASSERT_TRUE(m.Emit("OnCreateStreamSuccess", R"({"stream_id":"cs","device_id":"cam","code":0})"));
  SetIds("pub", "share", "lod");
  m.Journal();
  m.owner.Clear();
  ASSERT_TRUE(m.Emit("OnPublishSuccess", R"({"stream_id":"pub"})"));
  EXPECT_EQ(m.Ops({"MuteVideo"}), Ops{R"(MuteVideo{"stream_id":"pub","muted":true})"});
  EXPECT_EQ(m.owner.Calls(), Ops{"OnPublishSuccess()"});
  ASSERT_TRUE(m.Emit("OnPublishSuccess", R"({"stream_id":"share"})"));
  ASSERT_TRUE(m.Emit("OnPublishSuccess", R"({"stream_id":"lod"})"));
  EXPECT_EQ(m.Ops({"MuteAudio", "SetDegradationPreference"}),
            (Ops{R"(MuteAudio{"stream_id":"share","muted":true})",
                 R"(SetDegradationPreference{"stream_id":"lod","preference":2})"}));

  // Failures: the share and local-media results go to the owner; the camera publish stops.
  m.owner.Clear();
  ASSERT_TRUE(m.Emit("OnPublishFailed", R"({"ec":3,"em":"no","stream_id":"share"})"));
  ASSERT_TRUE(m.Emit("OnPublishFailed", R"({"ec":3,"em":"no","stream_id":"lod"})"));
  ASSERT_TRUE(m.Emit("OnPublishFailed", R"({"ec":3,"em":"no","stream_id":"pub"})"));
  EXPECT_EQ(m.owner.Calls(), (Ops{"OnShareResult(-1,0)", "OnShareResult(-2,0)"}));
  EXPECT_EQ(m.Ops({"Unpublish"}), Ops{R"(Unpublish{"stream_id":"pub"})"});
  EXPECT_EQ(m.layer.GetMeetingIds().publishStreamId, "");
  EXPECT_TRUE(m.layer.GetLocalVideoStreams().empty());
}

TEST_F(SdkStreamCallbacksTest, SharesAndLocalMediaStreamsOfTheRoom) {
  // Kind 8 from A, then B: removing A announces nothing, removing B announces the end for B.
  ASSERT_TRUE(Stream("OnStreamAdded", "a8", 8, "A"));
  ASSERT_TRUE(Stream("OnStreamAdded", "b8", 8, "B"));
  EXPECT_EQ(m.page.Values(17, "mediaShareType"), (Ops{"1", "1"}));
  m.page.Clear();
  ASSERT_TRUE(Stream("OnStreamRemoved", "a8", 8, "A"));
  EXPECT_TRUE(m.page.Events(17).empty());
  ASSERT_TRUE(Stream("OnStreamRemoved", "b8", 8, "B"));
  EXPECT_EQ(m.page.Values(17, "mediaShareType"), Ops{"0"});
  EXPECT_EQ(m.page.Values(17, "uid"), Ops{"B"});

  // Our own share appears: the page and the owner hear of it.
  ASSERT_TRUE(Stream("OnStreamAdded", "s2", 2, "me"));
  EXPECT_EQ(m.owner.Calls(), Ops{"OnShareResult(1,0)"});
  SetIds("pub", "s2", "");
  m.Journal();
  m.page.Clear();
  m.owner.Clear();

  // A share goes while the publish connection is lost: nothing after the logs.
  ASSERT_TRUE(m.Emit("OnIceDisconnected", R"({"stream_id":"pub"})"));
  ASSERT_TRUE(m.layer.IsConnectionLost(true));
  m.owner.Clear();
  ASSERT_TRUE(Stream("OnStreamRemoved", "s2", 2, "me"));
  EXPECT_TRUE(m.page.Events(17).empty());
  EXPECT_TRUE(m.owner.Calls().empty());
  EXPECT_TRUE(m.Ops({"Unpublish", "ReleaseStream"}).empty());

  // Connected: whoever's share went, ours stops.
  ASSERT_TRUE(m.Emit("OnPublishSuccess", R"({"stream_id":"pub"})"));
  ASSERT_FALSE(m.layer.IsConnectionLost(true));
  m.Journal();
  m.owner.Clear();
  ASSERT_TRUE(Stream("OnStreamRemoved", "other-share", 2, "someone"));
  EXPECT_EQ(m.page.Values(17, "mediaShareType"), Ops{"0"});
  EXPECT_EQ(m.owner.Calls(), Ops{"OnShareResult(1,1)"});
  EXPECT_EQ(m.Ops({"Unpublish", "ReleaseStream"}),
            (Ops{R"(Unpublish{"stream_id":"s2"})", R"(ReleaseStream{"stream_id":"s2"})"}));
  EXPECT_FALSE(m.layer.HasSender(1));
}

TEST_F(SdkStreamCallbacksTest, ANewLiveStreamSetsTheDegradationAndIsSubscribed) {
  ASSERT_TRUE(m.SetStreams(R"([{"stream_id":"room-live","kind":7,"sizes":[[1280,720]]}])"));
  m.layer.SetLiveSubscribeEnabled(true);
  // Before publishing the preference is only logged.
  GetAppConfig()->prior = 1;
  ASSERT_TRUE(Stream("OnStreamAdded", "room-live", 7, ""));
  EXPECT_EQ(m.Ops({"SetDegradationPreference", "SubscribeLive"}),
            Ops{R"(SubscribeLive{"width":0,"height":0,"audio_muted":false})"});
  ASSERT_TRUE(m.Emit("OnSubscribeSuccess", R"({"stream_id":"room-live","video_type":7})"));
  // Subscribed: a second announcement changes nothing.
  ASSERT_TRUE(Stream("OnStreamAdded", "room-live", 7, ""));
  EXPECT_TRUE(m.Ops({"SetDegradationPreference", "SubscribeLive"}).empty());

  SetIds("pub", "", "");
  m.layer.SetDegradationpreference(true);
  m.layer.SetDegradationpreference(false);
  EXPECT_EQ(m.Ops({"SetDegradationPreference"}),
            (Ops{R"(SetDegradationPreference{"stream_id":"pub","preference":1})",
                 R"(SetDegradationPreference{"stream_id":"pub","preference":2})"}));
}

// The notify takes (id, audio, muted), the own result (id, muted, audio); both drop the pending
// operation and set the own flags; a failure only drops the operation.
TEST_F(SdkStreamCallbacksTest, MuteResultsSetTheOwnFlagsAndDropThePendingOperation) {
  StUserStream own;
  own.id = "p-me";
  own.uid = "me";
  own.cid = "c-me";
  own.streamId = "pub";
  CUserStreamList::Instance()->Replace({own});
  for (const char* op : {"pub_a", "pub_v", "other_v", "pub_v"}) m.layer.AddStreamOp(op);

  ASSERT_TRUE(m.Emit("OnStreamMuteOrUnmuteNotify", R"({"stream_id":"pub","is_audio":true,"muted":true})"));
  EXPECT_TRUE(m.layer.IsLocalMicMuted());
  EXPECT_EQ(m.layer.GetStreamOps(), (Ops{"pub_v", "other_v", "pub_v"}));
  ASSERT_TRUE(m.Emit("OnStreamMuteOrUnmuteSuccess", R"({"stream_id":"pub","muted":true,"is_audio":false})"));
  EXPECT_TRUE(m.layer.IsLocalVideoMuted());
  EXPECT_EQ(m.layer.GetStreamOps(), (Ops{"other_v", "pub_v"}));
  ASSERT_TRUE(m.Emit("OnStreamMuteOrUnmuteFailed", R"({"ec":1,"stream_id":"other","muted":true,"is_audio":false})"));
  EXPECT_EQ(m.layer.GetStreamOps(), Ops{"pub_v"});
  // Another user's stream leaves the own flags alone.
  ASSERT_TRUE(m.Emit("OnStreamMuteOrUnmuteNotify", R"({"stream_id":"theirs","is_audio":false,"muted":false})"));
  EXPECT_TRUE(m.layer.IsLocalVideoMuted());
}

}  // namespace
}  // namespace sdk_test
