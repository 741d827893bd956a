// Face beauty on a publishing camera with the stand-in beauty process (it inverts the luma):
// the frames that go out come back changed while beauty is on, and pass unchanged while the
// beauty settings window suspends it or no beauty is asked for.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "foundation/app_config.h"
#include "foundation/bus_topics.h"
#include "foundation/hub.h"
#include "sdk/interactive/tests/sdk_test_support.h"

namespace sdk_test {
namespace {

// A 640 x 360 camera frame of one grey, writable like the SDK's frames.
class GreyFrame : public rtTarvo::rtc::VideoFrame {
 public:
  explicit GreyFrame(uint8_t luma) : pixels_(640 * 360 * 3 / 2, 128) {
    std::fill(pixels_.begin(), pixels_.begin() + 640 * 360, luma);
  }
  void GetDescription(rtTarvo::rtc::FrameDescription* out) override {
    out->width = 640;
    out->height = 360;
    out->length = static_cast<int32_t>(pixels_.size());
    out->data = pixels_.data();
  }
  // The luma of the first and the last pixel.
  std::string Luma() const { return std::to_string(pixels_.front()) + "," + std::to_string(pixels_[640 * 360 - 1]); }

 private:
  std::vector<uint8_t> pixels_;
};

// Sends one grey frame through the camera path and answers its luma afterwards.
std::string PassFrame(TestLayer& layer, const std::string& streamId) {
  GreyFrame frame(50);
  layer.LocalVideoFrameHandle(streamId, &frame);
  return frame.Luma();
}

TEST(SdkBeautyFramesTest, PublishedFramesAreBeautifiedOnlyWhileBeautyIsOnAndNotSuspended) {
  ConfigGuard config;
  StAppConfig* c = GetAppConfig();
  c->use_mode.store(true);
  c->rotation = 0;
  c->flip = 0;
  c->mirror = 0;
  c->video_width = 640;
  c->video_height = 360;
  c->beauty_suspended.store(false);
  OfflineMeeting m;
  m.Join();
  ASSERT_TRUE(m.layer.Open_Video_Dev("orvim-camera-1", "Cam", true, true));
  ASSERT_TRUE(m.Emit("OnCreateStreamSuccess", R"({"stream_id":"cs1","device_id":"orvim-camera-1","code":0})"));
  ASSERT_TRUE(m.Emit("OnCreateSenderSuccess",
                     R"({"stream_id":"pub","video_type":7,"stream_kind":1,"sender_kind":0})"));

  st_beauty beauty;
  beauty.microdermabrasion = 60;
  CxBus::Call(GetMessageBus(), kTopicSetBeautyDev, std::string("orvim-camera-1"), &beauty, true);
  // The process starts with the stream; its first answer may miss the first frames.
  std::string luma;
  for (int i = 0; i < 50 && luma != "205,205"; ++i) luma = PassFrame(m.layer, "cs1");
  EXPECT_EQ(luma, "205,205");

  c->beauty_suspended.store(true);
  EXPECT_EQ(PassFrame(m.layer, "cs1"), "50,50");
  c->beauty_suspended.store(false);
  EXPECT_EQ(PassFrame(m.layer, "cs1"), "205,205");

  // Nothing asked for: flags 0, the frame passes as it is.
  st_beauty none;
  CxBus::Call(GetMessageBus(), kTopicSetBeautyDev, std::string("orvim-camera-1"), &none, true);
  EXPECT_EQ(PassFrame(m.layer, "cs1"), "50,50");
}

}  // namespace
}  // namespace sdk_test
