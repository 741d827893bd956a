#include "windows/device_change/device_frame.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "windows/common/tests/dialog_test_support.h"

using namespace DuiLib;
using dialog_test::Look;

namespace {

// "Микрофон 麦克风 (Realtek® Audio)" in UTF-8.
const char kName[] =
    "\xD0\x9C\xD0\xB8\xD0\xBA\xD1\x80\xD0\xBE\xD1\x84\xD0\xBE\xD0\xBD \xE9\xBA\xA6\xE5\x85\x8B"
    "\xE9\xA3\x8E (Realtek\xC2\xAE Audio)";
const wchar_t kWideName[] = L"Микрофон 麦克风 (Realtek® Audio)";

class DeviceFrameTest : public ::testing::TestWithParam<Look> {
 protected:
  void SetUp() override { dialog_test::UseLook(GetParam()); }

  dialog_test::OwnerWindow owner_;
};

}  // namespace

TEST(DeviceFramePromptTest, TextIdFollowsUseAndKindAndTheNameFillsItsPlace) {
  EXPECT_STREQ(CDeviceFrame::PromptTextId(false, false), L"s.dev.hotplug");
  EXPECT_STREQ(CDeviceFrame::PromptTextId(false, true), L"s.dev.hotplug");
  EXPECT_STREQ(CDeviceFrame::PromptTextId(true, false), L"s.dev.hotplug.video");
  EXPECT_STREQ(CDeviceFrame::PromptTextId(true, true), L"s.dev.hotplug.mic");
  EXPECT_EQ(CDeviceFrame::FillName(L"A [%s] b %s", L"x%sy"), L"A [x%sy] b %s");
  EXPECT_EQ(CDeviceFrame::FillName(L"no place", L"x"), L"no place");
}

TEST_P(DeviceFrameTest, PromptTextCancelButtonAndResult) {
  struct Case {
    bool in_use, microphone;
    const wchar_t* click;
    UINT want;
  } cases[] = {
      {false, false, L"btn_ok", 1},    {false, true, L"btn_cancel", 0},
      {true, false, L"closebtn", 0},   {true, true, L"btn_ok", 1},
      {false, false, L"closebtn", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.in_use) + std::to_string(c.microphone));
    auto* prompt = new CDeviceFrame(c.in_use, c.microphone, kName);
    ASSERT_NE(dialog_test::CreateLikeTheClient(prompt, owner_.hwnd(), L"CDeviceFrame"), nullptr);
    std::wstring text;
    bool cancel_visible = false;
    bool timed_out = false;
    const UINT result = dialog_test::RunModal(
        prompt,
        [&](HWND hwnd) {
          CPaintManagerUI* pm = prompt->GetPaintManager();
          text = pm->FindControl(L"dev_name_lab")->GetText();
          cancel_visible = pm->FindControl(L"btn_cancel")->IsVisible();
          EXPECT_TRUE(dialog_test::ClickOn(hwnd, pm, c.click));
        },
        &timed_out);
    EXPECT_FALSE(timed_out);
    EXPECT_EQ(result, c.want);
    const std::wstring expected = CDeviceFrame::FillName(
        CMutiLanSupport::Instance()->GetTextForId(CDeviceFrame::PromptTextId(c.in_use, c.microphone)),
        kWideName);
    EXPECT_EQ(text, expected);
    EXPECT_NE(text.find(kWideName), std::wstring::npos);
    EXPECT_EQ(cancel_visible, !c.in_use);
  }
}

TEST_P(DeviceFrameTest, Screenshots) {
  const bool orange = GetParam().skin == 1;
  const DWORD caption = orange ? 0xF4F4F4 : 0x252A33;
  const DWORD accent = orange ? 0xF89B33 : 0x2F9AFF;
  for (bool in_use : {true, false}) {
    auto* prompt = new CDeviceFrame(in_use, true, kName);
    ASSERT_NE(dialog_test::CreateLikeTheClient(prompt, owner_.hwnd(), L"CDeviceFrame"), nullptr);
    bool timed_out = false;
    dialog_test::RunModal(
        prompt,
        [&](HWND hwnd) {
          CPaintManagerUI* pm = prompt->GetPaintManager();
          auto shot = dialog_test::Shoot(hwnd, pm);
          ASSERT_TRUE(shot->printed());
          EXPECT_EQ(shot->Pixel(200, 12), caption);
          EXPECT_EQ(shot->Pixel(0, 0), 0x707070u);
          const POINT ok = dialog_test::CenterOf(pm, L"btn_ok");
          EXPECT_EQ(shot->Pixel(ok.x - 36, ok.y), accent);
          std::vector<const wchar_t*> texts = {L"title_lab", L"btn_ok"};
          if (!in_use) texts.push_back(L"btn_cancel");
          for (const wchar_t* name : texts) {
            EXPECT_GT(dialog_test::InkOf(*shot, pm, name), 30) << std::wstring(name);
          }
          // The prompt wraps over more than one line.
          EXPECT_GT(dialog_test::InkOf(*shot, pm, L"dev_name_lab"), 300);
          EXPECT_TRUE(shot->Save(L"device_change_" + std::wstring(in_use ? L"in_use_" : L"") +
                                 dialog_test::SkinFolder(GetParam().skin) + L"_" +
                                 GetParam().language + L".png"));
          dialog_test::ClickOn(hwnd, pm, L"closebtn");
        },
        &timed_out);
    EXPECT_FALSE(timed_out);
  }
}

INSTANTIATE_TEST_SUITE_P(Looks, DeviceFrameTest,
                         ::testing::Values(Look{0, L"zh_CN"}, Look{0, L"en_US"},
                                           Look{1, L"zh_CN"}, Look{1, L"en_US"}),
                         [](const ::testing::TestParamInfo<Look>& info) {
                           return dialog_test::LookName(info.param);
                         });
