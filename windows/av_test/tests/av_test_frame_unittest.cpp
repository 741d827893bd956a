// The device test window against a recording responder on the bus, created and closed as the
// main window's start-up does (mask layer, companion, modal loop): the steps and their results,
// the default-on switch, skipping, the camera and its lock on the selectors, the picture,
// rotation, the microphone and speaker, and what closing gives back to the broadcast.

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "foundation/app_config.h"
#include "platform/duilib/UIlib.h"
#include "share/video/voice_progress_display_ui.h"
#include "shell/config/config_file.h"
#include "windows/av_test/tests/av_test_support.h"
#include "windows/common/tests/dialog_test_support.h"

using namespace DuiLib;
using namespace setting_test;
using av_test::Answer;
using av_test::RunAvTest;
using av_test::Windows;

namespace {

void ResetConfig() {
  StAppConfig* config = ConfigureTestDevices();
  config->guest_mic_default = true;
  config->camera_on = true;
  config->microphone_on = true;
}

class AvTestFrameTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dialog_test::UseDialogLook({0, L"zh_CN"});
    ResetConfig();
    responder_.cameras = {{"cam1", "Cam One", 0, 0}, {"cam2", "Cam Two", 0, 0}};
    responder_.mics = {{"mic1", "Mic One", 0, 0}, {"mic2", "Mic Two", 0, 0}};
    responder_.speakers = {{"spk1", "Speaker One", 0, 0}};
  }

  static bool Checked(CPaintManagerUI* pm, const wchar_t* name) {
    return Get<CCheckBoxUI>(pm, name)->GetCheck();
  }
  static std::wstring TextOf(CPaintManagerUI* pm, const wchar_t* name) {
    return pm->FindControl(name)->GetText();
  }

  RecordingResponder responder_;
  PageEventSink page_;
  TestOwner owner_;
  dialog_test::OwnerWindow owner_window_;
};

}  // namespace

TEST_F(AvTestFrameTest, ResultsFollowTheAnswersAndTheDefaultOnSwitchThenGoLive) {
  struct Case {
    const char* what;
    bool answers[3];
    bool default_on;
    bool camera_box, mic_box;
  } cases[] = {
      {"no on every step", {false, false, false}, true, false, false},
      {"all work", {true, true, true}, true, true, true},
      {"all work, default-on off", {true, true, true}, false, false, false},
      {"camera works, microphone not", {true, false, true}, true, true, false},
  };
  const std::wstring normal = CMutiLanSupport::Instance()->GetTextForId(L"s.normal");
  const std::wstring abnormal = CMutiLanSupport::Instance()->GetTextForId(L"s.abnormal");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ResetConfig();
    GetAppConfig()->guest_mic_default = c.default_on;
    responder_.ClearCalls();
    std::wstring texts[3];
    bool enabled[3] = {};
    bool camera_box = !c.camera_box, mic_box = !c.mic_box, answers_hidden = false;
    int tab = -1;
    av_test::RunResult run = RunAvTest(owner_window_.hwnd(), &owner_, [&](const Windows& w) {
      for (bool yes : c.answers) Answer(w, yes);
      tab = Get<CTabLayoutUI>(w.pm, L"check_tab")->GetCurSel();
      answers_hidden = !Visible(w.pm, L"skiplayout");
      const wchar_t* labels[] = {L"camera_res_lab", L"mic_res_lab", L"speaker_res_lab"};
      for (int i = 0; i < 3; ++i) {
        texts[i] = TextOf(w.pm, labels[i]);
        enabled[i] = Enabled(w.pm, labels[i]);
      }
      camera_box = Checked(w.pm, L"open_camera");
      mic_box = Checked(w.pm, L"open_mic");
      dialog_test::ClickOn(w.hwnd, w.pm, L"goto_live");
    });
    // "goto_live" closes the test window and then ends the mask's loop.
    EXPECT_FALSE(run.timedOut);
    EXPECT_TRUE(run.testWindowGone);
    EXPECT_EQ(tab, 3);
    EXPECT_TRUE(answers_hidden);
    for (int i = 0; i < 3; ++i) {
      EXPECT_EQ(texts[i], c.answers[i] ? normal : abnormal) << i;
      EXPECT_EQ(enabled[i], c.answers[i]) << i;
    }
    EXPECT_EQ(camera_box, c.camera_box);
    EXPECT_EQ(mic_box, c.mic_box);
    // What the boxes showed is what the broadcast starts with.
    EXPECT_EQ(GetAppConfig()->camera_on, c.camera_box);
    EXPECT_EQ(GetAppConfig()->microphone_on, c.mic_box);
    EXPECT_EQ(responder_.Count("add/dev/consumer"), 1);
    EXPECT_EQ(responder_.Count("del/dev/consumer"), 1);
    EXPECT_TRUE(responder_.Consumers().empty());
  }
}

TEST_F(AvTestFrameTest, SkippingAppliesTheDefaultOnSwitchToBoxesTheUserDidNotTouch) {
  struct Case {
    const char* what;
    bool default_on;
    bool answer_and_untick_mic;  // answer "yes" everywhere, then untick "open_mic"
    bool camera_on, mic_on;
  } cases[] = {
      {"before any answer, default on", true, false, true, true},
      {"before any answer, default off", false, false, false, false},
      {"after unticking the microphone", true, true, true, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ResetConfig();
    GetAppConfig()->guest_mic_default = c.default_on;
    GetAppConfig()->camera_on = !c.camera_on;
    GetAppConfig()->microphone_on = !c.mic_on;
    responder_.ClearCalls();
    av_test::RunResult run = RunAvTest(owner_window_.hwnd(), &owner_, [&](const Windows& w) {
      if (c.answer_and_untick_mic) {
        for (int i = 0; i < 3; ++i) Answer(w, true);
        dialog_test::ClickOn(w.hwnd, w.pm, L"open_mic");
      }
      responder_.ClearCalls();
      EXPECT_TRUE(av_test::SkipEnabled(w));
      dialog_test::ClickOn(w.mask, w.maskPm, L"skip_check_btn");
    });
    EXPECT_FALSE(run.timedOut);
    EXPECT_EQ(run.maskResult, 1u);
    EXPECT_TRUE(run.testWindowGone);
    EXPECT_EQ(GetAppConfig()->camera_on, c.camera_on);
    EXPECT_EQ(GetAppConfig()->microphone_on, c.mic_on);
    // The test devices close; the broadcast gets its microphone and speaker back.
    const std::vector<std::string> closing = {
        "close/dev/video cam1,Cam One,0", "close/dev/audio Mic One,mic1,1,1", "get/mic/list",
        "open/dev/audio Mic One,mic1,1,0", "get/speaker/list",
        "open/dev/audio Speaker One,spk1,0,0", "del/dev/consumer"};
    EXPECT_EQ(responder_.Calls(), closing);
  }
}

TEST_F(AvTestFrameTest, AConfiguredCameraMissingFromTheListSelectsTheFirstWhichIsSaved) {
  GetAppConfig()->camera_dev_id = "gone";
  std::vector<std::string> opened;
  int shown = -1;
  RunAvTest(owner_window_.hwnd(), &owner_, [&](const Windows& w) {
    shown = Get<CComboUI>(w.pm, L"video_dev_list")->GetCurSel();
    opened = responder_.CallsOf("open/dev/video");
    dialog_test::ClickOn(w.mask, w.maskPm, L"skip_check_btn");
  });
  EXPECT_EQ(shown, 0);
  EXPECT_EQ(opened, std::vector<std::string>({"open/dev/video cam1,Cam One,0,0"}));
  EXPECT_EQ(responder_.CallsOf("close/dev/video").front(), "close/dev/video gone,Cam One,0");
  CConfigFile file(ConfigPath(L"av_test_camera.ini"));
  file.SaveConfig(*GetAppConfig());
  EXPECT_EQ(file.ReadConfigString("camera_dev_id"), "cam1");
  EXPECT_EQ(file.ReadConfigString("camera_dev_name"), "Cam One");
}

TEST_F(AvTestFrameTest, ANewCameraStreamLocksTheSelectorsUntilItsOwnResultFromAnSdkThread) {
  // True: a new stream was asked for, and only its own result unlocks. False (reuse, or no
  // meeting): nothing to wait for.
  for (bool requested : {true, false}) {
    SCOPED_TRACE(requested);
    ResetConfig();
    responder_.openVideoAnswer = requested;
    bool locked = false, skip_locked = false, after_other = false, right_after_call = false;
    bool unlocked = false, skip_unlocked = false, tip = false;
    RunAvTest(owner_window_.hwnd(), &owner_, [&](const Windows& w) {
      Pump(100);  // the posted 3352 reaches the mask
      locked = !Enabled(w.pm, L"video_dev_list") && !Enabled(w.pm, L"v_picture_opt") &&
               !Enabled(w.pm, L"v_camera_opt");
      skip_locked = !av_test::SkipEnabled(w);
      DevConsumerDelegate* consumer = responder_.Consumers().at(0);
      // Another window's camera says nothing about this one.
      std::thread([&] { consumer->OnVideoDevResult("cam2", true); }).join();
      Pump(150);
      after_other = Enabled(w.pm, L"video_dev_list") || av_test::SkipEnabled(w);
      std::thread([&] { consumer->OnVideoDevResult("cam1", false); }).join();
      // The SDK thread only hands the result over.
      right_after_call = Enabled(w.pm, L"video_dev_list");
      PumpUntil([&] { return av_test::SkipEnabled(w) && Visible(w.pm, L"v_dev_error_tips"); },
                2000);
      unlocked = Enabled(w.pm, L"video_dev_list") && Enabled(w.pm, L"v_picture_opt") &&
                 Enabled(w.pm, L"v_camera_opt");
      skip_unlocked = av_test::SkipEnabled(w);
      tip = Visible(w.pm, L"v_dev_error_tips");
      dialog_test::ClickOn(w.mask, w.maskPm, L"skip_check_btn");
    });
    EXPECT_EQ(locked, requested);
    EXPECT_EQ(skip_locked, requested);
    EXPECT_EQ(after_other, !requested);
    EXPECT_EQ(right_after_call, !requested);
    EXPECT_TRUE(unlocked);
    EXPECT_TRUE(skip_unlocked);
    // A failed stream of this window's camera shows the tip.
    EXPECT_TRUE(tip);
  }
}

TEST_F(AvTestFrameTest, ThePictureOptionClosesThisWindowsCameraAndTheCameraOptionOpensIt) {
  bool using_before = false, using_after = true, pictures = false, reset_enabled = true;
  std::vector<std::string> picture_calls, camera_calls;
  RunAvTest(owner_window_.hwnd(), &owner_, [&](const Windows& w) {
    using_before = w.frame->IsUsingVideoDev("cam1");
    responder_.ClearCalls();
    dialog_test::ClickOn(w.hwnd, w.pm, L"v_picture_opt");
    Pump(50);
    picture_calls = responder_.Calls();
    using_after = w.frame->IsUsingVideoDev("cam1");
    pictures = Visible(w.pm, L"pic_tip_layout") && !Visible(w.pm, L"dev_tip_layout");
    // No picture was configured: the default one is shown, so going back to it is pointless.
    reset_enabled = Enabled(w.pm, L"pic_default_btn");
    responder_.ClearCalls();
    dialog_test::ClickOn(w.hwnd, w.pm, L"v_camera_opt");
    camera_calls = responder_.Calls();
    dialog_test::ClickOn(w.mask, w.maskPm, L"skip_check_btn");
  });
  EXPECT_TRUE(using_before);
  EXPECT_EQ(picture_calls, std::vector<std::string>({"close/dev/video cam1,Cam One,0"}));
  EXPECT_FALSE(using_after);
  EXPECT_TRUE(pictures);
  EXPECT_FALSE(reset_enabled);
  EXPECT_EQ(camera_calls, std::vector<std::string>({"open/dev/video cam1,Cam One,0,0"}));
  EXPECT_TRUE(GetAppConfig()->use_mode);
}

TEST_F(AvTestFrameTest, EveryStoredRotationSurvivesOpeningAndClosing) {
  struct Case {
    int degrees;
    int item;
  } cases[] = {{0, 0}, {90, 1}, {270, 2}, {180, 3}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.degrees);
    ResetConfig();
    GetAppConfig()->rotation = c.degrees;
    int shown = -1;
    RunAvTest(owner_window_.hwnd(), &owner_, [&](const Windows& w) {
      shown = Get<CComboUI>(w.pm, L"v_rotate_combo")->GetCurSel();
      dialog_test::ClickOn(w.mask, w.maskPm, L"skip_check_btn");
    });
    EXPECT_EQ(shown, c.item);
    EXPECT_EQ(GetAppConfig()->rotation, c.degrees);
  }
  // The user's choice is stored.
  int rotation = -1, flip = -1, mirror = -1;
  RunAvTest(owner_window_.hwnd(), &owner_, [&](const Windows& w) {
    EXPECT_TRUE(ChooseFromCombo(w.hwnd, w.pm, L"v_rotate_combo", 3));
    EXPECT_TRUE(ChooseFromCombo(w.hwnd, w.pm, L"v_flip_combo", 1));
    EXPECT_TRUE(ChooseFromCombo(w.hwnd, w.pm, L"v_mirror_combo", 1));
    rotation = GetAppConfig()->rotation;
    flip = GetAppConfig()->flip;
    mirror = GetAppConfig()->mirror;
    dialog_test::ClickOn(w.mask, w.maskPm, L"skip_check_btn");
  });
  EXPECT_EQ(rotation, 180);
  EXPECT_EQ(flip, 1);
  EXPECT_EQ(mirror, 1);
}

TEST_F(AvTestFrameTest, TheMicrophoneStepTestsTheConfiguredMicrophoneAndShowsItsLevel) {
  GetAppConfig()->SetMicDevice("mic2", "Mic Two");
  responder_.micLevel = 65;
  std::vector<std::string> calls;
  int shown = -1, level = -1;
  RunAvTest(owner_window_.hwnd(), &owner_, [&](const Windows& w) {
    responder_.ClearCalls();
    Answer(w, true);
    for (const std::string& call : responder_.Calls()) {
      if (call != "get/mic/value") calls.push_back(call);  // the level timer has started
    }
    shown = Get<CComboUI>(w.pm, L"mic_dev_list")->GetCurSel();
    auto* meter = static_cast<CVoiceProgressDisplayUI*>(
        w.pm->FindControl(L"voice_progress_display")->GetInterface(L"VoiceProgressDisplay"));
    PumpUntil([&] { return meter->GetValue() == 65; }, 2000);
    level = meter->GetValue();
    responder_.ClearCalls();
    EXPECT_TRUE(ChooseFromCombo(w.hwnd, w.pm, L"mic_dev_list", 0));
    // Another microphone: the one under test closes, the new one opens for the test.
    EXPECT_EQ(responder_.CallsOf("close/dev/audio"),
              std::vector<std::string>({"close/dev/audio Mic Two,mic2,1,1"}));
    EXPECT_EQ(responder_.CallsOf("open/dev/audio"),
              std::vector<std::string>({"open/dev/audio Mic One,mic1,1,1"}));
    dialog_test::ClickOn(w.mask, w.maskPm, L"skip_check_btn");
  });
  EXPECT_EQ(calls, std::vector<std::string>({"get/mic/list", "close/dev/audio Mic Two,mic2,1,1",
                                             "open/dev/audio Mic Two,mic2,1,1"}));
  EXPECT_EQ(shown, 1);
  EXPECT_EQ(level, 65);
}

TEST_F(AvTestFrameTest, ClosingGivesTheBroadcastAMicrophoneThatIsStillThere) {
  struct Case {
    const char* what;
    std::vector<stDev_Info> mics_at_close;
    const char* configured_after;
    std::vector<std::string> opened;
  } cases[] = {
      {"the configured one went away",
       {{"mic1", "Mic One", 0, 0}},
       "mic1",
       {"open/dev/audio Mic One,mic1,1,0", "open/dev/audio Speaker One,spk1,0,0"}},
      {"none left", {}, "mic2", {"open/dev/audio Speaker One,spk1,0,0"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ResetConfig();
    GetAppConfig()->SetMicDevice("mic2", "Mic Two");
    responder_.mics = {{"mic1", "Mic One", 0, 0}, {"mic2", "Mic Two", 0, 0}};
    std::vector<std::string> opened;
    RunAvTest(owner_window_.hwnd(), &owner_, [&](const Windows& w) {
      Answer(w, true);
      Answer(w, true);
      responder_.mics = c.mics_at_close;
      responder_.ClearCalls();
      dialog_test::ClickOn(w.mask, w.maskPm, L"skip_check_btn");
    });
    EXPECT_EQ(responder_.CallsOf("open/dev/audio"), c.opened);
    EXPECT_EQ(GetAppConfig()->GetMicDevId(), c.configured_after);
  }
}

TEST_F(AvTestFrameTest, TheSpeakerTestWaitsForItsEndFromAnSdkThread) {
  bool waiting = false, playing = false, button_while = true, right_after = false;
  bool hidden_after = false, button_after = false;
  std::vector<std::string> plays;
  RunAvTest(owner_window_.hwnd(), &owner_, [&](const Windows& w) {
    Answer(w, true);
    Answer(w, true);
    responder_.ClearCalls();
    dialog_test::ClickOn(w.hwnd, w.pm, L"play_speaker_btn");
    plays = responder_.CallsOf("play/test/speaker");
    auto* wait = Get<CAnimationUI>(w.pm, L"play_speaker_wait");
    waiting = wait->IsVisible();
    playing = wait->IsPlaying() && wait->GetFrameCount() == 3;
    button_while = Enabled(w.pm, L"play_speaker_btn");
    DevConsumerDelegate* consumer = responder_.Consumers().at(0);
    std::thread([&] { consumer->OnSpeakerTestEnd(); }).join();
    right_after = wait->IsVisible();
    PumpUntil([&] { return !wait->IsVisible(); }, 2000);
    hidden_after = !wait->IsVisible() && !wait->IsPlaying();
    button_after = Enabled(w.pm, L"play_speaker_btn");
    dialog_test::ClickOn(w.mask, w.maskPm, L"skip_check_btn");
  });
  ASSERT_EQ(plays.size(), 1u);
  EXPECT_EQ(plays[0].rfind("play/test/speaker Speaker One,spk1,", 0), 0u);
  EXPECT_NE(plays[0].find("\\res\\test.mp3,1"), std::string::npos);
  EXPECT_TRUE(waiting);
  EXPECT_TRUE(playing);
  EXPECT_FALSE(button_while);
  EXPECT_TRUE(right_after);
  EXPECT_TRUE(hidden_after);
  EXPECT_TRUE(button_after);
  // The sound had ended: closing has no test to stop.
  EXPECT_EQ(responder_.Count("close/dev/audio Speaker One"), 0);
}

TEST_F(AvTestFrameTest, RefillingTheSpeakerListDuringATestSoundEndsTheSpeakerTest) {
  std::vector<std::string> closes;
  bool waiting = true, button = false;
  RunAvTest(owner_window_.hwnd(), &owner_, [&](const Windows& w) {
    Answer(w, true);
    Answer(w, true);
    dialog_test::ClickOn(w.hwnd, w.pm, L"play_speaker_btn");
    responder_.ClearCalls();
    // The speaker step's list is filled again while the sound still plays.
    PostMessageW(w.hwnd, CAVTestFrame::kMsgLoadDevices, CAVTestFrame::kSpeaker, 0);
    PumpUntil([&] { return responder_.Count("get/speaker/list") > 0; });
    Pump(50);
    closes = responder_.CallsOf("close/dev/audio");
    waiting = Visible(w.pm, L"play_speaker_wait");
    button = Enabled(w.pm, L"play_speaker_btn");
    dialog_test::ClickOn(w.mask, w.maskPm, L"skip_check_btn");
  });
  // The speaker's test is closed, not the microphone's.
  EXPECT_EQ(closes, std::vector<std::string>({"close/dev/audio Speaker One,spk1,0,1"}));
  EXPECT_FALSE(waiting);
  EXPECT_TRUE(button);
}

TEST_F(AvTestFrameTest, NoDeviceOfAKindShowsTheNoDeviceEntryAndOpensNothing) {
  responder_.cameras.clear();
  responder_.mics.clear();
  responder_.speakers.clear();
  GetAppConfig()->camera_dev_id.clear();
  GetAppConfig()->SetMicDevice("", "");
  GetAppConfig()->SetSpeakerDevice("", "");
  const std::wstring none = CMutiLanSupport::Instance()->GetTextForId(L"s.av.nodev");
  std::wstring texts[3];
  bool enabled[3] = {true, true, true};
  bool play = true;
  RunAvTest(owner_window_.hwnd(), &owner_, [&](const Windows& w) {
    // Back from the picture to a camera that is not there.
    dialog_test::ClickOn(w.hwnd, w.pm, L"v_picture_opt");
    dialog_test::ClickOn(w.hwnd, w.pm, L"v_camera_opt");
    const wchar_t* lists[] = {L"video_dev_list", L"mic_dev_list", L"speaker_dev_list"};
    for (int i = 0; i < 3; ++i) {
      texts[i] = TextOf(w.pm, lists[i]);
      enabled[i] = Enabled(w.pm, lists[i]);
      Answer(w, false);
    }
    play = Enabled(w.pm, L"play_speaker_btn");
    dialog_test::ClickOn(w.mask, w.maskPm, L"skip_check_btn");
  });
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(texts[i], none) << i;
    EXPECT_FALSE(enabled[i]) << i;
  }
  EXPECT_FALSE(play);
  EXPECT_EQ(responder_.Count("open/dev"), 0);
}

TEST_F(AvTestFrameTest, AWindowThatGoesWithItsMaskStillGivesTheDevicesBack) {
  RunAvTest(owner_window_.hwnd(), &owner_, [&](const Windows& w) {
    responder_.ClearCalls();
    // The mask is closed from outside, without the skip button.
    PostMessageW(w.mask, WM_CLOSE, 0, 0);
  });
  EXPECT_EQ(responder_.Count("close/dev/video cam1"), 1);
  EXPECT_EQ(responder_.Count("open/dev/audio Mic One,mic1,1,0"), 1);
  EXPECT_EQ(responder_.Count("open/dev/audio Speaker One,spk1,0,0"), 1);
  EXPECT_TRUE(responder_.Consumers().empty());
}
