// Building layouts from text: sub-layouts through the window's control factory, container
// operations, DPI scaling and malformed input.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

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

namespace {

// Lays `control` out in `rc` (at 0,0) and paints it into a DIB of that size; returns the
// pixels, top-down.
std::vector<DWORD> LayOutAndPaint(CControlUI* control, RECT rc) {
  control->SetPos(rc, false);
  HDC dc = CreateCompatibleDC(nullptr);
  void* bits = nullptr;
  HBITMAP bmp = CRenderEngine::CreateDib32(rc.right, rc.bottom, &bits);
  HGDIOBJ old = SelectObject(dc, bmp);
  control->DoPaint(dc, rc);
  GdiFlush();
  const DWORD* pixels = static_cast<const DWORD*>(bits);
  std::vector<DWORD> copy(pixels, pixels + rc.right * rc.bottom);
  SelectObject(dc, old);
  DeleteObject(bmp);
  DeleteDC(dc);
  return copy;
}

TEventUI MouseAt(int type, int x, int y) {
  TEventUI event;
  event.Type = type;
  event.ptMouse = POINT{x, y};
  return event;
}

}  // namespace

// Values at and beyond the ends of int: refused with a log line where they make no sense,
// otherwise laid out and painted without dividing by zero or wrapping.
TEST(DialogBuilderTest, ExtremeLayoutValuesAreRefusedOrHandled) {
  const RECT area{0, 0, 200, 40};
  struct Case {
    const wchar_t* xml;
    const wchar_t* logged;  // null: nothing is refused
    void (*check)(CControlUI* control, const std::vector<DWORD>& pixels);
  } cases[] = {
      {L"<TileLayout itemsize=\"10,10\" childpadding=\"-10\">"
       L"<Control/><Control/><Control/></TileLayout>",
       L"childpadding",
       [](CControlUI* control, const std::vector<DWORD>&) {
         auto* tile = static_cast<CTileLayoutUI*>(control);
         EXPECT_EQ(tile->GetChildPadding(), 0);
         EXPECT_EQ(tile->GetColumns(), 20);
         EXPECT_EQ(tile->GetItemAt(2)->GetPos().left, 20);
       }},
      {L"<TileLayout itemsize=\"10,10\" childpadding=\"99999999999\"><Control/></TileLayout>",
       L"childpadding",
       [](CControlUI* control, const std::vector<DWORD>&) {
         EXPECT_EQ(static_cast<CTileLayoutUI*>(control)->GetChildPadding(), 0);
       }},
      {L"<TileLayout itemsize=\"10,10\" childpadding=\"2147483647\">"
       L"<Control/><Control/><Control/></TileLayout>",
       nullptr,
       [](CControlUI* control, const std::vector<DWORD>&) {
         auto* tile = static_cast<CTileLayoutUI*>(control);
         EXPECT_EQ(tile->GetColumns(), 1);
         EXPECT_EQ(tile->GetItemAt(0)->GetPos().top, 0);
         EXPECT_GT(tile->GetItemAt(1)->GetPos().top, 40);  // far below, not wrapped above
         EXPECT_GE(tile->GetItemAt(2)->GetPos().top, tile->GetItemAt(1)->GetPos().top);
       }},
      {L"<TileLayout columns=\"3\" childpadding=\"2147483647\"><Control/><Control/></TileLayout>",
       nullptr,
       [](CControlUI* control, const std::vector<DWORD>&) {
         auto* tile = static_cast<CTileLayoutUI*>(control);
         EXPECT_EQ(tile->GetItemAt(0)->GetPos().left, 0);
         EXPECT_GE(tile->GetItemAt(1)->GetPos().left, 200);
       }},
      {L"<Progress min=\"-2147483648\" max=\"2147483647\" value=\"0\" forecolor=\"#FF00FF00\"/>",
       nullptr,
       [](CControlUI* control, const std::vector<DWORD>& pixels) {
         auto* progress = static_cast<CProgressUI*>(control);
         EXPECT_EQ(progress->GetMinValue(), -2147483647 - 1);
         EXPECT_EQ(progress->GetMaxValue(), 2147483647);
         // 0 is the middle of the range: the bar is half filled.
         EXPECT_EQ(pixels[20 * 200 + 98] & 0xFFFFFF, 0x00FF00u);
         EXPECT_NE(pixels[20 * 200 + 102] & 0xFFFFFF, 0x00FF00u);
       }},
      {L"<Progress max=\"99999999999\" value=\"50\"/>", L"max",
       [](CControlUI* control, const std::vector<DWORD>&) {
         EXPECT_EQ(static_cast<CProgressUI*>(control)->GetMaxValue(), 100);
       }},
      {L"<Slider min=\"-2147483648\" max=\"2147483647\" value=\"2147483647\" "
       L"thumbsize=\"10,10\"/>",
       nullptr,
       [](CControlUI* control, const std::vector<DWORD>&) {
         auto* slider = static_cast<CSliderUI*>(control);
         EXPECT_EQ(slider->GetThumbRect().right, 200);
         TEventUI press = MouseAt(UIEVENT_BUTTONDOWN, 0, 20);
         slider->DoEvent(press);
         EXPECT_EQ(slider->GetValue(), -2147483647 - 1);
         TEventUI drag = MouseAt(UIEVENT_MOUSEMOVE, 199, 20);
         slider->DoEvent(drag);
         EXPECT_EQ(slider->GetValue(), 2147483647);
         TEventUI release = MouseAt(UIEVENT_BUTTONUP, 100, 20);
         slider->DoEvent(release);
         EXPECT_EQ(slider->GetValue(), 0);
         EXPECT_EQ(slider->GetThumbRect().left, 95);
       }},
      {L"<Slider min=\"-2147483648\" max=\"2147483647\" thumbsize=\"10,10\" "
       L"step=\"1000000000\"/>",
       nullptr,
       [](CControlUI* control, const std::vector<DWORD>&) {
         auto* slider = static_cast<CSliderUI*>(control);
         TEventUI press = MouseAt(UIEVENT_BUTTONDOWN, 100, 20);
         slider->DoEvent(press);
         EXPECT_EQ(slider->GetValue(), -2147483647 - 1 + 2000000000);  // whole steps from min
       }},
  };
  for (const Case& c : cases) {
    LogCapture log;
    CDialogBuilder builder;
    std::unique_ptr<CControlUI> control(builder.Create(c.xml));
    ASSERT_NE(control, nullptr) << c.xml;
    if (c.logged) {
      EXPECT_TRUE(log.Contains(c.logged)) << c.xml;
    } else {
      EXPECT_TRUE(LogCapture::Lines().empty()) << c.xml;
    }
    c.check(control.get(), LayOutAndPaint(control.get(), area));
  }
}

TEST(DialogBuilderTest, LayoutsNestedBeyondTheLimitAreRefused) {
  auto nested = [](int depth) {
    std::wstring xml;
    for (int i = 0; i < depth; ++i) xml += L"<VerticalLayout>";
    xml += L"<Label name=\"deepest\"/>";
    for (int i = 0; i < depth; ++i) xml += L"</VerticalLayout>";
    return xml;
  };
  {
    LogCapture log;
    CDialogBuilder builder;
    std::unique_ptr<CControlUI> root(builder.Create(nested(255).c_str()));
    ASSERT_NE(root, nullptr);
    EXPECT_NE(root->FindControlByName(L"deepest"), nullptr);
    LayOutAndPaint(root.get(), RECT{0, 0, 100, 100});
    EXPECT_TRUE(LogCapture::Lines().empty());
  }
  for (int depth : {256, 10000}) {
    LogCapture log;
    CDialogBuilder builder;
    EXPECT_EQ(builder.Create(nested(depth).c_str()), nullptr) << depth;
    EXPECT_TRUE(log.Contains(L"deeper than 256 levels")) << depth;
  }
  // Within a window layout too.
  LogCapture log;
  CDialogBuilder builder;
  CPaintManagerUI manager;
  EXPECT_EQ(builder.Create((L"<Window size=\"10,10\">" + nested(300) + L"</Window>").c_str(),
                           nullptr, nullptr, &manager),
            nullptr);
  EXPECT_TRUE(log.Contains(L"deeper than 256 levels"));
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

TEST(DialogBuilderTest, PngAnimIsTheAnimationUnderTheClientsName) {
  CDialogBuilder builder;
  std::unique_ptr<CControlUI> anim(builder.Create(
      L"<PngAnim name=\"logo_lab\" image=\"img\\blue\\wait.png\" frames=\"5\" interval=\"100\"/>"));
  ASSERT_NE(anim, nullptr);
  EXPECT_STREQ(anim->GetClass(), L"PngAnimUI");
  EXPECT_EQ(anim->GetInterface(L"PngAnim"), anim.get());
  auto* as_animation = static_cast<CAnimationUI*>(anim->GetInterface(L"Animation"));
  ASSERT_NE(as_animation, nullptr);
  EXPECT_EQ(as_animation->GetFrameCount(), 5);
}
