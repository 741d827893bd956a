// The device test window's pictures in place of the camera (size limit, unreadable files) and
// every step as the user sees it, header pictures included, in both skins and two languages.

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "foundation/app_config.h"
#include "foundation/text_convert.h"
#include "platform/duilib/UIlib.h"
#include "shell/system/system_info.h"
#include "windows/av_test/tests/av_test_support.h"
#include "windows/common/picture_choice.h"
#include "windows/common/tests/dialog_test_support.h"

using namespace DuiLib;
using namespace setting_test;
using av_test::Answer;
using av_test::RunAvTest;
using av_test::Windows;

namespace {

void DevicesConfigured() {
  StAppConfig* config = GetAppConfig();
  config->camera_dev_id = "cam1";
  config->camera_dev_name = "Integrated Camera";
  config->SetMicDevice("mic1", "Microphone (USB Audio)");
  config->SetSpeakerDevice("spk1", "Speakers (High Definition Audio)");
  config->rotation = 0;
  config->flip = 0;
  config->mirror = 0;
  config->guest_mic_default = true;
}

class AvTestPictureTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dialog_test::UseDialogLook({0, L"zh_CN"});
    DevicesConfigured();
    GetAppConfig()->use_mode = false;
    responder_.cameras = {{"cam1", "Integrated Camera", 0, 0}};
    responder_.mics = {{"mic1", "Microphone (USB Audio)", 0, 0}};
    responder_.speakers = {{"spk1", "Speakers (High Definition Audio)", 0, 0}};
  }
  void TearDown() override { picture_choice::SetFileDialogFunc(nullptr); }

  RecordingResponder responder_;
  PageEventSink page_;
  TestOwner owner_;
  dialog_test::OwnerWindow owner_window_;
};

}  // namespace

TEST_F(AvTestPictureTest, PicturesUpToTwoMebibytesAreTakenOthersRefused) {
  const auto [exact, over, text] = WriteLimitPictures(L"av_test_");
  ASSERT_EQ(ReadBytes(over).size(), 2097153u);
  const std::string fallback = UnicodeToAnsi(GetModuleDir() + L"\\res\\defalutpic.jpg");
  struct Case {
    const char* what;
    std::wstring file;
    const char* message;  // null: taken
  } cases[] = {
      {"2 MiB exactly", exact, nullptr},
      {"one byte more", over, "图片不能超过 2MB"},
      {"a text file named .jpg", text, "无法读取该图片，请选择其他文件"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    GetAppConfig()->picture_path.clear();
    page_.Clear();
    const std::wstring chosen = c.file;
    picture_choice::SetFileDialogFunc([chosen](OPENFILENAMEW* ofn) {
      EXPECT_EQ(ofn->Flags,
                static_cast<DWORD>(OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_HIDEREADONLY));
      EXPECT_STREQ(ofn->lpstrFilter, L"Image File (*.jpg;*.jpeg)");
      wcsncpy(ofn->lpstrFile, chosen.c_str(), ofn->nMaxFile - 1);
      return TRUE;
    });
    std::string path_before;
    bool picture_page = false, reset_enabled = false, reset_after_default = true;
    RunAvTest(owner_window_.hwnd(), &owner_, [&](const Windows& w) {
      picture_page = Visible(w.pm, L"pic_tip_layout");
      path_before = GetAppConfig()->picture_path;
      dialog_test::ClickOn(w.hwnd, w.pm, L"pic_upload_btn");
      reset_enabled = Enabled(w.pm, L"pic_default_btn");
      if (reset_enabled) {
        dialog_test::ClickOn(w.hwnd, w.pm, L"pic_default_btn");
        reset_after_default = Enabled(w.pm, L"pic_default_btn");
      }
      dialog_test::ClickOn(w.mask, w.maskPm, L"skip_check_btn");
    });
    // Picture mode without a configured picture starts on the default one.
    EXPECT_TRUE(picture_page);
    EXPECT_EQ(path_before, fallback);
    if (!c.message) {
      EXPECT_TRUE(reset_enabled);
      EXPECT_TRUE(page_.EventsOf(25).empty());
      // "pic_default_btn" went back to the default picture.
      EXPECT_FALSE(reset_after_default);
      EXPECT_EQ(GetAppConfig()->picture_path, fallback);
    } else {
      EXPECT_FALSE(reset_enabled);
      EXPECT_EQ(GetAppConfig()->picture_path, fallback);
      ASSERT_EQ(page_.EventsOf(25).size(), 1u);
      EXPECT_EQ(page_.EventsOf(25)[0],
                std::string(R"({"event":25,"msg":")") + c.message + R"(","status":0})");
    }
  }
}

// ---- screenshots ------------------------------------------------------------------------------

namespace {

class AvTestScreenshotTest : public ::testing::TestWithParam<dialog_test::Look> {
 protected:
  void SetUp() override {
    dialog_test::UseDialogLook(GetParam());
    DevicesConfigured();
    GetAppConfig()->use_mode = true;
    GetAppConfig()->language = GetParam().language;
    responder_.cameras = {{"cam1", "Integrated Camera", 0, 0}};
    responder_.mics = {{"mic1", "Microphone (USB Audio)", 0, 0}};
    responder_.speakers = {{"spk1", "Speakers (High Definition Audio)", 0, 0}};
    responder_.micLevel = 60;
  }

  RecordingResponder responder_;
  PageEventSink page_;
  TestOwner owner_;
  dialog_test::OwnerWindow owner_window_;
};

}  // namespace

TEST_P(AvTestScreenshotTest, EveryStepWithItsHeader) {
  const bool orange = GetParam().skin == 1;
  // The colours of the header cells: current step, another step, failed, works.
  const DWORD cells[] = {orange ? 0xF89B33u : 0x2F9AFFu, orange ? 0xC9CCD3u : 0x3A4150u,
                         0xEA494Bu, 0x3FC27Au};
  const wchar_t* headers[] = {L"video_test_logo", L"mic_test_logo", L"audio_test_logo",
                              L"res_test_logo"};
  struct Step {
    const wchar_t* name;
    int cell[4];  // per header label
    std::vector<const wchar_t*> filled;
  } steps[] = {
      {L"video", {0, 1, 1, 1}, {L"v_camera_opt", L"v_picture_opt", L"video_dev_list",
                                L"v_rotate_combo", L"v_flip_combo", L"yes_btn", L"no_btn"}},
      {L"mic", {3, 0, 1, 1}, {L"mic_dev_list", L"voice_progress_display", L"mic_question_lab"}},
      {L"speaker", {3, 2, 0, 1}, {L"speaker_dev_list", L"play_speaker_btn"}},
      {L"results", {3, 2, 3, 0}, {L"camera_res_lab", L"mic_res_lab", L"speaker_res_lab",
                                  L"open_camera", L"open_mic", L"goto_live"}},
  };
  const bool answers[] = {true, false, true};
  RunAvTest(owner_window_.hwnd(), &owner_, [&](const Windows& w) {
    for (int s = 0; s < 4; ++s) {
      const Step& step = steps[s];
      SCOPED_TRACE(std::wstring(step.name));
      if (s > 0) Answer(w, answers[s - 1]);
      Pump(150);
      auto shot = dialog_test::Shoot(w.hwnd, w.pm);
      ASSERT_TRUE(shot->printed());
      ASSERT_EQ(shot->width(), 760);
      ASSERT_EQ(shot->height(), 464);
      for (int h = 0; h < 4; ++h) {
        const RECT rc = w.pm->FindControl(headers[h])->GetPos();
        // Inside the cell's disc, above its sign.
        EXPECT_EQ(shot->Pixel(rc.left + 48, rc.top + 8), cells[step.cell[h]])
            << std::wstring(headers[h]);
        EXPECT_GT(dialog_test::InkOf(*shot, w.pm, headers[h]), 30) << std::wstring(headers[h]);
      }
      for (const wchar_t* name : step.filled) {
        EXPECT_GT(dialog_test::InkOf(*shot, w.pm, name), 20) << std::wstring(name);
      }
      EXPECT_TRUE(shot->Save(L"av_test_" + std::wstring(step.name) + L"_" +
                             dialog_test::SkinFolder(GetParam().skin) + L"_" +
                             GetParam().language + L".png"));
    }
    dialog_test::ClickOn(w.hwnd, w.pm, L"goto_live");
  });
}

INSTANTIATE_TEST_SUITE_P(Looks, AvTestScreenshotTest,
                         ::testing::Values(dialog_test::Look{0, L"zh_CN"},
                                           dialog_test::Look{0, L"en_US"},
                                           dialog_test::Look{1, L"zh_CN"},
                                           dialog_test::Look{1, L"en_US"}),
                         [](const ::testing::TestParamInfo<dialog_test::Look>& info) {
                           return dialog_test::LookName(info.param);
                         });

TEST(AvTestTextsTest, EveryTextOfTheWindowInEveryLanguage) {
  // The ids the layouts name, and those the window sets itself.
  std::vector<std::wstring> ids = {L"s.av.vtest",       L"s.av.carme",   L"s.av.mictest",
                                   L"s.av.mic",         L"s.av.speakertest", L"s.av.speaker",
                                   L"s.normal",         L"s.abnormal",   L"s.filemax.tips",
                                   L"s.file.format.error", L"s.av.nodev"};
  for (const wchar_t* layout : {L"xml/blue/av_test_frame.xml", L"xml/orange/av_test_frame.xml"}) {
    ASSERT_TRUE(dialog_test::AddLayoutTextIds(layout, &ids)) << std::wstring(layout);
  }
  ASSERT_GT(ids.size(), 40u);
  CMutiLanSupport* table = CMutiLanSupport::Instance();
  for (const wchar_t* language : {L"zh_CN", L"zh_TW", L"en_US"}) {
    ASSERT_TRUE(table->LoadFromResFile(130, L"xml\\language.xml", true, language, L"xml"));
    for (const std::wstring& id : ids) {
      EXPECT_FALSE(table->GetTextForId(id.c_str()).empty()) << std::wstring(language) << " " << id;
    }
  }
}
