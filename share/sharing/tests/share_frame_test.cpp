// The share window end to end: a recording owner starts and stops the share, the share canvas
// pulls frames from the window and the owner keeps the last composed I420 frame. Known windows
// with sharp luma edges are shared as a full screen, an area and an application; annotation is
// drawn with the real pointer; closing the window mid-share and long application shares leave
// nothing behind.

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

#include "foundation/app_config.h"
#include "platform/duilib/UIlib.h"
#include "platform/trastor/trastor_testing.h"
#include "share/anno/anno_state.h"
#include "share/capture/tests/capture_target.h"
#include "share/capture/tests/capture_target_client.h"
#include "share/sharing/share_frame.h"
#include "share/tests/share_test_support.h"
#include "shell/login/skin_choice.h"
#include "tests/support/window_pixels.h"

namespace {

constexpr int kDark = 40;     // Luma below this is the black of the known windows.
constexpr int kBright = 200;  // Luma above this is their white.

// A frame as the owner received it.
struct Frame {
  int width = 0;
  int height = 0;
  std::vector<unsigned char> i420;
  int Y(int x, int y) const { return i420[static_cast<std::size_t>(y) * width + x]; }
  int U(int x, int y) const {
    const int cw = (width + 1) / 2;
    return i420[static_cast<std::size_t>(width) * height + (y / 2) * cw + x / 2];
  }
  int V(int x, int y) const {
    const int cw = (width + 1) / 2;
    const int ch = (height + 1) / 2;
    return i420[static_cast<std::size_t>(width) * height + cw * ch + (y / 2) * cw + x / 2];
  }
};

// The main window's part: starts and stops the share when asked and keeps the last frame.
class RecordingOwner : public ShareDelegate, public gsVideoFrameOutSink {
 public:
  void OnShareStarted() override {
    if (frame) frame->StartShare();
  }
  void OnShareStopped() override {
    if (frame) frame->StopShare();
  }
  void OnShowShareFrame() override { ++show_requests; }
  void OnLocalPlayback(const std::string&, int, int, int) override {}
  void OnVideoFrameOut(TrastorCanvas*, int, int width, int height, const unsigned char* pixels,
                       int length, int, int) override {
    std::lock_guard<std::mutex> lock(mutex_);
    last_.width = width;
    last_.height = height;
    last_.i420.assign(pixels, pixels + length);
    ++frames_;
  }

  Frame Last() {
    std::lock_guard<std::mutex> lock(mutex_);
    return last_;
  }
  long long Count() {
    std::lock_guard<std::mutex> lock(mutex_);
    return frames_;
  }
  // Waits for a new frame of the given size (0: any) composed after this call.
  bool WaitForFrame(int width, int height, Frame* out, int timeout_ms = 8000) {
    const long long start = Count();
    return tarvo_test::PumpUntil(
        [&] {
          if (Count() < start + 2) return false;
          *out = Last();
          return (width == 0 || out->width == width) && (height == 0 || out->height == height);
        },
        timeout_ms);
  }

  CShareFrame* frame = nullptr;
  int show_requests = 0;

 private:
  std::mutex mutex_;
  Frame last_;
  long long frames_ = 0;
};

// A plain window with a known picture: black with a white rectangle (client coordinates).
class KnownWindow {
 public:
  KnownWindow(const wchar_t* title, RECT screen, RECT white, bool topmost, bool outline = false)
      : white_(white), outline_(outline) {
    static const ATOM registered = [] {
      WNDCLASSW window_class{};
      window_class.lpfnWndProc = &KnownWindow::Proc;
      window_class.hInstance = GetModuleHandleW(nullptr);
      window_class.lpszClassName = L"ShareKnownWindow";
      window_class.hCursor = LoadCursorW(nullptr, IDC_ARROW);
      return RegisterClassW(&window_class);
    }();
    (void)registered;
    window_ = CreateWindowExW(topmost ? WS_EX_TOPMOST : 0, L"ShareKnownWindow", title,
                              WS_POPUP | WS_VISIBLE, screen.left, screen.top,
                              screen.right - screen.left, screen.bottom - screen.top, nullptr,
                              nullptr, GetModuleHandleW(nullptr), this);
    UpdateWindow(window_);
    tarvo_test::PumpMessages(50);
  }
  ~KnownWindow() {
    if (window_) DestroyWindow(window_);
  }
  HWND get() const { return window_; }

 private:
  static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_NCCREATE) {
      SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(
                                                   reinterpret_cast<CREATESTRUCTW*>(lparam)
                                                       ->lpCreateParams));
    }
    auto* self = reinterpret_cast<KnownWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (message == WM_PAINT && self) {
      PAINTSTRUCT paint;
      HDC dc = BeginPaint(window, &paint);
      RECT client;
      GetClientRect(window, &client);
      FillRect(dc, &client, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
      if (self->outline_) {
        // One white line along each edge.
        const RECT lines[] = {{0, 0, client.right, 1},
                              {0, client.bottom - 1, client.right, client.bottom},
                              {0, 0, 1, client.bottom},
                              {client.right - 1, 0, client.right, client.bottom}};
        for (const RECT& line : lines) {
          FillRect(dc, &line, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
        }
      } else {
        FillRect(dc, &self->white_, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
      }
      EndPaint(window, &paint);
      return 0;
    }
    if (message == WM_ERASEBKGND) return 1;
    return DefWindowProcW(window, message, wparam, lparam);
  }

  HWND window_ = nullptr;
  RECT white_;
  bool outline_;
};

class ShareFrameTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    share_test::StartGdiplus();
    DuiLib::CMutiLanSupport::Instance()->LoadFromResFile(130, L"xml\\language.xml", true,
                                                         L"en_US", L"");
  }

  void SetUp() override {
    share_test::MoveTo(1900, 1070);
    main_ = CreateWindowExW(0, L"STATIC", L"Owner main", WS_POPUP | WS_VISIBLE, 1700, 900, 120,
                            80, nullptr, nullptr, nullptr, nullptr);
    OpenFrame();
  }
  void TearDown() override {
    CloseFrame();
    if (main_) DestroyWindow(main_);
    SetSkinIndex(kSkinBlue);
  }

  void OpenFrame() {
    frame_ = std::make_unique<CShareFrame>(&owner_, &owner_);
    owner_.frame = frame_.get();
    ASSERT_TRUE(frame_->Create(main_, L"ShareFrame", WS_POPUP, 0));
    frame_->ShowWindow(true, true);
    ASSERT_TRUE(tarvo_test::PumpUntil([&] { return frame_->GetAnnoPanel() != nullptr; }, 5000));
    tarvo_test::PumpMessages(50);
  }
  void CloseFrame() {
    if (frame_ && frame_->GetHWND()) SendMessageW(frame_->GetHWND(), WM_CLOSE, 0, 0);
    owner_.frame = nullptr;
    frame_.reset();
    tarvo_test::PumpMessages(20);
  }

  DuiLib::CControlUI* Control(const wchar_t* name) {
    return frame_->GetPaintManager()->FindControl(name);
  }
  // A real click on the middle of one of the share window's controls.
  void ClickWithPointer(const wchar_t* name) {
    DuiLib::CControlUI* control = Control(name);
    ASSERT_TRUE(control) << name;
    const RECT& rect = control->GetPos();
    POINT at{(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
    ClientToScreen(frame_->GetHWND(), &at);
    share_test::ClickAt(at.x, at.y);
    share_test::MoveTo(1900, 1070);
  }
  // Mouse messages to a control of a UI-library window.
  static void ClickWithMessages(DuiLib::WindowImplBase& window, const wchar_t* name) {
    DuiLib::CControlUI* control = window.GetPaintManager()->FindControl(name);
    ASSERT_TRUE(control) << name;
    const RECT& rect = control->GetPos();
    const LPARAM at = MAKELPARAM((rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2);
    SendMessageW(window.GetHWND(), WM_MOUSEMOVE, 0, at);
    SendMessageW(window.GetHWND(), WM_LBUTTONDOWN, MK_LBUTTON, at);
    SendMessageW(window.GetHWND(), WM_LBUTTONUP, 0, at);
  }

  static std::wstring ItemName(HWND window) {
    return L"app_" + std::to_wstring(static_cast<int>(reinterpret_cast<intptr_t>(window)));
  }

  // GDI objects of this process. Where GetGuiResources reports none (Wine), live objects are
  // counted by their handles: a handle with no generation bits names whatever lives in its slot.
  static int GdiObjects() {
    const int reported = static_cast<int>(GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS));
    if (reported > 0) return reported;
    int count = 0;
    for (std::uintptr_t slot = 1; slot < 0x10000; ++slot) {
      if (GetObjectType(reinterpret_cast<HGDIOBJ>(slot)) != 0) ++count;
    }
    return count;
  }

  RecordingOwner owner_;
  HWND main_ = nullptr;
  std::unique_ptr<CShareFrame> frame_;
};

TEST_F(ShareFrameTest, FullScreenLeavesOutTheBorderAndCarriesTheAnnotation) {
  // White from screen (300, 250) to (500, 350) inside black from x = 0 to 600.
  KnownWindow known(L"Known desk", RECT{0, 150, 600, 450}, RECT{300, 100, 500, 200}, false);
  frame_->ShowWindow(true, true);
  tarvo_test::PumpMessages(50);
  ClickWithPointer(L"btn_startShare");
  ASSERT_TRUE(frame_->IsSharing());
  EXPECT_FALSE(IsWindowVisible(frame_->GetHWND()));
  EXPECT_TRUE(frame_->GetCanvas()->IsRunning());
  Frame frame;
  ASSERT_TRUE(owner_.WaitForFrame(1904, 1064, &frame));
  // Edges at their screen position less (8, 8).
  EXPECT_LT(frame.Y(291, 292), kDark);
  EXPECT_GT(frame.Y(292, 292), kBright);
  EXPECT_GT(frame.Y(491, 292), kBright);
  EXPECT_LT(frame.Y(492, 292), kDark);
  EXPECT_LT(frame.Y(392, 241), kDark);
  EXPECT_GT(frame.Y(392, 242), kBright);
  EXPECT_GT(frame.Y(392, 341), kBright);
  EXPECT_LT(frame.Y(392, 342), kDark);
  // The first column is the black window at screen x = 8, not the panel's green border.
  EXPECT_LT(frame.Y(0, 292), kDark);
  EXPECT_EQ(GetAppConfig()->share_audio, false);

  // A blue pen line 11 wide, then a red rectangle crossing it, then the arrow again.
  CShareToolsFrame* tools = frame_->GetToolsFrame();
  ASSERT_TRUE(tools);
  ClickWithMessages(*tools, L"pen_anno");
  CAnnoState& state = CAnnoState::Instance();
  EXPECT_EQ(state.GetShape(), kAnnoShapePen);
  frame_->SetColor(0xFF0000FF);
  EXPECT_EQ(state.GetColour(), 0xFFFF0000u);
  frame_->SetPenSize(11);
  share_test::DragFromTo(POINT{700, 600}, POINT{1100, 600});
  frame_->SetShape(kAnnoShapeRect);
  frame_->SetColor(0xFFE62222);
  frame_->SetPenSize(5);
  share_test::DragFromTo(POINT{800, 500}, POINT{1000, 700});
  ASSERT_EQ(state.Strokes().size(), 2u);
  frame_->SetShape(7);
  EXPECT_EQ(state.GetShape(), kAnnoShapeRect);
  ClickWithMessages(*tools, L"arrow_anno");
  EXPECT_EQ(state.GetShape(), kAnnoShapeNone);
  share_test::MoveTo(1900, 1070);
  ASSERT_TRUE(owner_.WaitForFrame(1904, 1064, &frame));
  const auto blue = [](const Frame& f, int x, int y) { return f.U(x, y) > 180 && f.V(x, y) < 140; };
  const auto red = [](const Frame& f, int x, int y) { return f.V(x, y) > 180 && f.U(x, y) < 140; };
  EXPECT_TRUE(blue(frame, 892, 592));  // The pen alone.
  EXPECT_TRUE(red(frame, 792, 542));   // The rectangle alone.
  EXPECT_TRUE(blue(frame, 792, 592));  // Where they cross, the pen lies above.
  EXPECT_GT(frame.Y(392, 292), kBright);  // The known window beneath shows again.

  // The eraser where both cross removes only the older stroke (the pen line).
  frame_->SetShape(kAnnoShapeEraser);
  share_test::ClickAt(800, 600);
  ASSERT_EQ(state.Strokes().size(), 1u);
  EXPECT_EQ(state.Strokes()[0].kind, kAnnoStrokeRect);
  // A 1-pixel rectangle drag adds nothing.
  frame_->SetShape(kAnnoShapeRect);
  share_test::DragFromTo(POINT{1200, 300}, POINT{1201, 300}, 1);
  EXPECT_EQ(state.Strokes().size(), 1u);

  ClickWithMessages(*tools, L"close_share");
  EXPECT_FALSE(frame_->IsSharing());
  EXPECT_FALSE(frame_->GetCanvas()->IsRunning());
  EXPECT_TRUE(state.Strokes().empty());
  EXPECT_FALSE(IsWindowVisible(frame_->GetAnnoPanel()->GetHWND()));
  EXPECT_FALSE(IsWindowVisible(tools->GetHWND()));
}

// With a drawing tool on, the panel takes the mouse over the whole screen; the toolbar, brought
// back each second above the panel, must stay in front of it so that its buttons can be seen
// and clicked: a real click on "Stop sharing" ends the share.
TEST_F(ShareFrameTest, TheToolbarStaysInFrontOfThePanelWithAToolOn) {
  frame_->ShowWindow(true, true);
  tarvo_test::PumpMessages(50);
  ClickWithPointer(L"btn_startShare");
  ASSERT_TRUE(frame_->IsSharing());
  CShareToolsFrame* tools = frame_->GetToolsFrame();
  ASSERT_TRUE(tools);
  frame_->SetShape(kAnnoShapeRect);
  frame_->SetAnniPos();  // What the toolbar's timer does each second.
  tarvo_test::PumpMessages(100);
  DuiLib::CControlUI* stop = tools->GetPaintManager()->FindControl(L"close_share");
  ASSERT_TRUE(stop);
  const RECT& rect = stop->GetPos();
  POINT at{(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
  ClientToScreen(tools->GetHWND(), &at);
  const auto stop_button_on_screen = [&] {
    tarvo_test::Pixels pixel;
    return tarvo_test::ReadScreenPixels(RECT{at.x, at.y, at.x + 1, at.y + 1}, &pixel) &&
           (pixel.At(0, 0) >> 16) > 200;
  };
  EXPECT_TRUE(tarvo_test::PumpUntil(stop_button_on_screen, 3000));
  share_test::ClickAt(at.x, at.y);
  EXPECT_TRUE(tarvo_test::PumpUntil([&] { return !frame_->IsSharing(); }, 3000));
  share_test::MoveTo(1900, 1070);
}

TEST_F(ShareFrameTest, AreaSharesCropTheAreaExactly) {
  ClickWithPointer(L"option_window");
  EXPECT_EQ(frame_->GetMode(), CShareFrame::kModeArea);
  ClickWithPointer(L"btn_startShare");
  CRegionIndicator* area_frame = frame_->GetAreaFrame();
  ASSERT_TRUE(area_frame);
  EXPECT_TRUE(IsWindowVisible(area_frame->GetHWND()));
  const RECT area = area_frame->GetAreaRect();
  ASSERT_EQ(area.right - area.left, 1024);
  ASSERT_EQ(area.bottom - area.top, 576);
  {
    // A window over exactly the area, its outermost rows and columns white.
    KnownWindow known(L"Known area", area, RECT{}, true, true);
    Frame frame;
    ASSERT_TRUE(owner_.WaitForFrame(1024, 576, &frame));
    for (int y : {1, 300, 574}) {
      EXPECT_GT(frame.Y(0, y), kBright) << y;
      EXPECT_LT(frame.Y(1, y), kDark) << y;
      EXPECT_LT(frame.Y(1022, y), kDark) << y;
      EXPECT_GT(frame.Y(1023, y), kBright) << y;
    }
    for (int x : {1, 500, 1022}) {
      EXPECT_GT(frame.Y(x, 0), kBright) << x;
      EXPECT_LT(frame.Y(x, 1), kDark) << x;
      EXPECT_LT(frame.Y(x, 574), kDark) << x;
      EXPECT_GT(frame.Y(x, 575), kBright) << x;
    }
  }
  // 1001 wide is taken 1000 wide.
  RECT window{};
  GetWindowRect(area_frame->GetHWND(), &window);
  MoveWindow(area_frame->GetHWND(), window.left, window.top, 1001 + 14, 631, TRUE);
  Frame frame;
  ASSERT_TRUE(owner_.WaitForFrame(1000, 576, &frame));
  MoveWindow(area_frame->GetHWND(), window.left, window.top, 1038, 631, TRUE);
  // The "4:3" button: 1024 x 768 with the bottom edge kept.
  POINT button{1038 - 65, 631 - 14};
  ClientToScreen(area_frame->GetHWND(), &button);
  share_test::ClickAt(button.x, button.y);
  share_test::MoveTo(1900, 1070);
  ASSERT_TRUE(owner_.WaitForFrame(1024, 768, &frame));
  RECT after{};
  GetWindowRect(area_frame->GetHWND(), &after);
  EXPECT_EQ(after.bottom, window.bottom);

  // An empty area paints nothing and keeps the canvas size.
  MoveWindow(area_frame->GetHWND(), window.left, window.top, 0, 0, TRUE);
  TrastorCanvas* canvas = frame_->GetCanvas();
  for (int i = 0; i < 3; ++i) EXPECT_TRUE(TrastorTest_RunTick(canvas, 3000));
  int width = 0;
  int height = 0;
  canvas->GetSize(&width, &height);
  EXPECT_EQ(width, 1024);
  EXPECT_EQ(height, 768);
  frame_->StopShare();
  tarvo_test::PumpMessages(50);
  EXPECT_FALSE(IsWindowVisible(area_frame->GetHWND()));
}

// Expected luma of an 0x00RRGGBB colour.
int Luma(std::uint32_t rgb) {
  const int r = (rgb >> 16) & 0xFF;
  const int g = (rgb >> 8) & 0xFF;
  const int b = rgb & 0xFF;
  return ((66 * r + 129 * g + 25 * b + 128) >> 8) + 16;
}

TEST_F(ShareFrameTest, AnApplicationIsSharedUntilItIsGone) {
  capture_target::Target target(L"capture_target.exe", L"Share target",
                                L"--rect=1200,600,320,256");
  ASSERT_TRUE(target.window());
  ASSERT_TRUE(tarvo_test::PumpUntil([&] { return IsWindowVisible(target.window()) != FALSE; }));
  HWND tarvo = CreateWindowExW(0, L"STATIC", L"TarvoLive", WS_POPUP | WS_VISIBLE, 1700, 700, 100,
                               60, nullptr, nullptr, nullptr, nullptr);
  frame_->RefreshWindowList();
  tarvo_test::PumpMessages(100);  // Lays out the new items.
  const auto& apps = frame_->GetAppList();
  EXPECT_EQ(apps.count(target.window()), 1u);
  EXPECT_EQ(apps.count(tarvo), 0u);
  EXPECT_EQ(apps.count(frame_->GetHWND()), 0u);
  ASSERT_TRUE(Control(ItemName(target.window()).c_str()));
  EXPECT_FALSE(Control(ItemName(main_).c_str()));
  ClickWithMessages(*frame_, ItemName(target.window()).c_str());
  EXPECT_EQ(frame_->GetMode(), CShareFrame::kModeApp);
  EXPECT_EQ(frame_->GetChosenWindow(), target.window());
  EXPECT_EQ(frame_->GetChosenProgram(), L"capture_target.exe");

  ClickWithMessages(*frame_, L"btn_startShare");
  Frame frame;
  ASSERT_TRUE(owner_.WaitForFrame(320, 256, &frame));
  EXPECT_NEAR(frame.Y(80, 64), Luma(capture_target::kTopLeft), 6);
  EXPECT_NEAR(frame.Y(240, 64), Luma(capture_target::kTopRight), 6);
  EXPECT_NEAR(frame.Y(80, 192), Luma(capture_target::kBottomLeft), 6);
  EXPECT_NEAR(frame.Y(240, 192), Luma(capture_target::kBottomRight), 6);

  // Minimised: white 640 x 360.
  ShowWindow(target.window(), SW_MINIMIZE);
  ASSERT_TRUE(owner_.WaitForFrame(640, 360, &frame));
  EXPECT_GT(frame.Y(320, 180), kBright);
  ShowWindow(target.window(), SW_RESTORE);
  ASSERT_TRUE(owner_.WaitForFrame(320, 256, &frame));
  // The program killed mid-capture: white 640 x 360 until the share stops.
  target.Kill();
  ASSERT_TRUE(owner_.WaitForFrame(640, 360, &frame));
  EXPECT_GT(frame.Y(10, 10), kBright);
  frame_->StopShare();
  EXPECT_FALSE(frame_->GetCanvas()->IsRunning());
  DestroyWindow(tarvo);
}

TEST_F(ShareFrameTest, AHungProgramDoesNotHoldUpTheList) {
  std::atomic<HWND> hung{nullptr};
  HANDLE release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  std::thread owner_thread([&] {
    HWND window = CreateWindowExW(0, L"STATIC", L"Hung program", WS_POPUP | WS_VISIBLE, 50, 900,
                                  100, 60, nullptr, nullptr, nullptr, nullptr);
    hung = window;
    WaitForSingleObject(release, INFINITE);  // Answers no messages meanwhile.
    DestroyWindow(window);
  });
  ASSERT_TRUE(tarvo_test::PumpUntil([&] { return hung.load() != nullptr; }, 3000));
  frame_->RefreshWindowList();
  const auto& apps = frame_->GetAppList();
  ASSERT_EQ(apps.count(hung.load()), 1u);
  EXPECT_TRUE(apps.at(hung.load()).icon);
  SetEvent(release);
  owner_thread.join();
  CloseHandle(release);
}

TEST_F(ShareFrameTest, ClosingMidShareReleasesEverything) {
  const int gdi_before = GdiObjects();
  for (int round = 0; round < 20; ++round) {
    if (round % 2) ClickWithMessages(*frame_, L"option_window");
    ClickWithMessages(*frame_, L"btn_startShare");
    TrastorCanvas* canvas = frame_->GetCanvas();
    ASSERT_TRUE(canvas) << round;
    std::atomic<bool> stop{false};
    std::thread puller([&] {
      while (!stop.load()) TrastorTest_RunTick(canvas, 1000);  // Back to back.
    });
    tarvo_test::PumpMessages(60);
    SendMessageW(frame_->GetHWND(), WM_CLOSE, 0, 0);
    stop = true;
    puller.join();
    EXPECT_EQ(Trastor_GetCanvas("CANVAS_AS"), nullptr) << round;
    owner_.frame = nullptr;
    frame_.reset();
    OpenFrame();
  }
  EXPECT_LT(GdiObjects() - gdi_before, 50);
}

TEST_F(ShareFrameTest, LongApplicationSharesKeepTheGdiObjectCount) {
  capture_target::Target target(L"capture_target.exe", L"Long share", L"--rect=1200,600,320,256");
  ASSERT_TRUE(target.window());
  ASSERT_TRUE(tarvo_test::PumpUntil([&] { return IsWindowVisible(target.window()) != FALSE; }));
  frame_->RefreshWindowList();
  tarvo_test::PumpMessages(100);
  ClickWithMessages(*frame_, ItemName(target.window()).c_str());
  ASSERT_EQ(frame_->GetMode(), CShareFrame::kModeApp);
  ClickWithMessages(*frame_, L"btn_startShare");
  TrastorCanvas* canvas = frame_->GetCanvas();
  for (int i = 0; i < 10; ++i) ASSERT_TRUE(TrastorTest_RunTick(canvas, 3000));
  const int gdi_before = GdiObjects();
  ASSERT_GT(gdi_before, 0);
  for (int i = 0; i < 1000; ++i) ASSERT_TRUE(TrastorTest_RunTick(canvas, 3000)) << i;
  EXPECT_LT(GdiObjects() - gdi_before, 20);
  Frame frame;
  ASSERT_TRUE(owner_.WaitForFrame(320, 256, &frame));
  frame_->StopShare();
}

TEST_F(ShareFrameTest, Screenshots) {
  capture_target::Target target(L"capture_target.exe", L"Shown in the list",
                                L"--rect=1500,700,320,256");
  ASSERT_TRUE(target.window());
  ASSERT_TRUE(tarvo_test::PumpUntil([&] { return IsWindowVisible(target.window()) != FALSE; }));
  for (int skin : {kSkinBlue, kSkinOrange}) {
    CloseFrame();
    SetSkinIndex(skin);
    OpenFrame();
    ClickWithMessages(*frame_, L"option_window");
    frame_->SetUnreadChatCount(5);
    ClickWithMessages(*frame_, L"btn_startShare");
    CShareToolsFrame* tools = frame_->GetToolsFrame();
    ASSERT_TRUE(tools);
    frame_->RefreshWindowList();
    frame_->ShowWindow(true, false);
    SetWindowPos(frame_->GetHWND(), HWND_TOP, 20, 480, 0, 0, SWP_NOSIZE);
    tarvo_test::PumpMessages(200);
    // The pointer on the pen opens the palette.
    const RECT& rect = tools->GetPaintManager()->FindControl(L"pen_anno")->GetPos();
    POINT pen{(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
    ClientToScreen(tools->GetHWND(), &pen);
    share_test::MoveTo(pen.x, pen.y);
    tarvo_test::PumpMessages(300);
    EXPECT_TRUE(IsWindowVisible(tools->GetAnnoTools()->GetHWND()));
    const RECT screen{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    EXPECT_TRUE(share_test::SaveScreenPng(
        screen, skin == kSkinBlue ? L"share_blue.png" : L"share_orange.png"));
    share_test::MoveTo(1900, 1070);
    frame_->StopShare();
  }
}

}  // namespace
