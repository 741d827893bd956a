#include <gtest/gtest.h>

#include <cstddef>
#include <string>

#include "foundation/beauty_record.h"
#include "foundation/dev_consumer.h"
#include "foundation/yuv_image.h"

namespace {

TEST(RecordsTest, CustomMaterialsAreEqualByPath) {
  EXPECT_EQ((StCustomMaterial{L"a.png", false}), (StCustomMaterial{L"a.png", true}));
  EXPECT_NE((StCustomMaterial{L"a.png", false}), (StCustomMaterial{L"b.png", false}));
}

TEST(RecordsTest, FrameRecordIsFourWordsInOrder) {
  static_assert(sizeof(void*) != 4 || sizeof(StYuvImage) == 16, "four 32-bit fields");
  EXPECT_EQ(offsetof(StYuvImage, size), 8u);
  // The pointer follows the three 32-bit fields, aligned to its own size.
  EXPECT_EQ(offsetof(StYuvImage, data), sizeof(void*) == 4 ? 12u : 16u);
}

// Only the abstract operations are implemented: the others answer their defaults.
struct MinimalConsumer : DevConsumerDelegate {
  void OnVideoDevResult(const std::string&, bool) override {}
  void OnPreviewFrame(const unsigned char*, int, int, int) override {}
  bool IsEffectsIdle() override { return false; }
  bool IsUsingVideoDev(const std::string&) override { return false; }
  int GetCaptureWidth() override { return 1280; }
  int GetCaptureHeight() override { return 720; }
};

TEST(RecordsTest, ConsumerDefaultsAnswerZeroAndEmpty) {
  MinimalConsumer consumer;
  DevConsumerDelegate& delegate = consumer;
  delegate.OnJoinRoom(1, "room");
  delegate.OnJoinGroup("g", "c");
  delegate.OnSpeakerTestEnd();
  delegate.OnPublishSuccess();
  delegate.IceReConnectPub(true);
  delegate.IceReConnectSub(false);
  delegate.OnShareResult(-1, false);
  delegate.StartUpdater(true);
  delegate.OnPictureStream(true);
  delegate.OnVideoDevOpened();
  EXPECT_EQ(delegate.GetIceReConnectPubCount(), 0);
  EXPECT_EQ(delegate.GetIceReConnectSubCount(), 0);
  EXPECT_EQ(delegate.GetUpdateServer(), "");
}

}  // namespace
