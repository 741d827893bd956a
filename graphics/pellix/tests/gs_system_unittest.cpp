#include "graphics/pellix/gs_system_impl.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <iterator>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "graphics/pellix/call_gate.h"
#include "graphics/pellix/pellix_log.h"
#include "graphics/pellix/tests/bmp_fixture.h"

namespace {

using namespace gs::pellix;

// ---------------------------------------------------------------------------------------------
// Log and call-gate taps.

std::vector<std::string>& LogLines() {
  static std::vector<std::string> lines;
  return lines;
}
void RecordLog(const char* text) { LogLines().push_back(text); }
std::string AllLogLines() {
  std::string all;
  for (const std::string& line : LogLines()) all += line + "\n";
  return all;
}
bool Logged(const std::string& text) {
  for (const std::string& line : LogLines())
    if (line.find(text) != std::string::npos) return true;
  return false;
}

// The gate refuses `g_refused_call` of `g_refused_step`, up to `g_refusals` times.
std::string g_refused_step, g_refused_call;
int g_refusals = 0;
HRESULT RefuseOne(const char* step, const char* call) {
  if (g_refusals > 0 && g_refused_step == step && g_refused_call == call) {
    --g_refusals;
    return E_FAIL;
  }
  return S_OK;
}

struct Rgba {
  int r, g, b, a;
};

// Pixels read back from a B8G8R8A8 texture as RGB32 (bytes blue, green, red, alpha).
Rgba At(const std::vector<std::uint8_t>& rgb32, int width, int x, int y) {
  const std::uint8_t* p = rgb32.data() + (y * width + x) * 4;
  return {p[2], p[1], p[0], p[3]};
}

int Clamp255(double v) {
  return static_cast<int>(std::lround(std::min(1.0, std::max(0.0, v)) * 255));
}

// The studio-range conversions the effect implements, for the expected values.
Rgba YuvToRgb(int y8, int u8, int v8, bool bt709) {
  const double y = y8 / 255.0, u = u8 / 255.0, v = v8 / 255.0;
  if (bt709)
    return {Clamp255(1.164384 * y + 1.792741 * v - 0.972945),
            Clamp255(1.164384 * y - 0.213249 * u - 0.532909 * v + 0.301483),
            Clamp255(1.164384 * y + 2.112402 * u - 1.133402), 255};
  return {Clamp255(1.164384 * y + 1.596027 * v - 0.874202),
          Clamp255(1.164384 * y - 0.391762 * u - 0.812968 * v + 0.531668),
          Clamp255(1.164384 * y + 2.017232 * u - 1.085631), 255};
}

void ExpectNear(const Rgba& actual, const Rgba& expected, int tolerance, const std::string& what) {
  EXPECT_NEAR(actual.r, expected.r, tolerance) << what;
  EXPECT_NEAR(actual.g, expected.g, tolerance) << what;
  EXPECT_NEAR(actual.b, expected.b, tolerance) << what;
}

class GsSystemTest : public ::testing::Test {
 protected:
  void SetUp() override {
    LogLines().clear();
    pellix::SetLogTapForTesting(RecordLog);
    system_.reset(gsSystemImpl::Create());
    ASSERT_NE(system_, nullptr) << AllLogLines();
  }
  void TearDown() override {
    system_.reset();
    pellix::SetLogTapForTesting(nullptr);
  }

  // Draws into a render-target texture of the given size under a pixel-exact orthographic
  // projection (y down) and returns its pixels as RGB32.
  std::vector<std::uint8_t> Render(int width, int height, gs::Color background,
                                   const std::function<void()>& draw) {
    std::unique_ptr<gsTextureBase> target(system_->CreateTextureRenderTarget(width, height));
    std::unique_ptr<gsTextureBase> read(system_->CreateTextureRead(width, height));
    EXPECT_TRUE(target && read);
    if (!target || !read) return {};
    system_->SetRenderTarget(target.get());
    system_->SetViewport(0, 0, width, height);
    system_->SetOrtho(0, width, height, 0, 0, 1);
    system_->Clear(background);
    draw();
    EXPECT_EQ(system_->SetRenderTarget(nullptr), target.get());
    EXPECT_TRUE(system_->CopyTexture(read.get(), target.get()));
    return ReadRgb32(read.get());
  }

  std::vector<std::uint8_t> ReadRgb32(gsTextureBase* read) {
    int size = 0;
    EXPECT_TRUE(read->GetData(nullptr, &size, kRGB32));
    std::vector<std::uint8_t> pixels(size);
    EXPECT_TRUE(read->GetData(pixels.data(), &size, kRGB32));
    return pixels;
  }

  void DrawWhole(gsTextureBase* texture, int width, int height) {
    system_->DrawTexture(texture, 0, 0, width, height, 0xFFFFFFFF, 0.0f, 1.0f, 0.0f, 1.0f);
  }

  std::unique_ptr<gsSystemImpl> system_;
};

// ---------------------------------------------------------------------------------------------
// Creation.

TEST(GsSystemCreateTest, EachFailingStepGivesNullWithItsLogLine) {
  struct Case {
    const char* step;
    const char* call;
    int refusals;
  } cases[] = {
      {"BulidDevice", "CreateDXGIFactory", 1},
      {"BulidDevice", "EnumAdapters", 2},
      {"BulidDevice", "D3D10CreateDevice1", 3},
      {"BulidFX", "D3D10CreateEffectFromMemory", 1},
      {"BuildSolidLayout", "CreateInputLayout", 1},
      {"BuildSolidBuffer", "CreateBuffer", 1},
      {"BuildTextureLayout", "CreateInputLayout", 1},
      {"BuildTextureBuffer", "CreateBuffer", 1},
      {"BuildBlendState", "CreateBlendState", 1},
      {"BuildDepthStencilState", "CreateDepthStencilState", 1},
      {"BuildRasterizerState", "CreateRasterizerState", 1},
  };
  pellix::SetLogTapForTesting(RecordLog);
  pellix::SetCallGateForTesting(RefuseOne);
  for (const Case& c : cases) {
    LogLines().clear();
    g_refused_step = c.step;
    g_refused_call = c.call;
    g_refusals = c.refusals;
    std::unique_ptr<gsSystemImpl> system(gsSystemImpl::Create());
    EXPECT_EQ(system, nullptr) << c.step << " " << c.call;
    EXPECT_TRUE(
        Logged(std::string("gsSystemImpl::") + c.step + " " + c.call + " [ERROR] hr = 80004005"))
        << c.step << " " << c.call;
  }
  // Refusing the first two device levels falls back to the third.
  LogLines().clear();
  g_refused_step = "BulidDevice";
  g_refused_call = "D3D10CreateDevice1";
  g_refusals = 2;
  // (Wine accepts such a device but does not run vs_4_0_level_9_3 shaders on it, so the effect
  // step may still fail here; the device step is what this checks.)
  std::unique_ptr<gsSystemImpl> system(gsSystemImpl::Create());
  EXPECT_TRUE(Logged("gsSystemImpl D3D10CreateDevice1 OK [level = 9.3]")) << AllLogLines();
  system.reset();
  LogLines().clear();
  g_refusals = 1;
  system.reset(gsSystemImpl::Create());
  EXPECT_NE(system, nullptr) << AllLogLines();
  EXPECT_TRUE(Logged("gsSystemImpl D3D10CreateDevice1 OK [level = 10.0]"));
  system.reset();
  LogLines().clear();
  g_refusals = 0;
  system.reset(gsSystemImpl::Create());
  EXPECT_NE(system, nullptr);
  EXPECT_TRUE(Logged("gsSystemImpl D3D10CreateDevice1 OK [level = 10.1]"));
  pellix::SetCallGateForTesting(nullptr);
  pellix::SetLogTapForTesting(nullptr);
}

TEST(GsSystemCreateTest, AdapterWithMoreVideoMemoryWins) {
  EXPECT_EQ(pellix::ChooseAdapter(true, 256, true, 512), 1);
  EXPECT_EQ(pellix::ChooseAdapter(true, 512, true, 512), 0);
  EXPECT_EQ(pellix::ChooseAdapter(true, 512, true, 256), 0);
  EXPECT_EQ(pellix::ChooseAdapter(true, 0, false, 0), 0);
  EXPECT_EQ(pellix::ChooseAdapter(false, 0, false, 0), -1);
}

// ---------------------------------------------------------------------------------------------
// Drawing.

TEST_F(GsSystemTest, SolidRectangleCoversExactlyItsPixels) {
  const int w = 64, h = 48;
  std::vector<std::uint8_t> pixels =
      Render(w, h, 0xFF000000, [&] { system_->DrawSolid(10, 20, 50, 40, 0xFF0000FF); });
  ASSERT_EQ(pixels.size(), static_cast<size_t>(w * h * 4));
  int red = 0;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const Rgba p = At(pixels, w, x, y);
      const bool inside = x >= 10 && x < 50 && y >= 20 && y < 40;
      if (inside) ++red;
      ASSERT_EQ(p.r, inside ? 255 : 0) << x << "," << y;
      ASSERT_EQ(p.g, 0);
      ASSERT_EQ(p.b, 0);
    }
  EXPECT_EQ(red, 40 * 20);
}

TEST_F(GsSystemTest, BlendsAtHalfAlpha) {
  const int w = 8, h = 8;
  system_->SetBlendEnable(true);
  EXPECT_TRUE(system_->GetBlendEnable());
  // Red at alpha 128 over opaque blue.
  std::vector<std::uint8_t> pixels =
      Render(w, h, 0xFFFF0000, [&] { system_->DrawSolid(0, 0, w, h, 0x800000FF); });
  const Rgba p = At(pixels, w, 3, 3);
  EXPECT_NEAR(p.r, 128, 2);
  EXPECT_EQ(p.g, 0);
  EXPECT_NEAR(p.b, 127, 2);
  system_->SetBlendEnable(false);
  pixels = Render(w, h, 0xFFFF0000, [&] { system_->DrawSolid(0, 0, w, h, 0x800000FF); });
  EXPECT_EQ(At(pixels, w, 3, 3).r, 255);
  EXPECT_EQ(At(pixels, w, 3, 3).b, 0);
}

// The rotation follows the projection: a block at the right middle turns to the bottom middle.
TEST_F(GsSystemTest, RotatesByNinetyDegrees) {
  const int w = 64, h = 64;
  system_->SetRotation(90.0f);
  EXPECT_EQ(system_->GetRotation(), 90.0f);
  std::vector<std::uint8_t> pixels =
      Render(w, h, 0xFF000000, [&] { system_->DrawSolid(48, 24, 64, 40, 0xFF00FF00); });
  EXPECT_EQ(At(pixels, w, 32, 56).g, 255);  // bottom middle
  EXPECT_EQ(At(pixels, w, 56, 32).g, 0);    // where it was
  EXPECT_EQ(At(pixels, w, 32, 8).g, 0);
  int covered = 0;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) covered += At(pixels, w, x, y).g == 255;
  EXPECT_EQ(covered, 16 * 16);
}

// Eight bars of (Y, U, V), the second pixel of each bar 10 brighter, in every YUV layout.
TEST_F(GsSystemTest, YuvColourBarsInEveryLayout) {
  const int w = 16, h = 4;
  const int bars[8][3] = {{180, 128, 128}, {162, 44, 142}, {131, 156, 44}, {112, 72, 58},
                          {84, 184, 198},  {65, 100, 212}, {35, 212, 114}, {16, 128, 128}};
  auto luma = [&](int x) { return bars[x / 2][0] + (x % 2 ? 10 : 0); };
  for (int code : {kI420, kYV12, kYUY2, kYVYU, kUYVY, kHDYC}) {
    std::vector<std::uint8_t> frame;
    if (code == kI420 || code == kYV12) {
      for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) frame.push_back(static_cast<std::uint8_t>(luma(x)));
      const int first = code == kI420 ? 1 : 2, second = code == kI420 ? 2 : 1;
      for (int plane : {first, second})
        for (int y = 0; y < h / 2; ++y)
          for (int x = 0; x < w / 2; ++x)
            frame.push_back(static_cast<std::uint8_t>(bars[x][plane]));
    } else {
      for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; x += 2) {
          const int y0 = luma(x), y1 = luma(x + 1), u = bars[x / 2][1], v = bars[x / 2][2];
          std::vector<int> group = code == kYUY2   ? std::vector<int>{y0, u, y1, v}
                                   : code == kYVYU ? std::vector<int>{y0, v, y1, u}
                                                   : std::vector<int>{u, y0, v, y1};
          for (int b : group) frame.push_back(static_cast<std::uint8_t>(b));
        }
    }
    std::unique_ptr<gsTextureBase> texture(system_->CreateTextureWrite(w, h, nullptr, true));
    ASSERT_NE(texture, nullptr);
    ASSERT_TRUE(texture->SetData(frame.data(), static_cast<int>(frame.size()), code)) << code;
    system_->SetColorType(code);
    std::vector<std::uint8_t> pixels =
        Render(w, h, 0xFF000000, [&] { DrawWhole(texture.get(), w, h); });
    for (int x = 0; x < w; ++x) {
      const int* bar = bars[x / 2];
      ExpectNear(At(pixels, w, x, 1), YuvToRgb(luma(x), bar[1], bar[2], code == kHDYC), 2,
                 "code " + std::to_string(code) + " x " + std::to_string(x));
    }
  }
  // Colour type 8 draws nothing.
  std::unique_ptr<gsTextureBase> texture(system_->CreateTextureWrite(w, h, nullptr, true));
  system_->SetColorType(8);
  std::vector<std::uint8_t> pixels =
      Render(w, h, 0xFF000000, [&] { DrawWhole(texture.get(), w, h); });
  EXPECT_EQ(At(pixels, w, 5, 1).r + At(pixels, w, 5, 1).g + At(pixels, w, 5, 1).b, 0);
}

// RGB drawn through the RGB-to-YUV technique reads back as I420 matching the conversion; the
// I420 drawn back comes out as the colours it started from.
TEST_F(GsSystemTest, RgbToYuvRoundTrip) {
  const int w = 16, h = 4;
  const Rgba colours[8] = {{255, 255, 255, 255}, {200, 30, 40, 255},   {30, 180, 60, 255},
                           {20, 40, 220, 255},   {128, 128, 128, 255}, {240, 200, 20, 255},
                           {90, 20, 150, 255},   {16, 16, 16, 255}};
  std::vector<std::uint8_t> bgrx;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const Rgba& c = colours[x / 2];
      bgrx.insert(bgrx.end(), {static_cast<std::uint8_t>(c.b), static_cast<std::uint8_t>(c.g),
                               static_cast<std::uint8_t>(c.r), 255});
    }
  std::unique_ptr<gsTextureBase> rgb(system_->CreateTextureWrite(w, h, nullptr, false));
  ASSERT_NE(rgb, nullptr);
  ASSERT_TRUE(rgb->SetData(bgrx.data(), static_cast<int>(bgrx.size()), kRGB32));

  std::unique_ptr<gsTextureBase> target(system_->CreateTextureRenderTarget(w, h));
  std::unique_ptr<gsTextureBase> read(system_->CreateTextureRead(w, h));
  system_->SetRenderTarget(target.get());
  system_->SetViewport(0, 0, w, h);
  system_->SetOrtho(0, w, h, 0, 0, 1);
  system_->Clear(0);
  EXPECT_EQ(system_->SetDrawMode(kDrawRgbToYuv), kDrawByColorType);
  DrawWhole(rgb.get(), w, h);
  system_->SetDrawMode(kDrawByColorType);
  system_->SetRenderTarget(nullptr);
  ASSERT_TRUE(system_->CopyTexture(read.get(), target.get()));
  int size = 0;
  ASSERT_TRUE(read->GetData(nullptr, &size, kI420));
  ASSERT_EQ(size, w * h * 3 / 2);
  std::vector<std::uint8_t> i420(size);
  ASSERT_TRUE(read->GetData(i420.data(), &size, kI420));
  for (int x = 0; x < w; ++x) {
    const Rgba& c = colours[x / 2];
    const double r = c.r / 255.0, g = c.g / 255.0, b = c.b / 255.0;
    EXPECT_NEAR(i420[w + x], Clamp255(0.257 * r + 0.504 * g + 0.098 * b + 0.0625), 2) << x;
    if (x % 2 == 0) {
      EXPECT_NEAR(i420[w * h + x / 2], Clamp255(-0.148 * r - 0.291 * g + 0.439 * b + 0.5), 2) << x;
      EXPECT_NEAR(i420[w * h + w * h / 4 + x / 2],
                  Clamp255(0.439 * r - 0.368 * g - 0.071 * b + 0.5), 2)
          << x;
    }
  }

  std::unique_ptr<gsTextureBase> yuv(system_->CreateTextureWrite(w, h, nullptr, true));
  ASSERT_TRUE(yuv->SetData(i420.data(), size, kI420));
  system_->SetColorType(kI420);
  std::vector<std::uint8_t> back = Render(w, h, 0, [&] { DrawWhole(yuv.get(), w, h); });
  for (int x = 0; x < w; ++x)
    ExpectNear(At(back, w, x, 2), colours[x / 2], 2, "x " + std::to_string(x));
}

// A transparent RGBA texture vanishes under blending unless its alpha is ignored; gamma bends
// each colour channel.
TEST_F(GsSystemTest, AlphaIgnoreAndGamma) {
  const int w = 4, h = 4;
  std::vector<std::uint8_t> rgba(w * h * 4);
  for (int i = 0; i < w * h; ++i) {
    rgba[i * 4] = 128;    // red
    rgba[i * 4 + 3] = 0;  // alpha
  }
  std::unique_ptr<gsTextureBase> texture(system_->CreateTextureWrite(w, h, rgba.data(), true));
  ASSERT_NE(texture, nullptr);
  system_->SetBlendEnable(true);
  system_->SetColorType(kRGB32);
  std::vector<std::uint8_t> pixels =
      Render(w, h, 0xFFFF0000, [&] { DrawWhole(texture.get(), w, h); });
  EXPECT_EQ(At(pixels, w, 1, 1).r, 0);
  EXPECT_EQ(At(pixels, w, 1, 1).b, 255);
  system_->SetDrawMode(kDrawAlphaIgnore);
  pixels = Render(w, h, 0xFFFF0000, [&] { DrawWhole(texture.get(), w, h); });
  EXPECT_NEAR(At(pixels, w, 1, 1).r, 128, 1);
  EXPECT_EQ(At(pixels, w, 1, 1).b, 0);
  system_->SetGamma(2.0f);
  pixels = Render(w, h, 0xFFFF0000, [&] { DrawWhole(texture.get(), w, h); });
  EXPECT_NEAR(At(pixels, w, 1, 1).r, 64, 2);  // (128/255)^2
  // Draw modes other than 0, 1 and 2 draw nothing.
  system_->SetDrawMode(3);
  pixels = Render(w, h, 0xFFFF0000, [&] { DrawWhole(texture.get(), w, h); });
  EXPECT_EQ(At(pixels, w, 1, 1).b, 255);
}

TEST_F(GsSystemTest, ViewportIgnoresItsOrigin) {
  const int w = 32, h = 32;
  std::vector<std::uint8_t> pixels = Render(w, h, 0xFF000000, [&] {
    system_->SetViewport(10, 10, 16, 16);
    system_->DrawSolid(0, 0, w, h, 0xFFFFFFFF);
  });
  EXPECT_EQ(At(pixels, w, 0, 0).r, 255);
  EXPECT_EQ(At(pixels, w, 15, 15).r, 255);
  EXPECT_EQ(At(pixels, w, 16, 16).r, 0);
}

// ---------------------------------------------------------------------------------------------
// Textures.

// Sizes above the device's limit (8192 at feature level 10) are refused before anything is
// created: Wine would create them, and mapping one kills the process.
TEST_F(GsSystemTest, TexturesAboveTheDeviceLimitAreRefused) {
  ASSERT_GE(system_->device()->GetFeatureLevel(), D3D10_FEATURE_LEVEL_10_0);
  const std::function<gsTextureBase*(int, int)> kinds[] = {
      [&](int w, int h) { return system_->CreateTextureRead(w, h); },
      [&](int w, int h) { return system_->CreateTextureWrite(w, h, nullptr, false); },
      [&](int w, int h) { return system_->CreateTextureRenderTarget(w, h); },
      [&](int w, int h) { return system_->CreateTextureGdiCompatible(w, h); },
  };
  for (size_t kind = 0; kind < std::size(kinds); ++kind) {
    for (const auto& size :
         {std::make_pair(16384, 16384), std::make_pair(8193, 16), std::make_pair(16, 8193)}) {
      LogLines().clear();
      std::unique_ptr<gsTextureBase> refused(kinds[kind](size.first, size.second));
      EXPECT_EQ(refused, nullptr) << "kind " << kind << ", " << size.first << " x " << size.second;
      EXPECT_TRUE(Logged("exceeds the device limit of 8192")) << AllLogLines();
    }
    std::unique_ptr<gsTextureBase> largest(kinds[kind](8192, 16));
    ASSERT_NE(largest, nullptr) << "kind " << kind << "\n" << AllLogLines();
    EXPECT_EQ(largest->GetWidth(), 8192);
  }
}

TEST_F(GsSystemTest, ShortOrUnknownUploadsAreRefusedAndChangeNothing) {
  const int w = 4, h = 2;
  std::unique_ptr<gsTextureBase> texture(system_->CreateTextureWrite(w, h, nullptr, false));
  ASSERT_NE(texture, nullptr);
  std::vector<std::uint8_t> blue(w * h * 4, 0);
  for (int i = 0; i < w * h; ++i) blue[i * 4] = 255;
  ASSERT_TRUE(texture->SetData(blue.data(), static_cast<int>(blue.size()), kRGB32));
  std::vector<std::uint8_t> i420(w * h * 3 / 2, 200);
  LogLines().clear();
  EXPECT_FALSE(texture->SetData(i420.data(), static_cast<int>(i420.size()) - 1, kI420));
  EXPECT_TRUE(Logged("gsTextureImpl::SetData [ERROR]  - Width(4) Height(2) Size(11) type(0)"));
  EXPECT_FALSE(texture->SetData(i420.data(), static_cast<int>(i420.size()), 8));
  EXPECT_FALSE(texture->SetData(nullptr, static_cast<int>(i420.size()), kI420));
  system_->SetColorType(kRGB32);
  std::vector<std::uint8_t> pixels =
      Render(w, h, 0xFF000000, [&] { DrawWhole(texture.get(), w, h); });
  for (int x = 0; x < w; ++x) EXPECT_EQ(At(pixels, w, x, 1).b, 255);
  // A write texture cannot be mapped for reading back.
  EXPECT_FALSE(texture->GetData(pixels.data(), nullptr, kRGB32));
}

TEST_F(GsSystemTest, GetDataSizesAndRefusals) {
  std::unique_ptr<gsTextureBase> read(system_->CreateTextureRead(4, 4));
  ASSERT_NE(read, nullptr);
  EXPECT_EQ(read->GetType(), gs::kTextureRead);
  int size = -1;
  EXPECT_TRUE(read->GetData(nullptr, &size, 9));
  EXPECT_EQ(size, 0);
  EXPECT_TRUE(read->GetData(nullptr, &size, kRGB24));
  EXPECT_EQ(size, 48);
  std::vector<std::uint8_t> buffer(64);
  EXPECT_TRUE(read->GetData(nullptr, &size, kYV12));
  EXPECT_EQ(size, 24);
  LogLines().clear();
  EXPECT_FALSE(read->GetData(buffer.data(), &size, kYV12));
  EXPECT_TRUE(Logged("gsTextureImpl::GetData MapColorType [ERROR]"));
}

TEST_F(GsSystemTest, CopyTextureNeedsSameSizeAndFormat) {
  std::unique_ptr<gsTextureBase> target(system_->CreateTextureRenderTarget(8, 8));
  std::unique_ptr<gsTextureBase> read(system_->CreateTextureRead(8, 8));
  std::unique_ptr<gsTextureBase> small(system_->CreateTextureRead(4, 8));
  std::unique_ptr<gsTextureBase> rgba(system_->CreateTextureWrite(8, 8, nullptr, true));
  ASSERT_TRUE(target && read && small && rgba);
  EXPECT_TRUE(system_->CopyTexture(read.get(), target.get()));
  EXPECT_FALSE(system_->CopyTexture(small.get(), target.get()));
  EXPECT_FALSE(system_->CopyTexture(read.get(), rgba.get()));
  EXPECT_FALSE(system_->CopyTexture(read.get(), nullptr));
  EXPECT_FALSE(system_->CopyTexture(nullptr, read.get()));
  EXPECT_FALSE(system_->CopyTexture(read.get(), read.get()));
}

TEST_F(GsSystemTest, GdiCompatibleTextureHandsOutADeviceContext) {
  std::unique_ptr<gsTextureBase> gdi(system_->CreateTextureGdiCompatible(8, 8));
  std::unique_ptr<gsTextureBase> write(system_->CreateTextureWrite(8, 8, nullptr, false));
  std::unique_ptr<gsTextureBase> read(system_->CreateTextureRead(8, 8));
  ASSERT_TRUE(gdi && write && read);
  EXPECT_EQ(gdi->GetType(), gs::kTextureGdiCompatible);
  HDC dc = nullptr;
  EXPECT_FALSE(write->GetDC(&dc));
  ASSERT_TRUE(gdi->GetDC(&dc));
  RECT all = {0, 0, 8, 8};
  HBRUSH brush = CreateSolidBrush(RGB(0, 255, 0));
  FillRect(dc, &all, brush);
  DeleteObject(brush);
  gdi->ReleaseDC();
  ASSERT_TRUE(system_->CopyTexture(read.get(), gdi.get()));
  std::vector<std::uint8_t> pixels = ReadRgb32(read.get());
  EXPECT_EQ(At(pixels, 8, 4, 4).g, 255);
  EXPECT_EQ(At(pixels, 8, 4, 4).r, 0);
}

// A picture through GDI+: colours and alpha of a 24-bit BMP, and the sizes of shrunk pictures.
TEST_F(GsSystemTest, PicturesFromMemoryAndFile) {
  auto bmp24 = pellix_test::MakeFlatBmp24;
  std::vector<std::uint8_t> small = bmp24(4, 4);
  std::unique_ptr<gsTextureBase> picture(
      system_->CreateTextureFromMemory(small.data(), static_cast<int>(small.size())));
  ASSERT_NE(picture, nullptr);
  EXPECT_EQ(picture->GetType(), gs::kTextureWrite);
  // Opaque: with blending on, the picture hides the background entirely.
  system_->SetBlendEnable(true);
  std::vector<std::uint8_t> pixels =
      Render(4, 4, 0xFFFFFFFF, [&] { DrawWhole(picture.get(), 4, 4); });
  ExpectNear(At(pixels, 4, 1, 1), {30, 20, 10, 255}, 1, "24-bit picture");

  struct Case {
    int width, height, texture_width, texture_height;
  } sizes[] = {{2000, 1000, 1024, 512}, {1025, 10, 1024, 9}, {1024, 1024, 1024, 1024}};
  for (const Case& c : sizes) {
    std::vector<std::uint8_t> big = bmp24(c.width, c.height);
    std::unique_ptr<gsTextureBase> texture(
        system_->CreateTextureFromMemory(big.data(), static_cast<int>(big.size())));
    ASSERT_NE(texture, nullptr) << c.width;
    EXPECT_EQ(texture->GetWidth(), c.texture_width);
    EXPECT_EQ(texture->GetHeight(), c.texture_height);
  }

  const std::uint8_t garbage[16] = {1, 2, 3};
  EXPECT_EQ(system_->CreateTextureFromMemory(garbage, sizeof(garbage)), nullptr);
  EXPECT_EQ(system_->CreateTextureFromMemory(nullptr, 10), nullptr);
  EXPECT_EQ(system_->CreateTextureFromFile("Z:/no/such/picture.bmp"), nullptr);

  char folder[MAX_PATH];
  GetTempPathA(MAX_PATH, folder);
  const std::string path = std::string(folder) + "pellix picture \xE5\x9B\xBE.bmp";
  std::wstring wide(MAX_PATH, L'\0');
  wide.resize(MultiByteToWideChar(CP_UTF8, 0, path.c_str(), -1, &wide[0], MAX_PATH) - 1);
  HANDLE file = CreateFileW(wide.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  DWORD written = 0;
  WriteFile(file, small.data(), static_cast<DWORD>(small.size()), &written, nullptr);
  CloseHandle(file);
  std::unique_ptr<gsTextureBase> from_file(system_->CreateTextureFromFile(path.c_str()));
  DeleteFileW(wide.c_str());
  ASSERT_NE(from_file, nullptr);
  EXPECT_EQ(from_file->GetWidth(), 4);
}

// One picture per depth through GDI+: colours survive and pictures without alpha are opaque
// (drawn with blending over white, nothing of the white shows).
TEST_F(GsSystemTest, PicturesOfEveryDepthWithoutAlphaAreOpaque) {
  const std::vector<std::uint32_t> table = {0x00000000, 0x001E140A, 0x00FF0000, 0x0000FF00};
  struct Case {
    int bits;
    std::vector<std::uint32_t> table;
    std::vector<std::uint8_t> row;  // one row of two pixels
    Rgba left, right;
  } cases[] = {
      {1, {0x00000000, 0x00FFFFFF}, {0x80, 0, 0, 0}, {255, 255, 255, 255}, {0, 0, 0, 255}},
      {4, table, {0x12, 0, 0, 0}, {30, 20, 10, 255}, {255, 0, 0, 255}},
      {8, table, {1, 3, 0, 0}, {30, 20, 10, 255}, {0, 255, 0, 255}},
      {24, {}, {10, 20, 30, 255, 0, 0, 0, 0}, {30, 20, 10, 255}, {0, 0, 255, 255}},
  };
  system_->SetBlendEnable(true);
  for (const Case& c : cases) {
    std::vector<std::uint8_t> bmp = pellix_test::MakeBmp(2, c.bits, c.table, {c.row, c.row});
    std::unique_ptr<gsTextureBase> picture(
        system_->CreateTextureFromMemory(bmp.data(), static_cast<int>(bmp.size())));
    ASSERT_NE(picture, nullptr) << c.bits;
    ASSERT_EQ(picture->GetWidth(), 2);
    std::vector<std::uint8_t> pixels =
        Render(2, 2, 0xFFFFFFFF, [&] { DrawWhole(picture.get(), 2, 2); });
    ExpectNear(At(pixels, 2, 0, 0), c.left, 1, "left, bits " + std::to_string(c.bits));
    ExpectNear(At(pixels, 2, 1, 1), c.right, 1, "right, bits " + std::to_string(c.bits));
  }
}

// ---------------------------------------------------------------------------------------------
// Window and swap chain.

class TestWindow {
 public:
  TestWindow(int width, int height) {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"PellixTestWindow";
    RegisterClassW(&wc);
    RECT rect = {0, 0, width, height};
    AdjustWindowRect(&rect, WS_OVERLAPPEDWINDOW, FALSE);
    // Topmost: the pixels are read from the screen, which the test programs running beside
    // this one share, and their windows must not cover ours.
    hwnd_ = CreateWindowExW(WS_EX_TOPMOST, L"PellixTestWindow", L"pellix",
                            WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, rect.right - rect.left,
                            rect.bottom - rect.top, nullptr, nullptr, wc.hInstance, nullptr);
    Pump();
  }
  ~TestWindow() { Destroy(); }
  HWND hwnd() const { return hwnd_; }
  void Destroy() {
    if (hwnd_) DestroyWindow(hwnd_);
    hwnd_ = nullptr;
  }
  void Pump() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
  }
  // Waits until the screen shows `expected` at the client pixel (presenting runs on a thread
  // of its own in Wine) and returns what it shows.
  // `again`, when given, runs before every new look (a window that has just been resized may
  // take a present or two before the screen has its new size).
  COLORREF WaitForPixel(int x, int y, COLORREF expected,
                        const std::function<void()>& again = nullptr) {
    COLORREF colour = Pixel(x, y);
    for (int i = 0; i < 100 && colour != expected; ++i) {
      Sleep(20);
      Pump();
      if (again) again();
      colour = Pixel(x, y);
    }
    return colour;
  }
  // The window's client pixel as the screen shows it.
  COLORREF Pixel(int x, int y) {
    POINT at = {x, y};
    ClientToScreen(hwnd_, &at);
    HDC dc = GetDC(nullptr);
    COLORREF colour = GetPixel(dc, at.x, at.y);
    ReleaseDC(nullptr, dc);
    return colour;
  }

 private:
  HWND hwnd_ = nullptr;
};

TEST_F(GsSystemTest, PresentShowsTheFrameInTheWindow) {
  TestWindow window(64, 48);
  ASSERT_NE(window.hwnd(), nullptr);
  EXPECT_EQ(system_->SetWindow(window.hwnd()), nullptr);
  // The swap chain draws into the window; it never takes the screen.
  ASSERT_NE(system_->swap_chain(), nullptr);
  DXGI_SWAP_CHAIN_DESC desc;
  ASSERT_HRESULT_SUCCEEDED(system_->swap_chain()->GetDesc(&desc));
  EXPECT_TRUE(desc.Windowed);
  EXPECT_EQ(desc.OutputWindow, window.hwnd());
  system_->SetViewport(0, 0, 64, 48);
  system_->SetOrtho(0, 64, 48, 0, 0, 1);
  system_->Clear(0xFF00FF00);
  system_->DrawSolid(0, 0, 32, 48, 0xFF0000FF);
  ASSERT_TRUE(system_->Present());
  window.Pump();
  EXPECT_EQ(window.WaitForPixel(10, 10, RGB(255, 0, 0)), RGB(255, 0, 0));
  EXPECT_EQ(window.Pixel(50, 10), RGB(0, 255, 0));

  // While a texture is the target, nothing is presented.
  std::unique_ptr<gsTextureBase> target(system_->CreateTextureRenderTarget(8, 8));
  system_->SetRenderTarget(target.get());
  EXPECT_FALSE(system_->Present());
  system_->SetRenderTarget(nullptr);
  EXPECT_EQ(system_->SetWindow(nullptr), window.hwnd());
  EXPECT_FALSE(system_->Present());
}

// Resizing the window rebuilds the back buffer; a texture that is the target stays bound.
TEST_F(GsSystemTest, WindowResizeKeepsTheTextureTarget) {
  TestWindow window(64, 48);
  system_->SetWindow(window.hwnd());
  std::unique_ptr<gsTextureBase> target(system_->CreateTextureRenderTarget(8, 8));
  std::unique_ptr<gsTextureBase> read(system_->CreateTextureRead(8, 8));
  system_->SetRenderTarget(target.get());
  system_->SetViewport(0, 0, 8, 8);
  system_->SetOrtho(0, 8, 8, 0, 0, 1);
  system_->Clear(0xFF000000);
  SetWindowPos(window.hwnd(), nullptr, 0, 0, 200, 150, SWP_NOMOVE | SWP_NOZORDER);
  window.Pump();
  system_->CheckWindowSize();
  system_->DrawSolid(0, 0, 8, 8, 0xFFFFFFFF);
  system_->SetRenderTarget(nullptr);
  ASSERT_TRUE(system_->CopyTexture(read.get(), target.get()));
  EXPECT_EQ(At(ReadRgb32(read.get()), 8, 4, 4).r, 255);
  // The window still presents at its new size.
  system_->SetViewport(0, 0, 200, 150);
  system_->SetOrtho(0, 200, 150, 0, 0, 1);
  system_->Clear(0xFFFF0000);
  ASSERT_TRUE(system_->Present());
  window.Pump();
  RECT client;
  GetClientRect(window.hwnd(), &client);
  EXPECT_EQ(window.WaitForPixel(client.right - 5, client.bottom - 5, RGB(0, 0, 255),
                                [this] {
                                  system_->Clear(0xFFFF0000);
                                  system_->Present();
                                }),
            RGB(0, 0, 255));
}

TEST_F(GsSystemTest, PresentAfterTheWindowWasDestroyedFails) {
  TestWindow window(32, 32);
  system_->SetWindow(window.hwnd());
  system_->Clear(0xFFFFFFFF);
  ASSERT_TRUE(system_->Present());
  window.Destroy();
  LogLines().clear();
  system_->Clear(0xFFFFFFFF);
  EXPECT_FALSE(system_->Present());
  EXPECT_TRUE(Logged("gsSystemImpl::Present [ERROR] the window is gone")) << AllLogLines();
}

// Deleting the texture that is the render target returns drawing to the window: the system
// keeps no pointer to the deleted texture.
TEST_F(GsSystemTest, DeletingTheCurrentTargetReturnsToTheWindow) {
  TestWindow window(64, 48);
  system_->SetWindow(window.hwnd());
  std::unique_ptr<gsTextureBase> target(system_->CreateTextureRenderTarget(8, 8));
  ASSERT_NE(target, nullptr);
  system_->SetRenderTarget(target.get());
  target.reset();
  system_->SetViewport(0, 0, 64, 48);
  system_->SetOrtho(0, 64, 48, 0, 0, 1);
  system_->Clear(0xFF0000FF);
  system_->DrawSolid(0, 0, 32, 48, 0xFF00FF00);
  ASSERT_TRUE(system_->Present());
  window.Pump();
  EXPECT_EQ(window.WaitForPixel(10, 10, RGB(0, 255, 0)), RGB(0, 255, 0));
  EXPECT_EQ(window.Pixel(50, 10), RGB(255, 0, 0));
  EXPECT_EQ(system_->SetRenderTarget(nullptr), nullptr);
}

TEST_F(GsSystemTest, FailedSwapChainPresentsNothing) {
  TestWindow window(32, 32);
  pellix::SetCallGateForTesting(RefuseOne);
  g_refused_step = "BulidSwapChain";
  g_refused_call = "CreateSwapChain";
  g_refusals = 1;
  LogLines().clear();
  system_->SetWindow(window.hwnd());
  pellix::SetCallGateForTesting(nullptr);
  EXPECT_TRUE(Logged("gsSystemImpl::BulidSwapChain CreateSwapChain [ERROR] hr = 80004005"));
  system_->Clear(0xFFFFFFFF);
  system_->DrawSolid(0, 0, 10, 10, 0xFFFFFFFF);
  EXPECT_FALSE(system_->Present());
}

// ---------------------------------------------------------------------------------------------
// The library's exports.

TEST(PellixLibraryTest, CreatesAndDestroysThroughItsExports) {
  HMODULE library = LoadLibraryW(L"Pellix.dll");
  ASSERT_NE(library, nullptr);
  auto create = reinterpret_cast<gsSystemBase* (*)()>(
      reinterpret_cast<void*>(GetProcAddress(library, "Pellix_Create")));
  auto destroy = reinterpret_cast<void (*)(gsSystemBase*)>(
      reinterpret_cast<void*>(GetProcAddress(library, "Pellix_Destroy")));
  ASSERT_TRUE(create && destroy);
  gsSystemBase* system = create();
  ASSERT_NE(system, nullptr);
  EXPECT_EQ(system->GetSystemType(), gs::kSystemDirect3D);
  gsTextureBase* texture = system->CreateTextureRead(4, 4);
  ASSERT_NE(texture, nullptr);
  delete texture;
  destroy(system);
  destroy(nullptr);
  FreeLibrary(library);
}

}  // namespace
