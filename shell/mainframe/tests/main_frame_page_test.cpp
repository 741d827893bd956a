// The main window in process with the browser library's scriptable page: the page address, the
// start screen, load errors, start links, the live look, hit test, zoom, closing, and the
// processor-usage warning.

#include <windows.h>

#include <shlobj.h>

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <thread>
#include <vector>

#include "foundation/app_config.h"
#include "foundation/hub.h"
#include "platform/browser/web_run.h"
#include "platform/duilib/UIlib.h"
#include "shell/mainframe/main_frame_ids.h"
#include "shell/mainframe/tests/main_frame_test_support.h"

namespace mainframe_test {
namespace {

using Texts = std::vector<std::string>;

[[maybe_unused]] ::testing::Environment* const g_environment =
    ::testing::AddGlobalTestEnvironment(new LibraryEnvironment);

class MainFramePageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    StAppConfig* config = GetAppConfig();
    config->update_running = false;
    config->external_id.clear();
    config->remarks.clear();
    config->external_data = false;
  }
};

const char kLinkJson[] =
    R"({"liveId":"L1","serverAddress":"meet.example","guestId":"G1","passCode":"P1",)"
    R"("nickName":"Nick","thirdPartyId":"T1","remarksInfo":"R1","autoLogin":true,"type":1})";

// The address loaded first: the default, the configuration's "pageurl", a start link's server
// (not with "test_use"), always with "?localDoc=true".
TEST_F(MainFramePageTest, FirstAddressLoaded) {
  const std::string link = StartLink(kLinkJson);
  const struct {
    const char* name;
    std::vector<std::string> config;
    std::string command;
    std::string loaded;
  } cases[] = {
      {"default", {}, "", DefaultPageUrl() + "?localDoc=true"},
      {"pageurl", {"pageurl=https://page.example/cla/pc"}, "",
       "https://page.example/cla/pc?localDoc=true"},
      {"start link", {}, link, "meet.example/cla/pc?localDoc=true"},
      {"start link, test_use", {"test_use=1"}, link, DefaultPageUrl() + "?localDoc=true"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ConfigFileScope config(c.config);
    FrameScope frame(c.command);
    ASSERT_NE(frame.Page(), nullptr);
    EXPECT_EQ(frame.Page()->history(), Texts{c.loaded});
  }
}

// The start screen stays while the page loads and while the update check runs; then the page
// (tab item 1) shows.
TEST_F(MainFramePageTest, StartScreenGivesWayAfterTheLoadAndTheUpdateCheck) {
  GetAppConfig()->update_running = true;
  FrameScope frame;
  ASSERT_NE(frame->m_pTabLayout, nullptr);
  frame.Tick(kTimerPageReady);
  EXPECT_EQ(frame->m_pTabLayout->GetCurSel(), 0) << "the update check still runs";
  GetAppConfig()->update_running = false;
  frame->m_bPagePending = true;
  frame.Tick(kTimerPageReady);
  EXPECT_EQ(frame->m_pTabLayout->GetCurSel(), 0) << "the page has not loaded";
  frame->m_bPagePending = false;
  frame.Tick(kTimerPageReady);
  EXPECT_EQ(frame->m_pTabLayout->GetCurSel(), 1);
  auto* logo = dynamic_cast<DuiLib::CAnimationUI*>(frame->m_PaintManager.FindControl(L"logo_lab"));
  ASSERT_NE(logo, nullptr);
  EXPECT_FALSE(logo->IsPlaying());
}

// A load error keeps the page pending; timer 0xC4D reloads it, and the start link's login
// parameters go out only after a load that ends with every flag false.
TEST_F(MainFramePageTest, LoadErrorReloadsAndLoginParametersFollowACleanLoad) {
  FrameScope frame(StartLink(kLinkJson), false);
  TestFrame* f = frame.get();
  // The first load is queued, not run: it fails.
  f->OnLoadErrror(-105, L"名称未解析 \xD800", L"https://live.example/cla/pc");
  KillTimer(frame.hwnd(), kTimerLoadRetry);  // Its tick is sent below.
  EXPECT_TRUE(f->m_bLoadError);
  PumpFor(50);
  EXPECT_TRUE(f->m_bPagePending);
  EXPECT_TRUE(frame.Events(15).empty());
  f->OnSetLoadingState(1, false, true, false);  // History: not a clean first load.
  EXPECT_TRUE(f->m_bPagePending);

  frame.Tick(kTimerLoadRetry);
  EXPECT_FALSE(f->m_bLoadError);
  ASSERT_TRUE(PumpUntil([&] { return !f->m_bPagePending; }));
  EXPECT_EQ(frame.Page()->reload_count(), 1);
  EXPECT_EQ(frame.Values(15, "liveId"), Texts{"L1"});
  EXPECT_EQ(frame.Values(15, "pwd"), Texts{"P1"});
  EXPECT_EQ(frame.Values(15, "autoLogin"), Texts{"true"});
  EXPECT_TRUE(f->m_strStartupCommand.empty());
  EXPECT_EQ(GetAppConfig()->external_id, "T1");
  EXPECT_TRUE(GetAppConfig()->external_data);
}

// Slot 8 converts any text without throwing, also texts no code page can hold.
TEST_F(MainFramePageTest, LoadErrorTextsNeverThrow) {
  FrameScope frame;
  EXPECT_NO_THROW(frame->OnLoadErrror(-2, L"\x9519\x8BEF \xDC00\xD800 \x20AC", L"\xD83D"));
  EXPECT_NO_THROW(frame->OnLoadErrror(-2, nullptr, nullptr));
  EXPECT_FALSE(frame->m_bLoadError) << "the page had loaded: nothing to retry";
}

// Start links: a good one gives event 15 with its values, a bad one (no Base64 of a JSON
// object) is refused and sends nothing.
TEST_F(MainFramePageTest, StartLinkTable) {
  FrameScope frame;
  const struct {
    const char* name;
    std::string link;
    bool sent;
  } cases[] = {
      {"good", StartLink(kLinkJson), true},
      {"bad Base64", "tarvo://!!!!####", false},
      {"not JSON", StartLink("liveId=L1&pwd=P1"), false},
      {"JSON, not an object", StartLink("[1,2,3]"), false},
      {"no scheme", StartLink(R"({"liveId":"L2"})").substr(8), true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const size_t before = frame.Events(15).size();
    frame->NotifyWebLogin(c.link, false);
    PumpFor(10);
    EXPECT_EQ(frame.Events(15).size(), before + (c.sent ? 1 : 0));
  }
  EXPECT_EQ(frame.Values(15, "liveId"), (Texts{"L1", "L2"}));
  EXPECT_EQ(frame.Values(15, "guestId"), (Texts{"G1", ""}));
  EXPECT_EQ(frame.Values(15, "autoLogin"), (Texts{"true", "false"}));
}

// The live look: sized, centred and maximised once; later calls only switch the title bars.
TEST_F(MainFramePageTest, LiveModeTwiceSizesAndMaximisesOnce) {
  FrameScope frame;
  DuiLib::CControlUI* login = frame->m_PaintManager.FindControl(L"login_title_layout");
  DuiLib::CControlUI* live = frame->m_PaintManager.FindControl(L"live_title_layout");
  ASSERT_NE(login, nullptr);
  ASSERT_NE(live, nullptr);
  frame.Tick(kTimerPageReady);  // The page shows.
  frame->ShowLiveMode(true);
  KillTimer(frame.hwnd(), kTimerLiveStart);  // Its tick is sent below, whatever the load.
  PumpFor(20);
  EXPECT_TRUE(frame->m_bLiveMode);
  EXPECT_TRUE(IsZoomed(frame.hwnd()));
  EXPECT_FALSE(login->IsVisible());
  EXPECT_TRUE(live->IsVisible());
  EXPECT_EQ(frame->m_PaintManager.GetMinInfo().cx, 1208);
  EXPECT_EQ(frame->m_PaintManager.GetMinInfo().cy, 720);
  HWND host = frame->GetBrowser()->GetHostWnd();
  ASSERT_NE(host, nullptr);
  RECT hidden;
  GetClientRect(host, &hidden);
  EXPECT_EQ(hidden.right, 1) << "the page waits for timer 0xD00";
  {
    // The tick also runs the device test: skipped.
    DialogScript script({ClickInDialog(L"CMaskLayerFrame", {L"skip_check_btn"})});
    frame.Tick(kTimerLiveStart);
    EXPECT_TRUE(script.done());
  }
  RECT shown;
  GetClientRect(host, &shown);
  EXPECT_GT(shown.right, 100);

  ShowWindow(frame.hwnd(), SW_RESTORE);
  PumpFor(20);
  ASSERT_FALSE(IsZoomed(frame.hwnd()));
  RECT before;
  GetWindowRect(frame.hwnd(), &before);
  frame->ShowLiveMode(false);
  EXPECT_TRUE(login->IsVisible());
  frame->ShowLiveMode(true);
  KillTimer(frame.hwnd(), kTimerLiveStart);  // Its device test is not wanted here.
  PumpFor(20);
  EXPECT_FALSE(IsZoomed(frame.hwnd()));
  RECT after;
  GetWindowRect(frame.hwnd(), &after);
  EXPECT_TRUE(EqualRect(&before, &after));
  EXPECT_TRUE(live->IsVisible());
}

// The hit test: size edges (not while maximised), the caption except over buttons, the client.
TEST_F(MainFramePageTest, HitTestTable) {
  FrameScope frame;
  HWND hwnd = frame.hwnd();
  auto hit = [&](int x, int y) {
    POINT pt{x, y};
    ClientToScreen(hwnd, &pt);
    return static_cast<int>(SendMessageW(hwnd, WM_NCHITTEST, 0, MAKELPARAM(pt.x, pt.y)));
  };
  RECT rc;
  GetClientRect(hwnd, &rc);
  // The login look: a 40-pixel caption, no size box.
  EXPECT_EQ(hit(rc.right - 20, 20), HTCLIENT) << "l_closebtn";
  EXPECT_EQ(hit(rc.right / 2, 20), HTCAPTION);
  EXPECT_EQ(hit(rc.right / 2, 200), HTCLIENT);

  // The live look, restored: a 30-pixel caption and a size box of 3.
  frame->ShowLiveMode(true);
  KillTimer(frame.hwnd(), kTimerLiveStart);  // Its device test is not wanted here.
  ShowWindow(hwnd, SW_RESTORE);
  PumpFor(20);
  GetClientRect(hwnd, &rc);
  const int w = rc.right;
  const int h = rc.bottom;
  const struct {
    int x, y, expected;
  } cases[] = {
      {1, 1, HTTOPLEFT},        {w / 2, 1, HTTOP},          {w - 1, 1, HTTOPRIGHT},
      {1, h - 1, HTBOTTOMLEFT}, {w / 2, h - 1, HTBOTTOM},   {w - 1, h - 1, HTBOTTOMRIGHT},
      {1, h / 2, HTLEFT},       {w - 1, h / 2, HTRIGHT},    {w / 2, 15, HTCAPTION},
      {w - 16, 15, HTCLIENT},   {w / 2, 100, HTCLIENT},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(hit(c.x, c.y), c.expected) << c.x << "," << c.y;
  }
  // Maximised: no size edges, and a double click on the caption is the window's own.
  ShowWindow(hwnd, SW_MAXIMIZE);
  PumpFor(20);
  EXPECT_EQ(hit(w / 2, 1), HTCAPTION);
}

// Zoom for the DPI read when it changes: nothing at 96, 1.2 at 120, about 3.04 at 216.
TEST_F(MainFramePageTest, ZoomFollowsTheMonitorDpi) {
  FrameScope frame;
  const struct {
    double dpi;
    double zoom;  // 0: no zoom call
  } cases[] = {{96, 0}, {120, 1.2}, {144, 1.44}, {216, 3.0436}};
  for (const auto& c : cases) {
    frame->zooms.clear();
    frame->dpi = c.dpi;
    SendMessageW(frame.hwnd(), 0x02E0 /* WM_DPICHANGED */, MAKEWPARAM(c.dpi, c.dpi), 0);
    if (c.zoom == 0) {
      EXPECT_TRUE(frame->zooms.empty()) << c.dpi;
    } else {
      ASSERT_EQ(frame->zooms.size(), 1u) << c.dpi;
      EXPECT_NEAR(frame->zooms[0], c.zoom, 0.001) << c.dpi;
      EXPECT_NEAR(frame.Page()->zoom(), c.zoom, 0.001) << c.dpi;
    }
  }
}

// WM_CLOSE while the browser lives and is not closing keeps the window; the close handshake of
// "l_closebtn" ends it.
TEST_F(MainFramePageTest, CloseWaitsForTheBrowser) {
  FrameScope frame;
  SendMessageW(frame.hwnd(), WM_CLOSE, 0, 0);
  PumpFor(50);
  ASSERT_TRUE(IsWindow(frame.hwnd()));
  frame->GetBrowser()->CloseBrowser();
  EXPECT_TRUE(PumpUntil([&] { return !IsWindow(frame.hwnd()); }));
  EXPECT_TRUE(frame->sdk_gone_at_end);
}

// The SDK layer and the page events end with the window, before its controls: at the window's
// last message the layer is gone and no event is forwarded any more, whatever other threads
// send meanwhile.
TEST_F(MainFramePageTest, EventsStopBeforeTheWindowGoes) {
  FrameScope frame;
  ASSERT_NE(frame->GetSdk(), nullptr);
  std::atomic<bool> stop{false};
  std::vector<std::thread> senders;
  for (int i = 0; i < 3; ++i) {
    senders.emplace_back([&] {
      while (!stop) CJsEventSender::Instance()->NotifyWebLog("sdk thread");
    });
  }
  Sleep(20);
  DestroyWindow(frame.hwnd());
  stop = true;
  for (std::thread& t : senders) t.join();
  EXPECT_TRUE(frame->sdk_gone_at_end);
  EXPECT_FALSE(frame->forwarding_at_end);
  EXPECT_EQ(frame->GetSdk(), nullptr);
}

// The processor warning needs a second sample above 80, taken by its own timer 500 ms after the
// first (the loop never waits).
TEST_F(MainFramePageTest, ProcessorUsageWarning) {
  FrameScope frame;
  KillTimer(frame.hwnd(), kTimerCpuUsage);  // Only the ticks sent here take samples.
  frame->cpu_samples = {95, 80, 95, 81};
  frame.Tick(kTimerCpuUsage);
  EXPECT_TRUE(frame.Events(39).empty());
  frame.Tick(kTimerCpuSecondSample);
  EXPECT_TRUE(frame.Events(39).empty()) << "exactly 80 sends nothing";
  frame.Tick(kTimerCpuUsage);
  EXPECT_TRUE(frame.Events(39).empty());
  frame.Tick(kTimerCpuSecondSample);
  EXPECT_EQ(frame.Values(39, "usage"), Texts{"81"});
}

// 0x14E1 from outside: back to the start state: the live session ends (the page's render process
// hears "live_share_stop"), the login look at 400 x 640 (its minimum too), the page loaded again.
// A caption double click maximises only in the live look.
TEST_F(MainFramePageTest, BackToStartAndCaptionDoubleClicks) {
  FrameScope frame;
  HWND hwnd = frame.hwnd();
  frame.Tick(kTimerPageReady);
  SendMessageW(hwnd, WM_NCLBUTTONDBLCLK, HTCAPTION, 0);
  EXPECT_FALSE(IsZoomed(hwnd)) << "the login look never maximises";
  frame->ShowLiveMode(true);
  KillTimer(frame.hwnd(), kTimerLiveStart);  // Its device test is not wanted here.
  ShowWindow(hwnd, SW_RESTORE);
  PumpFor(20);
  SendMessageW(hwnd, WM_NCLBUTTONDBLCLK, HTCAPTION, 0);
  PumpFor(20);
  EXPECT_TRUE(IsZoomed(hwnd)) << "the live look maximises";
  ShowWindow(hwnd, SW_RESTORE);
  PumpFor(20);

  SendMessageW(hwnd, kMsgBackToStart, 0, 0);
  ASSERT_TRUE(PumpUntil([&] { return frame.Page()->history().size() == 2; }));
  EXPECT_FALSE(frame->m_bLiveMode);
  const auto& messages = frame.Page()->render_messages();
  ASSERT_FALSE(messages.empty());
  EXPECT_EQ(messages.back().name, "live_share_stop");
  EXPECT_EQ(messages.back().value, "live_begin");
  EXPECT_EQ(messages.back().number, 10);
  RECT rc;
  GetWindowRect(hwnd, &rc);
  EXPECT_EQ(rc.right - rc.left, 400);
  EXPECT_EQ(rc.bottom - rc.top, 640);
  EXPECT_EQ(frame->m_PaintManager.GetMinInfo().cx, 400);
  EXPECT_EQ(frame->m_PaintManager.GetMinInfo().cy, 640);
  EXPECT_TRUE(frame->m_PaintManager.FindControl(L"login_title_layout")->IsVisible());
  EXPECT_EQ(frame->GetBrowser()->GetPadding().bottom, 10);
  // The live look is entered anew afterwards.
  frame->ShowLiveMode(true);
  KillTimer(frame.hwnd(), kTimerLiveStart);  // Its device test is not wanted here.
  PumpFor(20);
  EXPECT_TRUE(IsZoomed(hwnd));
}

// Log housekeeping: files in "<roaming>\<folder>\logs" older than 30 days go; younger files and
// folders stay.
TEST_F(MainFramePageTest, PruneLogsDeletesFilesOlderThanThirtyDays) {
  char roaming[MAX_PATH] = {};
  ASSERT_TRUE(SHGetSpecialFolderPathA(nullptr, roaming, CSIDL_APPDATA, TRUE));
  const std::string logs = std::string(roaming) + "\\TarvoPruneCase\\logs\\";
  CreateDirectoryA((std::string(roaming) + "\\TarvoPruneCase").c_str(), nullptr);
  CreateDirectoryA(logs.c_str(), nullptr);
  CreateDirectoryA((logs + "kept_folder").c_str(), nullptr);
  auto make = [&](const char* name, int days_old) {
    HANDLE file = CreateFileA((logs + name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    ULARGE_INTEGER when;
    when.LowPart = now.dwLowDateTime;
    when.HighPart = now.dwHighDateTime;
    when.QuadPart -= static_cast<unsigned long long>(days_old) * 86400ULL * 10000000ULL;
    FILETIME created{when.LowPart, when.HighPart};
    // All three times: Wine reports a file's modification time as its creation time.
    SetFileTime(file, &created, &created, &created);
    CloseHandle(file);
  };
  make("old.zlog", 31);
  make("young.zlog", 29);
  CMainFrame::PruneLogs("TarvoPruneCase");
  EXPECT_EQ(GetFileAttributesA((logs + "old.zlog").c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_NE(GetFileAttributesA((logs + "young.zlog").c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_NE(GetFileAttributesA((logs + "kept_folder").c_str()), INVALID_FILE_ATTRIBUTES);
  DeleteFileA((logs + "young.zlog").c_str());
  RemoveDirectoryA((logs + "kept_folder").c_str());
}

TEST_F(MainFramePageTest, StartupCommandNeedsTenCharacters) {
  TestFrame frame;
  frame.SetStartupCommand("123456789");
  EXPECT_TRUE(frame.m_strStartupCommand.empty());
  frame.SetStartupCommand("1234567890");
  EXPECT_EQ(frame.m_strStartupCommand, "1234567890");
}

}  // namespace
}  // namespace mainframe_test
