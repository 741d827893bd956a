// The share toolbar: placement, sliding away and back, the annotation tools and the palette,
// the chat count and the owner's operations.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "share/sharing/share_tools_frame.h"
#include "share/tests/share_test_support.h"
#include "shell/jsevents/js_event_sender.h"

namespace {

struct Recorder : ShareDelegate, AnnoDelegate, JsEventDelegate {
  void OnShareStarted() override { calls.push_back("started"); }
  void OnShareStopped() override { calls.push_back("stopped"); }
  void OnShowShareFrame() override { calls.push_back("show"); }
  void OnLocalPlayback(const std::string&, int, int, int) override { calls.push_back("playback"); }
  void SetColor(std::uint32_t) override { calls.push_back("colour"); }
  void SetPenSize(int) override { calls.push_back("width"); }
  void SetShape(int shape) override { calls.push_back("shape " + std::to_string(shape)); }
  void SetAnniPos() override { ++anni_pos; }
  void OnNativeInvokeJS(const std::string& json, bool) override {
    std::string compact;  // Without the printer's layout.
    for (char c : json) {
      if (c != ' ' && c != '\n' && c != '\t') compact += c;
    }
    calls.push_back(compact);
  }
  void DeferExitNotify(int, const std::string&, bool) override {}
  void RestoreIfNotMaximized() override { calls.push_back("restore"); }
  std::vector<std::string> calls;
  int anni_pos = 0;
};

class ShareToolsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    share_test::StartGdiplus();
    share_test::MoveTo(100, 900);
    ASSERT_TRUE(tools_.Create(nullptr, L"ShareTools", WS_POPUP, WS_EX_TOOLWINDOW));
    tools_.Show(true);
    tarvo_test::PumpMessages(100);
    ASSERT_TRUE(tools_.GetAnnoTools());
  }
  void TearDown() override { CJsEventSender::Instance()->SetDelegate(nullptr); }

  RECT Rect() const {
    RECT rect{};
    GetWindowRect(tools_.GetHWND(), &rect);
    return rect;
  }
  DuiLib::CControlUI* Control(const wchar_t* name) {
    return tools_.GetPaintManager()->FindControl(name);
  }
  // Mouse messages to the middle of a control (no real pointer).
  void Hover(const wchar_t* name) {
    const RECT& rect = Control(name)->GetPos();
    SendMessageW(tools_.GetHWND(), WM_MOUSEMOVE, 0,
                 MAKELPARAM((rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2));
  }
  void Click(const wchar_t* name) {
    const RECT& rect = Control(name)->GetPos();
    const LPARAM at = MAKELPARAM((rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2);
    SendMessageW(tools_.GetHWND(), WM_MOUSEMOVE, 0, at);
    SendMessageW(tools_.GetHWND(), WM_LBUTTONDOWN, MK_LBUTTON, at);
    SendMessageW(tools_.GetHWND(), WM_LBUTTONUP, 0, at);
  }
  bool Selected(const wchar_t* name) {
    return static_cast<DuiLib::COptionUI*>(Control(name))->IsSelected();
  }

  Recorder recorder_;
  CShareToolsFrame tools_{&recorder_, &recorder_};
};

TEST_F(ShareToolsTest, DocksTopCentreSlidesUpAndComesBackWhenHovered) {
  const RECT docked = Rect();
  EXPECT_EQ(docked.top, 0);
  EXPECT_EQ(docked.left, (GetSystemMetrics(SM_CXSCREEN) - (docked.right - docked.left)) / 2);
  // The pointer is elsewhere: within about 4 s the bar slides up, leaving a strip.
  ASSERT_TRUE(tarvo_test::PumpUntil([&] { return tools_.IsSlidUp(); }, 8000));
  EXPECT_EQ(Rect().top, -CShareToolsFrame::kSlideHeight);
  EXPECT_EQ(Rect().left, docked.left);
  // On the strip it comes back.
  share_test::MoveTo((docked.left + docked.right) / 2, 4);
  ASSERT_TRUE(tarvo_test::PumpUntil([&] { return Rect().top == 0; }, 4000));
  EXPECT_FALSE(tools_.IsSlidUp());
  // The owner keeps the panel in place every second.
  EXPECT_GE(recorder_.anni_pos, 2);
  share_test::MoveTo(100, 900);
}

TEST_F(ShareToolsTest, CannotBeDraggedOffTheWorkArea) {
  const RECT docked = Rect();
  SetWindowPos(tools_.GetHWND(), nullptr, -20, 100, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  EXPECT_EQ(Rect().left, docked.left);
  SetWindowPos(tools_.GetHWND(), nullptr, 100, GetSystemMetrics(SM_CYSCREEN) - 20, 0, 0,
               SWP_NOSIZE | SWP_NOZORDER);
  EXPECT_EQ(Rect().top, docked.top);
  SetWindowPos(tools_.GetHWND(), nullptr, 100, 200, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  EXPECT_EQ(Rect().left, 100);
  EXPECT_EQ(Rect().top, 200);
}

TEST_F(ShareToolsTest, ToolsReachTheOwnerAndHidingResetsTheArrow) {
  Click(L"pen_anno");
  Click(L"clear_anno");
  Click(L"arrow_anno");
  Click(L"close_share");
  Click(L"setting_share");
  const std::vector<std::string> expected = {"shape 1", "shape 3", "shape 0", "stopped", "show"};
  EXPECT_EQ(recorder_.calls, expected);

  Click(L"pen_anno");
  tools_.Show(false);
  EXPECT_FALSE(IsWindowVisible(tools_.GetHWND()));
  tools_.Show(true);
  EXPECT_TRUE(Selected(L"arrow_anno"));
  EXPECT_FALSE(Selected(L"pen_anno"));
}

// A drawing tool chosen in the palette while the arrow is on shows as the pen, so that the
// arrow turns it off again; the palette's choices reach the owner.
TEST_F(ShareToolsTest, APaletteToolShowsAsThePenAndTheArrowTurnsItOff) {
  Hover(L"pen_anno");
  CAnnoToolsFrame* palette = tools_.GetAnnoTools();
  ASSERT_TRUE(IsWindowVisible(palette->GetHWND()));
  tarvo_test::PumpMessages(100);  // Its first paint lays the controls out.
  ASSERT_TRUE(Selected(L"arrow_anno"));
  const auto click_in_palette = [&](const wchar_t* name) {
    DuiLib::CControlUI* control = palette->GetPaintManager()->FindControl(name);
    ASSERT_TRUE(control) << name;
    const RECT& rect = control->GetPos();
    const LPARAM at = MAKELPARAM((rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2);
    SendMessageW(palette->GetHWND(), WM_MOUSEMOVE, 0, at);
    SendMessageW(palette->GetHWND(), WM_LBUTTONDOWN, MK_LBUTTON, at);
    SendMessageW(palette->GetHWND(), WM_LBUTTONUP, 0, at);
  };
  click_in_palette(L"grap_1");
  click_in_palette(L"pensize_5");
  click_in_palette(L"color_6");
  EXPECT_TRUE(Selected(L"pen_anno"));
  EXPECT_FALSE(Selected(L"arrow_anno"));
  Click(L"arrow_anno");
  const std::vector<std::string> expected = {"shape 2", "width", "colour", "shape 0"};
  EXPECT_EQ(recorder_.calls, expected);
}

TEST_F(ShareToolsTest, UnreadCountsAndTheChatButton) {
  const struct {
    int count;
    const wchar_t* text;
    const wchar_t* sprite;
  } cases[] = {
      {0, L"", L"source='0,0,40,40'"},
      {5, L"5", L"source='80,0,120,40'"},
      {250, L"99", L"source='80,0,120,40'"},
      {-3, L"", L"source='0,0,40,40'"},
  };
  auto* chat = static_cast<DuiLib::CButtonUI*>(Control(L"go_chat"));
  for (const auto& c : cases) {
    tools_.SetUnreadCount(c.count);
    EXPECT_EQ(chat->GetText(), c.text) << c.count;
    EXPECT_NE(chat->GetNormalImage().find(c.sprite), std::wstring::npos) << c.count;
    EXPECT_NE(chat->GetNormalImage().find(L"img\\blue\\chat.png"), std::wstring::npos);
    EXPECT_GE(tools_.GetUnreadCount(), 0);
  }
  tools_.SetUnreadCount(7);
  EXPECT_NE(chat->GetHotImage().find(L"source='120,0,160,40'"), std::wstring::npos);
  CJsEventSender::Instance()->SetDelegate(&recorder_);
  Click(L"go_chat");
  ASSERT_EQ(recorder_.calls.size(), 2u);
  EXPECT_EQ(recorder_.calls[0], "restore");
  EXPECT_EQ(recorder_.calls[1], "{\"event\":20,\"opt\":1}");
  EXPECT_EQ(chat->GetText(), L"");
  EXPECT_NE(chat->GetNormalImage().find(L"source='0,0,40,40'"), std::wstring::npos);
  EXPECT_EQ(tools_.GetUnreadCount(), 0);
}

TEST_F(ShareToolsTest, ThePaletteOpensUnderThePenAndHidesAfterThePointerLeaves) {
  HWND palette = tools_.GetAnnoTools()->GetHWND();
  ASSERT_TRUE(palette);
  Hover(L"pen_anno");
  ASSERT_TRUE(IsWindowVisible(palette));
  RECT rect{};
  GetWindowRect(palette, &rect);
  const RECT bar = Rect();
  EXPECT_EQ(rect.left, bar.left + 260 - (rect.right - rect.left) / 2);
  EXPECT_EQ(rect.top, bar.bottom - 6);
  EXPECT_EQ(rect.right - rect.left, 208);
  EXPECT_EQ(rect.bottom - rect.top, 130);
  Hover(L"sharename_lab");  // Leaves the pen.
  ASSERT_TRUE(tarvo_test::PumpUntil([&] { return !IsWindowVisible(palette); }, 3000));

  // While the pointer is on the palette it stays.
  Hover(L"pen_anno");
  share_test::MoveTo(rect.left + 20, rect.top + 20);
  Hover(L"sharename_lab");
  tarvo_test::PumpMessages(700);
  EXPECT_TRUE(IsWindowVisible(palette));
  share_test::MoveTo(100, 900);
  ASSERT_TRUE(tarvo_test::PumpUntil([&] { return !IsWindowVisible(palette); }, 3000));
}

}  // namespace
