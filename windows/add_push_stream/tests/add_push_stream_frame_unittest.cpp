#include "windows/add_push_stream/add_push_stream_frame.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "foundation/app_config.h"
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

bool Near(DWORD a, DWORD b, int tolerance) {
  for (int shift = 0; shift < 24; shift += 8) {
    const int d = static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF);
    if (d > tolerance || d < -tolerance) return false;
  }
  return true;
}

// What a run of the dialog saw and gave back.
struct Outcome {
  UINT result = 0xFFFF;
  bool timed_out = false;
  std::wstring name = L"(unset)", address = L"(unset)";
  int resolution = 7;
};

class AddPushStreamFrameTest : public ::testing::TestWithParam<Look> {
 protected:
  void SetUp() override {
    dialog_test::UseLook(GetParam());
    GetAppConfig()->live_resolution = "1080";
  }

  // Opens the dialog over `outcome`'s values (an empty name: adding) and runs `script`.
  void Run(Outcome* outcome, const std::function<void(HWND, CPaintManagerUI*)>& script) {
    auto* dialog = new CAddPushStreamFrame(&outcome->name, &outcome->address, &outcome->resolution);
    ASSERT_NE(dialog_test::CreateLikeTheClient(dialog, owner_.hwnd(), L"CAddPushStreamFrame"),
              nullptr);
    outcome->result = dialog_test::RunModal(
        dialog, [&](HWND hwnd) { script(hwnd, dialog->GetPaintManager()); }, &outcome->timed_out);
  }

  dialog_test::OwnerWindow owner_;
};

CEditUI* Edit(CPaintManagerUI* pm, const wchar_t* name) {
  return static_cast<CEditUI*>(pm->FindControl(name));
}
CComboUI* Combo(CPaintManagerUI* pm) {
  return static_cast<CComboUI*>(pm->FindControl(L"resolution_combo"));
}

void Fill(HWND hwnd, CPaintManagerUI* pm, const std::wstring& name, const std::wstring& address) {
  EXPECT_TRUE(dialog_test::ClickOn(hwnd, pm, L"platform_name_edit"));
  dialog_test::Type(hwnd, name);
  EXPECT_TRUE(dialog_test::ClickOn(hwnd, pm, L"address_edit"));
  dialog_test::Type(hwnd, address);
}

}  // namespace

TEST(AddPushStreamCheckTest, NamesAddressesAndResolutions) {
  EXPECT_STREQ(CAddPushStreamFrame::PlatformNameProblem(L""), L"s.platname.tips");
  EXPECT_STREQ(CAddPushStreamFrame::PlatformNameProblem(L"  \t"), L"s.platname.tips");
  EXPECT_STREQ(CAddPushStreamFrame::PlatformNameProblem(L"my-live"), L"s.platname2.tips");
  EXPECT_STREQ(CAddPushStreamFrame::PlatformNameProblem(L"直播。"), nullptr);  // not ASCII
  EXPECT_STREQ(CAddPushStreamFrame::PlatformNameProblem(L"Live 2"), nullptr);
  EXPECT_STREQ(CAddPushStreamFrame::PlatformNameProblem(L"Ünïcode ñame"), nullptr);
  EXPECT_TRUE(CAddPushStreamFrame::IsPushAddress(L"rtmp://a"));
  EXPECT_TRUE(CAddPushStreamFrame::IsPushAddress(L"RTMP://a"));
  EXPECT_FALSE(CAddPushStreamFrame::IsPushAddress(L"rTMP://a"));
  EXPECT_FALSE(CAddPushStreamFrame::IsPushAddress(L"rtmp:/"));
  EXPECT_FALSE(CAddPushStreamFrame::IsPushAddress(L" rtmp://a"));
  EXPECT_EQ(CAddPushStreamFrame::FirstAllowedResolution("1080"), 0);
  EXPECT_EQ(CAddPushStreamFrame::FirstAllowedResolution("720"), 1);
  EXPECT_EQ(CAddPushStreamFrame::FirstAllowedResolution("480"), 2);
  EXPECT_EQ(CAddPushStreamFrame::FirstAllowedResolution(""), 2);
}

TEST_P(AddPushStreamFrameTest, OkTakesOnlyAValidNameAndAddress) {
  // The Chinese name below must pass where the system code page has no Chinese characters.
  EXPECT_EQ(GetACP(), 1252u);
  struct Case {
    const char* what;
    const wchar_t* name;
    const wchar_t* address;
    const wchar_t* name_tip;  // null: no name tip
    bool address_tip;
  } cases[] = {
      {"hyphen", L"my-live", L"rtmp://a", L"s.platname2.tips", false},
      {"empty name", L"", L"rtmp://a", L"s.platname.tips", false},
      {"blank name", L"   ", L"rtmp://a", L"s.platname.tips", false},
      {"Chinese", L"斗鱼直播", L"rtmp://a", nullptr, false},
      {"Rtmp", L"Live", L"Rtmp://a", nullptr, true},
      {"http", L"Live", L"http://a", nullptr, true},
      {"one slash", L"Live", L"rtmp:/a", nullptr, true},
      {"RTMP", L"Live", L"RTMP://a", nullptr, false},
      {"rtmp", L"Live 2", L"rtmp://push.example.com/app/key", nullptr, false},
      {"both wrong", L"a.b", L"", L"s.platname2.tips", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const bool valid = !c.name_tip && !c.address_tip;
    Outcome out;
    out.name.clear();
    out.address.clear();
    bool name_tip_shown = false, address_tip_shown = false;
    std::wstring name_tip_id;
    Run(&out, [&](HWND hwnd, CPaintManagerUI* pm) {
      Fill(hwnd, pm, c.name, c.address);
      EXPECT_TRUE(dialog_test::ClickOn(hwnd, pm, L"ok_btn"));
      if (valid) return;
      CControlUI* name_tip = pm->FindControl(L"platform_name_error_tips");
      name_tip_shown = name_tip->IsVisible();
      name_tip_id = name_tip->GetTextId();
      address_tip_shown = pm->FindControl(L"stream_address_error_tips")->IsVisible();
      // Going back into an edit hides its tip.
      dialog_test::ClickOn(hwnd, pm, L"platform_name_edit");
      EXPECT_FALSE(name_tip->IsVisible());
      dialog_test::ClickOn(hwnd, pm, L"address_edit");
      EXPECT_FALSE(pm->FindControl(L"stream_address_error_tips")->IsVisible());
      dialog_test::ClickOn(hwnd, pm, L"cancel_btn");
    });
    EXPECT_FALSE(out.timed_out);
    if (valid) {
      EXPECT_EQ(out.result, 1u);
      EXPECT_EQ(out.name, c.name);
      EXPECT_EQ(out.address, c.address);
      EXPECT_EQ(out.resolution, 1);
      EXPECT_NE(ReadLog().find("[CAddPushStreamFrame::OnClickButton:"), std::string::npos);
      EXPECT_NE(ReadLog().find("][CAddPushStreamFrame End!]"), std::string::npos);
    } else {
      EXPECT_EQ(out.result, 0u);
      EXPECT_EQ(out.name, L"");
      EXPECT_EQ(out.address, L"");
      EXPECT_EQ(out.resolution, 7);
      EXPECT_EQ(name_tip_shown, c.name_tip != nullptr);
      if (c.name_tip) {
        EXPECT_EQ(name_tip_id, c.name_tip);
      }
      EXPECT_EQ(address_tip_shown, c.address_tip);
    }
  }
}

TEST_P(AddPushStreamFrameTest, NameCounterStopsAtTwentyAndCloseButtonsCancel) {
  for (const wchar_t* way_out : {L"closebtn", L"cancel_btn"}) {
    Outcome out;
    out.name.clear();
    std::wstring counter, typed, focused_image, unfocused_image;
    Run(&out, [&](HWND hwnd, CPaintManagerUI* pm) {
      EXPECT_EQ(pm->FindControl(L"input_name_len")->GetText(), L"0/20");
      dialog_test::ClickOn(hwnd, pm, L"platform_name_edit");
      focused_image = pm->FindControl(L"platforminput_layout")->GetBkImage();
      dialog_test::Type(hwnd, L"abcdefghijklmnopqrst");
      EXPECT_EQ(pm->FindControl(L"input_name_len")->GetText(), L"20/20");
      dialog_test::Type(hwnd, L"u");
      typed = Edit(pm, L"platform_name_edit")->GetText();
      counter = pm->FindControl(L"input_name_len")->GetText();
      dialog_test::ClickOn(hwnd, pm, L"address_edit");
      unfocused_image = pm->FindControl(L"platforminput_layout")->GetBkImage();
      dialog_test::Type(hwnd, L"rtmp://a");
      dialog_test::ClickOn(hwnd, pm, way_out);
    });
    EXPECT_FALSE(out.timed_out);
    EXPECT_EQ(out.result, 0u);
    EXPECT_EQ(out.name, L"");
    EXPECT_EQ(typed, L"abcdefghijklmnopqrst");
    EXPECT_EQ(counter, L"20/20");
    const std::wstring skin = dialog_test::SkinFolder(GetParam().skin);
    EXPECT_EQ(focused_image,
              L"file='img\\" + skin + L"\\editbk.png' source='240,0,480,36' corner='4,4,4,4'");
    EXPECT_EQ(unfocused_image,
              L"file='img\\" + skin + L"\\editbk.png' source='0,0,240,36' corner='4,4,4,4'");
  }
}

TEST_P(AddPushStreamFrameTest, LiveResolutionLimitsTheChoice) {
  struct Case {
    const char* live;
    bool editing;
    int index;
    bool enabled[3];
    int selected;
  } cases[] = {
      {"1080", false, 0, {true, true, true}, 1},
      {"720", false, 0, {false, true, true}, 1},
      {"480", false, 0, {false, false, true}, 2},
      {"", false, 0, {false, false, true}, 2},
      {"1080", true, 5, {true, true, true}, 1},
      {"1080", true, 2, {true, true, true}, 2},
      {"480", true, 0, {false, false, true}, 0},  // an existing destination keeps its size
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.live) + (c.editing ? " editing" : " adding"));
    GetAppConfig()->live_resolution = c.live;
    Outcome out;
    out.name = c.editing ? L"Old" : L"";
    out.address = c.editing ? L"rtmp://old/live" : L"";
    out.resolution = c.index;
    bool enabled[3] = {};
    int selected = -1;
    std::wstring name_text, address_text, counter;
    Run(&out, [&](HWND hwnd, CPaintManagerUI* pm) {
      CComboUI* combo = Combo(pm);
      ASSERT_EQ(combo->GetCount(), 3);
      for (int i = 0; i < 3; ++i) enabled[i] = combo->GetItemAt(i)->IsEnabled();
      selected = combo->GetCurSel();
      name_text = Edit(pm, L"platform_name_edit")->GetText();
      address_text = Edit(pm, L"address_edit")->GetText();
      counter = pm->FindControl(L"input_name_len")->GetText();
      if (!c.editing) Fill(hwnd, pm, L"New", L"rtmp://new");
      dialog_test::ClickOn(hwnd, pm, L"ok_btn");
    });
    EXPECT_FALSE(out.timed_out);
    EXPECT_EQ(out.result, 1u);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(enabled[i], c.enabled[i]) << i;
    EXPECT_EQ(selected, c.selected);
    EXPECT_EQ(out.resolution, c.selected);
    if (c.editing) {
      EXPECT_EQ(name_text, L"Old");
      EXPECT_EQ(address_text, L"rtmp://old/live");
      EXPECT_EQ(counter, L"3/20");
    }
  }
}

TEST_P(AddPushStreamFrameTest, TheUserChoosesAnAllowedResolutionOnly) {
  GetAppConfig()->live_resolution = "720";
  Outcome out;
  out.name.clear();
  Run(&out, [&](HWND hwnd, CPaintManagerUI* pm) {
    Fill(hwnd, pm, L"Live", L"rtmp://a");
    CComboUI* combo = Combo(pm);
    ASSERT_TRUE(dialog_test::ClickOn(hwnd, pm, L"resolution_combo"));
    HWND drop = combo->GetDropWindow();
    ASSERT_NE(drop, nullptr);
    const int item = combo->GetListInfo()->nItemHeight;
    SendMessageW(drop, WM_LBUTTONUP, 0, MAKELPARAM(20, item / 2));  // disabled 1920 × 1080
    EXPECT_EQ(combo->GetCurSel(), 1);
    SendMessageW(drop, WM_LBUTTONUP, 0, MAKELPARAM(20, item * 2 + item / 2));
    EXPECT_EQ(combo->GetCurSel(), 2);
    dialog_test::ClickOn(hwnd, pm, L"ok_btn");
  });
  EXPECT_FALSE(out.timed_out);
  EXPECT_EQ(out.result, 1u);
  EXPECT_EQ(out.resolution, 2);
}

TEST_P(AddPushStreamFrameTest, Screenshot) {
  const bool orange = GetParam().skin == 1;
  const DWORD title_bar = orange ? 0xF4F4F4 : 0x252A33;
  const DWORD accent = orange ? 0xF89B33 : 0x2F9AFF;
  const bool chinese = std::wstring(GetParam().language) == L"zh_CN";
  Outcome out;
  out.name.clear();
  Run(&out, [&](HWND hwnd, CPaintManagerUI* pm) {
    Fill(hwnd, pm, chinese ? L"斗鱼直播" : L"Twitch", L"http://live.example.com");
    dialog_test::ClickOn(hwnd, pm, L"ok_btn");  // the address tip shows
    dialog_test::ClickOn(hwnd, pm, L"platform_name_edit");
    auto shot = dialog_test::Shoot(hwnd, pm);
    ASSERT_TRUE(shot->printed());
    ASSERT_EQ(shot->width(), 470);
    ASSERT_EQ(shot->height(), 346);
    EXPECT_EQ(shot->Pixel(200, 12), title_bar);
    const POINT ok = dialog_test::CenterOf(pm, L"ok_btn");
    EXPECT_EQ(shot->Pixel(ok.x - 40, ok.y), accent);
    const RECT field = pm->FindControl(L"platforminput_layout")->GetPos();
    EXPECT_TRUE(Near(shot->Pixel(field.left, (field.top + field.bottom) / 2), accent, 24))
        << std::hex << shot->Pixel(field.left, (field.top + field.bottom) / 2);
    for (const wchar_t* name :
         {L"title_lab", L"platform_name_lab", L"stream_address_lab", L"resolution_lab",
          L"platform_name_edit", L"input_name_len", L"address_edit", L"stream_address_error_tips",
          L"resolution_combo", L"ok_btn", L"cancel_btn"}) {
      EXPECT_GT(dialog_test::InkOf(*shot, pm, name), 30) << std::wstring(name);
    }
    EXPECT_TRUE(shot->Save(L"add_push_stream_" + std::wstring(dialog_test::SkinFolder(GetParam().skin)) +
                           L"_" + GetParam().language + L".png"));
    dialog_test::ClickOn(hwnd, pm, L"closebtn");
  });
  EXPECT_FALSE(out.timed_out);
  EXPECT_EQ(out.result, 0u);
}

INSTANTIATE_TEST_SUITE_P(Looks, AddPushStreamFrameTest,
                         ::testing::Values(Look{0, L"zh_CN"}, Look{0, L"en_US"},
                                           Look{1, L"zh_CN"}, Look{1, L"en_US"}),
                         [](const ::testing::TestParamInfo<Look>& info) {
                           return dialog_test::LookName(info.param);
                         });
