// The client's SDK layer writes its received pictures into the stream blocks; the small reader
// reads them back: the stand-in SDK's frames, with the frame counter drawn into them.
#include <gtest/gtest.h>

#include <string>

#include "platform/orvim/common/media_pattern.h"
#include "platform/streamviewer/stream_block_reader.h"
#include "sdk/interactive/tests/sdk_test_support.h"

namespace {

using Result = StreamBlockReader::Result;

std::string Frame(int source_type, int width, int height, unsigned counter) {
  return R"({"stream_id":"s)" + std::to_string(source_type) + R"(","source_type":)" +
         std::to_string(source_type) + R"(,"width":)" + std::to_string(width) + R"(,"height":)" +
         std::to_string(height) + R"(,"tag":7,"counter":)" + std::to_string(counter) + "}";
}

TEST(StreamViewerSdkBlocksTest, ReceivedPicturesReachTheirBlocksAsTheReaderReadsThem) {
  sdk_test::OfflineMeeting meeting;
  meeting.Join();
  StreamBlockReader readers[] = {StreamBlockReader(StreamBlockName(0)),
                                 StreamBlockReader(StreamBlockName(1)),
                                 StreamBlockReader(StreamBlockName(2))};
  StreamPicture picture;
  std::string why;
  // Opened while the layer lives; nothing written yet.
  for (StreamBlockReader& reader : readers)
    EXPECT_EQ(reader.Next(10, &picture, &why), Result::kNothing);

  const struct {
    int source_type;
    int block;
    int width, height;
  } kFrames[] = {{7, 0, 640, 360}, {4, 1, 1280, 720}, {2, 2, 1920, 1080}, {7, 0, 321, 181}};
  unsigned counter = 40;
  for (const auto& f : kFrames) {
    ++counter;
    ASSERT_TRUE(
        meeting.Emit("OnVideoFrameYUVData", Frame(f.source_type, f.width, f.height, counter)));
    for (int block = 0; block < 3; ++block) {
      const Result result = readers[block].Next(block == f.block ? 5000 : 10, &picture, &why);
      if (block != f.block) {
        EXPECT_EQ(result, Result::kNothing) << "type " << f.source_type << " block " << block;
        continue;
      }
      ASSERT_EQ(result, Result::kPicture) << "type " << f.source_type << ": " << why;
      EXPECT_EQ(picture.width, static_cast<unsigned>(f.width));
      EXPECT_EQ(picture.height, static_cast<unsigned>(f.height));
      orvim::PictureMark mark;
      ASSERT_TRUE(orvim::ReadPictureMark(picture.i420.data(), f.width, f.height, &mark));
      EXPECT_EQ(mark.counter, counter);
      EXPECT_EQ(mark.tag, 7);
    }
  }
  // Other source types reach no block.
  for (int type : {5, 0, 9}) {
    ASSERT_TRUE(meeting.Emit("OnVideoFrameYUVData", Frame(type, 64, 36, ++counter)));
    for (StreamBlockReader& reader : readers) {
      EXPECT_EQ(reader.Next(10, &picture, &why), Result::kNothing) << "type " << type;
    }
  }
}

}  // namespace
