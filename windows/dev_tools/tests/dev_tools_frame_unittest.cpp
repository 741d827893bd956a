#include "windows/dev_tools/dev_tools_frame.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "foundation/app_config.h"
#include "foundation/hub.h"
#include "foundation/log.h"
#include "platform/browser/tests/loop_pump.h"
#include "platform/browser/web_run.h"
#include "shell/browser_control/cef_web_browser_ui.h"
#include "windows/common/tests/dialog_test_support.h"

using namespace DuiLib;
using browser_test::Lib;
using browser_test::PumpAWhile;
using browser_test::PumpUntil;
using dialog_test::Look;

namespace {

// What happened to the window under test, in order; kept outside it because it deletes itself.
std::vector<std::string> g_events;

class ProbeFrame : public CDevToolsFrame {
 public:
  using CDevToolsFrame::ResponseDefaultKeyEvent;

  void OnBrowserClosing(int id) override {
    g_events.push_back("closing");
    CDevToolsFrame::OnBrowserClosing(id);
  }
  void OnBrowserClosed(int id) override {
    g_events.push_back("closed");
    CDevToolsFrame::OnBrowserClosed(id);
  }
  CCefWebBrowserUI* Browser() {
    CControlUI* control = GetPaintManager()->FindControl(L"web_browser");
    return control ? static_cast<CCefWebBrowserUI*>(control->GetInterface(L"CefWebkit")) : nullptr;
  }

 protected:
  LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override {
    if (msg == WM_DESTROY) g_events.push_back("destroy");
    return CDevToolsFrame::HandleMessage(msg, wp, lp);
  }
};

// The hosted page whose developer tools the window shows: a browser of its own that nothing
// watches.
class Page : public Browser_UI_Delegate {
 public:
  Page() : id(Lib()->init_brower(this, "https://page/")) {}
  ~Page() {
    Lib()->close_browser(id);
    PumpUntil([] { return Lib()->check_terminate(); });
  }
  void OnBrowserCreated(int, int) override {}
  void OnBrowserClosing(int) override {}
  void OnBrowserClosed(int) override {}
  void OnSetLoadingState(int, bool, bool, bool) override {}
  void OnLoadErrror(int, const wchar_t*, const wchar_t*) override {}
  void OnNavigateNewUrl(int, const char*) override {}
  bool OnProcessTerminated(int, int) override { return false; }
  void OnJsMessageCallBack(int, browser_msg_head, const char*, int) override {}

  const unsigned id;
};

class LibraryEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    ASSERT_LT(
        Lib()->init_cef(GetModuleHandleW(nullptr), cef_run_settting(), &CxAdapter::Instance()), 0);
  }
  void TearDown() override { Lib()->uninit_cef(); }
};

[[maybe_unused]] ::testing::Environment* const g_environment =
    ::testing::AddGlobalTestEnvironment(new LibraryEnvironment);

std::string ReadLog() {
  std::ifstream in(CLogWrapper::Instance()->GetLogPath().c_str(), std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

LPARAM ScreenPoint(HWND hwnd, int x, int y) {
  POINT pt{x, y};
  ClientToScreen(hwnd, &pt);
  return MAKELPARAM(static_cast<WORD>(static_cast<short>(pt.x)),
                    static_cast<WORD>(static_cast<short>(pt.y)));
}

class DevToolsFrameTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dialog_test::UseLook(Look{0, L"zh_CN"});
    g_events.clear();
    GetAppConfig()->canOpenDevTools = false;  // as the main window does when it opens one
  }

  // Creates and shows the window as the main window does; with `shown`, the page's tools are
  // connected to it (its browser gets its host window inside the window).
  HWND Open(bool shown) {
    frame_ = new ProbeFrame();
    HWND hwnd = frame_->Create(nullptr, L"CDevToolsFrame", 0x96C80000, 0);
    if (hwnd == nullptr) return nullptr;
    frame_->ShowWindow(true);
    dialog_test::LayOut(frame_->GetPaintManager());
    if (shown) {
      EXPECT_TRUE(Lib()->DevTools(page_.id, frame_->GetBrowserId(), hwnd, 0, 40));
      HWND host = reinterpret_cast<HWND>(
          static_cast<uintptr_t>(Lib()->GetHostWnd(frame_->GetBrowserId())));
      EXPECT_TRUE(IsWindow(host));
      EXPECT_EQ(GetParent(host), hwnd);
    }
    return hwnd;
  }

  Page page_;
  ProbeFrame* frame_ = nullptr;  // Deletes itself with its window.
};

}  // namespace

TEST_F(DevToolsFrameTest, LayoutStartsItsOwnBrowser) {
  HWND hwnd = Open(false);
  ASSERT_NE(hwnd, nullptr);
  CPaintManagerUI* pm = frame_->GetPaintManager();
  RECT rc{};
  GetWindowRect(hwnd, &rc);
  EXPECT_EQ(rc.right - rc.left, 1280);
  EXPECT_EQ(rc.bottom - rc.top, 720);
  EXPECT_EQ(pm->GetCaptionRect().bottom, 40);
  for (const wchar_t* name : {L"maxbtn", L"closebtn", L"restorebtn", L"web_browser"}) {
    EXPECT_NE(pm->FindControl(name), nullptr) << std::wstring(name);
  }
  EXPECT_FALSE(pm->FindControl(L"restorebtn")->IsVisible());
  ASSERT_NE(frame_->Browser(), nullptr);
  EXPECT_TRUE(frame_->Browser()->IsVisible());
  EXPECT_NE(frame_->GetBrowserId(), 0u);
  EXPECT_EQ(frame_->GetBrowserId(), frame_->Browser()->GetBrowserId());
  EXPECT_NE(frame_->GetBrowserId(), page_.id);
  EXPECT_NE(Lib()->GetPage(frame_->GetBrowserId()), nullptr) << "the library knows the browser";
  // Closed before its tools were ever shown: the browser does not outlive the window.
  const unsigned id = frame_->GetBrowserId();
  PostMessageW(hwnd, WM_CLOSE, 0, 0);
  ASSERT_TRUE(PumpUntil([&] { return !IsWindow(hwnd); }));
  EXPECT_EQ(Lib()->GetPage(id), nullptr);
  EXPECT_EQ(g_events, (std::vector<std::string>{"closing", "closed", "destroy"}));
  EXPECT_TRUE(GetAppConfig()->canOpenDevTools);
}

TEST_F(DevToolsFrameTest, CloseButtonWaitsForTheBrowserToCloseThenTheWindowGoes) {
  for (bool shown : {true, false}) {
    SCOPED_TRACE(shown ? "tools shown" : "tools never shown");
    g_events.clear();
    GetAppConfig()->canOpenDevTools = false;
    HWND hwnd = Open(shown);
    ASSERT_NE(hwnd, nullptr);
    const unsigned id = frame_->GetBrowserId();
    ASSERT_TRUE(dialog_test::ClickOn(hwnd, frame_->GetPaintManager(), L"closebtn"));
    EXPECT_TRUE(IsWindow(hwnd)) << "not at once";
    EXPECT_TRUE(frame_->Browser()->IsClosing());
    ASSERT_TRUE(PumpUntil([&] { return !IsWindow(hwnd); }));
    // The window went only after the library had reported the browser closed.
    EXPECT_EQ(g_events, (std::vector<std::string>{"closing", "closed", "destroy"}));
    EXPECT_EQ(Lib()->GetPage(id), nullptr);
    EXPECT_NE(Lib()->GetPage(page_.id), nullptr) << "the page lives on";
    EXPECT_TRUE(GetAppConfig()->canOpenDevTools);
  }
}

TEST_F(DevToolsFrameTest, CloseWithNothingPendingDestroysAtOnceAndOtherBrowsersAreIgnored) {
  HWND hwnd = Open(true);
  ASSERT_NE(hwnd, nullptr);
  const unsigned id = frame_->GetBrowserId();
  frame_->OnBrowserClosing(static_cast<int>(page_.id));
  frame_->OnBrowserClosing(static_cast<int>(id + 100));
  EXPECT_FALSE(frame_->Browser()->IsClosing());
  g_events.clear();
  // Escape and Enter do nothing here.
  EXPECT_TRUE(frame_->ResponseDefaultKeyEvent(VK_ESCAPE));
  EXPECT_TRUE(frame_->ResponseDefaultKeyEvent(VK_RETURN));
  for (WPARAM key : {VK_ESCAPE, VK_RETURN}) {
    PostMessageW(hwnd, WM_KEYDOWN, key, 0);
    PostMessageW(hwnd, WM_KEYUP, key, 0xC0000001);
  }
  PumpAWhile();
  ASSERT_TRUE(IsWindow(hwnd));
  EXPECT_TRUE(GetAppConfig()->canOpenDevTools == false);

  // The system menu's close: no close pending, so the base path destroys the window at once; its
  // browser goes with the host window inside it.
  SendMessageW(hwnd, WM_CLOSE, 0, 0);
  EXPECT_FALSE(IsWindow(hwnd));
  EXPECT_TRUE(GetAppConfig()->canOpenDevTools);
  EXPECT_EQ(Lib()->GetPage(id), nullptr);
  PumpAWhile();  // Nothing queued for the window may reach the deleted object.
  EXPECT_EQ(g_events.front(), "destroy");
}

TEST_F(DevToolsFrameTest, HitTestTable) {
  HWND hwnd = Open(true);
  ASSERT_NE(hwnd, nullptr);
  CPaintManagerUI* pm = frame_->GetPaintManager();
  pm->SetSizeBox(RECT{6, 6, 6, 6});  // The layout names none.
  const POINT label = dialog_test::CenterOf(pm, L"title_lab");
  const POINT maxbtn = dialog_test::CenterOf(pm, L"maxbtn");
  const POINT closebtn = dialog_test::CenterOf(pm, L"closebtn");
  struct Case {
    int x, y;
    LRESULT want;
  } cases[] = {
      {2, 2, HTTOPLEFT},        {640, 2, HTTOP},        {1274, 2, HTTOP},
      {1275, 2, HTTOPRIGHT},    {2, 717, HTBOTTOMLEFT}, {640, 717, HTBOTTOM},
      {1278, 717, HTBOTTOMRIGHT}, {2, 360, HTLEFT},     {1278, 360, HTRIGHT},
      {640, 713, HTCLIENT},     {label.x, label.y, HTCAPTION},
      {maxbtn.x, maxbtn.y, HTCLIENT}, {closebtn.x, closebtn.y, HTCLIENT},
      {640, 37, HTCAPTION},     // the separator line
      {640, 40, HTCLIENT},      {640, 300, HTCLIENT},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(SendMessageW(hwnd, WM_NCHITTEST, 0, ScreenPoint(hwnd, c.x, c.y)), c.want)
        << c.x << "," << c.y;
  }

  // Maximised: no sizing codes anywhere.
  ASSERT_TRUE(dialog_test::ClickOn(hwnd, pm, L"maxbtn"));
  PumpAWhile();
  ASSERT_TRUE(IsZoomed(hwnd));
  RECT client{};
  GetClientRect(hwnd, &client);
  const POINT restore = dialog_test::CenterOf(pm, L"restorebtn");
  ASSERT_TRUE(pm->FindControl(L"restorebtn")->IsVisible());
  const POINT label_max = dialog_test::CenterOf(pm, L"title_lab");
  const Case zoomed[] = {
      {2, 2, HTCAPTION},
      {2, client.bottom / 2, HTCLIENT},
      {client.right - 2, client.bottom - 2, HTCLIENT},
      {client.right / 2, client.bottom - 2, HTCLIENT},
      {label_max.x, label_max.y, HTCAPTION},
      {restore.x, restore.y, HTCLIENT},
  };
  for (const Case& c : zoomed) {
    EXPECT_EQ(SendMessageW(hwnd, WM_NCHITTEST, 0, ScreenPoint(hwnd, c.x, c.y)), c.want)
        << "maximised " << c.x << "," << c.y;
  }
  SendMessageW(hwnd, WM_CLOSE, 0, 0);
  EXPECT_FALSE(IsWindow(hwnd));
}

TEST_F(DevToolsFrameTest, BrowserReportsAreLoggedAndNothingElse) {
  HWND hwnd = Open(true);
  ASSERT_NE(hwnd, nullptr);
  frame_->OnSetLoadingState(static_cast<int>(frame_->GetBrowserId()), true, false, true);
  frame_->OnLoadErrror(-105, L"ERR_NAME_NOT_RESOLVED", L"https://gone/");
  frame_->OnNavigateNewUrl(static_cast<int>(frame_->GetBrowserId()), "https://tools/?a=%s");
  frame_->OnNavigateNewUrl(0, nullptr);
  EXPECT_FALSE(frame_->OnProcessTerminated(static_cast<int>(frame_->GetBrowserId()), 2));
  browser_msg_head head{};
  std::strcpy(head.key, "jsEvent");
  frame_->OnJsMessageCallBack(static_cast<int>(frame_->GetBrowserId()), head, "{\"event\":7}", 0);
  const std::string log = ReadLog();
  for (const char* record :
       {"[CDevToolsFrame::OnSetLoadingState:228][ isLoading=1 canGoBack=0 canGoForward=1]",
        "[CDevToolsFrame::OnLoadErrror:234][ nErrorCode=-105]",
        "[CDevToolsFrame::OnNavigateNewUrl:239][ OnNavigateNewUrl=https://tools/?a=%s]",
        "[CDevToolsFrame::OnNavigateNewUrl:239][ OnNavigateNewUrl=]"}) {
    EXPECT_NE(log.find(record), std::string::npos) << record;
  }
  EXPECT_TRUE(IsWindow(hwnd));
  EXPECT_FALSE(frame_->Browser()->IsClosing());
  SendMessageW(hwnd, WM_CLOSE, 0, 0);
}

TEST_F(DevToolsFrameTest, Screenshots) {
  for (const Look& look : {Look{0, L"zh_CN"}, Look{1, L"en_US"}}) {
    dialog_test::UseLook(look);
    HWND hwnd = Open(true);
    ASSERT_NE(hwnd, nullptr);
    PumpAWhile();
    CPaintManagerUI* pm = frame_->GetPaintManager();
    auto shot = dialog_test::Shoot(hwnd, pm);
    ASSERT_TRUE(shot->printed());
    EXPECT_EQ(shot->Pixel(300, 18), look.skin == 1 ? 0xF4F4F4u : 0x252A33u);
    EXPECT_GT(dialog_test::InkOf(*shot, pm, L"closebtn", 0), 10);
    EXPECT_GT(dialog_test::InkOf(*shot, pm, L"maxbtn", 0), 10);
    EXPECT_TRUE(shot->Save(L"dev_tools_" + std::wstring(dialog_test::SkinFolder(look.skin)) +
                           L".png"));
    SendMessageW(hwnd, WM_CLOSE, 0, 0);
    EXPECT_FALSE(IsWindow(hwnd));
  }
}
