// The device test window over the real SDK layer and the SDK stand-in, logged in and joined to
// a room of the loopback room server (the layer opens cameras only in a meeting), in front of
// its mask layer as at start-up: the virtual camera's picture in the preview, the microphone
// meter following the level the layer reports, and the virtual camera taken away while the
// video step is open.

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "foundation/app_config.h"
#include "platform/orvim/common/json.h"
#include "sdk/interactive/tests/sdk_test_support.h"
#include "share/video/voice_progress_display_ui.h"
#include "windows/av_test/tests/av_test_support.h"
#include "windows/common/tests/device_room_test.h"
#include "windows/common/tests/preview_mark.h"

using namespace DuiLib;
using namespace setting_test;
using av_test::Answer;
using av_test::RunAvTest;
using av_test::Windows;

namespace {

constexpr int kTag = 12632;  // This client's tag, drawn by its cameras.

// The preview of the video step.
constexpr wchar_t kPreview[] = L"video_preview";

class AvTestFrameEndToEndTest : public dialog_test::DeviceRoomTest {
 protected:
  void SetUp() override {
    dialog_test::UseDialogLook({0, L"zh_CN"});
    StAppConfig* config = ConfigureVirtualDevices();
    config->guest_mic_default = true;
    JoinRoom("av-test-room", kTag);
  }

  // The ids of the microphones (kind 1) and speakers (kind 2) that the layer selected in the
  // stand-in since the last read, each once, in order.
  struct Selections {
    std::vector<std::string> mics, speakers;
  };
  Selections Selected() {
    orvim::JsonPtr answer = library_.ControlJson(R"({"cmd":"journal","clear":true})");
    Selections out;
    const cJSON* entry = nullptr;
    cJSON_ArrayForEach(entry, cJSON_GetObjectItemCaseSensitive(answer.get(), "calls")) {
      if (orvim::GetString(entry, "op") != "SelectAudioDevice") continue;
      const cJSON* args = cJSON_GetObjectItemCaseSensitive(entry, "args");
      std::vector<std::string>& ids = orvim::GetInt(args, "kind") == 1 ? out.mics : out.speakers;
      const std::string id = orvim::GetString(args, "id");
      if (std::find(ids.begin(), ids.end(), id) == ids.end()) ids.push_back(id);
    }
    return out;
  }
};

}  // namespace

TEST_F(AvTestFrameEndToEndTest, TheCameraStepShowsTheVirtualCameraAndTheMeterFollowsTheLevel) {
  bool shown = false, unlocked = false;
  int half = -1, quarter = -1;
  av_test::RunResult run = RunAvTest(owner_window_.hwnd(), &owner_, [&](const Windows& w) {
    // The step opened the configured camera in the meeting; its frames reach the preview and
    // the stream's result gives the selectors and the mask's skip button back.
    shown = dialog_test::PreviewShowsCamera(w.pm, kPreview, kTag, 1);
    unlocked = PumpUntil([&] { return Enabled(w.pm, L"video_dev_list") && av_test::SkipEnabled(w); });
    EXPECT_TRUE(library_.ControlOk(R"({"cmd":"level","id":"orvim-mic-1","level":16384})"));
    Answer(w, true);
    auto* meter = Get<CVoiceProgressDisplayUI>(w.pm, L"voice_progress_display");
    PumpUntil([&] { return meter->GetValue() == 50; });
    half = meter->GetValue();
    EXPECT_TRUE(library_.ControlOk(R"({"cmd":"level","id":"orvim-mic-1","level":8192})"));
    PumpUntil([&] { return meter->GetValue() == 25; });
    quarter = meter->GetValue();
    Selected();
    dialog_test::ClickOn(w.mask, w.maskPm, L"skip_check_btn");
  }, 60000);
  EXPECT_FALSE(run.timedOut);
  EXPECT_TRUE(shown);
  EXPECT_TRUE(unlocked);
  EXPECT_EQ(half, 50);
  EXPECT_EQ(quarter, 25);
  // Closing released this window's camera and gave the broadcast its microphone and speaker.
  EXPECT_TRUE(layer_->GetLocalVideoStreams().empty());
  const Selections closing = Selected();
  EXPECT_EQ(closing.mics, std::vector<std::string>({"orvim-mic-1"}));
  EXPECT_EQ(closing.speakers, std::vector<std::string>({"orvim-speaker-1"}));
}

TEST_F(AvTestFrameEndToEndTest, TheVirtualCameraTakenAwayOnTheVideoStepThenTheRestAnswered) {
  bool shown = false, results = false;
  av_test::RunResult run = RunAvTest(owner_window_.hwnd(), &owner_, [&](const Windows& w) {
    shown = dialog_test::PreviewShowsCamera(w.pm, kPreview, kTag, 1);
    EXPECT_TRUE(library_.ControlOk(R"({"cmd":"devices","action":"remove","id":"orvim-camera-1"})"));
    Pump(300);
    for (int i = 0; i < 3; ++i) Answer(w, true);
    results = Get<CTabLayoutUI>(w.pm, L"check_tab")->GetCurSel() == CAVTestFrame::kResults;
    Selected();
    dialog_test::ClickOn(w.hwnd, w.pm, L"goto_live");
  }, 60000);
  EXPECT_FALSE(run.timedOut);
  EXPECT_TRUE(run.testWindowGone);
  EXPECT_TRUE(shown);
  EXPECT_TRUE(results);
  EXPECT_TRUE(layer_->GetLocalVideoStreams().empty());
  // No crash, and closing still gave the broadcast its microphone and speaker.
  const Selections closing = Selected();
  EXPECT_EQ(closing.mics, std::vector<std::string>({"orvim-mic-1"}));
  EXPECT_EQ(closing.speakers, std::vector<std::string>({"orvim-speaker-1"}));
}

TEST_F(AvTestFrameEndToEndTest, TheSpeakerTestSoundEndsWithTheLayersReport) {
  ASSERT_TRUE(library_.ControlOk(R"({"cmd":"speaker_test_ms","ms":600})"));
  bool waiting = false, ended = false, button = false;
  orvim::JsonPtr journal;
  RunAvTest(owner_window_.hwnd(), &owner_, [&](const Windows& w) {
    Answer(w, true);
    Answer(w, true);
    library_.ControlOk(R"({"cmd":"journal","clear":true})");
    dialog_test::ClickOn(w.hwnd, w.pm, L"play_speaker_btn");
    waiting = Visible(w.pm, L"play_speaker_wait") && !Enabled(w.pm, L"play_speaker_btn");
    // The stand-in ends the sound; the layer tells its consumers on an SDK thread.
    ended = PumpUntil([&] { return !Visible(w.pm, L"play_speaker_wait"); }, 15000);
    button = Enabled(w.pm, L"play_speaker_btn");
    journal = library_.ControlJson(R"({"cmd":"journal","clear":true})");
    dialog_test::ClickOn(w.mask, w.maskPm, L"skip_check_btn");
  }, 60000);
  EXPECT_TRUE(waiting);
  EXPECT_TRUE(ended);
  EXPECT_TRUE(button);
  // The sound played on the configured speaker is the program's test sound.
  std::vector<std::string> played;
  const cJSON* entry = nullptr;
  cJSON_ArrayForEach(entry, cJSON_GetObjectItemCaseSensitive(journal.get(), "calls")) {
    if (orvim::GetString(entry, "op") != "TestAudioDevice") continue;
    const cJSON* args = cJSON_GetObjectItemCaseSensitive(entry, "args");
    played.push_back(orvim::GetString(args, "id") + " " + orvim::GetString(args, "file"));
  }
  ASSERT_EQ(played.size(), 1u);
  EXPECT_EQ(played[0].rfind("orvim-speaker-1 ", 0), 0u);
  EXPECT_NE(played[0].find("res\\test.mp3"), std::string::npos);
}
