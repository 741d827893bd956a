// The main window's share paths: the share window made, hidden, ended and made again; the SDK
// layer's share results (0xC4B); and, over the real SDK layer in a meeting on the loopback room
// server with a raw member "bob", the share start timer 0xD03 and the share canvas's frames,
// then the whole share from the share window's start button to its stop.

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/duilib/UIlib.h"
#include "platform/orvim/common/json.h"
#include "platform/orvim/common/media_pattern.h"
#include "platform/orvim/common/wire.h"
#include "platform/orvim/testing/orvim_library.h"
#include "platform/orvim/testing/room_server_process.h"
#include "platform/orvim/testing/service_client.h"
#include "platform/trastor/trastor_testing.h"
#include "sdk/interactive/sdk_interactive.h"
#include "share/sharing/share_frame.h"
#include "shell/mainframe/main_frame_ids.h"
#include "shell/mainframe/tests/main_frame_test_support.h"

namespace mainframe_test {
namespace {

using Commands = std::vector<WPARAM>;

constexpr char kShareCanvas[] = "CANVAS_AS";

[[maybe_unused]] ::testing::Environment* const g_environment =
    ::testing::AddGlobalTestEnvironment(new LibraryEnvironment);

// Posts the SDK layer's share result as the layer does and lets it (and what it posts) run.
void PostShareResult(FrameScope& frame, int result, bool stopped) {
  frame->OnShareResult(result, stopped);
  PumpFor(150);
}

// Clicks the share window's control |name| as the UI library does for a real click.
void ClickInShareFrame(CShareFrame* share, const wchar_t* name) {
  DuiLib::CControlUI* control = share->GetPaintManager()->FindControl(name);
  ASSERT_NE(control, nullptr) << "no control named " << std::string(name, name + wcslen(name));
  control->Activate();
}

// The share window: one at a time, hidden and shown again; when the system or the main window
// ends it, the main window forgets it, its canvas goes, and the next request makes a new one.
TEST(MainFrameShareWindowTest, EndsAndComesBack) {
  FrameScope frame;
  ASSERT_NE(frame.hwnd(), nullptr);
  frame->ShowShareFrame(false);
  EXPECT_EQ(frame->m_pShareFrame, nullptr) << "a hide request makes no window";

  frame->ShowShareFrame(true);
  CShareFrame* first = frame->m_pShareFrame;
  ASSERT_NE(first, nullptr);
  const HWND first_window = first->GetHWND();
  EXPECT_TRUE(IsWindowVisible(first_window));
  EXPECT_NE(Trastor_GetCanvas(kShareCanvas), nullptr);
  frame->ShowShareFrame(true);
  EXPECT_EQ(frame->m_pShareFrame, first) << "a second request shows the same window";
  frame->ShowShareFrame(false);
  EXPECT_FALSE(IsWindowVisible(first_window));

  SendMessageW(first_window, WM_CLOSE, 0, 0);  // As the system closes it.
  EXPECT_FALSE(IsWindow(first_window));
  EXPECT_EQ(frame->m_pShareFrame, nullptr);
  EXPECT_EQ(Trastor_GetCanvas(kShareCanvas), nullptr);

  frame->ShowShareFrame(true);
  ASSERT_NE(frame->m_pShareFrame, nullptr);
  const HWND second_window = frame->m_pShareFrame->GetHWND();
  EXPECT_TRUE(IsWindowVisible(second_window));
  TrastorCanvas* canvas = Trastor_GetCanvas(kShareCanvas);
  ASSERT_NE(canvas, nullptr);
  // The new window's share runs: its canvas composes frames.
  frame->m_pShareFrame->StartShare();
  TrastorCanvasCounters counters{};
  EXPECT_TRUE(PumpUntil([&] {
    return TrastorTest_GetCanvasCounters(canvas, &counters) && counters.outputs >= 2;
  }));
  EXPECT_TRUE(frame->m_bShareFrameArrived.load());

  frame->CloseShareAndCanvas();  // While it shares.
  EXPECT_FALSE(IsWindow(second_window));
  EXPECT_EQ(frame->m_pShareFrame, nullptr);
  EXPECT_EQ(Trastor_GetCanvas(kShareCanvas), nullptr);
  PostShareResult(frame, 1, false);
  EXPECT_TRUE(frame->sys_commands.empty()) << "a share result without a share window";
}

// A share whose stream request made none (outside a meeting the SDK layer refuses it) leaves
// the share window sharing, and no share result will come to stop it: its stop ends it.
TEST(MainFrameShareWindowTest, StopWithoutAShareStreamStopsTheShareWindow) {
  FrameScope frame;
  ASSERT_NE(frame.hwnd(), nullptr);
  frame->ShowShareFrame(true);
  CShareFrame* share = frame->m_pShareFrame;
  ASSERT_NE(share, nullptr);
  ClickInShareFrame(share, L"btn_startShare");
  ASSERT_TRUE(PumpUntil([&] { return frame->m_bShareFrameArrived.load(); }));
  frame.Tick(kTimerShareStart);
  EXPECT_FALSE(KillTimer(frame.hwnd(), kTimerShareStart)) << "the request was made";
  EXPECT_TRUE(share->IsSharing());
  frame->OnShareStopped();
  EXPECT_FALSE(share->IsSharing());
  EXPECT_FALSE(frame->m_bShareFrameArrived.load());
}

// The main window counts once as a user of the canvas engine from its start (0xD0D) and ends
// that use once, however often it goes back to the start state.
TEST(MainFrameShareWindowTest, CanvasEngineUseFollowsTheWindow) {
  const int before = TrastorTest_UserCount();
  {
    FrameScope frame;
    ASSERT_NE(frame.hwnd(), nullptr);
    EXPECT_EQ(TrastorTest_UserCount(), before + 1);
    PostMessageW(frame.hwnd(), kMsgWindowReady, 0, 0);
    PumpFor(100);
    EXPECT_EQ(TrastorTest_UserCount(), before + 1);
  }
  EXPECT_EQ(TrastorTest_UserCount(), before);
}

// 0xC4B: start and stop results drive the share window and the main window's size; failures
// tell the page; 0 and other negative results do nothing.
TEST(MainFrameShareWindowTest, ShareResults) {
  struct Case {
    const char* name;
    bool sharing;    // The share window's state before.
    bool maximised;  // The main window's.
    int result;
    bool stopped;
    bool sharing_after;
    Commands commands;
    const char* message;  // Page event 25's text (status 0), or none.
  };
  const std::vector<Case> cases = {
      {"start", false, false, 1, false, true, {SC_MINIMIZE}, nullptr},
      {"start while sharing", true, false, 1, false, true, {SC_MINIMIZE}, nullptr},
      {"stop", true, false, 1, true, false, {SC_RESTORE}, nullptr},
      {"stop while maximised", true, true, 1, true, false, {}, nullptr},
      {"stop while not sharing", false, false, 1, true, false, {}, nullptr},
      {"result 0", true, false, 0, true, true, {}, nullptr},
      {"start failed", false, false, -1, false, false, {}, "Sharing could not start"},
      {"stop failed", true, false, -1, true, true, {}, "Sharing could not stop"},
      {"local media start failed", false, false, -2, false, false, {}, "Sharing could not start"},
      {"other negative result", true, false, -3, false, true, {}, nullptr},
  };
  FrameScope frame;
  ASSERT_NE(frame.hwnd(), nullptr);
  frame->ShowShareFrame(true);
  CShareFrame* share = frame->m_pShareFrame;
  ASSERT_NE(share, nullptr);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ShowWindow(frame.hwnd(), c.maximised ? SW_MAXIMIZE : SW_RESTORE);
    if (c.sharing) {
      share->StartShare();
    } else {
      share->StopShare();
    }
    PumpFor(50);
    frame->sys_commands.clear();
    const size_t messages = frame.Events(25).size();

    PostShareResult(frame, c.result, c.stopped);
    EXPECT_EQ(share->IsSharing(), c.sharing_after);
    EXPECT_EQ(frame->sys_commands, c.commands);
    const std::vector<std::string> texts = frame.Values(25, "msg");
    if (c.message == nullptr) {
      EXPECT_EQ(texts.size(), messages);
    } else {
      ASSERT_EQ(texts.size(), messages + 1);
      EXPECT_EQ(texts.back(), c.message);
      EXPECT_EQ(frame.Values(25, "status").back(), "0");
    }
  }
  ShowWindow(frame.hwnd(), SW_RESTORE);
  share->StopShare();
}

// In a meeting: the main window as "me", a raw member "bob" in the same room.
class MainFrameShareRoomTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(library_.ok());
    ASSERT_TRUE(server_.Start());
    bob_ = std::make_unique<orvim::testing::ServiceClient>(library_);
    ASSERT_TRUE(bob_->Join(server_.address(), "room1", "bob"));
    frame_ = std::make_unique<FrameScope>();
    ASSERT_NE(frame_->hwnd(), nullptr);
    ASSERT_TRUE(frame_->JoinRoom(server_.address()));
  }
  void TearDown() override {
    frame_.reset();
    bob_.reset();
  }

  TestFrame* frame() { return frame_->get(); }

  // Share streams the SDK layer asked the SDK for.
  int ShareStreamRequests() {
    orvim::JsonPtr answer = library_.ControlJson(R"({"cmd":"journal"})");
    int count = 0;
    const cJSON* entry = nullptr;
    cJSON_ArrayForEach(entry, cJSON_GetObjectItemCaseSensitive(answer.get(), "calls")) {
      if (orvim::GetString(entry, "op") != "CreateStream") continue;
      if (orvim::GetInt(cJSON_GetObjectItemCaseSensitive(entry, "args"), "kind") == 1) ++count;
    }
    return count;
  }

  // Bob's share frames so far.
  std::vector<orvim::testing::ObservedFrame> BobShareFrames() {
    std::vector<orvim::testing::ObservedFrame> out;
    for (const auto& seen : bob_->observer().Frames()) {
      if (seen.type == rtTarvo::rtc::kStreamScreenShare) out.push_back(seen);
    }
    return out;
  }

  // Bob's announcements |event| of share streams.
  int BobShareEvents(const char* event) {
    int count = 0;
    for (const auto& seen : bob_->observer().Events(event)) {
      if (seen.stream.kind == rtTarvo::rtc::kStreamScreenShare) ++count;
    }
    return count;
  }
  bool BobSawShare(const char* event) { return BobShareEvents(event) > 0; }

  orvim::testing::OrvimLibrary library_;
  orvim::testing::RoomServerProcess server_;
  std::unique_ptr<orvim::testing::ServiceClient> bob_;
  std::unique_ptr<FrameScope> frame_;
};

// Timer 0xD03 waits, however often it ticks, until a frame of "CANVAS_AS" came; frames of
// another canvas do not count and never reach the room. The first share request answers 0 (no
// minimise); a start while the share stream exists answers 1 and minimises. A stop reported
// from another thread (as the page's share end comes) stops the share stream.
TEST_F(MainFrameShareRoomTest, ShareStartWaitsForTheShareCanvas) {
  TrastorCanvas* share = Trastor_CreateCanvas(kShareCanvas);
  TrastorCanvas* other = Trastor_CreateCanvas("TEST_OTHER_CANVAS");
  ASSERT_NE(share, nullptr);
  ASSERT_NE(other, nullptr);
  std::vector<uint8_t> share_picture(orvim::I420Size(640, 360));
  std::vector<uint8_t> other_picture(orvim::I420Size(320, 240));
  uint32_t counter = 0;
  auto send_frames = [&] {
    ++counter;
    orvim::DrawPictureMark(share_picture.data(), 640, 360, orvim::PictureMark{21, 1, counter});
    orvim::DrawPictureMark(other_picture.data(), 320, 240, orvim::PictureMark{22, 2, counter});
    frame()->OnVideoFrameOut(other, trastor::kFormatI420, 320, 240, other_picture.data(),
                             static_cast<int>(other_picture.size()), 0, 0);
    frame()->OnVideoFrameOut(share, trastor::kFormatI420, 640, 360, share_picture.data(),
                             static_cast<int>(share_picture.size()), 0, 0);
  };

  frame()->OnShareStarted();  // No share window: only the flag and the timer.
  for (int i = 0; i < 3; ++i) frame_->Tick(kTimerShareStart);
  PumpFor(700);  // The timer's own ticks too.
  frame()->OnVideoFrameOut(other, trastor::kFormatI420, 320, 240, other_picture.data(),
                           static_cast<int>(other_picture.size()), 0, 0);
  frame_->Tick(kTimerShareStart);
  EXPECT_FALSE(frame()->m_bShareFrameArrived.load());
  EXPECT_EQ(ShareStreamRequests(), 0);

  send_frames();
  EXPECT_TRUE(frame()->m_bShareFrameArrived.load());
  frame_->Tick(kTimerShareStart);
  EXPECT_EQ(ShareStreamRequests(), 1);
  EXPECT_FALSE(KillTimer(frame_->hwnd(), kTimerShareStart)) << "the tick stopped its timer";
  ASSERT_TRUE(PumpUntil([&] { return BobSawShare("OnStreamAdded"); }, 20000));
  EXPECT_EQ(frame()->sys_commands, Commands{}) << "the request answered 0: no minimise";

  // Bob receives what the share canvas composed, and nothing of the other canvas.
  ASSERT_TRUE(PumpUntil(
      [&] {
        send_frames();
        PumpFor(30);
        return BobShareFrames().size() >= 5;
      },
      20000));
  for (const auto& seen : BobShareFrames()) {
    EXPECT_EQ(seen.width, 640);
    EXPECT_EQ(seen.height, 360);
    EXPECT_TRUE(seen.marked);
    EXPECT_EQ(seen.mark.tag, 21);
  }

  // The share stream exists: the next start's request answers 1 and the window minimises.
  frame()->OnShareStarted();
  EXPECT_FALSE(frame()->m_bShareFrameArrived.load());
  frame_->Tick(kTimerShareStart);
  EXPECT_EQ(frame()->sys_commands, Commands{});
  send_frames();
  frame_->Tick(kTimerShareStart);
  EXPECT_EQ(frame()->sys_commands, Commands{SC_MINIMIZE});
  EXPECT_EQ(ShareStreamRequests(), 1);

  std::thread sdk_thread([&] { frame()->OnShareStopped(); });
  sdk_thread.join();
  EXPECT_FALSE(frame()->m_bShareFrameArrived.load());
  EXPECT_TRUE(PumpUntil([&] { return BobSawShare("OnStreamRemoved"); }, 20000));
  EXPECT_TRUE(frame()->GetSdk()->GetMeetingIds().shareStreamId.empty());
  Trastor_DestroyCanvas(share);
  Trastor_DestroyCanvas(other);
}

// The whole share through the share window: its start button starts the canvas, the first
// composed frame lets the timer ask for the share stream, the stream's arrival (0xC4B start)
// minimises the main window and bob sees the screen; the toolbar's stop ends the stream, and
// its end (0xC4B stop) stops the share window's share and restores the main window. A stop
// before the first frame asks the SDK for nothing and stops the share window at once.
TEST_F(MainFrameShareRoomTest, ShareThroughTheShareWindow) {
  frame()->ShowShareFrame(true);
  CShareFrame* share = frame()->m_pShareFrame;
  ASSERT_NE(share, nullptr);
  ClickInShareFrame(share, L"btn_startShare");
  EXPECT_TRUE(share->IsSharing());
  EXPECT_FALSE(IsWindowVisible(share->GetHWND()));
  ASSERT_TRUE(PumpUntil([&] { return BobShareFrames().size() >= 3; }, 20000));
  EXPECT_EQ(ShareStreamRequests(), 1);
  ASSERT_TRUE(PumpUntil([&] { return !frame()->sys_commands.empty(); }));
  EXPECT_EQ(frame()->sys_commands, Commands{SC_MINIMIZE});
  EXPECT_TRUE(share->IsSharing());
  // The toolbar's "show the selection" while the main window is minimised.
  EXPECT_TRUE(PumpUntil([&] { return IsIconic(frame_->hwnd()) != FALSE; }));
  frame()->OnShowShareFrame();
  EXPECT_TRUE(IsWindowVisible(share->GetHWND()));
  share->ShowWindow(false, false);

  frame()->sys_commands.clear();
  frame()->OnShareStopped();  // As the toolbar's stop calls it.
  ASSERT_TRUE(PumpUntil([&] { return !share->IsSharing(); }, 20000));
  EXPECT_TRUE(PumpUntil([&] { return !frame()->sys_commands.empty(); }));
  EXPECT_EQ(frame()->sys_commands, Commands{SC_RESTORE});
  EXPECT_TRUE(BobSawShare("OnStreamRemoved"));

  // Shown again, started and stopped before any tick: nothing is asked of the SDK.
  frame()->OnShowShareFrame();
  EXPECT_TRUE(IsWindowVisible(share->GetHWND()));
  frame()->OnShareStarted();
  EXPECT_TRUE(share->IsSharing());
  frame()->OnShareStopped();
  EXPECT_FALSE(share->IsSharing());
  PumpFor(1200);
  EXPECT_EQ(ShareStreamRequests(), 1);

  // A hide request while sharing reports the stop first; the share then ends with the window.
  frame()->ShowShareFrame(true);
  ClickInShareFrame(share, L"btn_startShare");
  ASSERT_TRUE(PumpUntil([&] { return BobShareEvents("OnStreamAdded") == 2; }, 20000));
  EXPECT_EQ(ShareStreamRequests(), 2);
  frame()->ShowShareFrame(false);
  EXPECT_TRUE(PumpUntil([&] { return !share->IsSharing(); }, 20000));
  EXPECT_TRUE(PumpUntil([&] { return BobShareEvents("OnStreamRemoved") == 2; }, 20000));
}

}  // namespace
}  // namespace mainframe_test
