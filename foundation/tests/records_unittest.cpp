#include <gtest/gtest.h>

#include <cstddef>
#include <string>

#include "foundation/beauty_record.h"
#include "foundation/dev_consumer.h"
#include "foundation/yuv_image.h"

namespace {

TEST(RecordsTest, FreshBeautyBlockHasTheDocumentedDefaults) {
  const st_beauty beauty;
  EXPECT_EQ(beauty.comprehensive + beauty.thin_face + beauty.big_eyes + beauty.rhinoplasty +
                beauty.microdermabrasion + beauty.whitening,
            0);
  EXPECT_EQ(beauty.blur_level, 300);
  EXPECT_EQ(beauty.key_color, 0xFF00FF00u);
  EXPECT_FALSE(beauty.green_screen);
  EXPECT_TRUE(beauty.no_effect);
  EXPECT_FALSE(beauty.background_blur);
  EXPECT_EQ(beauty.rotation + beauty.flip + beauty.mirror, 0);
  EXPECT_TRUE(beauty.material_path.empty());
  EXPECT_TRUE(beauty.video_path.empty());
}

TEST(RecordsTest, BeautyCopyKeepsBothVideoPaths) {
  st_beauty beauty;
  beauty.material_path = beauty.video_path = L"C:\\bg\\clip.mp4";
  beauty.no_effect = false;
  const st_beauty copy = beauty;
  EXPECT_EQ(copy.material_path, L"C:\\bg\\clip.mp4");
  EXPECT_EQ(copy.video_path, copy.material_path);
  EXPECT_FALSE(copy.no_effect);
}

TEST(RecordsTest, CustomMaterialsAreEqualByPath) {
  EXPECT_EQ((StCustomMaterial{L"a.png", false}), (StCustomMaterial{L"a.png", true}));
  EXPECT_NE((StCustomMaterial{L"a.png", false}), (StCustomMaterial{L"b.png", false}));
}

TEST(RecordsTest, DeviceRecordStartsEmptyAndZero) {
  const stDev_Info device;
  EXPECT_TRUE(device.id.empty());
  EXPECT_TRUE(device.name.empty());
  EXPECT_EQ(device.width, 0);
  EXPECT_EQ(device.height, 0);
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
