// The local media window over real decode engines and the real SDK layer in an offline meeting
// (the stand-in records every frame the local-media sender gets): playback into the stream,
// reports, pause, loop, replacing a file, probing sizes, malformed files, late requests, the
// sound pull through the layer and its window setter, opening and closing under a running pull,
// and the window itself.

#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "devices/tests/file_decode_harness.h"
#include "platform/duilib/UIlib.h"
#include "sdk/interactive/tests/sdk_test_support.h"
#include "share/video/video_render_ui.h"
#include "windows/common/tests/dialog_test_support.h"
#include "windows/lod_view/tests/lod_view_test_support.h"

namespace {

using lod_test::AudioPuller;
using lod_test::ProbeFrame;
using lod_test::PumpFor;
using lod_test::PumpUntil;
using lod_test::RecordingOwner;
using lod_test::Report;
using morlun_test::DataPath;
using morlun_test::HostFrameCount;

const char kClip4s[] = "morlun_h264_aac.mp4";  // 4 s, 100 pictures of 320 x 240, a 440 Hz tone.
const char kClip1s[] = "morlun_short.mp4";     // 1 s, 25 pictures.

std::string Sender(const std::string& id) {
  return R"({"stream_id":")" + id + R"(","video_type":2,"stream_kind":2,"sender_kind":1})";
}

bool AllZero(const std::vector<uint8_t>& bytes, size_t from, size_t to) {
  for (size_t i = from; i < to; ++i) {
    if (bytes[i] != 0) return false;
  }
  return true;
}

class LodViewFrameTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dialog_test::UseLook({0, L"zh_CN"});
    m.Join();
    frame = std::make_unique<ProbeFrame>(&owner);
    ASSERT_NE(lod_test::CreateHidden(frame.get()), nullptr);
    frame->SetSdk(&m.layer);
    m.layer.SetLodView(frame.get());
  }
  void TearDown() override {
    m.layer.SetLodView(nullptr);
    frame.reset();
  }
  // Opens `name` and publishes it as the local-media stream "lm1" whose sender has come.
  void OpenAndPublish(const std::string& name, bool loop, const std::string& md5) {
    frame->SetMaxVideoSize(640, 360);
    ASSERT_TRUE(frame->DoOpenFile(DataPath(name), loop, 100, md5));
    ASSERT_EQ(m.layer.Start_LocalMedia_Stream(frame->GetEngine(), 320, 240, false), 0);
    ASSERT_TRUE(m.Emit("OnCreateSenderSuccess", Sender("lm1")));
    Calls("SendFrame");
    sentFrames = 0;
  }
  // The stand-in's calls named `op` so far (its journal is read once and kept here).
  std::vector<std::string> Calls(const std::string& op) {
    for (const sdk_test::Call& call : m.Journal()) {
      if (call.op == "SendFrame") {
        ++sentFrames;
      } else {
        calls.push_back(call.op + call.args);
      }
    }
    std::vector<std::string> named;
    for (const std::string& call : calls) {
      if (call.compare(0, op.size() + 1, op + "{") == 0) named.push_back(call);
    }
    return named;
  }
  // Frames the local-media sender got.
  size_t SentFrames() {
    Calls("SendFrame");
    return sentFrames;
  }
  bool Finished(const std::string& md5 = std::string()) { return owner.Count(3, md5) > 0; }

  sdk_test::ConfigGuard config;
  sdk_test::OfflineMeeting m;
  RecordingOwner owner;
  std::unique_ptr<ProbeFrame> frame;
  size_t sentFrames = 0;
  std::vector<std::string> calls;  // The stand-in's calls but the frames, in order.
};

TEST_F(LodViewFrameTest, PlaysEveryPictureInOrderIntoTheLocalMediaStream) {
  OpenAndPublish(kClip4s, false, "md5-a");
  AudioPuller puller(&m.layer);
  ASSERT_TRUE(frame->DoRun(false));
  ASSERT_TRUE(PumpUntil([&] { return Finished(); }));

  const int expected = HostFrameCount(kClip4s);
  ASSERT_GT(expected, 0);
  std::vector<int> numbers;
  for (int i = 0; i < expected; ++i) numbers.push_back(i);
  EXPECT_EQ(frame->Frames(), numbers);
  EXPECT_EQ(SentFrames(), static_cast<size_t>(expected));
  EXPECT_GT(puller.non_zero_bytes(), 0);  // The tone, pulled through the layer.

  // Progress in whole seconds below the duration, then the end; the stream stops with it.
  ASSERT_GE(owner.reports.size(), 2u);
  int last = -1;
  for (size_t i = 0; i + 1 < owner.reports.size(); ++i) {
    const Report& r = owner.reports[i];
    EXPECT_EQ(r.md5, "md5-a");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.total, 4);
    EXPECT_GE(r.current, last);
    EXPECT_LT(r.current, r.total);
    last = r.current;
  }
  EXPECT_GE(last, 2);
  const Report& end = owner.reports.back();
  EXPECT_EQ((std::vector<int>{end.status, end.total, end.current}), (std::vector<int>{3, 0, 0}));
  EXPECT_EQ(Calls("Unpublish"), std::vector<std::string>{R"(Unpublish{"stream_id":"lm1"})"});
  EXPECT_EQ(frame->GetEngine(), nullptr);
}

// After the end there is no file: the page's late requests change nothing and crash nothing.
TEST_F(LodViewFrameTest, RequestsWithoutAFileDoNothing) {
  for (bool played : {false, true}) {
    SCOPED_TRACE(played ? "after the end" : "before any open");
    if (played) {
      frame->SetMaxVideoSize(640, 360);
      ASSERT_TRUE(frame->DoOpenFile(DataPath(kClip1s), false, 100, "md5-s"));
      AudioPuller puller(&m.layer);
      ASSERT_TRUE(frame->DoRun(false));
      ASSERT_TRUE(PumpUntil([&] { return Finished(); }));
    }
    const size_t reports = owner.reports.size();
    EXPECT_FALSE(frame->DoPause());
    EXPECT_FALSE(frame->IsPaused());
    EXPECT_FALSE(frame->DoRun(true));
    EXPECT_FALSE(frame->DoRun(false));
    frame->SetLoop(true);
    frame->SetMaxVideoSize(1280, 720);
    frame->DoStop();
    frame->DoClose();
    frame->StopAndClose();
    PumpFor(100);
    EXPECT_EQ(owner.reports.size(), reports);
    EXPECT_EQ(frame->GetEngine(), nullptr);
  }
}

TEST_F(LodViewFrameTest, PauseStopsPicturesAtOnceAndItsSoundIsSilence) {
  OpenAndPublish(kClip4s, false, "md5-p");
  AudioPuller puller(&m.layer);
  ASSERT_TRUE(frame->DoRun(false));
  ASSERT_TRUE(PumpUntil([&] { return SentFrames() >= 10; }));
  ASSERT_TRUE(frame->DoPause());
  EXPECT_TRUE(frame->IsPaused());
  const size_t atPause = SentFrames();
  // The layer's pull: exactly the asked bytes of silence, nothing past them.
  std::vector<uint8_t> buffer(1200, 0x55);
  EXPECT_TRUE(m.layer.GenerateAudioFrame(buffer.data(), 1000));
  EXPECT_TRUE(AllZero(buffer, 0, 1000));
  EXPECT_EQ(buffer[1000], 0x55);
  EXPECT_EQ(buffer[1199], 0x55);
  PumpFor(600);
  // A picture already inside the send when the flag was set may still go out.
  EXPECT_LE(SentFrames(), atPause + 1);

  ASSERT_TRUE(frame->DoRun(true));
  EXPECT_FALSE(frame->IsPaused());
  ASSERT_TRUE(PumpUntil([&] { return SentFrames() >= atPause + 10; }));
  std::vector<int> numbers = frame->Frames();
  for (size_t i = 1; i < numbers.size(); ++i) EXPECT_EQ(numbers[i], numbers[i - 1] + 1) << i;

  // A stop by the user ends the playback without stopping the stream (the page does that).
  frame->DoStop();
  ASSERT_TRUE(PumpUntil([&] { return Finished("md5-p"); }));
  EXPECT_TRUE(Calls("Unpublish").empty());
}

TEST_F(LodViewFrameTest, LoopsAndASecondOpenReplacesTheFirstWithoutAnEnd) {
  OpenAndPublish(kClip1s, true, "md5-loop");
  AudioPuller puller(&m.layer);
  ASSERT_TRUE(frame->DoRun(false));
  const int count = HostFrameCount(kClip1s);
  ASSERT_GT(count, 0);
  // Past the file's end twice: the numbers start again from 0.
  ASSERT_TRUE(PumpUntil([&] { return frame->FrameCount() >= static_cast<size_t>(2 * count + 3); }));
  std::vector<int> numbers = frame->Frames();
  for (size_t i = 0; i < numbers.size(); ++i) EXPECT_EQ(numbers[i], static_cast<int>(i) % count) << i;
  EXPECT_FALSE(Finished());

  AvFileDecodeEngine* first = frame->GetEngine();
  ASSERT_TRUE(frame->DoOpenFile(DataPath(kClip1s), false, 100, "md5-next"));
  EXPECT_NE(frame->GetEngine(), first);
  ASSERT_TRUE(frame->DoRun(false));
  ASSERT_TRUE(PumpUntil([&] { return Finished("md5-next"); }));
  PumpFor(200);
  EXPECT_EQ(owner.Count(3, "md5-loop"), 0);
  EXPECT_EQ(owner.Count(3, "md5-next"), 1);
}

TEST_F(LodViewFrameTest, MediaInfoClassesThePictureSize) {
  struct Case {
    const char* file;
    bool ok;
    int width, height;
  } cases[] = {
      {"lod_1280x536.mp4", true, 1280, 720},  {"lod_960x1080.mp4", true, 1920, 1080},
      {"lod_1920x800.mp4", true, 1920, 1080}, {"lod_1278x718.mp4", true, 640, 360},
      {kClip1s, true, 640, 360},              {"morlun_audio_only.mp3", true, 640, 360},
      {"no_such_file.mp4", false, 7, 7},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    int width = 7, height = 7;
    EXPECT_EQ(frame->GetMediaInfo(DataPath(c.file), &width, &height), c.ok);
    EXPECT_EQ(width, c.width);
    EXPECT_EQ(height, c.height);
  }
  // Probing does not touch the playback.
  EXPECT_EQ(frame->GetEngine(), nullptr);
}

// Files the engine cannot play: refused at the open, or reported as a failed start or an end
// once run; every later request still does nothing harmful.
TEST_F(LodViewFrameTest, MalformedFilesAreRefusedOrReportedWithoutHarm) {
  const std::string clip = lod_test::ReadDataFile(kClip4s);
  ASSERT_GT(clip.size(), 1000u);
  struct Case {
    const char* name;
    std::wstring path;
  } cases[] = {
      {"missing", DataPath("lod_missing.mp4")},
      {"empty path", L""},
      {"text", lod_test::WriteScratchFile("lod_text.mp4", "this is not a media file\n")},
      {"truncated", lod_test::WriteScratchFile("lod_truncated.mp4", clip.substr(0, clip.size() / 2))},
      {"zero-filled", lod_test::WriteScratchFile("lod_zeros.mp4", std::string(65536, '\0'))},
  };
  AudioPuller puller(&m.layer);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    owner.reports.clear();
    if (frame->DoOpenFile(c.path, false, 100, c.name)) {
      frame->DoRun(false);
      EXPECT_TRUE(PumpUntil([&] { return owner.Count(0) + owner.Count(3) > 0; }));
    }
    frame->DoPause();
    frame->DoRun(true);
    frame->DoStop();
    frame->DoClose();
    PumpFor(50);
  }
  EXPECT_EQ(puller.false_answers(), 0);
}

TEST_F(LodViewFrameTest, SoundComesFromTheWindowAndSilenceWithoutOne) {
  // No file: the window's pull gives silence of the whole length.
  std::vector<uint8_t> buffer(1920, 0x55);
  frame->ReadSourceData(buffer.data(), 1920);
  EXPECT_TRUE(AllZero(buffer, 0, buffer.size()));

  // No window: silence, and true.
  m.layer.SetLodView(nullptr);
  buffer.assign(1920, 0x55);
  EXPECT_TRUE(m.layer.GenerateAudioFrame(buffer.data(), 1920));
  EXPECT_TRUE(AllZero(buffer, 0, buffer.size()));
  EXPECT_TRUE(m.layer.GenerateAudioFrame(nullptr, 1920));
  EXPECT_TRUE(m.layer.GenerateAudioFrame(buffer.data(), 0));
}

// A window whose pull waits until the test lets it go.
class HeldPullFrame : public CLodViewFrame {
 public:
  using CLodViewFrame::CLodViewFrame;
  void ReadSourceData(uint8_t* buffer, int length) override {
    inside.store(true);
    while (!release.load()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    std::memset(buffer, 0x11, static_cast<size_t>(length));
    ++reads;
  }
  std::atomic<bool> inside{false};
  std::atomic<bool> release{false};
  std::atomic<int> reads{0};
};

TEST_F(LodViewFrameTest, ClearingTheWindowWaitsForARunningPull) {
  HeldPullFrame held(&owner);
  m.layer.SetLodView(&held);
  std::vector<uint8_t> buffer(1920);
  std::thread pull([&] { m.layer.GenerateAudioFrame(buffer.data(), 1920); });
  while (!held.inside.load()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  std::atomic<bool> cleared{false};
  std::thread clear([&] {
    m.layer.SetLodView(nullptr);
    cleared.store(true);
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_FALSE(cleared.load()) << "the window was cleared while a pull was using it";
  held.release.store(true);
  pull.join();
  clear.join();
  EXPECT_TRUE(cleared.load());
  EXPECT_EQ(buffer[0], 0x11);
  buffer.assign(1920, 0x55);
  EXPECT_TRUE(m.layer.GenerateAudioFrame(buffer.data(), 1920));
  EXPECT_EQ(held.reads.load(), 1);
  EXPECT_TRUE(AllZero(buffer, 0, buffer.size()));
}

// Engines are made, replaced and destroyed on the UI thread while the SDK's audio thread pulls
// through the layer; the owner clears the window from the layer before destroying it.
TEST_F(LodViewFrameTest, OpeningAndClosingUnderARunningPull) {
  {
    AudioPuller puller(&m.layer, 1920, 10);
    for (int i = 0; i < 200; ++i) {
      frame->SetMaxVideoSize(320, 240);
      ASSERT_TRUE(frame->DoOpenFile(DataPath(kClip1s), i % 3 == 0, 100, "md5")) << i;
      if (i % 4 == 0) frame->DoRun(false);
      if (i % 8 == 4) frame->DoPause();
      PumpFor(0);
      if (i % 3 == 1) frame->StopAndClose();
      if (i % 7 == 2) frame->DoClose();
    }
    m.layer.SetLodView(nullptr);
    frame.reset();
    EXPECT_GT(puller.pulls(), 0);
    EXPECT_EQ(puller.false_answers(), 0);
  }
}

// The window's engine holds a file (a finished engine is no longer the window's).
bool HoldsFile(CLodViewFrame* frame) {
  AvFileDecodeEngine* engine = frame->GetEngine();
  return engine != nullptr && engine->HasFile();
}

TEST(LodViewFrameWindowTest, LayoutAndClosing) {
  for (int skin : {0, 1}) {
    SCOPED_TRACE(skin);
    dialog_test::UseLook({skin, L"zh_CN"});
    RecordingOwner owner;
    auto frame = std::make_unique<CLodViewFrame>(&owner);
    HWND hwnd = lod_test::CreateHidden(frame.get());
    ASSERT_NE(hwnd, nullptr);
    dialog_test::LayOut(frame->GetPaintManager());
    EXPECT_FALSE(IsWindowVisible(hwnd));
    RECT rc{};
    GetClientRect(hwnd, &rc);
    EXPECT_EQ(rc.right - rc.left, 660);
    EXPECT_EQ(rc.bottom - rc.top, 420);
    DuiLib::CPaintManagerUI* pm = frame->GetPaintManager();
    ASSERT_NE(pm->FindControl(L"title_lab"), nullptr);
    EXPECT_EQ(pm->FindControl(L"title_lab")->GetText(), L"插播预览");
    DuiLib::CControlUI* preview = pm->FindControl(L"video_preview");
    ASSERT_NE(preview, nullptr);
    EXPECT_NE(preview->GetInterface(L"VideoRender"), nullptr);
    EXPECT_TRUE(preview->IsVisible());
    const RECT pos = preview->GetPos();
    EXPECT_EQ(pos.right - pos.left, 640);
    EXPECT_EQ(pos.bottom - pos.top, 360);

    // "closebtn" stops and closes the file and hides the window, which stays.
    ASSERT_TRUE(frame->DoOpenFile(DataPath(kClip1s), false, 100, "md5"));
    ShowWindow(hwnd, SW_SHOWNOACTIVATE);
    ASSERT_TRUE(dialog_test::ClickOn(hwnd, pm, L"closebtn"));
    PumpFor(50);
    EXPECT_TRUE(IsWindow(hwnd));
    EXPECT_FALSE(IsWindowVisible(hwnd));
    EXPECT_FALSE(HoldsFile(frame.get()));

    // WM_CLOSE closes the file and the window.
    ASSERT_TRUE(frame->DoOpenFile(DataPath(kClip1s), false, 100, "md5"));
    SendMessageW(hwnd, WM_CLOSE, 0, 0);
    EXPECT_FALSE(IsWindow(hwnd));
    EXPECT_FALSE(HoldsFile(frame.get()));
    EXPECT_FALSE(frame->OnVideoCapture(nullptr, 0, 2, 2, nullptr, 0));
    EXPECT_FALSE(frame->OnSoundCapture(nullptr, nullptr, 0, 48000, 2));
  }
}

}  // namespace
