// Pictures in place of the camera (size limit, unreadable files) and every page as the user
// sees it, in both skins and two languages.

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

#include "foundation/app_config.h"
#include "foundation/text_convert.h"
#include "shell/config/config_file.h"
#include "shell/system/system_info.h"
#include "windows/settings/tests/setting_test_support.h"

using namespace DuiLib;
using namespace setting_test;

namespace {

class SettingPictureTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dialog_test::UseDialogLook({0, L"zh_CN"});
    GetAppConfig()->use_mode = false;
    GetAppConfig()->picture_path.clear();
    GetAppConfig()->rotation = 0;
  }
  void TearDown() override { CSettingFrame::SetFileDialogFunc(nullptr); }

  RecordingResponder responder_;
  PageEventSink page_;
  TestOwner owner_;
  dialog_test::OwnerWindow owner_window_;
};

}  // namespace

TEST_F(SettingPictureTest, PicturesUpToTwoMebibytesAreTakenOthersRefused) {
  const auto [exact, over, text] = WriteLimitPictures(L"setting_");
  ASSERT_EQ(ReadBytes(exact).size(), 2097152u);
  ASSERT_EQ(ReadBytes(over).size(), 2097153u);
  const std::string fallback = UnicodeToAnsi(GetModuleDir() + L"\\res\\defalutpic.jpg");
  struct Case {
    const char* what;
    std::wstring file;
    const wchar_t* refusal;  // null: taken
    const char* message;
  } cases[] = {
      {"2 MiB exactly", exact, nullptr, nullptr},
      {"one byte more", over, L"s.filemax.tips", "图片不能超过 2MB"},
      {"a text file", text, L"s.file.format.error", "无法读取该图片，请选择其他文件"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    GetAppConfig()->picture_path.clear();
    page_.Clear();
    const std::wstring chosen = c.file;
    CSettingFrame::SetFileDialogFunc([chosen](OPENFILENAMEW* ofn) {
      // What the system dialog is asked for.
      EXPECT_EQ(ofn->nMaxFile, static_cast<DWORD>(MAX_PATH));
      EXPECT_EQ(ofn->Flags, static_cast<DWORD>(OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_HIDEREADONLY));
      EXPECT_STREQ(ofn->lpstrFilter, L"Image File (*.jpg;*.jpeg)");
      wcsncpy(ofn->lpstrFile, chosen.c_str(), ofn->nMaxFile - 1);
      return TRUE;
    });
    std::string path_before;
    int pictures = -1;
    bool reset_enabled = false;
    RunSettings(owner_window_.hwnd(), &owner_, 1, 2,
                [&](CSettingFrame*, HWND hwnd, CPaintManagerUI* pm) {
                  EXPECT_TRUE(PumpUntil([&] { return Visible(pm, L"pic_upload_btn"); }));
                  Pump(100);
                  path_before = GetAppConfig()->picture_path;
                  responder_.ClearCalls();
                  dialog_test::ClickOn(hwnd, pm, L"pic_upload_btn");
                  pictures = responder_.Count("open/picture");
                  reset_enabled = pm->FindControl(L"pic_default_btn")->IsEnabled();
                  dialog_test::ClickOn(hwnd, pm, L"closebtn");
                });
    EXPECT_EQ(path_before, fallback);
    CConfigFile file(ConfigPath(L"setting_picture.ini"));
    file.SaveConfig(*GetAppConfig());
    if (!c.refusal) {
      EXPECT_EQ(GetAppConfig()->picture_path, UnicodeToAnsi(c.file));
      EXPECT_EQ(pictures, 1);
      EXPECT_TRUE(reset_enabled);
      EXPECT_TRUE(page_.EventsOf(25).empty());
      EXPECT_EQ(file.ReadConfigString("picture_path"), UnicodeToAnsi(c.file));
    } else {
      EXPECT_EQ(GetAppConfig()->picture_path, fallback);
      EXPECT_EQ(pictures, 0);
      EXPECT_FALSE(reset_enabled);
      ASSERT_EQ(page_.EventsOf(25).size(), 1u);
      EXPECT_EQ(page_.EventsOf(25)[0],
                std::string(R"({"event":25,"msg":")") + c.message + R"(","status":0})");
      EXPECT_EQ(file.ReadConfigString("picture_path"), fallback);
    }
  }
}

// ---- screenshots ------------------------------------------------------------------------------

namespace {

class SettingScreenshotTest : public ::testing::TestWithParam<dialog_test::Look> {
 protected:
  void SetUp() override {
    dialog_test::UseDialogLook(GetParam());
    StAppConfig* config = GetAppConfig();
    config->language = GetParam().language;
    config->use_mode = true;
    config->camera_dev_id = "cam1";
    config->SetMicDevice("mic1", "Microphone (USB Audio)");
    config->SetSpeakerDevice("spk1", "Speakers (High Definition Audio)");
    config->video_width = 1280;
    config->video_height = 720;
    config->show_logo = true;
    config->live_running = true;
    config->push_streams.clear();
    StPushStreamInfo first;
    first.platform_name = L"Twitch";
    first.push_url = L"rtmp://live.example.com/app/1";
    first.stream_id = "s1";
    first.width = 1920;
    first.height = 1080;
    first.state = 0;
    config->AddPushStream(first);
    first.platform_name = L"斗鱼直播";
    first.stream_id = "s2";
    first.width = 1280;
    first.height = 720;
    first.state = 1;
    config->AddPushStream(first);
    responder_.cameras = {{"cam1", "Integrated Camera", 0, 0}};
    responder_.mics = {{"mic1", "Microphone (USB Audio)", 0, 0}};
    responder_.speakers = {{"spk1", "Speakers (High Definition Audio)", 0, 0}};
  }

  RecordingResponder responder_;
  PageEventSink page_;
  TestOwner owner_;
  dialog_test::OwnerWindow owner_window_;
};

}  // namespace

TEST_P(SettingScreenshotTest, EveryPage) {
  const bool orange = GetParam().skin == 1;
  const DWORD nav = orange ? 0xF4F4F4 : 0x252A33;
  const DWORD selected = orange ? 0xFFFFFF : 0x1E2129;
  struct Page {
    const wchar_t* option;
    const wchar_t* name;
    std::vector<const wchar_t*> filled;
  } pages[] = {
      {L"fun_set_opt", L"function", {L"guest_user_text", L"language_mode_combo", L"viewer_check"}},
      {L"push_stream_opt",
       L"push",
       {L"quick_push_flow_btn", L"add_strem_second_btn", L"push_stream_platform_lab1",
        L"push_stream_resolution_lab1", L"push_stream_status_lab1", L"stop_push_stream1",
        L"push_stream_platform_lab2", L"start_push_stream2", L"edit_stream_address_btn2"}},
      {L"video_set_opt",
       L"video",
       {L"use_mode_combo", L"camera_list_combo", L"resolution_combo", L"v_prior_combo",
        L"beauty_set_btn"}},
      {L"audio_set_opt",
       L"audio",
       {L"mic_list_combo", L"mic_test_btn", L"speaker_list_combo", L"speaker_test_btn"}},
      {L"about_opt",
       L"about",
       {L"logo_lab", L"version_lab", L"version_check_btn", L"service_hotline_lab",
        L"company_info", L"copyright_info", L"privacy_btn", L"user_agreement_btn"}},
  };
  RunSettings(owner_window_.hwnd(), &owner_, 1, 0,
              [&](CSettingFrame*, HWND hwnd, CPaintManagerUI* pm) {
                for (const Page& page : pages) {
                  SCOPED_TRACE(std::wstring(page.name));
                  dialog_test::ClickOn(hwnd, pm, page.option);
                  Pump(200);
                  auto shot = dialog_test::Shoot(hwnd, pm);
                  ASSERT_TRUE(shot->printed());
                  ASSERT_EQ(shot->width(), 760);
                  ASSERT_EQ(shot->height(), 560);
                  // The chosen page's option stands out of the bar.
                  for (const Page& other : pages) {
                    CControlUI* option = pm->FindControl(other.option);
                    const RECT rc = option->GetPos();
                    EXPECT_EQ(shot->Pixel(rc.left + 4, rc.top + 4),
                              other.option == page.option ? selected : nav)
                        << std::wstring(other.option);
                    EXPECT_GT(dialog_test::InkOf(*shot, pm, other.option), 30);
                  }
                  for (const wchar_t* name : page.filled) {
                    EXPECT_GT(dialog_test::InkOf(*shot, pm, name), 30) << std::wstring(name);
                  }
                  EXPECT_TRUE(shot->Save(L"setting_" + std::wstring(page.name) + L"_" +
                                         dialog_test::SkinFolder(GetParam().skin) + L"_" +
                                         GetParam().language + L".png"));
                }
                dialog_test::ClickOn(hwnd, pm, L"closebtn");
              });
}

INSTANTIATE_TEST_SUITE_P(Looks, SettingScreenshotTest,
                         ::testing::Values(dialog_test::Look{0, L"zh_CN"},
                                           dialog_test::Look{0, L"en_US"},
                                           dialog_test::Look{1, L"zh_CN"},
                                           dialog_test::Look{1, L"en_US"}),
                         [](const ::testing::TestParamInfo<dialog_test::Look>& info) {
                           return dialog_test::LookName(info.param);
                         });

TEST(SettingTextsTest, EveryTextOfTheWindowInEveryLanguage) {
  // The ids the layouts name, and those the window sets itself.
  std::vector<std::wstring> ids = {L"s.main.title", L"s.zentavo",      L"s.have.new.ver",
                                   L"s.new.ver",    L"s.stop.test",    L"s.test.mic",
                                   L"s.test.speaker", L"s.pushstreming", L"s.filemax.tips",
                                   L"s.file.format.error", L"s.av.nodev"};
  for (const wchar_t* layout : {L"xml/blue/setting_frame.xml", L"xml/orange/setting_frame.xml",
                                L"xml/blue/push_stream_list_item.xml",
                                L"xml/orange/push_stream_list_item.xml"}) {
    ASSERT_TRUE(dialog_test::AddLayoutTextIds(layout, &ids)) << std::wstring(layout);
  }
  ASSERT_GT(ids.size(), 50u);
  CMutiLanSupport* table = CMutiLanSupport::Instance();
  for (const wchar_t* language : {L"zh_CN", L"zh_TW", L"en_US"}) {
    ASSERT_TRUE(table->LoadFromResFile(130, L"xml\\language.xml", true, language, L"xml"));
    for (const std::wstring& id : ids) {
      EXPECT_FALSE(table->GetTextForId(id.c_str()).empty()) << std::wstring(language) << " " << id;
    }
    const std::wstring format = table->GetTextForId(L"s.have.new.ver");
    int numbers = 0;
    for (size_t at = format.find(L"%d"); at != std::wstring::npos; at = format.find(L"%d", at + 1)) {
      ++numbers;
    }
    EXPECT_EQ(numbers, 4) << std::wstring(language);
  }
}
