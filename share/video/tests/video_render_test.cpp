// The video render control on a real window: the canvas it sets up, frames pushed from other
// threads, placeholders, rotation, visibility, colour picking and racing threads.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>
#include <vector>

#include "libyuv.h"
#include "platform/trastor/trastor_testing.h"
#include "share/video/tests/render_test_window.h"
#include "share/video/video_render_win.h"
#include "share/video/video_tools_frame.h"
#include "shell/login/skin_choice.h"
#include "tests/support/window_pixels.h"

namespace video_test {
namespace {

constexpr std::uint32_t kNoVideoBlue = 0x1E2430;      // Background of res\blue\novideo.png.
constexpr std::uint32_t kNoVideoBlueIcon = 0x5A6E8C;  // Its camera.
constexpr std::uint32_t kDevBusy = 0x301E1E;          // Background of res\devbusy.png.
constexpr std::uint32_t kBars[8] = {0xBFBFBF, 0xBFBF00, 0x00BFBF, 0x00BF00,
                                    0xBF00BF, 0xBF0000, 0x0000BF, 0x101010};

std::vector<unsigned char> I420Bars(int width, int height) {
  std::vector<std::uint32_t> argb(static_cast<std::size_t>(width) * height);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) argb[y * width + x] = 0xFF000000 | kBars[x * 8 / width];
  }
  const int half_width = (width + 1) / 2;
  const int half_height = (height + 1) / 2;
  std::vector<unsigned char> frame(width * height + 2 * half_width * half_height);
  unsigned char* u = frame.data() + width * height;
  unsigned char* v = u + half_width * half_height;
  libyuv::ARGBToI420(reinterpret_cast<const uint8_t*>(argb.data()), width * 4, frame.data(), width,
                     u, half_width, v, half_width, width, height);
  return frame;
}

std::vector<unsigned char> SolidBgra(int width, int height, std::uint32_t rgb) {
  std::vector<unsigned char> frame(static_cast<std::size_t>(width) * height * 4);
  const std::uint32_t pixel = 0xFF000000 | rgb;
  for (std::size_t i = 0; i < frame.size(); i += 4) std::memcpy(&frame[i], &pixel, 4);
  return frame;
}

class VideoRenderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    StartGdiplus();
    SetSkinIndex(kSkinBlue);
    // The language table, as the client loads it at start-up.
    ASSERT_TRUE(DuiLib::CMutiLanSupport::Instance()->LoadFromResFile(
        130, L"xml\\language.xml", true, L"en_US", L"xml"));
    window_ = new RenderTestWindow;
    ASSERT_TRUE(window_->CreateAt(100, 100));
    ASSERT_TRUE(window_->RenderWindow());
    video_ = window_->Video();
  }
  void TearDown() override {
    if (window_->GetHWND()) DestroyWindow(window_->GetHWND());
    delete window_;
    tarvo_test::PumpMessages(20);
  }

  TrastorCanvas* SetUpPreview(const char* name = "PREVIEW_CANVAS") {
    video_->SetupCanvas(name, kVideoWidth, kVideoHeight);
    video_->AttachCanvas(true);
    return Trastor_GetCanvas(name);
  }
  tarvo_test::Pixels Shown(TrastorCanvas* canvas) {
    EXPECT_TRUE(TrastorTest_RunTick(canvas, 5000));
    tarvo_test::Pixels pixels;
    EXPECT_TRUE(tarvo_test::ReadWindowPixels(window_->RenderWindow(), &pixels));
    return pixels;
  }
  long long Pushes(TrastorCanvas* canvas) {
    TrastorSourceCounters counters{};
    TrastorTest_GetSourceCounters(TrastorTest_GetSource(canvas, 0), &counters);
    return counters.pushes;
  }

  RenderTestWindow* window_ = nullptr;
  CVideoRenderUI* video_ = nullptr;
};

TEST_F(VideoRenderTest, RenderCreateArrivesOnceAndTheWindowCoversTheControl) {
  EXPECT_EQ(window_->RenderCreateCount(), 1);
  SetWindowPos(window_->GetHWND(), nullptr, 0, 0, 720, 480,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  tarvo_test::PumpMessages(100);
  EXPECT_EQ(window_->RenderCreateCount(), 1);
  HWND render = window_->RenderWindow();
  EXPECT_EQ(GetParent(render), window_->GetHWND());
  EXPECT_TRUE(IsWindowVisible(render));
  RECT rect{};
  GetWindowRect(render, &rect);
  EXPECT_EQ(rect.left, 100 + kVideoLeft);
  EXPECT_EQ(rect.top, 100 + kVideoTop);
  EXPECT_EQ(rect.right - rect.left, kVideoWidth);
  EXPECT_EQ(rect.bottom - rect.top, kVideoHeight);
  // The video tools float centred over the bottom of the video.
  CVideoRenderWin* render_window = video_->GetRenderWindow();
  ASSERT_TRUE(render_window->GetVideoTools() && render_window->GetVideoTools()->GetHWND());
  RECT tools{};
  GetWindowRect(render_window->GetVideoTools()->GetHWND(), &tools);
  EXPECT_EQ(tools.bottom, rect.bottom - 15);
  EXPECT_EQ((tools.left + tools.right) / 2, (rect.left + rect.right) / 2);
}

TEST_F(VideoRenderTest, ShowsTheNoVideoPictureThenBarsPushedFromAnotherThread) {
  TrastorCanvas* canvas = SetUpPreview();
  ASSERT_TRUE(canvas);
  EXPECT_TRUE(canvas->IsRunning());
  tarvo_test::Pixels pixels = Shown(canvas);
  ASSERT_EQ(pixels.width, kVideoWidth);
  EXPECT_TRUE(tarvo_test::NearColour(pixels.At(5, 5), kNoVideoBlue, 2))
      << std::hex << pixels.At(5, 5);
  EXPECT_TRUE(tarvo_test::NearColour(pixels.At(320, 180), kNoVideoBlueIcon, 2));

  const auto frame = I420Bars(320, 180);
  std::thread pusher(
      [&] { video_->PushFrame(320, 180, 12, frame.data(), static_cast<int>(frame.size())); });
  pusher.join();
  pixels = Shown(canvas);
  for (int bar = 0; bar < 8; ++bar) {
    for (int y : {20, 180, 340}) {
      const int x = bar * 80 + 40;
      EXPECT_TRUE(tarvo_test::NearColour(pixels.At(x, y), kBars[bar], 8))
          << "bar " << bar << " at " << x << "," << y << ": " << std::hex << pixels.At(x, y);
    }
  }
  // What the user sees: the video with its tools and a meter, on the screen itself.
  video_->ShowTools(true);
  video_->SetPickMode(true);
  window_->Meter()->SetValue(60);
  tarvo_test::PumpMessages(300);
  RECT window{};
  GetWindowRect(window_->GetHWND(), &window);
  tarvo_test::Pixels screen;
  ASSERT_TRUE(tarvo_test::ReadScreenPixels(window, &screen));
  for (int bar : {0, 3, 7}) {
    const int x = kVideoLeft + bar * 80 + 40;
    EXPECT_TRUE(tarvo_test::NearColour(screen.At(x, kVideoTop + 20), kBars[bar], 8))
        << "bar " << bar << " on the screen: " << std::hex << screen.At(x, kVideoTop + 20);
  }
  EXPECT_TRUE(IsWindowVisible(video_->GetRenderWindow()->GetVideoTools()->GetHWND()));
  EXPECT_TRUE(IsWindowVisible(video_->GetRenderWindow()->GetPickTools()->GetHWND()));
  DuiLib::CControlUI* flip =
      video_->GetRenderWindow()->GetVideoTools()->GetPaintManager()->FindControl(L"flip_check");
  ASSERT_TRUE(flip);
  EXPECT_EQ(flip->GetText(), L"Flip");
  EXPECT_TRUE(SaveScreenPng(window, L"video_render_blue.png"));
}

TEST_F(VideoRenderTest, ShowDevBusyShowsTheBusyPictureUntilFramesCome) {
  TrastorCanvas* canvas = SetUpPreview();
  ASSERT_TRUE(canvas);
  const auto frame = SolidBgra(kVideoWidth, kVideoHeight, 0x445566);
  video_->PushFrame(kVideoWidth, kVideoHeight, 1, frame.data(), static_cast<int>(frame.size()));
  EXPECT_EQ(Shown(canvas).At(5, 5), 0x445566u);
  video_->ShowDevBusy(true);
  EXPECT_TRUE(tarvo_test::NearColour(Shown(canvas).At(5, 5), kDevBusy, 2));
  video_->ShowDevBusy(false);  // Nothing changes.
  EXPECT_TRUE(tarvo_test::NearColour(Shown(canvas).At(5, 5), kDevBusy, 2));
  video_->ShowNoVideo(true);
  EXPECT_TRUE(tarvo_test::NearColour(Shown(canvas).At(5, 5), kNoVideoBlue, 2));
}

TEST_F(VideoRenderTest, ADetachedCanvasTakesNoFrames) {
  TrastorCanvas* canvas = SetUpPreview();
  ASSERT_TRUE(canvas);
  const auto frame = I420Bars(64, 36);
  const int size = static_cast<int>(frame.size());
  video_->PushFrame(64, 36, 12, frame.data(), size);
  EXPECT_EQ(Pushes(canvas), 1);
  video_->AttachCanvas(false);
  EXPECT_FALSE(canvas->IsRunning());
  video_->PushFrame(64, 36, 12, frame.data(), size);
  EXPECT_EQ(Pushes(canvas), 1);
  video_->AttachCanvas(true);
  video_->PushFrame(64, 36, 12, frame.data(), size);
  EXPECT_EQ(Pushes(canvas), 2);
}

TEST_F(VideoRenderTest, FrameCodesReachTheEngineWithTheirFormatAndLength) {
  TrastorCanvas* canvas = SetUpPreview();
  ASSERT_TRUE(canvas);
  std::vector<unsigned char> buffer(641 * 361 * 4, 0x80);
  const struct {
    int code;
    int width;
    int height;
    int format;
    int length;
  } taken[] = {
      {0, 640, 360, 2, 640 * 360 * 3},      {1, 640, 360, 3, 640 * 360 * 4},
      {6, 640, 360, 5, 640 * 360 * 2},      {8, 640, 360, 5, 640 * 360 * 2},
      {10, 640, 360, 6, 640 * 360 * 2},     {12, 641, 361, 0, 641 * 361 + 2 * 321 * 181},
      {16, 640, 360, 1, 640 * 360 * 3 / 2},
  };
  TrastorSource* source = TrastorTest_GetSource(canvas, 0);
  long long pushes = Pushes(canvas);
  for (const auto& push : taken) {
    SCOPED_TRACE(push.code);
    // The size argument may be larger than needed; the engine gets the computed length.
    video_->PushFrame(push.width, push.height, push.code, buffer.data(), push.length + 7);
    TrastorSourceCounters counters{};
    TrastorTest_GetSourceCounters(source, &counters);
    EXPECT_EQ(counters.pushes, ++pushes);
    EXPECT_EQ(counters.last_format, push.format);
    EXPECT_EQ(counters.last_length, push.length);
    EXPECT_EQ(counters.last_width, push.width);
  }
  const struct {
    int code;
    int width;
    int height;
    int size;
  } dropped[] = {{2, 640, 360, 640 * 360 * 4},     {7, 640, 360, 640 * 360 * 4},
                 {11, 640, 360, 640 * 360 * 4},    {13, 640, 360, 640 * 360 * 4},
                 {-1, 640, 360, 640 * 360 * 4},    {12, 641, 361, 641 * 361 + 2 * 321 * 181 - 1},
                 {1, 640, 360, 640 * 360 * 4 - 1}, {12, 0, 360, 640 * 360 * 2},
                 {12, 640, -2, 640 * 360 * 2}};
  for (const auto& push : dropped) {
    video_->PushFrame(push.width, push.height, push.code, buffer.data(), push.size);
  }
  video_->PushFrame(64, 36, 12, nullptr, 64 * 36 * 2);
  EXPECT_EQ(Pushes(canvas), pushes);
}

TEST_F(VideoRenderTest, AMissingPlaceholderLeavesTheVideoBlack) {
  TrastorCanvas* canvas = SetUpPreview();
  ASSERT_TRUE(canvas);
  const std::wstring picture = CVideoRenderWin::DevBusyPicturePath();
  const std::wstring aside = picture + L".aside";
  ASSERT_TRUE(MoveFileW(picture.c_str(), aside.c_str()));
  video_->ShowDevBusy(true);
  const std::uint32_t shown = Shown(canvas).At(320, 180);
  MoveFileW(aside.c_str(), picture.c_str());
  EXPECT_EQ(shown, 0u);
}

TEST_F(VideoRenderTest, TheSameNameKeepsTheCanvasAndANewNameReplacesIt) {
  const int live = TrastorTest_LiveCanvasCount();
  TrastorCanvas* preview = SetUpPreview();
  ASSERT_TRUE(preview);
  EXPECT_EQ(TrastorTest_LiveCanvasCount(), live + 1);
  video_->SetupCanvas("PREVIEW_CANVAS", 320, 180);
  EXPECT_EQ(Trastor_GetCanvas("PREVIEW_CANVAS"), preview);
  int width = 0;
  int height = 0;
  preview->GetSize(&width, &height);
  EXPECT_EQ(width, kVideoWidth);
  EXPECT_TRUE(preview->IsRunning());

  video_->SetupCanvas("VIDEO_CANVAS", 320, 180);
  EXPECT_EQ(Trastor_GetCanvas("PREVIEW_CANVAS"), nullptr);
  TrastorCanvas* video = Trastor_GetCanvas("VIDEO_CANVAS");
  ASSERT_TRUE(video);
  video->GetSize(&width, &height);
  EXPECT_EQ(width, 320);
  EXPECT_EQ(height, 180);
  EXPECT_FALSE(video->IsRunning());
  EXPECT_EQ(TrastorTest_LiveCanvasCount(), live + 1);
}

TEST_F(VideoRenderTest, RotationTurnsTheCanvasAndItsSource) {
  TrastorCanvas* canvas = SetUpPreview();
  ASSERT_TRUE(canvas);
  video_->SetRotation(1280, 720, 90);
  int width = 0;
  int height = 0;
  canvas->GetSize(&width, &height);
  EXPECT_EQ(width, 720);
  EXPECT_EQ(height, 1280);
  // A frame of the turned size fills the whole canvas: the source was turned too.
  const auto frame = SolidBgra(720, 1280, 0x336699);
  video_->PushFrame(720, 1280, 1, frame.data(), static_cast<int>(frame.size()));
  ASSERT_TRUE(TrastorTest_RunTick(canvas, 5000));
  std::vector<std::uint32_t> picture(720 * 1280);
  ASSERT_TRUE(TrastorTest_GetLastPicture(canvas, reinterpret_cast<unsigned char*>(picture.data()),
                                         static_cast<int>(picture.size() * 4), &width, &height));
  EXPECT_EQ(picture.front() & 0xFFFFFF, 0x336699u);
  EXPECT_EQ(picture.back() & 0xFFFFFF, 0x336699u);

  for (int degrees : {180, 0, 45}) {
    video_->SetRotation(1280, 720, degrees);
    canvas->GetSize(&width, &height);
    EXPECT_EQ(width, 1280) << degrees;
    EXPECT_EQ(height, 720) << degrees;
  }
}

TEST_F(VideoRenderTest, HidingTheControlOrItsPageHidesTheRenderWindow) {
  HWND render = window_->RenderWindow();
  video_->SetVisible(false);
  EXPECT_FALSE(IsWindowVisible(render));
  video_->SetVisible(true);
  EXPECT_TRUE(IsWindowVisible(render));
  ASSERT_TRUE(window_->Tabs());
  window_->Tabs()->SelectItem(1);
  tarvo_test::PumpMessages(50);
  EXPECT_FALSE(IsWindowVisible(render));
  window_->Tabs()->SelectItem(0);
  tarvo_test::PumpMessages(50);
  EXPECT_TRUE(IsWindowVisible(render));
}

TEST_F(VideoRenderTest, AClickInPickModeReportsTheScreenColourUnderThePointer) {
  TrastorCanvas* canvas = SetUpPreview();
  ASSERT_TRUE(canvas);
  const auto frame = SolidBgra(kVideoWidth, kVideoHeight, 0x112233);
  video_->PushFrame(kVideoWidth, kVideoHeight, 1, frame.data(), static_cast<int>(frame.size()));
  ASSERT_TRUE(TrastorTest_RunTick(canvas, 5000));
  video_->SetPickCursor(true);
  SetForegroundWindow(window_->GetHWND());
  RECT rect{};
  GetWindowRect(window_->RenderWindow(), &rect);
  const POINT centre{(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2 - 40};
  SetCursorPos(centre.x, centre.y);
  tarvo_test::PumpMessages(50);
  INPUT clicks[2] = {};
  clicks[0].type = clicks[1].type = INPUT_MOUSE;
  clicks[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
  clicks[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
  ASSERT_EQ(SendInput(2, clicks, sizeof(INPUT)), 2u);
  ASSERT_TRUE(tarvo_test::PumpUntil([&] { return !window_->calls.empty(); }));
  HDC screen = GetDC(nullptr);
  const COLORREF expected = GetPixel(screen, centre.x, centre.y);
  ReleaseDC(nullptr, screen);
  ASSERT_EQ(window_->calls.size(), 1u);
  EXPECT_EQ(window_->calls[0].operation, "colour");
  EXPECT_EQ(window_->calls[0].value, expected);
  const std::uint32_t rgb =
      (GetRValue(expected) << 16) | (GetGValue(expected) << 8) | GetBValue(expected);
  EXPECT_TRUE(tarvo_test::NearColour(rgb, 0x112233, 8)) << std::hex << rgb;
  // Picking ends with the click: the next one reports nothing.
  SendInput(2, clicks, sizeof(INPUT));
  tarvo_test::PumpMessages(200);
  EXPECT_EQ(window_->calls.size(), 1u);
}

// Two threads push 1280x720 frames while the UI thread sets canvases up and switches them,
// binds and unbinds, shows placeholders and rotates; the window with its control is destroyed
// and made again (pushes to a control stop before it goes, as the windows leave the bus first).
TEST(VideoRenderStress, PushesRaceCanvasChangesAndTheControlsLife) {
  StartGdiplus();
  const int live = TrastorTest_LiveCanvasCount();
  const auto frame = I420Bars(1280, 720);
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(4);
  int round = 0;
  while (std::chrono::steady_clock::now() < end) {
    auto* window = new RenderTestWindow;
    ASSERT_TRUE(window->CreateAt(60, 60));
    CVideoRenderUI* video = window->Video();
    std::atomic<bool> done{false};
    std::vector<std::thread> pushers;
    for (int i = 0; i < 2; ++i) {
      pushers.emplace_back([&] {
        while (!done) {
          video->PushFrame(1280, 720, 12, frame.data(), static_cast<int>(frame.size()));
          Sleep(1);
        }
      });
    }
    for (int step = 0; step < 40; ++step) {
      switch (step % 8) {
        case 0:
          video->SetupCanvas(step % 16 ? "PREVIEW_CANVAS" : "VIDEO_CANVAS", 640, 360);
          break;
        case 1:
          video->AttachCanvas(true);
          break;
        case 2:
          video->ShowDevBusy(true);
          break;
        case 3:
          video->SetRotation(1280, 720, 90);
          break;
        case 4:
          video->AttachCanvas(false);
          break;
        case 5:
          video->ShowNoVideo(true);
          break;
        case 6:
          video->SetRotation(1280, 720, 0);
          break;
        case 7:
          video->AttachCanvas(step % 3 != 0);
          break;
      }
      tarvo_test::PumpMessages(2);
    }
    done = true;
    for (auto& pusher : pushers) pusher.join();
    DestroyWindow(window->GetHWND());
    delete window;
    ++round;
  }
  EXPECT_GT(round, 1);
  EXPECT_EQ(TrastorTest_LiveCanvasCount(), live);
}

}  // namespace
}  // namespace video_test
