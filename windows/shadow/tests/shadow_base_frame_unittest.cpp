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

// The shadow's picture is the skin's shadow image in nine slices: a dark band just outside the
// window that fades outwards, and nothing over the window itself.
TEST_P(ShadowBaseFrameTest, SkinShadowImageIsDrawnBesideTheWindow) {
  g_skin_index = GetParam();
  auto* dialog = new ShadowedDialog;
  HWND hwnd = dialog->Create(nullptr, L"ShadowedDialog", 0x96C80000, 0, 200, 150, 0, 0);
  ASSERT_NE(hwnd, nullptr);
  UpdateWindow(hwnd);  // the first paint attaches the shadow
  ASSERT_NE(dialog->GetShadow(), nullptr);
  SetWindowPos(hwnd, nullptr, 0, 0, 240, 180, SWP_NOMOVE | SWP_NOZORDER);
  SIZE size{};
  const DWORD* bits = dialog->GetShadow()->GetPictureBits(&size);
  ASSERT_NE(bits, nullptr);
  ASSERT_EQ(size.cx, 240 + 16);
  ASSERT_EQ(size.cy, 180 + 16);
  auto alpha_at = [&](int x, int y) { return static_cast<int>(bits[y * size.cx + x] >> 24); };
  const int mid_x = size.cx / 2;
  const int mid_y = size.cy / 2;
  struct Side {
    const char* name;
    int x_in, y_in;    // the pixel just outside the window
    int x_out, y_out;  // the shadow's outer edge
  };
  const Side sides[] = {
      {"left", 7, mid_y, 0, mid_y},
      {"right", size.cx - 8, mid_y, size.cx - 1, mid_y},
      {"top", mid_x, 7, mid_x, 0},
      {"bottom", mid_x, size.cy - 8, mid_x, size.cy - 1},
  };
  for (const Side& side : sides) {
    EXPECT_GE(alpha_at(side.x_in, side.y_in), 80) << side.name;
    EXPECT_LE(alpha_at(side.x_in, side.y_in), 120) << side.name;
    EXPECT_LT(alpha_at(side.x_out, side.y_out), 16) << side.name;
    EXPECT_LT(alpha_at(side.x_out, side.y_out), alpha_at(side.x_in, side.y_in)) << side.name;
    // Premultiplied black: no colour above the alpha.
    EXPECT_EQ(bits[side.y_in * size.cx + side.x_in] & 0x00FFFFFF, 0u) << side.name;
  }
  EXPECT_EQ(bits[mid_y * size.cx + mid_x], 0u) << "the window's own area stays clear";
  EXPECT_EQ(bits[20 * size.cx + 20], 0u) << "inside the window, near its corner";
  DestroyWindow(hwnd);
  delete dialog;
  Pump(20);
}

INSTANTIATE_TEST_SUITE_P(Skins, ShadowBaseFrameTest, ::testing::Values(0, 1));
