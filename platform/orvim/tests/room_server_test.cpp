// Raw services of OrvimSDK.dll in rooms of orvim_room_server.exe on a free port: joining,
// participants and streams, frames and audio between services, mutes, subscriptions, the
// server's faults and malformed input.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <map>
#include <mutex>
#include <set>
#include <thread>

#include "platform/orvim/common/media_pattern.h"
#include "platform/orvim/common/wire.h"
#include "platform/orvim/testing/orvim_library.h"
#include "platform/orvim/testing/room_server_process.h"
#include "platform/orvim/testing/service_client.h"

namespace {

using orvim::GetBool;
using orvim::GetInt;
using orvim::GetString;
using orvim::JsonPtr;
using orvim::testing::ObservedEvent;
using orvim::testing::ObservedFrame;
using orvim::testing::OrvimLibrary;
using orvim::testing::RecordingObserver;
using orvim::testing::RoomServerProcess;
using orvim::testing::ServiceClient;
using namespace std::chrono_literals;

constexpr int kWidth = 1280;
constexpr int kHeight = 720;

// Sends marked pictures through a sender on a thread of its own until stopped.
class FrameFeeder {
 public:
  FrameFeeder(rtTarvo::rtc::FrameSender* sender, uint16_t tag, int interval_ms = 20)
      : thread_([this, sender, tag, interval_ms] {
          std::vector<uint8_t> picture(orvim::I420Size(kWidth, kHeight));
          while (!stop_.load()) {
            orvim::DrawPictureMark(picture.data(), kWidth, kHeight, orvim::PictureMark{tag, 2, sent_.load()});
            sender->SendI420(picture.data(), kWidth, kHeight);
            ++sent_;
            std::this_thread::sleep_for(std::chrono::milliseconds(interval_ms));
          }
        }) {}
  ~FrameFeeder() { Stop(); }
  void Stop() {
    stop_.store(true);
    if (thread_.joinable()) thread_.join();
  }
  uint32_t sent() const { return sent_.load(); }

 private:
  std::atomic<bool> stop_{false};
  std::atomic<uint32_t> sent_{0};
  std::thread thread_;
};

// Fills every pull with a marked packet of its own, counting samples.
class CountingGenerator : public rtTarvo::rtc::AudioFrameGenerator {
 public:
  bool GenerateAudioFrame(uint8_t* buffer, int length) override {
    if (length != orvim::kAudioPacketBytes) ++wrong_lengths;
    orvim::FillMicrophonePacket(reinterpret_cast<int16_t*>(buffer), length / 4, 555, counter, 1000);
    counter += static_cast<uint32_t>(length / 4);
    ++pulls;
    return true;
  }
  std::atomic<uint32_t> counter{0};
  std::atomic<int> pulls{0};
  std::atomic<int> wrong_lengths{0};
};

struct TapEntry {
  std::string stream;
  bool marked;
  int tag;
  uint32_t counter;
  int level;
};

std::vector<TapEntry> ReadTap(const std::string& answer) {
  std::vector<TapEntry> entries;
  JsonPtr json = orvim::ParseObject(answer);
  const cJSON* e = nullptr;
  cJSON_ArrayForEach(e, cJSON_GetObjectItemCaseSensitive(json.get(), "entries")) {
    entries.push_back(TapEntry{GetString(e, "stream"), GetBool(e, "marked"), GetInt(e, "tag"),
                               static_cast<uint32_t>(orvim::GetInt64(e, "counter")), GetInt(e, "level")});
  }
  return entries;
}

// Marked entries of |tag| follow each other by one packet; no entry of |own_tag|.
void ExpectContinuousAudio(const std::vector<TapEntry>& entries, int tag, int own_tag) {
  std::vector<uint32_t> counters;
  for (const TapEntry& e : entries) {
    ASSERT_TRUE(e.marked);
    EXPECT_NE(e.tag, own_tag);
    if (e.tag == tag) counters.push_back(e.counter);
  }
  ASSERT_GE(counters.size(), 20u);
  for (size_t i = 1; i < counters.size(); ++i) {
    ASSERT_EQ(counters[i] - counters[i - 1], static_cast<uint32_t>(orvim::kAudioPacketFrames)) << i;
  }
}

class OrvimRoomServerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(library_.ok());
    ASSERT_TRUE(server_.Start());
  }

  std::string Server(const std::string& request) {
    return orvim::testing::ServerControl(library_, server_.address(), request);
  }
  bool ServerOk(const std::string& request) {
    return orvim::testing::ServerControlOk(library_, server_.address(), request);
  }
  // A joins "room" as alice, B as bob.
  void JoinBoth(ServiceClient& a, ServiceClient& b) {
    ASSERT_TRUE(a.Join(server_.address(), "room", "alice"));
    ASSERT_TRUE(b.Join(server_.address(), "room", "bob"));
    ASSERT_TRUE(a.observer().WaitForEvent("OnParticipantJoined"));
  }
  // Frames of |stream| that |o| received since |from|, with marks of |tag|, strictly in order.
  static size_t OrderedFrames(RecordingObserver& o, const std::string& stream, uint16_t tag, size_t from = 0) {
    const std::vector<ObservedFrame> frames = o.Frames(stream);
    size_t n = 0;
    uint32_t last = 0;
    for (size_t i = from; i < frames.size(); ++i) {
      EXPECT_TRUE(frames[i].marked) << i;
      EXPECT_EQ(frames[i].mark.tag, tag) << i;
      if (n > 0) {
        EXPECT_GT(frames[i].mark.counter, last) << i;
      }
      last = frames[i].mark.counter;
      ++n;
    }
    return n;
  }

  OrvimLibrary library_;
  RoomServerProcess server_;
};

TEST_F(OrvimRoomServerTest, TwoJoinOneRoomAndSeeEachOthersParticipantsAndStreams) {
  ServiceClient a(library_);
  ServiceClient b(library_);
  JoinBoth(a, b);
  EXPECT_EQ(a.observer().Count("OnCreateRoomSuccess"), 1u);
  EXPECT_EQ(b.observer().Count("OnCreateRoomSuccess"), 0u);
  EXPECT_EQ(b.observer().Last("OnJoinRoomSuccess").id, "room");
  EXPECT_EQ(a.observer().Last("OnParticipantJoined").participant.uid, "bob");
  EXPECT_EQ(a.observer().Last("OnParticipantJoined").participant.cid, "cid-bob");

  b.rtc()->RequestParticipants();
  ASSERT_TRUE(b.observer().WaitForEvent("OnGetParticipantsSuccess"));
  std::set<std::string> uids;
  for (const auto& p : b.observer().Last("OnGetParticipantsSuccess").participants) uids.insert(p.uid);
  EXPECT_EQ(uids, (std::set<std::string>{"alice", "bob"}));

  std::string camera, share, media;
  ASSERT_TRUE(a.PublishStream(0, true, &camera, nullptr));
  ASSERT_TRUE(a.PublishStream(1, false, &share, nullptr));
  CountingGenerator generator;
  ASSERT_TRUE(a.PublishStream(0, true, &media, nullptr, &generator));
  EXPECT_EQ(a.observer().Events("OnCreateSenderSuccess")[0].code, 7);  // Camera publish: type 7.
  EXPECT_EQ(a.observer().Events("OnCreateSenderSuccess")[0].number2, 0);
  EXPECT_EQ(a.observer().Events("OnCreateSenderSuccess")[1].code, 2);  // Share: type 2, sender 1.
  EXPECT_EQ(a.observer().Events("OnCreateSenderSuccess")[1].number2, 1);

  for (ServiceClient* c : {&a, &b}) {
    ASSERT_TRUE(c->observer().WaitForEvent("OnStreamAdded", 5));
    std::map<std::string, int> kinds;
    for (const ObservedEvent& e : c->observer().Events("OnStreamAdded")) kinds[e.id] = e.code;
    EXPECT_EQ(kinds[camera], 1);
    EXPECT_EQ(kinds[share], 2);
    EXPECT_EQ(kinds[media], 8);
    EXPECT_EQ(kinds["room-live"], 7);
    EXPECT_EQ(kinds["room-mix"], 4);
  }
  const ObservedEvent added = b.observer().Events("OnStreamAdded")[0];
  EXPECT_EQ(added.stream.uid, "alice");
  EXPECT_EQ(added.stream.cid, "cid-alice");

  std::vector<rtTarvo::rtc::StreamEntry> streams;
  b.media()->GetStreams(&streams);
  EXPECT_EQ(streams.size(), 5u);
  for (const auto& s : streams) {
    if (s.kind != 7) continue;
    ASSERT_GE(s.sizes.size(), 3u);
    EXPECT_EQ(s.sizes[1].width, 1280);
    EXPECT_EQ(s.sizes[1].height, 720);
  }
  rtTarvo::rtc::ParticipantInfo owner;
  ASSERT_TRUE(b.rtc()->GetParticipant(&owner, camera));
  EXPECT_EQ(owner.uid, "alice");
  EXPECT_TRUE(owner.has_stream);
  ASSERT_TRUE(a.rtc()->GetParticipant(&owner, camera));
  EXPECT_EQ(owner.id, a.participant_id());

  b.rtc()->RequestRoomStatus();
  ASSERT_TRUE(b.observer().WaitForEvent("OnGetRoomStatusSuccess"));
  const rtTarvo::rtc::RoomStatus status = b.observer().Last("OnGetRoomStatusSuccess").status;
  EXPECT_EQ(status.room_id, "room");
  EXPECT_EQ(status.owner_id, a.participant_id());
  EXPECT_FALSE(status.group_id.empty());
  EXPECT_EQ(status.participant_count, 2);
}

TEST_F(OrvimRoomServerTest, CallsFromACallbackAreAnsweredLaterOnAnSdkThread) {
  ServiceClient a(library_);
  rtTarvo::rtc::RTCEngine* rtc = a.rtc();
  a.observer().SetHook([rtc](const ObservedEvent& e) {
    if (e.name != "OnJoinRoomSuccess") return;
    rtc->RequestRoomStatus();
    rtc->RequestParticipants();
    rtc->GetMediaObject()->CreateStream(0, 640, 360, 7, 5, true, false);
  });
  ASSERT_TRUE(a.Join(server_.address(), "room", "alice"));
  ASSERT_TRUE(a.observer().WaitForEvent("OnGetRoomStatusSuccess"));
  ASSERT_TRUE(a.observer().WaitForEvent("OnGetParticipantsSuccess"));
  ASSERT_TRUE(a.observer().WaitForEvent("OnCreateSenderSuccess"));
  for (const ObservedEvent& e : a.observer().Events()) {
    EXPECT_FALSE(e.nested) << e.name;
    EXPECT_NE(e.thread, std::this_thread::get_id()) << e.name;
  }
}

TEST_F(OrvimRoomServerTest, ARoomsStartMutedPolicyReachesItsParticipantsRecords) {
  ASSERT_TRUE(ServerOk(R"({"cmd":"start_muted","room":"quiet","on":true})"));
  ServiceClient a(library_);
  ServiceClient b(library_);
  ASSERT_TRUE(a.Join(server_.address(), "quiet", "alice"));
  ASSERT_TRUE(b.Join(server_.address(), "room", "bob"));
  for (ServiceClient* c : {&a, &b}) {
    c->media()->CreateCameraStream("orvim-camera-1", rtTarvo::rtc::VideoParams());
    ASSERT_TRUE(c->observer().WaitForEvent("OnCreateStreamSuccess"));
    rtTarvo::rtc::ParticipantInfo self;
    ASSERT_TRUE(c->rtc()->GetParticipant(&self, c->observer().Last("OnCreateStreamSuccess").id));
    EXPECT_EQ(self.id, c->participant_id());
    EXPECT_EQ(self.video_start_muted, c == &a);
  }
  rtTarvo::rtc::ParticipantInfo nobody;
  EXPECT_FALSE(a.rtc()->GetParticipant(&nobody, "no such stream"));
}

TEST_F(OrvimRoomServerTest, FramesFromASenderReachTheOtherSideInOrder) {
  ServiceClient a(library_);
  ServiceClient b(library_);
  JoinBoth(a, b);
  std::string camera;
  rtTarvo::rtc::FrameSender* sender = nullptr;
  ASSERT_TRUE(a.PublishStream(0, false, &camera, &sender));
  b.media()->SubscribeLive(0, 0, true);
  ASSERT_TRUE(b.observer().WaitForEvent("OnSubscribeSuccess"));
  EXPECT_EQ(b.observer().Last("OnSubscribeSuccess").number, 7);
  {
    FrameFeeder feeder(sender, 41);
    ASSERT_TRUE(b.observer().WaitForFrames("room-live", 40));
  }
  const std::vector<ObservedFrame> frames = b.observer().Frames("room-live");
  EXPECT_EQ(frames[0].type, 7);
  EXPECT_EQ(frames[0].width, kWidth);
  EXPECT_EQ(frames[0].height, kHeight);
  EXPECT_GE(OrderedFrames(b.observer(), "room-live", 41), 40u);

  // At a size of the subscriber's choice, scaled by the server.
  b.observer().Clear();
  b.media()->SubscribeLive(640, 360, true);
  ASSERT_TRUE(b.observer().WaitForEvent("OnSubscribeSuccess"));
  {
    FrameFeeder feeder(sender, 42);
    ASSERT_TRUE(b.observer().WaitForFrames("room-live", 10));
  }
  const std::vector<ObservedFrame> small = b.observer().Frames("room-live");
  EXPECT_EQ(small.back().width, 640);
  EXPECT_EQ(small.back().height, 360);
  EXPECT_TRUE(small.back().marked);

  // A share reaches the other member unasked, as type-2 frames.
  std::string share;
  rtTarvo::rtc::FrameSender* share_sender = nullptr;
  ASSERT_TRUE(a.PublishStream(1, false, &share, &share_sender));
  {
    FrameFeeder feeder(share_sender, 43);
    ASSERT_TRUE(b.observer().WaitForFrames(share, 10));
  }
  EXPECT_EQ(b.observer().Frames(share)[0].type, 2);
  EXPECT_GE(OrderedFrames(b.observer(), share, 43), 10u);
  EXPECT_TRUE(a.observer().Frames(share).empty());
}

TEST_F(OrvimRoomServerTest, AudioKeepsItsCounterAndNeverCarriesTheOwnVoice) {
  ServiceClient a(library_);
  ServiceClient b(library_);
  JoinBoth(a, b);
  ASSERT_TRUE(a.ControlOk("tag", R"("tag":101)"));
  ASSERT_TRUE(b.ControlOk("tag", R"("tag":202)"));
  std::string camera_a, camera_b;
  ASSERT_TRUE(a.PublishStream(0, true, &camera_a, nullptr));
  ASSERT_TRUE(b.PublishStream(0, true, &camera_b, nullptr));
  a.media()->SubscribeLive(0, 0, false);
  b.media()->SubscribeLive(0, 0, false);
  ASSERT_TRUE(a.observer().WaitForEvent("OnSubscribeSuccess"));
  ASSERT_TRUE(b.observer().WaitForEvent("OnSubscribeSuccess"));
  a.Control("tap", R"("drain":true)");
  b.Control("tap", R"("drain":true)");
  std::this_thread::sleep_for(1500ms);
  ExpectContinuousAudio(ReadTap(b.Control("tap")), 101, 202);
  ExpectContinuousAudio(ReadTap(a.Control("tap")), 202, 101);
  // The server's tap of what it delivered tells the same.
  const std::string server_tap = Server(R"({"cmd":"tap","uid":"bob"})");
  ExpectContinuousAudio(ReadTap(server_tap), 101, 202);
  EXPECT_GT(b.media()->GetSpeakerLevel(), 0.05f);

  // A's microphone muted by B: B hears nothing more from A.
  b.media()->MuteAudio(camera_a, true);
  ASSERT_TRUE(b.observer().WaitForEvent("OnStreamMuteOrUnmuteSuccess"));
  std::this_thread::sleep_for(200ms);
  b.Control("tap", R"("drain":true)");
  std::this_thread::sleep_for(500ms);
  EXPECT_TRUE(ReadTap(b.Control("tap")).empty());
}

TEST_F(OrvimRoomServerTest, GeneratorPullsReachTheOtherSideInOrder) {
  ServiceClient a(library_);
  ServiceClient b(library_);
  JoinBoth(a, b);
  CountingGenerator generator;
  std::string media;
  ASSERT_TRUE(a.PublishStream(0, true, &media, nullptr, &generator));
  b.media()->SubscribeLive(0, 0, false);
  ASSERT_TRUE(b.observer().WaitForEvent("OnSubscribeSuccess"));
  std::this_thread::sleep_for(300ms);
  b.Control("tap", R"("drain":true)");
  std::this_thread::sleep_for(1500ms);
  ExpectContinuousAudio(ReadTap(b.Control("tap")), 555, -1);
  EXPECT_GT(generator.pulls.load(), 100);
  EXPECT_EQ(generator.wrong_lengths.load(), 0);
  a.media()->ReleaseStream(media);
  ASSERT_TRUE(a.observer().WaitForEvent("OnReleaseStreamSuccess"));
  std::this_thread::sleep_for(100ms);
  const int pulls = generator.pulls.load();
  std::this_thread::sleep_for(200ms);
  EXPECT_EQ(generator.pulls.load(), pulls);
}

TEST_F(OrvimRoomServerTest, AMuteStopsFramesAndEveryMemberHearsOfIt) {
  ServiceClient a(library_);
  ServiceClient b(library_);
  JoinBoth(a, b);
  std::string camera;
  rtTarvo::rtc::FrameSender* sender = nullptr;
  ASSERT_TRUE(a.PublishStream(0, true, &camera, &sender));
  b.media()->SubscribeLive(0, 0, true);
  ASSERT_TRUE(b.observer().WaitForEvent("OnSubscribeSuccess"));
  FrameFeeder feeder(sender, 7);
  ASSERT_TRUE(b.observer().WaitForFrames("room-live", 5));

  b.media()->MuteVideo(camera, true);
  ASSERT_TRUE(b.observer().WaitForEvent("OnStreamMuteOrUnmuteSuccess"));
  const ObservedEvent success = b.observer().Last("OnStreamMuteOrUnmuteSuccess");
  EXPECT_EQ(success.id, camera);
  EXPECT_TRUE(success.flag2);   // Muted.
  EXPECT_FALSE(success.flag1);  // Video.
  for (ServiceClient* c : {&a, &b}) {
    ASSERT_TRUE(c->observer().WaitForEvent("OnStreamMuteOrUnmuteNotify"));
    EXPECT_EQ(c->observer().Last("OnStreamMuteOrUnmuteNotify").id, camera);
    EXPECT_TRUE(c->observer().Last("OnStreamMuteOrUnmuteNotify").flag2);
  }
  std::this_thread::sleep_for(300ms);
  const size_t frozen = b.observer().Frames("room-live").size();
  std::this_thread::sleep_for(400ms);
  EXPECT_EQ(b.observer().Frames("room-live").size(), frozen);
  std::vector<rtTarvo::rtc::ParticipantInfo> users;
  b.rtc()->GetUserList(&users);
  for (const auto& u : users) {
    if (u.uid == "alice") {
      EXPECT_EQ(u.video_state, rtTarvo::rtc::kStateInactive);
    }
  }

  b.media()->MuteVideo(camera, false);
  ASSERT_TRUE(b.observer().WaitForFrames("room-live", frozen + 5));
  b.media()->MuteVideo("no such stream", true);
  ASSERT_TRUE(b.observer().WaitForEvent("OnStreamMuteOrUnmuteFailed"));
}

TEST_F(OrvimRoomServerTest, TheLiveShowsTheFirstCameraThatIsOn) {
  ServiceClient a(library_);
  ServiceClient b(library_);
  JoinBoth(a, b);
  std::string camera_a, camera_b;
  rtTarvo::rtc::FrameSender* sender_a = nullptr;
  rtTarvo::rtc::FrameSender* sender_b = nullptr;
  ASSERT_TRUE(a.PublishStream(0, false, &camera_a, &sender_a));
  ASSERT_TRUE(b.PublishStream(0, false, &camera_b, &sender_b));
  b.media()->SubscribeLive(0, 0, true);
  ASSERT_TRUE(b.observer().WaitForEvent("OnSubscribeSuccess"));
  FrameFeeder feeder_a(sender_a, 11);
  FrameFeeder feeder_b(sender_b, 12);
  // Mutes |camera| and checks that the next pictures of the live all carry |tag|.
  auto mute_then_live_shows = [&](const std::string& camera, bool mute, uint16_t tag) {
    b.observer().Clear();
    b.media()->MuteVideo(camera, mute);
    ASSERT_TRUE(b.observer().WaitForEvent("OnStreamMuteOrUnmuteNotify"));
    std::this_thread::sleep_for(200ms);
    b.observer().Clear();
    ASSERT_TRUE(b.observer().WaitForFrames("room-live", 10)) << "tag " << tag;
    EXPECT_GE(OrderedFrames(b.observer(), "room-live", tag), 10u);
  };
  ASSERT_TRUE(b.observer().WaitForFrames("room-live", 10));
  EXPECT_GE(OrderedFrames(b.observer(), "room-live", 11), 10u);
  mute_then_live_shows(camera_a, true, 12);   // The first camera muted: the second one.
  mute_then_live_shows(camera_a, false, 11);  // On again: the first one again.

  // Both muted: the first camera stays the live's source, and the live stops.
  b.media()->MuteVideo(camera_a, true);
  b.media()->MuteVideo(camera_b, true);
  std::this_thread::sleep_for(500ms);
  const size_t frozen = b.observer().Frames("room-live").size();
  std::this_thread::sleep_for(400ms);
  EXPECT_EQ(b.observer().Frames("room-live").size(), frozen);
}

TEST_F(OrvimRoomServerTest, UnsubscribeStopsFramesAndALeaveIsAnnounced) {
  ServiceClient a(library_);
  ServiceClient b(library_);
  JoinBoth(a, b);
  std::string camera_a, camera_b;
  rtTarvo::rtc::FrameSender* sender = nullptr;
  ASSERT_TRUE(a.PublishStream(0, false, &camera_a, &sender));
  ASSERT_TRUE(b.PublishStream(0, false, &camera_b, nullptr));
  b.media()->SubscribeLive(0, 0, true);
  ASSERT_TRUE(b.observer().WaitForEvent("OnSubscribeSuccess"));
  FrameFeeder feeder(sender, 9);
  ASSERT_TRUE(b.observer().WaitForFrames("room-live", 5));
  b.media()->Unsubscribe("room-live");
  ASSERT_TRUE(b.observer().WaitForEvent("OnUnSubscribeSuccess"));
  std::this_thread::sleep_for(300ms);
  const size_t stopped = b.observer().Frames("room-live").size();
  std::this_thread::sleep_for(300ms);
  EXPECT_EQ(b.observer().Frames("room-live").size(), stopped);
  b.media()->Unsubscribe("room-live");
  ASSERT_TRUE(b.observer().WaitForEvent("OnUnSubscribeFailed"));

  b.service()->Leave();
  ASSERT_TRUE(a.observer().WaitForEvent("OnParticipantLeft"));
  EXPECT_EQ(a.observer().Last("OnParticipantLeft").participant.uid, "bob");
  ASSERT_TRUE(a.observer().WaitForEvent("OnStreamRemoved"));
  EXPECT_EQ(a.observer().Last("OnStreamRemoved").id, camera_b);
}

TEST_F(OrvimRoomServerTest, ALostMediaConnectionComesBackWhenPublishedOrSubscribedAgain) {
  ServiceClient a(library_);
  ServiceClient b(library_);
  JoinBoth(a, b);
  std::string camera;
  rtTarvo::rtc::FrameSender* sender = nullptr;
  ASSERT_TRUE(a.PublishStream(0, false, &camera, &sender));
  b.media()->SubscribeLive(0, 0, true);
  ASSERT_TRUE(b.observer().WaitForEvent("OnSubscribeSuccess"));
  FrameFeeder feeder(sender, 11);
  ASSERT_TRUE(b.observer().WaitForFrames("room-live", 5));

  ASSERT_TRUE(ServerOk(R"({"cmd":"drop_media","uid":"alice","stream":")" + camera + R"("})"));
  ASSERT_TRUE(a.observer().WaitForEvent("OnIceDisconnected"));
  EXPECT_EQ(a.observer().Last("OnIceDisconnected").id, camera);
  std::this_thread::sleep_for(300ms);
  const size_t down = b.observer().Frames("room-live").size();
  std::this_thread::sleep_for(300ms);
  EXPECT_EQ(b.observer().Frames("room-live").size(), down);
  a.media()->Publish(camera, rtTarvo::rtc::PublishOptions());
  ASSERT_TRUE(a.observer().WaitForEvent("OnPublishSuccess", 2));
  ASSERT_TRUE(b.observer().WaitForFrames("room-live", down + 5));

  // While held, the retries fail.
  ASSERT_TRUE(ServerOk(R"({"cmd":"drop_media","uid":"bob","hold":true})"));
  ASSERT_TRUE(b.observer().WaitForEvent("OnIceDisconnected"));
  EXPECT_EQ(b.observer().Last("OnIceDisconnected").id, "room-live");
  b.media()->SubscribeLive(0, 0, true);
  ASSERT_TRUE(b.observer().WaitForEvent("OnSubscribeFailed"));
  ASSERT_TRUE(ServerOk(R"({"cmd":"hold","uid":"bob","on":false})"));
  b.media()->Resubscribe("room-live", 0);
  ASSERT_TRUE(b.observer().WaitForEvent("OnSubscribeSuccess", 2));
  const size_t back = b.observer().Frames("room-live").size();
  ASSERT_TRUE(b.observer().WaitForFrames("room-live", back + 5));
}

TEST_F(OrvimRoomServerTest, ASignallingDropResumesWithinTheWindow) {
  ServiceClient a(library_);
  ServiceClient b(library_);
  JoinBoth(a, b);
  ASSERT_TRUE(ServerOk(R"({"cmd":"drop_signalling","uid":"alice"})"));
  ASSERT_TRUE(a.observer().WaitForEvent("OnServerConnected"));
  EXPECT_FALSE(a.observer().Last("OnServerConnected").text.empty());
  a.rtc()->RequestRoomStatus();
  ASSERT_TRUE(a.observer().WaitForEvent("OnGetRoomStatusSuccess"));
  EXPECT_EQ(a.observer().Last("OnGetRoomStatusSuccess").status.participant_count, 2);
  EXPECT_EQ(b.observer().Count("OnParticipantLeft"), 0u);
  EXPECT_EQ(a.observer().Count("OnServerDisconnected"), 0u);
}

TEST_F(OrvimRoomServerTest, KicksNoticesAndTheEndOfTheRoomReachTheirMembers) {
  ServiceClient a(library_);
  ServiceClient b(library_);
  JoinBoth(a, b);
  ASSERT_TRUE(ServerOk(R"({"cmd":"kickout_notice","room":"room","user_ids":["x","y"]})"));
  ASSERT_TRUE(b.observer().WaitForEvent("OnKickoutNotify"));
  EXPECT_EQ(b.observer().Last("OnKickoutNotify").ids, (std::vector<std::string>{"x", "y"}));

  ASSERT_TRUE(ServerOk(R"({"cmd":"kick","uid":"bob","origin":"host","reason":1})"));
  ASSERT_TRUE(b.observer().WaitForEvent("BeKickedFromRoomNotify"));
  EXPECT_EQ(b.observer().Last("BeKickedFromRoomNotify").id, "host");
  EXPECT_EQ(b.observer().Last("BeKickedFromRoomNotify").code, 1);
  ASSERT_TRUE(a.observer().WaitForEvent("OnParticipantLeft"));

  ASSERT_TRUE(ServerOk(R"({"cmd":"destroy_room","room":"room","reason":0})"));
  ASSERT_TRUE(a.observer().WaitForEvent("OnRoomDestoryNotify"));
  EXPECT_EQ(a.observer().Last("OnRoomDestoryNotify").code, 0);
  std::this_thread::sleep_for(2500ms);
  EXPECT_EQ(a.observer().Count("OnServerDisconnected"), 0u);
  EXPECT_EQ(b.observer().Count("OnServerDisconnected"), 0u);
  // Both may join again.
  ASSERT_TRUE(b.Join(server_.address(), "room", "bob"));
}

// A member that is behind on reading (a share fills its connection) and still sends when it is
// kicked gets everything queued before the kick, the kick and the goodbye, then the close.
TEST_F(OrvimRoomServerTest, AKickedMemberThatKeepsSendingStillGetsItsKick) {
  ServiceClient a(library_);
  ASSERT_TRUE(a.Join(server_.address(), "room", "alice"));
  std::string share;
  rtTarvo::rtc::FrameSender* sender = nullptr;
  ASSERT_TRUE(a.PublishStream(1, false, &share, &sender));

  orvim::ScopedSocket tom(orvim::ConnectTo(server_.address()));
  ASSERT_TRUE(tom.valid());
  const DWORD silence = 10000;
  setsockopt(tom.get(), SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&silence), sizeof(silence));
  orvim::InMessage message;
  std::string error;
  ASSERT_TRUE(orvim::WriteMessage(tom.get(), orvim::JsonMessage(R"({"op":"login","conf_id":"room","user_id":"tom"})")));
  ASSERT_TRUE(orvim::ReadMessage(tom.get(), &message, &error)) << error;
  ASSERT_TRUE(GetBool(orvim::ParseObject(message.json()).get(), "ok"));
  {
    FrameFeeder feeder(sender, 44, 5);
    std::this_thread::sleep_for(1s);  // Tom reads nothing meanwhile.
    ASSERT_TRUE(ServerOk(R"({"cmd":"kick","uid":"tom","origin":"host","reason":1})"));
  }
  orvim::Bytes pcm = orvim::MakeBytes(orvim::kAudioPacketBytes);
  ASSERT_TRUE(orvim::WriteMessage(tom.get(), orvim::AudioMessage("tom-stream", pcm, 0, pcm.size)));
  std::this_thread::sleep_for(500ms);  // The server has read it before tom reads on.

  std::vector<std::string> ops;
  size_t frames = 0;
  while (orvim::ReadMessage(tom.get(), &message, &error)) {
    if (message.type != orvim::kMessageJson) {
      ++frames;
      continue;
    }
    JsonPtr json = orvim::ParseObject(message.json());
    const std::string op = GetString(json.get(), "op");
    if (op != "ping") ops.push_back(op);
  }
  EXPECT_GT(frames, 0u);
  ASSERT_GE(ops.size(), 2u) << error;
  EXPECT_EQ(ops[ops.size() - 2], "kicked");
  EXPECT_EQ(ops.back(), "bye");
}

TEST_F(OrvimRoomServerTest, ARefusedLoginGivesTheThreeFailures) {
  ServiceClient a(library_);
  ASSERT_TRUE(ServerOk(R"({"cmd":"refuse_login","uid":"eve","code":403})"));
  a.service()->SetServerAddress(server_.address());
  a.service()->LoginAndJoin("room", "Eve", "eve", "c", "s", "");
  ASSERT_TRUE(a.observer().WaitForEvent("OnJoinRoomFailed"));
  EXPECT_FALSE(a.observer().Last("OnLogin").flag1);
  EXPECT_EQ(a.observer().Last("OnRegisterFailed").code, 403);
  EXPECT_EQ(a.observer().Last("OnJoinRoomFailed").code, 403);
  EXPECT_EQ(a.observer().Last("OnJoinRoomFailed").id, "room");
  EXPECT_EQ(a.observer().Count("OnJoinRoomSuccess"), 0u);
  ASSERT_TRUE(a.Join(server_.address(), "room", "eve"));  // The refusal was for one login.
}

TEST_F(OrvimRoomServerTest, StatisticsMeasureWhatWasSentReceivedAndDropped) {
  ServiceClient a(library_);
  ServiceClient b(library_);
  JoinBoth(a, b);
  std::string camera;
  rtTarvo::rtc::FrameSender* sender = nullptr;
  ASSERT_TRUE(a.PublishStream(0, true, &camera, &sender));
  b.media()->SubscribeLive(0, 0, false);
  ASSERT_TRUE(b.observer().WaitForEvent("OnSubscribeSuccess"));
  ASSERT_TRUE(ServerOk(R"({"cmd":"network","uid":"alice","loss":0.5})"));
  {
    FrameFeeder feeder(sender, 5);
    while (feeder.sent() < 60) std::this_thread::sleep_for(10ms);
  }
  std::this_thread::sleep_for(300ms);
  a.media()->RequestConnectionStats(camera);
  ASSERT_TRUE(a.observer().WaitForEvent("OnGetConnectionStatsResult"));
  const NetStatistics sent = a.observer().Last("OnGetConnectionStatsResult").stats;
  EXPECT_GE(sent.video.packets, 55);
  EXPECT_GT(sent.video.packetsLost, 10);
  EXPECT_LT(sent.video.packetsLost, sent.video.packets - 10);
  EXPECT_EQ(sent.video.lossCount, sent.video.packetsLost);
  EXPECT_EQ(sent.video.bytes, static_cast<int64_t>(sent.video.packets) * orvim::I420Size(kWidth, kHeight));
  EXPECT_EQ(sent.video.width, 1280u);
  EXPECT_EQ(sent.video.height, 720u);
  EXPECT_EQ(sent.video.codec, "I420");
  EXPECT_GT(sent.audio.packets, 0);
  EXPECT_NEAR(static_cast<int>(sent.audio.audioLevel), 3000, 30);
  EXPECT_GE(sent.video.rtt, 0);

  b.media()->RequestConnectionStats("room-live");
  ASSERT_TRUE(b.observer().WaitForEvent("OnGetConnectionStatsResult"));
  const NetStatistics received = b.observer().Last("OnGetConnectionStatsResult").stats;
  EXPECT_EQ(received.video.packets, sent.video.packets - sent.video.packetsLost);
  EXPECT_GT(received.audio.packets, 0);

  b.media()->RequestConnectionStats("unknown");
  ASSERT_TRUE(b.observer().WaitForEvent("OnGetConnectionStatsReusltFailed"));
  EXPECT_EQ(b.observer().Last("OnGetConnectionStatsReusltFailed").id, "unknown");

  // A frame-rate cap: at most that many frames a second go on.
  ASSERT_TRUE(ServerOk(R"({"cmd":"network","uid":"alice","loss":0,"fps_cap":5})"));
  b.observer().Clear();
  {
    FrameFeeder feeder(sender, 6, 10);
    std::this_thread::sleep_for(1000ms);
  }
  std::this_thread::sleep_for(200ms);
  EXPECT_LE(b.observer().Frames("room-live").size(), 7u);
  EXPECT_GE(b.observer().Frames("room-live").size(), 3u);
}

TEST_F(OrvimRoomServerTest, LayoutInsertionVolumeAndTheMixAreKeptAndAnswered) {
  ServiceClient a(library_);
  ServiceClient b(library_);
  JoinBoth(a, b);
  a.live()->SetLiveLayout("room", R"({"mode":2})");
  ASSERT_TRUE(a.observer().WaitForEvent("OnSetLive2LayoutResult"));
  EXPECT_EQ(a.observer().Last("OnSetLive2LayoutResult").id, "200");
  b.live()->GetLiveLayout("room");
  ASSERT_TRUE(b.observer().WaitForEvent("OnGetLive2LayoutResult"));
  EXPECT_EQ(b.observer().Last("OnGetLive2LayoutResult").text, "success");
  EXPECT_EQ(b.observer().Last("OnGetLive2LayoutResult").ids[0], R"({"mode":2})");
  rtTarvo::rtc::MediaInsertion insertion;
  insertion.url = "rtmp://example/stream";
  a.live()->StartInsertion(insertion);
  ASSERT_TRUE(a.observer().WaitForEvent("OnStartInterCut"));
  a.live()->SetInsertionVolume(rtTarvo::rtc::InterCutVolume{"", 35});
  ASSERT_TRUE(a.observer().WaitForEvent("OnSetInterCutVolume"));
  b.live()->GetInsertionVolume(rtTarvo::rtc::InterCutVolume{"", 0});
  ASSERT_TRUE(b.observer().WaitForEvent("OnGetInterCutVolume"));
  EXPECT_EQ(b.observer().Last("OnGetInterCutVolume").code, 35);

  // The mix: each picture in its tile, the layout told on each change.
  std::string camera_a, camera_b;
  rtTarvo::rtc::FrameSender* sender_a = nullptr;
  rtTarvo::rtc::FrameSender* sender_b = nullptr;
  ASSERT_TRUE(a.PublishStream(0, false, &camera_a, &sender_a));
  ASSERT_TRUE(a.observer().WaitForEvent("OnLayoutChanged"));
  EXPECT_EQ(a.observer().Last("OnLayoutChanged").code, 1);
  ASSERT_TRUE(b.PublishStream(0, false, &camera_b, &sender_b));
  ASSERT_TRUE(a.observer().WaitForEvent("OnLayoutChanged", 2));
  const rtTarvo::rtc::LayoutMap layout = a.observer().Last("OnLayoutChanged").layout;
  ASSERT_EQ(layout.size(), 2u);
  EXPECT_EQ(layout.begin()->second.stream_id, camera_a);
  EXPECT_EQ(layout.begin()->second.user.user_id, "alice");
  EXPECT_EQ(std::next(layout.begin())->second.left_num, 1);
  EXPECT_EQ(std::next(layout.begin())->second.left_den, 2);

  // Tiles of the 1280 x 720 mix: two of 640 x 720, each picture kept 16:9 at 640 x 360.
  std::mutex seen_mutex;
  std::map<int, std::vector<orvim::PictureMark>> seen;  // Tile to marks read there.
  a.observer().SetFrameHook([&](const std::string& id, int type, const rtTarvo::rtc::FrameDescription& d) {
    if (id != "room-mix" || type != 4 || d.width != 1280 || d.height != 720) return;
    for (int tile = 0; tile < 2; ++tile) {
      orvim::PictureMark mark;
      if (orvim::ReadPictureMarkInRect(d.data, 1280, tile * 640, 180, 640, 360, &mark)) {
        std::lock_guard<std::mutex> lock(seen_mutex);
        seen[tile].push_back(mark);
      }
    }
  });
  a.media()->SubscribeMix(1);
  ASSERT_TRUE(a.observer().WaitForEvent("OnSubscribeSuccess"));
  EXPECT_EQ(a.observer().Last("OnSubscribeSuccess").number, 4);
  FrameFeeder feed_a(sender_a, 1001);
  FrameFeeder feed_b(sender_b, 2002);
  ASSERT_TRUE(a.observer().WaitForFrames("room-mix", 20));
  feed_a.Stop();
  feed_b.Stop();
  a.observer().SetFrameHook(nullptr);
  std::lock_guard<std::mutex> lock(seen_mutex);
  const uint16_t tags[2] = {1001, 2002};
  for (int tile = 0; tile < 2; ++tile) {
    ASSERT_GE(seen[tile].size(), 5u) << tile;
    for (const orvim::PictureMark& mark : seen[tile]) EXPECT_EQ(mark.tag, tags[tile]) << tile;
    EXPECT_GT(seen[tile].back().counter, seen[tile].front().counter) << tile;
  }
}

// A raw connection that the server must drop: after |bytes| it ends within 5 s (whatever it
// answered before).
bool DroppedByServer(const std::string& address, const std::string& bytes, bool close_sending = false) {
  orvim::ScopedSocket socket(orvim::ConnectTo(address));
  if (!socket.valid()) return false;
  send(socket.get(), bytes.data(), static_cast<int>(bytes.size()), 0);
  if (close_sending) shutdown(socket.get(), SD_SEND);
  const auto deadline = std::chrono::steady_clock::now() + 5s;
  while (std::chrono::steady_clock::now() < deadline) {
    fd_set read;
    FD_ZERO(&read);
    FD_SET(socket.get(), &read);
    timeval timeout{0, 200000};
    if (select(0, &read, nullptr, nullptr, &timeout) != 1) continue;
    char buffer[4096];
    if (recv(socket.get(), buffer, sizeof(buffer), 0) <= 0) return true;
  }
  return false;
}

std::string Framed(uint8_t type, const std::string& body) {
  const uint32_t length = static_cast<uint32_t>(body.size() + 1);
  std::string message(reinterpret_cast<const char*>(&length), 4);
  message.push_back(static_cast<char>(type));
  return message + body;
}

TEST_F(OrvimRoomServerTest, MalformedInputDropsOnlyThatConnection) {
  ServiceClient a(library_);
  ASSERT_TRUE(a.Join(server_.address(), "room", "alice"));
  const std::string oversized("\xff\xff\xff\x7f\x01", 5);
  struct Case {
    const char* name;
    std::string bytes;
    bool close_sending;
  } cases[] = {
      {"garbage", "GET / HTTP/1.1\r\nHost: x\r\n\r\n", false},
      {"oversized", oversized, false},
      {"truncated", Framed(1, R"({"op":"login","conf_id":"room","user_id":"t"})").substr(0, 12), true},
      {"unknown type", Framed(9, "xyz"), false},
      {"not an object", Framed(1, "[1,2,3]"), false},
      {"not json", Framed(1, "{nope"), false},
      {"unknown first op", Framed(1, R"({"op":"dance"})"), false},
      {"media before login", Framed(2, std::string("\x01s\0\0\0\0\0\0\0\0\0\0\0\0", 14)), false},
      {"short media header", Framed(3, std::string("\x09" "ab", 3)), false},
      {"unknown op after login",
       Framed(1, R"({"op":"login","conf_id":"room2","user_id":"t"})") + Framed(1, R"({"op":"dance"})"), false},
  };
  for (const Case& c : cases) {
    EXPECT_TRUE(DroppedByServer(server_.address(), c.bytes, c.close_sending)) << c.name;
    // The joined service is still served.
    const size_t before = a.observer().Count("OnGetRoomStatusSuccess");
    a.rtc()->RequestRoomStatus();
    ASSERT_TRUE(a.observer().WaitForEvent("OnGetRoomStatusSuccess", before + 1)) << c.name;
  }
  JsonPtr answer = orvim::ParseObject(Server(R"({"cmd":"no such command"})"));
  ASSERT_TRUE(answer);
  EXPECT_FALSE(GetBool(answer.get(), "ok", true));
  EXPECT_FALSE(GetString(answer.get(), "error").empty());
  EXPECT_FALSE(ServerOk(R"({"cmd":"kick","uid":"nobody"})"));
}

TEST_F(OrvimRoomServerTest, SpeakerTestsEndAndTheMicrophoneLevelIsReported) {
  ServiceClient a(library_);
  ASSERT_TRUE(a.Join(server_.address(), "room", "alice"));
  ASSERT_TRUE(a.ControlOk("speaker_test_ms", R"("ms":300)"));
  const auto start = std::chrono::steady_clock::now();
  a.media()->TestAudioDevice(rtTarvo::rtc::AudioDeviceInfo{"orvim-speaker-1", "Orvim Virtual Speaker", 2}, "t.wav", 0);
  ASSERT_TRUE(a.observer().WaitForEvent("OnSpeakerTestFinished"));
  EXPECT_GE(std::chrono::steady_clock::now() - start, 250ms);
  a.media()->SelectAudioDevice(rtTarvo::rtc::AudioDeviceInfo{"orvim-mic-1", "Orvim Virtual Microphone", 1}, 0);
  ASSERT_TRUE(a.observer().WaitForEvent("OnAudioDeviceSelected"));
  EXPECT_EQ(a.observer().Last("OnAudioDeviceSelected").code, 1);
  EXPECT_EQ(a.observer().Last("OnAudioDeviceSelected").id, "orvim-mic-1");

  std::string camera;
  ASSERT_TRUE(a.PublishStream(0, true, &camera, nullptr));
  ASSERT_TRUE(library_.ControlOk(R"({"cmd":"level","level":1234})"));
  ASSERT_TRUE(a.observer().WaitForEvent("OnLocalAudioState", 2, 5000));
  EXPECT_EQ(a.observer().Last("OnLocalAudioState").code, 1234);
  library_.Control(R"({"cmd":"level","level":3000})");
}

}  // namespace
