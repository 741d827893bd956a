#include <gtest/gtest.h>

#include <windows.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "platform/streamviewer/stream_block_reader.h"
#include "platform/streamviewer/tests/block_writer.h"

namespace {

using streamviewer_test::BlockWriter;
using streamviewer_test::SolidI420;
using Result = StreamBlockReader::Result;

std::vector<std::uint8_t> Record(unsigned width, unsigned height, unsigned frame_length,
                                 std::size_t pixel_bytes) {
  std::vector<std::uint8_t> record(8 + pixel_bytes, 0x80);
  record[0] = width & 0xFF;
  record[1] = width >> 8;
  record[2] = height & 0xFF;
  record[3] = height >> 8;
  std::memcpy(&record[4], &frame_length, 4);
  return record;
}

// A name of this test's own, so that nothing else that makes the client's blocks can meet it.
std::wstring BlockName(const wchar_t* what) {
  return std::wstring(L"streamviewer_test_") + what + L"_" + std::to_wstring(GetCurrentProcessId());
}

TEST(StreamRecordTest, SizesOddSizesAndMalformedRecords) {
  const struct {
    const char* name;
    std::vector<std::uint8_t> record;
    bool drawn;
    unsigned width, height;
  } kCases[] = {
      {"4x2", Record(4, 2, 12, 12), true, 4, 2},
      {"odd 3x3: chroma rounds up", Record(3, 3, 17, 17), true, 3, 3},
      {"1x1", Record(1, 1, 3, 3), true, 1, 1},
      {"1920x1080", Record(1920, 1080, 3110400, 3110400), true, 1920, 1080},
      {"more bytes than the picture needs", Record(2, 2, 6, 64), true, 2, 2},
      {"frame length field says less", Record(2, 2, 1, 6), true, 2, 2},
      {"odd 3x3 one byte short", Record(3, 3, 17, 16), false, 0, 0},
      {"no width", Record(0, 2, 0, 64), false, 0, 0},
      {"no height", Record(2, 0, 0, 64), false, 0, 0},
      {"largest size, few bytes", Record(65535, 65535, 0xFFFFFFFF, 100), false, 0, 0},
      {"header only", Record(16, 16, 384, 0), false, 0, 0},
      {"shorter than a header", std::vector<std::uint8_t>(7, 1), false, 0, 0},
      {"nothing", {}, false, 0, 0},
  };
  for (const auto& c : kCases) {
    StreamPicture picture;
    std::string why;
    EXPECT_EQ(ParseStreamRecord(c.record.data(), c.record.size(), &picture, &why), c.drawn)
        << c.name;
    if (c.drawn) {
      EXPECT_EQ(picture.width, c.width) << c.name;
      EXPECT_EQ(picture.height, c.height) << c.name;
      EXPECT_EQ(picture.i420.size(), I420Size(c.width, c.height)) << c.name;
    } else {
      EXPECT_FALSE(why.empty()) << c.name;
      EXPECT_TRUE(picture.i420.empty()) << c.name;
    }
  }
}

TEST(StreamRecordTest, ColoursComeOutAsGdiPixels) {
  const struct {
    std::uint8_t y, u, v;
    std::uint32_t rgb;
  } kColours[] = {
      {16, 128, 128, 0x000000},   // Black.
      {235, 128, 128, 0xFFFFFF},  // White.
      {81, 90, 240, 0xFF0000},    // Red.
      {145, 54, 34, 0x00FF00},    // Green.
      {41, 240, 110, 0x0000FF},   // Blue.
  };
  for (const auto& c : kColours) {
    StreamPicture picture;
    picture.width = 3;
    picture.height = 3;
    picture.i420 = SolidI420(3, 3, c.y, c.u, c.v);
    std::vector<std::uint32_t> pixels;
    I420ToBgra(picture, &pixels);
    ASSERT_EQ(pixels.size(), 9u);
    for (std::uint32_t p : pixels) {
      for (int shift = 0; shift <= 16; shift += 8) {
        const int got = (p >> shift) & 0xFF;
        const int want = (c.rgb >> shift) & 0xFF;
        EXPECT_NEAR(got, want, 4) << std::hex << c.rgb << " got " << p;
      }
    }
  }
  // A picture whose pixels are missing is drawn black, not read past its end.
  StreamPicture short_picture;
  short_picture.width = 8;
  short_picture.height = 8;
  short_picture.i420.assign(10, 200);
  std::vector<std::uint32_t> pixels;
  I420ToBgra(short_picture, &pixels);
  ASSERT_EQ(pixels.size(), 64u);
  EXPECT_EQ(pixels[63] & 0xFFFFFF, 0u);
}

TEST(StreamRecordTest, FrameRate) {
  FrameRateMeter meter;
  EXPECT_EQ(meter.Rate(0), 0.0);
  for (std::uint64_t t = 1000; t <= 3000; t += 40) meter.Add(t);  // 25 frames a second.
  EXPECT_NEAR(meter.Rate(3000), 25.0, 0.01);
  EXPECT_EQ(meter.Rate(5001), 0.0);  // Nothing for two seconds: no rate.
  meter.Add(10000);
  EXPECT_EQ(meter.Rate(10000), 0.0);  // One frame after a pause is no rate yet.
  meter.Add(10100);
  EXPECT_NEAR(meter.Rate(10100), 10.0, 0.01);
}

TEST(StreamBlockReaderTest, ReadsTheNewestPictureAndNeverWritesTheBlock) {
  const std::wstring name = BlockName(L"read");
  StreamBlockReader reader(name);
  StreamPicture picture;
  std::string why;
  EXPECT_EQ(reader.Next(10, &picture, &why), Result::kClosed);  // No writer yet.

  BlockWriter writer;
  ASSERT_TRUE(writer.Open(name));
  EXPECT_EQ(reader.Next(10, &picture, &why), Result::kNothing);  // Open, nothing written.
  ASSERT_TRUE(writer.WriteFrame(4, 2, SolidI420(4, 2, 200, 100, 50)));
  ASSERT_TRUE(writer.WriteFrame(3, 3, SolidI420(3, 3, 90, 60, 30)));  // Replaces the first.
  std::vector<unsigned char> before(writer.View(), writer.View() + 64);
  ASSERT_EQ(reader.Next(1000, &picture, &why), Result::kPicture) << why;
  EXPECT_EQ(picture.width, 3u);
  EXPECT_EQ(picture.height, 3u);
  EXPECT_EQ(picture.frame_length, 17u);
  EXPECT_EQ(picture.i420, SolidI420(3, 3, 90, 60, 30));
  EXPECT_EQ(std::vector<unsigned char>(writer.View(), writer.View() + 64), before);
  EXPECT_EQ(reader.Next(10, &picture, &why), Result::kNothing);  // Read once per write.

  // Malformed records are skipped with a reason; the next good one is drawn.
  ASSERT_TRUE(writer.WriteRaw(kStreamBlockCapacity + 9, 4, 4, 24, {}));  // Longer than the block.
  EXPECT_EQ(reader.Next(1000, &picture, &why), Result::kSkipped);
  ASSERT_TRUE(writer.WriteRaw(8 + 10, 4, 4, 24, std::vector<std::uint8_t>(10, 1)));  // Short.
  EXPECT_EQ(reader.Next(1000, &picture, &why), Result::kSkipped);
  EXPECT_NE(why.find("of the 24 bytes"), std::string::npos) << why;
  ASSERT_TRUE(writer.WriteRaw(3, 4, 4, 24, {}));  // Not even a header.
  EXPECT_EQ(reader.Next(1000, &picture, &why), Result::kSkipped);
  EXPECT_EQ(picture.width, 3u);  // The last good picture stays.
  ASSERT_TRUE(writer.WriteFrame(2, 2, SolidI420(2, 2, 1, 2, 3)));
  EXPECT_EQ(reader.Next(1000, &picture, &why), Result::kPicture) << why;
  EXPECT_EQ(picture.width, 2u);
}

TEST(StreamBlockReaderTest, SurvivesTheWriterClosingAndMakingTheBlockAgain) {
  const std::wstring name = BlockName(L"reopen");
  StreamBlockReader reader(name);
  StreamPicture picture;
  std::string why;
  {
    BlockWriter writer;
    ASSERT_TRUE(writer.Open(name));
    ASSERT_TRUE(writer.WriteFrame(2, 2, SolidI420(2, 2, 10, 20, 30)));
    ASSERT_EQ(reader.Next(1000, &picture, &why), Result::kPicture);
    writer.Close();
    // The writer's close lets the reader go; the block is then gone.
    EXPECT_EQ(reader.Next(10, &picture, &why), Result::kClosed);
    EXPECT_FALSE(reader.IsOpen());
    EXPECT_EQ(reader.Next(10, &picture, &why), Result::kClosed);
  }
  BlockWriter again;
  ASSERT_TRUE(again.Open(name));
  ASSERT_TRUE(again.WriteFrame(6, 4, SolidI420(6, 4, 50, 60, 70)));
  Result result = Result::kClosed;
  for (int i = 0; i < 5 && result != Result::kPicture; ++i)
    result = reader.Next(200, &picture, &why);
  ASSERT_EQ(result, Result::kPicture);
  EXPECT_EQ(picture.width, 6u);

  // A writer that closes and makes the block again between two reads keeps the reader going.
  again.Close();
  BlockWriter third;
  ASSERT_TRUE(third.Open(name));
  ASSERT_TRUE(third.WriteFrame(8, 2, SolidI420(8, 2, 1, 1, 1)));
  result = Result::kClosed;
  for (int i = 0; i < 5 && result != Result::kPicture; ++i)
    result = reader.Next(200, &picture, &why);
  ASSERT_EQ(result, Result::kPicture);
  EXPECT_EQ(picture.width, 8u);
}

}  // namespace
