// Window capture of other programs' windows: from their own context, from the screen, with
// presentation programs opening windows, minimised, gone and racing threads.

#include "share/capture/win_capture.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <future>
#include <thread>

#include "share/capture/capture_image.h"
#include "share/capture/monitor_info.h"
#include "share/capture/scr_dc_cap_source.h"
#include "share/capture/tests/capture_target.h"
#include "share/capture/tests/capture_target_client.h"
#include "share/capture/win_dc_cap_source.h"
#include "tests/support/window_pixels.h"

namespace {

using capture_target::Target;

constexpr std::uint32_t kWhite = 0xFFFFFF;
constexpr std::uint32_t kCovered = 0x6CD9A2;  // RGB(108, 217, 162)
constexpr std::uint32_t kCoverColour = 0x404040;

// One captured image; pixels are read as 0x00RRGGBB.
struct Image {
  unsigned char* pixels = nullptr;
  int width = 0;
  int height = 0;
  int size = 0;
  int reason = -1;

  std::uint32_t At(int x, int y) const {
    const unsigned char* p =
        pixels + static_cast<std::size_t>(height - 1 - y) * CaptureImage::Stride(width) + x * 3;
    return (p[2] << 16) | (p[1] << 8) | p[0];
  }
};

bool Capture(CWinCapture& capture, Image* image) {
  return capture.GetCaptureData(&image->pixels, &image->width, &image->height, &image->size,
                                &image->reason);
}

// Keeps the pointer out of the pictures.
void ParkCursor() {
  SetCursorPos(GetSystemMetrics(SM_CXSCREEN) - 2, GetSystemMetrics(SM_CYSCREEN) - 2);
}

// A topmost window of this process in one colour, over part of a target.
class Cover {
 public:
  explicit Cover(const RECT& rect) {
    static const ATOM registered = [] {
      WNDCLASSW window_class{};
      window_class.lpfnWndProc = DefWindowProcW;
      window_class.hInstance = GetModuleHandleW(nullptr);
      window_class.hbrBackground = CreateSolidBrush(RGB(0x40, 0x40, 0x40));
      window_class.lpszClassName = L"CaptureTestCover";
      return RegisterClassW(&window_class);
    }();
    (void)registered;
    window_ = CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, L"CaptureTestCover", L"",
                              WS_POPUP | WS_VISIBLE, rect.left, rect.top, rect.right - rect.left,
                              rect.bottom - rect.top, nullptr, nullptr, GetModuleHandleW(nullptr),
                              nullptr);
    UpdateWindow(window_);
    tarvo_test::PumpMessages(50);
  }
  ~Cover() { DestroyWindow(window_); }
  HWND get() const { return window_; }

 private:
  HWND window_;
};

// A window of this process, hidden or shown.
class OwnWindow {
 public:
  explicit OwnWindow(bool visible) {
    window_ =
        CreateWindowExW(0, L"STATIC", L"Own capture window", WS_POPUP | (visible ? WS_VISIBLE : 0),
                        700, 500, 200, 150, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    tarvo_test::PumpMessages(50);
  }
  ~OwnWindow() {
    if (IsWindow(window_)) DestroyWindow(window_);
  }
  HWND get() const { return window_; }

 private:
  HWND window_;
};

// A window of this process on a thread of its own, painted in the capture target's quadrants.
// Here another program's window is read from the X server, which does not keep the covered
// parts of a window; a window of this process keeps its own pixels, as every window does on a
// composited Windows desktop.
class QuadrantWindow {
 public:
  explicit QuadrantWindow(const RECT& rect) {
    std::promise<HWND> created;
    std::future<HWND> window = created.get_future();
    thread_ = std::thread([this, rect, &created] { Run(rect, &created); });
    window_ = window.get();
    tarvo_test::PumpMessages(50);
  }
  ~QuadrantWindow() {
    if (window_) PostMessageW(window_, WM_CLOSE, 0, 0);
    thread_.join();
  }
  HWND get() const { return window_; }

 private:
  static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
      case WM_ERASEBKGND:
        return 1;
      case WM_PAINT: {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(window, &paint);
        RECT client{};
        GetClientRect(window, &client);
        const int mid_x = client.right / 2;
        const int mid_y = client.bottom / 2;
        const struct {
          RECT rect;
          std::uint32_t rgb;
        } quadrants[] = {{{0, 0, mid_x, mid_y}, capture_target::kTopLeft},
                         {{mid_x, 0, client.right, mid_y}, capture_target::kTopRight},
                         {{0, mid_y, mid_x, client.bottom}, capture_target::kBottomLeft},
                         {{mid_x, mid_y, client.right, client.bottom}, capture_target::kBottomRight}};
        for (const auto& quadrant : quadrants) {
          HBRUSH brush = CreateSolidBrush(
              RGB(quadrant.rgb >> 16, (quadrant.rgb >> 8) & 0xFF, quadrant.rgb & 0xFF));
          FillRect(dc, &quadrant.rect, brush);
          DeleteObject(brush);
        }
        EndPaint(window, &paint);
        return 0;
      }
      case WM_CLOSE:
        DestroyWindow(window);
        return 0;
      case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(window, message, wparam, lparam);
  }

  static void Run(const RECT& rect, std::promise<HWND>* created) {
    static const ATOM registered = [] {
      WNDCLASSW window_class{};
      window_class.lpfnWndProc = Proc;
      window_class.hInstance = GetModuleHandleW(nullptr);
      window_class.lpszClassName = L"CaptureTestQuadrants";
      return RegisterClassW(&window_class);
    }();
    (void)registered;
    HWND window = CreateWindowExW(0, L"CaptureTestQuadrants", L"Quadrant window",
                                  WS_POPUP | WS_VISIBLE, rect.left, rect.top,
                                  rect.right - rect.left, rect.bottom - rect.top, nullptr,
                                  nullptr, GetModuleHandleW(nullptr), nullptr);
    if (window) UpdateWindow(window);
    created->set_value(window);
    if (!window) return;
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
  }

  std::thread thread_;
  HWND window_ = nullptr;
};

// Records the sink's calls and marks the capture's top-left corner black.
class MarkingSink : public IWinCaptureSink {
 public:
  void OnWinCaptureDraw(HDC dc, int left, int top, int width, int height) override {
    rect = RECT{left, top, left + width, top + height};
    RECT mark{0, 0, 4, 4};
    FillRect(dc, &mark, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    ++calls;
  }
  RECT rect{};
  int calls = 0;
};

class WinCaptureTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ParkCursor();
    RefreshMonitorScale();
  }
};

TEST_F(WinCaptureTest, ACoveredOrdinaryWindowComesOutWithItsOwnPixels) {
  QuadrantWindow target(RECT{100, 100, 500, 400});
  ASSERT_TRUE(target.get());
  ASSERT_TRUE(capture_target::WaitForScreenColour(350, 350, capture_target::kBottomRight));
  Cover cover(RECT{100, 100, 260, 200});
  ASSERT_TRUE(capture_target::WaitForScreenColour(150, 150, kCoverColour));

  MarkingSink sink;
  CWinCapture capture;
  ASSERT_TRUE(capture.Init(&sink, {target.get()}));
  Image image;
  ASSERT_TRUE(Capture(capture, &image));
  EXPECT_EQ(image.reason, CWinCapture::kReasonNone);
  ASSERT_EQ(image.width, 416);
  ASSERT_EQ(image.height, 320);
  EXPECT_EQ(image.At(50, 50), capture_target::kTopLeft);  // Under the cover.
  EXPECT_EQ(image.At(150, 90), capture_target::kTopLeft);
  EXPECT_EQ(image.At(199, 10), capture_target::kTopLeft);
  EXPECT_EQ(image.At(200, 10), capture_target::kTopRight);
  EXPECT_EQ(image.At(10, 149), capture_target::kTopLeft);
  EXPECT_EQ(image.At(10, 150), capture_target::kBottomLeft);
  EXPECT_EQ(image.At(399, 299), capture_target::kBottomRight);
  EXPECT_EQ(image.At(400, 10), kWhite);
  EXPECT_EQ(image.At(10, 300), kWhite);
  // The sink drew over the capture with the window's place.
  EXPECT_EQ(sink.calls, 1);
  EXPECT_EQ(sink.rect.left, 100);
  EXPECT_EQ(sink.rect.bottom, 400);
  EXPECT_EQ(image.At(1, 1), 0u);
  EXPECT_EQ(capture.GetSourceCount(), 1u);
}

TEST_F(WinCaptureTest, ScreenCapturedWindowsShowCoveredPartsInTheCoveredColour) {
  const struct {
    const wchar_t* program;
    const wchar_t* arguments;
  } cases[] = {{L"chrome.exe", L"--rect=100,100,400,300"},
               {L"capture_target.exe", L"--rect=100,100,400,300 --layered"}};
  for (const auto& test_case : cases) {
    SCOPED_TRACE(std::wstring(test_case.program) + L" " + test_case.arguments);
    Target target(test_case.program, L"Screen target", test_case.arguments);
    ASSERT_TRUE(target.window());
    ASSERT_TRUE(capture_target::WaitForScreenColour(350, 350, capture_target::kBottomRight));
    Cover cover(RECT{100, 100, 260, 200});
    ASSERT_TRUE(capture_target::WaitForScreenColour(150, 150, kCoverColour));

    CWinCapture capture;
    ASSERT_TRUE(capture.Init(nullptr, {target.window()}));
    Image image;
    ASSERT_TRUE(Capture(capture, &image));
    ASSERT_EQ(image.width, 416);
    EXPECT_EQ(image.At(50, 50), kCovered);
    EXPECT_EQ(image.At(159, 99), kCovered);
    EXPECT_EQ(image.At(160, 50), capture_target::kTopLeft);
    EXPECT_EQ(image.At(50, 100), capture_target::kTopLeft);
    EXPECT_EQ(image.At(399, 299), capture_target::kBottomRight);
    EXPECT_EQ(image.At(400, 10), kWhite);
  }
}

TEST_F(WinCaptureTest, A1000By700WindowGivesA1024By704ImageWithWhitePadding) {
  Target target(L"capture_target.exe", L"Large target", L"--rect=40,40,1000,700");
  ASSERT_TRUE(target.window());
  ASSERT_TRUE(capture_target::WaitForScreenColour(1000, 700, capture_target::kBottomRight));
  CWinCapture capture;
  ASSERT_TRUE(capture.Init(nullptr, {target.window()}));
  Image image;
  ASSERT_TRUE(Capture(capture, &image));
  EXPECT_EQ(image.width, 1024);
  EXPECT_EQ(image.height, 704);
  EXPECT_EQ(CaptureImage::Stride(1024), 3072);
  EXPECT_EQ(image.size, 3072 * 704);
  EXPECT_EQ(image.At(0, 0), capture_target::kTopLeft);
  EXPECT_EQ(image.At(999, 699), capture_target::kBottomRight);
  EXPECT_EQ(image.At(1000, 0), kWhite);
  EXPECT_EQ(image.At(0, 700), kWhite);
  EXPECT_EQ(image.At(1023, 703), kWhite);
}

TEST_F(WinCaptureTest, AMinimisedWindowGivesReason1AndItsRestoreANewSource) {
  Target target(L"capture_target.exe", L"Minimised target", L"--rect=100,100,400,300");
  ASSERT_TRUE(target.window());
  CWinCapture capture;
  ASSERT_TRUE(capture.Init(nullptr, {target.window()}));
  Image image;
  ASSERT_TRUE(Capture(capture, &image));
  const unsigned sources = capture.GetSourceCount();

  ShowWindow(target.window(), SW_MINIMIZE);
  ASSERT_TRUE(tarvo_test::PumpUntil([&] { return IsIconic(target.window()) != FALSE; }));
  EXPECT_FALSE(Capture(capture, &image));
  EXPECT_EQ(image.reason, CWinCapture::kReasonNotVisible);

  ShowWindow(target.window(), SW_SHOWNOACTIVATE);
  ASSERT_TRUE(tarvo_test::PumpUntil([&] { return !IsIconic(target.window()); }));
  ASSERT_TRUE(capture_target::WaitForScreenColour(350, 350, capture_target::kBottomRight));
  ASSERT_TRUE(Capture(capture, &image));
  EXPECT_EQ(capture.GetSourceCount(), sources + 1);
  EXPECT_EQ(image.At(350, 250), capture_target::kBottomRight);
}

TEST_F(WinCaptureTest, NoWindowsGiveReason2) {
  CWinCapture capture;
  Image image;
  EXPECT_FALSE(Capture(capture, &image));  // Never initialised.
  EXPECT_EQ(image.reason, CWinCapture::kReasonNoWindow);
  ASSERT_TRUE(capture.Init(nullptr, {}));
  EXPECT_FALSE(Capture(capture, &image));
  EXPECT_EQ(image.reason, CWinCapture::kReasonNoWindow);
  ASSERT_TRUE(capture.Init(nullptr, {reinterpret_cast<HWND>(0x7FFFFFF0)}));
  EXPECT_FALSE(Capture(capture, &image));
  EXPECT_EQ(image.reason, CWinCapture::kReasonNoWindow);
}

TEST_F(WinCaptureTest, WindowsThatGoAwayDuringPullsGiveReason2) {
  for (bool kill_program : {true, false}) {
    SCOPED_TRACE(kill_program ? "program killed" : "own window destroyed");
    Target target(L"capture_target.exe", L"Vanishing target", L"--rect=100,100,400,300");
    OwnWindow own(true);
    HWND shared = kill_program ? target.window() : own.get();
    ASSERT_TRUE(shared);
    CWinCapture capture;
    ASSERT_TRUE(capture.Init(nullptr, {shared}));
    std::atomic<int> last_reason{-1};
    std::atomic<bool> done{false};
    std::atomic<int> successes{0};
    std::thread puller([&] {
      while (!done) {
        Image image;
        if (Capture(capture, &image)) ++successes;
        last_reason = image.reason;
        Sleep(5);
      }
    });
    ASSERT_TRUE(tarvo_test::PumpUntil([&] { return successes.load() > 0; }));
    if (kill_program) {
      target.Kill();
    } else {
      DestroyWindow(own.get());
    }
    EXPECT_TRUE(
        tarvo_test::PumpUntil([&] { return last_reason.load() == CWinCapture::kReasonNoWindow; }));
    done = true;
    puller.join();
  }
}

TEST_F(WinCaptureTest, APresentationsSecondWindowJoinsWithinAboutThreeSeconds) {
  Target target(L"POWERPNT.EXE", L"Slides", L"--rect=100,100,400,300 --second=500");
  ASSERT_TRUE(target.window());
  CWinCapture capture;
  ASSERT_TRUE(capture.Init(nullptr, {target.window()}));
  Image image;
  ASSERT_TRUE(Capture(capture, &image));
  EXPECT_EQ(image.width, 416);
  HWND second = target.WaitForSecondWindow(5000);
  ASSERT_TRUE(second);
  const auto appeared = std::chrono::steady_clock::now();
  // The union is 400 + 10 + 200 = 610 wide: 640 once aligned.
  ASSERT_TRUE(
      tarvo_test::PumpUntil([&] { return Capture(capture, &image) && image.width == 640; }, 6000));
  const auto waited = std::chrono::steady_clock::now() - appeared;
  EXPECT_LT(std::chrono::duration_cast<std::chrono::milliseconds>(waited).count(), 3600);
  EXPECT_EQ(capture.GetWindows().size(), 2u);
  EXPECT_EQ(image.At(10, 10), capture_target::kTopLeft);
  EXPECT_EQ(image.At(410 + 150, 100), capture_target::kBottomRight);  // The second window.
  EXPECT_EQ(image.At(410 + 150, 200), kCovered);  // Below it: the screen, none of the windows.
}

TEST_F(WinCaptureTest, AZeroScaleFactorFailsTheScreenCapture) {
  Target target(L"chrome.exe", L"Scaled target", L"--rect=100,100,400,300");
  ASSERT_TRUE(target.window());
  CWinCapture capture;
  ASSERT_TRUE(capture.Init(nullptr, {target.window()}));
  Image image;
  ASSERT_TRUE(Capture(capture, &image));
  const struct {
    double horizontal;
    double vertical;
  } factors[] = {{0, 1}, {1, 0}, {0, 0}};
  for (const auto& factor : factors) {
    SetMonitorScale(factor.horizontal, factor.vertical);
    EXPECT_FALSE(Capture(capture, &image)) << factor.horizontal << " " << factor.vertical;
    EXPECT_EQ(image.reason, CWinCapture::kReasonFailed);
  }
  RefreshMonitorScale();
  EXPECT_TRUE(Capture(capture, &image));
}

TEST_F(WinCaptureTest, WinDCCapTestRefusesWindowsItCannotProbe) {
  EXPECT_FALSE(WinDCCapTest(nullptr));
  OwnWindow hidden(false);
  EXPECT_FALSE(WinDCCapTest(hidden.get()));
  HWND destroyed;
  {
    OwnWindow gone(true);
    destroyed = gone.get();
  }
  EXPECT_FALSE(WinDCCapTest(destroyed));
  Target target(L"capture_target.exe", L"Probe target", L"--rect=100,100,400,300");
  ASSERT_TRUE(target.window());
  // A window still painting itself may paint over the probe pixel: probe it once it shows.
  ASSERT_TRUE(capture_target::WaitForScreenColour(350, 350, capture_target::kBottomRight));
  EXPECT_TRUE(WinDCCapTest(target.window()));
}

TEST(WinCaptureNames, ForceScreenPrograms) {
  const struct {
    const wchar_t* name;
    bool forced;
  } names[] = {
      {L"chrome.exe", true},
      {L"CHROME.EXE", true},
      {L"Appium.exe", true},
      {L"winword.exe", true},
      {L"EXCEL.EXE", true},
      {L"PowerPnt.exe", true},
      {L"OneNoteIm.exe", true},
      {L"onenote.exe", true},
      {L"OneNotem.exe", true},
      {L"vclass.exe", true},
      {L"zclassbase.exe", true},
      {L"ApplicationFrameHost.exe", true},
      {L"MicrosoftEdge.exe", true},
      {L"microsoftedgecp.exe", true},
      {L"msedge.exe", false},
      {L"notepad.exe", false},
      {L"chrome.exe.bak", false},
      {L"MICROSOFTEDG", false},
      {L"", false},
  };
  for (const auto& entry : names) {
    EXPECT_EQ(IsForceScreenProgram(entry.name), entry.forced) << entry.name;
  }
}

TEST_F(WinCaptureTest, StopRacingPullsNeverCrashes) {
  Target target(L"capture_target.exe", L"Racing target", L"--rect=100,100,400,300");
  ASSERT_TRUE(target.window());
  CWinCapture capture;
  std::atomic<bool> done{false};
  std::thread puller([&] {
    while (!done) {
      Image image;
      Capture(capture, &image);
    }
  });
  for (int round = 0; round < 40; ++round) {
    capture.Init(nullptr, {target.window()});
    tarvo_test::PumpMessages(2);
    capture.Stop();
  }
  done = true;
  puller.join();
  Image image;
  EXPECT_FALSE(Capture(capture, &image));
  EXPECT_EQ(image.reason, CWinCapture::kReasonNoWindow);
}

TEST_F(WinCaptureTest, TheMonitorTableAndScaleFactors) {
  MonitorInfoTable& table = MonitorInfoTable::Instance();
  table.Refresh();
  ASSERT_GE(table.Count(), 1);
  const int primary = table.PrimaryIndex();
  ASSERT_GE(primary, 0);
  RECT rect{};
  ASSERT_TRUE(table.GetMonitorRect(primary, &rect));
  EXPECT_EQ(rect.right - rect.left, GetSystemMetrics(SM_CXSCREEN));
  EXPECT_FALSE(table.GetMonitorRect(table.Count(), &rect));
  int width = 0;
  int height = 0;
  ASSERT_TRUE(table.GetPrimaryResolution(&width, &height));
  EXPECT_EQ(width, GetSystemMetrics(SM_CXSCREEN));
  double horizontal = 0;
  double vertical = 0;
  RefreshMonitorScale();
  GetMonitorScale(&horizontal, &vertical);
  EXPECT_DOUBLE_EQ(horizontal, 1.0);
  EXPECT_DOUBLE_EQ(vertical, 1.0);
  EXPECT_FALSE(RefreshMonitorScaleIfOlderThan(60000));
}

}  // namespace
