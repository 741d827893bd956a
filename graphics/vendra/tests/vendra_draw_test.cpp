// Drawing into render-target textures and windows: fills, the colour key, premultiplied
// AlphaBlend, stretches and Present.

#include <vector>

#include "vendra_test_support.h"

using namespace vendra_test;

namespace {

// Blue 40, green 80, red 160 as a gs::Color (0xAABBGGRR).
constexpr gs::Color kBackground = gs::MakeColor(160, 80, 40);
constexpr Bgra kBackgroundBgra{40, 80, 160, 0};

void ExpectAll(gsTextureBase* texture, Bgra expected, const char* what) {
  const int w = texture->GetWidth();
  const int h = texture->GetHeight();
  std::vector<std::uint8_t> pixels = ReadPixels(texture);
  int wrong = 0;
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      Bgra p = PixelAt(pixels, w, h, x, y);
      if (p.b != expected.b || p.g != expected.g || p.r != expected.r) ++wrong;
    }
  }
  EXPECT_EQ(wrong, 0) << what;
}

}  // namespace

// Clear fills the whole render-target texture, even one larger than the window.
TEST(VendraDrawTest, ClearFillsTheWholeTarget) {
  SystemPtr system = MakeSystem();
  TestWindow window(40, 30);
  system->SetWindow(window.hwnd());
  TexturePtr target(system->CreateTextureRenderTarget(120, 90));
  EXPECT_EQ(system->SetRenderTarget(target.get()), nullptr);
  system->Clear(kBackground);
  ExpectAll(target.get(), kBackgroundBgra, "cleared texture");

  system->DrawSolid(10, 20, 30, 25, gs::MakeColor(0, 0, 255, 0));
  std::vector<std::uint8_t> pixels = ReadPixels(target.get());
  EXPECT_EQ(PixelAt(pixels, 120, 90, 10, 20).b, 255);
  EXPECT_EQ(PixelAt(pixels, 120, 90, 29, 24).b, 255);
  EXPECT_EQ(PixelAt(pixels, 120, 90, 30, 24).b, 40);
  EXPECT_EQ(PixelAt(pixels, 120, 90, 29, 25).b, 40);
  EXPECT_EQ(system->SetRenderTarget(nullptr), target.get());
}

TEST(VendraDrawTest, ColourKeyedTextureOfOnlyTheKeyDrawsNothing) {
  SystemPtr system = MakeSystem();
  TexturePtr target(system->CreateTextureRenderTarget(32, 32));
  system->SetRenderTarget(target.get());
  system->Clear(kBackground);
  system->SetColorKey(gs::MakeColor(0, 255, 0));
  system->SetDrawMode(gs::vendra::kDrawColorKey);
  TexturePtr key_only = SolidTexture(system.get(), 16, 16, {0, 255, 0, 255});
  system->DrawTexture(key_only.get(), 0, 0, 32, 32, 0xFFFFFFFF, 0.f, 1.f, 0.f, 1.f);
  ExpectAll(target.get(), kBackgroundBgra, "after a key-only texture");

  // A texture with one non-key quarter shows that quarter only.
  TexturePtr mixed = SolidTexture(system.get(), 16, 16, {0, 255, 0, 255});
  HDC unused = nullptr;
  ASSERT_FALSE(mixed->GetDC(&unused));
  void* data = nullptr;
  int pitch = 0;
  ASSERT_TRUE(mixed->Map(&data, &pitch, false));
  auto* pixels = static_cast<std::uint8_t*>(data);
  for (int y = 8; y < 16; ++y) {  // bitmap rows 8..15 are the image's top half
    for (int x = 0; x < 8; ++x) {
      std::uint8_t* p = pixels + y * pitch + x * 4;
      p[0] = 200, p[1] = 10, p[2] = 20;
    }
  }
  mixed->Unmap();
  system->DrawTexture(mixed.get(), 0, 0, 16, 16, 0xFFFFFFFF, 0.f, 1.f, 0.f, 1.f);
  std::vector<std::uint8_t> out = ReadPixels(target.get());
  ExpectNear(PixelAt(out, 32, 32, 2, 2), {200, 10, 20, 0}, 0, "non-key pixel");
  ExpectNear(PixelAt(out, 32, 32, 12, 2), kBackgroundBgra, 0, "key pixel");
  ExpectNear(PixelAt(out, 32, 32, 2, 12), kBackgroundBgra, 0, "key pixel");

  // The source rectangle's offset applies in this mode too: the right half is all key.
  system->Clear(kBackground);
  system->DrawTexture(mixed.get(), 0, 0, 8, 16, 0xFFFFFFFF, 0.5f, 1.f, 0.f, 1.f);
  ExpectAll(target.get(), kBackgroundBgra, "after the key-only half");
  system->SetRenderTarget(nullptr);
}

// A premultiplied texture is blended source-over with its per-pixel alpha.
TEST(VendraDrawTest, PremultipliedTextureBlendsOverTheBackground) {
  SystemPtr system = MakeSystem();
  TexturePtr target(system->CreateTextureRenderTarget(16, 16));
  system->SetRenderTarget(target.get());
  system->Clear(kBackground);
  // Blue 200, green 100, red 50 at alpha 128 become 100, 50, 25 when premultiplied.
  TexturePtr overlay = SolidTexture(system.get(), 16, 16, {200, 100, 50, 128}, true);
  system->DrawTexture(overlay.get(), 0, 0, 16, 16, 0xFFFFFFFF, 0.f, 1.f, 0.f, 1.f);
  const double keep = 1.0 - 128 / 255.0;
  const Bgra expected{Clamp255(100 + 40 * keep), Clamp255(50 + 80 * keep),
                      Clamp255(25 + 160 * keep), 0};
  ExpectNear(PixelAt(ReadPixels(target.get()), 16, 16, 7, 7), expected, 1, "blended");

  // Without premultiplication the same pixels are copied.
  TexturePtr plain = SolidTexture(system.get(), 16, 16, {200, 100, 50, 128}, false);
  system->DrawTexture(plain.get(), 0, 0, 16, 16, 0xFFFFFFFF, 0.f, 1.f, 0.f, 1.f);
  ExpectAll(target.get(), {200, 100, 50, 0}, "copied");

  // A render target, whose pixels GDI leaves at alpha 0, is copied, not added.
  TexturePtr drawn(system->CreateTextureRenderTarget(16, 16));
  system->SetRenderTarget(drawn.get());
  system->Clear(gs::MakeColor(0, 0, 200));
  system->SetRenderTarget(target.get());
  system->Clear(kBackground);
  system->DrawTexture(drawn.get(), 0, 0, 16, 16, 0xFFFFFFFF, 0.f, 1.f, 0.f, 1.f);
  ExpectAll(target.get(), {200, 0, 0, 0}, "render target drawn");
  system->SetRenderTarget(nullptr);
}

// Deleting the current render-target texture returns the system to its window; a texture
// may also outlive its system.
TEST(VendraDrawTest, TexturesAndSystemsMayGoInEitherOrder) {
  SystemPtr system = MakeSystem();
  TestWindow window(16, 16);
  system->SetWindow(window.hwnd());
  gsTextureBase* target = system->CreateTextureRenderTarget(8, 8);
  system->SetRenderTarget(target);
  delete target;
  system->Clear(gs::MakeColor(0, 255, 0));
  EXPECT_EQ(system->SetRenderTarget(nullptr), nullptr);
  EXPECT_TRUE(system->Present(0));
  ExpectNear(window.ReadPixel(8, 8), {0, 255, 0, 0}, 0, "window");

  TexturePtr survivor(system->CreateTextureWrite(4, 4, nullptr, false));
  TexturePtr other(system->CreateTextureRenderTarget(4, 4));
  system.reset();
  EXPECT_EQ(survivor->GetWidth(), 4);
  survivor.reset();
  other.reset();
}

// One system's destruction leaves another's AlphaBlend in place.
TEST(VendraDrawTest, TwoSystemsOneDestroyedTheOtherStillBlends) {
  SystemPtr first = MakeSystem();
  SystemPtr second = MakeSystem();
  EXPECT_EQ(Vendra_Destroy(first.release()), 0);  // msimg32 stays loaded
  TexturePtr target(second->CreateTextureRenderTarget(8, 8));
  second->SetRenderTarget(target.get());
  TexturePtr overlay = SolidTexture(second.get(), 8, 8, {0, 0, 255, 0}, true);
  // Alpha 0: blended, nothing changes; a plain copy would show the premultiplied black.
  second->Clear(kBackground);
  second->DrawTexture(overlay.get(), 0, 0, 8, 8, 0xFFFFFFFF, 0.f, 1.f, 0.f, 1.f);
  ExpectAll(target.get(), kBackgroundBgra, "transparent overlay");
  second->SetRenderTarget(nullptr);
}

// Sub-rectangles and stretches take the right source pixels.
TEST(VendraDrawTest, SourceRectangleAndStretch) {
  SystemPtr system = MakeSystem();
  TexturePtr target(system->CreateTextureRenderTarget(40, 40));
  system->SetRenderTarget(target.get());
  system->Clear(kBackground);
  // Left half red, right half blue.
  TexturePtr halves = SolidTexture(system.get(), 20, 10, {0, 0, 255, 255});
  void* data = nullptr;
  int pitch = 0;
  ASSERT_TRUE(halves->Map(&data, &pitch, false));
  for (int y = 0; y < 10; ++y) {
    for (int x = 10; x < 20; ++x) {
      std::uint8_t* p = static_cast<std::uint8_t*>(data) + y * pitch + x * 4;
      p[0] = 255, p[2] = 0;
    }
  }
  halves->Unmap();
  // The right half, same size, at (0, 0).
  system->DrawTexture(halves.get(), 0, 0, 10, 10, 0, 0.5f, 1.f, 0.f, 1.f);
  // The left half stretched four times at (10, 10).
  system->DrawTexture(halves.get(), 10, 10, 50, 50, 0, 0.f, 0.5f, 0.f, 1.f);
  std::vector<std::uint8_t> out = ReadPixels(target.get());
  ExpectNear(PixelAt(out, 40, 40, 5, 5), {255, 0, 0, 0}, 0, "right half");
  ExpectNear(PixelAt(out, 40, 40, 25, 25), {0, 0, 255, 0}, 2, "stretched left half");
  ExpectNear(PixelAt(out, 40, 40, 5, 25), kBackgroundBgra, 0, "outside");
  system->SetRenderTarget(nullptr);
}

TEST(VendraDrawTest, PresentCopiesTheBackBufferIntoTheWindow) {
  SystemPtr system = MakeSystem();
  TestWindow window(64, 48);
  ASSERT_NE(window.hwnd(), nullptr);
  EXPECT_FALSE(system->Present(0));  // no window yet
  EXPECT_EQ(system->SetWindow(window.hwnd()), nullptr);
  system->Clear(kBackground);
  TexturePtr frame = SolidTexture(system.get(), 8, 8, {10, 200, 30, 255});
  system->DrawTexture(frame.get(), 16, 8, 24, 16, 0, 0.f, 1.f, 0.f, 1.f);
  ASSERT_TRUE(system->Present(0));
  GdiFlush();
  ExpectNear(window.ReadPixel(1, 1), kBackgroundBgra, 0, "background");
  ExpectNear(window.ReadPixel(63, 47), kBackgroundBgra, 0, "background corner");
  ExpectNear(window.ReadPixel(20, 12), {10, 200, 30, 0}, 0, "texture");

  // With a texture as the target nothing is presented.
  TexturePtr target(system->CreateTextureRenderTarget(8, 8));
  system->SetRenderTarget(target.get());
  EXPECT_FALSE(system->Present(0));
  system->SetRenderTarget(nullptr);

  // A resized window gets a new back buffer after CheckWindowSize.
  SetWindowPos(window.hwnd(), nullptr, 0, 0, 100, 80, SWP_NOMOVE | SWP_NOZORDER);
  TestWindow::Pump();
  system->CheckWindowSize();
  system->Clear(gs::MakeColor(0, 0, 255));
  ASSERT_TRUE(system->Present(0));
  ExpectNear(window.ReadPixel(99, 79), {255, 0, 0, 0}, 0, "resized corner");

  EXPECT_EQ(system->SetWindow(nullptr), window.hwnd());
  EXPECT_FALSE(system->Present(0));
}
