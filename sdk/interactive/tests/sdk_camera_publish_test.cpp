// Camera records, their camera streams and the publish stream against the stand-in offline:
// the calls the layer makes (the service's journal), the records and the settings.

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>

#include "foundation/app_config.h"
#include "foundation/bus_topics.h"
#include "foundation/hub.h"
#include "sdk/interactive/tests/sdk_test_support.h"

namespace sdk_test {
namespace {

using Ops = std::vector<std::string>;

std::string CameraStream(const std::string& id, int width, int height) {
  return R"(CreateCameraStream{"device_id":")" + id + R"(","width":)" + std::to_string(width) +
         R"(,"height":)" + std::to_string(height) + R"(,"frame_rate":24,"enable_video":true,"adaptive":true})";
}

std::string PublishStream(int width, int height, bool video, bool audio) {
  return R"(CreateStream{"kind":0,"width":)" + std::to_string(width) + R"(,"height":)" + std::to_string(height) +
         R"(,"profile":7,"layers":5,"video":)" + (video ? "true" : "false") + R"(,"audio":)" +
         (audio ? "true" : "false") + "}";
}

std::string PublishOptions(const std::string& id, int width, int height) {
  return R"(SetPublishOptions{"stream_id":")" + id + R"(","width":)" + std::to_string(width) + R"(,"height":)" +
         std::to_string(height) + "}";
}

// An offline meeting with the settings and the stand-in's devices put back afterwards; the
// configured microphone is the stand-in's.
class SdkCameraPublishTest : public ::testing::Test {
 protected:
  void SetUp() override {
    GetAppConfig()->SetMicDevId("orvim-mic-1");
    GetAppConfig()->camera_dev_id = "orvim-camera-1";
    GetAppConfig()->camera_dev_name = "Orvim Virtual Camera";
    m.Join();
  }
  void TearDown() override { m.Control(R"({"cmd":"devices","action":"reset"})"); }
  void AddCamera(const std::string& id, const std::string& sizes) {
    ASSERT_TRUE(m.library.ControlOk(R"({"cmd":"devices","action":"add","kind":"camera","id":")" + id +
                                    R"(","resolutions":)" + sizes + "}"));
  }

  ConfigGuard config;
  OfflineMeeting m;
};

TEST_F(SdkCameraPublishTest, TheCameraIsOpenedAtASizeItOffersAndAPublishingCameraLowersTheSettings) {
  struct Case {
    const char* name;
    int width, height;  // The settings' video size.
    const char* sizes;  // What the camera offers.
    bool publish;
    int wantWidth, wantHeight;  // The camera stream asked for.
    int settingsWidth, settingsHeight;
    bool told;  // The owner heard OnVideoDevOpened.
  };
  const Case cases[] = {
      {"best below the settings", 1920, 1080, "[[1280,720],[640,360]]", true, 1280, 720, 1280, 720, true},
      {"not publishing keeps the settings", 1920, 1080, "[[1280,720],[640,360]]", false, 1280, 720, 1920, 1080, false},
      {"640 x 360 asked as 640 x 480", 640, 360, "[[1920,1080],[1280,720]]", true, 640, 480, 640, 360, false},
      {"no sizes", 1920, 1080, "[]", true, 1920, 1080, 1920, 1080, false},
      {"first of equal heights", 1920, 1080, "[[1280,720],[960,720]]", true, 1280, 720, 1280, 720, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    GetAppConfig()->video_width = c.width;
    GetAppConfig()->video_height = c.height;
    AddCamera("cam-t", c.sizes);
    m.owner.Clear();
    EXPECT_TRUE(m.layer.Open_Video_Dev("cam-t", "Test", c.publish, false));
    EXPECT_EQ(m.Ops({"CreateCameraStream"}), Ops{CameraStream("cam-t", c.wantWidth, c.wantHeight)});
    EXPECT_EQ(GetAppConfig()->video_width, c.settingsWidth);
    EXPECT_EQ(GetAppConfig()->video_height, c.settingsHeight);
    EXPECT_EQ(m.owner.Calls(), c.told ? Ops{"OnVideoDevOpened()"} : Ops{});
    const std::vector<LocalVideoStream> records = m.layer.GetLocalVideoStreams();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].bpublish, c.publish);
    EXPECT_EQ(records[0].params.frame_rate, 24);
    m.layer.Close_Video_Dev("cam-t", "Test", true);
  }
}

TEST_F(SdkCameraPublishTest, ReopeningACameraAnswersFalseAndAPublishingOpenSticks) {
  EXPECT_TRUE(m.layer.Open_Video_Dev("orvim-camera-1", "Cam", false, true));
  EXPECT_FALSE(m.layer.Open_Video_Dev("orvim-camera-1", "Cam", true, false));
  EXPECT_FALSE(m.layer.Open_Video_Dev("orvim-camera-1", "Cam", false, true));
  EXPECT_EQ(m.Ops({"CreateCameraStream"}).size(), 1u);
  const std::vector<LocalVideoStream> records = m.layer.GetLocalVideoStreams();
  ASSERT_EQ(records.size(), 1u);
  EXPECT_TRUE(records[0].bpublish);
  EXPECT_FALSE(records[0].bbeauty);  // Taken from the publishing open, kept after it.

  // Out of a meeting nothing is asked and nothing is recorded.
  OfflineMeeting outside;
  EXPECT_FALSE(outside.layer.Open_Video_Dev("orvim-camera-1", "Cam", true, false));
  EXPECT_FALSE(outside.layer.SetVideoResolution("orvim-camera-1", "Cam", 640, 360));
  EXPECT_TRUE(outside.Ops().empty());
  EXPECT_TRUE(outside.layer.GetLocalVideoStreams().empty());
}

// A rotated camera: the default publish stream is made 720 x 1280 and, once published, keeps
// that size (not the configured 1280 x 720).
TEST_F(SdkCameraPublishTest, ARotatedPublishStreamIsCreatedAndPublishedAtItsOwnSize) {
  GetAppConfig()->video_width = 1280;
  GetAppConfig()->video_height = 720;
  GetAppConfig()->rotation = 90;
  ASSERT_TRUE(m.layer.Open_Video_Dev("orvim-camera-1", "Cam", true, false));
  m.Journal();
  ASSERT_TRUE(m.Emit("OnCreateStreamSuccess", R"({"stream_id":"cs1","device_id":"orvim-camera-1","code":0})"));
  EXPECT_EQ(m.Ops({"CreateStream"}), Ops{PublishStream(720, 1280, true, true)});
  EXPECT_EQ(m.layer.GetLocalVideoStreams()[0].streamId, "cs1");
  ASSERT_TRUE(m.Emit("OnCreateSenderSuccess",
                     R"({"stream_id":"pub","video_type":7,"stream_kind":1,"sender_kind":0})"));
  EXPECT_EQ(m.Ops({"Publish"}), Ops{R"(Publish{"stream_id":"pub","video_muted":false})"});
  EXPECT_EQ(m.layer.GetMeetingIds().publishStreamId, "pub");
  EXPECT_TRUE(m.layer.HasSender(0));
  ASSERT_TRUE(m.Emit("OnPublishSuccess", R"({"stream_id":"pub"})"));
  EXPECT_EQ(m.Ops({"SetPublishOptions"}), Ops{PublishOptions("pub", 720, 1280)});
  EXPECT_EQ(m.owner.Calls(), (Ops{"OnVideoDevResult(orvim-camera-1,1)", "OnPublishSuccess()"}));

  // While the sender exists a new request only sets the size.
  m.layer.CreatePublishStream(640, 360, 24, 0);
  EXPECT_EQ(m.Ops(), Ops{PublishOptions("pub", 640, 360)});
}

TEST_F(SdkCameraPublishTest, WhatThePublishStreamCarries) {
  struct Case {
    const char* name;
    bool host, ratio, cameraMode;
    const char* camera;
    bool video;
  };
  const Case cases[] = {
      {"a listed camera", false, false, true, "orvim-camera-1", true},
      {"an unknown camera", false, false, true, "gone", false},
      {"the picture", false, false, false, "gone", true},
      {"a guest with the source ratio", false, true, false, "orvim-camera-1", false},
      {"a host with the source ratio", true, true, true, "orvim-camera-1", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    GetAppConfig()->host = c.host;
    GetAppConfig()->video_source_ratio = c.ratio;
    GetAppConfig()->use_mode.store(c.cameraMode);
    EXPECT_EQ(m.layer.CanPublishVideo(c.camera), c.video);
  }
  EXPECT_TRUE(m.layer.CanPublishMic("orvim-mic-1"));
  EXPECT_FALSE(m.layer.CanPublishMic(""));

  // The default stream follows the devices: here no camera of that id, the microphone listed.
  GetAppConfig()->host = false;
  GetAppConfig()->video_source_ratio = false;
  GetAppConfig()->use_mode.store(true);
  GetAppConfig()->camera_dev_id = "gone";
  GetAppConfig()->rotation = 180;
  m.layer.CreateDefaultPublishStream();
  EXPECT_EQ(m.Ops({"CreateStream"}), Ops{PublishStream(1280, 720, false, true)});
}

// A publish stream made without video: opening a camera that is now listed re-creates it.
TEST_F(SdkCameraPublishTest, ChangedPublishFlagsRecreateThePublishStream) {
  GetAppConfig()->camera_dev_id = "later";
  m.layer.CreateDefaultPublishStream();
  ASSERT_TRUE(m.Emit("OnCreateSenderSuccess",
                     R"({"stream_id":"pub","video_type":7,"stream_kind":1,"sender_kind":0})"));
  AddCamera("later", "[[1280,720]]");
  m.Journal();
  EXPECT_TRUE(m.layer.Open_Video_Dev("later", "Later", true, false));
  EXPECT_EQ(m.Ops({"Unpublish", "ReleaseStream", "CreateStream", "CreateCameraStream"}),
            (Ops{R"(Unpublish{"stream_id":"pub"})", R"(ReleaseStream{"stream_id":"pub"})",
                 R"(ReleaseStream{"stream_id":""})", PublishStream(1280, 720, true, true),
                 CameraStream("later", 1280, 720)}));
  EXPECT_FALSE(m.layer.HasSender(0));

  // Same flags: nothing is re-created.
  ASSERT_TRUE(m.Emit("OnCreateSenderSuccess",
                     R"({"stream_id":"pub2","video_type":7,"stream_kind":1,"sender_kind":0})"));
  m.Journal();
  m.layer.CheckPublishFlags("later", true);
  EXPECT_TRUE(m.Ops({"Unpublish", "CreateStream"}).empty());
}

TEST_F(SdkCameraPublishTest, ClosingWithoutStopKeepsACameraThatAWindowStillUses) {
  std::vector<std::string> log;
  std::mutex mutex;
  RecordingConsumer consumer("settings", &log, &mutex);
  m.layer.AddDevConsumer(&consumer);
  struct Case {
    const char* name;
    bool publish, ownerUses, consumerUses, stopPublish;
    bool kept;
  };
  const Case cases[] = {
      {"nobody uses it", true, false, false, false, false},
      {"the publishing owner uses it", true, true, false, false, true},
      {"the owner uses a camera it does not publish", false, true, false, false, false},
      {"a consumer uses it", false, false, true, false, true},
      {"stop publish closes it anyway", true, true, true, true, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    LocalVideoStream record;
    record.deviceId = "cam";
    record.streamId = "cs";
    record.bpublish = c.publish;
    m.layer.AppendLocalVideoStream(record);
    m.owner.usingVideoDev = c.ownerUses;
    consumer.usingVideoDev = c.consumerUses;
    m.layer.Close_Video_Dev("cam", "Cam", c.stopPublish);
    EXPECT_EQ(m.layer.GetLocalVideoStreams().size(), c.kept ? 1u : 0u);
    EXPECT_EQ(m.Ops({"ReleaseStream"}), c.kept ? Ops{} : Ops{R"(ReleaseStream{"stream_id":"cs"})"});
    m.layer.Close_Video_Dev("cam", "Cam", true);
    m.Journal();
  }
  m.layer.DelDevConsumer(&consumer);
}

// The device windows reach the camera through topics 7, 11 and 12; 7 and 12 answer through
// the caller's result object.
TEST_F(SdkCameraPublishTest, TheCameraTopicsAnswerThroughTheCallersResult) {
  bool opened = false;
  CxBus::CallWithResult(GetMessageBus(), kTopicOpenDevVideo, &opened, std::string("orvim-camera-1"),
                        std::string("Cam"), false, false);
  EXPECT_TRUE(opened);
  ASSERT_TRUE(m.Emit("OnCreateStreamSuccess", R"({"stream_id":"cs1","device_id":"orvim-camera-1","code":0})"));
  m.Journal();

  // A new size: the stream is released and made again; the record keeps its place.
  bool resized = false;
  CxBus::CallWithResult(GetMessageBus(), kTopicSetResolution, &resized, std::string("orvim-camera-1"),
                        std::string("Cam"), 640, 360);
  EXPECT_TRUE(resized);
  EXPECT_EQ(m.Ops(), (Ops{R"(ReleaseStream{"stream_id":"cs1"})", CameraStream("orvim-camera-1", 640, 480)}));
  ASSERT_EQ(m.layer.GetLocalVideoStreams().size(), 1u);
  EXPECT_EQ(m.layer.GetLocalVideoStreams()[0].streamId, "");
  EXPECT_EQ(m.layer.GetMeetingIds().cameraStreamId, "cs1");

  // Topic 11 closes the configured camera only while the local video is muted.
  CxBus::Call(GetMessageBus(), kTopicCheckDevVideos);
  EXPECT_EQ(m.layer.GetLocalVideoStreams().size(), 1u);
  m.layer.SetLocalVideoMuted(true);
  CxBus::Call(GetMessageBus(), kTopicCheckDevVideos);
  EXPECT_TRUE(m.layer.GetLocalVideoStreams().empty());
}

TEST_F(SdkCameraPublishTest, OpenCurDevOpensTheConfiguredCameraAndFollowsTheCameraSwitch) {
  GetAppConfig()->camera_on = false;
  m.layer.Open_CurDev(true, true);
  EXPECT_TRUE(m.layer.GetLiveState().enabled);
  const std::vector<LocalVideoStream> records = m.layer.GetLocalVideoStreams();
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].deviceId, "orvim-camera-1");
  EXPECT_TRUE(records[0].bpublish);
  EXPECT_FALSE(records[0].bbeauty);
  // The camera switch is off: topic 11 closes the camera again.
  CxBus::Call(GetMessageBus(), kTopicCheckDevVideos);
  EXPECT_TRUE(m.layer.GetLocalVideoStreams().empty());

  // The page's variant keeps the mute and asks for beauty when the beauty settings changed.
  GetAppConfig()->beauty_changed.store(true);
  m.layer.SetLocalVideoMuted(false);
  m.layer.Open_CurDevEx(false);
  ASSERT_EQ(m.layer.GetLocalVideoStreams().size(), 1u);
  EXPECT_TRUE(m.layer.GetLocalVideoStreams()[0].bbeauty);
  CxBus::Call(GetMessageBus(), kTopicCheckDevVideos);
  EXPECT_EQ(m.layer.GetLocalVideoStreams().size(), 1u);
}

TEST_F(SdkCameraPublishTest, ACameraThatWentAwayIsFoundAndClosed) {
  LocalVideoStream record;
  record.deviceId = "orvim-camera-1";
  record.streamId = "c1";
  m.layer.AppendLocalVideoStream(record);
  record.deviceId = "gone";
  record.streamId = "c2";
  record.bbeauty = true;
  m.layer.AppendLocalVideoStream(record);
  std::string lost;
  ASSERT_TRUE(m.layer.FindLostVideoDev(lost));
  EXPECT_EQ(lost, "gone");
  m.layer.CloseLostVideoDev(lost);
  EXPECT_EQ(m.Ops({"ReleaseStream"}), Ops{R"(ReleaseStream{"stream_id":"c2"})"});
  EXPECT_EQ(m.layer.GetMeetingIds().cameraStreamId, "c2");
  ASSERT_EQ(m.layer.GetLocalVideoStreams().size(), 1u);
  lost.clear();
  EXPECT_FALSE(m.layer.FindLostVideoDev(lost));
  EXPECT_EQ(lost, "");
}

TEST_F(SdkCameraPublishTest, OpenCurDevInPictureModeOpensAnExistingPictureOnly) {
  GetAppConfig()->use_mode.store(false);
  GetAppConfig()->picture_path = "C:\\no\\such\\picture.bmp";
  m.layer.Open_CurDev(true, false);
  EXPECT_TRUE(m.owner.Calls().empty());
  EXPECT_TRUE(m.Ops({"CreateStream", "CreateCameraStream"}).empty());

  // A picture of 64 x 36 (a gray BMP of 24 bits).
  char folder[MAX_PATH];
  GetTempPathA(MAX_PATH, folder);
  const std::string path = std::string(folder) + "open_cur_dev_picture.bmp";
  {
    const int width = 64, height = 36;
    std::vector<uint8_t> file(54 + width * 3 * height, 0x80);
    auto put = [&file](size_t at, uint32_t value, int bytes) {
      for (int i = 0; i < bytes; ++i) file[at + i] = static_cast<uint8_t>(value >> (8 * i));
    };
    file[0] = 'B';
    file[1] = 'M';
    put(2, static_cast<uint32_t>(file.size()), 4);
    put(6, 0, 4);
    put(10, 54, 4);
    put(14, 40, 4);
    put(18, width, 4);
    put(22, height, 4);
    put(26, 1, 2);
    put(28, 24, 2);
    put(30, 0, 4);
    FILE* out = std::fopen(path.c_str(), "wb");
    ASSERT_NE(out, nullptr);
    std::fwrite(file.data(), 1, file.size(), out);
    std::fclose(out);
  }
  GetAppConfig()->picture_path = path;
  m.layer.Open_CurDevEx(true);
  EXPECT_EQ(m.owner.Calls(), Ops{"OnPictureStream(1)"});
  EXPECT_EQ(m.Ops({"CreateStream"}), Ops{PublishStream(64, 36, true, true)});
  EXPECT_TRUE(m.layer.GetLocalVideoStreams().empty());
  DeleteFileA(path.c_str());
}

}  // namespace
}  // namespace sdk_test
