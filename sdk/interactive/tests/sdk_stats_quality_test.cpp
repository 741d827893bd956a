// Statistics, layouts, user mutes, the network quality level and the show-state hint against
// the stand-in offline; statistics arrive through "emit" of the SDK's callbacks.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <vector>

#include "foundation/app_config.h"
#include "sdk/interactive/tests/sdk_test_support.h"
#include "shell/registry/user_stream_list.h"

namespace sdk_test {
namespace {

using Ops = std::vector<std::string>;

// Counters of one statistics result.
struct Sample {
  int64_t bytes;
  int packets, lost, lossCount;
  int height, fps;
  int audioPackets = 0, audioLost = 0;
  int audioLevel = 0;
};

std::string StatsJson(const Sample& s) {
  return R"({"video":{"bytes":)" + std::to_string(s.bytes) + R"(,"packets":)" + std::to_string(s.packets) +
         R"(,"packetsLost":)" + std::to_string(s.lost) + R"(,"lossCount":)" + std::to_string(s.lossCount) +
         R"(,"width":)" + std::to_string(s.height * 16 / 9) + R"(,"height":)" + std::to_string(s.height) +
         R"(,"frameRate":)" + std::to_string(s.fps) + R"(,"codec":"raw"},"audio":{"bytes":)" +
         std::to_string(s.audioPackets * 100) + R"(,"packets":)" + std::to_string(s.audioPackets) +
         R"(,"packetsLost":)" + std::to_string(s.audioLost) + R"(,"audioLevel":)" + std::to_string(s.audioLevel) +
         R"(,"totalAudioEnergy":)" + std::to_string(s.audioLevel) + R"(.5,"codec":"pcm"}})";
}

std::atomic<int64_t> g_nowMs{0};
std::chrono::steady_clock::time_point FakeNow() {
  return std::chrono::steady_clock::time_point(std::chrono::milliseconds(g_nowMs.load()));
}

class SdkStatsQualityTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m.Join();
    m.layer.UpdateMeetingIds([](StMeetingIds& ids) { ids.publishStreamId = "pub"; });
  }
  bool Stats(const std::string& id, const Sample& s) {
    return m.Emit("OnGetConnectionStatsResult", R"({"stream_id":")" + id + R"(","stats":)" + StatsJson(s) + "}");
  }
  // One network-quality tick: the SDK's answer to the last request, then the judgement.
  int Tick(const Sample& s) {
    EXPECT_TRUE(Stats("pub", s));
    return m.layer.UpdateNetStatus();
  }
  std::vector<std::string> WebLogs() { return m.page.Values(30, "text"); }

  ConfigGuard config;
  OfflineMeeting m;
};

TEST_F(SdkStatsQualityTest, QualityLevelFromThePublishHistories) {
  // No publish stream: 2; out of a meeting: 0, nothing asked.
  {
    OfflineMeeting outside;
    EXPECT_EQ(outside.layer.UpdateNetStatus(), 2);
    outside.layer.UpdateMeetingIds([](StMeetingIds& ids) { ids.publishStreamId = "pub"; });
    EXPECT_EQ(outside.layer.UpdateNetStatus(), 0);
    EXPECT_TRUE(outside.Ops({"RequestConnectionStats"}).empty());
  }
  GetAppConfig()->video_height = 720;
  struct Case {
    const char* name;
    int lossPercent, height, fps;
    int level;
  };
  const Case cases[] = {
      {"clean", 0, 720, 25, 2},   {"12 % loss", 12, 720, 25, 1}, {"20 % loss", 20, 720, 25, 0},
      {"640 x 360", 0, 360, 25, 1}, {"12 fps", 0, 720, 12, 1},     {"5 fps", 0, 720, 5, 0},
      {"9 % loss", 9, 720, 25, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    OfflineMeeting q;
    q.Join();
    q.layer.UpdateMeetingIds([](StMeetingIds& ids) { ids.publishStreamId = "pub"; });
    std::vector<int> levels;
    for (int t = 1; t <= 7; ++t) {
      const Sample s{t * 100000LL, t * 1000, t * 10, t * 10 * c.lossPercent, c.height, c.fps};
      EXPECT_TRUE(q.Emit("OnGetConnectionStatsResult", R"({"stream_id":"pub","stats":)" + StatsJson(s) + "}"));
      levels.push_back(q.layer.UpdateNetStatus());
    }
    // The first four calls fill the histories; the fifth still counts the first sample's 0 loss.
    EXPECT_EQ(std::vector<int>(levels.begin(), levels.begin() + 4), (std::vector<int>{2, 2, 2, 2}));
    EXPECT_EQ(levels[5], c.level);
    EXPECT_EQ(levels[6], c.level);
    EXPECT_EQ(q.Ops({"RequestConnectionStats"}).size(), 7u);
  }
}

// A new publish stream starts its counters again: the judgement starts again with it instead of
// taking the drop for a loss.
TEST_F(SdkStatsQualityTest, ACounterRestartStartsTheHistoriesAgain) {
  std::vector<int> levels;
  for (int t = 1; t <= 5; ++t) levels.push_back(Tick({t * 100000LL, t * 1000, 0, t * 5, 720, 25}));
  for (int t = 1; t <= 6; ++t) levels.push_back(Tick({t * 1000LL, t * 10, 0, 0, 720, 25}));
  EXPECT_EQ(levels, (std::vector<int>{2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2}));
  EXPECT_EQ(m.layer.GetNetStatus().videoLossCount.size(), 5u);
  EXPECT_EQ(m.layer.GetNetStatus().sentBytes.back(), 6000);
}

TEST_F(SdkStatsQualityTest, AMutedCameraIsJudgedByItsSound) {
  struct Case {
    const char* name;
    int lostPer100;
    int level;
  };
  for (const Case& c : {Case{"1 %", 1, 2}, Case{"3 %", 3, 1}, Case{"10 %", 10, 0}}) {
    SCOPED_TRACE(c.name);
    OfflineMeeting q;
    q.Join();
    q.layer.UpdateMeetingIds([](StMeetingIds& ids) { ids.publishStreamId = "pub"; });
    q.layer.SetLocalVideoMuted(true);
    std::vector<int> levels;
    for (int t = 1; t <= 5; ++t) {
      // The video part would say 0 (no frames); the sound decides.
      const Sample s{0, 0, 0, 0, 0, 0, t * 100, t * c.lostPer100};
      EXPECT_TRUE(q.Emit("OnGetConnectionStatsResult", R"({"stream_id":"pub","stats":)" + StatsJson(s) + "}"));
      levels.push_back(q.layer.UpdateNetStatus());
    }
    EXPECT_EQ(levels, (std::vector<int>{2, 2, 2, 2, c.level}));
  }
}

TEST_F(SdkStatsQualityTest, StatisticsLandInTheirRecordsAndCopiesAskForMore) {
  // Six publish results keep five history samples, oldest dropped first.
  for (int level = 1; level <= 6; ++level) ASSERT_TRUE(Stats("pub", {level, 0, 0, 0, 720, 25, 0, 0, level}));
  std::vector<uint32_t> levels;
  for (const StPublishStatSample& s : m.layer.GetPublishStatHistory()) levels.push_back(s.audioLevel);
  EXPECT_EQ(levels, (std::vector<uint32_t>{2, 3, 4, 5, 6}));
  EXPECT_DOUBLE_EQ(m.layer.GetPublishStatHistory().back().totalAudioEnergy, 6.5);

  NetStatistics copy;
  m.layer.GetPublishNetStats(&copy, false);
  EXPECT_EQ(copy.video.bytes, 6);
  EXPECT_TRUE(m.Ops({"RequestConnectionStats"}).empty());
  m.layer.GetPublishNetStats(&copy, true);
  EXPECT_EQ(m.Ops({"RequestConnectionStats"}), Ops{R"(RequestConnectionStats{"stream_id":"pub"})"});

  // Another id (even an unknown one) lands in the subscribe record; without a subscribed live
  // stream nothing is asked.
  ASSERT_TRUE(Stats("whatever", {77, 1, 0, 0, 360, 15}));
  m.layer.GetSubscribeNetStats(&copy);
  EXPECT_EQ(copy.video.bytes, 77);
  EXPECT_TRUE(m.Ops({"RequestConnectionStats"}).empty());
  ASSERT_TRUE(m.Emit("OnSubscribeSuccess", R"({"stream_id":"room-live","video_type":7})"));
  m.layer.GetSubscribeNetStats(nullptr);
  EXPECT_EQ(m.Ops({"RequestConnectionStats"}), Ops{R"(RequestConnectionStats{"stream_id":"room-live"})"});

  // Local media: its record, empty copies while it does not play, emptied on reset.
  m.layer.UpdateMeetingIds([](StMeetingIds& ids) { ids.localMediaStreamId = "lm"; });
  ASSERT_TRUE(Stats("lm", {55, 1, 0, 0, 720, 25}));
  EXPECT_EQ(m.layer.GetLocalMediaStatsRecord().video.bytes, 55);
  m.layer.GetLocalMediaNetStats(&copy);
  EXPECT_EQ(copy.video.bytes, 0);
  EXPECT_EQ(copy.video.rtt, -1);  // An empty record, not a zeroed copy.
  EXPECT_TRUE(m.Ops({"RequestConnectionStats"}).empty());
  m.layer.SetLocalMediaPlaying(true);
  m.layer.GetLocalMediaNetStats(&copy);
  EXPECT_EQ(copy.video.bytes, 55);
  EXPECT_EQ(m.Ops({"RequestConnectionStats"}), Ops{R"(RequestConnectionStats{"stream_id":"lm"})"});
  m.layer.ResetLocalMediaNetStats();
  m.layer.GetLocalMediaNetStats(&copy);
  EXPECT_EQ(copy.video.bytes, 0);
  m.layer.SetLocalMediaPlaying(false);

  // A failed request stores nothing.
  ASSERT_TRUE(m.Emit("OnGetConnectionStatsReusltFailed", R"({"ec":-1,"stream_id":"pub"})"));
  m.layer.GetPublishNetStats(&copy, false);
  EXPECT_EQ(copy.video.bytes, 6);
}

TEST_F(SdkStatsQualityTest, UserMutesOneRequestAtATime) {
  CUserStreamList::Instance()->Add(StUserStream{"Bob", "p-bob", "", "", "active", "active", "", "s-bob", "bob", "c-bob"});
  CUserStreamList::Instance()->Add(StUserStream{"Me", "p-me", "", "", "active", "active", "", "s-me", "me", "c-me"});
  struct Case {
    int opt;
    const char* muted;
  };
  for (const Case c : {Case{1, "false"}, Case{0, "true"}, Case{2, "true"}, Case{-1, "true"}}) {
    SCOPED_TRACE(c.opt);
    m.layer.OnVideo_OnOff("p-bob", c.opt);
    m.layer.OnMic_OnOff("p-bob", c.opt);
    EXPECT_EQ(m.Ops(), (Ops{std::string(R"(MuteVideo{"stream_id":"s-bob","muted":)") + c.muted + "}",
                            std::string(R"(MuteAudio{"stream_id":"s-bob","muted":)") + c.muted + "}"}));
    // A second request while the first is pending is refused.
    m.layer.OnVideo_OnOff("p-bob", c.opt);
    m.layer.OnMic_OnOff("p-bob", c.opt);
    EXPECT_TRUE(m.Ops().empty());
    EXPECT_EQ(m.layer.GetStreamOps(), (Ops{"s-bob_v", "s-bob_a"}));
    ASSERT_TRUE(m.Emit("OnStreamMuteOrUnmuteSuccess", R"({"stream_id":"s-bob","muted":true,"is_audio":false})"));
    ASSERT_TRUE(m.Emit("OnStreamMuteOrUnmuteFailed", R"({"ec":1,"stream_id":"s-bob","muted":true,"is_audio":true})"));
    EXPECT_TRUE(m.layer.GetStreamOps().empty());
  }
  EXPECT_NE(ReadLog().find(" task handling!"), std::string::npos);

  // The own user: refused before any SDK call without a configured device.
  GetAppConfig()->camera_dev_id.clear();
  GetAppConfig()->SetMicDevId("");
  m.page.Clear();
  m.layer.OnVideo_OnOff("p-me", 0);
  m.layer.OnMic_OnOff("p-me", 0);
  EXPECT_TRUE(m.Ops().empty());
  EXPECT_TRUE(m.layer.GetStreamOps().empty());
  EXPECT_EQ(WebLogs(), (Ops{"win_client:OnVideo_OnOff dev is null!", "win_client:OnMic_OnOff dev is null!"}));
  // With a microphone, muting the own sound marks it muted at once.
  GetAppConfig()->SetMicDevId("orvim-mic-1");
  m.layer.OnMic_OnOff("p-me", 0);
  EXPECT_EQ(m.Ops(), Ops{R"(MuteAudio{"stream_id":"s-me","muted":true})"});

  // Unknown users.
  m.page.Clear();
  m.layer.OnVideo_OnOff("nobody", 1);
  m.layer.OnMic_OnOff("nobody", 1);
  EXPECT_TRUE(m.Ops().empty());
  EXPECT_EQ(WebLogs(), Ops{"win_client:OnVideo_OnOff user is not find!"});
}

TEST_F(SdkStatsQualityTest, LayoutsAndInsertionResults) {
  m.layer.GetLive2Layout("room");
  m.layer.SetLive2Layout("room", R"({"mode":2})");
  EXPECT_EQ(m.Ops(), (Ops{R"(GetLiveLayout{"room_id":"room"})", R"(SetLiveLayout{"room_id":"room","layout":"{\"mode\":2}"})"}));

  // Regions in key order; a zero denominator gives 0.
  ASSERT_TRUE(m.Emit("OnLayoutChanged", R"({"count":2,"layout":{
      "b":{"index":1,"isFixed":true,"hasCamera":true,"fractions":[1,4,0,1,1,2,3,4],"stream_id":"s1",
           "user_id":"u1","user_name":"Ann"},
      "a":{"index":0,"fractions":[1,0,0,0,-1,0,5,0],"stream_id":"s0","user_id":"u0","user_name":"Zed"}}})"));
  ASSERT_EQ(m.page.Events(18).size(), 1u);
  const orvim::JsonPtr layout = std::move(m.page.Parsed(18).front());
  const cJSON* list = cJSON_GetObjectItemCaseSensitive(layout.get(), "list");
  ASSERT_EQ(cJSON_GetArraySize(list), 2);
  const cJSON* zero = cJSON_GetArrayItem(list, 0);
  const cJSON* quarter = cJSON_GetArrayItem(list, 1);
  EXPECT_EQ(orvim::GetString(zero, "userName"), "Zed");
  for (const char* key : {"left", "top", "width", "height"}) EXPECT_EQ(orvim::GetString(zero, key), "0.00") << key;
  EXPECT_EQ(orvim::GetString(quarter, "left"), "0.25");
  EXPECT_EQ(orvim::GetString(quarter, "top"), "0.00");
  EXPECT_EQ(orvim::GetString(quarter, "width"), "0.50");
  EXPECT_EQ(orvim::GetString(quarter, "height"), "0.75");
  EXPECT_EQ(orvim::GetString(quarter, "isFixed"), "true");
  EXPECT_EQ(orvim::GetString(quarter, "stream_id"), "s1");
  EXPECT_EQ(orvim::GetString(quarter, "userId"), "u1");
  ASSERT_TRUE(m.Emit("OnLayoutChanged", R"({"count":0,"layout":{}})"));
  EXPECT_EQ(m.page.Events(18).size(), 1u);

  // Live layout answers: only "success" reaches the page.
  ASSERT_TRUE(m.Emit("OnGetLive2LayoutResult", R"({"ec":"0","em":"success","data":"{\"mode\":2}"})"));
  ASSERT_TRUE(m.Emit("OnGetLive2LayoutResult", R"({"ec":"0","em":"Success","data":"x"})"));
  EXPECT_EQ(m.page.Values(19, "data"), Ops{R"({"mode":2})"});

  // The insertion volume: event 31 only for "200" and exactly "success"; the web log always.
  m.page.Clear();
  ASSERT_TRUE(m.Emit("OnGetInterCutVolume", R"({"ec":"200","em":"success","volume":80})"));
  ASSERT_TRUE(m.Emit("OnGetInterCutVolume", R"({"ec":"200","em":"Success","volume":70})"));
  ASSERT_TRUE(m.Emit("OnSetInterCutVolume", R"({"ec":"500","em":"busy"})"));
  EXPECT_EQ(m.page.Values(31, "value"), Ops{"80"});
  EXPECT_EQ(WebLogs(), (Ops{"win_client:OnGetInterCutVolume ec=200, em = success ,nVolume= 80",
                            "win_client:OnGetInterCutVolume ec=200, em = Success ,nVolume= 70",
                            "win_client:OnSetInterCutVolume ec=500 , em = busy"}));
}

TEST_F(SdkStatsQualityTest, TheSpeakerTestEndReachesEveryConsumer) {
  SpeakerTestConsumer a, b;
  m.layer.AddDevConsumer(&a);
  m.layer.AddDevConsumer(&b);
  ASSERT_TRUE(m.Emit("OnSpeakerTestFinished", "{}"));
  EXPECT_EQ(a.ends.load() + b.ends.load() * 10, 11);
  m.layer.DelDevConsumer(&a);
  m.layer.DelDevConsumer(&b);
}

// The microphone hint (event 38): true at most once a minute, never in the first minute and
// never within 5 s of a false; false on every call with a level above 300.
TEST_F(SdkStatsQualityTest, TheShowStateThrottles) {
  g_nowMs = 1000000;
  m.layer.SetThrottleClock(&FakeNow);
  struct Step {
    int64_t atMs;  // Since construction.
    bool micMuted;
    int value;  // OnLocalAudioState's argument.
    int level;  // The publish statistics' audio level.
    const char* sent;  // "", "true" or "false".
  };
  const Step steps[] = {
      {0, false, 0, 0, ""},             // The first minute: nothing.
      {59000, true, 0, 0, ""},          //
      {60000, false, 0, 300, ""},       // Exactly a minute is not more than one.
      {60001, false, 0, 300, "1"},      // Level 300 counts as silence.
      {61000, false, 0, 300, ""},       // Within the minute of the last true.
      {62000, false, 0, 301, "0"},      //
      {63000, false, 0, 5000, "0"},     // Every call above 300.
      {121000, false, 0, 301, "0"},     //
      {124000, false, 0, 0, ""},        // Over a minute since the true, but within 5 s of a false.
      {126000, false, 0, 0, "1"},       //
      {130000, true, 7, 0, ""},         // Muted with sound: nothing, whatever the level.
      {150000, true, 7, 9999, ""},      //
      {186000, true, 0, 9999, ""},      // Muted and silent, but only a minute since the true.
      {186001, true, 0, 9999, "1"},     //
  };
  std::vector<std::string> sent;
  for (const Step& s : steps) {
    SCOPED_TRACE(s.atMs);
    g_nowMs = 1000000 + s.atMs;
    m.layer.SetLocalMicMuted(s.micMuted);
    ASSERT_TRUE(Stats("pub", {1, 1, 0, 0, 720, 25, 0, 0, s.level}));
    m.page.Clear();
    ASSERT_TRUE(m.Emit("OnLocalAudioState", R"({"value":)" + std::to_string(s.value) + "}"));
    EXPECT_EQ(m.page.Values(38, "isShow"), std::string(s.sent).empty() ? Ops{} : Ops{s.sent});
  }
  m.layer.SetThrottleClock(nullptr);
}

// Bad texts and numbers from the SDK change nothing and break nothing.
TEST_F(SdkStatsQualityTest, MalformedCallbacks) {
  const std::string huge(1 << 20, 'x');
  ASSERT_TRUE(m.Emit("OnGetLive2LayoutResult", R"({"ec":"","em":"","data":""})"));
  ASSERT_TRUE(m.Emit("OnGetLive2LayoutResult", R"({"ec":")" + huge + R"(","em":"success","data":")" + huge + R"("})"));
  ASSERT_TRUE(m.Emit("OnGetInterCutVolume", R"({"ec":"200","em":"success","volume":-2147483648})"));
  ASSERT_TRUE(m.Emit("OnGetInterCutVolume", R"({"ec":")" + huge + R"(","em":"","volume":-1})"));
  ASSERT_TRUE(m.Emit("OnSetLive2LayoutResult", R"({"ec":"","em":")" + huge + R"("})"));
  ASSERT_TRUE(m.Emit("OnStartInterCut", R"({"ec":"-1","em":""})"));
  ASSERT_TRUE(m.Emit("OnGetConnectionStatsReusltFailed", R"({"ec":-2147483648,"stream_id":")" + huge + R"("})"));
  ASSERT_TRUE(m.Emit("OnLayoutChanged", R"({"count":-5,"layout":{"k":{"index":-1,"fractions":[-2147483648,-1,)"
                                        R"(2147483647,-2147483648,0,0,-7,0],"stream_id":")" + huge + R"("}}})"));
  ASSERT_TRUE(Stats("", {-5, -1, -1, -1, 0, -3}));
  ASSERT_TRUE(m.Emit("OnLocalAudioState", R"({"value":-1})"));
  EXPECT_EQ(m.page.Values(19, "data").back().size(), huge.size());
  EXPECT_EQ(m.page.Values(31, "value"), Ops{"-2147483648"});
  ASSERT_EQ(m.page.Events(18).size(), 1u);
  EXPECT_EQ(m.page.Events(18)[0].find("nan"), std::string::npos);
  EXPECT_EQ(m.page.Events(18)[0].find("inf"), std::string::npos);
  // The negative counters are judged like any other first sample.
  EXPECT_EQ(m.layer.UpdateNetStatus(), 2);
}

}  // namespace
}  // namespace sdk_test
