// Annotation: the stroke rules on the state, the panel's drawing surface and click-through
// style, its mouse handling (messages and the real pointer), cursors, and the palette.

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "platform/duilib/UIlib.h"
#include "share/anno/anno_state.h"
#include "share/anno/anno_tools_frame.h"
#include "share/anno/as_anno_panel.h"
#include "share/tests/share_test_support.h"

namespace {

LPARAM At(int x, int y) { return MAKELPARAM(x, y); }

AnnoStroke Rect(LONG l, LONG t, LONG r, LONG b) {
  AnnoStroke stroke;
  stroke.kind = kAnnoStrokeRect;
  stroke.start = POINT{l, t};
  stroke.end = POINT{r, b};
  return stroke;
}

AnnoStroke Line(std::initializer_list<POINT> points) {
  AnnoStroke stroke;
  stroke.kind = kAnnoStrokeLine;
  stroke.points = points;
  return stroke;
}

class AnnotationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    share_test::StartGdiplus();
    CAnnoState& state = CAnnoState::Instance();
    state.ClearStrokes();
    state.SetShape(kAnnoShapeNone);
    state.SetColour(0x000000FF);
    state.SetWidth(3);
  }
  void TearDown() override { CAnnoState::Instance().ClearStrokes(); }

  // A panel over the screen, prepared, drawn and shown with `shape`.
  void OpenPanel(int shape, bool border) {
    ASSERT_TRUE(panel_.CreatePanel());
    CAnnoState::Instance().SetShape(shape);
    panel_.SetBorder(border);
    panel_.Prepare();
    panel_.Show();
    tarvo_test::PumpMessages(50);
  }

  std::uint32_t Pixel(int x, int y) {
    std::uint32_t argb = 0;
    EXPECT_TRUE(panel_.GetSurfacePixel(x, y, &argb)) << x << "," << y;
    return argb;
  }

  CAsAnnoPanel panel_;
};

TEST_F(AnnotationTest, PointRules) {
  const struct {
    POINT next;
    bool forced;
    bool changed;
    std::size_t count;
    POINT last;
  } cases[] = {
      {{100, 100}, false, false, 1, {100, 100}},  // The last point again.
      {{105, 106}, false, false, 1, {100, 100}},  // 7.8 pixels: dropped.
      {{105, 106}, true, true, 1, {105, 106}},    // Forced: replaces the last.
      {{113, 106}, false, true, 2, {113, 106}},   // 8 pixels: appended.
      {{113, 106}, true, false, 2, {113, 106}},   // Forced, same point: ignored.
  };
  AnnoStroke stroke;
  ASSERT_TRUE(AddStrokePoint(&stroke, POINT{100, 100}, false));  // An empty stroke takes it.
  for (const auto& c : cases) {
    EXPECT_EQ(AddStrokePoint(&stroke, c.next, c.forced), c.changed) << c.next.x << "," << c.next.y;
    ASSERT_EQ(stroke.points.size(), c.count);
    EXPECT_EQ(stroke.points.back().x, c.last.x);
    EXPECT_EQ(stroke.points.back().y, c.last.y);
  }
}

TEST_F(AnnotationTest, HitBands) {
  const AnnoStroke rect = Rect(300, 200, 100, 400);  // Spanned from its bottom-right corner.
  const AnnoStroke line = Line({{100, 100}, {200, 100}, {300, 100}});
  AnnoStroke other = rect;
  other.kind = 5;
  const struct {
    const AnnoStroke* stroke;
    POINT point;
    bool hit;
  } cases[] = {
      {&rect, {100, 300}, true},   {&rect, {92, 300}, true},   {&rect, {91, 300}, false},
      {&rect, {200, 408}, true},   {&rect, {200, 409}, false}, {&rect, {200, 300}, false},
      {&rect, {308, 192}, true},   {&line, {150, 104}, true},  {&line, {150, 96}, true},
      {&line, {150, 106}, false},  {&line, {96, 100}, true},   {&line, {95, 100}, false},
      {&other, {100, 300}, false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(StrokeHit(*c.stroke, c.point), c.hit)
        << (c.stroke == &line ? "line " : "rect ") << c.point.x << "," << c.point.y;
  }
  EXPECT_FALSE(StrokeHit(Line({{100, 100}}), POINT{100, 100}));  // No curve through one point.
}

TEST_F(AnnotationTest, TheEraserRemovesOnlyTheOldestStrokeHit) {
  CAnnoState& state = CAnnoState::Instance();
  state.AddStroke(Rect(100, 100, 300, 300));
  state.AddStroke(Line({{50, 100}, {150, 100}, {250, 100}}));
  state.AddStroke(Rect(100, 100, 200, 200));
  EXPECT_TRUE(state.RemoveStrokeAt(POINT{150, 100}));
  ASSERT_EQ(state.Strokes().size(), 2u);
  EXPECT_EQ(state.Strokes()[0].kind, kAnnoStrokeLine);
  EXPECT_EQ(state.Strokes()[1].end.x, 200);
  EXPECT_FALSE(state.RemoveStrokeAt(POINT{600, 600}));
  EXPECT_EQ(state.Strokes().size(), 2u);
}

TEST_F(AnnotationTest, ShapesOutsideTheFourAreIgnoredAndColoursSwapRedAndBlue) {
  CAnnoState& state = CAnnoState::Instance();
  EXPECT_TRUE(state.SetShape(kAnnoShapeEraser));
  EXPECT_FALSE(state.SetShape(7));
  EXPECT_FALSE(state.SetShape(-1));
  EXPECT_EQ(state.GetShape(), kAnnoShapeEraser);
  EXPECT_EQ(SwapRedBlue(0xFF0000FFu), 0xFFFF0000u);
  EXPECT_EQ(SwapRedBlue(0x80123456u), 0x80563412u);
}

TEST_F(AnnotationTest, WithoutAToolThePanelIsClearAndClickThroughExceptItsBorder) {
  OpenPanel(kAnnoShapeNone, true);
  const SIZE size = panel_.GetClientSize();
  ASSERT_EQ(size.cx, GetSystemMetrics(SM_CXSCREEN));
  ASSERT_EQ(size.cy, GetSystemMetrics(SM_CYSCREEN));
  EXPECT_NE(GetWindowLongPtrW(panel_.GetHWND(), GWL_EXSTYLE) & WS_EX_TRANSPARENT, 0);
  EXPECT_EQ(Pixel(size.cx / 2, size.cy / 2) >> 24, 0u);
  EXPECT_EQ(Pixel(2, size.cy / 2) >> 24, 0xFEu);  // The border, 8 wide around the edge.
  EXPECT_EQ(Pixel(size.cx / 2, 1) >> 24, 0xFEu);
  EXPECT_EQ(Pixel(20, size.cy / 2) >> 24, 0u);

  CAnnoState::Instance().SetShape(kAnnoShapePen);
  panel_.OnShapeChanged();
  EXPECT_EQ(GetWindowLongPtrW(panel_.GetHWND(), GWL_EXSTYLE) & WS_EX_TRANSPARENT, 0);
  EXPECT_EQ(Pixel(size.cx / 2, size.cy / 2), 0x01010101u);  // Takes the mouse, shows through.
}

TEST_F(AnnotationTest, StrokesFromMouseMessages) {
  OpenPanel(kAnnoShapePen, false);
  HWND window = panel_.GetHWND();
  CAnnoState& state = CAnnoState::Instance();
  state.SetColour(SwapRedBlue(0xFF0000FF));  // Blue.
  state.SetWidth(11);

  // A click adds a one-point stroke.
  SendMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, At(400, 400));
  SendMessageW(window, WM_LBUTTONUP, 0, At(400, 400));
  ASSERT_EQ(state.Strokes().size(), 1u);
  EXPECT_EQ(state.Strokes()[0].points.size(), 1u);

  // A line: the start, points at least 8 apart, and the release point.
  SendMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, At(100, 300));
  Sleep(70);
  for (int x = 104; x <= 300; x += 4) SendMessageW(window, WM_MOUSEMOVE, MK_LBUTTON, At(x, 300));
  SendMessageW(window, WM_LBUTTONUP, 0, At(302, 300));
  ASSERT_EQ(state.Strokes().size(), 2u);
  const AnnoStroke& line = state.Strokes()[1];
  EXPECT_EQ(line.points.size(), 26u);
  EXPECT_EQ(line.points.back().x, 302);
  EXPECT_EQ(line.width, 11);
  EXPECT_EQ(line.colour, 0xFFFF0000u);
  // Drawn blue (premultiplied, alpha 254) under the line.
  const std::uint32_t drawn = Pixel(200, 300);
  EXPECT_GE(drawn >> 24, 0xF0u);
  EXPECT_GE(drawn & 0xFF, 0xF0u);
  EXPECT_EQ((drawn >> 16) & 0xFF, 0u);

  // Rectangles: a 1-pixel drag is dropped, a real one kept.
  state.SetShape(kAnnoShapeRect);
  panel_.OnShapeChanged();
  SendMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, At(600, 600));
  Sleep(70);
  SendMessageW(window, WM_MOUSEMOVE, MK_LBUTTON, At(601, 600));
  SendMessageW(window, WM_LBUTTONUP, 0, At(601, 600));
  EXPECT_EQ(state.Strokes().size(), 2u);
  SendMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, At(600, 600));
  Sleep(70);
  SendMessageW(window, WM_MOUSEMOVE, MK_LBUTTON, At(700, 650));
  SendMessageW(window, WM_LBUTTONUP, 0, At(700, 650));
  ASSERT_EQ(state.Strokes().size(), 3u);
  EXPECT_EQ(state.Strokes()[2].kind, kAnnoStrokeRect);
  EXPECT_EQ(state.Strokes()[2].end.x, 700);
  EXPECT_EQ(state.Strokes()[2].end.y, 650);

  // The eraser removes the stroke under the release point.
  state.SetShape(kAnnoShapeEraser);
  panel_.OnShapeChanged();
  SendMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, At(650, 650));
  SendMessageW(window, WM_LBUTTONUP, 0, At(650, 650));
  EXPECT_EQ(state.Strokes().size(), 2u);
}

TEST_F(AnnotationTest, LosingTheCaptureEndsAPenLineWhereTheMouseWas) {
  OpenPanel(kAnnoShapePen, false);
  HWND window = panel_.GetHWND();
  SendMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, At(100, 500));
  Sleep(70);
  SendMessageW(window, WM_MOUSEMOVE, MK_LBUTTON, At(200, 500));
  SendMessageW(window, WM_MOUSEMOVE, MK_LBUTTON, At(300, 500));
  ASSERT_EQ(GetCapture(), window);
  ReleaseCapture();  // Another window takes the mouse mid-stroke.
  EXPECT_FALSE(panel_.IsDrawing());
  const auto& strokes = CAnnoState::Instance().Strokes();
  ASSERT_EQ(strokes.size(), 1u);
  ASSERT_EQ(strokes[0].points.size(), 3u);
  EXPECT_EQ(strokes[0].points.back().x, 300);  // Not back at the press point.
}

TEST_F(AnnotationTest, TheRealPointerDrawsOnlyWhileAToolIsChosen) {
  OpenPanel(kAnnoShapeNone, false);
  // Click-through: the pointer reaches what lies below, the panel gets nothing.
  share_test::DragFromTo(POINT{300, 700}, POINT{500, 700});
  EXPECT_TRUE(CAnnoState::Instance().Strokes().empty());

  CAnnoState::Instance().SetShape(kAnnoShapePen);
  panel_.OnShapeChanged();
  tarvo_test::PumpMessages(50);
  share_test::DragFromTo(POINT{300, 700}, POINT{500, 700});
  ASSERT_EQ(CAnnoState::Instance().Strokes().size(), 1u);
  EXPECT_GE(CAnnoState::Instance().Strokes()[0].points.size(), 3u);
}

TEST_F(AnnotationTest, CursorsFollowTheToolAndAMissingFileGivesTheArrow) {
  const std::wstring folder = DuiLib::CPaintManagerUI::GetInstancePath() + L"cursor\\";
  const std::wstring eraser = folder + L"anno_eraser.cur";
  const std::wstring moved = folder + L"anno_eraser.cur.away";
  ASSERT_TRUE(MoveFileExW(eraser.c_str(), moved.c_str(), MOVEFILE_REPLACE_EXISTING));
  ASSERT_TRUE(panel_.CreatePanel());
  ASSERT_TRUE(MoveFileExW(moved.c_str(), eraser.c_str(), MOVEFILE_REPLACE_EXISTING));
  HCURSOR arrow = LoadCursorW(nullptr, IDC_ARROW);
  EXPECT_EQ(panel_.CursorForShape(kAnnoShapeNone), arrow);
  EXPECT_EQ(panel_.CursorForShape(7), arrow);
  EXPECT_EQ(panel_.CursorForShape(kAnnoShapeEraser), arrow);
  HCURSOR pen = panel_.CursorForShape(kAnnoShapePen);
  HCURSOR rect = panel_.CursorForShape(kAnnoShapeRect);
  EXPECT_NE(pen, arrow);
  EXPECT_NE(rect, arrow);
  EXPECT_NE(pen, rect);
}

// The palette reports its choices to the delegate.
struct RecordingAnno : AnnoDelegate {
  void SetColor(std::uint32_t argb) override { calls.push_back("colour " + Hex(argb)); }
  void SetPenSize(int width) override { calls.push_back("width " + std::to_string(width)); }
  void SetShape(int shape) override { calls.push_back("shape " + std::to_string(shape)); }
  void SetAnniPos() override { calls.push_back("pos"); }
  static std::string Hex(std::uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof(text), "%08X", value);
    return text;
  }
  std::vector<std::string> calls;
};

void ClickControl(DuiLib::WindowImplBase& window, const wchar_t* name) {
  DuiLib::CControlUI* control = window.GetPaintManager()->FindControl(name);
  ASSERT_TRUE(control) << name;
  const RECT& rect = control->GetPos();
  const LPARAM at = MAKELPARAM((rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2);
  SendMessageW(window.GetHWND(), WM_MOUSEMOVE, 0, at);
  SendMessageW(window.GetHWND(), WM_LBUTTONDOWN, MK_LBUTTON, at);
  SendMessageW(window.GetHWND(), WM_LBUTTONUP, 0, at);
}

TEST_F(AnnotationTest, ThePaletteReportsColoursWidthsAndTools) {
  RecordingAnno anno;
  CAnnoToolsFrame palette(&anno);
  ASSERT_TRUE(palette.Create(nullptr, L"AnnoToolsFrame", WS_POPUP, WS_EX_TOOLWINDOW));
  palette.ShowWindow(true, false);
  tarvo_test::PumpMessages(50);
  EXPECT_EQ(palette.GetShape(), kAnnoShapePen);
  for (const wchar_t* name : {L"color_0", L"color_3", L"color_7", L"pensize_5", L"pensize_2",
                              L"grap_1", L"grap_2"}) {
    ClickControl(palette, name);
  }
  const std::vector<std::string> expected = {"colour FFFFFFFF", "colour FFFF6A0C",
                                             "colour FF6336FF", "width 11",
                                             "width 5",         "shape 2",
                                             "shape 1"};
  EXPECT_EQ(anno.calls, expected);
  EXPECT_EQ(palette.GetShape(), kAnnoShapePen);
  EXPECT_EQ(CAnnoToolsFrame::ColourOfIndex(8), 0xFFE62222u);
  EXPECT_EQ(CAnnoToolsFrame::ColourOfIndex(-1), 0xFFE62222u);
  DestroyWindow(palette.GetHWND());
}

}  // namespace
