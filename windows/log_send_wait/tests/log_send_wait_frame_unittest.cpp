#include "windows/log_send_wait/log_send_wait_frame.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "windows/common/tests/dialog_test_support.h"

using namespace DuiLib;
using dialog_test::Look;
using duilib_test::PumpUntil;

namespace {

class LogSendWaitFrameTest : public ::testing::TestWithParam<Look> {
 protected:
  void SetUp() override {
    dialog_test::UseLook(GetParam());
    wait_ = std::make_unique<CLogSendWaitFrame>();
    hwnd_ = wait_->Create(owner_.hwnd(), L"LogSendWaitFrame", WS_POPUP, WS_EX_TOOLWINDOW);
    ASSERT_NE(hwnd_, nullptr);
  }
  void TearDown() override {
    if (IsWindow(hwnd_)) DestroyWindow(hwnd_);
    wait_.reset();
  }

  dialog_test::OwnerWindow owner_;
  std::unique_ptr<CLogSendWaitFrame> wait_;
  HWND hwnd_ = nullptr;
};

}  // namespace

TEST_P(LogSendWaitFrameTest, ShowsCentredUnderTheRectangleAndAnimatesUntilStopped) {
  EXPECT_FALSE(IsWindowVisible(hwnd_));
  wait_->ShowWait(RECT{100, 50, 700, 450});
  RECT rc{};
  GetWindowRect(hwnd_, &rc);
  EXPECT_EQ(rc.left, 295);
  EXPECT_EQ(rc.top, 146);
  EXPECT_EQ(rc.right - rc.left, 210);
  EXPECT_EQ(rc.bottom - rc.top, 36);
  EXPECT_TRUE(IsWindowVisible(hwnd_));
  EXPECT_NE(GetActiveWindow(), hwnd_);

  auto* animation = static_cast<CAnimationUI*>(
      wait_->GetPaintManager()->FindControl(L"logo_lab")->GetInterface(L"PngAnim"));
  ASSERT_NE(animation, nullptr);
  EXPECT_EQ(animation->GetFrameCount(), 5);
  EXPECT_TRUE(animation->IsPlaying());
  EXPECT_TRUE(PumpUntil([animation] { return animation->GetCurrentFrame() == 4; }, 3000));

  wait_->StopWait();
  EXPECT_FALSE(IsWindowVisible(hwnd_));
  EXPECT_FALSE(animation->IsPlaying());
  duilib_test::Pump(250);
  EXPECT_EQ(animation->GetCurrentFrame(), 0);

  // Shown again elsewhere.
  wait_->ShowWait(RECT{0, 0, 210, 100});
  GetWindowRect(hwnd_, &rc);
  EXPECT_EQ(rc.left, 0);
  EXPECT_EQ(rc.top, 96);
  EXPECT_TRUE(animation->IsPlaying());
}

TEST_P(LogSendWaitFrameTest, Screenshot) {
  wait_->ShowWait(RECT{100, 50, 700, 450});
  CPaintManagerUI* pm = wait_->GetPaintManager();
  dialog_test::LayOut(pm);
  const DWORD backdrop = GetParam().skin == 1 ? 0xE6E8EC : 0x1E2129;
  auto shot = dialog_test::Shoot(hwnd_, pm, backdrop);
  ASSERT_TRUE(shot->printed());
  ASSERT_EQ(shot->width(), 210);
  ASSERT_EQ(shot->height(), 36);
  EXPECT_EQ(shot->Pixel(0, 0), backdrop);  // a rounded end
  EXPECT_GT(dialog_test::InkOf(*shot, pm, L"sending_lab"), 40);
  EXPECT_GT(dialog_test::InkOf(*shot, pm, L"logo_lab", 0), 20);
  EXPECT_TRUE(shot->Save(L"log_send_wait_" + std::wstring(dialog_test::SkinFolder(GetParam().skin)) +
                         L"_" + GetParam().language + L".png"));
}

INSTANTIATE_TEST_SUITE_P(Looks, LogSendWaitFrameTest,
                         ::testing::Values(Look{0, L"zh_CN"}, Look{0, L"en_US"},
                                           Look{1, L"zh_CN"}, Look{1, L"en_US"}),
                         [](const ::testing::TestParamInfo<Look>& info) {
                           return dialog_test::LookName(info.param);
                         });
