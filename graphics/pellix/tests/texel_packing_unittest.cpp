#include "graphics/pellix/texel_packing.h"

#include <gtest/gtest.h>

#include <vector>

#include "graphics/include/gs_common.h"

namespace pellix {
namespace {

using namespace gs::pellix;

TEST(TexelPackingTest, FrameSizesPerCode) {
  struct Case {
    int code;
    int upload;
    int readback;
  } cases[] = {{kI420, 24, 24}, {kYV12, 24, 24}, {kRGB24, 48, 48}, {kRGB32, 64, 64},
               {kYUY2, 32, 0},  {kYVYU, 32, 0},  {kUYVY, 32, 0},   {kHDYC, 32, 0},
               {8, -1, 0},      {9, -1, 0},      {-1, -1, 0}};
  for (const Case& c : cases) {
    EXPECT_EQ(UploadFrameSize(c.code, 4, 4), c.upload) << c.code;
    EXPECT_EQ(ReadbackFrameSize(c.code, 4, 4), c.readback) << c.code;
  }
}

// Each code packs a 4x2 frame into texels at a pitch wider than the row; the bytes of the
// padding stay untouched.
TEST(TexelPackingTest, PacksEveryCodeIntoTexels) {
  struct Case {
    int code;
    std::vector<std::uint8_t> frame;
    std::vector<std::uint8_t> row0;  // the four texels of row 0
    std::vector<std::uint8_t> row1;
  } cases[] = {
      // Y 1..8, U 20 21, V 30 31: chroma repeated over each 2x2 block.
      {kI420,
       {1, 2, 3, 4, 5, 6, 7, 8, 20, 21, 30, 31},
       {1, 20, 30, 0, 2, 20, 30, 0, 3, 21, 31, 0, 4, 21, 31, 0},
       {5, 20, 30, 0, 6, 20, 30, 0, 7, 21, 31, 0, 8, 21, 31, 0}},
      // YV12 keeps its plane order: V first, into byte 1.
      {kYV12,
       {1, 2, 3, 4, 5, 6, 7, 8, 30, 31, 20, 21},
       {1, 30, 20, 0, 2, 30, 20, 0, 3, 31, 21, 0, 4, 31, 21, 0},
       {5, 30, 20, 0, 6, 30, 20, 0, 7, 31, 21, 0, 8, 31, 21, 0}},
      {kRGB24,
       {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24},
       {1, 2, 3, 0, 4, 5, 6, 0, 7, 8, 9, 0, 10, 11, 12, 0},
       {13, 14, 15, 0, 16, 17, 18, 0, 19, 20, 21, 0, 22, 23, 24, 0}},
      {kYUY2,
       {1, 2, 3, 4, 5, 6, 7, 8, 11, 12, 13, 14, 15, 16, 17, 18},
       {1, 2, 3, 4, 3, 2, 3, 4, 5, 6, 7, 8, 7, 6, 7, 8},
       {11, 12, 13, 14, 13, 12, 13, 14, 15, 16, 17, 18, 17, 16, 17, 18}},
      {kUYVY,
       {1, 2, 3, 4, 5, 6, 7, 8, 11, 12, 13, 14, 15, 16, 17, 18},
       {1, 2, 3, 4, 1, 4, 3, 4, 5, 6, 7, 8, 5, 8, 7, 8},
       {11, 12, 13, 14, 11, 14, 13, 14, 15, 16, 17, 18, 15, 18, 17, 18}},
  };
  for (const Case& c : cases) {
    ASSERT_EQ(static_cast<int>(c.frame.size()), UploadFrameSize(c.code, 4, 2)) << c.code;
    const int pitch = 20;
    std::vector<std::uint8_t> texels(pitch * 2, 0xEE);
    ASSERT_TRUE(PackFrame(c.frame.data(), c.code, 4, 2, texels.data(), pitch)) << c.code;
    EXPECT_EQ(std::vector<std::uint8_t>(texels.begin(), texels.begin() + 16), c.row0) << c.code;
    EXPECT_EQ(std::vector<std::uint8_t>(texels.begin() + pitch, texels.begin() + pitch + 16),
              c.row1)
        << c.code;
    EXPECT_EQ(texels[16], 0xEE) << c.code;
  }
  std::uint8_t frame[32] = {}, texels[32] = {};
  EXPECT_FALSE(PackFrame(frame, 8, 4, 2, texels, 16));
}

TEST(TexelPackingTest, UnpacksRgbTopDownAndBottomUp) {
  // Two rows of two texels at a pitch of 12 bytes.
  const std::uint8_t texels[24] = {1, 2,  3,  4,  5,  6,  7,  8,  0, 0, 0, 0,
                                   9, 10, 11, 12, 13, 14, 15, 16, 0, 0, 0, 0};
  std::uint8_t rgb32[16];
  ASSERT_TRUE(UnpackTexels(texels, 12, 2, 2, kRGB32, rgb32));
  const std::uint8_t expected32[16] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
  EXPECT_EQ(0, memcmp(rgb32, expected32, 16));
  std::uint8_t rgb24[12];
  ASSERT_TRUE(UnpackTexels(texels, 12, 2, 2, kRGB24, rgb24));
  const std::uint8_t expected24[12] = {9, 10, 11, 13, 14, 15, 1, 2, 3, 5, 6, 7};
  EXPECT_EQ(0, memcmp(rgb24, expected24, 12));
  std::uint8_t other[16];
  EXPECT_FALSE(UnpackTexels(texels, 12, 2, 2, kYV12, other));
  EXPECT_FALSE(UnpackTexels(texels, 12, 2, 2, kYUY2, other));
}

// Texels hold U, Y, V in bytes 0, 1, 2; chroma is the truncated mean of each 2x2 block.
TEST(TexelPackingTest, UnpacksI420FromUyvTexels) {
  const std::uint8_t texels[32] = {10, 100, 50, 0, 11, 101, 51, 0, 20, 110, 60, 0, 20, 111, 60, 0,
                                   12, 102, 52, 0, 12, 103, 53, 0, 20, 112, 60, 0, 21, 113, 61, 0};
  std::uint8_t frame[12];
  ASSERT_TRUE(UnpackTexels(texels, 16, 4, 2, kI420, frame));
  const std::uint8_t expected[12] = {100, 101, 110, 111, 102, 103, 112, 113, 11, 20, 51, 60};
  EXPECT_EQ(0, memcmp(frame, expected, 12));
}

TEST(TexelPackingTest, BlockCopyHandlesEveryAlignmentAndLength) {
  alignas(16) std::uint8_t source[80];
  alignas(16) std::uint8_t target[80];
  for (int i = 0; i < 80; ++i) source[i] = static_cast<std::uint8_t>(i + 1);
  for (int offset : {0, 1}) {
    for (int length : {0, 15, 16, 33, 64}) {
      memset(target, 0, sizeof(target));
      CopyBytes(target + offset, source + offset, length);
      for (int i = 0; i < 80; ++i) {
        const bool copied = i >= offset && i < offset + length;
        ASSERT_EQ(target[i], copied ? source[i] : 0) << offset << " " << length << " " << i;
      }
    }
  }
}

}  // namespace
}  // namespace pellix
