// The beauty settings window against a recording responder on the bus: the beauty sliders, the
// video tools and colour picking, the camera, its size and its removal, and the ways out.

#include <windows.h>

#include <gtest/gtest.h>

#include <thread>

#include "foundation/app_config.h"
#include "foundation/bus_topics.h"
#include "foundation/hub.h"
#include "share/video/video_render_ui.h"
#include "share/video/video_render_win.h"
#include "shell/config/config_file.h"
#include "windows/beauty/tests/beauty_test_support.h"

using namespace DuiLib;
using namespace beauty_test;
using setting_test::Enabled;
using setting_test::Get;
using setting_test::Pump;
using setting_test::PumpUntil;

namespace {

class BeautySettingFrameTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dialog_test::UseDialogLook({0, L"zh_CN"});
    ResetConfig();
    responder_.cameras = {{"cam1", "Cam One", 0, 0}, {"cam2", "Cam Two", 0, 0}};
  }

  st_beauty LastPublished() const {
    const std::vector<st_beauty> all = responder_.Beauties();
    return all.empty() ? st_beauty() : all.back();
  }

  setting_test::RecordingResponder responder_;
  setting_test::PageEventSink page_;
  setting_test::TestOwner owner_;
  dialog_test::OwnerWindow owner_window_;
};

struct SliderCase {
  const wchar_t* slider;
  const wchar_t* label;
  int32_t st_beauty::*field;
  int value;
};
const SliderCase kSliderCases[] = {
    {L"thinface_level", L"thinface_text", &st_beauty::thin_face, 11},
    {L"bigeyes_level", L"bigeyes_text", &st_beauty::big_eyes, 22},
    {L"rhinoplasty_level", L"rhinoplasty_text", &st_beauty::rhinoplasty, 33},
    {L"microdermabrasion_level", L"microdermabrasion_text", &st_beauty::microdermabrasion, 44},
    {L"whitening_level", L"whitening_text", &st_beauty::whitening, 55},
    {L"comprehensive_level", L"comprehensive_text", &st_beauty::comprehensive, 66},
};

}  // namespace

TEST_F(BeautySettingFrameTest, OpeningPublishesOnceAndTheOverallSliderSetsAllSix) {
  std::vector<std::string> opening;
  int publications = -1;
  st_beauty after_overall;
  std::vector<std::wstring> labels;
  std::vector<int> values;
  EXPECT_TRUE(RunBeauty(owner_window_.hwnd(), &owner_,
                        [&](CBeautySettingFrame*, HWND hwnd, CPaintManagerUI* pm) {
                          opening = responder_.Calls();
                          responder_.ClearCalls();
                          EXPECT_TRUE(DragSliderTo(hwnd, pm, L"comprehensive_level", 40));
                          publications = responder_.Count("set/beauty/dev");
                          after_overall = LastPublished();
                          for (const SliderCase& c : kSliderCases) {
                            values.push_back(Get<CSliderUI>(pm, c.slider)->GetValue());
                            labels.push_back(pm->FindControl(c.label)->GetText());
                          }
                          dialog_test::ClickOn(hwnd, pm, L"closebtn");
                        }));
  // Consumer, camera list, the configured camera closed and opened, the first publication.
  EXPECT_EQ(opening,
            (std::vector<std::string>{"add/dev/consumer", "get/cam/list",
                                      "close/dev/video cam1,Cam One,1", "get/cam/resolution cam1",
                                      "open/dev/video cam1,Cam One,1,1", "set/beauty/dev cam1,1"}));
  EXPECT_EQ(publications, 1);
  for (int32_t st_beauty::*field :
       {&st_beauty::comprehensive, &st_beauty::thin_face, &st_beauty::big_eyes,
        &st_beauty::rhinoplasty, &st_beauty::microdermabrasion, &st_beauty::whitening}) {
    EXPECT_EQ(after_overall.*field, 40);
    EXPECT_EQ(GetAppConfig()->beauty.*field, 40);
  }
  EXPECT_EQ(values, std::vector<int>(6, 40));
  EXPECT_EQ(labels, std::vector<std::wstring>(6, L"40"));
}

TEST_F(BeautySettingFrameTest, EachSliderReachesItsOwnField) {
  for (const SliderCase& c : kSliderCases) {
    SCOPED_TRACE(std::wstring(c.slider));
    ResetConfig();
    responder_.ClearCalls();
    std::wstring label;
    EXPECT_TRUE(RunBeauty(owner_window_.hwnd(), &owner_,
                          [&](CBeautySettingFrame*, HWND hwnd, CPaintManagerUI* pm) {
                            EXPECT_TRUE(DragSliderTo(hwnd, pm, c.slider, c.value));
                            label = pm->FindControl(c.label)->GetText();
                            dialog_test::ClickOn(hwnd, pm, L"closebtn");
                          }));
    const st_beauty published = LastPublished();
    EXPECT_EQ(published.*c.field, c.value);
    EXPECT_EQ(GetAppConfig()->beauty.*c.field, c.value);
    EXPECT_EQ(label, std::to_wstring(c.value));
    // The others stay, unless it was the overall one.
    const int others = c.field == &st_beauty::comprehensive ? c.value : 0;
    for (const SliderCase& other : kSliderCases) {
      if (other.field != c.field) {
        EXPECT_EQ(published.*other.field, others);
      }
    }
  }
}

TEST_F(BeautySettingFrameTest, ToolsRotateFlipAndMirrorAndTheNextPublicationCarriesThem) {
  std::vector<int> rotations;
  st_beauty published;
  int publications_by_tools = -1;
  EXPECT_TRUE(RunBeauty(owner_window_.hwnd(), &owner_,
                        [&](CBeautySettingFrame* frame, HWND hwnd, CPaintManagerUI* pm) {
                          responder_.ClearCalls();
                          auto record = [&] {
                            // The settings record, its block and the working copy's block agree.
                            StAppConfig* config = GetAppConfig();
                            EXPECT_EQ(config->beauty.rotation, config->rotation);
                            EXPECT_EQ(frame->Working().beauty.rotation, config->rotation);
                            rotations.push_back(config->rotation);
                          };
                          for (int i = 0; i < 4; ++i) {
                            EXPECT_TRUE(ClickTool(frame, false, L"clockwise_btn"));
                            Pump(20);
                            record();
                          }
                          EXPECT_TRUE(ClickTool(frame, false, L"anti_clockwise_btn"));
                          Pump(20);
                          record();
                          EXPECT_TRUE(ClickTool(frame, false, L"flip_check"));
                          EXPECT_TRUE(ClickTool(frame, false, L"mirror_check"));
                          Pump(20);
                          publications_by_tools = responder_.Count("set/beauty/dev");
                          EXPECT_TRUE(DragSliderTo(hwnd, pm, L"whitening_level", 30));
                          published = LastPublished();
                          dialog_test::ClickOn(hwnd, pm, L"closebtn");
                        }));
  EXPECT_EQ(rotations, (std::vector<int>{90, 180, 270, 0, 270}));
  EXPECT_EQ(publications_by_tools, 0);
  EXPECT_EQ(published.rotation, 270);
  EXPECT_EQ(published.flip, 1);
  EXPECT_EQ(published.mirror, 1);
  EXPECT_EQ(GetAppConfig()->flip, 1);
  EXPECT_EQ(GetAppConfig()->mirror, 1);
}

TEST_F(BeautySettingFrameTest, PickingTakesTheScreenPixelAndSuspendsFaceBeautyMeanwhile) {
  bool suspended_while_picking = false, idle_while_picking = true;
  bool suspended_after = true, idle_after = false;
  COLORREF screen_before = CLR_INVALID, screen = CLR_INVALID;
  uint32_t picked = 0, given = 0, reset = 0;
  EXPECT_TRUE(RunBeauty(owner_window_.hwnd(), &owner_,
                        [&](CBeautySettingFrame* frame, HWND hwnd, CPaintManagerUI* pm) {
                          OpenBackgroundPage(hwnd, pm);
                          // Keying is offered with a material: a picture, then the check box.
                          dialog_test::ClickOn(hwnd, pm, L"b_picture1_opt");
                          dialog_test::ClickOn(hwnd, pm, L"green_mat");
                          Pump(50);
                          EXPECT_TRUE(LastPublished().green_screen);
                          EXPECT_TRUE(ClickTool(frame, true, L"pick_btn"));
                          Pump(20);
                          suspended_while_picking = GetAppConfig()->beauty_suspended;
                          idle_while_picking = frame->IsEffectsIdle();
                          // A click in the preview, given to the render window itself: other
                          // windows on the shared test display may lie over the point, and the
                          // pixel is read from the screen either way.
                          HWND render = frame->Preview()->GetRenderWindow()->GetHWND();
                          RECT client{};
                          GetClientRect(render, &client);
                          POINT at{client.right / 2, client.bottom / 2 + 60};
                          const LPARAM where = MAKELPARAM(at.x, at.y);
                          ClientToScreen(render, &at);
                          // Read just before and after the click: another test's window may
                          // come or go over the point meanwhile.
                          const auto screen_pixel = [&] {
                            HDC dc = GetDC(nullptr);
                            const COLORREF pixel = GetPixel(dc, at.x, at.y);
                            ReleaseDC(nullptr, dc);
                            return pixel;
                          };
                          screen_before = screen_pixel();
                          SendMessageW(render, WM_LBUTTONDOWN, MK_LBUTTON, where);
                          SendMessageW(render, WM_LBUTTONUP, 0, where);
                          screen = screen_pixel();
                          EXPECT_TRUE(PumpUntil([&] { return !GetAppConfig()->beauty_suspended; }));
                          picked = LastPublished().key_color;
                          suspended_after = GetAppConfig()->beauty_suspended;
                          idle_after = frame->IsEffectsIdle();
                          frame->OnVideo_PickColor(0x00332211);
                          given = LastPublished().key_color;
                          EXPECT_TRUE(ClickTool(frame, true, L"reset_btn"));
                          Pump(20);
                          reset = LastPublished().key_color;
                          dialog_test::ClickOn(hwnd, pm, L"closebtn");
                        }));
  EXPECT_TRUE(suspended_while_picking);
  EXPECT_FALSE(idle_while_picking);
  EXPECT_FALSE(suspended_after);
  EXPECT_TRUE(idle_after);
  ASSERT_NE(screen, CLR_INVALID);
  const auto argb = [](COLORREF pixel) {
    return 0xFF000000u | (GetRValue(pixel) << 16) | (GetGValue(pixel) << 8) | GetBValue(pixel);
  };
  EXPECT_TRUE(picked == argb(screen_before) || picked == argb(screen))
      << std::hex << picked << " " << argb(screen_before) << " " << argb(screen);
  EXPECT_EQ(given, 0xFF112233u);
  EXPECT_EQ(reset, 0xFF00FF00u);
  EXPECT_EQ(GetAppConfig()->beauty.key_color, 0xFF00FF00u);
}

TEST_F(BeautySettingFrameTest, TheCaptureSizeIsTheSmallerOfTheStoredAndTheCamerasLargest) {
  struct Case {
    int largest_w, largest_h, stored_w, stored_h, want_w, want_h;
  } cases[] = {
      {1280, 720, 1920, 1080, 1280, 720},
      {3840, 2160, 640, 360, 640, 360},
      {1920, 1080, 1280, 720, 1280, 720},
      {320, 240, 1920, 1080, 640, 360},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.largest_w) + " " + std::to_string(c.stored_w));
    ResetConfig();
    GetAppConfig()->video_width = c.stored_w;
    GetAppConfig()->video_height = c.stored_h;
    responder_.largest["cam1"] = {"cam1", "Cam One", c.largest_w, c.largest_h};
    int asked_w = 0, asked_h = 0;
    EXPECT_TRUE(RunBeauty(owner_window_.hwnd(), &owner_,
                          [&](CBeautySettingFrame* frame, HWND hwnd, CPaintManagerUI* pm) {
                            asked_w = frame->GetCaptureWidth();
                            asked_h = frame->GetCaptureHeight();
                            dialog_test::ClickOn(hwnd, pm, L"closebtn");
                          }));
    EXPECT_EQ(asked_w, c.want_w);
    EXPECT_EQ(asked_h, c.want_h);
    EXPECT_EQ(GetAppConfig()->video_width, c.want_w);
    EXPECT_EQ(GetAppConfig()->video_height, c.want_h);
  }
}

TEST_F(BeautySettingFrameTest, WithoutACameraTheListSaysSoAndNothingIsOpened) {
  responder_.cameras.clear();
  std::wstring text;
  bool enabled = true;
  EXPECT_TRUE(RunBeauty(owner_window_.hwnd(), &owner_,
                        [&](CBeautySettingFrame*, HWND hwnd, CPaintManagerUI* pm) {
                          auto* combo = Get<CComboUI>(pm, L"camera_list_combo");
                          text = combo->GetText();
                          enabled = combo->IsEnabled();
                          dialog_test::ClickOn(hwnd, pm, L"closebtn");
                        }));
  EXPECT_EQ(text, CMutiLanSupport::Instance()->GetTextForId(L"s.av.nodev"));
  EXPECT_FALSE(enabled);
  EXPECT_EQ(responder_.Count("open/dev/video"), 0);
  EXPECT_EQ(responder_.Count("close/dev/video"), 0);
}

TEST_F(BeautySettingFrameTest, ANewStreamLocksTheCameraChoiceUntilTheSdkThreadReports) {
  for (bool requested : {true, false}) {
    SCOPED_TRACE(requested);
    ResetConfig();
    responder_.ClearCalls();
    responder_.openVideoAnswer = requested;
    bool locked_combo = false, locked_save = false, still_locked = false, unlocked = false;
    std::vector<std::string> switching;
    EXPECT_TRUE(RunBeauty(
        owner_window_.hwnd(), &owner_, [&](CBeautySettingFrame*, HWND hwnd, CPaintManagerUI* pm) {
          locked_combo = !Enabled(pm, L"camera_list_combo");
          locked_save = !Enabled(pm, L"save_set_btn");
          std::thread sdk([&] {
            for (DevConsumerDelegate* consumer : responder_.Consumers()) {
              consumer->OnVideoDevResult("cam1", true);
            }
          });
          sdk.join();
          // The SDK thread only handed the result over; the UI thread applies it.
          still_locked = requested && !Enabled(pm, L"camera_list_combo");
          unlocked = PumpUntil(
              [&] { return Enabled(pm, L"camera_list_combo") && Enabled(pm, L"save_set_btn"); });
          // Another camera: the old one is closed, the new one opened and stored.
          responder_.ClearCalls();
          EXPECT_TRUE(setting_test::ChooseFromCombo(hwnd, pm, L"camera_list_combo", 1));
          switching = responder_.Calls();
          EXPECT_TRUE(PumpUntil([&] { return true; }, 10));
          dialog_test::ClickOn(hwnd, pm, L"closebtn");
        }));
    EXPECT_EQ(locked_combo, requested);
    EXPECT_EQ(locked_save, requested);
    EXPECT_EQ(still_locked, requested);
    EXPECT_TRUE(unlocked);
    EXPECT_EQ(switching,
              (std::vector<std::string>{"close/dev/video cam1,Cam One,1", "get/cam/resolution cam2",
                                        "open/dev/video cam2,Cam Two,1,1"}));
    EXPECT_EQ(GetAppConfig()->camera_dev_id, "cam2");
    EXPECT_EQ(GetAppConfig()->camera_dev_name, "Cam Two");
  }
}

TEST_F(BeautySettingFrameTest, ACameraThatGoesAwayLeavesTheRightSelection) {
  responder_.cameras = {
      {"cam0", "Cam Zero", 0, 0}, {"cam1", "Cam One", 0, 0}, {"cam2", "Cam Two", 0, 0}};
  int after_above = -1, after_mic = -1, after_below = -1, count = -1;
  std::wstring selected_name;
  int opens = -1;
  bool no_video_shown = false;
  EXPECT_TRUE(
      RunBeauty(owner_window_.hwnd(), &owner_,
                [&](CBeautySettingFrame* frame, HWND hwnd, CPaintManagerUI* pm) {
                  auto* combo = Get<CComboUI>(pm, L"camera_list_combo");
                  EXPECT_EQ(combo->GetCurSel(), 1);
                  responder_.ClearCalls();
                  // A microphone of the same identifier is not a camera.
                  CxBus::Call(GetMessageBus(), kTopicDevHotplug, true, std::string("cam0"));
                  after_mic = combo->GetCount();
                  // Above the selection, in the form device notifications spell it.
                  CxBus::Call(GetMessageBus(), kTopicDevHotplug, false,
                              std::string("\\\\?\\usb#cam0#{guid}"));
                  after_above = combo->GetCurSel();
                  selected_name = combo->GetItemAt(combo->GetCurSel())->GetText();
                  // Below the selection.
                  CxBus::Call(GetMessageBus(), kTopicDevHotplug, false, std::string("cam2"));
                  after_below = combo->GetCurSel();
                  count = combo->GetCount();
                  opens = responder_.Count("open/dev/video") + responder_.Count("close/dev/video");
                  // At the selection: the preview shows its no-video picture (the camera outline on
                  // the skin's dark field), nothing else is opened.
                  CxBus::Call(GetMessageBus(), kTopicDevHotplug, false, std::string("cam1"));
                  HWND render = frame->Preview()->GetRenderWindow()->GetHWND();
                  no_video_shown = PumpUntil([&] {
                    RECT rc{};
                    GetWindowRect(render, &rc);
                    HDC dc = GetDC(nullptr);
                    const COLORREF corner = GetPixel(dc, rc.left + 8, rc.top + 8);
                    ReleaseDC(nullptr, dc);
                    return abs(GetRValue(corner) - 30) < 10 && abs(GetGValue(corner) - 36) < 10 &&
                           abs(GetBValue(corner) - 48) < 10;
                  });
                  opens += responder_.Count("open/dev/video");
                  dialog_test::ClickOn(hwnd, pm, L"closebtn");
                }));
  EXPECT_EQ(after_mic, 3);
  EXPECT_EQ(after_above, 0);
  EXPECT_EQ(selected_name, L"Cam One");
  EXPECT_EQ(after_below, 0);
  EXPECT_EQ(count, 1);
  EXPECT_EQ(opens, 0);
  EXPECT_TRUE(no_video_shown);
}

TEST_F(BeautySettingFrameTest, EveryWayOutEndsPickingAndKeepsWhatWasPublished) {
  const char* const ways[] = {"closebtn", "save_set_btn", "WM_CLOSE", "DestroyWindow"};
  for (const char* way : ways) {
    SCOPED_TRACE(way);
    ResetConfig();
    responder_.ClearCalls();
    GetAppConfig()->custom_materials = {{ResFolder() + L"sample2.png", false}};
    EXPECT_TRUE(RunBeauty(owner_window_.hwnd(), &owner_,
                          [&](CBeautySettingFrame* frame, HWND hwnd, CPaintManagerUI* pm) {
                            EXPECT_TRUE(DragSliderTo(hwnd, pm, L"bigeyes_level", 70));
                            frame->OnVideo_Rotate(true);
                            frame->OnVideo_Flip(true);
                            frame->OnVideo_StartPick(true);
                            EXPECT_TRUE(GetAppConfig()->beauty_suspended);
                            const std::string name = way;
                            if (name == "WM_CLOSE") {
                              PostMessageW(hwnd, WM_CLOSE, 0, 0);
                            } else if (name == "DestroyWindow") {
                              DestroyWindow(hwnd);
                            } else {
                              pm->FindControl(L"save_set_btn")->SetVisible(true);
                              dialog_test::LayOut(pm);
                              dialog_test::ClickOn(hwnd, pm,
                                                   std::wstring(name.begin(), name.end()).c_str());
                            }
                          }));
    StAppConfig* config = GetAppConfig();
    EXPECT_FALSE(config->beauty_suspended);
    EXPECT_TRUE(responder_.Consumers().empty());
    EXPECT_EQ(responder_.Count("del/dev/consumer"), 1);
    EXPECT_EQ(config->beauty.big_eyes, 70);
    EXPECT_EQ(config->beauty.rotation, 90);
    ASSERT_EQ(config->custom_materials.size(), 1u);
    EXPECT_EQ(config->custom_materials[0].path, ResFolder() + L"sample2.png");
    CConfigFile file(setting_test::ConfigPath(L"beauty_close.ini"));
    file.SaveConfig(*config);
    EXPECT_EQ(file.ReadConfigInt("rotate"), 1);
    EXPECT_EQ(file.ReadConfigInt("flip"), 1);
    EXPECT_EQ(file.ReadConfigInt("mirror"), 0);
    EXPECT_EQ(file.ReadConfigString("camera_dev_id"), "cam1");
  }
}
