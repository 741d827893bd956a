// The display canvas: pushed frames of every format and the placeholder picture drawn into a
// window, read back from the window's device context.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "libyuv.h"
#include "platform/trastor/tests/trastor_test_support.h"
#include "stb_image_write.h"
#include "tests/support/window_pixels.h"

namespace trastor_test {
namespace {

constexpr int kViewWidth = 320;
constexpr int kViewHeight = 240;
constexpr std::uint32_t kPlaceholder = 0xC8285A;  // RGB(200, 40, 90)

// Eight vertical bars, 0x00RRGGBB.
constexpr std::uint32_t kBars[8] = {0xBFBFBF, 0xBFBF00, 0x00BFBF, 0x00BF00,
                                    0xBF00BF, 0xBF0000, 0x0000BF, 0x101010};

LRESULT CALLBACK QuietWindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT:
      ValidateRect(window, nullptr);
      return 0;
  }
  return DefWindowProcW(window, message, wparam, lparam);
}

// A visible pop-up window that paints nothing itself.
class QuietWindow {
 public:
  QuietWindow() {
    WNDCLASSW window_class{};
    window_class.lpfnWndProc = QuietWindowProc;
    window_class.hInstance = GetModuleHandleW(nullptr);
    window_class.lpszClassName = L"TrastorTestWindow";
    RegisterClassW(&window_class);
    window_ = CreateWindowExW(WS_EX_TOPMOST, L"TrastorTestWindow", L"Trastor test", WS_POPUP, 40,
                              60, kViewWidth, kViewHeight, nullptr, nullptr,
                              GetModuleHandleW(nullptr), nullptr);
    ShowWindow(window_, SW_SHOWNOACTIVATE);
    tarvo_test::PumpMessages(100);
  }
  ~QuietWindow() { DestroyWindow(window_); }
  HWND get() const { return window_; }

 private:
  HWND window_;
};

void AppendBytes(void* context, void* data, int size) {
  auto* out = static_cast<std::string*>(context);
  out->append(static_cast<const char*>(data), size);
}

// Writes a `width` x `height` PNG of one colour into the temporary folder.
std::wstring WriteSolidPng(const wchar_t* name, std::uint32_t rgb, int width, int height) {
  std::vector<std::uint8_t> rgba(static_cast<std::size_t>(width) * height * 4);
  for (std::size_t i = 0; i < rgba.size(); i += 4) {
    rgba[i] = (rgb >> 16) & 0xFF;
    rgba[i + 1] = (rgb >> 8) & 0xFF;
    rgba[i + 2] = rgb & 0xFF;
    rgba[i + 3] = 0xFF;
  }
  std::string png;
  stbi_write_png_to_func(AppendBytes, &png, width, height, 4, rgba.data(), width * 4);
  wchar_t folder[MAX_PATH];
  GetTempPathW(MAX_PATH, folder);
  const std::wstring path = std::wstring(folder) + name;
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  DWORD written = 0;
  WriteFile(file, png.data(), static_cast<DWORD>(png.size()), &written, nullptr);
  CloseHandle(file);
  return path;
}

// Colour bars of `width` x `height` (bars of width / 8) in `format`.
std::vector<std::uint8_t> ColourBars(int format, int width, int height) {
  std::vector<std::uint8_t> argb(static_cast<std::size_t>(width) * height * 4);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const std::uint32_t colour = 0xFF000000 | kBars[x * 8 / width];
      std::memcpy(&argb[(static_cast<std::size_t>(y) * width + x) * 4], &colour, 4);
    }
  }
  const int stride = width * 4;
  const int half_width = (width + 1) / 2;
  const int half_height = (height + 1) / 2;
  std::vector<std::uint8_t> out;
  switch (format) {
    case trastor::kFormatI420: {
      out.resize(width * height + 2 * half_width * half_height);
      std::uint8_t* u = out.data() + width * height;
      std::uint8_t* v = u + half_width * half_height;
      libyuv::ARGBToI420(argb.data(), stride, out.data(), width, u, half_width, v, half_width,
                         width, height);
      break;
    }
    case trastor::kFormatNV12:
      out.resize(width * height + 2 * half_width * half_height);
      libyuv::ARGBToNV12(argb.data(), stride, out.data(), width, out.data() + width * height,
                         half_width * 2, width, height);
      break;
    case trastor::kFormatBGR24:
      out.resize(width * height * 3);
      libyuv::ARGBToRGB24(argb.data(), stride, out.data(), width * 3, width, height);
      break;
    case trastor::kFormatBGRA:
      out = argb;
      break;
    case trastor::kFormatYUY2:
      out.resize(width * height * 2);
      libyuv::ARGBToYUY2(argb.data(), stride, out.data(), width * 2, width, height);
      break;
    case trastor::kFormatUYVY:
      out.resize(width * height * 2);
      libyuv::ARGBToUYVY(argb.data(), stride, out.data(), width * 2, width, height);
      break;
  }
  return out;
}

// The display canvas as the render window sets it up.
TrastorSource* SetUpDisplayCanvas(TrastorCanvas* canvas) {
  canvas->SetBackground(0xFF000000);
  canvas->SetSize(kViewWidth, kViewHeight);
  canvas->SetFrameRate(15.0f);
  canvas->SetOutputMode(trastor::kOutputWindow);
  TrastorSource* source = canvas->CreateSource(trastor::kSourcePush, "SOURCE_VIDEO_SRC", 0);
  if (!source) return nullptr;
  source->SetPosition(0, 0);
  source->SetSize(kViewWidth, kViewHeight);
  return source;
}

bool Bind(TrastorCanvas* canvas, HWND window) {
  canvas->SetWindow(window);
  canvas->SetViewSize(kViewWidth, kViewHeight);
  return canvas->Start();
}

std::uint32_t WindowCentre(HWND window) {
  tarvo_test::Pixels pixels;
  if (!tarvo_test::ReadWindowPixels(window, &pixels)) return 0xFFFFFFFF;
  return pixels.At(pixels.width / 2, pixels.height / 2);
}

TEST(TrastorDisplayCanvas, ShowsThePlaceholderAndPushedBarsOfEveryFormat) {
  QuietWindow window;
  ScopedCanvas canvas("VIDEO_CANVAS");
  TrastorSource* source = SetUpDisplayCanvas(canvas.get());
  ASSERT_TRUE(source);
  ASSERT_TRUE(source->SetPlaceholderImage(
      WriteSolidPng(L"trastor_novideo.png", kPlaceholder, 64, 48).c_str()));
  ASSERT_TRUE(Bind(canvas.get(), window.get()));
  ASSERT_TRUE(TrastorTest_RunTick(canvas.get(), 5000));
  EXPECT_TRUE(tarvo_test::NearColour(WindowCentre(window.get()), kPlaceholder, 2))
      << std::hex << WindowCentre(window.get());

  const struct {
    int format;
    int tolerance;
  } formats[] = {{trastor::kFormatI420, 8}, {trastor::kFormatNV12, 8}, {trastor::kFormatBGR24, 2},
                 {trastor::kFormatBGRA, 2}, {trastor::kFormatYUY2, 8}, {trastor::kFormatUYVY, 8}};
  // RGB frames lose at most 2 levels: the scaler's horizontal filter weighs in 7 bits.
  for (const auto& format : formats) {
    SCOPED_TRACE(format.format);
    // Half the view's size: the engine doubles it.
    const auto frame = ColourBars(format.format, 160, 120);
    ASSERT_TRUE(
        source->PushFrame(format.format, 160, 120, frame.data(), static_cast<int>(frame.size())));
    ASSERT_TRUE(TrastorTest_RunTick(canvas.get(), 5000));
    tarvo_test::Pixels pixels;
    ASSERT_TRUE(tarvo_test::ReadWindowPixels(window.get(), &pixels));
    ASSERT_EQ(pixels.width, kViewWidth);
    for (int bar = 0; bar < 8; ++bar) {
      const int x = bar * 40 + 20;
      for (int y : {10, 120, 230}) {
        EXPECT_TRUE(tarvo_test::NearColour(pixels.At(x, y), kBars[bar], format.tolerance))
            << "bar " << bar << " at " << x << "," << y << ": " << std::hex << pixels.At(x, y);
      }
    }
  }

  source->ClearFrame();
  ASSERT_TRUE(TrastorTest_RunTick(canvas.get(), 5000));
  EXPECT_TRUE(tarvo_test::NearColour(WindowCentre(window.get()), kPlaceholder, 2));
  TrastorCanvasCounters counters{};
  ASSERT_TRUE(TrastorTest_GetCanvasCounters(canvas.get(), &counters));
  EXPECT_GE(counters.draws, 8);
  canvas->Stop();
}

TEST(TrastorDisplayCanvas, WithoutAReadablePlaceholderTheBackgroundShows) {
  QuietWindow window;
  HDC dc = GetDC(window.get());
  RECT all{0, 0, kViewWidth, kViewHeight};
  HBRUSH white = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
  FillRect(dc, &all, white);
  ReleaseDC(window.get(), dc);
  ScopedCanvas canvas("PREVIEW_CANVAS");
  TrastorSource* source = SetUpDisplayCanvas(canvas.get());
  ASSERT_TRUE(source);
  EXPECT_FALSE(source->SetPlaceholderImage(L"Z:\\no\\such\\novideo.png"));
  ASSERT_TRUE(Bind(canvas.get(), window.get()));
  ASSERT_TRUE(TrastorTest_RunTick(canvas.get(), 5000));
  EXPECT_EQ(WindowCentre(window.get()), 0x000000u);
  canvas->Stop();
}

TEST(TrastorDisplayCanvas, StretchesToTheViewSize) {
  QuietWindow window;
  ScopedCanvas canvas("VIEW_SIZE");
  TrastorSource* source = SetUpDisplayCanvas(canvas.get());
  ASSERT_TRUE(source);
  canvas->SetSize(80, 60);
  source->SetSize(80, 60);
  canvas->SetWindow(window.get());
  canvas->SetViewSize(kViewWidth, kViewHeight);
  ASSERT_TRUE(canvas->Start());
  const auto frame = ColourBars(trastor::kFormatBGRA, 80, 60);
  ASSERT_TRUE(source->PushFrame(trastor::kFormatBGRA, 80, 60, frame.data(),
                                static_cast<int>(frame.size())));
  ASSERT_TRUE(TrastorTest_RunTick(canvas.get(), 5000));
  tarvo_test::Pixels pixels;
  ASSERT_TRUE(tarvo_test::ReadWindowPixels(window.get(), &pixels));
  EXPECT_EQ(pixels.At(20, 200), kBars[0]);
  EXPECT_EQ(pixels.At(300, 200), kBars[7]);
  canvas->Stop();
}

}  // namespace
}  // namespace trastor_test
