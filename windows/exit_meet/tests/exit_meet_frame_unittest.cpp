#include "windows/exit_meet/exit_meet_frame.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "foundation/log.h"
#include "windows/common/tests/dialog_test_support.h"

using namespace DuiLib;
using dialog_test::Look;

namespace {

std::string ReadLog() {
  std::ifstream in(CLogWrapper::Instance()->GetLogPath().c_str(), std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

class ExitMeetFrameTest : public ::testing::TestWithParam<Look> {
 protected:
  void SetUp() override { dialog_test::UseLook(GetParam()); }

  dialog_test::OwnerWindow owner_;
};

}  // namespace

TEST_P(ExitMeetFrameTest, ResultFollowsPageChoiceAndButton) {
  struct Case {
    bool host;
    std::vector<const wchar_t*> clicks;
    bool clear_choice;  // neither option selected
    UINT want;
  } cases[] = {
      {false, {L"btn_ok"}, false, 2},
      {false, {L"closebtn"}, false, 0},
      {false, {L"btn_cancel"}, false, 0},
      {true, {L"btn_ok"}, false, 2},  // "leave" is chosen at the start
      {true, {L"end_meet_opt", L"btn_ok"}, false, 1},
      {true, {L"end_meet_opt", L"leave_meet_opt", L"btn_ok"}, false, 2},
      {true, {L"btn_ok"}, true, 0},
      {true, {L"closebtn"}, false, 0},
      {true, {L"btn_cancel"}, false, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.host ? "host" : "update") + " clicks " +
                 std::to_string(c.clicks.size()) + (c.clear_choice ? " cleared" : ""));
    auto* dialog = new CExitMeetFrame(c.host);
    ASSERT_NE(dialog_test::CreateLikeTheClient(dialog, owner_.hwnd(), L"ExitMeetFrame"), nullptr);
    int page = -1;
    bool leave_selected = false;
    RECT owner_rc{}, dialog_rc{};
    bool timed_out = false;
    const UINT result = dialog_test::RunModal(
        dialog,
        [&](HWND hwnd) {
          CPaintManagerUI* pm = dialog->GetPaintManager();
          page = static_cast<CTabLayoutUI*>(pm->FindControl(L"tab_layout"))->GetCurSel();
          auto* leave = static_cast<COptionUI*>(pm->FindControl(L"leave_meet_opt"));
          leave_selected = leave->IsSelected();
          if (c.clear_choice) leave->Selected(false, false);
          GetWindowRect(owner_.hwnd(), &owner_rc);
          GetWindowRect(hwnd, &dialog_rc);
          for (const wchar_t* name : c.clicks) EXPECT_TRUE(dialog_test::ClickOn(hwnd, pm, name));
        },
        &timed_out);
    EXPECT_FALSE(timed_out);
    EXPECT_EQ(result, c.want);
    EXPECT_EQ(page, c.host ? 0 : 1);
    if (c.host) {
      EXPECT_TRUE(leave_selected);
    }
    EXPECT_EQ(dialog_rc.right - dialog_rc.left, 376);
    EXPECT_EQ(dialog_rc.bottom - dialog_rc.top, 226);
    EXPECT_NEAR((dialog_rc.left + dialog_rc.right) / 2, (owner_rc.left + owner_rc.right) / 2, 1);
    EXPECT_NEAR((dialog_rc.top + dialog_rc.bottom) / 2, (owner_rc.top + owner_rc.bottom) / 2, 1);
    if (c.clicks.back() == std::wstring(L"btn_ok")) {
      const std::string record = "[CExitMeetFrame::Notify:71][ Close nRes = " +
                                 std::to_string(c.want) + "]";
      EXPECT_NE(ReadLog().find(record), std::string::npos) << record;
    }
  }
}

TEST_P(ExitMeetFrameTest, ScreenshotsOfBothPages) {
  const bool orange = GetParam().skin == 1;
  const DWORD caption = orange ? 0xF4F4F4 : 0x252A33;
  const DWORD accent = orange ? 0xF89B33 : 0x2F9AFF;
  for (bool host : {true, false}) {
    auto* dialog = new CExitMeetFrame(host);
    ASSERT_NE(dialog_test::CreateLikeTheClient(dialog, owner_.hwnd(), L"ExitMeetFrame"), nullptr);
    bool timed_out = false;
    dialog_test::RunModal(
        dialog,
        [&](HWND hwnd) {
          CPaintManagerUI* pm = dialog->GetPaintManager();
          auto shot = dialog_test::Shoot(hwnd, pm);
          ASSERT_TRUE(shot->printed());
          ASSERT_EQ(shot->width(), 376);
          EXPECT_EQ(shot->Pixel(200, 12), caption);
          EXPECT_EQ(shot->Pixel(0, 0), 0x707070u);  // the round corner shows what is behind
          const POINT ok = dialog_test::CenterOf(pm, L"btn_ok");
          EXPECT_EQ(shot->Pixel(ok.x - 36, ok.y), accent);
          std::vector<const wchar_t*> texts = {L"title_lab", L"btn_ok", L"btn_cancel"};
          if (host) {
            texts.insert(texts.end(), {L"end_live_tips", L"end_meet_opt", L"leave_meet_opt"});
          } else {
            texts.push_back(L"update_tips");
          }
          for (const wchar_t* name : texts) {
            EXPECT_GT(dialog_test::InkOf(*shot, pm, name), 40) << std::wstring(name);
          }
          EXPECT_TRUE(shot->Save(L"exit_meet_" +
                                 std::wstring(host ? L"host_" : L"update_") +
                                 std::wstring(dialog_test::SkinFolder(GetParam().skin)) + L"_" +
                                 GetParam().language + L".png"));
          dialog_test::ClickOn(hwnd, pm, L"closebtn");
        },
        &timed_out);
    EXPECT_FALSE(timed_out);
  }
}

INSTANTIATE_TEST_SUITE_P(Looks, ExitMeetFrameTest,
                         ::testing::Values(Look{0, L"zh_CN"}, Look{0, L"en_US"},
                                           Look{1, L"zh_CN"}, Look{1, L"en_US"}),
                         [](const ::testing::TestParamInfo<Look>& info) {
                           return dialog_test::LookName(info.param);
                         });
