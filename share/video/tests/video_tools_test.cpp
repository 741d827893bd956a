// The video tool windows: their buttons call the owner, SetToolsState calls nothing, the
// settings record sets the check boxes, and both windows sit centred over the video.

#include <gtest/gtest.h>

#include "foundation/app_config.h"
#include "share/video/tests/render_test_window.h"
#include "share/video/video_render_win.h"
#include "share/video/video_tools_frame.h"
#include "tests/support/window_pixels.h"

namespace video_test {
namespace {

// A left click at the middle of a control, as mouse messages to its window.
void ClickControl(DuiLib::WindowImplBase& window, const wchar_t* name) {
  DuiLib::CControlUI* control = window.GetPaintManager()->FindControl(name);
  ASSERT_TRUE(control) << name;
  const RECT& rect = control->GetPos();
  const LPARAM at = MAKELPARAM((rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2);
  SendMessageW(window.GetHWND(), WM_MOUSEMOVE, 0, at);
  SendMessageW(window.GetHWND(), WM_LBUTTONDOWN, MK_LBUTTON, at);
  SendMessageW(window.GetHWND(), WM_LBUTTONUP, 0, at);
}

bool Checked(DuiLib::WindowImplBase& window, const wchar_t* name) {
  auto* check = static_cast<DuiLib::CCheckBoxUI*>(window.GetPaintManager()->FindControl(name));
  return check && check->GetCheck();
}

template <typename Frame>
HWND Open(Frame& frame) {
  HWND window = frame.Create(nullptr, frame.GetWindowClassName(), WS_POPUP, WS_EX_TOOLWINDOW);
  frame.ShowWindow(true, false);
  tarvo_test::PumpMessages(50);
  return window;
}

TEST(VideoToolsFrame, ButtonsAndCheckBoxesCallTheOwner) {
  GetAppConfig()->flip = 0;
  GetAppConfig()->mirror = 0;
  RecordingDelegate owner;
  CVideoToolsFrame tools(&owner);
  ASSERT_TRUE(Open(tools));
  EXPECT_TRUE(owner.calls.empty());  // "windowinit" reports nothing.
  ClickControl(tools, L"clockwise_btn");
  ClickControl(tools, L"anti_clockwise_btn");
  ClickControl(tools, L"flip_check");
  ClickControl(tools, L"mirror_check");
  ClickControl(tools, L"flip_check");
  const std::vector<ToolCall> expected = {
      {"rotate", 1}, {"rotate", 0}, {"flip", 1}, {"mirror", 1}, {"flip", 0}};
  ASSERT_EQ(owner.calls.size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(owner.calls[i].operation, expected[i].operation) << i;
    EXPECT_EQ(owner.calls[i].value, expected[i].value) << i;
  }
  owner.calls.clear();
  tools.SetToolsState(true, true);
  EXPECT_TRUE(Checked(tools, L"flip_check"));
  EXPECT_TRUE(Checked(tools, L"mirror_check"));
  tools.SetToolsState(false, true);
  EXPECT_TRUE(Checked(tools, L"flip_check"));
  EXPECT_FALSE(Checked(tools, L"mirror_check"));
  EXPECT_TRUE(owner.calls.empty());
  DestroyWindow(tools.GetHWND());
}

TEST(VideoToolsFrame, TheSettingsRecordSetsTheCheckBoxes) {
  const struct {
    int flip;
    int mirror;
  } cases[] = {{1, 0}, {0, 1}, {1, 1}, {0, 0}};
  for (const auto& settings : cases) {
    GetAppConfig()->flip = settings.flip;
    GetAppConfig()->mirror = settings.mirror;
    RecordingDelegate owner;
    CVideoToolsFrame tools(&owner);
    ASSERT_TRUE(Open(tools));
    EXPECT_EQ(Checked(tools, L"flip_check"), settings.flip != 0);
    EXPECT_EQ(Checked(tools, L"mirror_check"), settings.mirror != 0);
    EXPECT_TRUE(owner.calls.empty());
    DestroyWindow(tools.GetHWND());
  }
  GetAppConfig()->flip = 0;
  GetAppConfig()->mirror = 0;
}

TEST(PickToolsFrame, PickStartsPickingAndResetGivesPureGreen) {
  RecordingDelegate owner;
  CPickToolsFrame tools(&owner);
  ASSERT_TRUE(Open(tools));
  ClickControl(tools, L"pick_btn");
  ClickControl(tools, L"reset_btn");
  ASSERT_EQ(owner.calls.size(), 2u);
  EXPECT_EQ(owner.calls[0].operation, "pick");
  EXPECT_EQ(owner.calls[0].value, 1u);
  EXPECT_EQ(owner.calls[1].operation, "colour");
  EXPECT_EQ(owner.calls[1].value, 0x0000FF00u);
  // The same colour the render window holds before any pick.
  EXPECT_EQ(owner.calls[1].value, static_cast<std::uint32_t>(CVideoRenderWin::kInitialPick));
  DestroyWindow(tools.GetHWND());
}

TEST(VideoToolWindows, ANullOwnerReceivesNothing) {
  CVideoToolsFrame video_tools(nullptr);
  CPickToolsFrame pick_tools(nullptr);
  ASSERT_TRUE(Open(video_tools));
  ASSERT_TRUE(Open(pick_tools));
  for (const wchar_t* name :
       {L"clockwise_btn", L"anti_clockwise_btn", L"flip_check", L"mirror_check"}) {
    ClickControl(video_tools, name);
  }
  ClickControl(pick_tools, L"pick_btn");
  ClickControl(pick_tools, L"reset_btn");
  EXPECT_TRUE(IsWindow(video_tools.GetHWND()));
  DestroyWindow(video_tools.GetHWND());
  DestroyWindow(pick_tools.GetHWND());
}

TEST(VideoToolWindows, EachSitsCentredAboveTheBottomOfTheVideo) {
  const RECT video{100, 200, 740, 560};
  CVideoToolsFrame video_tools(nullptr);
  CPickToolsFrame pick_tools(nullptr);
  ASSERT_TRUE(Open(video_tools));
  ASSERT_TRUE(Open(pick_tools));
  video_tools.Place(video);
  pick_tools.Place(video);
  RECT rect{};
  GetWindowRect(video_tools.GetHWND(), &rect);
  EXPECT_EQ(rect.left, 100 + 320 - 110);
  EXPECT_EQ(rect.bottom, 560 - 15);
  EXPECT_EQ(rect.right - rect.left, 220);
  EXPECT_TRUE(IsWindowVisible(video_tools.GetHWND()));
  GetWindowRect(pick_tools.GetHWND(), &rect);
  EXPECT_EQ(rect.left, 100 + 320 - 240);
  EXPECT_EQ(rect.bottom, 560 - 72);
  EXPECT_EQ(rect.right - rect.left, 480);
  pick_tools.Hide();
  EXPECT_FALSE(IsWindowVisible(pick_tools.GetHWND()));
  DestroyWindow(video_tools.GetHWND());
  DestroyWindow(pick_tools.GetHWND());
}

}  // namespace
}  // namespace video_test
