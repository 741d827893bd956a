#include "windows/shadow/shadow_base_frame.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/duilib/UIlib.h"

using namespace DuiLib;

namespace {

int g_skin_index = 0;
int CurrentSkin() { return g_skin_index; }

void Pump(int ms) {
  const DWORD start = GetTickCount();
  do {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    Sleep(5);
  } while (static_cast<int>(GetTickCount() - start) < ms);
}

// A dialog built the way the settings dialogs are: window base first, shadow base after it,
// the shadow attached at "windowinit".
class ShadowedDialog : public WindowImplBase, public CShadowBaseFrame {
 public:
  const wchar_t* GetWindowClassName() const override { return L"ShadowedDialog"; }
  void Notify(TNotifyUI& msg) override {
    if (msg.sType == L"windowinit") AttachShadow(m_hWnd);
    WindowImplBase::Notify(msg);
  }
  bool IsEffectsIdle() { return CShadowBaseFrame::DefaultIsEffectsIdle(); }
  std::string GetUpdateServer() { return CShadowBaseFrame::DefaultUpdateServer(); }

 protected:
  CDuiString GetSkinFolder() override { return L""; }
  CDuiString GetSkinFile() override {
    return g_skin_index == 1 ? L"xml/orange/demo_frame.xml" : L"xml/blue/demo_frame.xml";
  }
  UILIB_RESOURCETYPE GetResourceType() const override { return UILIB_ZIPRESOURCE; }
  UINT GetResourceID() const override { return 130; }
};

RECT WindowRectOf(HWND hwnd) {
  RECT rc{};
  GetWindowRect(hwnd, &rc);
  return rc;
}

class ShadowBaseFrameTest : public ::testing::TestWithParam<int> {
 protected:
  static void SetUpTestSuite() {
    ASSERT_TRUE(CWndShadow::Initialize(GetModuleHandleW(nullptr)));
    CShadowBaseFrame::SetSkinIndexSource(CurrentSkin);
  }
};

}  // namespace

TEST(ShadowBaseFrameImageTest, ImageFollowsTheSkinIndex) {
  EXPECT_STREQ(CShadowBaseFrame::ShadowImageForSkin(1), L"img\\orange\\wineffect.png");
  EXPECT_STREQ(CShadowBaseFrame::ShadowImageForSkin(0), L"img\\blue\\wineffect.png");
  EXPECT_STREQ(CShadowBaseFrame::ShadowImageForSkin(2), L"img\\blue\\wineffect.png");
  EXPECT_STREQ(CShadowBaseFrame::ShadowImageForSkin(-1), L"img\\blue\\wineffect.png");
  EXPECT_FALSE(CShadowBaseFrame::DefaultIsEffectsIdle());
  EXPECT_EQ(CShadowBaseFrame::DefaultUpdateServer(), "");
}

TEST_P(ShadowBaseFrameTest, ShadowSurroundsFollowsAndGoesWithTheDialog) {
  g_skin_index = GetParam();
  auto* dialog = new ShadowedDialog;
  EXPECT_EQ(dialog->GetShadow(), nullptr);
  HWND hwnd = dialog->Create(nullptr, L"ShadowedDialog", 0x96C80000, 0, 200, 150, 0, 0);
  ASSERT_NE(hwnd, nullptr);
  UpdateWindow(hwnd);
  CWndShadow* shadow = dialog->GetShadow();
  ASSERT_NE(shadow, nullptr);
  HWND shadow_hwnd = shadow->GetHWND();
  ASSERT_NE(shadow_hwnd, nullptr);
  EXPECT_EQ(shadow->GetParentWindow(), hwnd);
  LONG_PTR ex = GetWindowLongPtrW(shadow_hwnd, GWL_EXSTYLE);
  EXPECT_TRUE(ex & WS_EX_LAYERED);
  EXPECT_TRUE(ex & WS_EX_TRANSPARENT);
  EXPECT_TRUE(IsWindowVisible(shadow_hwnd));

  auto expect_around = [&](const char* when) {
    RECT win = WindowRectOf(hwnd);
    RECT sh = WindowRectOf(shadow_hwnd);
    EXPECT_EQ(sh.left, win.left - 8) << when;
    EXPECT_EQ(sh.top, win.top - 8) << when;
    EXPECT_EQ(sh.right, win.right + 8) << when;
    EXPECT_EQ(sh.bottom, win.bottom + 8) << when;
  };
  expect_around("created");
  SetWindowPos(hwnd, nullptr, 300, 260, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  expect_around("moved");
  SetWindowPos(hwnd, nullptr, 0, 0, 520, 360, SWP_NOMOVE | SWP_NOZORDER);
  expect_around("resized");
  ShowWindow(hwnd, SW_HIDE);
  EXPECT_FALSE(IsWindowVisible(shadow_hwnd));
  ShowWindow(hwnd, SW_SHOWNOACTIVATE);
  EXPECT_TRUE(IsWindowVisible(shadow_hwnd));

  // Attaching again replaces the shadow instead of leaving the first one behind.
  dialog->AttachShadow(hwnd);
  EXPECT_FALSE(IsWindow(shadow_hwnd));
  shadow_hwnd = dialog->GetShadow()->GetHWND();
  EXPECT_TRUE(IsWindow(shadow_hwnd));

  EXPECT_FALSE(dialog->IsEffectsIdle());
  EXPECT_TRUE(dialog->GetUpdateServer().empty());

  // The window goes first (its shadow with it), then the object.
  DestroyWindow(hwnd);
  EXPECT_FALSE(IsWindow(shadow_hwnd));
  delete dialog;
  Pump(20);

  // The object may also go while its window still exists.
  auto* second = new ShadowedDialog;
  HWND hwnd2 = second->Create(nullptr, L"ShadowedDialog", 0x96C80000, 0, 200, 150, 0, 0);
  ASSERT_NE(hwnd2, nullptr);
  UpdateWindow(hwnd2);
  HWND shadow2 = second->GetShadow()->GetHWND();
  delete second;
  EXPECT_FALSE(IsWindow(shadow2));
  EXPECT_FALSE(IsWindow(hwnd2));
}

INSTANTIATE_TEST_SUITE_P(Skins, ShadowBaseFrameTest, ::testing::Values(0, 1));
