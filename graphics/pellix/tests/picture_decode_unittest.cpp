#include "graphics/pellix/picture_decode.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "graphics/pellix/tests/bmp_fixture.h"

namespace pellix {
namespace {

using pellix_test::MakeBmp;

std::vector<std::uint8_t> Pixel(const Picture& p, int x, int y) {
  const std::uint8_t* at = p.pixels.data() + (y * p.width + x) * 4;
  return {at[0], at[1], at[2], at[3]};
}

using Bytes = std::vector<std::uint8_t>;

// One fixture per depth: two rows (top row first), pixels as red, green, blue, alpha. Pictures
// without alpha come out opaque.
TEST(PictureDecodeTest, ParsesEveryDepth) {
  // Colour table entries are blue, green, red, unused.
  const std::vector<std::uint32_t> table = {0x00000000, 0x001E140A, 0x00FF0000, 0x0000FF00};
  struct Case {
    int bits;
    std::vector<std::uint32_t> table;
    std::vector<Bytes> rows;
    Bytes top_left, top_right, bottom_left;
  } cases[] = {
      {1,
       {0, 0x00FF0000},
       {{0x80, 0, 0, 0}, {0x40, 0, 0, 0}},
       {255, 255, 255, 255},
       {0, 0, 0, 255},
       {0, 0, 0, 255}},
      {4,
       table,
       {{0x12, 0, 0, 0}, {0x30, 0, 0, 0}},
       {30, 20, 10, 255},
       {255, 0, 0, 255},
       {0, 255, 0, 255}},
      {8,
       table,
       {{1, 2, 0, 0}, {3, 0, 0, 0}},
       {30, 20, 10, 255},
       {255, 0, 0, 255},
       {0, 255, 0, 255}},
      {24,
       {},
       {{10, 20, 30, 1, 2, 3, 0, 0}, {4, 5, 6, 7, 8, 9, 0, 0}},
       {30, 20, 10, 255},
       {3, 2, 1, 255},
       {6, 5, 4, 255}},
      {32,
       {},
       {{10, 20, 30, 40, 1, 2, 3, 4}, {5, 6, 7, 8, 9, 10, 11, 12}},
       {30, 20, 10, 40},
       {3, 2, 1, 4},
       {7, 6, 5, 8}},
  };
  for (const Case& c : cases) {
    std::vector<std::uint8_t> bmp = MakeBmp(2, c.bits, c.table, c.rows);
    Picture picture;
    ASSERT_TRUE(ParseBmp(bmp.data(), bmp.size(), &picture)) << c.bits;
    EXPECT_EQ(picture.width, 2);
    EXPECT_EQ(picture.height, 2);
    EXPECT_EQ(Pixel(picture, 0, 0), c.top_left) << c.bits;
    EXPECT_EQ(Pixel(picture, 1, 0), c.top_right) << c.bits;
    EXPECT_EQ(Pixel(picture, 0, 1), c.bottom_left) << c.bits;
  }
}

TEST(PictureDecodeTest, RefusesTruncatedAndUnsupportedFiles) {
  std::vector<std::uint8_t> good =
      MakeBmp(2, 24, {}, {{10, 20, 30, 1, 2, 3, 0, 0}, {4, 5, 6, 7, 8, 9, 0, 0}});
  Picture picture;
  // One byte short of the pixel rows.
  EXPECT_FALSE(ParseBmp(good.data(), good.size() - 1, &picture));
  EXPECT_FALSE(ParseBmp(good.data(), 20, &picture));
  EXPECT_FALSE(ParseBmp(nullptr, 0, &picture));
  // A one-entry colour table and a pixel of index 255: the entry lies far beyond the data.
  std::vector<std::uint8_t> palette = MakeBmp(2, 8, {0x00102030}, {{0, 255, 0, 0}});
  EXPECT_FALSE(ParseBmp(palette.data(), palette.size(), &picture));
  // 16 bits a pixel has no conversion; a huge width overflows nothing.
  std::vector<std::uint8_t> sixteen = MakeBmp(2, 16, {}, {{1, 2, 3, 4}});
  EXPECT_FALSE(ParseBmp(sixteen.data(), sixteen.size(), &picture));
  std::vector<std::uint8_t> huge = good;
  const std::uint32_t width = 0x7FFFFFFF;
  memcpy(&huge[18], &width, 4);
  EXPECT_FALSE(ParseBmp(huge.data(), huge.size(), &picture));
  EXPECT_EQ(picture.width, 0);
}

TEST(PictureDecodeTest, FitsLargePicturesInto1024) {
  struct Case {
    int width, height, fit_width, fit_height;
  } cases[] = {{2000, 1000, 1024, 512}, {1024, 1024, 1024, 1024}, {1025, 10, 1024, 9},
               {10, 3000, 3, 1024},     {4000, 4000, 1024, 1024}, {640, 480, 640, 480}};
  for (const Case& c : cases) {
    int width, height;
    FitSize(c.width, c.height, &width, &height);
    EXPECT_EQ(width, c.fit_width) << c.width << "x" << c.height;
    EXPECT_EQ(height, c.fit_height) << c.width << "x" << c.height;
  }
}

TEST(PictureDecodeTest, ShrinkAveragesAreas) {
  // Four columns black, white, black, white halved: each output column averages one pair.
  Picture source;
  source.width = 4;
  source.height = 2;
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 4; ++x) {
      const std::uint8_t v = x % 2 ? 200 : 0;
      source.pixels.insert(source.pixels.end(), {v, v, v, 255});
    }
  Picture out = Shrink(source, 2, 1);
  ASSERT_EQ(out.width, 2);
  ASSERT_EQ(out.height, 1);
  EXPECT_EQ(Pixel(out, 0, 0), (Bytes{100, 100, 100, 255}));
  EXPECT_EQ(Pixel(out, 1, 0), (Bytes{100, 100, 100, 255}));
  // A flat picture stays flat (within the rounding of the weights) at any ratio.
  Picture flat;
  flat.width = 7;
  flat.height = 5;
  flat.pixels.assign(7 * 5 * 4, 90);
  Picture small = Shrink(flat, 3, 2);
  for (std::uint8_t v : small.pixels) EXPECT_NEAR(v, 90, 2);
}

}  // namespace
}  // namespace pellix
