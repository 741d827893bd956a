// The settings window over the real SDK layer and the SDK stand-in, logged in and joined to a
// room of the loopback room server (the layer opens cameras only in a meeting): the stand-in's
// virtual devices in the lists, its camera's picture in the preview, devices that go away
// while their page is open, and the speaker test.

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "foundation/app_config.h"
#include "foundation/bus_topics.h"
#include "foundation/hub.h"
#include "platform/orvim/common/json.h"
#include "platform/orvim/common/media_pattern.h"
#include "sdk/interactive/tests/sdk_test_support.h"
#include "share/video/voice_progress_display_ui.h"
#include "foundation/text_convert.h"
#include "shell/system/system_info.h"
#include "tests/support/window_pixels.h"
#include "windows/common/tests/device_room_test.h"
#include "windows/common/tests/preview_mark.h"
#include "windows/settings/tests/setting_test_support.h"

using namespace DuiLib;
using namespace setting_test;

namespace {

constexpr int kTag = 12609;                       // This client's tag, drawn by its cameras.
constexpr std::uint32_t kNoVideoBlue = 0x1E2430;  // Background of res\blue\novideo.png.

using Entries = std::vector<std::pair<std::wstring, std::wstring>>;  // (identifier, name)

Entries EntriesOf(CPaintManagerUI* pm, const wchar_t* name) {
  Entries entries;
  auto* combo = Get<CComboUI>(pm, name);
  for (int i = 0; combo && i < combo->GetCount(); ++i) {
    entries.emplace_back(combo->GetItemAt(i)->GetUserData(),
                         combo->GetItemAt(i)->GetText());
  }
  return entries;
}

// The preview of the video page.
constexpr wchar_t kPreview[] = L"video_render";

bool PreviewShowsThePlaceholder(CPaintManagerUI* pm) {
  return PumpUntil(
      [&] {
        tarvo_test::Pixels pixels;
        orvim::PictureMark mark;
        return dialog_test::PreviewPixels(pm, kPreview, &pixels) &&
               tarvo_test::NearColour(pixels.At(5, 5), kNoVideoBlue, 8) &&
               !dialog_test::ShownMark(pm, kPreview, &mark);
      },
      10000);
}

class SettingFrameEndToEndTest : public dialog_test::DeviceRoomTest {
 protected:
  void SetUp() override {
    dialog_test::UseDialogLook({0, L"zh_CN"});
    StAppConfig* config = ConfigureVirtualDevices();
    config->camera_on = true;
    config->beauty_changed = false;
    config->language = L"zh_CN";
    JoinRoom("settings-room", kTag);
  }

  // The service's recorded calls since the last read, as (name, arguments); only those named
  // `op` unless it is null.
  std::vector<std::pair<std::string, orvim::JsonPtr>> Journal(const char* op = nullptr) {
    orvim::JsonPtr answer = library_.ControlJson(R"({"cmd":"journal","clear":true})");
    std::vector<std::pair<std::string, orvim::JsonPtr>> calls;
    const cJSON* entry = nullptr;
    cJSON_ArrayForEach(entry, cJSON_GetObjectItemCaseSensitive(answer.get(), "calls")) {
      const std::string name = orvim::GetString(entry, "op");
      if (op && name != op) continue;
      calls.emplace_back(name, orvim::JsonPtr(cJSON_Duplicate(
                                   cJSON_GetObjectItemCaseSensitive(entry, "args"), true)));
    }
    return calls;
  }
};

}  // namespace

TEST_F(SettingFrameEndToEndTest, TheListsShowTheVirtualDevicesAndThePreviewTheCamerasPicture) {
  Entries cameras, mics, speakers;
  bool shown = false, controls = false, tests = false;
  RunSettings(owner_window_.hwnd(), &owner_, 1, 2,
              [&](CSettingFrame*, HWND hwnd, CPaintManagerUI* pm) {
                EXPECT_TRUE(PumpUntil([&] { return Get<CComboUI>(pm, L"camera_list_combo")->GetCount() > 0; }));
                cameras = EntriesOf(pm, L"camera_list_combo");
                // The page opened the configured camera in the meeting; its frames reach the
                // preview and the stream's result gives the controls back.
                shown = dialog_test::PreviewShowsCamera(pm, kPreview, kTag, 1);
                controls = PumpUntil([&] {
                  return Enabled(pm, L"camera_list_combo") && Enabled(pm, L"resolution_combo") &&
                         Enabled(pm, L"beauty_set_btn");
                });
                dialog_test::ClickOn(hwnd, pm, L"audio_set_opt");
                EXPECT_TRUE(PumpUntil([&] { return Get<CComboUI>(pm, L"mic_list_combo")->GetCount() > 0; }));
                mics = EntriesOf(pm, L"mic_list_combo");
                speakers = EntriesOf(pm, L"speaker_list_combo");
                tests = Enabled(pm, L"mic_test_btn") && Enabled(pm, L"speaker_test_btn");
                dialog_test::ClickOn(hwnd, pm, L"closebtn");
              });
  EXPECT_EQ(cameras, Entries({{L"orvim-camera-1", L"Orvim Virtual Camera"}}));
  EXPECT_EQ(mics, Entries({{L"orvim-mic-1", L"Orvim Virtual Microphone"}}));
  EXPECT_EQ(speakers, Entries({{L"orvim-speaker-1", L"Orvim Virtual Speaker"}}));
  EXPECT_TRUE(shown);
  EXPECT_TRUE(controls);
  EXPECT_TRUE(tests);
  // The window's camera is the layer's local stream, published in the room.
  const std::vector<LocalVideoStream> streams = layer_->GetLocalVideoStreams();
  ASSERT_EQ(streams.size(), 1u);
  EXPECT_EQ(streams[0].deviceId, "orvim-camera-1");
  EXPECT_TRUE(streams[0].bpublish);
}

TEST_F(SettingFrameEndToEndTest, ACameraThatGoesAwayLeavesThePlaceholderAndTheNextOneWorks) {
  ASSERT_TRUE(library_.ControlOk(
      R"({"cmd":"devices","action":"add","kind":"camera","id":"orvim-camera-2","name":"Orvim Second Camera","number":2,"resolutions":[[1280,720],[640,360]]})"));
  bool first = false, placeholder = false, chosen = false, second = false, controls = false;
  Entries left;
  RunSettings(owner_window_.hwnd(), &owner_, 1, 2,
              [&](CSettingFrame*, HWND hwnd, CPaintManagerUI* pm) {
                EXPECT_TRUE(PumpUntil([&] { return Get<CComboUI>(pm, L"camera_list_combo")->GetCount() == 2; }));
                first = dialog_test::PreviewShowsCamera(pm, kPreview, kTag, 1) &&
                        PumpUntil([&] { return Enabled(pm, L"camera_list_combo"); });
                // Unplugged: the stand-in's camera is gone (no frame of it follows), then the
                // main window tells the open windows, on its UI thread.
                EXPECT_TRUE(library_.ControlOk(
                    R"({"cmd":"devices","action":"remove","id":"orvim-camera-1"})"));
                std::string gone = "orvim-camera-1";
                CxBus::Call(GetMessageBus(), kTopicDevHotplug, false, gone);
                left = EntriesOf(pm, L"camera_list_combo");
                placeholder = PreviewShowsThePlaceholder(pm);
                // The next choice works: the second camera opens and shows.
                chosen = ChooseFromCombo(hwnd, pm, L"camera_list_combo", 0);
                second = dialog_test::PreviewShowsCamera(pm, kPreview, kTag, 2);
                controls = PumpUntil([&] { return Enabled(pm, L"camera_list_combo"); });
                dialog_test::ClickOn(hwnd, pm, L"closebtn");
              });
  EXPECT_TRUE(first);
  EXPECT_EQ(left, Entries({{L"orvim-camera-2", L"Orvim Second Camera"}}));
  EXPECT_TRUE(placeholder);
  EXPECT_TRUE(chosen);
  EXPECT_TRUE(second);
  EXPECT_TRUE(controls);
  EXPECT_EQ(GetAppConfig()->camera_dev_id, "orvim-camera-2");
  EXPECT_EQ(GetAppConfig()->camera_dev_name, "Orvim Second Camera");
  // The gone camera's stream was closed; the second one's is the layer's stream now.
  const std::vector<LocalVideoStream> streams = layer_->GetLocalVideoStreams();
  ASSERT_EQ(streams.size(), 1u);
  EXPECT_EQ(streams[0].deviceId, "orvim-camera-2");
}

TEST_F(SettingFrameEndToEndTest, AMicrophoneThatGoesAwayLeavesTheOthersAndTheNextOneIsMeasured) {
  ASSERT_TRUE(library_.ControlOk(
      R"({"cmd":"devices","action":"add","kind":"microphone","id":"orvim-mic-2","name":"Orvim Second Microphone","level":8192})"));
  ASSERT_TRUE(library_.ControlOk(
      R"({"cmd":"devices","action":"add","kind":"microphone","id":"orvim-mic-3","name":"Orvim Third Microphone","level":16384})"));
  int selected_before = -1, level = -1;
  bool chosen = false;
  Entries left;
  std::vector<std::pair<std::string, orvim::JsonPtr>> selections;
  RunSettings(owner_window_.hwnd(), &owner_, 1, 3,
              [&](CSettingFrame*, HWND hwnd, CPaintManagerUI* pm) {
                EXPECT_TRUE(PumpUntil([&] { return Get<CComboUI>(pm, L"mic_list_combo")->GetCount() == 3; }));
                Pump(50);
                selected_before = Get<CComboUI>(pm, L"mic_list_combo")->GetCurSel();
                EXPECT_TRUE(library_.ControlOk(
                    R"({"cmd":"devices","action":"remove","id":"orvim-mic-1"})"));
                std::string gone = "orvim-mic-1";
                CxBus::Call(GetMessageBus(), kTopicDevHotplug, true, gone);
                left = EntriesOf(pm, L"mic_list_combo");
                Journal("SelectAudioDevice");
                // The next choice works: the third microphone is selected in the SDK and its
                // level (a half) reaches the meter of the microphone test (the second one's
                // would be a quarter).
                chosen = ChooseFromCombo(hwnd, pm, L"mic_list_combo", 1);
                dialog_test::ClickOn(hwnd, pm, L"mic_test_btn");
                auto* meter = Get<CVoiceProgressDisplayUI>(pm, L"mic_level_display");
                PumpUntil([&] { return meter->GetValue() == 50; });
                level = meter->GetValue();
                selections = Journal("SelectAudioDevice");
                dialog_test::ClickOn(hwnd, pm, L"closebtn");
              });
  EXPECT_EQ(selected_before, 0);
  EXPECT_EQ(left, Entries({{L"orvim-mic-2", L"Orvim Second Microphone"},
                           {L"orvim-mic-3", L"Orvim Third Microphone"}}));
  EXPECT_TRUE(chosen);
  EXPECT_EQ(level, 50);
  ASSERT_FALSE(selections.empty());
  for (const auto& selection : selections) {
    EXPECT_EQ(orvim::GetString(selection.second.get(), "id"), "orvim-mic-3");
    EXPECT_EQ(orvim::GetInt(selection.second.get(), "kind"), 1);
  }
  EXPECT_EQ(GetAppConfig()->GetMicDevId(), "orvim-mic-3");
}

TEST_F(SettingFrameEndToEndTest, TheSpeakerTestPlaysTheTestSoundAndItsEndResetsTheButton) {
  // The stand-in plays nothing; its test sound ends after the time set here.
  ASSERT_TRUE(library_.ControlOk(R"({"cmd":"speaker_test_ms","ms":300})"));
  std::wstring during, after, again;
  std::vector<std::pair<std::string, orvim::JsonPtr>> until_end, at_close;
  RunSettings(owner_window_.hwnd(), &owner_, 1, 3,
              [&](CSettingFrame*, HWND hwnd, CPaintManagerUI* pm) {
                EXPECT_TRUE(PumpUntil([&] { return Get<CComboUI>(pm, L"speaker_list_combo")->GetCount() > 0; }));
                Pump(50);
                Journal();
                CControlUI* button = pm->FindControl(L"speaker_test_btn");
                dialog_test::ClickOn(hwnd, pm, L"speaker_test_btn");
                during = button->GetTextId();
                // The end of the sound comes on the SDK's callback thread and resets the test.
                PumpUntil([&] { return button->GetTextId() == L"s.test.speaker"; }, 10000);
                after = button->GetTextId();
                until_end = Journal();
                // Over: the next press starts a new test rather than stopping one; closing the
                // window stops that one.
                dialog_test::ClickOn(hwnd, pm, L"speaker_test_btn");
                again = button->GetTextId();
                dialog_test::ClickOn(hwnd, pm, L"closebtn");
              });
  at_close = Journal();
  EXPECT_EQ(during, L"s.stop.test");
  EXPECT_EQ(after, L"s.test.speaker");
  EXPECT_EQ(again, L"s.stop.test");
  // The first press played the program's test sound on the speaker; nothing stopped it.
  std::vector<std::string> ops;
  for (const auto& call : until_end) ops.push_back(call.first);
  ASSERT_EQ(ops, std::vector<std::string>({"TestAudioDevice"}));
  const cJSON* play = until_end[0].second.get();
  EXPECT_EQ(orvim::GetString(play, "id"), "orvim-speaker-1");
  EXPECT_EQ(orvim::GetInt(play, "kind"), 2);
  const std::wstring sound = GetModuleDir() + L"\\res\\test.mp3";
  EXPECT_EQ(orvim::GetString(play, "file"), UnicodeToUtf8(sound));
  EXPECT_NE(GetFileAttributesW(sound.c_str()), INVALID_FILE_ATTRIBUTES);
  // The second test was played, then closed with the window.
  ops.clear();
  for (const auto& call : at_close) {
    if (call.first == "TestAudioDevice" || call.first == "CloseAudioDevice") {
      ops.push_back(call.first + " " + orvim::GetString(call.second.get(), "id"));
    }
  }
  EXPECT_EQ(ops, std::vector<std::string>({"TestAudioDevice orvim-speaker-1",
                                           "CloseAudioDevice orvim-speaker-1"}));
}
