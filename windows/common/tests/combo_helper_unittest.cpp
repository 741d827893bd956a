#include "windows/common/combo_helper.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/duilib/tests/test_support.h"

using namespace DuiLib;
using duilib_test::DemoFrame;
using duilib_test::PumpUntil;

namespace {

struct SkinCase {
  const wchar_t* folder;
  int index;
  DWORD selected_text;
  DWORD unusable_text;
};

class ComboHelperTest : public ::testing::TestWithParam<SkinCase> {
 protected:
  void SetUp() override {
    ASSERT_TRUE(CMutiLanSupport::Instance()->LoadFromResFile(130, L"xml\\language.xml", true,
                                                             L"en_US", L"xml"));
    frame_ = std::make_unique<DemoFrame>(GetParam().folder);
    frame_->on_notify = [](DemoFrame*, TNotifyUI& msg) {
      combo_helper::OnDropNotify(msg, GetParam().index);
    };
    ASSERT_NE(frame_->CreateDemo(), nullptr);
    ASSERT_TRUE(PumpUntil([this] { return frame_->Count(L"windowinit") == 1; }));
    combo_ = frame_->Find<CComboUI>(L"dev_combo");
    ASSERT_NE(combo_, nullptr);
    frame_->Find<CTabLayoutUI>(L"main_tab")->SelectItem(1);
    UpdateWindow(frame_->GetHWND());
  }
  void TearDown() override {
    if (frame_ && IsWindow(frame_->GetHWND())) DestroyWindow(frame_->GetHWND());
  }

  std::unique_ptr<DemoFrame> frame_;
  CComboUI* combo_ = nullptr;
};

}  // namespace

TEST_P(ComboHelperTest, EmptyListShowsTheDisabledNoDeviceEntryWithoutAnEvent) {
  combo_helper::FillDevices(combo_, {{"old", "Old camera"}}, GetParam().index);
  combo_->SelectItem(0);
  const int events = frame_->Count(L"itemselect");

  EXPECT_EQ(combo_helper::FillDevices(combo_, {}, GetParam().index), 0);
  ASSERT_EQ(combo_->GetCount(), 1);
  EXPECT_FALSE(combo_->GetItemAt(0)->IsEnabled());
  EXPECT_FALSE(combo_->IsEnabled());
  EXPECT_EQ(combo_->GetCurSel(), 0);
  EXPECT_EQ(combo_->GetText(), L"No device");
  EXPECT_EQ(frame_->Count(L"itemselect"), events);
  EXPECT_EQ(combo_->GetListInfo()->dwSelectedTextColor, GetParam().unusable_text);
  // A disabled combo does not open.
  const POINT pt{(combo_->GetPos().left + combo_->GetPos().right) / 2,
                 (combo_->GetPos().top + combo_->GetPos().bottom) / 2};
  duilib_test::Click(frame_->GetHWND(), pt.x, pt.y);
  EXPECT_EQ(frame_->Count(L"dropdown"), 0);
}

TEST_P(ComboHelperTest, DevicesFillTextAndIdentifierAndThemeTheItems) {
  const std::vector<stDev_Info> devices = {{"usb#1", "USB Camera"},
                                           {"usb#2", "\xE6\x91\x84\xE5\x83\x8F\xE5\xA4\xB4 HD"}};
  combo_helper::FillDevices(combo_, {}, GetParam().index);
  EXPECT_EQ(combo_helper::FillDevices(combo_, devices, GetParam().index), 2);
  ASSERT_EQ(combo_->GetCount(), 2);
  EXPECT_TRUE(combo_->IsEnabled());
  EXPECT_EQ(combo_->GetCurSel(), -1);
  EXPECT_EQ(combo_->GetItemAt(1)->GetText(), L"摄像头 HD");
  EXPECT_EQ(combo_->GetItemAt(1)->GetUserData(), L"usb#2");
  EXPECT_EQ(frame_->Count(L"itemselect"), 0);

  const TListInfoUI* info = combo_->GetListInfo();
  EXPECT_EQ(info->dwSelectedTextColor, GetParam().selected_text);
  if (GetParam().index == 1) {
    EXPECT_EQ(info->dwSelectedBkColor, 0xFFF4F4F4u);
    EXPECT_EQ(info->dwHotBkColor, 0xFFF4F4F4u);
    EXPECT_EQ(info->dwTextColor, 0xFF3E3F41u);
    EXPECT_EQ(info->dwHotTextColor, 0xFF3E3F41u);
  }

  // The arrow points up while the list is open and down again when it closes.
  const std::wstring skin = GetParam().index == 1 ? L"orange" : L"blue";
  const POINT pt{(combo_->GetPos().left + combo_->GetPos().right) / 2,
                 (combo_->GetPos().top + combo_->GetPos().bottom) / 2};
  duilib_test::Click(frame_->GetHWND(), pt.x, pt.y);
  ASSERT_EQ(frame_->Count(L"dropdown"), 1);
  EXPECT_EQ(combo_->GetNormalImage(), L"file='img\\" + skin +
                                          L"\\combo.png' source='260,0,390,36' corner='5,30,30,5'");
  const TImageInfo* arrows = CRenderEngine::GetImage(L"img\\" + skin + L"\\combo.png");
  ASSERT_NE(arrows, nullptr);
  EXPECT_EQ(arrows->cx, 390);
  combo_->CloseDropDown();
  ASSERT_EQ(frame_->Count(L"dropup"), 1);
  EXPECT_EQ(combo_->GetNormalImage(),
            L"file='img\\" + skin + L"\\combo.png' source='0,0,130,36' corner='5,30,30,5'");

  // Other notifications are not the helper's.
  TNotifyUI click;
  click.sType = L"click";
  click.pSender = combo_;
  EXPECT_FALSE(combo_helper::OnDropNotify(click, GetParam().index));
}

INSTANTIATE_TEST_SUITE_P(Skins, ComboHelperTest,
                         ::testing::Values(SkinCase{L"blue", 0, 0xFFFFFFFF, 0xFFACB2BF},
                                           SkinCase{L"orange", 1, 0xFF3E3F41, 0xFF7D7F8C}),
                         [](const ::testing::TestParamInfo<SkinCase>& info) {
                           return info.param.index == 1 ? std::string("orange")
                                                        : std::string("blue");
                         });
