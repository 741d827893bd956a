// Frames in every pixel code through SetData and back through GetData.

#include <vector>

#include "vendra_test_support.h"

using namespace vendra_test;

namespace {

// Eight bars (white, yellow, cyan, green, magenta, red, blue, black) as red, green, blue.
struct Rgb {
  int r, g, b;
};
const Rgb kBars[8] = {{255, 255, 255}, {255, 255, 0}, {0, 255, 255}, {0, 255, 0},
                      {255, 0, 255},   {255, 0, 0},   {0, 0, 255},   {0, 0, 0}};

// The same bars as Y, U, V samples (studio range, as cameras deliver them).
const Yuv kYuvBars[8] = {{235, 128, 128}, {210, 16, 146}, {170, 166, 16}, {145, 54, 34},
                         {106, 202, 222}, {81, 90, 240},  {41, 240, 110}, {16, 128, 128}};

constexpr int kBarWidth = 4;
constexpr int kWidth = 8 * kBarWidth;
// The bars fill the top half; the bottom half is a dark grey (Y 60), so a frame drawn upside
// down shows.
constexpr int kHeight = 8;
constexpr Yuv kBottomYuv{60, 128, 128};

Yuv YuvAt(int x, int y) { return y < kHeight / 2 ? kYuvBars[x / kBarWidth] : kBottomYuv; }

// A YUV frame of the bars in the layout of `code`.
std::vector<std::uint8_t> YuvFrame(int code) {
  const int w = kWidth;
  const int h = kHeight;
  if (code == gs::vendra::kI420 || code == gs::vendra::kYV12) {
    std::vector<std::uint8_t> frame(w * h * 3 / 2);
    std::uint8_t* u_plane = frame.data() + w * h + (code == gs::vendra::kYV12 ? w * h / 4 : 0);
    std::uint8_t* v_plane = frame.data() + w * h + (code == gs::vendra::kYV12 ? 0 : w * h / 4);
    for (int y = 0; y < h; ++y) {
      for (int x = 0; x < w; ++x) {
        const Yuv s = YuvAt(x, y);
        frame[y * w + x] = static_cast<std::uint8_t>(s.y);
        u_plane[(y / 2) * (w / 2) + x / 2] = static_cast<std::uint8_t>(s.u);
        v_plane[(y / 2) * (w / 2) + x / 2] = static_cast<std::uint8_t>(s.v);
      }
    }
    return frame;
  }
  // Packed 4:2:2: Y0 U Y1 V (codes 3, 4) or U Y0 V Y1 (codes 5, 6).
  const bool y_first = code == gs::vendra::kYUY2 || code == gs::vendra::kYUY2Alias;
  std::vector<std::uint8_t> frame(w * h * 2);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; x += 2) {
      const Yuv s = YuvAt(x, y);
      std::uint8_t* group = frame.data() + (y * w + x) * 2;
      const std::uint8_t y0 = static_cast<std::uint8_t>(s.y);
      const std::uint8_t y1 = static_cast<std::uint8_t>(YuvAt(x + 1, y).y);
      const std::uint8_t u = static_cast<std::uint8_t>(s.u);
      const std::uint8_t v = static_cast<std::uint8_t>(s.v);
      if (y_first) {
        group[0] = y0, group[1] = u, group[2] = y1, group[3] = v;
      } else {
        group[0] = u, group[1] = y0, group[2] = v, group[3] = y1;
      }
    }
  }
  return frame;
}

// The bars as RGB24 or RGB32 rows, bottom-up (as bitmaps store them).
std::vector<std::uint8_t> RgbFrame(int bytes_per_pixel) {
  std::vector<std::uint8_t> frame(kWidth * kHeight * bytes_per_pixel);
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) {
      const Rgb c = y < kHeight / 2 ? kBars[x / kBarWidth] : Rgb{60, 60, 60};
      std::uint8_t* p = frame.data() + ((kHeight - 1 - y) * kWidth + x) * bytes_per_pixel;
      p[0] = static_cast<std::uint8_t>(c.b);
      p[1] = static_cast<std::uint8_t>(c.g);
      p[2] = static_cast<std::uint8_t>(c.r);
      if (bytes_per_pixel == 4) p[3] = 7;  // any alpha: RGB32 frames are made opaque
    }
  }
  return frame;
}

}  // namespace

// The conversion tables' ends: white and black, and chroma at both extremes.
TEST(VendraFrameTest, LookupTableEdges) {
  SystemPtr system = MakeSystem();
  struct Case {
    int y, u, v;
    Bgra expected;
  } cases[] = {
      {255, 128, 128, {252, 252, 252, 255}},  // the clip table's top
      {0, 128, 128, {0, 0, 0, 255}},         {128, 128, 128, {128, 128, 128, 255}},
      {128, 255, 128, {252, 88, 128, 255}},  // full blue: blue clipped, green pulled down
      {128, 0, 128, {0, 172, 128, 255}},     {128, 128, 255, {128, 40, 252, 255}},  // full red
      {128, 128, 0, {128, 220, 0, 255}},     {255, 255, 255, {252, 124, 252, 255}},
      {0, 0, 0, {0, 136, 0, 255}},
  };
  for (const Case& c : cases) {
    TexturePtr texture(system->CreateTextureWrite(2, 2, nullptr, false));
    std::uint8_t frame[6] = {static_cast<std::uint8_t>(c.y), static_cast<std::uint8_t>(c.y),
                             static_cast<std::uint8_t>(c.y), static_cast<std::uint8_t>(c.y),
                             static_cast<std::uint8_t>(c.u), static_cast<std::uint8_t>(c.v)};
    ASSERT_TRUE(texture->SetData(frame, 6, gs::vendra::kI420, false));
    std::vector<std::uint8_t> pixels = ReadPixels(texture.get());
    for (int i = 0; i < 4; ++i) {
      Bgra p = PixelAt(pixels, 2, 2, i % 2, i / 2);
      EXPECT_EQ(p.b, c.expected.b) << "Y U V " << c.y << " " << c.u << " " << c.v;
      EXPECT_EQ(p.g, c.expected.g) << "Y U V " << c.y << " " << c.u << " " << c.v;
      EXPECT_EQ(p.r, c.expected.r) << "Y U V " << c.y << " " << c.u << " " << c.v;
      EXPECT_EQ(p.a, 255);
    }
  }
}

// Every YUV code draws the bars upright in their true colours: I420 and YV12 differ only in
// the order of their chroma planes.
TEST(VendraFrameTest, YuvBarsInEveryCodeComeOutInTrueColours) {
  SystemPtr system = MakeSystem();
  const int codes[] = {gs::vendra::kI420,      gs::vendra::kYV12, gs::vendra::kYUY2,
                       gs::vendra::kYUY2Alias, gs::vendra::kUYVY, gs::vendra::kUYVYAlias};
  for (int code : codes) {
    SCOPED_TRACE(testing::Message() << "pixel code " << code);
    TexturePtr texture(system->CreateTextureWrite(kWidth, kHeight, nullptr, false));
    std::vector<std::uint8_t> frame = YuvFrame(code);
    ASSERT_TRUE(texture->SetData(frame.data(), static_cast<int>(frame.size()), code, false));
    std::vector<std::uint8_t> pixels = ReadPixels(texture.get());
    for (int y = 0; y < kHeight; ++y) {
      for (int x = 0; x < kWidth; ++x) {
        const Yuv s = YuvAt(x, y);
        // The tables work in quarter steps and round each chroma term on its own, which keeps
        // the bars within 8 of the exact colour; a swapped plane or channel is off by far more.
        ExpectNear(PixelAt(pixels, kWidth, kHeight, x, y), YuvToBgraReference(s.y, s.u, s.v), 8,
                   "pixel");
      }
    }
  }
}

// RGB frames round-trip exactly; RGB24 pixels get alpha 0, RGB32 pixels alpha 255.
TEST(VendraFrameTest, RgbBarsRoundTrip) {
  SystemPtr system = MakeSystem();
  for (int bytes : {3, 4}) {
    const int code = bytes == 3 ? gs::vendra::kRGB24 : gs::vendra::kRGB32;
    SCOPED_TRACE(testing::Message() << "pixel code " << code);
    TexturePtr texture(system->CreateTextureWrite(kWidth, kHeight, nullptr, false));
    std::vector<std::uint8_t> frame = RgbFrame(bytes);
    ASSERT_TRUE(texture->SetData(frame.data(), static_cast<int>(frame.size()), code, false));
    std::vector<std::uint8_t> pixels = ReadPixels(texture.get());
    for (int i = 0; i < kWidth * kHeight; ++i) {
      EXPECT_EQ(pixels[i * 4], frame[i * bytes]);
      EXPECT_EQ(pixels[i * 4 + 1], frame[i * bytes + 1]);
      EXPECT_EQ(pixels[i * 4 + 2], frame[i * bytes + 2]);
      EXPECT_EQ(pixels[i * 4 + 3], bytes == 3 ? 0 : 255);
    }
  }
}

// Reading back as YUV gives Y, U, V planes in I420 order, top row first.
TEST(VendraFrameTest, RgbBarsReadBackAsI420) {
  SystemPtr system = MakeSystem();
  TexturePtr texture(system->CreateTextureWrite(kWidth, kHeight, nullptr, false));
  std::vector<std::uint8_t> frame = RgbFrame(4);
  ASSERT_TRUE(
      texture->SetData(frame.data(), static_cast<int>(frame.size()), gs::vendra::kRGB32, false));
  int size = 0;
  ASSERT_TRUE(texture->GetData(nullptr, &size, gs::vendra::kI420, 0));
  ASSERT_EQ(size, kWidth * kHeight * 3 / 2);
  std::vector<std::uint8_t> yuv(size);
  ASSERT_TRUE(texture->GetData(yuv.data(), &size, gs::vendra::kI420, 0));
  const std::uint8_t* u_plane = yuv.data() + kWidth * kHeight;
  const std::uint8_t* v_plane = u_plane + kWidth * kHeight / 4;
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) {
      const Rgb c = y < kHeight / 2 ? kBars[x / kBarWidth] : Rgb{60, 60, 60};
      const Yuv expected = RgbToYuvReference(c.r, c.g, c.b);
      SCOPED_TRACE(testing::Message() << "x " << x << " y " << y);
      EXPECT_NEAR(yuv[y * kWidth + x], expected.y, 2);
      EXPECT_NEAR(u_plane[(y / 2) * (kWidth / 2) + x / 2], expected.u, 2);
      EXPECT_NEAR(v_plane[(y / 2) * (kWidth / 2) + x / 2], expected.v, 2);
    }
  }
}
