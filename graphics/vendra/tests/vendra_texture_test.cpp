// Texture operations: the caller's frames stay untouched, bad sizes and codes are refused,
// copies need equal sizes.

#include <cstring>
#include <vector>

#include "vendra_test_support.h"

using namespace vendra_test;

namespace {

std::vector<std::uint8_t> Pattern(std::size_t bytes) {
  std::vector<std::uint8_t> data(bytes);
  for (std::size_t i = 0; i < bytes; ++i) data[i] = static_cast<std::uint8_t>(i * 7 + 3);
  return data;
}

}  // namespace

TEST(VendraTextureTest, KindsAndSizes) {
  SystemPtr system = MakeSystem();
  struct Case {
    gsTextureBase* texture;
    int kind;
    bool has_dc;
  } cases[] = {
      {system->CreateTextureRead(5, 3), gs::kTextureRead, false},
      {system->CreateTextureWrite(5, 3, nullptr, false), gs::kTextureWrite, false},
      {system->CreateTextureRenderTarget(5, 3), gs::kTextureRenderTarget, true},
      {system->CreateTextureGdiCompatible(5, 3), gs::kTextureGdiCompatible, true},
  };
  for (const Case& c : cases) {
    TexturePtr texture(c.texture);
    ASSERT_NE(texture, nullptr);
    EXPECT_EQ(texture->GetType(), c.kind);
    EXPECT_EQ(texture->GetWidth(), 5);
    EXPECT_EQ(texture->GetHeight(), 3);
    HDC dc = nullptr;
    EXPECT_EQ(texture->GetDC(&dc), c.has_dc);
    if (c.has_dc) {
      EXPECT_NE(dc, nullptr);
      EXPECT_NE(SetPixel(dc, 0, 0, RGB(1, 2, 3)), static_cast<COLORREF>(-1));
      texture->ReleaseDC();
      EXPECT_EQ(PixelAt(ReadPixels(texture.get()), 5, 3, 0, 0).r, 1);
    }
  }
  EXPECT_EQ(system->CreateTextureWrite(0, 3, nullptr, false), nullptr);
  EXPECT_EQ(system->CreateTextureWrite(3, -1, nullptr, false), nullptr);
  EXPECT_EQ(system->CreateTextureRenderTarget(100000, 100000), nullptr);
}

// The source frame is const: flipping and setting alpha happen while copying.
TEST(VendraTextureTest, SetDataLeavesTheCallersFrameUntouched) {
  SystemPtr system = MakeSystem();
  const int w = 3;
  const int h = 4;
  for (int bytes : {3, 4}) {
    const int code = bytes == 3 ? gs::vendra::kRGB24 : gs::vendra::kRGB32;
    SCOPED_TRACE(testing::Message() << "pixel code " << code);
    const std::vector<std::uint8_t> frame = Pattern(w * h * bytes);
    std::vector<std::uint8_t> sent = frame;
    TexturePtr texture(system->CreateTextureWrite(w, h, nullptr, false));
    ASSERT_TRUE(texture->SetData(sent.data(), static_cast<int>(sent.size()), code, true));
    EXPECT_EQ(sent, frame);
    // Flipped: source row k lands in bitmap row h-1-k.
    std::vector<std::uint8_t> pixels = ReadPixels(texture.get());
    for (int row = 0; row < h; ++row) {
      for (int x = 0; x < w; ++x) {
        const std::uint8_t* in = frame.data() + (row * w + x) * bytes;
        const std::uint8_t* out = pixels.data() + ((h - 1 - row) * w + x) * 4;
        EXPECT_EQ(std::memcmp(in, out, 3), 0) << "row " << row << " x " << x;
        EXPECT_EQ(out[3], bytes == 3 ? 0 : 255);
      }
    }
  }
}

TEST(VendraTextureTest, WrongSizeOrNullSourceIsRefusedAndChangesNothing) {
  SystemPtr system = MakeSystem();
  TexturePtr texture = SolidTexture(system.get(), 4, 4, {10, 20, 30, 255});
  const std::vector<std::uint8_t> before = ReadPixels(texture.get());
  struct Case {
    int code;
    int size;
  } cases[] = {{gs::vendra::kI420, 4 * 4 * 3 / 2 - 1},
               {gs::vendra::kYV12, 4 * 4 * 3 / 2 + 1},
               {gs::vendra::kRGB24, 4 * 4 * 4},
               {gs::vendra::kRGB32, 4 * 4 * 3},
               {gs::vendra::kYUY2, 0},
               {gs::vendra::kUYVY, -32}};
  std::vector<std::uint8_t> frame(4 * 4 * 4, 0x55);
  for (const Case& c : cases) {
    EXPECT_FALSE(texture->SetData(frame.data(), c.size, c.code, false)) << "code " << c.code;
  }
  EXPECT_FALSE(texture->SetData(nullptr, 4 * 4 * 4, gs::vendra::kRGB32, false));
  // An unknown code changes nothing either.
  EXPECT_TRUE(texture->SetData(frame.data(), 64, 8, false));
  EXPECT_EQ(ReadPixels(texture.get()), before);
}

TEST(VendraTextureTest, GetDataSizesAndRefusedCodes) {
  SystemPtr system = MakeSystem();
  TexturePtr texture = SolidTexture(system.get(), 6, 4, {1, 2, 3, 255});
  int size = -1;
  EXPECT_TRUE(texture->GetData(nullptr, &size, gs::vendra::kRGB32, 0));
  EXPECT_EQ(size, 6 * 4 * 4);
  EXPECT_TRUE(texture->GetData(nullptr, &size, gs::vendra::kI420, 0));
  EXPECT_EQ(size, 6 * 4 * 3 / 2);
  // Codes that cannot be read back fail and write neither size nor pixels.
  const int refused[] = {
      gs::vendra::kRGB24, gs::vendra::kYV12, gs::vendra::kYUY2, gs::vendra::kUYVY, 8, -1};
  for (int code : refused) {
    std::vector<std::uint8_t> out(6 * 4 * 4, 0xEE);
    size = -1;
    EXPECT_FALSE(texture->GetData(out.data(), &size, code, 0)) << "code " << code;
    EXPECT_EQ(size, -1);
    EXPECT_EQ(out, std::vector<std::uint8_t>(6 * 4 * 4, 0xEE));
  }
}

// Odd sizes have chroma only for their even part; nothing is read or written out of bounds.
TEST(VendraTextureTest, OddSizedYuvFrames) {
  SystemPtr system = MakeSystem();
  for (int w : {1, 3, 5}) {
    for (int h : {1, 3}) {
      TexturePtr texture(system->CreateTextureWrite(w, h, nullptr, false));
      for (int code :
           {gs::vendra::kI420, gs::vendra::kYV12, gs::vendra::kYUY2, gs::vendra::kUYVY}) {
        const int bytes = (code <= gs::vendra::kYV12) ? w * h * 3 / 2 : w * h * 2;
        std::vector<std::uint8_t> frame(bytes, 128);
        EXPECT_TRUE(texture->SetData(frame.data(), bytes, code, false));
      }
      int size = 0;
      ASSERT_TRUE(texture->GetData(nullptr, &size, gs::vendra::kI420, 0));
      // A guard byte behind the frame stays as it was.
      std::vector<std::uint8_t> out(size + 1, 0xA5);
      EXPECT_TRUE(texture->GetData(out.data(), &size, gs::vendra::kI420, 0));
      EXPECT_EQ(out[size], 0xA5) << w << "x" << h;
    }
  }
}

TEST(VendraTextureTest, MapHandsOutBottomUpRowsAndUnmapStoresThem) {
  SystemPtr system = MakeSystem();
  TexturePtr texture = SolidTexture(system.get(), 3, 2, {0, 0, 0, 255});
  void* data = nullptr;
  int pitch = 0;
  ASSERT_TRUE(texture->Map(&data, &pitch, false));
  EXPECT_EQ(pitch, 12);
  auto* pixels = static_cast<std::uint8_t*>(data);
  pixels[0] = 200;  // bitmap row 0 is the bottom image row
  texture->Unmap();
  EXPECT_EQ(PixelAt(ReadPixels(texture.get()), 3, 2, 0, 1).b, 200);
  // A read mapping is not written back.
  ASSERT_TRUE(texture->Map(&data, &pitch, true));
  static_cast<std::uint8_t*>(data)[0] = 7;
  texture->Unmap();
  EXPECT_EQ(PixelAt(ReadPixels(texture.get()), 3, 2, 0, 1).b, 200);
  EXPECT_FALSE(texture->Map(nullptr, &pitch, true));
}

TEST(VendraTextureTest, CopyTextureNeedsTwoTexturesOfOneSize) {
  SystemPtr system = MakeSystem();
  TexturePtr source = SolidTexture(system.get(), 8, 8, {9, 8, 7, 255});
  TexturePtr same = SolidTexture(system.get(), 8, 8, {0, 0, 0, 255});
  TexturePtr smaller = SolidTexture(system.get(), 4, 4, {1, 1, 1, 255});
  TexturePtr wider = SolidTexture(system.get(), 16, 4, {1, 1, 1, 255});

  ASSERT_TRUE(system->CopyTexture(same.get(), source.get()));
  EXPECT_EQ(ReadPixels(same.get()), ReadPixels(source.get()));

  const std::vector<std::uint8_t> smaller_before = ReadPixels(smaller.get());
  EXPECT_FALSE(system->CopyTexture(smaller.get(), source.get()));
  EXPECT_EQ(ReadPixels(smaller.get()), smaller_before);
  // Same byte count, other shape: still refused.
  EXPECT_FALSE(system->CopyTexture(wider.get(), source.get()));
  EXPECT_FALSE(system->CopyTexture(nullptr, source.get()));
  EXPECT_FALSE(system->CopyTexture(same.get(), nullptr));
}
