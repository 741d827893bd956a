// The settings window against a recording responder on the bus: pages, device lists, the
// camera and its size, the audio tests, closing, language, rotation, pictures, devices that go
// away, and what the window shows.

#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <thread>

#include "foundation/app_config.h"
#include "foundation/bus_topics.h"
#include "foundation/hub.h"
#include "platform/trastor/trastor_testing.h"
#include "share/video/video_render_ui.h"
#include "shell/config/config_file.h"
#include "windows/settings/tests/setting_test_support.h"

using namespace DuiLib;
using namespace setting_test;

namespace {

void ResetConfig() {
  StAppConfig* config = ConfigureTestDevices();
  config->speaker_volume = 80;
  config->prior = 0;
  config->beauty_changed = false;
  config->live_running = false;
  config->show_logo = true;
  config->guest_list = false;
  config->viewer_option = false;
  config->language = L"zh_CN";
  config->push_streams.clear();
}

class SettingFrameTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dialog_test::UseDialogLook({0, L"zh_CN"});
    ResetConfig();
    responder_.cameras = {{"cam1", "Cam One", 0, 0}, {"cam2", "Cam Two", 0, 0}};
    responder_.mics = {{"mic1", "Mic One", 0, 0}, {"mic2", "Mic Two", 0, 0}};
    responder_.speakers = {{"spk1", "Speaker One", 0, 0}};
  }

  // Opens the video page and waits until its camera list is in.
  void OpenVideoPage(HWND hwnd, CPaintManagerUI* pm) {
    dialog_test::ClickOn(hwnd, pm, L"video_set_opt");
    EXPECT_TRUE(PumpUntil([&] { return Get<CComboUI>(pm, L"camera_list_combo")->GetCount() > 0; }));
    Pump(50);
  }
  void OpenAudioPage(HWND hwnd, CPaintManagerUI* pm) {
    dialog_test::ClickOn(hwnd, pm, L"audio_set_opt");
    EXPECT_TRUE(PumpUntil([&] { return Get<CComboUI>(pm, L"mic_list_combo")->GetCount() > 0; }));
    Pump(50);
  }

  RecordingResponder responder_;
  PageEventSink page_;
  TestOwner owner_;
  dialog_test::OwnerWindow owner_window_;
};

}  // namespace

TEST_F(SettingFrameTest, StartPageAndDeviceListsLoadedOnce) {
  struct Case {
    int page;
    int shown;
    int camera_lists;
    int mic_lists;
  } cases[] = {{0, 0, 0, 0}, {2, 2, 1, 0}, {3, 3, 0, 1}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.page);
    responder_.ClearCalls();
    int shown = -1, camera_lists = -1, mic_lists = -1, speaker_lists = -1;
    int camera_lists_again = -1, mic_lists_again = -1;
    RunResult run = RunSettings(owner_window_.hwnd(), &owner_, 1, c.page,
                          [&](CSettingFrame*, HWND hwnd, CPaintManagerUI* pm) {
                            Pump(400);
                            shown = Get<CTabLayoutUI>(pm, L"main_tab")->GetCurSel();
                            camera_lists = responder_.Count("get/cam/list");
                            mic_lists = responder_.Count("get/mic/list");
                            speaker_lists = responder_.Count("get/speaker/list");
                            // Away and back: the lists stay as they are.
                            dialog_test::ClickOn(hwnd, pm, L"fun_set_opt");
                            if (c.page != 0) {
                              dialog_test::ClickOn(hwnd, pm,
                                                   c.page == 3 ? L"audio_set_opt" : L"video_set_opt");
                            }
                            Pump(200);
                            camera_lists_again = responder_.Count("get/cam/list");
                            mic_lists_again = responder_.Count("get/mic/list");
                            dialog_test::ClickOn(hwnd, pm, L"closebtn");
                          });
    EXPECT_FALSE(run.timed_out);
    EXPECT_EQ(run.result, 0u);
    EXPECT_EQ(shown, c.shown);
    EXPECT_EQ(camera_lists, c.camera_lists);
    EXPECT_EQ(mic_lists, c.mic_lists);
    EXPECT_EQ(speaker_lists, c.mic_lists);
    EXPECT_EQ(camera_lists_again, c.camera_lists);
    EXPECT_EQ(mic_lists_again, c.mic_lists);
    // The window joined the SDK layer's consumers and left them.
    EXPECT_EQ(responder_.Count("add/dev/consumer"), 1);
    EXPECT_EQ(responder_.Count("del/dev/consumer"), 1);
    EXPECT_TRUE(responder_.Consumers().empty());
  }
}

TEST_F(SettingFrameTest, OnlyTheHostSeesPushStreamsAndTheGuestList) {
  for (int role : {1, 2, 0}) {
    SCOPED_TRACE(role);
    bool push = false, guest_layout = false, guest_check = false, viewer = false;
    RunSettings(owner_window_.hwnd(), &owner_, role, 0,
                [&](CSettingFrame*, HWND hwnd, CPaintManagerUI* pm) {
                  push = Visible(pm, L"push_stream_opt");
                  guest_layout = Visible(pm, L"guest_layout");
                  guest_check = Visible(pm, L"guest_user_list_check");
                  viewer = Visible(pm, L"viewer_check");
                  dialog_test::ClickOn(hwnd, pm, L"closebtn");
                });
    EXPECT_EQ(push, role == 1);
    EXPECT_EQ(guest_layout, role == 1);
    EXPECT_EQ(guest_check, role == 1);
    EXPECT_TRUE(viewer);
  }
}

TEST_F(SettingFrameTest, GuestAndViewerOptionsGoToThePage) {
  RunSettings(owner_window_.hwnd(), &owner_, 1, 0,
              [&](CSettingFrame*, HWND hwnd, CPaintManagerUI* pm) {
                dialog_test::ClickOn(hwnd, pm, L"guest_user_list_check");
                dialog_test::ClickOn(hwnd, pm, L"viewer_check");
                dialog_test::ClickOn(hwnd, pm, L"viewer_check");
                dialog_test::ClickOn(hwnd, pm, L"closebtn");
              });
  EXPECT_TRUE(GetAppConfig()->guest_list);
  EXPECT_FALSE(GetAppConfig()->viewer_option);
  ASSERT_EQ(page_.EventsOf(22).size(), 1u);
  EXPECT_EQ(page_.EventsOf(22)[0], R"({"event":22,"opt":1})");
  ASSERT_EQ(page_.EventsOf(33).size(), 2u);
  EXPECT_EQ(page_.EventsOf(33)[1], R"({"event":33,"opt":0})");
}

TEST_F(SettingFrameTest, ACameraBelowTheConfiguredSizeLowersItWithoutAResolutionCall) {
  GetAppConfig()->video_width = 1920;
  GetAppConfig()->video_height = 1080;
  responder_.largest["cam1"] = {"cam1", "Cam One", 1280, 720};
  bool full_enabled = true, hd_enabled = false;
  int shown = -1;
  RunSettings(owner_window_.hwnd(), &owner_, 1, 2,
              [&](CSettingFrame*, HWND hwnd, CPaintManagerUI* pm) {
                EXPECT_TRUE(PumpUntil([&] { return responder_.Count("open/dev/video") > 0; }));
                auto* combo = Get<CComboUI>(pm, L"resolution_combo");
                full_enabled = combo->GetItemAt(0)->IsEnabled();
                hd_enabled = combo->GetItemAt(1)->IsEnabled();
                shown = combo->GetCurSel();
                dialog_test::ClickOn(hwnd, pm, L"closebtn");
              });
  EXPECT_FALSE(full_enabled);
  EXPECT_TRUE(hd_enabled);
  EXPECT_EQ(shown, 1);
  EXPECT_EQ(GetAppConfig()->video_width, 1280);
  EXPECT_EQ(GetAppConfig()->video_height, 720);
  EXPECT_EQ(responder_.Count("set/resolution"), 0);
  CConfigFile file(ConfigPath(L"setting_resolution.ini"));
  file.SaveConfig(*GetAppConfig());
  EXPECT_EQ(file.ReadConfigInt("resolution"), 1);
  // The user's own choice of a size the camera has is sent.
  GetAppConfig()->video_width = 1280;
  GetAppConfig()->video_height = 720;
  responder_.ClearCalls();
  responder_.setResolutionAnswer = false;
  RunSettings(owner_window_.hwnd(), &owner_, 1, 2,
              [&](CSettingFrame*, HWND hwnd, CPaintManagerUI* pm) {
                EXPECT_TRUE(PumpUntil([&] { return responder_.Count("open/dev/video") > 0; }));
                EXPECT_TRUE(ChooseFromCombo(hwnd, pm, L"resolution_combo", 2));
                EXPECT_TRUE(Enabled(pm, L"camera_list_combo"));
                dialog_test::ClickOn(hwnd, pm, L"closebtn");
              });
  EXPECT_EQ(responder_.CallsOf("set/resolution"),
            std::vector<std::string>({"set/resolution cam1,Cam One,640,360"}));
  EXPECT_EQ(GetAppConfig()->video_width, 640);
  // A stream made anew at the new size: the controls wait for its result.
  responder_.setResolutionAnswer = true;
  responder_.ClearCalls();
  bool waiting = false, enabled_after = false;
  RunSettings(owner_window_.hwnd(), &owner_, 1, 2,
              [&](CSettingFrame*, HWND hwnd, CPaintManagerUI* pm) {
                EXPECT_TRUE(PumpUntil([&] { return responder_.Count("open/dev/video") > 0; }));
                EXPECT_TRUE(ChooseFromCombo(hwnd, pm, L"resolution_combo", 1));
                waiting = !Enabled(pm, L"camera_list_combo");
                DevConsumerDelegate* consumer = responder_.Consumers().at(0);
                std::thread([&] { consumer->OnVideoDevResult("cam1", true); }).join();
                PumpUntil([&] { return Enabled(pm, L"camera_list_combo"); }, 2000);
                enabled_after = Enabled(pm, L"camera_list_combo");
                dialog_test::ClickOn(hwnd, pm, L"closebtn");
              });
  EXPECT_TRUE(waiting);
  EXPECT_TRUE(enabled_after);
  EXPECT_EQ(GetAppConfig()->video_width, 1280);
}

TEST_F(SettingFrameTest, ChoosingACameraClosesTheOldOneAndOpensTheNewOne) {
  // The answer tells whether a new stream was asked for: then the controls wait for its result.
  for (bool requested : {true, false}) {
    SCOPED_TRACE(requested);
    ResetConfig();
    responder_.ClearCalls();
    GetAppConfig()->beauty_changed = true;
    responder_.openVideoAnswer = requested;
    bool waiting = false, enabled_after = false, tip_after = true, tip_while = true;
    std::vector<std::string> calls;
    RunSettings(owner_window_.hwnd(), &owner_, 1, 2,
                [&](CSettingFrame*, HWND hwnd, CPaintManagerUI* pm) {
                  EXPECT_TRUE(PumpUntil([&] { return responder_.Count("open/dev/video") > 0; }));
                  std::vector<DevConsumerDelegate*> consumers = responder_.Consumers();
                  ASSERT_EQ(consumers.size(), 1u);
                  if (requested) {
                    // The first camera's stream comes first.
                    std::thread([&] { consumers[0]->OnVideoDevResult("cam1", true); }).join();
                    EXPECT_TRUE(PumpUntil([&] { return Enabled(pm, L"camera_list_combo"); }));
                  }
                  Pump(50);
                  responder_.ClearCalls();
                  EXPECT_TRUE(ChooseFromCombo(hwnd, pm, L"camera_list_combo", 1));
                  calls = responder_.Calls();
                  waiting = !Enabled(pm, L"camera_list_combo");
                  tip_while = Visible(pm, L"dev_error_tips");
                  // The stream's result comes on an SDK thread.
                  // It only hands the result over: the controls change on the UI thread.
                  std::thread([&] { consumers[0]->OnVideoDevResult("cam2", true); }).join();
                  EXPECT_EQ(Enabled(pm, L"camera_list_combo"), !requested);
                  PumpUntil([&] { return Enabled(pm, L"camera_list_combo"); }, 2000);
                  enabled_after = Enabled(pm, L"camera_list_combo") &&
                                  Enabled(pm, L"resolution_combo") &&
                                  Enabled(pm, L"use_mode_combo") &&
                                  Enabled(pm, L"v_prior_combo") && Enabled(pm, L"beauty_set_btn");
                  tip_after = Visible(pm, L"dev_error_tips");
                  dialog_test::ClickOn(hwnd, pm, L"closebtn");
                });
    const std::vector<std::string> want = {"close/dev/video cam1,Cam One,1",
                                           "get/cam/resolution cam2",
                                           "open/dev/video cam2,Cam Two,1,1"};
    EXPECT_EQ(calls, want);
    EXPECT_EQ(waiting, requested);
    EXPECT_FALSE(tip_while);
    EXPECT_TRUE(enabled_after);
    EXPECT_FALSE(tip_after);
    EXPECT_EQ(GetAppConfig()->camera_dev_id, "cam2");
    EXPECT_EQ(GetAppConfig()->camera_dev_name, "Cam Two");
  }
}

TEST_F(SettingFrameTest, AFailedCameraFromAnSdkThreadShowsTheTipAndEnablesTheControls) {
  responder_.openVideoAnswer = true;
  bool tip = false, enabled = false, other_camera_tip = true;
  RunSettings(owner_window_.hwnd(), &owner_, 1, 2,
              [&](CSettingFrame*, HWND hwnd, CPaintManagerUI* pm) {
                EXPECT_TRUE(PumpUntil([&] { return responder_.Count("open/dev/video") > 0; }));
                Pump(50);
                EXPECT_FALSE(Enabled(pm, L"camera_list_combo"));
                DevConsumerDelegate* consumer = responder_.Consumers().at(0);
                // A camera the window does not use changes no tip.
                std::thread([&] { consumer->OnVideoDevResult("cam2", false); }).join();
                Pump(100);
                other_camera_tip = Visible(pm, L"dev_error_tips");
                std::thread([&] { consumer->OnVideoDevResult("cam1", false); }).join();
                PumpUntil([&] { return Visible(pm, L"dev_error_tips"); }, 2000);
                tip = Visible(pm, L"dev_error_tips");
                enabled = Enabled(pm, L"camera_list_combo");
                dialog_test::ClickOn(hwnd, pm, L"closebtn");
              });
  EXPECT_FALSE(other_camera_tip);
  EXPECT_TRUE(tip);
  EXPECT_TRUE(enabled);
}

TEST_F(SettingFrameTest, AudioTestsStartStopAndNeverOutliveTheWindow) {
  // The microphone button twice opens, then closes the test.
  std::wstring text_on, text_off;
  std::vector<std::string> calls;
  RunSettings(owner_window_.hwnd(), &owner_, 1, 3,
              [&](CSettingFrame*, HWND hwnd, CPaintManagerUI* pm) {
                EXPECT_TRUE(PumpUntil([&] { return responder_.Count("get/mic/list") > 0; }));
                Pump(50);
                responder_.ClearCalls();
                dialog_test::ClickOn(hwnd, pm, L"mic_test_btn");
                text_on = pm->FindControl(L"mic_test_btn")->GetTextId();
                EXPECT_TRUE(Visible(pm, L"mic_tip_lab"));
                // The level timer reads the microphone.
                EXPECT_TRUE(PumpUntil([&] { return responder_.Count("get/mic/value") >= 2; }));
                dialog_test::ClickOn(hwnd, pm, L"mic_test_btn");
                text_off = pm->FindControl(L"mic_test_btn")->GetTextId();
                calls = responder_.CallsOf("open/dev/audio");
                for (const std::string& call : responder_.CallsOf("close/dev/audio")) {
                  calls.push_back(call);
                }
                dialog_test::ClickOn(hwnd, pm, L"closebtn");
              });
  EXPECT_EQ(text_on, L"s.stop.test");
  EXPECT_EQ(text_off, L"s.test.mic");
  EXPECT_EQ(calls, std::vector<std::string>({"open/dev/audio Mic One,mic1,1,1",
                                             "close/dev/audio Mic One,mic1,1,1"}));

  // A speaker test closes a running microphone test first; the end of the sound resets it.
  std::vector<std::string> order;
  std::wstring speaker_text, speaker_text_after_end;
  RunSettings(owner_window_.hwnd(), &owner_, 1, 3,
              [&](CSettingFrame*, HWND hwnd, CPaintManagerUI* pm) {
                EXPECT_TRUE(PumpUntil([&] { return responder_.Count("get/mic/list") > 0; }));
                responder_.ClearCalls();
                dialog_test::ClickOn(hwnd, pm, L"mic_test_btn");
                dialog_test::ClickOn(hwnd, pm, L"speaker_test_btn");
                for (const std::string& call : responder_.Calls()) {
                  if (call.find("/dev/audio") != std::string::npos ||
                      call.find("play/test") != std::string::npos) {
                    order.push_back(call);
                  }
                }
                speaker_text = pm->FindControl(L"speaker_test_btn")->GetTextId();
                DevConsumerDelegate* consumer = responder_.Consumers().at(0);
                std::thread([&] { consumer->OnSpeakerTestEnd(); }).join();
                EXPECT_EQ(pm->FindControl(L"speaker_test_btn")->GetTextId(), L"s.stop.test");
                PumpUntil([&] { return pm->FindControl(L"speaker_test_btn")->GetTextId() ==
                                       L"s.test.speaker"; },
                          2000);
                speaker_text_after_end = pm->FindControl(L"speaker_test_btn")->GetTextId();
                dialog_test::ClickOn(hwnd, pm, L"closebtn");
              });
  ASSERT_EQ(order.size(), 3u);
  EXPECT_EQ(order[0], "open/dev/audio Mic One,mic1,1,1");
  EXPECT_EQ(order[1], "close/dev/audio Mic One,mic1,1,1");
  EXPECT_EQ(order[2].substr(0, 35), "play/test/speaker Speaker One,spk1,");
  const std::string tail = "\\res\\test.mp3,1";
  EXPECT_EQ(order[2].substr(order[2].size() - tail.size()), tail) << order[2];
  EXPECT_EQ(speaker_text, L"s.stop.test");
  EXPECT_EQ(speaker_text_after_end, L"s.test.speaker");
}

TEST_F(SettingFrameTest, EveryWayOutClosesARunningMicrophoneTest) {
  enum Way { kCloseButton, kCloseFrame, kWmClose, kBeauty };
  for (Way way : {kCloseButton, kCloseFrame, kWmClose, kBeauty}) {
    SCOPED_TRACE(way);
    responder_.ClearCalls();
    RunResult run = RunSettings(owner_window_.hwnd(), &owner_, 1, way == kBeauty ? 2 : 3,
                          [&](CSettingFrame* frame, HWND hwnd, CPaintManagerUI* pm) {
                            Pump(300);
                            if (way == kBeauty) {
                              dialog_test::ClickOn(hwnd, pm, L"audio_set_opt");
                              Pump(200);
                            }
                            dialog_test::ClickOn(hwnd, pm, L"mic_test_btn");
                            EXPECT_EQ(responder_.Count("open/dev/audio Mic One,mic1,1,1"), 1);
                            switch (way) {
                              case kCloseButton:
                                dialog_test::ClickOn(hwnd, pm, L"closebtn");
                                break;
                              case kCloseFrame:
                                frame->CloseFrame();
                                break;
                              case kWmClose:
                                PostMessageW(hwnd, WM_CLOSE, 0, 0);
                                break;
                              case kBeauty:
                                dialog_test::ClickOn(hwnd, pm, L"video_set_opt");
                                Pump(100);
                                dialog_test::ClickOn(hwnd, pm, L"beauty_set_btn");
                                break;
                            }
                          });
    EXPECT_FALSE(run.timed_out);
    EXPECT_EQ(run.result, way == kBeauty ? 2u : 0u);
    EXPECT_EQ(responder_.CallsOf("close/dev/audio"),
              std::vector<std::string>({"close/dev/audio Mic One,mic1,1,1"}));
    EXPECT_EQ(responder_.Count("del/dev/consumer"), 1);
  }
}

TEST_F(SettingFrameTest, EnglishReloadsTheTableAndTellsTheMainWindow) {
  std::wstring title_before, title_after;
  RunSettings(owner_window_.hwnd(), &owner_, 1, 0,
              [&](CSettingFrame*, HWND hwnd, CPaintManagerUI* pm) {
                title_before = pm->FindControl(L"fun_set_opt")->GetText();
                EXPECT_TRUE(ChooseFromCombo(hwnd, pm, L"language_mode_combo", 2));
                title_after = pm->FindControl(L"fun_set_opt")->GetText();
                auto shot = dialog_test::Shoot(hwnd, pm);
                EXPECT_TRUE(shot->Save(L"setting_language_en_US.png"));
                EXPECT_GT(dialog_test::InkOf(*shot, pm, L"fun_set_opt"), 30);
                dialog_test::ClickOn(hwnd, pm, L"closebtn");
              });
  EXPECT_EQ(title_before, L"功能设置");
  EXPECT_EQ(title_after, L"General");
  EXPECT_EQ(GetAppConfig()->language, L"en_US");
  EXPECT_EQ(responder_.CallsOf("language"), std::vector<std::string>({"language en-US"}));
  EXPECT_EQ(DuiLib::CMutiLanSupport::Instance()->GetLanguage(), L"en_US");
}

TEST_F(SettingFrameTest, FourRotationsComeBackToZero) {
  std::vector<int> seen;
  std::vector<int> saved;
  CConfigFile file(ConfigPath(L"setting_rotate.ini"));
  RunSettings(owner_window_.hwnd(), &owner_, 1, 2,
              [&](CSettingFrame* frame, HWND hwnd, CPaintManagerUI* pm) {
                Pump(300);
                // What the video tools' clockwise button does.
                auto* tools = static_cast<VideoToolsDelegate*>(frame);
                for (int i = 0; i < 4; ++i) {
                  tools->OnVideo_Rotate(true);
                  seen.push_back(GetAppConfig()->rotation);
                  file.SaveConfig(*GetAppConfig());
                  saved.push_back(file.ReadConfigInt("rotate"));
                }
                tools->OnVideo_Rotate(false);
                seen.push_back(GetAppConfig()->rotation);
                tools->OnVideo_Rotate(true);
                dialog_test::ClickOn(hwnd, pm, L"closebtn");
              });
  EXPECT_EQ(seen, std::vector<int>({90, 180, 270, 0, 270}));
  EXPECT_EQ(saved, std::vector<int>({1, 3, 2, 0}));
}

namespace {

// What the window still holds of the SDK layer when its window is gone, children and all.
struct AtFinalMessage {
  size_t consumers = 99;
  size_t frame_listeners = 99;
  bool seen = false;
};
AtFinalMessage g_final;
RecordingResponder* g_final_responder = nullptr;
WNDPROC g_frame_proc = nullptr;

LRESULT CALLBACK WatchFinalMessage(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_NCDESTROY && g_final_responder) {
    g_final.seen = true;
    g_final.consumers = g_final_responder->Consumers().size();
    CxBusCast& bus = GetMessageBus();
    CxBusAutoLock lock(&bus);
    CxBusSubscriberMap* listeners = bus.FindTopic(kTopicYuvData);
    g_final.frame_listeners = listeners ? listeners->size() : 0;
  }
  return CallWindowProcW(g_frame_proc, hwnd, msg, wp, lp);
}

}  // namespace

TEST_F(SettingFrameTest, TheWindowLeavesTheSdkLayerBeforeItsPreviewGoes) {
  g_final = AtFinalMessage();
  g_final_responder = &responder_;
  RunSettings(owner_window_.hwnd(), &owner_, 1, 2,
              [&](CSettingFrame*, HWND hwnd, CPaintManagerUI* pm) {
                EXPECT_TRUE(PumpUntil([&] { return responder_.Count("open/dev/video") > 0; }));
                g_frame_proc = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(
                    hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&WatchFinalMessage)));
                dialog_test::ClickOn(hwnd, pm, L"closebtn");
              });
  g_final_responder = nullptr;
  ASSERT_TRUE(g_final.seen);
  // By the time the preview's window is gone no SDK thread can reach the window any more.
  EXPECT_EQ(g_final.consumers, 0u);
  EXPECT_EQ(g_final.frame_listeners, 0u);
}

TEST_F(SettingFrameTest, CameraFramesReachThePreviewOnlyWhileItShows) {
  long long on_video = -1, on_audio = -1, after_beauty = -1;
  std::vector<uint8_t> pixels(320 * 180 * 3 / 2, 0x80);
  StYuvImage frame;
  frame.width = 320;
  frame.height = 180;
  frame.size = static_cast<int32_t>(pixels.size());
  frame.data = pixels.data();
  // Frames come from an SDK thread, under the bus lock.
  auto publish = [&](int count) {
    std::thread([&] {
      for (int i = 0; i < count; ++i) CxBus::Call(GetMessageBus(), kTopicYuvData, frame);
    }).join();
  };
  auto pushes = [] {
    TrastorSourceCounters counters{};
    TrastorCanvas* canvas = Trastor_GetCanvas("VIDEO_CANVAS");
    if (!canvas) return -1LL;
    TrastorTest_GetSourceCounters(TrastorTest_GetSource(canvas, 0), &counters);
    return counters.pushes;
  };
  RunResult run = RunSettings(owner_window_.hwnd(), &owner_, 1, 2,
                              [&](CSettingFrame*, HWND hwnd, CPaintManagerUI* pm) {
                                EXPECT_TRUE(PumpUntil([&] { return pushes() >= 0; }));
                                const long long start = pushes();
                                publish(3);
                                on_video = pushes() - start;
                                dialog_test::ClickOn(hwnd, pm, L"audio_set_opt");
                                Pump(100);
                                publish(2);
                                on_audio = pushes() - start;
                                dialog_test::ClickOn(hwnd, pm, L"video_set_opt");
                                Pump(100);
                                dialog_test::LayOut(pm);
                                dialog_test::ClickOn(hwnd, pm, L"beauty_set_btn");
                                publish(2);
                                after_beauty = pushes() - start;
                              });
  EXPECT_EQ(run.result, 2u);
  EXPECT_EQ(on_video, 3);
  EXPECT_EQ(on_audio, 3);
  EXPECT_EQ(after_beauty, 3);
}

TEST(SettingHotPlugMatchTest, ExactIdentifierFirstThenContainmentAndNeverAnEmptyOne) {
  struct Case {
    const char* what;
    std::vector<std::wstring> ids;
    std::wstring text;
    int want;
  } cases[] = {
      {"exact", {L"cam1", L"cam10"}, L"cam10", 1},
      {"prefix is not a match", {L"cam1", L"cam10"}, L"cam1", 0},
      {"containment", {L"{0.0.1}.{abc}", L"usb"}, L"\\\\?\\SWD#MMDEVAPI#{0.0.1}.{abc}#x", 0},
      {"empty identifier", {L"", L"mic2"}, L"mic2", 1},
      {"empty identifier only", {L""}, L"anything", -1},
      {"no match", {L"a", L"b"}, L"c", -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(CSettingFrame::FindUnpluggedEntry(c.ids.data(), static_cast<int>(c.ids.size()),
                                                c.text),
              c.want);
  }
}

TEST_F(SettingFrameTest, ADeviceThatGoesAwayLeavesTheRightSelection) {
  responder_.cameras = {{"cam1", "Cam One", 0, 0}, {"cam10", "Cam Ten", 0, 0},
                        {"cam2", "Cam Two", 0, 0}};
  struct Case {
    const char* what;
    bool mic;
    std::string gone;
    int selected_after;
    std::vector<std::wstring> left;
  } cases[] = {
      {"before the selection", false, "cam1", 0, {L"cam10", L"cam2"}},
      {"the selection", false, "cam10", -1, {L"cam1", L"cam2"}},
      {"after the selection", false, "cam2", 1, {L"cam1", L"cam10"}},
      {"no entry", false, "cam3", 1, {L"cam1", L"cam10", L"cam2"}},
      {"microphone", true, "mic1", 0, {L"mic2"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    GetAppConfig()->camera_dev_id = "cam10";
    GetAppConfig()->SetMicDevice("mic2", "Mic Two");
    int selected = -5;
    std::vector<std::wstring> left;
    int opens_after = -1;
    RunSettings(owner_window_.hwnd(), &owner_, 1, c.mic ? 3 : 2,
                [&](CSettingFrame*, HWND hwnd, CPaintManagerUI* pm) {
                  const wchar_t* name = c.mic ? L"mic_list_combo" : L"camera_list_combo";
                  EXPECT_TRUE(PumpUntil([&] { return Get<CComboUI>(pm, name)->GetCount() > 0; }));
                  Pump(50);
                  std::string gone = c.gone;
                  CxBus::Call(GetMessageBus(), kTopicDevHotplug, c.mic, gone);
                  auto* combo = Get<CComboUI>(pm, name);
                  selected = combo->GetCurSel();
                  for (int i = 0; i < combo->GetCount(); ++i) {
                    left.push_back(combo->GetItemAt(i)->GetUserData());
                  }
                  // The next choice works.
                  responder_.ClearCalls();
                  EXPECT_TRUE(ChooseFromCombo(hwnd, pm, name, 0));
                  opens_after = responder_.Count(c.mic ? "open/dev/audio" : "open/dev/video");
                  dialog_test::ClickOn(hwnd, pm, L"closebtn");
                });
    EXPECT_EQ(selected, c.selected_after);
    EXPECT_EQ(left, c.left);
    EXPECT_EQ(opens_after, selected == 0 ? 0 : 1);
  }
  // The last camera going leaves the no-device entry.
  responder_.cameras = {{"cam1", "Cam One", 0, 0}};
  GetAppConfig()->camera_dev_id = "cam1";
  bool last_disabled = false;
  std::wstring last_text;
  RunSettings(owner_window_.hwnd(), &owner_, 1, 2,
              [&](CSettingFrame*, HWND hwnd, CPaintManagerUI* pm) {
                EXPECT_TRUE(PumpUntil(
                    [&] { return Get<CComboUI>(pm, L"camera_list_combo")->GetCount() > 0; }));
                std::string gone = "cam1";
                CxBus::Call(GetMessageBus(), kTopicDevHotplug, false, gone);
                auto* combo = Get<CComboUI>(pm, L"camera_list_combo");
                last_disabled = !combo->IsEnabled();
                last_text = combo->GetText();
                dialog_test::ClickOn(hwnd, pm, L"closebtn");
              });
  EXPECT_TRUE(last_disabled);
  EXPECT_EQ(last_text, L"未检测到设备");
}
