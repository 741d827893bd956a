// Building layouts from text: sub-layouts through the window's control factory, container
// operations, DPI scaling and malformed input.

#include <gtest/gtest.h>

#include <memory>

#include "platform/duilib/tests/test_support.h"

using namespace DuiLib;
using duilib_test::LogCapture;

namespace {

class Factory : public IDialogBuilderCallback {
 public:
  CControlUI* CreateControl(const wchar_t* cls) override {
    ++asked;
    return wcscmp(cls, L"Badge") == 0 ? new duilib_test::BadgeUI : nullptr;
  }
  int asked = 0;
};

}  // namespace

TEST(DialogBuilderTest, BuildsSubLayoutThroughTheFactoryIntoAParent) {
  CVerticalLayoutUI parent;
  Factory factory;
  CDialogBuilder builder;
  CControlUI* row = builder.Create(
      L"<HorizontalLayout name=\"row_3\" height=\"30\">"
      L"<Badge name=\"badge_3\" width=\"20\"/><Label name=\"text_3\" text=\"three\"/>"
      L"<Unknown name=\"skipped\"/></HorizontalLayout>",
      nullptr, &factory, nullptr, &parent);
  ASSERT_NE(row, nullptr);
  EXPECT_EQ(parent.GetCount(), 1);
  EXPECT_EQ(parent.GetItemAt(0), row);
  EXPECT_EQ(factory.asked, 2);  // "Badge" and "Unknown"
  CControlUI* badge = row->FindControlByName(L"badge_3");
  ASSERT_NE(badge, nullptr);
  EXPECT_STREQ(badge->GetClass(), L"BadgeUI");
  EXPECT_EQ(row->FindControlByName(L"skipped"), nullptr);
  EXPECT_EQ(static_cast<CContainerUI*>(row)->GetCount(), 2);
  EXPECT_EQ(row->FindControlByName(L"text_3")->GetText(), L"three");

  // Layout of the built row.
  parent.SetPos(RECT{0, 0, 200, 100}, false);
  RECT b = badge->GetPos();
  EXPECT_EQ(b.left, 0);
  EXPECT_EQ(b.right, 20);
  EXPECT_EQ(b.bottom, 30);
  EXPECT_EQ(row->FindControlByName(L"text_3")->GetPos().right, 200);
}

TEST(DialogBuilderTest, ContainerOperations) {
  CHorizontalLayoutUI box;
  auto* a = new CLabelUI;
  auto* b = new CLabelUI;
  auto* c = new CLabelUI;
  EXPECT_TRUE(box.Add(a));
  EXPECT_TRUE(box.Add(c));
  EXPECT_TRUE(box.AddAt(b, 1));
  EXPECT_FALSE(box.Add(a));  // already in
  EXPECT_FALSE(box.AddAt(new CControlUI, 9));
  EXPECT_EQ(box.GetCount(), 3);
  EXPECT_EQ(box.GetItemIndex(b), 1);
  EXPECT_EQ(box.GetItemIndex(c), 2);
  EXPECT_EQ(box.GetItemAt(3), nullptr);
  EXPECT_EQ(box.GetItemAt(-1), nullptr);
  EXPECT_TRUE(box.Remove(a));
  EXPECT_EQ(box.GetItemIndex(b), 0);
  box.RemoveAll();
  EXPECT_EQ(box.GetCount(), 0);

  CTabLayoutUI tab;
  for (int i = 0; i < 3; ++i) tab.Add(new CControlUI);
  EXPECT_EQ(tab.GetCurSel(), 0);
  EXPECT_TRUE(tab.SelectItem(2));
  EXPECT_FALSE(tab.SelectItem(3));
  EXPECT_TRUE(tab.GetItemAt(2)->IsVisible());
  EXPECT_FALSE(tab.GetItemAt(0)->IsVisible());
  EXPECT_TRUE(tab.Remove(tab.GetItemAt(0)));
  EXPECT_EQ(tab.GetCurSel(), 1);  // still the same page
  EXPECT_TRUE(tab.GetItemAt(1)->IsVisible());
}

TEST(DialogBuilderTest, LayoutSizesFollowTheDpiScale) {
  CPaintManagerUI::SetDpiScale(1.5);
  CDialogBuilder builder;
  std::unique_ptr<CControlUI> label(
      builder.Create(L"<Label width=\"100\" height=\"20\" padding=\"2,4,0,0\"/>"));
  CPaintManagerUI::SetDpiScale(1.0);
  ASSERT_NE(label, nullptr);
  EXPECT_EQ(label->GetFixedWidth(), 150);
  EXPECT_EQ(label->GetFixedHeight(), 30);
  EXPECT_EQ(label->GetPadding().top, 6);
}

TEST(DialogBuilderTest, MalformedInputIsLoggedAndBuildsNothing) {
  struct Case {
    const wchar_t* xml;
    const wchar_t* logged;
  } cases[] = {
      {L"<Window><VerticalLayout></Window>", L"malformed"},
      {L"<Window size=\"10,10\"></Window>", L"no usable root"},
      {L"<NoSuchControl/>", L"NoSuchControl"},
  };
  for (const Case& c : cases) {
    LogCapture log;
    CDialogBuilder builder;
    EXPECT_EQ(builder.Create(c.xml), nullptr) << c.xml;
    EXPECT_TRUE(log.Contains(c.logged)) << c.xml;
  }
  // A bad value keeps the control's previous setting.
  LogCapture log;
  CDialogBuilder builder;
  std::unique_ptr<CControlUI> label(builder.Create(
      L"<Label height=\"20\" bkcolor=\"#ZZ\" textcolor=\"#FF102030\" padding=\"1,2\"/>"));
  ASSERT_NE(label, nullptr);
  EXPECT_EQ(label->GetBkColor(), 0u);
  EXPECT_EQ(label->GetTextColor(), 0xFF102030u);
  EXPECT_EQ(label->GetPadding().left, 0);
  EXPECT_TRUE(log.Contains(L"bkcolor"));
  EXPECT_TRUE(log.Contains(L"padding"));
}

TEST(DialogBuilderTest, BrokenImageIsReportedOnceAndNothingIsDrawn) {
  LogCapture log;
  CDialogBuilder builder;
  std::unique_ptr<CControlUI> button(builder.Create(
      L"<Button normalimage=\"file='img\\blue\\button.png\" bkcolor=\"#FF102030\"/>"));
  ASSERT_NE(button, nullptr);
  button->SetPos(RECT{0, 0, 40, 20}, false);
  HDC dc = CreateCompatibleDC(nullptr);
  BITMAPINFO bmi{};
  bmi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  bmi.bmiHeader.biWidth = 40;
  bmi.bmiHeader.biHeight = -20;
  bmi.bmiHeader.biPlanes = 1;
  bmi.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HBITMAP bmp = CreateDIBSection(nullptr, &bmi, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(dc, bmp);
  const RECT all{0, 0, 40, 20};
  button->DoPaint(dc, all);
  button->DoPaint(dc, all);
  int reports = 0;
  for (const std::wstring& line : LogCapture::Lines()) {
    reports += line.find(L"malformed image") != std::wstring::npos;
  }
  EXPECT_EQ(reports, 1);
  EXPECT_EQ(GetPixel(dc, 20, 10), RGB(0x10, 0x20, 0x30));  // the colour is still drawn
  SelectObject(dc, old);
  DeleteObject(bmp);
  DeleteDC(dc);
}
