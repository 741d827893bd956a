#include "windows/mask_layer/mask_layer_frame.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/support/window_pixels.h"
#include "windows/common/tests/dialog_test_support.h"

using namespace DuiLib;
using dialog_test::Look;

namespace {

// The device test window's stand-in: notes when it is asked to close and whether the layer
// was still there then.
HWND g_layer = nullptr;
int g_companion_closes = 0;
bool g_layer_alive_at_close = false;

LRESULT CALLBACK CompanionProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_CLOSE) {
    ++g_companion_closes;
    g_layer_alive_at_close = IsWindow(g_layer) != FALSE;
  }
  return DefWindowProcW(hwnd, msg, wp, lp);
}

HWND CreateCompanion(HWND layer) {
  static const bool registered = [] {
    WNDCLASSW wc{};
    wc.lpfnWndProc = CompanionProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    wc.lpszClassName = L"MaskCompanion";
    return RegisterClassW(&wc) != 0;
  }();
  (void)registered;
  RECT rc{};
  GetWindowRect(layer, &rc);
  const int x = (rc.left + rc.right - 760) / 2, y = (rc.top + rc.bottom - 464) / 2 - 30;
  return CreateWindowExW(0, L"MaskCompanion", L"AvTestFrame", WS_POPUP, x, y, 760, 464, layer,
                         nullptr, GetModuleHandleW(nullptr), nullptr);
}

class MaskLayerFrameTest : public ::testing::TestWithParam<Look> {
 protected:
  void SetUp() override {
    dialog_test::UseLook(GetParam());
    g_companion_closes = 0;
    g_layer_alive_at_close = false;
  }

  dialog_test::OwnerWindow owner_{RECT{200, 160, 1480, 880}};
};

}  // namespace

TEST_P(MaskLayerFrameTest, SkipClosesTheCompanionFirstThenTheLayer) {
  for (bool with_companion : {true, false}) {
    SCOPED_TRACE(with_companion ? "with companion" : "alone");
    g_companion_closes = 0;
    auto* layer = new CMaskLayerFrame(true);
    g_layer = dialog_test::CreateLikeTheClient(layer, owner_.hwnd(), L"CMaskLayerFrame");
    ASSERT_NE(g_layer, nullptr);
    HWND companion = with_companion ? CreateCompanion(g_layer) : nullptr;
    layer->SetCompanion(companion);
    RECT owner_rc{}, layer_rc{};
    GetWindowRect(owner_.hwnd(), &owner_rc);
    bool companion_shown = false, skip_visible = false;
    bool timed_out = false;
    const UINT result = dialog_test::RunModal(
        layer,
        [&](HWND hwnd) {
          GetWindowRect(hwnd, &layer_rc);
          companion_shown = companion && IsWindowVisible(companion);
          CPaintManagerUI* pm = layer->GetPaintManager();
          skip_visible = pm->FindControl(L"skip_check_btn")->IsVisible();
          EXPECT_TRUE(dialog_test::ClickOn(hwnd, pm, L"skip_check_btn"));
        },
        &timed_out);
    EXPECT_FALSE(timed_out);
    EXPECT_EQ(result, 1u);
    EXPECT_TRUE(EqualRect(&layer_rc, &owner_rc));
    EXPECT_TRUE(skip_visible);
    EXPECT_EQ(companion_shown, with_companion);
    EXPECT_EQ(g_companion_closes, with_companion ? 1 : 0);
    if (with_companion) {
      EXPECT_TRUE(g_layer_alive_at_close);
      EXPECT_FALSE(IsWindow(companion));
    }
  }
}

TEST_P(MaskLayerFrameTest, MessageEnablesOrDisablesTheSkipButton) {
  auto* layer = new CMaskLayerFrame(true);
  ASSERT_NE(dialog_test::CreateLikeTheClient(layer, owner_.hwnd(), L"CMaskLayerFrame"), nullptr);
  bool timed_out = false;
  const UINT result = dialog_test::RunModal(
      layer,
      [&](HWND hwnd) {
        CControlUI* skip = layer->GetPaintManager()->FindControl(L"skip_check_btn");
        struct Step {
          WPARAM w;
          bool enabled;
        } steps[] = {{2, false}, {1, true}, {0, false}, {1, true}};
        for (const Step& step : steps) {
          SendMessageW(hwnd, CMaskLayerFrame::kSkipButtonMessage, step.w, 0);
          EXPECT_EQ(skip->IsEnabled(), step.enabled) << step.w;
        }
        SendMessageW(hwnd, CMaskLayerFrame::kSkipButtonMessage, 2, 0);
        dialog_test::ClickOn(hwnd, layer->GetPaintManager(), L"skip_check_btn");  // disabled
        duilib_test::Pump(50);
        EXPECT_TRUE(IsWindow(hwnd));
        PostMessageW(hwnd, CMaskLayerFrame::kSkipButtonMessage, 1, 0);
        duilib_test::Pump(50);
        EXPECT_TRUE(skip->IsEnabled());
        dialog_test::ClickOn(hwnd, layer->GetPaintManager(), L"skip_check_btn");
      },
      &timed_out);
  EXPECT_FALSE(timed_out);
  EXPECT_EQ(result, 1u);
}

TEST_P(MaskLayerFrameTest, TranslucentLayerWithoutOrWithTheButton) {
  for (bool show_skip : {false, true}) {
    auto* layer = new CMaskLayerFrame(show_skip);
    ASSERT_NE(dialog_test::CreateLikeTheClient(layer, owner_.hwnd(), L"CMaskLayerFrame"),
              nullptr);
    HWND companion = CreateCompanion(layer->GetHWND());
    layer->SetCompanion(companion);
    bool timed_out = false;
    dialog_test::RunModal(
        layer,
        [&](HWND hwnd) {
          CPaintManagerUI* pm = layer->GetPaintManager();
          EXPECT_EQ(pm->FindControl(L"skip_check_btn")->IsVisible(), show_skip);
          EXPECT_TRUE(pm->IsLayered());
          EXPECT_TRUE(GetWindowLongPtrW(hwnd, GWL_EXSTYLE) & WS_EX_LAYERED);
          auto shot = dialog_test::Shoot(hwnd, pm, 0xE6E8EC);
          SIZE size{};
          const DWORD* bits = pm->GetBackBufferBits(&size);
          ASSERT_NE(bits, nullptr);
          ASSERT_EQ(size.cx, 1280);
          ASSERT_EQ(size.cy, 720);
          // Translucent black everywhere but the rounded corners.
          EXPECT_EQ(bits[360 * size.cx + 100], 0x99000000u);
          EXPECT_EQ(bits[0], 0u);
          if (show_skip) {
            EXPECT_GT(dialog_test::InkOf(*shot, pm, L"skip_check_btn", 4), 40);
            EXPECT_TRUE(shot->Save(L"mask_layer_" +
                                   std::wstring(dialog_test::SkinFolder(GetParam().skin)) + L"_" +
                                   GetParam().language + L".png"));
          }
          PostMessageW(hwnd, WM_CLOSE, 0, 0);
        },
        &timed_out);
    EXPECT_FALSE(timed_out);
    if (IsWindow(companion)) DestroyWindow(companion);
  }
}

// What the screen shows at the companion's centre: its white, not the layer over it, once the
// layer is shown and again after the layer itself was brought to the top (a click on it).
TEST_P(MaskLayerFrameTest, TheCompanionStaysInFrontOfTheLayer) {
  auto* layer = new CMaskLayerFrame(true);
  ASSERT_NE(dialog_test::CreateLikeTheClient(layer, owner_.hwnd(), L"CMaskLayerFrame"), nullptr);
  HWND companion = CreateCompanion(layer->GetHWND());
  layer->SetCompanion(companion);
  const auto companion_on_screen = [&] {
    RECT rc{};
    GetWindowRect(companion, &rc);
    const int x = (rc.left + rc.right) / 2, y = (rc.top + rc.bottom) / 2;
    tarvo_test::Pixels pixel;
    return tarvo_test::ReadScreenPixels(RECT{x, y, x + 1, y + 1}, &pixel) &&
           pixel.At(0, 0) == 0xFFFFFFu;
  };
  bool timed_out = false;
  dialog_test::RunModal(
      layer,
      [&](HWND hwnd) {
        EXPECT_TRUE(tarvo_test::PumpUntil(companion_on_screen)) << "after the layer was shown";
        SetWindowPos(hwnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
        SetForegroundWindow(hwnd);
        EXPECT_TRUE(tarvo_test::PumpUntil(companion_on_screen)) << "after the layer was raised";
        PostMessageW(hwnd, WM_CLOSE, 0, 0);
      },
      &timed_out);
  EXPECT_FALSE(timed_out);
  if (IsWindow(companion)) DestroyWindow(companion);
}

INSTANTIATE_TEST_SUITE_P(Looks, MaskLayerFrameTest,
                         ::testing::Values(Look{0, L"zh_CN"}, Look{0, L"en_US"},
                                           Look{1, L"zh_CN"}, Look{1, L"en_US"}),
                         [](const ::testing::TestParamInfo<Look>& info) {
                           return dialog_test::LookName(info.param);
                         });
