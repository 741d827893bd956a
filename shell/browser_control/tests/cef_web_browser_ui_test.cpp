#include <windows.h>

#include <gtest/gtest.h>

#include <cjson/cJSON.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "foundation/hub.h"
#include "platform/browser/web_run.h"
#include "platform/browser/tests/loop_pump.h"
#include "shell/browser_control/cef_web_browser_ui.h"
#include "shell/jsevents/js_event_sender.h"

namespace {

using browser_test::Lib;
using browser_test::PumpAWhile;
using browser_test::PumpUntil;

RECT ChildRect(HWND child) {
  RECT rc;
  GetWindowRect(child, &rc);
  MapWindowPoints(nullptr, GetParent(child), reinterpret_cast<POINT*>(&rc), 2);
  return rc;
}

// A window that owns one browser control and plays the owner's part: it is the control's
// delegate and follows the close handshake (a WM_CLOSE while the control is closing closes the
// host window instead; the browser's end closes the window).
class BrowserWindow : public Browser_UI_Delegate {
 public:
  BrowserWindow() {
    static bool registered = false;
    if (!registered) {
      WNDCLASSW wc = {};
      wc.lpfnWndProc = &Proc;
      wc.hInstance = GetModuleHandleW(nullptr);
      wc.lpszClassName = L"BrowserControlTestWindow";
      RegisterClassW(&wc);
      registered = true;
    }
    hwnd = CreateWindowExW(0, L"BrowserControlTestWindow", L"test", WS_OVERLAPPEDWINDOW, 0, 0, 800,
                           600, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    manager.Init(hwnd);
    control = new CCefWebBrowserUI(this);
    manager.AttachDialog(control);  // The manager owns the control.
    control->SetPos(RECT{10, 40, 410, 340});
  }
  ~BrowserWindow() {
    if (IsWindow(hwnd)) DestroyWindow(hwnd);
  }

  CWebPage* Page() { return Lib()->GetPage(control->GetBrowserId()); }

  void OnBrowserCreated(int, int) override { control->SetBrowserCreated(true); }
  void OnBrowserClosing(int id) override {
    if (static_cast<unsigned>(id) == control->GetBrowserId()) control->SetClosing(true);
    if (on_closing) on_closing();
  }
  void OnBrowserClosed(int) override {
    may_end = Lib()->check_terminate();
    if (control->IsClosed()) PostMessageW(hwnd, WM_CLOSE, 0, 0);
  }
  void OnSetLoadingState(int, bool, bool, bool) override {}
  void OnLoadErrror(int, const wchar_t*, const wchar_t*) override {}
  void OnNavigateNewUrl(int, const char*) override {}
  bool OnProcessTerminated(int, int) override { return false; }
  void OnJsMessageCallBack(int id, browser_msg_head head, const char* value, int) override {
    messages.push_back({id, head.key, value, Lib()->is_ui_thread()});
  }

  struct Message {
    int id;
    std::string key;
    std::string value;
    bool on_ui_thread;
  };
  std::vector<Message> messages;
  HWND hwnd = nullptr;
  DuiLib::CPaintManagerUI manager;
  CCefWebBrowserUI* control = nullptr;
  bool may_end = false;
  bool destroyed = false;
  std::function<void()> on_closing;  // runs after the control has been told

 private:
  static LRESULT CALLBACK Proc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
    auto* self = reinterpret_cast<BrowserWindow*>(GetWindowLongPtrW(wnd, GWLP_USERDATA));
    if (self != nullptr && msg == WM_CLOSE && self->control->IsClosing()) {
      self->control->CloseHostWindow();
      return 0;
    }
    if (self != nullptr && msg == WM_DESTROY) self->destroyed = true;
    return DefWindowProcW(wnd, msg, wp, lp);
  }
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

TEST(CCefWebBrowserUITest, FirstLoadCreatesTheBrowserLaterLoadsNavigate) {
  BrowserWindow window;
  CCefWebBrowserUI* control = window.control;
  control->LoadUrl("");
  EXPECT_EQ(control->GetBrowserId(), 0u);

  control->LoadUrl("https://login/");
  ASSERT_NE(control->GetBrowserId(), 0u);
  EXPECT_EQ(control->GetHostWnd(), nullptr) << "not created yet";
  const unsigned id = control->GetBrowserId();
  control->LoadUrl("https://early/");  // Before creation: kept, not navigated.
  EXPECT_EQ(control->GetBrowserId(), id);
  ASSERT_TRUE(PumpUntil([&] { return control->IsUsable(); }));

  HWND host = control->GetHostWnd();
  ASSERT_TRUE(IsWindow(host));
  EXPECT_EQ(GetParent(host), window.hwnd);
  control->LoadUrl("https://room/");
  EXPECT_EQ(window.Page()->history(),
            (std::vector<std::string>{"https://login/", "https://room/"}));
  EXPECT_EQ(control->GetUrl(), "https://room/");
}

TEST(CCefWebBrowserUITest, HostFollowsTheRectangleAndParksWhenHidden) {
  BrowserWindow window;
  CCefWebBrowserUI* control = window.control;
  control->LoadUrl("https://page/");
  ASSERT_TRUE(PumpUntil([&] { return control->IsUsable(); }));
  HWND host = control->GetHostWnd();
  auto expect_rect = [&](RECT want) {
    const RECT got = ChildRect(host);
    EXPECT_EQ(got.left, want.left);
    EXPECT_EQ(got.top, want.top);
    EXPECT_EQ(got.right, want.right);
    EXPECT_EQ(got.bottom, want.bottom);
  };
  expect_rect(RECT{10, 40, 410, 340});
  control->SetPos(RECT{0, 50, 300, 250});
  expect_rect(RECT{0, 50, 300, 250});

  control->ShowBrowser(false);
  expect_rect(RECT{0, 50, 1, 51});
  control->SetPos(RECT{5, 60, 305, 260});  // Stays parked while hidden.
  expect_rect(RECT{0, 50, 1, 51});
  control->SetBrowserCreated(true);  // Creation reported again does not uncover it.
  expect_rect(RECT{5, 60, 6, 61});
  control->ShowBrowser(true);
  expect_rect(RECT{5, 60, 305, 260});

  ShowWindow(window.hwnd, SW_SHOWNA);
  control->SetVisible(false);
  EXPECT_FALSE(IsWindowVisible(host));
  control->SetVisible(true);
  EXPECT_TRUE(IsWindowVisible(host));
  control->SetInternVisible(false);
  EXPECT_FALSE(IsWindowVisible(host));
  control->SetInternVisible(true);
  EXPECT_TRUE(IsWindowVisible(host));
  control->SetEnabled(false);
  EXPECT_FALSE(IsWindowEnabled(host));
  control->SetEnabled(true);
  EXPECT_TRUE(IsWindowEnabled(host));
  ShowWindow(window.hwnd, SW_HIDE);
}

TEST(CCefWebBrowserUITest, ScriptsAreDroppedBeforeCreationAndAfterClosing) {
  BrowserWindow window;
  CCefWebBrowserUI* control = window.control;
  control->ExecJs("nativeInvokeJS(0); ");  // No browser at all.
  control->LoadUrl("https://page/");
  control->ExecJs("nativeInvokeJS(1); ");  // Requested, not created.
  ASSERT_TRUE(PumpUntil([&] { return control->IsUsable(); }));
  control->ExecJs("nativeInvokeJS(2); ");
  control->Reload();
  control->SendMouseEvent(1, 1);
  PumpAWhile();
  CWebPage* page = window.Page();
  EXPECT_EQ(page->invocations(), std::vector<std::string>{"2"});
  EXPECT_EQ(page->reload_count(), 1);

  // The page goes away with its browser; what it receives from now on is noted here.
  std::vector<std::string> late;
  page->set_invoke_listener([&late](const std::string& json) { late.push_back(json); });
  control->CloseBrowser();
  EXPECT_TRUE(control->IsClosing());
  control->ExecJs("nativeInvokeJS(3); ");
  control->SendMouseEvent(2, 2);
  EXPECT_EQ(page->clicks().size(), 1u);

  // The handshake runs to its end: the window closes once the browser has closed.
  ASSERT_TRUE(PumpUntil([&] { return window.destroyed; }));
  EXPECT_TRUE(control->IsClosed());
  EXPECT_FALSE(control->IsClosing());
  EXPECT_TRUE(window.may_end);
  EXPECT_EQ(control->GetHostWnd(), nullptr);
  EXPECT_TRUE(late.empty());
}

// Another thread sends scripts without pause while the control closes (as page events do).
// Once the library has reported the browser closing, no script may reach the page: each one
// was either queued before the closing began or dropped by the control.
TEST(CCefWebBrowserUITest, ScriptsFromAnotherThreadNeverReachAClosingPage) {
  constexpr int kRounds = 50;
  constexpr long kMostInFlight = 64;  // keeps the UI thread's queue short
  int late = 0;
  long delivered = 0;
  for (int round = 0; round < kRounds; ++round) {
    BrowserWindow window;
    CCefWebBrowserUI* control = window.control;
    control->LoadUrl("https://page/");
    ASSERT_TRUE(PumpUntil([&] { return control->IsUsable(); }));
    bool closing_reported = false;  // UI thread
    std::atomic<long> received{0};
    window.on_closing = [&] { closing_reported = true; };
    window.Page()->set_invoke_listener([&](const std::string&) {
      ++received;
      if (closing_reported) ++late;
    });
    std::atomic<bool> stop{false};
    std::thread sender([&] {
      long queued = 0;
      while (!stop.load()) {
        if (queued - received.load() >= kMostInFlight) {
          SwitchToThread();
          continue;
        }
        const bool usable = control->IsUsable();
        control->ExecJs("nativeInvokeJS(1); ");
        if (usable) ++queued;
      }
    });
    PumpAWhile();
    control->CloseBrowser();
    const bool closed = PumpUntil([&] { return control->IsClosed(); });
    PumpAWhile();
    stop = true;
    sender.join();
    ASSERT_TRUE(closed) << round;
    ASSERT_TRUE(PumpUntil([&] { return window.destroyed; })) << round;
    delivered += received.load();
  }
  EXPECT_GT(delivered, kRounds);  // the sender was running during the rounds
  EXPECT_EQ(late, 0);
}

// The main window's part of page events: the event's script goes to the control from
// whatever thread sent the event.
class PageEventTarget : public JsEventDelegate {
 public:
  explicit PageEventTarget(CCefWebBrowserUI* control) : control_(control) {}
  void OnNativeInvokeJS(const std::string& json, bool) override {
    control_->ExecJs(BuildNativeInvokeScript(json));
  }
  void DeferExitNotify(int, const std::string&, bool) override {}
  void OnShareStopped() override {}
  void RestoreIfNotMaximized() override {}

 private:
  CCefWebBrowserUI* control_;
};

TEST(CCefWebBrowserUITest, EventsFromManyThreadsReachThePageWholeAndInOrder) {
  BrowserWindow window;
  window.control->LoadUrl("https://page/");
  ASSERT_TRUE(PumpUntil([&] { return window.control->IsUsable(); }));
  PageEventTarget target(window.control);
  CJsEventSender sender;
  sender.SetDelegate(&target);

  constexpr int kThreads = 4;
  constexpr int kEvents = 250;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&sender, t] {
      for (int i = 0; i < kEvents; ++i) {
        sender.NotifyJoinGroup(std::to_string(t), std::to_string(i) + std::string(200, '.'));
      }
    });
  }
  CWebPage* page = window.Page();
  ASSERT_TRUE(PumpUntil([&] { return page->invocations().size() == kThreads * kEvents; }));
  for (auto& thread : threads) thread.join();

  std::vector<int> next(kThreads, 0);
  for (const std::string& json : page->invocations()) {
    cJSON* event = cJSON_Parse(json.c_str());
    ASSERT_NE(event, nullptr) << json;
    EXPECT_EQ(cJSON_GetObjectItem(event, "event")->valueint, 11);
    const int t = std::stoi(cJSON_GetObjectItem(event, "gid")->valuestring);
    const std::string gcid = cJSON_GetObjectItem(event, "gcid")->valuestring;
    EXPECT_EQ(gcid, std::to_string(next[t]) + std::string(200, '.'));
    ++next[t];
    cJSON_Delete(event);
  }
  EXPECT_EQ(next, std::vector<int>(kThreads, kEvents));
}

TEST(CCefWebBrowserUITest, PageRequestsReachTheDelegateOnTheUiThread) {
  BrowserWindow window;
  window.control->LoadUrl("https://page/");
  ASSERT_TRUE(PumpUntil([&] { return window.control->IsUsable(); }));
  CWebPage* page = window.Page();
  std::thread from_page([page] {
    page->SendRequest("jsEvent", "{\"event\":2,\"opt\":1}");
    page->SendRequest("jsEvent", "{\"event\":");
  });
  from_page.join();
  ASSERT_TRUE(PumpUntil([&] { return window.messages.size() == 2; }));
  for (const auto& message : window.messages) {
    EXPECT_EQ(message.id, static_cast<int>(window.control->GetBrowserId()));
    EXPECT_EQ(message.key, "jsEvent");
    EXPECT_TRUE(message.on_ui_thread);
  }
  EXPECT_EQ(window.messages[0].value, "{\"event\":2,\"opt\":1}");
  EXPECT_EQ(window.messages[1].value, "{\"event\":");
}

}  // namespace
