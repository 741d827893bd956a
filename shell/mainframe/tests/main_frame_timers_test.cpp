// The main window's timers (driven by sending WM_TIMER), the SDK layer's reports from other
// threads, and the copy-data commands of other processes.

#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "foundation/app_config.h"
#include "foundation/hub.h"
#include "platform/browser/web_run.h"
#include "platform/duilib/UIlib.h"
#include "platform/orvim/common/json.h"
#include "platform/orvim/testing/orvim_library.h"
#include "platform/orvim/testing/room_server_process.h"
#include "platform/orvim/testing/service_client.h"
#include "sdk/interactive/sdk_interactive.h"
#include "sdk/interactive/tests/sdk_test_support.h"
#include "shell/mainframe/main_frame_ids.h"
#include "shell/mainframe/tests/main_frame_test_support.h"
#include "shell/startup/startup.h"
#include "shell/updater/updater.h"
#include "tests/support/test_process.h"

namespace mainframe_test {
namespace {

using Texts = std::vector<std::string>;

[[maybe_unused]] ::testing::Environment* const g_environment =
    ::testing::AddGlobalTestEnvironment(new LibraryEnvironment);

class MainFrameTimersTest : public ::testing::Test {
 protected:
  void SetUp() override {
    StAppConfig* config = GetAppConfig();
    config->update_running = false;
    config->external_id.clear();
  }
  static bool AllOnThread(TestFrame* frame, DWORD thread) {
    std::lock_guard<std::mutex> hold(frame->lock);
    for (DWORD t : frame->work_threads) {
      if (t != thread) return false;
    }
    return !frame->work_threads.empty();
  }
};

// The session ended from outside (a deferred leave notice from an SDK thread): one Login per
// tick of 0xCFF, refused by the room server, until the count reaches 5; then the page gets
// event 27 with reason 0 and the stored origin.
TEST_F(MainFrameTimersTest, LoginRetriesThenTheLeaveNotice) {
  orvim::testing::OrvimLibrary library;
  ASSERT_TRUE(library.ok());
  orvim::testing::RoomServerProcess server;
  ASSERT_TRUE(server.Start());
  ASSERT_TRUE(orvim::testing::ServerControlOk(library, server.address(),
                                              R"({"cmd":"refuse_login","count":20})"));
  FrameScope frame;
  ASSERT_NE(frame->GetSdk(), nullptr);
  frame->m_joinInfo.confid = "room1";
  frame->m_joinInfo.userid = "me";
  frame->m_joinInfo.username = "Me";
  frame->m_joinInfo.cid = "c-me";
  frame->m_joinInfo.sid = "site";
  frame->m_joinInfo.owtServer = server.address();

  std::thread sdk_thread([&] { frame->DeferExitNotify(0, "server", true); });
  sdk_thread.join();
  ASSERT_TRUE(PumpUntil([&] { return frame->defer_exits.load() == 1; }));
  KillTimer(frame.hwnd(), kTimerLoginRetry);  // Only the ticks sent here count.
  EXPECT_EQ(frame->m_nLoginRetry, 1);
  EXPECT_EQ(frame->m_strExitOrigin, "server");
  EXPECT_TRUE(frame.Events(27).empty());

  for (int tick = 1; tick <= 4; ++tick) {
    frame.Tick(kTimerLoginRetry);
    EXPECT_EQ(frame->m_nLoginRetry, tick + 1);
    ASSERT_TRUE(PumpUntil([&] { return frame->join_results.load() >= tick; })) << tick;
    EXPECT_TRUE(frame->m_bAutoLogin);
  }
  frame.Tick(kTimerLoginRetry);
  ASSERT_TRUE(PumpUntil([&] { return frame.Events(27).size() == 1; }));
  EXPECT_EQ(frame.Values(27, "reason"), Texts{"0"});
  EXPECT_EQ(frame.Values(27, "origin"), Texts{"server"});
  EXPECT_EQ(frame->m_nLoginRetry, 0);
  PumpFor(300);
  EXPECT_EQ(frame->join_results.load(), 4) << "four logins, no fifth";
  // The refused logins came back on the SDK's threads; the window did their work on its own.
  EXPECT_TRUE(AllOnThread(frame.get(), GetCurrentThreadId()));
}

// Back in the room after a login retry, the configured camera is opened again (a camera stream
// of the SDK); the group joined at the first login opens nothing.
TEST_F(MainFrameTimersTest, GroupJoinedAfterARetryOpensTheCamera) {
  orvim::testing::OrvimLibrary library;
  ASSERT_TRUE(library.ok());
  orvim::testing::RoomServerProcess server;
  ASSERT_TRUE(server.Start());
  StAppConfig* config = GetAppConfig();
  const std::string old_camera = config->camera_dev_id;
  config->camera_dev_id = "orvim-camera-1";
  config->camera_dev_name = "Orvim Virtual Camera";
  config->use_mode = true;
  FrameScope frame;
  auto camera_streams = [&] {
    orvim::JsonPtr answer = library.ControlJson(R"({"cmd":"journal"})");
    int count = 0;
    const cJSON* entry = nullptr;
    cJSON_ArrayForEach(entry, cJSON_GetObjectItemCaseSensitive(answer.get(), "calls")) {
      if (orvim::GetString(entry, "op") == "CreateCameraStream") ++count;
    }
    return count;
  };
  frame->GetSdk()->Login(sdk_test::JoinAsMe("room1", server.address()));
  ASSERT_TRUE(PumpUntil([&] { return frame->group_joins.load() == 1; }));
  PumpFor(200);
  EXPECT_EQ(camera_streams(), 0);
  EXPECT_EQ(frame.Events(11).size(), 1u);

  std::thread([&] {
    frame->DeferExitNotify(0, "server", true);
    frame->OnJoinGroup("g2", "c2");
  }).join();
  ASSERT_TRUE(PumpUntil([&] { return frame->group_joins.load() == 2; }));
  EXPECT_EQ(frame->m_nLoginRetry, 0);
  EXPECT_TRUE(PumpUntil([&] { return camera_streams() == 1; }));
  config->camera_dev_id = old_camera;
}

// Reconnect supervision: status 1 when it starts, 3 at tick 7 and at the end (tick 14); the
// subscribe side also sends event 37 at both points.
TEST_F(MainFrameTimersTest, ReconnectTicks) {
  for (bool publish : {true, false}) {
    SCOPED_TRACE(publish ? "publish" : "subscribe");
    FrameScope frame;
    std::thread sdk_thread([&] {
      if (publish) {
        frame->IceReConnectPub(true);
      } else {
        frame->IceReConnectSub(true);
      }
    });
    sdk_thread.join();
    ASSERT_TRUE(PumpUntil([&] { return frame.Events(28).size() == 1; }));
    KillTimer(frame.hwnd(), publish ? kTimerPubReconnect : kTimerSubReconnect);  // Ticks: below.
    EXPECT_EQ(frame.Values(28, "status"), Texts{"1"});
    std::atomic<int>& count = publish ? frame->m_nIceReConnectPub : frame->m_nIceReConnectSub;
    EXPECT_EQ(count.load(), 1);
    EXPECT_EQ(publish ? frame->GetIceReConnectPubCount() : frame->GetIceReConnectSubCount(), 1);
    std::vector<int> notice_ticks;
    std::vector<int> event37_ticks;
    for (int tick = 1; tick <= 14; ++tick) {
      const size_t before28 = frame.Events(28).size();
      const size_t before37 = frame.Events(37).size();
      frame.Tick(publish ? kTimerPubReconnect : kTimerSubReconnect);
      PumpFor(5);
      if (frame.Events(28).size() > before28) notice_ticks.push_back(tick);
      if (frame.Events(37).size() > before37) event37_ticks.push_back(tick);
    }
    EXPECT_EQ(notice_ticks, (std::vector<int>{7, 14}));
    EXPECT_EQ(frame.Values(28, "status"), (Texts{"1", "3", "3"}));
    EXPECT_EQ(event37_ticks, publish ? std::vector<int>{} : (std::vector<int>{7, 14}));
    EXPECT_EQ(count.load(), 0);
  }
}

// Reports from several SDK threads at once: every piece of work runs on the UI thread, and
// nothing is lost.
TEST_F(MainFrameTimersTest, ReportsFromManyThreadsWorkOnTheUiThread) {
  FrameScope frame;
  constexpr int kThreads = 4;
  constexpr int kRounds = 50;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < kRounds; ++i) {
        frame->OnJoinRoom(-1, "room" + std::to_string(t));
        frame->OnJoinGroup("g", "c");
        frame->IceReConnectSub(i % 2 == 0);
        frame->DeferExitNotify(0, "origin" + std::to_string(t), true);
        frame->OnPublishSuccess();
        frame->OnPictureStream(i % 2 == 0);
      }
    });
  }
  for (std::thread& t : threads) t.join();
  constexpr int kAll = kThreads * kRounds;
  ASSERT_TRUE(PumpUntil([&] {
    return frame->join_results.load() == kAll && frame->group_joins.load() == kAll &&
           frame->defer_exits.load() == kAll && frame->reconnect_starts.load() == kAll;
  }));
  EXPECT_TRUE(AllOnThread(frame.get(), GetCurrentThreadId()));
  EXPECT_TRUE(frame->m_bAutoLogin);
  EXPECT_EQ(frame->m_strRoomId.rfind("room", 0), 0u);
  EXPECT_EQ(frame->m_strExitOrigin.rfind("origin", 0), 0u);
  ASSERT_TRUE(PumpUntil([&] { return frame.Events(11).size() == static_cast<size_t>(kAll); }));
}

// The updater asks the client to end (0xF009, then 0): the update thread does not end the
// process; the window closes through the close handshake on the UI thread and the thread ends
// with the update flag cleared.
bool g_in_updater_case = false;

TEST_F(MainFrameTimersTest, UpdaterEndsTheClientThroughTheWindow) {
  std::atexit([] {
    if (g_in_updater_case) _exit(3);  // The process was ended under the test's feet.
  });
  const std::wstring folder = tarvo_test::ProgramFolder() + L"updater_ends_client\\";
  CreateDirectoryW(folder.c_str(), nullptr);
  DeleteFileW((folder + L"updater_runs.txt").c_str());
  CopyFileW((tarvo_test::ProgramFolder() + L"updater_standin.exe").c_str(),
            (folder + L"TarvoUpDate.exe").c_str(), FALSE);
  {
    std::ofstream codes((folder + L"updater_codes.txt").c_str());
    codes << "0xF009\n0\n";
  }
  FrameScope frame;
  UpdaterLaunch launch;
  launch.folder = folder;
  launch.server = L"update.example:6010";
  launch.version = L"1.0.0.1";
  launch.title = L"TarvoLive";
  launch.language_id = 0x0409;
  std::atomic<bool>& running = GetAppConfig()->update_running;
  g_in_updater_case = true;
  std::thread update([&] { UpdateCheckThread(launch, running, EndClientForUpdater(frame.get())); });
  const bool closed = PumpUntil([&] { return !IsWindow(frame.hwnd()); }, 60000);
  update.join();
  g_in_updater_case = false;
  EXPECT_TRUE(closed);
  EXPECT_FALSE(running.load());
  EXPECT_TRUE(frame->sdk_gone_at_end);
}

// The SDK layer reports that an update is required (any thread): on the UI thread the live
// session ends, the browser closes (and with it the window) and the updater starts without check
// from the program's folder; the client does not wait for it.
TEST_F(MainFrameTimersTest, UpdateRequiredStartsTheUpdaterAndClosesTheClient) {
  const std::wstring bin = tarvo_test::ProgramFolder();
  const std::wstring updater = bin + L"TarvoUpDate.exe";
  const std::wstring runs = bin + L"updater_runs.txt";
  DeleteFileW(runs.c_str());
  ASSERT_TRUE(CopyFileW((bin + L"updater_standin.exe").c_str(), updater.c_str(), FALSE));
  FrameScope frame;
  std::thread([&] { frame->StartUpdater(false); }).join();
  EXPECT_TRUE(PumpUntil([&] { return !IsWindow(frame.hwnd()); }, 30000));
  std::vector<std::string> lines;
  for (int i = 0; i < 1000 && lines.empty(); ++i, Sleep(10)) {
    std::ifstream in(runs.c_str());
    for (std::string line; std::getline(in, line);) lines.push_back(line);
  }
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].rfind("server=update.tarvolive.example:6010 dev=TarvoZentavo.Windows version=", 0),
            0u);
  EXPECT_EQ(lines[0].find("check="), std::string::npos);
  for (int i = 0; i < 100 && !DeleteFileW(updater.c_str()); ++i) Sleep(50);
  DeleteFileW(runs.c_str());
}

// WM_COPYDATA from another process.
class CopyDataTest : public MainFrameTimersTest {
 protected:
  // Runs the sender against |hwnd| and keeps the loop going until it has ended.
  static DWORD Send(HWND hwnd, WPARAM command, const std::wstring& mode_and_text) {
    const std::wstring args = std::to_wstring(reinterpret_cast<uintptr_t>(hwnd)) + L" " +
                              std::to_wstring(command) + L" " + mode_and_text;
    HANDLE child = nullptr;
    for (int attempt = 0; attempt < 3 && child == nullptr; ++attempt) {
      child = tarvo_test::StartProgram(tarvo_test::ProgramBeside(L"copydata_sender.exe"), args);
      if (child == nullptr) Sleep(200);
    }
    if (child == nullptr) return 0xDEAD;
    DWORD code = 0xDEAD;
    PumpUntil([&] { return WaitForSingleObject(child, 0) == WAIT_OBJECT_0; }, 30000);
    GetExitCodeProcess(child, &code);
    CloseHandle(child);
    PumpFor(10);
    return code;
  }
};

TEST_F(CopyDataTest, SecondInstanceCommands) {
  const std::string link = StartLink(R"({"liveId":"L7","passCode":"P7"})");
  FrameScope frame;
  EXPECT_EQ(Send(frame.hwnd(), 1000, L"text -web_debug"), 0u);
  EXPECT_EQ(Send(frame.hwnd(), 1000, L"text -web_nodebug"), 0u);
  EXPECT_EQ(frame.Values(29, "show"), (Texts{"1", "0"}));

  // A login text goes to the page at once when the page has loaded.
  EXPECT_EQ(Send(frame.hwnd(), 1000, L"text " + std::wstring(link.begin(), link.end())), 0u);
  EXPECT_EQ(frame.Values(15, "liveId"), Texts{"L7"});

  // Other command numbers are not ours; text of another number changes nothing.
  for (WPARAM command : {999u, 1006u, 1003u}) {
    EXPECT_EQ(Send(frame.hwnd(), command, L"text -web_debug"), 0u);
  }
  EXPECT_EQ(frame.Events(29).size(), 2u);

  // A short text raises the window.
  ShowWindow(frame.hwnd(), SW_MINIMIZE);
  PumpFor(20);
  ASSERT_TRUE(IsIconic(frame.hwnd()));
  EXPECT_EQ(Send(frame.hwnd(), 1000, L"text abc"), 0u);
  ASSERT_TRUE(PumpUntil([&] { return !IsIconic(frame.hwnd()); }));
  EXPECT_EQ(frame.Events(15).size(), 1u);
}

TEST_F(CopyDataTest, TextWhilePendingIsKeptForTheLoad) {
  const std::string link = StartLink(R"({"liveId":"L8"})");
  FrameScope frame(std::string(), false);
  EXPECT_EQ(Send(frame.hwnd(), 1000, L"text " + std::wstring(link.begin(), link.end())), 0u);
  ASSERT_TRUE(PumpUntil([&] { return !frame->m_bPagePending; }));
  EXPECT_EQ(frame.Values(15, "liveId"), Texts{"L8"});
  EXPECT_TRUE(frame->m_strStartupCommand.empty());
}

// Null, empty, oversized and binary data are harmless: the window lives on, nothing reaches the
// page, and an oversized text is cut to the buffer.
TEST_F(CopyDataTest, OddDataIsHarmless) {
  FrameScope frame;
  frame->m_bAutoLogin = false;
  // No record at all (Windows does not carry that across processes: sent here from within).
  EXPECT_EQ(SendMessageW(frame.hwnd(), WM_COPYDATA, 1000, 0), 0);
  COPYDATASTRUCT no_data = {0, 16, nullptr};
  SendMessageW(frame.hwnd(), WM_COPYDATA, 1000, reinterpret_cast<LPARAM>(&no_data));
  for (const wchar_t* mode : {L"empty", L"big", L"binary"}) {
    EXPECT_EQ(Send(frame.hwnd(), 1000, mode), 0u) << mode;
    EXPECT_TRUE(IsWindow(frame.hwnd())) << mode;
  }
  EXPECT_TRUE(frame.Events(15).empty());
  EXPECT_TRUE(frame.Events(29).empty());
  // Kept while pending: at most 2047 bytes of the 100 KB.
  frame->m_bAutoLogin = true;
  frame->m_bPagePending = true;
  EXPECT_EQ(Send(frame.hwnd(), 1000, L"big"), 0u);
  EXPECT_EQ(frame->m_strStartupCommand, std::string(2047, 'A'));
  frame->m_strStartupCommand.clear();
}

}  // namespace
}  // namespace mainframe_test
