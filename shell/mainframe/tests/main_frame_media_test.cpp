// The page's local media commands through the real local media window, Morlun's decode engine
// on a clip made at test time and the real SDK layer in a meeting on the loopback room server;
// the page events 35 they give; the media file's picture height announced with event 34; the
// playback stopped when the window is asked to close.

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "devices/av_file_decode_engine.h"
#include "foundation/app_config.h"
#include "platform/orvim/testing/orvim_library.h"
#include "platform/orvim/testing/room_server_process.h"
#include "sdk/interactive/sdk_interactive.h"
#include "shell/mainframe/tests/main_frame_test_support.h"
#include "shell/registry/local_file_list.h"
#include "shell/registry/user_stream_list.h"
#include "windows/lod_view/lod_view_frame.h"

namespace mainframe_test {
namespace {

using Texts = std::vector<std::string>;

[[maybe_unused]] ::testing::Environment* const g_environment =
    ::testing::AddGlobalTestEnvironment(new LibraryEnvironment);

// 6 s of 640 x 360 test pictures with a 440 Hz tone (made by the build's media fixtures).
const char kClip[] = "mainframe_lod.mkv";
// 1280 x 536: the 720 class.
const char kWideClip[] = "lod_1280x536.mp4";

// A test data file's path as the program sees it, with backslashes (the file dialog wants
// them).
std::string DataPath(const std::string& name) {
  const char* folder = std::getenv("TARVO_TEST_DATA");
  std::string path = std::string(folder != nullptr ? folder : ".") + "/" + name;
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
  return path;
}

LocalMediaInfo Command(int status, const std::string& md5, const std::string& url = "",
                       int height = 360) {
  LocalMediaInfo command;
  command.status = status;
  command.md5 = md5;
  command.url = url;
  command.height = height;
  return command;
}

// Every event 35 as "md5 status totaltimes curtime".
Texts Playback(FrameScope& frame) {
  Texts out;
  const Texts md5 = frame.Values(35, "md5");
  const Texts status = frame.Values(35, "status");
  const Texts total = frame.Values(35, "totaltimes");
  const Texts current = frame.Values(35, "curtime");
  for (size_t i = 0; i < md5.size(); ++i) {
    out.push_back(md5[i] + " " + status[i] + " " + total[i] + " " + current[i]);
  }
  return out;
}

// The playing reports (status 1) of |md5| from event |from| on: their current times.
std::vector<int> PlayingTimes(FrameScope& frame, const std::string& md5, size_t from = 0) {
  std::vector<int> out;
  const Texts md5s = frame.Values(35, "md5");
  const Texts status = frame.Values(35, "status");
  const Texts current = frame.Values(35, "curtime");
  for (size_t i = from; i < md5s.size(); ++i) {
    if (md5s[i] == md5 && status[i] == "1") out.push_back(std::atoi(current[i].c_str()));
  }
  return out;
}

class LocalMediaTest : public ::testing::Test {
 protected:
  void SetUp() override {
    CUserStreamList::Instance()->Replace({});
    ASSERT_TRUE(library_.ok());
    ASSERT_TRUE(server_.Start());
  }
  void TearDown() override { CUserStreamList::Instance()->Replace({}); }

  void Join(FrameScope& frame) {
    ASSERT_TRUE(frame.JoinRoom(server_.address()));
  }

  // Runs |command| and waits until the page has |events| events 35 in all.
  void Run(FrameScope& frame, const LocalMediaInfo& command, size_t events) {
    frame->HandleLodStatus(command);
    EXPECT_TRUE(PumpUntil([&] { return frame.Events(35).size() >= events; }, 20000))
        << "command " << command.status << " of " << command.md5;
  }

  orvim::testing::OrvimLibrary library_;
  orvim::testing::RoomServerProcess server_;
  ConfigFileScope config_file_{{}};
};

// The commands in turn, each with the page events 35 it gives: without a local media window
// pause and stop do nothing; a play outside a meeting cannot start its stream; in the meeting a
// missing file fails to open, a pause without a file fails, the clip plays (its progress comes
// from the window), pauses, resumes, seeks back, stops, and a second stop still answers, as
// does a stop of a file that never ran.
TEST_F(LocalMediaTest, CommandsAndTheirPageEvents) {
  FrameScope frame;
  const std::string clip = DataPath(kClip);

  frame->HandleLodStatus(Command(2, "none"));
  frame->HandleLodStatus(Command(3, "none"));
  PumpFor(100);
  EXPECT_EQ(frame->GetLodView(), nullptr);
  EXPECT_TRUE(frame.Events(35).empty());

  // Out of the meeting: the file opens, the stream is refused. The open's own report (playing
  // at 0) does not follow the failure.
  Run(frame, Command(1, "early", clip), 1);
  ASSERT_NE(frame->GetLodView(), nullptr) << "the play made the window";
  PumpFor(500);
  EXPECT_EQ(Playback(frame), (Texts{"early 0 0 0"}));

  Join(frame);
  CSdkInterActive* sdk = frame->GetSdk();
  Run(frame, Command(1, "missing", DataPath("no_such_clip.mp4")), 2);
  Run(frame, Command(2, "missing"), 3);
  EXPECT_EQ(Playback(frame), (Texts{"early 0 0 0", "missing 0 0 0", "missing 0 0 0"}));
  EXPECT_FALSE(sdk->IsLocalMediaPlaying());

  // Playing: the window's reports, with the clip's length.
  Run(frame, Command(1, "clip", clip), 4);
  EXPECT_TRUE(sdk->IsLocalMediaPlaying());
  ASSERT_TRUE(PumpUntil([&] { return !PlayingTimes(frame, "clip").empty(); }, 20000));
  ASSERT_NE(frame->GetLodView()->GetEngine(), nullptr);
  const std::string total = std::to_string(frame->GetLodView()->GetEngine()->GetDurationCeil());
  EXPECT_EQ(total, "6");
  EXPECT_EQ(Playback(frame)[3].substr(0, 9), "clip 1 " + total + " ") << Playback(frame)[3];
  // The layer pulls the playback's sound through the window.
  std::vector<uint8_t> sound(1920);
  bool heard = false;
  for (int i = 0; i < 50 && !heard; ++i, PumpFor(20)) {
    sdk->GenerateAudioFrame(sound.data(), static_cast<int>(sound.size()));
    for (uint8_t b : sound) heard = heard || b != 0;
  }
  EXPECT_TRUE(heard) << "the layer has the window";

  size_t count = frame.Events(35).size();
  Run(frame, Command(2, "clip"), count + 1);
  EXPECT_EQ(Playback(frame).back(), "clip 2 0 0");
  EXPECT_TRUE(frame->GetLodView()->IsPaused());

  // Resumed: playing reports again, and no event of its own.
  count = frame.Events(35).size();
  frame->HandleLodStatus(Command(1, "clip", clip));
  EXPECT_FALSE(frame->GetLodView()->IsPaused());
  ASSERT_TRUE(PumpUntil([&] { return PlayingTimes(frame, "clip", count).size() >= 1; }, 20000));
  const Texts resumed = Playback(frame);
  for (size_t i = count; i < resumed.size(); ++i) {
    EXPECT_EQ(resumed[i].substr(0, 7), "clip 1 ") << resumed[i];
  }

  // Seek back to the start once the clip is at 2 s: the position goes down.
  ASSERT_TRUE(PumpUntil(
      [&] {
        const std::vector<int> times = PlayingTimes(frame, "clip");
        return !times.empty() && times.back() >= 2;
      },
      20000));
  LocalMediaInfo seek = Command(4, "clip");
  seek.pos = 0;
  count = frame.Events(35).size();
  frame->HandleLodStatus(seek);
  ASSERT_TRUE(PumpUntil(
      [&] {
        for (int time : PlayingTimes(frame, "clip", count)) {
          if (time < 2) return true;
        }
        return false;
      },
      20000));

  // Stopped: the window's end report; a second stop finds no file and answers itself.
  count = frame.Events(35).size();
  Run(frame, Command(3, "clip"), count + 1);
  EXPECT_EQ(Playback(frame).back(), "clip 3 0 0");
  EXPECT_FALSE(sdk->IsLocalMediaPlaying());
  PumpFor(300);
  EXPECT_EQ(frame.Events(35).size(), count + 1) << "one answer to the stop";
  Run(frame, Command(3, "clip"), count + 2);
  EXPECT_EQ(Playback(frame).back(), "clip 3 0 0");

  // A file open in the window that never ran (its start failed in the engine): the stop
  // answers.
  ASSERT_TRUE(
      frame->GetLodView()->DoOpenFile(std::wstring(clip.begin(), clip.end()), false, 100, "idle"));
  PumpFor(300);  // The open's own report.
  frame->HandleLodStatus(Command(3, "idle"));
  PumpFor(500);
  const Texts all = Playback(frame);
  EXPECT_EQ(Texts(all.begin() + count, all.end()),
            (Texts{"clip 3 0 0", "clip 3 0 0", "idle 1 6 0", "idle 3 0 0"}));
}

// A play while another file plays stops the running stream and file first; the new one plays.
// The main window then goes while it plays.
TEST_F(LocalMediaTest, APlayWhileAnotherPlays) {
  FrameScope frame;
  Join(frame);
  const std::string clip = DataPath(kClip);
  CSdkInterActive* sdk = frame->GetSdk();
  Run(frame, Command(1, "first", clip), 1);
  ASSERT_TRUE(PumpUntil([&] { return !sdk->GetMeetingIds().localMediaStreamId.empty(); }));
  frame->HandleLodStatus(Command(1, "second", clip));
  EXPECT_TRUE(sdk->IsLocalMediaPlaying());
  ASSERT_TRUE(PumpUntil([&] { return !PlayingTimes(frame, "second").empty(); }, 20000));
  for (const std::string& status : frame.Values(35, "status")) EXPECT_EQ(status, "1");
}

// The SDK layer's share result -2 (the local media is in the share's way): the page hears that
// sharing failed, and the page's local media stops.
TEST_F(LocalMediaTest, AShareResultOfMinusTwoStopsTheLocalMedia) {
  FrameScope frame;
  Join(frame);
  frame->m_mediaInfo = Command(1, "clip", DataPath(kClip));  // The page's last command.
  frame->HandleLodStatus(frame->m_mediaInfo);
  ASSERT_TRUE(PumpUntil([&] { return !PlayingTimes(frame, "clip").empty(); }, 20000));
  const size_t count = frame.Events(35).size();
  frame->OnShareResult(-2, false);  // As the SDK layer reports it, from any thread.
  ASSERT_TRUE(PumpUntil([&] { return frame.Events(35).size() > count; }, 20000));
  EXPECT_EQ(Playback(frame).back(), "clip 3 0 0");
  EXPECT_FALSE(frame->GetSdk()->IsLocalMediaPlaying());
  EXPECT_EQ(frame.Values(25, "status"), Texts{"0"});
}

// Closing the main window while the browser lives keeps the window but stops the playback and
// closes its file.
TEST_F(LocalMediaTest, CloseStopsThePlayback) {
  FrameScope frame;
  Join(frame);
  Run(frame, Command(1, "clip", DataPath(kClip)), 1);
  CLodViewFrame* view = frame->GetLodView();
  ASSERT_NE(view, nullptr);
  frame->HandleLodStatus(Command(2, "clip"));
  EXPECT_TRUE(view->IsPaused());
  SendMessageW(frame.hwnd(), WM_CLOSE, 0, 0);
  EXPECT_TRUE(IsWindow(frame.hwnd()));
  EXPECT_FALSE(view->IsPaused());
  AvFileDecodeEngine* engine = view->GetEngine();
  EXPECT_TRUE(engine == nullptr || !engine->HasFile()) << "the file is closed";
}

// A picked media file is announced with its picture height class; one the window cannot read
// with 360.
TEST_F(LocalMediaTest, PickedMediaFilesHeight) {
  FrameScope frame;
  for (const char* name : {kWideClip, kClip}) {
    const std::string path = DataPath(name);
    DialogScript script({AnswerFileDialog(std::wstring(path.begin(), path.end()))});
    frame->PickLocalFile(2);
    EXPECT_TRUE(script.done());
  }
  const std::string unreadable = DataPath("mainframe_not_media.mp4");
  {
    HANDLE file =
        CreateFileA(unreadable.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    WriteFile(file, "not a clip", 10, &written, nullptr);
    CloseHandle(file);
  }
  {
    DialogScript script({AnswerFileDialog(std::wstring(unreadable.begin(), unreadable.end()))});
    frame->PickLocalFile(2);
    EXPECT_TRUE(script.done());
  }
  DeleteFileA(unreadable.c_str());
  ASSERT_TRUE(PumpUntil([&] { return frame.Events(34).size() == 3; }));
  EXPECT_EQ(frame.Values(34, "url"), (Texts{kWideClip, kClip, "mainframe_not_media.mp4"}));
  EXPECT_EQ(frame.Values(34, "height"), (Texts{"720", "360", "360"}));
  EXPECT_NE(frame->GetLodView(), nullptr);
}

}  // namespace
}  // namespace mainframe_test
