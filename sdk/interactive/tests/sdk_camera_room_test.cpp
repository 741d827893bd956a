// The layer's camera in a room of the loopback server: Open_CurDev opens the virtual camera and
// publishes it; its frames reach the camera block (read by a second process), the room's live
// stream (read by a raw member) and the device windows' preview.

#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <thread>

#include "foundation/app_config.h"
#include "foundation/bus_topics.h"
#include "foundation/hub.h"
#include "platform/orvim/common/media_pattern.h"
#include "platform/orvim/testing/room_server_process.h"
#include "platform/orvim/testing/service_client.h"
#include "sdk/interactive/tests/sdk_test_support.h"
#include "shell/registry/user_stream_list.h"

namespace sdk_test {
namespace {

using namespace std::chrono_literals;
using orvim::testing::RoomServerProcess;
using orvim::testing::ServiceClient;

// One line of the block reader: the record of one frame.
struct BlockLine {
  uint32_t word = 0, capacity = 0, width = 0, height = 0, length = 0;
  int camera = -1, counter = -1;
};

// Runs the camera block reader for |frames| frames; false when it did not end with 0.
bool ReadCameraBlock(int frames, std::vector<BlockLine>* lines) {
  wchar_t program[MAX_PATH];
  const DWORD n = GetModuleFileNameW(nullptr, program, MAX_PATH);
  std::wstring path(program, n);
  path = path.substr(0, path.find_last_of(L'\\') + 1) + L"camera_block_reader.exe";
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  const std::wstring output = std::wstring(temp) + L"camera_block_" + std::to_wstring(GetCurrentProcessId()) + L".txt";
  std::wstring command = L"\"" + path + L"\" " + std::to_wstring(frames) + L" \"" + output + L"\"";
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process = {};
  if (!CreateProcessW(path.c_str(), &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
    return false;
  }
  WaitForSingleObject(process.hProcess, 30000);
  DWORD code = 99;
  GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  std::ifstream in(output.c_str());
  std::string text;
  while (std::getline(in, text)) {
    std::istringstream line(text);
    BlockLine b;
    line >> b.word >> b.capacity >> b.width >> b.height >> b.length >> b.camera >> b.counter;
    lines->push_back(b);
  }
  in.close();
  DeleteFileW(output.c_str());
  return code == 0;
}

// The device windows' side of topic 22, on the cameras' threads.
class Previews {
 public:
  void OnYuv(const StYuvImage& image) {
    orvim::PictureMark mark;
    const bool marked = orvim::ReadPictureMark(image.data, image.width, image.height, &mark);
    orvim::PictureMark again;
    const bool still = orvim::ReadPictureMark(image.data, image.width, image.height, &again);
    std::lock_guard<std::mutex> lock(mutex_);
    Entry e;
    e.width = image.width;
    e.height = image.height;
    e.camera = marked ? mark.camera : -1;
    e.counter = marked ? static_cast<int>(mark.counter) : -1;
    e.stable = marked && still && again.camera == mark.camera && again.counter == mark.counter;
    entries_.push_back(e);
  }
  struct Entry {
    int width = 0, height = 0, camera = -1, counter = -1;
    bool stable = false;
  };
  std::vector<Entry> Entries() {
    std::lock_guard<std::mutex> lock(mutex_);
    return entries_;
  }
  size_t Count() {
    std::lock_guard<std::mutex> lock(mutex_);
    return entries_.size();
  }

 private:
  std::mutex mutex_;  // Protects |entries_|.
  std::vector<Entry> entries_;
};

class SdkCameraRoomTest : public ::testing::Test {
 protected:
  void SetUp() override {
    CUserStreamList::Instance()->Replace({});
    ASSERT_TRUE(library_.ok());
    ASSERT_TRUE(server_.Start());
    StAppConfig* config = GetAppConfig();
    UseVirtualDevices(config);
    config->rotation = 0;
    config->camera_on = true;
    config->use_mode.store(true);
    bob_ = std::make_unique<ServiceClient>(library_);
    layer_ = std::make_unique<TestLayer>(&owner_);
    layer_->InitSDK();
    join_ = JoinAsMe("room1", server_.address());
    CxBus::Listen(subscriptions_, GetMessageBus(), kTopicYuvData, &Previews::OnYuv, &previews_);
    ASSERT_TRUE(bob_->Join(server_.address(), "room1", "bob"));
    layer_->Login(join_);
    ASSERT_TRUE(WaitUntil([&] { return layer_->IsInMeeting(); }));
  }
  void TearDown() override {
    subscriptions_.RemoveAll();
    if (consumerAdded_) layer_->DelDevConsumer(&consumer_);
    layer_.reset();
    bob_.reset();
    library_.ControlOk(R"({"cmd":"devices","action":"reset"})");
    CUserStreamList::Instance()->Replace({});
  }
  void AddConsumer() {
    layer_->AddDevConsumer(&consumer_);
    consumerAdded_ = true;
  }
  // Waits for |count| more previews.
  bool MorePreviews(size_t count) {
    const size_t target = previews_.Count() + count;
    return WaitUntil([&] { return previews_.Count() >= target; });
  }

  ConfigGuard config_;
  orvim::testing::OrvimLibrary library_;
  RoomServerProcess server_;
  PageSink page_;
  RecordingOwner owner_;
  std::vector<std::string> consumerLog_;
  std::mutex consumerMutex_;
  RecordingConsumer consumer_{"window", &consumerLog_, &consumerMutex_};
  bool consumerAdded_ = false;
  Previews previews_;
  CxSubscriptionList subscriptions_;
  std::unique_ptr<ServiceClient> bob_;
  std::unique_ptr<TestLayer> layer_;
  StJoinInfo join_;
};

TEST_F(SdkCameraRoomTest, TheOpenedCameraIsPublishedAndItsFramesReachTheBlockTheRoomAndTheWindows) {
  AddConsumer();
  layer_->Open_CurDev(true, true);
  ASSERT_TRUE(WaitUntil([&] { return owner_.Published(); }));
  EXPECT_TRUE(layer_->HasSender(0));
  const std::vector<LocalVideoStream> records = layer_->GetLocalVideoStreams();
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].deviceId, "orvim-camera-1");
  EXPECT_FALSE(records[0].streamId.empty());

  // A second process reads the camera block: every record is one whole 1280 x 720 frame of
  // camera 1, in order.
  std::vector<BlockLine> lines;
  ASSERT_TRUE(ReadCameraBlock(20, &lines));
  ASSERT_EQ(lines.size(), 20u);
  for (size_t i = 0; i < lines.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(lines[i].word, lines[i].length + 8);
    EXPECT_EQ(lines[i].capacity, 4147200u);
    EXPECT_EQ(lines[i].width, 1280u);
    EXPECT_EQ(lines[i].height, 720u);
    EXPECT_EQ(lines[i].length, 1280u * 720u * 3 / 2);
    EXPECT_EQ(lines[i].camera, 1);
    if (i > 0) {
      EXPECT_GT(lines[i].counter, lines[i - 1].counter);
    }
  }

  // Bob watches the room's live stream: the layer's camera, frames in order.
  bob_->media()->SubscribeLive(0, 0, false);
  ASSERT_TRUE(bob_->observer().WaitForFrames("room1-live", 15));
  const auto frames = bob_->observer().Frames("room1-live");
  for (size_t i = 0; i < frames.size(); ++i) {
    SCOPED_TRACE(i);
    ASSERT_TRUE(frames[i].marked);
    EXPECT_EQ(frames[i].mark.camera, 1);
    if (i > 0) {
      EXPECT_GT(frames[i].mark.counter, frames[i - 1].mark.counter);
    }
  }

  // The windows' preview: 640 x 360, whole frames of camera 1.
  ASSERT_TRUE(MorePreviews(5));
  for (const Previews::Entry& e : previews_.Entries()) {
    EXPECT_EQ(e.width, 640);
    EXPECT_EQ(e.height, 360);
    EXPECT_EQ(e.camera, 1);
    EXPECT_TRUE(e.stable);
  }

  // The video muted: the preview goes on, the room and the block get nothing new. The frame
  // after the last preview may be under way; the room may still deliver what was sent before.
  const int lastBeforeMute = previews_.Entries().back().counter;
  layer_->SetLocalVideoMuted(true);
  ASSERT_TRUE(MorePreviews(3));
  // The reader may find the last record still signalled; no second one comes.
  std::vector<BlockLine> none;
  EXPECT_FALSE(ReadCameraBlock(2, &none));
  EXPECT_LE(none.size(), 1u);
  ASSERT_TRUE(MorePreviews(10));
  EXPECT_GT(previews_.Entries().back().counter, lastBeforeMute + 10);
  for (const auto& frame : bob_->observer().Frames("room1-live")) {
    EXPECT_LE(static_cast<int>(frame.mark.counter), lastBeforeMute + 2);
  }
  layer_->SetLocalVideoMuted(false);

  // Turned by 90 degrees: the preview stands upright.
  GetAppConfig()->rotation = 90;
  ASSERT_TRUE(MorePreviews(3));
  const size_t turnedFrom = previews_.Count();
  ASSERT_TRUE(MorePreviews(5));
  const auto entries = previews_.Entries();
  for (size_t i = turnedFrom; i < entries.size(); ++i) {
    EXPECT_EQ(entries[i].width, 360);
    EXPECT_EQ(entries[i].height, 640);
    EXPECT_EQ(entries[i].camera, 1);
  }
  GetAppConfig()->rotation = 0;

  // No window listens any more: no preview, while the block goes on.
  layer_->DelDevConsumer(&consumer_);
  consumerAdded_ = false;
  std::this_thread::sleep_for(100ms);  // A frame under way may still preview.
  const size_t previews = previews_.Count();
  lines.clear();
  ASSERT_TRUE(ReadCameraBlock(10, &lines));
  EXPECT_EQ(previews_.Count(), previews);
}

// A second camera previewed for a window while the first publishes, both delivering as fast as
// they can: each preview and each block record is one camera's whole picture.
TEST_F(SdkCameraRoomTest, TwoCamerasAtOnceNeverMix) {
  ASSERT_TRUE(library_.ControlOk(
      R"({"cmd":"devices","action":"add","kind":"camera","id":"orvim-camera-2","number":2,"resolutions":[[1280,720]]})"));
  ASSERT_TRUE(library_.ControlOk(R"({"cmd":"camera_rate","id":"orvim-camera-1","unpaced":true})"));
  ASSERT_TRUE(library_.ControlOk(R"({"cmd":"camera_rate","id":"orvim-camera-2","unpaced":true})"));
  AddConsumer();
  layer_->Open_CurDev(true, true);
  ASSERT_TRUE(layer_->Open_Video_Dev("orvim-camera-2", "Second", false, false));
  ASSERT_TRUE(WaitUntil([&] { return owner_.Published(); }));
  ASSERT_TRUE(WaitUntil([&] {
    bool one = false, two = false;
    for (const Previews::Entry& e : previews_.Entries()) {
      one = one || e.camera == 1;
      two = two || e.camera == 2;
    }
    return one && two && previews_.Count() > 200;
  }));
  for (const Previews::Entry& e : previews_.Entries()) {
    EXPECT_TRUE(e.camera == 1 || e.camera == 2);
    EXPECT_TRUE(e.stable);
  }
  std::vector<BlockLine> lines;
  ASSERT_TRUE(ReadCameraBlock(50, &lines));
  for (const BlockLine& line : lines) EXPECT_EQ(line.camera, 1);
}

}  // namespace
}  // namespace sdk_test
