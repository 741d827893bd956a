// OrvimSDK.dll on its own: the journal and the control offline, observer rules, threads, the
// virtual devices, and a service's own threads against a room server.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "platform/orvim/common/media_pattern.h"
#include "platform/orvim/common/wire.h"
#include "platform/orvim/testing/orvim_library.h"
#include "platform/orvim/testing/recording_observer.h"
#include "platform/orvim/testing/room_server_process.h"
#include "platform/orvim/testing/service_client.h"

namespace {

using orvim::GetBool;
using orvim::GetInt;
using orvim::GetString;
using orvim::JsonPtr;
using orvim::testing::ObservedEvent;
using orvim::testing::OrvimLibrary;
using orvim::testing::RecordingObserver;
using orvim::testing::RoomServerProcess;
using orvim::testing::ServiceClient;

class OrvimStandInTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(library_.ok()); }
  void TearDown() override {
    library_.Control(R"({"cmd":"devices","action":"reset"})");
  }
  int Threads() { return GetInt(library_.ControlJson(R"({"cmd":"threads"})").get(), "threads", -1); }

  OrvimLibrary library_;
};

std::vector<std::string> JournalOps(const ServiceClient& client) {
  JsonPtr answer = orvim::ParseObject(client.Control("journal", R"("clear":true)"));
  std::vector<std::string> ops;
  const cJSON* call = nullptr;
  cJSON_ArrayForEach(call, cJSON_GetObjectItemCaseSensitive(answer.get(), "calls")) {
    ops.push_back(GetString(call, "op"));
  }
  return ops;
}

TEST_F(OrvimStandInTest, OfflineCallsAreOnlyJournaledInOrder) {
  ServiceClient client(library_);
  client.service()->SetServerAddress("offline");
  client.service()->LoginAndJoin("room", "name", "user", "cid", "sid", "");
  client.media()->CreateStream(0, 1280, 720, 7, 5, true, true);
  client.media()->Publish("s1", rtTarvo::rtc::PublishOptions());
  client.media()->SubscribeLive(1280, 720, false);
  client.media()->CreateCameraStream("orvim-camera-1", rtTarvo::rtc::VideoParams());
  client.rtc()->RequestRoomStatus();
  client.service()->Leave();
  ASSERT_TRUE(client.ControlOk("flush"));
  const std::vector<std::string> expected = {"AddObserver",   "SetServerAddress", "LoginAndJoin",
                                             "CreateStream",  "Publish",          "SubscribeLive",
                                             "CreateCameraStream", "RequestRoomStatus", "Leave"};
  EXPECT_EQ(JournalOps(client), expected);
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_TRUE(client.observer().Events().empty());
  EXPECT_TRUE(client.observer().Frames().empty());
}

TEST_F(OrvimStandInTest, EmittedCallbacksCarryTheirArgumentsAndComeFromSdkThreads) {
  ServiceClient client(library_);
  RecordingObserver& o = client.observer();
  ASSERT_TRUE(client.ControlOk("emit", R"("callback":"OnJoinRoomSuccess","args":{"room_id":"r1"})"));
  ASSERT_TRUE(client.ControlOk(
      "emit", R"("callback":"OnCreateStreamSuccess","args":{"stream_id":"s9","device_id":"d1","code":1105})"));
  ASSERT_TRUE(client.ControlOk(
      "emit", R"("callback":"OnParticipantJoined","args":{"participant":{"uid":"u","cid":"c","video_state":3}}})"));
  ASSERT_TRUE(client.ControlOk(
      "emit", R"("callback":"OnVideoFrameYUVData","args":{"stream_id":"live","source_type":7,"width":1280,"height":720,"tag":5,"counter":41}})"));
  ASSERT_TRUE(client.ControlOk("emit", R"("callback":"OnGetParticipantsSuccess","args":{"count":2500}})"));

  EXPECT_EQ(o.Last("OnJoinRoomSuccess").id, "r1");
  const ObservedEvent created = o.Last("OnCreateStreamSuccess");
  EXPECT_EQ(created.id, "s9");
  EXPECT_EQ(created.text, "d1");
  EXPECT_EQ(created.code, 1105);
  EXPECT_EQ(o.Last("OnParticipantJoined").participant.video_state, 3);
  EXPECT_EQ(o.Last("OnGetParticipantsSuccess").participants.size(), 2500u);
  const std::vector<orvim::testing::ObservedFrame> frames = o.Frames("live");
  ASSERT_EQ(frames.size(), 1u);
  EXPECT_EQ(frames[0].type, 7);
  EXPECT_TRUE(frames[0].marked);
  EXPECT_EQ(frames[0].mark.counter, 41u);
  EXPECT_NE(frames[0].thread, std::this_thread::get_id());
  for (const ObservedEvent& e : o.Events()) EXPECT_NE(e.thread, std::this_thread::get_id()) << e.name;
}

TEST_F(OrvimStandInTest, BadControlRequestsGetAnErrorAnswer) {
  ServiceClient client(library_);
  const char* requests[] = {
      "not json", "[1,2]", R"({"cmd":"no such command"})", R"({"cmd":"journal","service":999})",
      R"({"cmd":"emit","callback":"OnNothing"})", R"({"cmd":"fail_next","request":"anything"})",
      R"({"cmd":"level","level":40000})", R"({"cmd":"devices","action":"add","kind":"toaster","id":"x"})",
      R"({"cmd":"tag","tag":-1})"};
  for (const char* request : requests) {
    JsonPtr answer = library_.ControlJson(request);
    ASSERT_TRUE(answer) << request;
    EXPECT_FALSE(GetBool(answer.get(), "ok", true)) << request;
    EXPECT_FALSE(GetString(answer.get(), "error").empty()) << request;
  }
}

TEST_F(OrvimStandInTest, AnAnswerLongerThanTheBufferComesWholeNextTimeWithoutRunningTheCommandAgain) {
  ServiceClient client(library_);
  client.service()->SetServerAddress("offline");
  const std::string request =
      R"({"cmd":"journal","clear":true,"service":)" + std::to_string(client.number()) + "}";
  char small[8];
  const int n = library_.control()(request.c_str(), small, sizeof(small));
  ASSERT_GE(n, static_cast<int>(sizeof(small)));
  EXPECT_EQ(std::string(small).size(), sizeof(small) - 1);
  std::vector<char> whole(static_cast<size_t>(n) + 1);
  ASSERT_EQ(library_.control()(request.c_str(), whole.data(), n + 1), n);
  EXPECT_NE(std::string(whole.data()).find("SetServerAddress"), std::string::npos);
  EXPECT_TRUE(JournalOps(client).empty());  // Cleared once, by the first call.
}

TEST_F(OrvimStandInTest, AnObserverAddedTwiceIsCalledOnce) {
  ServiceClient client(library_);
  client.service()->AddObserver(&client.observer());
  RecordingObserver second;
  client.service()->AddObserver(&second);
  ASSERT_TRUE(client.ControlOk("emit", R"("callback":"OnSpeakerTestFinished")"));
  EXPECT_EQ(client.observer().Count("OnSpeakerTestFinished"), 1u);
  EXPECT_EQ(second.Count("OnSpeakerTestFinished"), 1u);
  client.service()->RemoveObserver(&second);
}

TEST_F(OrvimStandInTest, NothingReachesAnObserverAfterRemoveObserverReturns) {
  ServiceClient client(library_);
  RecordingObserver& o = client.observer();
  std::atomic<bool> stop{false};
  std::thread storm([&] {
    while (!stop.load()) {
      client.Control("emit", R"("callback":"OnLocalAudioState","args":{"value":1},"wait":false)");
      client.Control("emit", R"("callback":"OnVideoFrameYUVData","args":{"stream_id":"x","source_type":2},"wait":false)");
    }
  });
  ASSERT_TRUE(o.WaitForEvent("OnLocalAudioState", 20));
  client.service()->RemoveObserver(&o);
  const size_t events = o.Events().size();
  const size_t frames = o.Frames().size();
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  stop.store(true);
  storm.join();
  EXPECT_TRUE(client.ControlOk("flush"));
  EXPECT_EQ(o.Events().size(), events);
  EXPECT_EQ(o.Frames().size(), frames);
}

TEST_F(OrvimStandInTest, RemoveObserverFromACallbackStopsTheLaterOnes) {
  ServiceClient client(library_);
  RecordingObserver& o = client.observer();
  rtTarvo::base::RTService* service = client.service();
  o.SetHook([service, &o](const ObservedEvent& e) {
    if (e.name == "OnLocalAudioState") service->RemoveObserver(&o);
  });
  ASSERT_TRUE(client.ControlOk("emit", R"("callback":"OnLocalAudioState","args":{"value":1})"));
  ASSERT_TRUE(client.ControlOk("emit", R"("callback":"OnLocalAudioState","args":{"value":2})"));
  EXPECT_EQ(o.Count("OnLocalAudioState"), 1u);
}

TEST_F(OrvimStandInTest, OfflineSendersRecordTheirFrames) {
  ServiceClient client(library_);
  ASSERT_TRUE(client.ControlOk(
      "emit", R"("callback":"OnCreateSenderSuccess","args":{"stream_id":"pub","video_type":7,"sender_kind":0}})"));
  rtTarvo::rtc::FrameSender* sender = client.observer().Last("OnCreateSenderSuccess").sender;
  ASSERT_NE(sender, nullptr);
  std::vector<uint8_t> picture(orvim::I420Size(640, 360));
  orvim::DrawPictureMark(picture.data(), 640, 360, orvim::PictureMark{3, 1, 17});
  sender->SendI420(picture.data(), 640, 360);
  sender->SendI420(nullptr, 640, 360);  // Refused: no data.
  sender->SendI420(picture.data(), -2, 360);
  JsonPtr journal = orvim::ParseObject(client.Control("journal"));
  int frames = 0;
  const cJSON* call = nullptr;
  cJSON_ArrayForEach(call, cJSON_GetObjectItemCaseSensitive(journal.get(), "calls")) {
    if (GetString(call, "op") != "SendFrame") continue;
    ++frames;
    const cJSON* args = cJSON_GetObjectItemCaseSensitive(call, "args");
    EXPECT_EQ(GetString(args, "stream_id"), "pub");
    EXPECT_TRUE(GetBool(args, "marked"));
    EXPECT_EQ(GetInt(args, "counter"), 17);
  }
  EXPECT_EQ(frames, 1);
}

TEST_F(OrvimStandInTest, VirtualDevicesAreListedChangedAndMeasured) {
  ServiceClient client(library_);
  std::vector<rtTarvo::rtc::CameraInfo> cameras;
  client.media()->GetCameras(&cameras);
  ASSERT_EQ(cameras.size(), 1u);
  EXPECT_EQ(cameras[0].name, "Orvim Virtual Camera");
  std::vector<rtTarvo::rtc::VideoResolution> sizes;
  client.media()->GetResolutions(cameras[0].id, &sizes);
  ASSERT_EQ(sizes.size(), 4u);
  EXPECT_EQ(sizes[0].width, 1920);
  EXPECT_EQ(sizes[3].height, 360);
  client.media()->GetResolutions("unknown", &sizes);
  EXPECT_TRUE(sizes.empty());

  ASSERT_TRUE(library_.ControlOk(
      R"({"cmd":"devices","action":"add","kind":"camera","id":"cam2","name":"Second","resolutions":[[1920,1080],[640,1200]]})"));
  client.media()->GetCameras(&cameras);
  EXPECT_EQ(cameras.size(), 2u);
  client.media()->GetResolutions("cam2", &sizes);
  EXPECT_EQ(sizes.size(), 2u);
  ASSERT_TRUE(library_.ControlOk(R"({"cmd":"devices","action":"remove","id":"orvim-camera-1"})"));
  client.media()->GetCameras(&cameras);
  ASSERT_EQ(cameras.size(), 1u);
  EXPECT_EQ(cameras[0].id, "cam2");

  std::vector<rtTarvo::rtc::AudioDeviceInfo> microphones;
  std::vector<rtTarvo::rtc::AudioDeviceInfo> speakers;
  client.media()->GetAudioDevices(1, &microphones);
  client.media()->GetAudioDevices(2, &speakers);
  ASSERT_EQ(microphones.size(), 1u);
  ASSERT_EQ(speakers.size(), 1u);
  EXPECT_EQ(microphones[0].kind, 1);
  EXPECT_EQ(speakers[0].kind, 2);
  ASSERT_TRUE(library_.ControlOk(R"({"cmd":"level","level":16384})"));
  EXPECT_NEAR(client.media()->GetMicrophoneLevel(), 0.5f, 0.001f);
  EXPECT_EQ(client.media()->GetSpeakerLevel(), 0.0f);
}

// A service against a room server: its cameras, its threads and their end.
class OrvimStandInServerTest : public OrvimStandInTest {
 protected:
  void SetUp() override {
    OrvimStandInTest::SetUp();
    ASSERT_TRUE(server_.Start());
  }
  RoomServerProcess server_;
};

TEST_F(OrvimStandInServerTest, CameraStreamsDeliverMarkedFramesInOrderFromTheirOwnThread) {
  ServiceClient client(library_);
  ASSERT_TRUE(client.Join(server_.address(), "camera-room", "alice"));
  ASSERT_TRUE(client.ControlOk("tag", R"("tag":321)"));
  rtTarvo::rtc::VideoParams params;
  params.width = 640;
  params.height = 480;
  params.frame_rate = 50;
  client.media()->CreateCameraStream("orvim-camera-1", params);
  ASSERT_TRUE(client.observer().WaitForEvent("OnCreateStreamSuccess"));
  const ObservedEvent created = client.observer().Last("OnCreateStreamSuccess");
  EXPECT_EQ(created.text, "orvim-camera-1");
  EXPECT_EQ(created.code, 0);
  ASSERT_TRUE(client.observer().WaitForFrames(created.id, 10));
  const auto frames = client.observer().Frames(created.id);
  for (size_t i = 0; i < frames.size(); ++i) {
    EXPECT_EQ(frames[i].type, 1);
    EXPECT_EQ(frames[i].width, 640);
    EXPECT_EQ(frames[i].height, 480);
    ASSERT_TRUE(frames[i].marked);
    EXPECT_EQ(frames[i].mark.tag, 321);
    EXPECT_EQ(frames[i].mark.camera, 1);
    EXPECT_EQ(frames[i].mark.counter, frames[0].mark.counter + i);
    EXPECT_NE(frames[i].thread, created.thread);  // Not the callback thread.
  }
  client.media()->ReleaseStream(created.id);
  ASSERT_TRUE(client.observer().WaitForEvent("OnReleaseStreamSuccess"));
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  const size_t after = client.observer().Frames(created.id).size();
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_EQ(client.observer().Frames(created.id).size(), after);
}

// Removing a camera is its unplugging: its stream's thread has ended when the command answers,
// and the other camera goes on.
TEST_F(OrvimStandInServerTest, ARemovedCameraDeliversNoFrameAfterTheAnswer) {
  ServiceClient client(library_);
  ASSERT_TRUE(client.Join(server_.address(), "unplug", "dave"));
  ASSERT_TRUE(library_.ControlOk(
      R"({"cmd":"devices","action":"add","kind":"camera","id":"cam2","number":2,"resolutions":[[640,360]]})"));
  RecordingObserver& o = client.observer();
  std::string ids[2];
  const char* const cameras[2] = {"orvim-camera-1", "cam2"};
  for (int i = 0; i < 2; ++i) {
    rtTarvo::rtc::VideoParams params;
    params.width = 640;
    params.height = 360;
    params.frame_rate = 50;
    client.media()->CreateCameraStream(cameras[i], params);
    ASSERT_TRUE(o.WaitForEvent("OnCreateStreamSuccess", i + 1));
    ids[i] = o.Events("OnCreateStreamSuccess")[i].id;
    ASSERT_TRUE(o.WaitForFrames(ids[i], 3));
  }
  const int threads = Threads();
  ASSERT_TRUE(library_.ControlOk(R"({"cmd":"devices","action":"remove","id":"orvim-camera-1"})"));
  EXPECT_EQ(Threads(), threads - 1);
  const size_t delivered = o.Frames(ids[0]).size();
  // The other camera is the clock: many of its frames later, still nothing more of the first.
  ASSERT_TRUE(o.WaitForFrames(ids[1], o.Frames(ids[1]).size() + 10));
  EXPECT_EQ(o.Frames(ids[0]).size(), delivered);
  for (const auto& frame : o.Frames(ids[0])) EXPECT_EQ(frame.mark.camera, 1);
  // The ended stream is still released as usual; an unknown device is an error.
  client.media()->ReleaseStream(ids[0]);
  ASSERT_TRUE(o.WaitForEvent("OnReleaseStreamSuccess"));
  EXPECT_FALSE(library_.ControlOk(R"({"cmd":"devices","action":"remove","id":"orvim-camera-1"})"));
}

TEST_F(OrvimStandInServerTest, CreationCodesAndQueuedFailuresAnswerTheNextRequest) {
  ServiceClient client(library_);
  ASSERT_TRUE(client.Join(server_.address(), "codes", "bob"));
  RecordingObserver& o = client.observer();
  ASSERT_TRUE(client.ControlOk("next_create_code", R"("code":1105)"));
  client.media()->CreateCameraStream("orvim-camera-1", rtTarvo::rtc::VideoParams());
  ASSERT_TRUE(o.WaitForEvent("OnCreateStreamSuccess"));
  EXPECT_EQ(o.Last("OnCreateStreamSuccess").code, 1105);
  client.media()->CreateCameraStream("no-camera", rtTarvo::rtc::VideoParams());
  ASSERT_TRUE(o.WaitForEvent("OnCreateStreamFailed"));
  EXPECT_EQ(o.Last("OnCreateStreamFailed").text, "no-camera");

  struct Case {
    const char* request;
    std::function<void()> call;
    const char* callback;
  } cases[] = {
      {"create_sender", [&] { client.media()->CreateStream(1, 1920, 1080, 2, 2, true, true); }, "OnCreateSenderFailed"},
      {"publish", [&] { client.media()->Publish("x", rtTarvo::rtc::PublishOptions()); }, "OnPublishFailed"},
      {"subscribe", [&] { client.media()->SubscribeMix(1); }, "OnSubscribeFailed"},
      {"unsubscribe", [&] { client.media()->Unsubscribe("x"); }, "OnUnSubscribeFailed"},
      {"release", [&] { client.media()->ReleaseStream("x"); }, "OnReleaseStreamFailed"},
      {"mute", [&] { client.media()->MuteVideo("x", true); }, "OnStreamMuteOrUnmuteFailed"},
      {"stats", [&] { client.media()->RequestConnectionStats("x"); }, "OnGetConnectionStatsReusltFailed"},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(client.ControlOk("fail_next", std::string(R"("code":-77,"request":")") + c.request + "\""));
    const size_t before = o.Count(c.callback);
    c.call();
    ASSERT_TRUE(o.WaitForEvent(c.callback, before + 1)) << c.request;
    EXPECT_EQ(o.Last(c.callback).code, -77) << c.request;
  }
}

TEST_F(OrvimStandInServerTest, ReleaseEndsEveryThreadWithARunningCameraAndABlockedCallback) {
  const int before = Threads();
  {
    ServiceClient client(library_);
    ASSERT_TRUE(client.Join(server_.address(), "release", "carol"));
    client.media()->CreateCameraStream("orvim-camera-1", rtTarvo::rtc::VideoParams());
    ASSERT_TRUE(client.observer().WaitForFrames("", 3));
    client.observer().BlockNext("OnLocalAudioState");
    ASSERT_TRUE(client.ControlOk("emit", R"("callback":"OnLocalAudioState","wait":false)"));
    for (int i = 0; i < 100 && !client.observer().Blocked(); ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    ASSERT_TRUE(client.observer().Blocked());
    EXPECT_GT(Threads(), before);
    std::thread unblock([&] {
      std::this_thread::sleep_for(std::chrono::milliseconds(300));
      client.observer().Unblock();
    });
    client.Release();
    unblock.join();
  }
  EXPECT_EQ(Threads(), before);
}

TEST_F(OrvimStandInServerTest, AKilledServerEndsTheSessionWithoutLeavingAThread) {
  const int before = Threads();
  {
    ServiceClient client(library_);
    ASSERT_TRUE(client.ControlOk("reconnect_window_ms", R"("ms":500)"));
    ASSERT_TRUE(client.Join(server_.address(), "killed", "dave"));
    std::string stream;
    ASSERT_TRUE(client.PublishStream(0, true, &stream, nullptr));
    server_.Kill();
    ASSERT_TRUE(client.observer().WaitForEvent("OnServerDisconnected"));
    EXPECT_EQ(client.observer().Count("OnServerConnected"), 0u);
    std::vector<rtTarvo::rtc::StreamEntry> streams;
    client.media()->GetStreams(&streams);
    EXPECT_TRUE(streams.empty());
  }
  EXPECT_EQ(Threads(), before);
  // A restarted server takes its port again, and the service joins anew there.
  const uint16_t port = server_.port();
  ASSERT_TRUE(server_.Start(port));
  EXPECT_EQ(server_.port(), port);
  ServiceClient again(library_);
  EXPECT_TRUE(again.Join(server_.address(), "killed", "dave"));
}

// A server that hangs while a service sends it pictures: the connection stays open and fills,
// nothing is read or answered. The silence ends the session as a lost server, although a
// write of the session waits in the full connection.
TEST_F(OrvimStandInServerTest, AHungServerEndsTheSessionThoughItsConnectionIsFull) {
  const int before = Threads();
  {
    ServiceClient client(library_);
    ASSERT_TRUE(client.ControlOk("reconnect_window_ms", R"("ms":500)"));
    ASSERT_TRUE(client.Join(server_.address(), "hung", "erin"));
    std::string stream;
    rtTarvo::rtc::FrameSender* sender = nullptr;
    ASSERT_TRUE(client.PublishStream(0, false, &stream, &sender));
    std::atomic<bool> stop{false};
    std::thread feeder([&] {
      std::vector<uint8_t> picture(orvim::I420Size(1280, 720), 128);
      while (!stop.load()) {
        sender->SendI420(picture.data(), 1280, 720);
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
      }
    });
    ASSERT_TRUE(server_.Suspend());
    const bool lost = client.observer().WaitForEvent("OnServerDisconnected", 1, 30000);
    stop.store(true);
    feeder.join();
    // Let a stuck session go on before the client is released.
    server_.Resume();
    ASSERT_TRUE(lost);
  }
  EXPECT_EQ(Threads(), before);
}

TEST_F(OrvimStandInServerTest, LoginWithoutAServerFailsWithTheThreeCallbacks) {
  ServiceClient client(library_);
  const std::string address = server_.address();
  server_.Kill();
  client.service()->SetServerAddress(address);
  client.service()->LoginAndJoin("room", "n", "u", "c", "s", "");
  ASSERT_TRUE(client.observer().WaitForEvent("OnJoinRoomFailed"));
  EXPECT_FALSE(client.observer().Last("OnLogin").flag1);
  EXPECT_EQ(client.observer().Count("OnRegisterFailed"), 1u);
  EXPECT_EQ(client.observer().Last("OnJoinRoomFailed").id, "room");
}

}  // namespace
