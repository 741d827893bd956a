// The frame flow against the stand-in offline: remote frames into their stream blocks (read
// back through the blocks' own channels), local camera frames into the camera block, the
// publish stream's sender (the offline sender records the mark it read) and the bus preview.

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <thread>

#include "foundation/app_config.h"
#include "foundation/bus_topics.h"
#include "foundation/hub.h"
#include "foundation/shared_memory.h"
#include "platform/orvim/common/media_pattern.h"
#include "sdk/interactive/gl_print.h"
#include "sdk/interactive/tests/sdk_test_support.h"

namespace sdk_test {
namespace {

using Ops = std::vector<std::string>;

size_t I420(int w, int h) { return size_t(w) * h + 2 * size_t((w + 1) / 2) * ((h + 1) / 2); }

// A frame of the test's own: a marked I420 picture, or a description that lies.
class TestFrame : public rtTarvo::rtc::VideoFrame {
 public:
  TestFrame(int width, int height, int camera, int counter) {
    buffer_.assign(std::max<size_t>(I420(std::max(width, 1), std::max(height, 1)), 16), 0);
    if (width > 0 && height > 0) orvim::DrawPictureMark(buffer_.data(), width, height, Mark(camera, counter));
    d_.width = width;
    d_.height = height;
    d_.length = static_cast<int32_t>(width > 0 && height > 0 ? I420(width, height) : 0);
    d_.data = buffer_.data();
  }
  static orvim::PictureMark Mark(int camera, int counter) {
    orvim::PictureMark mark;
    mark.tag = 77;
    mark.camera = static_cast<uint8_t>(camera);
    mark.counter = static_cast<uint32_t>(counter);
    return mark;
  }
  void GetDescription(rtTarvo::rtc::FrameDescription* out) override { *out = d_; }
  rtTarvo::rtc::FrameDescription d_;

 private:
  std::vector<uint8_t> buffer_;
};

// One block as its outside reader sees it.
struct BlockRecord {
  uint32_t word = 0;
  uint32_t capacity = 0;
  uint16_t width = 0;
  uint16_t height = 0;
  uint32_t length = 0;
  int camera = -1;  // The mark in the pixels, -1 when none.
  int counter = -1;
};

class BlockReader {
 public:
  explicit BlockReader(const wchar_t* name) { ok_ = block_.Create(name, 1920 * 1080 * 2, false); }
  bool ok() const { return ok_; }
  BlockRecord Read() {
    BlockRecord r;
    CxAutoLock hold(block_.GetChannelLock());
    const unsigned char* view = block_.GetView();
    std::memcpy(&r.word, view, 4);
    std::memcpy(&r.capacity, view + 4, 4);
    std::memcpy(&r.width, view + 8, 2);
    std::memcpy(&r.height, view + 10, 2);
    std::memcpy(&r.length, view + 12, 4);
    orvim::PictureMark mark;
    if (r.width && r.height && r.length >= I420(r.width, r.height) && r.length + 8 <= block_.GetCapacity() &&
        orvim::ReadPictureMark(view + 16, r.width, r.height, &mark)) {
      r.camera = mark.camera;
      r.counter = mark.counter;
    }
    return r;
  }
  // Zeroes the record, so that a test sees whether anything was written.
  void Clear() {
    CxAutoLock hold(block_.GetChannelLock());
    std::memset(block_.GetView(), 0, 16);
  }

 private:
  CxShareMemory block_;
  bool ok_ = false;
};

// The device windows' side of topic 22: every preview's size and mark.
struct PreviewListener {
  void OnYuv(const StYuvImage& image) {
    orvim::PictureMark mark;
    const bool marked = orvim::ReadPictureMark(image.data, image.width, image.height, &mark);
    if (during) during(image);
    // Read again after whatever ran meanwhile: the pixels must still be this frame's.
    orvim::PictureMark after;
    const bool still = orvim::ReadPictureMark(image.data, image.width, image.height, &after);
    seen.push_back(std::to_string(image.width) + "x" + std::to_string(image.height) + "/" + std::to_string(image.size) +
                   (marked ? " cam" + std::to_string(mark.camera) : " unmarked") +
                   (still ? " cam" + std::to_string(after.camera) : " unmarked"));
  }
  std::function<void(const StYuvImage&)> during;
  std::vector<std::string> seen;
};

class SdkFrameFlowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    GetAppConfig()->SetMicDevId("orvim-mic-1");
    GetAppConfig()->rotation = 0;
    GetAppConfig()->mirror = 0;
    GetAppConfig()->flip = 0;
    GetAppConfig()->use_mode.store(true);
    m.Join();
    CxBus::Listen(subscriptions_, GetMessageBus(), kTopicYuvData, &PreviewListener::OnYuv, &previews);
  }
  void TearDown() override { subscriptions_.RemoveAll(); }

  // A publishing camera with stream "cs", the publish stream's sender, one consumer.
  void PublishingCamera() {
    AddCamera("cam", "cs", true);
    ASSERT_TRUE(m.Emit("OnCreateSenderSuccess", R"({"stream_id":"pub","video_type":7,"sender_kind":0})"));
    m.layer.AddDevConsumer(&consumer_);
    m.Journal();
  }
  void AddCamera(const std::string& device, const std::string& stream, bool publish) {
    LocalVideoStream record;
    record.deviceId = device;
    record.streamId = stream;
    record.bpublish = publish;
    m.layer.AppendLocalVideoStream(record);
  }
  bool EmitRemote(int type, int width, int height, const std::string& extra = "") {
    return m.Emit("OnVideoFrameYUVData", R"({"stream_id":"r","source_type":)" + std::to_string(type) +
                                             R"(,"width":)" + std::to_string(width) + R"(,"height":)" +
                                             std::to_string(height) + R"(,"camera":5,"counter":9)" + extra + "}");
  }
  std::string SentFrames() {
    std::string out;
    for (const Call& call : m.Journal()) {
      if (call.op == "SendFrame") out += call.args;
    }
    return out;
  }
  static std::string Sent(int width, int height, int camera, int counter) {
    return R"({"stream_id":"pub","width":)" + std::to_string(width) + R"(,"height":)" + std::to_string(height) +
           R"(,"marked":true,"tag":77,"camera":)" + std::to_string(camera) + R"(,"counter":)" +
           std::to_string(counter) + "}";
  }

  ConfigGuard config;
  OfflineMeeting m;
  PreviewListener previews;
  std::vector<std::string> consumerLog_;
  std::mutex consumerMutex_;
  RecordingConsumer consumer_{"window", &consumerLog_, &consumerMutex_};
  CxSubscriptionList subscriptions_;
};

TEST_F(SdkFrameFlowTest, RemoteFramesFillTheirOwnBlocksAndOtherTypesTouchNothing) {
  BlockReader live(L"livestream_share"), mix(L"mixstream_share"), cast(L"caststream_share"),
      camera(L"camerastream_share");
  ASSERT_TRUE(live.ok() && mix.ok() && cast.ok() && camera.ok());
  for (BlockReader* b : {&live, &mix, &cast, &camera}) b->Clear();

  ASSERT_TRUE(EmitRemote(7, 1920, 1080));
  const BlockRecord r = live.Read();
  EXPECT_EQ(r.word, 3110408u);
  EXPECT_EQ(r.capacity, 4147200u);
  EXPECT_EQ(r.width, 1920);
  EXPECT_EQ(r.height, 1080);
  EXPECT_EQ(r.length, 3110400u);
  EXPECT_EQ(r.camera, 5);
  ASSERT_TRUE(EmitRemote(4, 640, 360));
  EXPECT_EQ(mix.Read().word, I420(640, 360) + 8);
  ASSERT_TRUE(EmitRemote(2, 1280, 720));
  EXPECT_EQ(cast.Read().width, 1280);

  for (int type : {5, 0, 9}) {
    SCOPED_TRACE(type);
    ASSERT_TRUE(EmitRemote(type, 640, 360));
    EXPECT_EQ(live.Read().width, 1920);
    EXPECT_EQ(mix.Read().width, 640);
    EXPECT_EQ(cast.Read().width, 1280);
    EXPECT_EQ(camera.Read().word, 0u);
  }
  EXPECT_EQ(SentFrames(), "");
  EXPECT_TRUE(previews.seen.empty());
}

// Frames whose description is wrong are dropped with the block's log line or written within
// what they hold; nothing crashes.
TEST_F(SdkFrameFlowTest, MalformedRemoteFramesAreDroppedOrWrittenWithinBounds) {
  BlockReader live(L"livestream_share");
  ASSERT_TRUE(live.ok());
  struct Case {
    const char* name;
    int width, height;
    const char* extra;
    bool written;
    uint32_t length;  // In the record, when written.
  };
  const Case cases[] = {
      {"longer than its picture", 640, 360, R"(,"length":4000000)", true, uint32_t(I420(640, 360))},
      {"shorter than its picture", 640, 360, R"(,"length":1000)", true, 1000},
      {"odd size", 641, 361, "", true, uint32_t(I420(641, 361))},
      {"zero width", 0, 360, "", false, 0},
      {"negative height", 640, -2, R"(,"length":5000)", false, 0},
      {"no data", 640, 360, R"(,"null_data":true)", false, 0},
      {"negative length", 640, 360, R"(,"length":-5)", false, 0},
      {"more than the block holds", 3840, 2160, "", false, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    live.Clear();
    const size_t log = LogSize();
    ASSERT_TRUE(EmitRemote(7, c.width, c.height, c.extra));
    const BlockRecord r = live.Read();
    if (c.written) {
      EXPECT_EQ(r.length, c.length);
      EXPECT_EQ(r.word, c.length + 8);
      EXPECT_EQ(r.width, c.width);
    } else {
      EXPECT_EQ(r.word, 0u);
      EXPECT_NE(ReadLog(log).find(" LiveShare = "), std::string::npos);
    }
  }
}

TEST_F(SdkFrameFlowTest, ALocalFrameGoesToTheCameraBlockTheSenderAndThePreview) {
  PublishingCamera();
  BlockReader camera(L"camerastream_share");
  ASSERT_TRUE(camera.ok());

  TestFrame frame(1280, 720, 3, 7);
  m.layer.OnVideoFrameYUVData("cs", 1, &frame);
  BlockRecord r = camera.Read();
  EXPECT_EQ(r.width, 1280);
  EXPECT_EQ(r.length, I420(1280, 720));
  EXPECT_EQ(r.camera, 3);
  EXPECT_EQ(r.counter, 7);
  EXPECT_EQ(SentFrames(), Sent(1280, 720, 3, 7));
  EXPECT_EQ(previews.seen, Ops{"640x360/345600 cam3 cam3"});

  // Muted video: only the preview goes on.
  camera.Clear();
  previews.seen.clear();
  m.layer.SetLocalVideoMuted(true);
  m.layer.OnVideoFrameYUVData("cs", 1, &frame);
  EXPECT_EQ(camera.Read().word, 0u);
  EXPECT_EQ(SentFrames(), "");
  EXPECT_EQ(previews.seen.size(), 1u);
  m.layer.SetLocalVideoMuted(false);

  // Turned by 90 degrees: the sender gets the turned copy, the preview is upright 360 x 640.
  previews.seen.clear();
  GetAppConfig()->rotation = 90;
  TestFrame turned(1280, 720, 4, 8);
  m.layer.OnVideoFrameYUVData("cs", 1, &turned);
  r = camera.Read();
  EXPECT_EQ(r.width, 720);
  EXPECT_EQ(r.height, 1280);
  EXPECT_EQ(r.camera, 4);
  EXPECT_EQ(SentFrames(), Sent(720, 1280, 4, 8));
  EXPECT_EQ(previews.seen, Ops{"360x640/345600 cam4 cam4"});
  GetAppConfig()->rotation = 0;

  // No window listens: no preview.
  previews.seen.clear();
  m.layer.DelDevConsumer(&consumer_);
  m.layer.OnVideoFrameYUVData("cs", 1, &frame);
  EXPECT_TRUE(previews.seen.empty());
  EXPECT_EQ(SentFrames(), Sent(1280, 720, 3, 7));
}

TEST_F(SdkFrameFlowTest, LocalFramesThatCannotBeUsedReachNothing) {
  PublishingCamera();
  BlockReader camera(L"camerastream_share");
  ASSERT_TRUE(camera.ok());
  struct Case {
    const char* name;
    const char* stream;
    int width, height;
    int length;  // -1: the frame's own.
    bool nullData;
    const char* logged;
  };
  const Case cases[] = {
      {"no camera record", "unknown", 1280, 720, -1, false, "GetInfo Stream Is Not Exist"},
      {"short description", "cs", 1280, 720, 1280 * 720, false, "CameraShare = "},
      {"zero size", "cs", 0, 720, -1, false, "CameraShare = "},
      {"negative size", "cs", 1280, -720, 5000, false, "CameraShare = "},
      {"no data", "cs", 1280, 720, -1, true, "CameraShare = "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    camera.Clear();
    previews.seen.clear();
    TestFrame frame(c.width, c.height, 2, 1);
    if (c.length >= 0) frame.d_.length = c.length;
    if (c.nullData) frame.d_.data = nullptr;
    const size_t log = LogSize();
    m.layer.OnVideoFrameYUVData(c.stream, 1, &frame);
    EXPECT_EQ(camera.Read().word, 0u);
    EXPECT_EQ(SentFrames(), "");
    EXPECT_TRUE(previews.seen.empty());
    EXPECT_NE(ReadLog(log).find(c.logged), std::string::npos);
  }

  // An odd size is cropped and written within its own length; too large a frame misses only
  // the block.
  TestFrame odd(641, 361, 2, 3);
  m.layer.OnVideoFrameYUVData("cs", 1, &odd);
  const BlockRecord r = camera.Read();
  EXPECT_EQ(r.length, I420(r.width, r.height));
  EXPECT_EQ(r.word, r.length + 8);
  SentFrames();
  camera.Clear();
  TestFrame large(3840, 2160, 2, 4);
  const size_t log = LogSize();
  m.layer.OnVideoFrameYUVData("cs", 1, &large);
  EXPECT_EQ(camera.Read().word, 0u);
  EXPECT_NE(ReadLog(log).find("CameraShare = "), std::string::npos);
  EXPECT_EQ(SentFrames(), Sent(3840, 2160, 2, 4));
}

// The camera block's record carries what was written: an odd frame of fewer bytes than its
// sizes' layout is written with its own length in both length fields.
TEST_F(SdkFrameFlowTest, TheCameraBlockWritesNoMoreThanTheFrameHolds) {
  BlockReader camera(L"camerastream_share");
  ASSERT_TRUE(camera.ok());
  const std::vector<uint8_t> pixels(37, 0x80);  // 5 x 5 as width * height * 3 / 2; the layout needs 43.
  m.layer.SetShareMemory(pixels.data(), 37, 5, 5);
  const BlockRecord r = camera.Read();
  EXPECT_EQ(r.length, 37u);
  EXPECT_EQ(r.word, 45u);
}

// Two cameras deliver on their own threads. Here the second camera's frame arrives while a
// window still reads the first one's preview (and closes the first camera meanwhile): the
// preview keeps the first camera's pixels.
TEST_F(SdkFrameFlowTest, EachCameraHasItsOwnWorkBuffer) {
  PublishingCamera();
  AddCamera("second", "cs2", false);
  TestFrame first(1280, 720, 1, 1);
  TestFrame second(1280, 720, 2, 1);
  bool nested = false;
  previews.during = [&](const StYuvImage&) {
    if (nested) return;
    nested = true;
    m.layer.OnVideoFrameYUVData("cs2", 1, &second);
    m.layer.Close_Video_Dev("cam", "Cam", true);
  };
  m.layer.OnVideoFrameYUVData("cs", 1, &first);
  EXPECT_EQ(previews.seen, (Ops{"640x360/345600 cam2 cam2", "640x360/345600 cam1 cam1"}));
  EXPECT_EQ(m.layer.GetLocalVideoStreams().size(), 1u);
}

TEST_F(SdkFrameFlowTest, ThePictureIsSentInsteadOfTheCamera) {
  PublishingCamera();
  BlockReader camera(L"camerastream_share");
  ASSERT_TRUE(camera.ok());
  TestFrame picture(640, 360, 9, 2);
  m.layer.StoreLastLocalFrame(picture.d_.data, static_cast<uint32_t>(picture.d_.length), 640, 360);

  // The picture timer: sent and written; not while the video is muted.
  m.layer.SetLocalVideoMuted(true);
  m.layer.ResendLastLocalFrame();
  EXPECT_EQ(SentFrames(), "");
  m.layer.SetLocalVideoMuted(false);
  m.layer.ResendLastLocalFrame();
  EXPECT_EQ(SentFrames(), Sent(640, 360, 9, 2));
  EXPECT_EQ(camera.Read().camera, 9);

  // Picture mode: a camera frame sends the picture again and is not used itself.
  camera.Clear();
  GetAppConfig()->use_mode.store(false);
  TestFrame frame(1280, 720, 3, 1);
  m.layer.OnVideoFrameYUVData("cs", 1, &frame);
  EXPECT_EQ(SentFrames(), Sent(640, 360, 9, 2));
  EXPECT_EQ(camera.Read().camera, 9);
  EXPECT_TRUE(previews.seen.empty());

  // No stored picture: nothing.
  m.layer.StoreLastLocalFrame(nullptr, 0, 0, 0);
  m.layer.ResendLastLocalFrame();
  EXPECT_EQ(SentFrames(), "");
}

uint32_t g_fakeTick = 0;
uint32_t FakeTick() { return g_fakeTick; }

// 25 frames a second for 35 s: the first frame prints, then a line each 10 s with the frames
// counted since.
TEST(SdkFramePrintTest, OneLinePerTenSecondsWithTheFramesCounted) {
  g_fakeTick = 1000000;
  const StGlPrint::Clock previous = StGlPrint::SetClock(&FakeTick);
  StGlPrint printer(" test frames: type=");
  const size_t log = LogSize();
  for (int frame = 0; frame < 25 * 35; ++frame) {
    printer.Print(1, 1280, 720);
    g_fakeTick += 40;
  }
  StGlPrint::SetClock(previous);
  std::vector<std::string> counts;
  const std::string text = ReadLog(log);
  for (size_t at = text.find(" test frames: type=1 ,w=1280 ,h=720 ,frame="); at != std::string::npos;
       at = text.find(" test frames: type=1", at + 1)) {
    const size_t value = text.find("frame=", at) + 6;
    counts.push_back(text.substr(value, text.find_first_not_of("0123456789", value) - value));
  }
  EXPECT_EQ(counts, (Ops{"1", "250", "250", "250"}));
}

// Several SDK threads print through one printer: no frame is lost from the count.
TEST(SdkFramePrintTest, FramesFromSeveralThreadsAreAllCounted) {
  g_fakeTick = 2000000;
  const StGlPrint::Clock previous = StGlPrint::SetClock(&FakeTick);
  StGlPrint printer(" threaded frames: type=");
  printer.Print(1, 640, 360);  // The first line.
  constexpr int kThreads = 4;
  constexpr int kFrames = 200000;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&printer] {
      for (int i = 0; i < kFrames; ++i) printer.Print(1, 640, 360);
    });
  }
  for (std::thread& thread : threads) thread.join();
  const size_t log = LogSize();
  g_fakeTick += StGlPrint::kIntervalMs;
  printer.Print(1, 640, 360);
  StGlPrint::SetClock(previous);
  EXPECT_NE(ReadLog(log).find(" threaded frames: type=1 ,w=640 ,h=360 ,frame=" + std::to_string(kThreads * kFrames + 1)),
            std::string::npos);
}

}  // namespace
}  // namespace sdk_test
