// The layer's meeting commands and room callbacks against the stand-in offline: the calls it
// makes (the service's journal), the page events and the owner's calls.

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "foundation/app_config.h"
#include "foundation/bus_topics.h"
#include "foundation/hub.h"
#include "sdk/interactive/tests/sdk_test_support.h"
#include "shell/registry/user_stream_list.h"

namespace sdk_test {
namespace {

using Ops = std::vector<std::string>;

const char kLiveStream[] =
    R"([{"stream_id":"room-live","kind":7,"sizes":[[1920,1080],[1280,720],[640,360]]}])";

TEST(SdkMeetingTest, LoginCallsInOrderAndARetryRepeatsThemWithOneObserver) {
  OfflineMeeting m;
  m.layer.Login(m.join);
  m.layer.Login(m.join);  // The main window's retry.
  const Ops once = {R"(SetServerAddress{"address":"offline"})", "AddObserver{}",
                    R"(LoginAndJoin{"conf_id":"room","user_name":"Me","user_id":"me","cid":"c-me","sid":"site","extra":""})"};
  Ops twice = once;
  twice.insert(twice.end(), once.begin(), once.end());
  EXPECT_EQ(m.Ops(), twice);
  EXPECT_EQ(m.layer.GetJoinInfo().cid, "c-me");
  // Registered once: a callback reaches the layer once.
  ASSERT_TRUE(m.Emit("OnParticipantJoined", R"({"participant":{"id":"p1","uid":"u1","name":"A"}})"));
  EXPECT_EQ(m.page.Events(13).size(), 1u);
}

TEST(SdkMeetingTest, CloseAllStreamsReleasesTheCameraRecordsAndUnpublishesOnlyWhatIsPublished) {
  OfflineMeeting m;
  m.Join();
  LocalVideoStream camera;
  camera.deviceId = "cam-1";
  camera.streamId = "c1";
  m.layer.AppendLocalVideoStream(camera);
  camera.streamId = "c2";
  m.layer.AppendLocalVideoStream(camera);
  m.layer.CloseAllStreams();
  EXPECT_EQ(m.Ops(), (Ops{R"(ReleaseStream{"stream_id":"c1"})", R"(ReleaseStream{"stream_id":"c2"})"}));
  EXPECT_TRUE(m.layer.GetLocalVideoStreams().empty());

  // Published: unpublish and release of the publish stream and the camera stream, then the share.
  m.layer.UpdateMeetingIds([](StMeetingIds& ids) {
    ids.publishStreamId = "pub";
    ids.cameraStreamId = "cam";
    ids.shareStreamId = "share";
  });
  m.layer.AddSender(0, "pub", nullptr);
  m.layer.CloseAllStreams();
  EXPECT_EQ(m.Ops(), (Ops{R"(Unpublish{"stream_id":"pub"})", R"(ReleaseStream{"stream_id":"pub"})",
                          R"(ReleaseStream{"stream_id":"cam"})", R"(Unpublish{"stream_id":"share"})",
                          R"(ReleaseStream{"stream_id":"share"})"}));
  EXPECT_EQ(m.layer.GetMeetingIds().publishStreamId, "");
  EXPECT_EQ(m.layer.GetMeetingIds().shareStreamId, "share");  // Until its release callback.
}

TEST(SdkMeetingTest, ExitRoomTwiceSendsLeaveTwice) {
  OfflineMeeting m;
  m.Join();
  m.layer.UpdateMeetingIds([](StMeetingIds& ids) { ids.publishStreamId = "pub"; });
  m.layer.ExitRoom();
  m.layer.ExitRoom();
  EXPECT_EQ(m.Ops({"Unpublish", "RemoveObserver", "Leave"}),
            (Ops{R"(Unpublish{"stream_id":"pub"})", "RemoveObserver{}", "Leave{}", "RemoveObserver{}", "Leave{}"}));
  EXPECT_FALSE(m.layer.IsInMeeting());
}

// Everything a meeting leaves behind, then ResetMeetingState or ExitRoom: the next login
// starts with empty ids, no senders, no subscriptions and an enabled live subscription.
TEST(SdkMeetingTest, ANewLoginStartsCleanAfterResetOrExit) {
  for (const bool exit : {false, true}) {
    SCOPED_TRACE(exit ? "ExitRoom" : "ResetMeetingState");
    OfflineMeeting m;
    m.Join();
    ASSERT_TRUE(m.SetStreams(kLiveStream));
    m.layer.SetLiveSubscribeEnabled(true);
    m.layer.SubscribeLiveStream(true);  // In progress, no answer yet.
    ASSERT_TRUE(m.Emit("OnSubscribeSuccess", R"({"stream_id":"room-mix","video_type":4})"));
    m.layer.UpdateMeetingIds([](StMeetingIds& ids) {
      ids.publishStreamId = "pub";
      ids.shareStreamId = "share";
      ids.cameraStreamId = "cam";
      ids.localMediaStreamId = "lod";
    });
    static int sender;  // Never called.
    m.layer.AddSender(0, "pub", reinterpret_cast<rtTarvo::rtc::FrameSender*>(&sender));
    m.layer.AddSender(1, "share", reinterpret_cast<rtTarvo::rtc::FrameSender*>(&sender));
    m.layer.AddMediaShareUser("u8");
    m.layer.SetLocalMediaPlaying(true);
    ASSERT_TRUE(m.Emit("OnIceDisconnected", R"({"stream_id":"pub"})"));
    ASSERT_TRUE(m.Emit("OnIceDisconnected", R"({"stream_id":"room-live"})"));

    if (exit) {
      m.layer.ExitRoom();
    } else {
      m.layer.ResetMeetingState();
    }
    const StMeetingIds ids = m.layer.GetMeetingIds();
    EXPECT_EQ(ids.publishStreamId + ids.shareStreamId + ids.cameraStreamId + ids.localMediaStreamId, "");
    EXPECT_FALSE(m.layer.HasSender(0));
    EXPECT_FALSE(m.layer.HasSender(1));
    EXPECT_TRUE(m.layer.GetSubscribedStreams().empty());
    EXPECT_TRUE(m.layer.GetMediaShareUsers().empty());
    EXPECT_FALSE(m.layer.IsLocalMediaPlaying());
    const auto live = m.layer.GetLiveState();
    EXPECT_TRUE(live.enabled);
    EXPECT_FALSE(live.subscribing);
    EXPECT_FALSE(live.subscribed);
    if (exit) {
      EXPECT_TRUE(m.layer.GetRepublishStreams().empty());
      EXPECT_TRUE(m.layer.GetResubscribeStreams().empty());
      EXPECT_FALSE(m.layer.IsConnectionLost(true));
      EXPECT_FALSE(m.layer.IsConnectionLost(false));
    }

    m.Join();
    ASSERT_TRUE(m.SetStreams(kLiveStream));  // Leaving emptied the service's view of the room.
    ASSERT_TRUE(m.Emit("OnGetRoomStatusSuccess", R"({"status":{"group_id":"g","group_cid":"gc"}})"));
    EXPECT_EQ(m.Ops({"SubscribeLive"}).size(), 1u) << "the live stream is subscribed again";
    ASSERT_TRUE(m.Emit("OnSubscribeSuccess", R"({"stream_id":"room-live","video_type":7})"));
    EXPECT_TRUE(m.layer.GetLiveState().subscribed);
  }
}

TEST(SdkLiveTest, TheLiveSizeIsTheWantedOneTurnedOrNone) {
  struct Case {
    int width, height;
    const char* sizes;
    const char* expected;
  } cases[] = {
      {1280, 720, "[[1920,1080],[1280,720]]", R"({"width":1280,"height":720,"audio_muted":false})"},
      {1280, 720, "[[720,1280]]", R"({"width":720,"height":1280,"audio_muted":false})"},
      {1280, 720, "[[720,1280],[1280,720]]", R"({"width":1280,"height":720,"audio_muted":false})"},
      {1280, 720, "[[640,360]]", R"({"width":0,"height":0,"audio_muted":false})"},
      {1280, 720, "[]", R"({"width":0,"height":0,"audio_muted":false})"},
  };
  OfflineMeeting m;
  m.Join();
  m.layer.SetLiveSubscribeEnabled(true);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.sizes);
    ASSERT_TRUE(m.SetStreams(std::string(R"([{"stream_id":"room-live","kind":7,"sizes":)") + c.sizes + "}]"));
    m.layer.Set_Subscribe_Resolution(c.width, c.height, true, true);
    EXPECT_EQ(m.Ops({"SubscribeLive"}), Ops{std::string("SubscribeLive") + c.expected});
    ASSERT_TRUE(m.Emit("OnSubscribeFailed", R"({"ec":1,"stream_id":"room-live","video_type":7})"));
  }
  // Without the microphone the live sound is muted; unsubscribing keeps the wanted size.
  m.layer.Set_Subscribe_Resolution(1920, 1080, true, false);
  ASSERT_TRUE(m.Emit("OnSubscribeFailed", R"({"ec":1,"stream_id":"room-live","video_type":7})"));
  m.layer.Set_Subscribe_Resolution(0, 0, false, true);
  EXPECT_EQ(m.Ops({"SubscribeLive", "Unsubscribe"}),
            (Ops{R"(SubscribeLive{"width":0,"height":0,"audio_muted":true})", R"(Unsubscribe{"stream_id":"room-live"})"}));
  EXPECT_EQ(m.layer.GetLiveState().width, 1920);
}

TEST(SdkLiveTest, OneLiveSubscriptionAtATime) {
  OfflineMeeting m;
  m.Join();
  m.layer.SetLiveSubscribeEnabled(true);
  // Two kind-7 streams: the first is subscribed, the second waits.
  ASSERT_TRUE(m.SetStreams(R"([{"stream_id":"a-live","kind":7},{"stream_id":"b-live","kind":7}])"));
  const size_t log = LogSize();
  m.layer.SubscribeLiveStream(true);
  m.layer.SubscribeLiveStream(true);  // A second request while one is in progress.
  EXPECT_EQ(m.Ops({"SubscribeLive"}).size(), 1u);
  const std::string text = ReadLog(log);
  size_t waiting = 0;
  for (size_t at = text.find(" Live Subscribing"); at != std::string::npos; at = text.find(" Live Subscribing", at + 1)) ++waiting;
  EXPECT_EQ(waiting, 3u) << text;
  // Unsubscribing while in progress sends nothing.
  m.layer.SubscribeLiveStream(false);
  EXPECT_TRUE(m.Ops({"Unsubscribe"}).empty());

  // The UI thread and SDK threads ask at once: one subscription only.
  for (int round = 0; round < 20; ++round) {
    ASSERT_TRUE(m.Emit("OnSubscribeFailed", R"({"ec":1,"stream_id":"a-live","video_type":7})"));
    m.Journal();
    std::atomic<int> ready{0};
    std::vector<std::thread> callers;
    for (int i = 0; i < 6; ++i) {
      callers.emplace_back([&] {
        ++ready;
        while (ready.load() < 6) {
        }
        m.layer.SubscribeLiveStream(true);
      });
    }
    for (std::thread& t : callers) t.join();
    ASSERT_EQ(m.Ops({"SubscribeLive"}).size(), 1u) << "round " << round;
  }
  // Disabled, nothing is asked.
  ASSERT_TRUE(m.Emit("OnSubscribeFailed", R"({"ec":1,"stream_id":"a-live","video_type":7})"));
  m.layer.SetLiveSubscribeEnabled(false);
  m.layer.SubscribeLiveStream(true);
  EXPECT_TRUE(m.Ops().empty());
}

TEST(SdkLiveTest, TheVideoWallSubscribesTheMixAndUnsubscribesOnlyASubscribedOne) {
  OfflineMeeting m;
  m.layer.VideoWall_OnOff(1);  // Out of a meeting.
  m.Join();
  m.layer.VideoWall_OnOff(0);  // No mix subscribed.
  EXPECT_TRUE(m.Ops().empty());
  m.layer.VideoWall_OnOff(1);
  ASSERT_TRUE(m.Emit("OnSubscribeSuccess", R"({"stream_id":"room-mix","video_type":4})"));
  m.layer.VideoWall_OnOff(2);
  EXPECT_EQ(m.Ops(), (Ops{R"(SubscribeMix{"mode":1})", R"(Unsubscribe{"stream_id":"room-mix"})"}));
  ASSERT_TRUE(m.Emit("OnUnSubscribeSuccess", R"({"stream_id":"room-mix"})"));
  EXPECT_TRUE(m.layer.GetSubscribedStreams().empty());
}

TEST(SdkSubscribeCallbackTest, TheMapAndLiveFlagsFollowTheResults) {
  OfflineMeeting m;
  m.Join();
  ASSERT_TRUE(m.SetStreams(kLiveStream));
  m.layer.SetLiveSubscribeEnabled(true);
  m.layer.SubscribeLiveStream(true);
  ASSERT_TRUE(m.layer.GetLiveState().subscribing);

  // A kind-4 success leaves the live flags alone.
  ASSERT_TRUE(m.Emit("OnSubscribeSuccess", R"({"stream_id":"room-mix","video_type":4})"));
  EXPECT_TRUE(m.layer.GetLiveState().subscribing);
  EXPECT_FALSE(m.layer.GetLiveState().subscribed);
  // Kind 7: subscribed; a second success for the id with another kind keeps the first kind.
  ASSERT_TRUE(m.Emit("OnSubscribeSuccess", R"({"stream_id":"room-live","video_type":7})"));
  ASSERT_TRUE(m.Emit("OnSubscribeSuccess", R"({"stream_id":"room-live","video_type":4})"));
  EXPECT_EQ(m.layer.GetSubscribedStreams(), (std::map<std::string, int32_t>{{"room-live", 7}, {"room-mix", 4}}));
  EXPECT_FALSE(m.layer.GetLiveState().subscribing);
  EXPECT_TRUE(m.layer.GetLiveState().subscribed);
  // An unknown unsubscribe changes nothing but is logged and posted.
  ASSERT_TRUE(m.Emit("OnUnSubscribeSuccess", R"({"stream_id":"nobody"})"));
  EXPECT_EQ(m.layer.GetSubscribedStreams().size(), 2u);
  EXPECT_EQ(m.page.Values(30, "text").back(), "win_client:OnUnSubscribeSuccess unsubscribe stream success id=nobody");
  // The live one unsubscribed: both flags fall.
  ASSERT_TRUE(m.Emit("OnUnSubscribeSuccess", R"({"stream_id":"room-live"})"));
  EXPECT_FALSE(m.layer.GetLiveState().subscribed);
  EXPECT_EQ(m.layer.GetSubscribedStreams().count("room-live"), 0u);
  // A failed live subscription may be asked again.
  m.layer.SubscribeLiveStream(true);
  ASSERT_TRUE(m.Emit("OnSubscribeFailed", R"({"ec":5,"em":"no","stream_id":"room-live","video_type":7})"));
  EXPECT_FALSE(m.layer.GetLiveState().subscribing);
  EXPECT_EQ(m.page.Values(30, "text").back(), "win_client:OnSubscribeFailed subscribe stream failed id=room-live ,ec=5, em = no");
}

TEST(SdkStatusTest, ReSubscribeAndRePublishGoTheRightWay) {
  OfflineMeeting m;
  m.Join();
  ASSERT_TRUE(m.SetStreams(kLiveStream));
  m.layer.SetLiveSubscribeEnabled(true);
  m.layer.UpdateMeetingIds([](StMeetingIds& ids) {
    ids.publishStreamId = "pub";
    ids.shareStreamId = "share";
  });
  for (const char* id : {"room-live", "remote-cam", "pub", "share"}) {
    ASSERT_TRUE(m.Emit("OnIceDisconnected", std::string(R"({"stream_id":")") + id + "\"}"));
  }
  m.Journal();
  m.layer.IceReConnectSub();
  EXPECT_EQ(m.Ops(), (Ops{R"(SubscribeLive{"width":0,"height":0,"audio_muted":false})",
                          R"(Resubscribe{"stream_id":"remote-cam","mode":0})"}));
  // The camera publish stream keeps the user's camera switch; other streams go out unmuted.
  m.layer.SetLocalVideoMuted(true);
  m.layer.IceReConnectPub();
  EXPECT_EQ(m.Ops(), (Ops{R"(Publish{"stream_id":"pub","video_muted":true})",
                          R"(Publish{"stream_id":"share","video_muted":false})"}));
  m.layer.SetLocalVideoMuted(false);
  m.layer.IceReConnectPub();
  EXPECT_EQ(m.Ops({"Publish"}).front(), R"(Publish{"stream_id":"pub","video_muted":false})");
}

TEST(SdkStatusTest, OwnMutesSpeakerAndInterCutVolume) {
  OfflineMeeting m;
  m.Join();
  StAppConfig* config = GetAppConfig();
  m.layer.UpdateMeetingIds([](StMeetingIds& ids) { ids.publishStreamId = "pub"; });
  ASSERT_TRUE(m.Emit("OnGetParticipantsSuccess", R"({"participants":[{"id":"p-me","uid":"me","cid":"c-me"}]})"));
  m.page.Clear();
  // Both devices on: nothing.
  m.layer.SetAvSetStatus();
  EXPECT_TRUE(m.Ops().empty());
  EXPECT_TRUE(m.page.Events(30).empty());
  // Picture mode with the camera off: video muted, without any camera.
  config->camera_on = false;
  config->use_mode.store(false);
  m.layer.SetAvSetStatus();
  config->camera_on = true;
  config->use_mode.store(true);
  EXPECT_EQ(m.Ops(), Ops{R"(MuteVideo{"stream_id":"pub","muted":true})"});
  EXPECT_EQ(m.page.Values(30, "text"), Ops{"win_client:SetAvSetStatus video=1video = 0"});

  // A stream added with the user's mutes saved (bus topic 21).
  m.layer.SetLocalVideoMuted(true);
  m.layer.SetLocalMicMuted(true);
  CxBus::Call(GetMessageBus(), kTopicAvMuted, std::string("cam-9"));
  EXPECT_EQ(m.Ops(), (Ops{R"(MuteVideo{"stream_id":"cam-9","muted":true})", R"(MuteAudio{"stream_id":"cam-9","muted":true})"}));

  // The speaker: only live streams; the page's 1 mutes.
  ASSERT_TRUE(m.SetStreams(R"([{"stream_id":"room-live","kind":7},{"stream_id":"s","kind":2},{"stream_id":"room-mix","kind":4}])"));
  m.layer.OnSpeaker_OnOff(StJsCommand(), 1);
  m.layer.OnSpeaker_OnOff(StJsCommand(), 0);
  EXPECT_EQ(m.Ops(), (Ops{R"(MuteSpeaker{"stream_id":"room-live","muted":true})",
                          R"(MuteSpeaker{"stream_id":"room-live","muted":false})"}));
  // A room with a share is announced.
  m.page.Clear();
  m.layer.NotifyShareStreams();
  EXPECT_EQ(m.page.Values(17, "mediaShareType"), Ops{"1"});

  // The inter-cut volume names the room's current insertion.
  m.layer.SetInterCutVolume(35);
  m.layer.GetInterCutVolume();
  EXPECT_EQ(m.Ops(), (Ops{R"(SetInsertionVolume{"id":"","volume":35})", R"(GetInsertionVolume{"id":"","volume":0})"}));
}

TEST(SdkStatusTest, WebLogsNeedAnOwner) {
  OfflineMeeting without(false);
  without.layer.PostWebLog("hello");
  EXPECT_TRUE(without.page.Events().empty());
  OfflineMeeting with;
  with.layer.PostWebLog("hello");
  EXPECT_EQ(with.page.Values(30, "text"), Ops{"win_client:hello"});
}

TEST(SdkRoomCallbackTest, JoinRoomStatusAndShareAnnouncement) {
  OfflineMeeting m;
  m.layer.Login(m.join);
  m.Journal();
  // A kind-2 entry before a kind-8 entry: share type 2 only.
  ASSERT_TRUE(m.SetStreams(R"([{"stream_id":"cam","kind":1},{"stream_id":"s2","kind":2},{"stream_id":"s8","kind":8}])"));
  ASSERT_TRUE(m.Emit("OnJoinRoomSuccess", R"({"room_id":"room"})"));
  EXPECT_TRUE(m.layer.IsInMeeting());
  EXPECT_EQ(m.layer.GetMeetingIds().roomId, "room");
  EXPECT_EQ(m.page.Events(17).size(), 1u);
  EXPECT_EQ(m.page.Values(17, "mediaShareType"), Ops{"2"});
  EXPECT_EQ(m.page.Values(17, "uid"), Ops{"s2"});
  ASSERT_TRUE(m.Emit("OnGetRoomStatusSuccess", R"({"status":{"group_id":"g1","group_cid":"gc1"}})"));
  EXPECT_EQ(m.Ops(), (Ops{"RequestRoomStatus{}", "RequestParticipants{}"}));
  EXPECT_EQ(m.layer.GetMeetingIds().groupId, "g1");
  ASSERT_TRUE(m.Emit("OnJoinRoomFailed", R"({"ec":3,"room_id":"other"})"));
  EXPECT_EQ(m.owner.Calls(), (Ops{"OnJoinRoom(1,room)", "OnJoinGroup(g1,gc1)", "OnJoinRoom(-1,room)"}));
  // The command poll hands the sink an empty record.
  ASSERT_TRUE(m.Emit("OnCommandPoll", "{}"));
  EXPECT_EQ(m.Ops(), Ops{R"(TakeCommand{"record":true})"});
}

TEST(SdkRoomCallbackTest, ParticipantListsComeInPagesAndReplaceTheRegistry) {
  OfflineMeeting m;
  m.Join();
  CUserStreamList::Instance()->Add(StUserStream{"Old", "p-old"});
  ASSERT_TRUE(m.Emit("OnGetParticipantsSuccess", R"({"count":2500})"));
  std::vector<size_t> pages;
  for (const orvim::JsonPtr& event : m.page.Parsed(12)) {
    pages.push_back(static_cast<size_t>(cJSON_GetArraySize(cJSON_GetObjectItemCaseSensitive(event.get(), "list"))));
  }
  EXPECT_EQ(pages, (std::vector<size_t>{1000, 1000, 500}));
  EXPECT_EQ(CUserStreamList::Instance()->Size(), 2500u);
  EXPECT_FALSE(CUserStreamList::Instance()->Find("p-old").has_value());

  m.page.Clear();
  ASSERT_TRUE(m.Emit("OnGetParticipantsSuccess", R"({"count":0})"));
  const std::vector<orvim::JsonPtr> empty = m.page.Parsed(12);
  ASSERT_EQ(empty.size(), 1u);
  EXPECT_EQ(cJSON_GetArraySize(cJSON_GetObjectItemCaseSensitive(empty[0].get(), "list")), 0);

  // The own user: uid and cid both match; a later match wins.
  struct Case {
    const char* list;
    const char* own;
  } cases[] = {
      {R"([{"id":"p1","uid":"me","cid":"other"}])", ""},
      {R"([{"id":"p1","uid":"me","cid":"c-me"},{"id":"p2","uid":"me","cid":"c-me"}])", "p2"},
  };
  for (const Case& c : cases) {
    m.layer.UpdateMeetingIds([](StMeetingIds& ids) { ids.ownParticipantId.clear(); });
    ASSERT_TRUE(m.Emit("OnGetParticipantsSuccess", std::string(R"({"participants":)") + c.list + "}"));
    EXPECT_EQ(m.layer.GetMeetingIds().ownParticipantId, c.own) << c.list;
  }
  EXPECT_EQ(m.layer.GetOwnStreamName(), "p1");  // The registry's first record of the user.
}

TEST(SdkRoomCallbackTest, JoinsLeavesAndUserRecords) {
  OfflineMeeting m;
  m.Join();
  ASSERT_TRUE(m.Emit("OnGetRoomStatusSuccess", R"({"status":{"group_id":"g","group_cid":"gc"}})"));
  ASSERT_TRUE(m.Emit("OnParticipantJoined", R"({"participant":{"id":"p1","uid":"u1","cid":"c1","name":"A",
      "platform":"web","has_stream":true,"audio_state":1,"video_state":3,"stream_id":"s1"}})"));
  const std::optional<StUserStream> user = CUserStreamList::Instance()->Find("p1");
  ASSERT_TRUE(user.has_value());
  EXPECT_EQ(user->gId + "|" + user->gcId + "|" + user->audioStatus + "|" + user->videoStatus + "|" + user->streamId,
            "g|gc|active|unuserful|s1");
  EXPECT_EQ(m.page.Values(13, "name"), Ops{"A"});

  // A mute result refreshes the record of the stream's owner; a user gone meanwhile stays gone.
  ASSERT_TRUE(m.SetUsers(R"([{"id":"p1","uid":"u1","cid":"c1","name":"A","has_stream":true,"audio_state":1,
      "video_state":1,"stream_id":"s1"},{"id":"p9","uid":"u9","cid":"c9","stream_id":"s9","has_stream":true}])"));
  m.layer.UserStreamChange("s1", false, true, true);
  EXPECT_EQ(CUserStreamList::Instance()->Find("p1")->videoStatus, "inactive");
  m.layer.UserStreamChange("s9", true, true, true);
  EXPECT_FALSE(CUserStreamList::Instance()->Find("p9").has_value());
  m.layer.UserStreamChange("s1", std::make_pair(std::string("u1"), std::string("c1")));
  EXPECT_EQ(CUserStreamList::Instance()->Find("p1")->videoStatus, "active");
  EXPECT_EQ(m.page.Events(13).size(), 3u);

  ASSERT_TRUE(m.Emit("OnParticipantLeft", R"({"participant":{"id":"p1","name":"A"}})"));
  ASSERT_TRUE(m.Emit("OnParticipantLeft", R"({"participant":{"id":"p1","name":"A"}})"));
  EXPECT_EQ(m.page.Values(14, "id"), Ops{"p1"});
  EXPECT_FALSE(CUserStreamList::Instance()->Find("p1").has_value());
}

TEST(SdkRoomCallbackTest, RoomDestroyedAndAudioDeviceSelected) {
  OfflineMeeting m;
  m.Join();
  LocalVideoStream camera;
  camera.deviceId = "cam-1";
  camera.streamId = "c1";
  m.layer.AppendLocalVideoStream(camera);
  ASSERT_TRUE(m.Emit("OnRoomDestoryNotify", R"({"reason":3})"));
  EXPECT_TRUE(m.Ops().empty());
  EXPECT_EQ(m.page.Values(30, "text"), Ops{"win_client:OnRoomDestoryNotify reason =3"});
  EXPECT_EQ(m.layer.GetLocalVideoStreams().size(), 1u);
  // Reason 0 closes the camera (picture mode: the picture) and every stream; the meeting goes on.
  GetAppConfig()->use_mode.store(false);
  ASSERT_TRUE(m.Emit("OnRoomDestoryNotify", R"({"reason":0})"));
  GetAppConfig()->use_mode.store(true);
  EXPECT_EQ(m.Ops(), Ops{R"(ReleaseStream{"stream_id":"c1"})"});
  EXPECT_EQ(m.owner.Calls(), Ops{"OnPictureStream(0)"});
  EXPECT_TRUE(m.layer.IsInMeeting());

  ASSERT_TRUE(m.Emit("OnAudioDeviceSelected", R"({"kind":1,"name":"Mic","id":"mic-1"})"));
  ASSERT_TRUE(m.Emit("OnAudioDeviceSelected", R"({"kind":0,"name":"Spk","id":"spk-1"})"));
  ASSERT_TRUE(m.Emit("OnAudioDeviceSelected", R"({"kind":2,"name":"X","id":"x"})"));
  StAppConfig* config = GetAppConfig();
  EXPECT_EQ(config->GetMicDevId() + "|" + config->GetMicDevName(), "mic-1|Mic");
  EXPECT_EQ(config->GetSpeakerDevId() + "|" + config->GetSpeakerDevName(), "spk-1|Spk");
}

}  // namespace
}  // namespace sdk_test
