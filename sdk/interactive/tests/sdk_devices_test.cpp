// The device topics of the layer against the stand-in offline: device lists and camera sizes,
// audio devices, volumes and the speaker test, and the beauty settings.

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "foundation/bus_topics.h"
#include "foundation/hub.h"
#include "sdk/interactive/beauty_block.h"
#include "sdk/interactive/tests/sdk_test_support.h"

namespace sdk_test {
namespace {

using Ops = std::vector<std::string>;

std::vector<stDev_Info> ListTopic(const char* topic) {
  std::vector<stDev_Info> list;
  CxBus::CallWithResult(GetMessageBus(), topic, &list);
  return list;
}

stDev_Info ResolutionTopic(const std::string& id) {
  stDev_Info answer;
  answer.width = -1;
  CxBus::CallWithResult(GetMessageBus(), kTopicGetCamResolution, &answer, id);
  return answer;
}

int VolumeTopic(const char* topic) {
  int value = -1;
  CxBus::CallWithResult(GetMessageBus(), topic, &value);
  return value;
}

std::string Describe(const std::vector<stDev_Info>& list) {
  std::string text;
  for (const stDev_Info& d : list) {
    text += d.id + "/" + d.name + "/" + std::to_string(d.width) + "x" + std::to_string(d.height) + ";";
  }
  return text;
}

// The virtual devices are the library's, shared by every service of the process: put them back.
class SdkDevicesTest : public ::testing::Test {
 protected:
  void TearDown() override { library.Control(R"({"cmd":"devices","action":"reset"})"); }
  orvim::testing::OrvimLibrary library;
};

TEST_F(SdkDevicesTest, WithoutAnEngineListsAreEmptySizesZeroAndLevelsZero) {
  RecordingOwner owner;
  TestLayer layer(&owner);  // No InitSDK: no rtc engine.
  EXPECT_TRUE(ListTopic(kTopicGetCamList).empty());
  EXPECT_TRUE(ListTopic(kTopicGetMicList).empty());
  EXPECT_TRUE(ListTopic(kTopicGetSpeakerList).empty());
  const stDev_Info size = ResolutionTopic("cam-1");
  EXPECT_EQ(Describe({size}), "cam-1//0x0;");
  EXPECT_EQ(VolumeTopic(kTopicGetMicValue), 0);
  EXPECT_EQ(VolumeTopic(kTopicGetSpeakerValue), 0);
  // The audio commands need the media object: nothing happens, nothing breaks.
  CxBus::Call(GetMessageBus(), kTopicOpenDevAudio, std::string("Mic"), std::string("m1"), true, true);
  CxBus::Call(GetMessageBus(), kTopicSetSpeakerValue, 40);
}

TEST_F(SdkDevicesTest, ListsAndTheLargestWidthAndHeightOfACamera) {
  OfflineMeeting m;
  ASSERT_TRUE(m.library.ControlOk(
      R"({"cmd":"devices","action":"add","kind":"camera","id":"cam-2","name":"Tall","resolutions":[[1920,1080],[640,1200]]})"));
  ASSERT_TRUE(m.library.ControlOk(
      R"({"cmd":"devices","action":"add","kind":"camera","id":"cam-3","name":"Blind","resolutions":[]})"));
  EXPECT_EQ(Describe(ListTopic(kTopicGetCamList)),
            "orvim-camera-1/Orvim Virtual Camera/0x0;cam-2/Tall/0x0;cam-3/Blind/0x0;");
  EXPECT_EQ(Describe(ListTopic(kTopicGetMicList)), "orvim-mic-1/Orvim Virtual Microphone/0x0;");
  EXPECT_EQ(Describe(ListTopic(kTopicGetSpeakerList)), "orvim-speaker-1/Orvim Virtual Speaker/0x0;");

  const struct {
    std::string id;
    std::string answer;
  } cases[] = {
      {"cam-2", "cam-2//1920x1200;"},           // Width and height each on their own.
      {"orvim-camera-1", "orvim-camera-1//1920x1080;"},
      {"cam-3", "cam-3//0x0;"},                 // No sizes.
      {"no-such-camera", "no-such-camera//0x0;"},
  };
  for (const auto& c : cases) EXPECT_EQ(Describe({ResolutionTopic(c.id)}), c.answer) << c.id;
}

TEST_F(SdkDevicesTest, MicrophoneLevelsArePercentagesCutTowardZero) {
  OfflineMeeting m;
  const struct {
    int level;  // Of 32767.
    int percent;
  } cases[] = {{16384, 50}, {32734, 99}, {32767, 100}, {0, 0}, {3277, 10}};
  for (const auto& c : cases) {
    ASSERT_TRUE(m.library.ControlOk(R"({"cmd":"level","level":)" + std::to_string(c.level) + "}"));
    EXPECT_EQ(VolumeTopic(kTopicGetMicValue), c.percent) << c.level;
  }
  // Nothing received: the speaker level is 0.
  EXPECT_EQ(VolumeTopic(kTopicGetSpeakerValue), 0);
}

TEST_F(SdkDevicesTest, AudioTopicsMakeTheirSdkCalls) {
  OfflineMeeting m;
  m.Join();
  const std::string name = "Mic", id = "m1", speaker = "Spk", speakerId = "s1";
  const struct {
    std::function<void()> publish;
    Ops ops;
  } cases[] = {
      {[&] { CxBus::Call(GetMessageBus(), kTopicOpenDevAudio, name, id, true, false); },
       {R"(SelectAudioDevice{"id":"m1","name":"Mic","kind":1,"mode":0})"}},
      {[&] { CxBus::Call(GetMessageBus(), kTopicOpenDevAudio, name, id, true, true); },
       {R"(SelectAudioDevice{"id":"m1","name":"Mic","kind":1,"mode":0})",
        R"(TestAudioDevice{"id":"m1","name":"Mic","kind":1,"file":"i","mode":1})"}},
      {[&] { CxBus::Call(GetMessageBus(), kTopicOpenDevAudio, speaker, speakerId, false, false); },
       {R"(SelectAudioDevice{"id":"s1","name":"Spk","kind":2,"mode":0})"}},
      // In a meeting the closed device is selected for the meeting again.
      {[&] { CxBus::Call(GetMessageBus(), kTopicCloseDevAudio, name, id, true, false); },
       {R"(CloseAudioDevice{"id":"m1","name":"Mic","kind":1})",
        R"(SelectAudioDevice{"id":"m1","name":"Mic","kind":1,"mode":1})"}},
      {[&] {
         CxBus::Call(GetMessageBus(), kTopicPlayTestSpeaker, speaker, speakerId, std::string("C:\\ring.wav"), true);
       },
       {R"(TestAudioDevice{"id":"s1","name":"Spk","kind":2,"file":"C:\\ring.wav","mode":0})"}},
      {[&] { CxBus::Call(GetMessageBus(), kTopicPlayTestSpeaker, speaker, std::string(), std::string("x.wav"), true); },
       {}},
      {[&] { CxBus::Call(GetMessageBus(), kTopicSetSpeakerValue, 35); }, {R"(SetSpeakerVolume{"volume":35})"}},
  };
  int i = 0;
  for (const auto& c : cases) {
    c.publish();
    std::vector<std::string> ops;
    for (const Call& call : m.Journal()) ops.push_back(call.op + call.args);
    EXPECT_EQ(ops, c.ops) << "case " << i++;
  }
  EXPECT_EQ(m.page.Values(30, "text"),
            (Ops{"win_client:Open_Audio_Dev strname= Mic  ,strdevid=m1 ,bmic=1",
                 "win_client:Open_Audio_Dev strname= Mic  ,strdevid=m1 ,bmic=1",
                 "win_client:Open_Audio_Dev strname= Spk  ,strdevid=s1 ,bmic=0",
                 "win_client:Set_SpeakerVolume nvalue = 35"}));

  // Out of a meeting the closed device is selected with mode 0.
  m.layer.ExitRoom();
  m.Journal();
  CxBus::Call(GetMessageBus(), kTopicCloseDevAudio, speaker, speakerId, false, false);
  std::vector<std::string> ops;
  for (const Call& call : m.Journal()) ops.push_back(call.op + call.args);
  EXPECT_EQ(ops, (Ops{R"(CloseAudioDevice{"id":"s1","name":"Spk","kind":2})",
                      R"(SelectAudioDevice{"id":"s1","name":"Spk","kind":2,"mode":0})"}));
}

// The microphone went away and came back while publishing: opening it re-creates the publish
// stream only when the stream's sound no longer matches; a test open never does.
TEST_F(SdkDevicesTest, ReopeningTheMicrophoneWhilePublishingFollowsItsPresence) {
  ConfigGuard config;
  GetAppConfig()->use_mode.store(true);
  GetAppConfig()->camera_dev_id = "orvim-camera-1";
  GetAppConfig()->SetMicDevId("orvim-mic-1");
  OfflineMeeting m;
  m.Join();
  m.layer.CreateDefaultPublishStream();
  const std::string mic = "orvim-mic-1", name = "Mic";
  auto publishing = [&m](const char* id) {
    m.layer.UpdateMeetingIds([id](StMeetingIds& ids) { ids.publishStreamId = id; });
    m.Journal();
  };
  auto streamOps = [&m] {
    Ops ops;
    for (const Call& call : m.Journal()) {
      if (call.op == "Unpublish" || call.op == "CreateStream") ops.push_back(call.op + call.args);
    }
    return ops;
  };
  publishing("pub");
  CxBus::Call(GetMessageBus(), kTopicOpenDevAudio, name, mic, true, false);
  EXPECT_EQ(streamOps(), Ops{}) << "nothing changed";

  ASSERT_TRUE(library.ControlOk(R"({"cmd":"devices","action":"remove","id":"orvim-mic-1"})"));
  CxBus::Call(GetMessageBus(), kTopicOpenDevAudio, name, mic, true, true);
  EXPECT_EQ(streamOps(), Ops{}) << "a test open";
  CxBus::Call(GetMessageBus(), kTopicOpenDevAudio, name, mic, true, false);
  EXPECT_EQ(streamOps(),
            (Ops{R"(Unpublish{"stream_id":"pub"})",
                 R"(CreateStream{"kind":0,"width":1280,"height":720,"profile":7,"layers":5,"video":true,"audio":false})"}));

  publishing("pub2");
  ASSERT_TRUE(library.ControlOk(R"({"cmd":"devices","action":"add","kind":"microphone","id":"orvim-mic-1"})"));
  CxBus::Call(GetMessageBus(), kTopicOpenDevAudio, name, mic, true, false);
  EXPECT_EQ(streamOps(),
            (Ops{R"(Unpublish{"stream_id":"pub2"})",
                 R"(CreateStream{"kind":0,"width":1280,"height":720,"profile":7,"layers":5,"video":true,"audio":true})"}));
  // A speaker open leaves the publish stream alone.
  publishing("pub3");
  ASSERT_TRUE(library.ControlOk(R"({"cmd":"devices","action":"remove","id":"orvim-mic-1"})"));
  CxBus::Call(GetMessageBus(), kTopicOpenDevAudio, std::string("Spk"), std::string("orvim-speaker-1"), false, false);
  EXPECT_EQ(streamOps(), Ops{});
}

// ---- Beauty ----

st_beauty Levels(int32_t a, int32_t b, int32_t c, int32_t d, int32_t e, int32_t f) {
  st_beauty beauty;
  beauty.comprehensive = a;
  beauty.thin_face = b;
  beauty.big_eyes = c;
  beauty.rhinoplasty = d;
  beauty.microdermabrasion = e;
  beauty.whitening = f;
  return beauty;
}

int32_t At(const StBeautyParam& block, size_t offset) {
  int32_t value = 0;
  std::memcpy(&value, reinterpret_cast<const uint8_t*>(&block) + offset, sizeof(value));
  return value;
}

TEST(SdkBeautyBlockTest, LevelsKeyColourAndBackgroundLevelAtTheirOffsets) {
  st_beauty beauty = Levels(11, 22, 33, 44, 55, 66);
  beauty.blur_level = 799;
  beauty.key_color = 0xFF123456;
  const StBeautyParam block = MakeBeautyParam(beauty);
  const size_t offsets[] = {52, 20, 24, 32, 36, 40};
  for (int i = 0; i < 6; ++i) EXPECT_EQ(At(block, offsets[i]), 11 * (i + 1)) << "level " << i + 1;
  EXPECT_EQ(At(block, 60), 7);  // 799 / 100.
  EXPECT_EQ(static_cast<uint32_t>(At(block, 64)), 0xFF123456u);
  for (const size_t untouched : {4u, 8u, 12u, 16u, 28u, 44u, 48u}) EXPECT_EQ(At(block, untouched), 0) << untouched;
}

TEST(SdkBeautyBlockTest, FlagsAndBackgroundModes) {
  const struct {
    const char* what;
    st_beauty beauty;
    bool greenScreen, noEffect, blur;
    const wchar_t* material;
    int32_t flags, mode;
  } cases[] = {
      {"defaults", Levels(0, 0, 0, 0, 0, 0), false, true, false, L"", 0, 0},
      {"one level", Levels(0, 0, 0, 0, 0, 1), false, true, false, L"", 1, 0},
      {"negative level", Levels(-5, 0, 0, 0, 0, 0), false, true, false, L"", 0, 0},
      {"material", Levels(0, 0, 0, 0, 0, 0), false, true, false, L"C:\\bg\\sea.png", 0, 1},
      {"blur", Levels(0, 0, 0, 0, 0, 0), false, false, true, L"", 0, 2},
      {"blur with no effect", Levels(0, 0, 0, 0, 0, 0), false, true, true, L"", 0, 0},
      {"blur over material", Levels(0, 0, 0, 0, 0, 0), false, false, true, L"C:\\bg\\sea.png", 0, 2},
      {"green screen, empty path", Levels(0, 0, 0, 0, 0, 0), true, true, false, L"", 2, 3},
      {"green screen over all", Levels(9, 0, 0, 0, 0, 0), true, false, true, L"C:\\bg\\sea.png", 3, 3},
  };
  for (const auto& c : cases) {
    st_beauty beauty = c.beauty;
    beauty.green_screen = c.greenScreen;
    beauty.no_effect = c.noEffect;
    beauty.background_blur = c.blur;
    beauty.material_path = c.material;
    const StBeautyParam block = MakeBeautyParam(beauty);
    EXPECT_EQ(block.flags, c.flags) << c.what;
    EXPECT_EQ(block.background_mode, c.mode) << c.what;
  }
}

TEST(SdkBeautyBlockTest, MaterialPathIsUtf8AndStaysTerminated) {
  st_beauty beauty;
  beauty.material_path = L"C:\\\u80cc\u666f\\a.png";
  StBeautyParam block = MakeBeautyParam(beauty);
  EXPECT_STREQ(block.material_path, "C:\\\xe8\x83\x8c\xe6\x99\xaf\\a.png");
  beauty.material_path.assign(3000, L'x');
  block = MakeBeautyParam(beauty);
  EXPECT_EQ(std::strlen(block.material_path), sizeof(block.material_path) - 1);
}

TEST_F(SdkDevicesTest, BeautyTopicSetsTheClientsParametersAndANullBlockChangesNothing) {
  OfflineMeeting m;
  st_beauty beauty = Levels(10, 0, 0, 0, 0, 20);
  beauty.blur_level = 450;
  beauty.green_screen = true;
  CxBus::Call(GetMessageBus(), kTopicSetBeautyDev, std::string("cam-1"), &beauty, true);
  StBeautyParam param = m.layer.GetBeautyParam();
  EXPECT_EQ(param.beauty_level_1, 10);
  EXPECT_EQ(param.beauty_level_6, 20);
  EXPECT_EQ(param.background_level, 4);
  EXPECT_EQ(param.flags, 3);
  EXPECT_EQ(param.background_mode, 3);

  st_beauty* none = nullptr;
  CxBus::Call(GetMessageBus(), kTopicSetBeautyDev, std::string("cam-1"), none, true);
  const StBeautyParam after = m.layer.GetBeautyParam();
  EXPECT_EQ(std::memcmp(&param, &after, sizeof(param)), 0);
}

}  // namespace
}  // namespace sdk_test
