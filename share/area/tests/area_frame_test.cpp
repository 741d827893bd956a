// The area frame: its geometry rules as a table, the new frame's place and window region, the
// cursor by handle, and drags and aspect changes with the real pointer.

#include <gtest/gtest.h>

#include "share/area/region_geometry.h"
#include "share/area/region_indicator.h"
#include "share/tests/share_test_support.h"

namespace {

using region::kAspect16x9;
using region::kAspect4x3;

int Width(const RECT& r) { return r.right - r.left; }
int Height(const RECT& r) { return r.bottom - r.top; }

TEST(AreaGeometry, DragRulesByHandle) {
  const RECT w{400, 200, 1438, 831};  // A 1024 x 576 area.
  const struct {
    int handle;
    POINT cursor;
    POINT moved;
    RECT expected;
  } cases[] = {
      // Top edge to y = 100: area height 731 - 55 = 676, width 676 * 16 / 9 = 1201.
      {0, {500, 100}, {0, -100}, {1438 - 1215, 100, 1438, 831}},
      {1, {500, 100}, {0, -100}, {400, 100, 400 + 1215, 831}},
      {2, {500, 931}, {0, 100}, {1438 - 1215, 200, 1438, 931}},
      {3, {500, 931}, {0, 100}, {400, 200, 400 + 1215, 931}},
      // Left edge to x = 300: area width 1124, height 632.
      {4, {300, 300}, {-100, 0}, {300, 831 - 687, 1438, 831}},
      {5, {1538, 300}, {100, 0}, {400, 831 - 687, 1538, 831}},
      {6, {300, 300}, {-100, 0}, {300, 200, 1438, 200 + 687}},
      {7, {1538, 300}, {100, 0}, {400, 200, 1538, 200 + 687}},
      // Corners follow the dominant direction of the whole drag.
      {8, {300, 100}, {-100, -30}, {300, 831 - 687, 1438, 831}},
      {8, {300, 100}, {-30, -100}, {1438 - 1215, 100, 1438, 831}},
      {9, {1538, 931}, {10, 100}, {400, 200, 400 + 1215, 931}},
      {10, {1538, 100}, {100, -10}, {400, 831 - 687, 1538, 831}},
      {11, {300, 931}, {-100, 10}, {300, 200, 1438, 200 + 687}},
      {12, {0, 0}, {0, 0}, {410, 195, 1448, 826}},
  };
  for (const auto& c : cases) {
    const RECT got = region::DragWindow(c.handle, w, c.cursor, POINT{10, -5}, c.moved,
                                        kAspect16x9);
    EXPECT_TRUE(EqualRect(&got, &c.expected))
        << "handle " << c.handle << ": " << got.left << "," << got.top << "," << got.right << ","
        << got.bottom;
  }
}

TEST(AreaGeometry, LimitsAndAspectChanges) {
  const struct {
    RECT window;
    bool within;
  } limits[] = {
      {{0, 0, 654, 415}, true},   {{0, 0, 653, 415}, false}, {{0, 0, 654, 414}, false},
      {{0, 0, 1934, 1135}, true}, {{0, 0, 1935, 600}, false}, {{0, 0, 1000, 1136}, false},
  };
  for (const auto& l : limits) {
    EXPECT_EQ(region::WithinLimits(l.window), l.within) << Width(l.window) << "x"
                                                         << Height(l.window);
  }
  const RECT desktop{0, 0, 1920, 1080};
  // 4:3 on a 1038-wide frame: 1024 x 768 with the bottom edge kept.
  RECT turned = region::WindowForAspect(RECT{441, 225, 1479, 856}, kAspect4x3, desktop);
  EXPECT_EQ(region::AreaOfWindow(turned).right - region::AreaOfWindow(turned).left, 1024);
  EXPECT_EQ(Height(region::AreaOfWindow(turned)), 768);
  EXPECT_EQ(turned.bottom, 856);
  EXPECT_EQ(turned.top, 856 - 823);
  // Too tall to keep the bottom: centred on the desktop instead.
  turned = region::WindowForAspect(RECT{441, 10, 1479, 641}, kAspect4x3, desktop);
  EXPECT_EQ(turned.top, 540 - 823 / 2);
  EXPECT_EQ(Width(turned), 1038);
  // A 1920-wide area turned 4:3 stays within 1920 x 1080: 1440 x 1080 about the same centre.
  turned =
      region::WindowForAspect(RECT{0, 100, 1934, 1235}, kAspect4x3, RECT{0, 0, 3840, 2160});
  EXPECT_TRUE(region::WithinLimits(turned));
  EXPECT_EQ(Width(region::AreaOfWindow(turned)), 1440);
  EXPECT_EQ(Height(region::AreaOfWindow(turned)), 1080);
  EXPECT_EQ(turned.left + turned.right, 1934);
  EXPECT_EQ(turned.bottom, 1235);
}

class AreaFrameTest : public ::testing::Test {
 protected:
  void SetUp() override {
    share_test::StartGdiplus();
    ASSERT_TRUE(frame_.CreateFrame());
    frame_.Show();
    tarvo_test::PumpMessages(100);
  }

  RECT Window() const {
    RECT rect{};
    GetWindowRect(frame_.GetHWND(), &rect);
    return rect;
  }

  // Drags from a client point of the frame by (dx, dy) with the real pointer, in `steps` moves.
  void Drag(POINT client, int dx, int dy, int steps) {
    POINT from = client;
    ClientToScreen(frame_.GetHWND(), &from);
    share_test::DragFromTo(from, POINT{from.x + dx, from.y + dy}, steps);
  }

  CRegionIndicator frame_;
};

TEST_F(AreaFrameTest, ANewFrameIsCentredWithA16By9Area) {
  const RECT area = frame_.GetAreaRect();
  EXPECT_EQ(Width(area), 1024);
  EXPECT_EQ(Height(area), 576);
  EXPECT_EQ(area.left, 960 - 519 + 7);
  EXPECT_EQ(area.top, 540 - 315 + 18);
  EXPECT_EQ(frame_.GetAspect(), kAspect16x9);
  EXPECT_NE(GetWindowLongPtrW(frame_.GetHWND(), GWL_EXSTYLE) & WS_EX_TOPMOST, 0);
}

TEST_F(AreaFrameTest, TheRegionIsAThinFrameWithTabAndGrip) {
  HRGN shape = CreateRectRgn(0, 0, 0, 0);
  ASSERT_EQ(GetWindowRgn(frame_.GetHWND(), shape), COMPLEXREGION);
  const auto in = [shape](int x, int y) { return PtInRegion(shape, x, y) != FALSE; };
  const int w = 1038;
  const int h = 631;
  // Top edge: 7 rows near the corners (11..17), 2 in the middle (16..17).
  EXPECT_FALSE(in(30, 10));
  EXPECT_TRUE(in(30, 11));
  EXPECT_TRUE(in(30, 17));
  EXPECT_FALSE(in(30, 18));  // The area.
  EXPECT_FALSE(in(300, 15));
  EXPECT_TRUE(in(300, 16));
  // Left edge: 7 columns near the top (0..6), 2 further down (5..6).
  EXPECT_TRUE(in(0, 40));
  EXPECT_FALSE(in(4, 300));
  EXPECT_TRUE(in(5, 300));
  EXPECT_FALSE(in(7, 300));
  // Bottom edge: 7 rows (594..600) near the left corner, 2 (594..595) in the middle.
  EXPECT_TRUE(in(30, 600));
  EXPECT_FALSE(in(30, 601));
  EXPECT_TRUE(in(300, 595));
  EXPECT_FALSE(in(300, 596));
  // The button bar in the bottom-right corner.
  EXPECT_TRUE(in(w - 45, h - 10));
  EXPECT_FALSE(in(w - 95, h - 10));
  // The tab: 80 x 18 at the top centre, top corners cut, a grip of 2 x 2 holes.
  const int tab = w / 2 - 40;
  EXPECT_TRUE(in(tab + 5, 2));
  EXPECT_FALSE(in(tab, 0));
  EXPECT_FALSE(in(tab + 79, 0));
  EXPECT_FALSE(in(tab + 11, 5));
  EXPECT_FALSE(in(tab + 12 + 7 * 8, 6 + 7));
  EXPECT_TRUE(in(tab + 13, 5));
  DeleteObject(shape);
}

TEST_F(AreaFrameTest, CursorsByHandle) {
  const RECT area = frame_.GetAreaRect();
  POINT origin{0, 0};
  ClientToScreen(frame_.GetHWND(), &origin);
  const int l = area.left - origin.x;
  const int t = area.top - origin.y;
  const int r = area.right - origin.x;
  const int b = area.bottom - origin.y;
  const struct {
    POINT point;
    int handle;
    const wchar_t* cursor;
  } cases[] = {
      {{l + 20, t - 3}, 0, IDC_SIZENS},   {{r + 3, b + 3}, 9, IDC_SIZENWSE},
      {{l - 3, t + 20}, 4, IDC_SIZEWE},   {{r + 3, t - 3}, 10, IDC_SIZENESW},
      {{l - 3, t - 3}, 8, IDC_SIZENWSE},  {{l - 3, b + 3}, 11, IDC_SIZENESW},
      {{r + 3, b - 20}, 7, IDC_SIZEWE},   {{(l + r) / 2, t - 16}, -1, IDC_SIZEALL},
      {{r + 4, b + 20}, -1, IDC_ARROW},  // The button bar.
  };
  for (const auto& c : cases) {
    EXPECT_EQ(frame_.HandleAt(c.point), c.handle) << c.point.x << "," << c.point.y;
    EXPECT_EQ(frame_.CursorAt(c.point), LoadCursorW(nullptr, c.cursor))
        << c.point.x << "," << c.point.y;
  }
}

TEST_F(AreaFrameTest, DragsFollowTheRulesAndStopAtTheLimits) {
  const RECT before = Window();
  const RECT area = frame_.GetAreaRect();
  POINT origin{0, 0};
  ClientToScreen(frame_.GetHWND(), &origin);
  // The right edge's handle, 4 pixels inside the window, 100 pixels right: the window's right
  // edge follows the pointer; the area grows to 1120 x 630 with the bottom kept.
  Drag(POINT{area.right - origin.x + 3, area.top - origin.y + 20}, 100, 0, 5);
  RECT after = Window();
  EXPECT_EQ(after.right, before.right + 96);
  EXPECT_EQ(Width(frame_.GetAreaRect()), 1120);
  EXPECT_EQ(Height(frame_.GetAreaRect()), 630);
  EXPECT_EQ(after.bottom, before.bottom);
  EXPECT_EQ(after.left, before.left);

  // Past the lower limit: the left edge 600 pixels right changes nothing.
  const RECT grown = Window();
  const RECT grown_area = frame_.GetAreaRect();
  Drag(POINT{grown_area.left - grown.left - 3, grown_area.top - grown.top + 20}, 600, 0, 1);
  after = Window();
  EXPECT_TRUE(EqualRect(&after, &grown));

  // The tab moves the whole frame.
  Drag(POINT{Width(grown) / 2, 8}, -40, 30, 4);
  after = Window();
  EXPECT_EQ(after.left, grown.left - 40);
  EXPECT_EQ(after.top, grown.top + 30);
  EXPECT_EQ(Width(after), Width(grown));
}

TEST_F(AreaFrameTest, TheAspectButtonsKeepTheBottomEdge) {
  const RECT before = Window();
  POINT button{1038 - 65, 631 - 14};  // Middle of "4:3".
  ClientToScreen(frame_.GetHWND(), &button);
  share_test::ClickAt(button.x, button.y);
  tarvo_test::PumpMessages(50);
  EXPECT_EQ(frame_.GetAspect(), kAspect4x3);
  EXPECT_EQ(Width(frame_.GetAreaRect()), 1024);
  EXPECT_EQ(Height(frame_.GetAreaRect()), 768);
  EXPECT_EQ(Window().bottom, before.bottom);

  button = POINT{1038 - 25, 823 - 14};  // Middle of "16:9" on the taller frame.
  ClientToScreen(frame_.GetHWND(), &button);
  share_test::ClickAt(button.x, button.y);
  tarvo_test::PumpMessages(50);
  EXPECT_EQ(frame_.GetAspect(), kAspect16x9);
  EXPECT_EQ(Height(frame_.GetAreaRect()), 576);
  EXPECT_EQ(Window().bottom, before.bottom);
}

}  // namespace
