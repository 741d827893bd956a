#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "foundation/hub.h"
#include "platform/browser/web_run.h"
#include "platform/browser/tests/loop_pump.h"
#include "tests/support/test_process.h"

namespace {

using browser_test::Lib;
using browser_test::PumpAWhile;
using browser_test::PumpUntil;

// Records every callback as text; checks that each arrives on the UI thread.
class RecordingDelegate : public Browser_UI_Delegate {
 public:
  std::vector<std::string> events;
  bool off_ui_thread = false;
  std::function<void(int)> on_closing;
  std::function<void(int)> on_closed;

  void Note(const std::string& text) {
    if (!Lib()->is_ui_thread()) off_ui_thread = true;
    events.push_back(text);
  }
  void OnBrowserCreated(int id, int) override { Note("created " + std::to_string(id)); }
  void OnBrowserClosing(int id) override {
    Note("closing " + std::to_string(id));
    if (on_closing) on_closing(id);
  }
  void OnBrowserClosed(int id) override {
    Note("closed " + std::to_string(id));
    if (on_closed) on_closed(id);
  }
  void OnSetLoadingState(int, bool loading, bool back, bool) override {
    Note(std::string("loading ") + (loading ? "1" : "0") + (back ? " back" : ""));
  }
  void OnLoadErrror(int code, const wchar_t* text, const wchar_t* url) override {
    std::wstring all = std::wstring(text) + L" " + url;
    Note("error " + std::to_string(code) + " " + std::string(all.begin(), all.end()));
  }
  void OnNavigateNewUrl(int, const char* url) override { Note(std::string("url ") + url); }
  bool OnProcessTerminated(int, int status) override {
    Note("terminated " + std::to_string(status));
    return true;
  }
  void OnJsMessageCallBack(int id, browser_msg_head head, const char* value, int) override {
    Note("js " + std::to_string(id) + " " + head.key);
    values.push_back(value);
  }
  std::vector<std::string> values;
};

// A plain top-level window that can play the owner's part of the close handshake.
struct OwnerWindow {
  HWND hwnd = nullptr;
  unsigned browser = 0;
  bool closing = false;
  bool destroyed = false;

  static LRESULT CALLBACK Proc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
    auto* self = reinterpret_cast<OwnerWindow*>(GetWindowLongPtrW(wnd, GWLP_USERDATA));
    if (self != nullptr && msg == WM_CLOSE && self->closing) {
      self->closing = false;
      PostMessageW(reinterpret_cast<HWND>(Lib()->GetHostWnd(self->browser)), WM_CLOSE, 0, 0);
      return 0;
    }
    if (self != nullptr && msg == WM_DESTROY) self->destroyed = true;
    return DefWindowProcW(wnd, msg, wp, lp);
  }

  OwnerWindow() {
    static bool registered = false;
    if (!registered) {
      WNDCLASSW wc = {};
      wc.lpfnWndProc = &Proc;
      wc.hInstance = GetModuleHandleW(nullptr);
      wc.lpszClassName = L"BrowserTestOwner";
      RegisterClassW(&wc);
      registered = true;
    }
    hwnd = CreateWindowExW(0, L"BrowserTestOwner", L"owner", WS_OVERLAPPEDWINDOW, 0, 0, 640, 480,
                           nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  }
  ~OwnerWindow() {
    if (IsWindow(hwnd)) DestroyWindow(hwnd);
  }
};

class LibraryEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    cef_run_settting settings;
    settings.background_color = 0xFF252A33;
    ASSERT_LT(Lib()->init_cef(GetModuleHandleW(nullptr), settings, &CxAdapter::Instance()), 0);
  }
  void TearDown() override { Lib()->uninit_cef(); }
};

[[maybe_unused]] ::testing::Environment* const g_environment =
    ::testing::AddGlobalTestEnvironment(new LibraryEnvironment);

TEST(CWebRunTest, StartRecordDefaultsAndLayout) {
  cef_run_settting settings;
  const auto* bytes = reinterpret_cast<const unsigned char*>(&settings);
  EXPECT_EQ(bytes[0], 1);
  for (size_t i = 1; i < sizeof(settings); ++i) ASSERT_EQ(bytes[i], 0) << "byte " << i;
}

// Runs the probe program (beside this test) with |arguments|; returns its exit code.
DWORD RunProbe(const std::wstring& arguments) {
  DWORD code = 0xDEAD;
  tarvo_test::RunProgram(tarvo_test::ProgramBeside(L"browser_sub_process_probe.exe"), arguments,
                         30000, &code);
  return code;
}

// A sub-process runs until its main thread gets WM_QUIT, and ends with that message's code; the
// client process goes on at once.
TEST(CWebRunTest, StartTellsTheClientFromASubProcess) {
  std::wstring command = L"\"" + tarvo_test::ProgramBeside(L"browser_sub_process_probe.exe") +
                         L"\" --type=renderer";
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process = {};
  ASSERT_TRUE(CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                             &startup, &process));
  EXPECT_EQ(WaitForSingleObject(process.hProcess, 300), static_cast<DWORD>(WAIT_TIMEOUT));
  // The thread takes posted messages once its loop has made its queue.
  for (int i = 0; i < 500 && !PostThreadMessageW(process.dwThreadId, WM_QUIT, 7, 0); ++i) {
    Sleep(10);
  }
  EXPECT_EQ(WaitForSingleObject(process.hProcess, 10000), static_cast<DWORD>(WAIT_OBJECT_0));
  DWORD code = 0xDEAD;
  GetExitCodeProcess(process.hProcess, &code);
  EXPECT_EQ(code, 7u);
  if (code == STILL_ACTIVE) TerminateProcess(process.hProcess, 1);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);

  EXPECT_EQ(RunProbe(L""), 0xFFFFFFFFu);
  EXPECT_EQ(RunProbe(L"-web_debug"), 0xFFFFFFFFu);
}

TEST(CWebRunTest, CreationLoadsTheStartAddressThenNavigationReportsInOrder) {
  RecordingDelegate delegate;  // Outlives the owner window, whose end closes the browser.
  OwnerWindow owner;
  const unsigned id = Lib()->init_brower(&delegate, "https://start/");
  ASSERT_NE(id, 0u);
  EXPECT_EQ(Lib()->GetHostWnd(id), 0u);
  EXPECT_FALSE(Lib()->check_terminate());

  ASSERT_TRUE(Lib()->create_browser_win(owner.hwnd, id, 10, 20, 300, 200));
  HWND host = reinterpret_cast<HWND>(Lib()->GetHostWnd(id));
  ASSERT_TRUE(IsWindow(host));
  EXPECT_EQ(GetParent(host), owner.hwnd);
  RECT rc;
  GetWindowRect(host, &rc);
  MapWindowPoints(nullptr, owner.hwnd, reinterpret_cast<POINT*>(&rc), 2);
  EXPECT_EQ(rc.left, 10);
  EXPECT_EQ(rc.top, 20);
  EXPECT_EQ(rc.right - rc.left, 300);
  EXPECT_FALSE(Lib()->create_browser_win(owner.hwnd, id, 0, 0, 1, 1)) << "one host per browser";

  ASSERT_TRUE(PumpUntil([&] { return delegate.events.size() >= 4; }));
  ASSERT_TRUE(Lib()->Navigate(id, "https://next/"));
  ASSERT_TRUE(PumpUntil([&] { return delegate.events.size() >= 7; }));
  const std::vector<std::string> expected = {"created " + std::to_string(id),
                                             "loading 1",
                                             "url https://start/",
                                             "loading 0",
                                             "loading 1 back",
                                             "url https://next/",
                                             "loading 0 back"};
  EXPECT_EQ(delegate.events, expected);
  EXPECT_FALSE(delegate.off_ui_thread);

  CWebPage* page = Lib()->GetPage(id);
  ASSERT_NE(page, nullptr);
  page->FailLoad(-105, L"unreachable");
  ASSERT_TRUE(PumpUntil([&] { return delegate.events.size() >= 9; }));
  EXPECT_EQ(delegate.events[7], "error -105 unreachable https://next/");
  EXPECT_TRUE(page->TerminateRender(2));
  EXPECT_EQ(delegate.events.back(), "terminated 2");
}

TEST(CWebRunTest, ScriptsFromManyThreadsArriveCompleteAndInPerThreadOrder) {
  RecordingDelegate delegate;  // Outlives the owner window, whose end closes the browser.
  OwnerWindow owner;
  const unsigned id = Lib()->init_brower(&delegate, "");
  ASSERT_TRUE(Lib()->create_browser_win(owner.hwnd, id, 0, 0, 100, 100));
  constexpr int kThreads = 6;
  constexpr int kScripts = 300;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([id, t] {
      for (int i = 0; i < kScripts; ++i) {
        const std::string json = std::to_string(t) + ":" + std::to_string(i);
        EXPECT_TRUE(Lib()->exec_js(id, ("nativeInvokeJS(" + json + "); ").c_str()));
      }
    });
  }
  // Pump while the writers run: delivery interleaves with queueing.
  CWebPage* page = Lib()->GetPage(id);
  ASSERT_TRUE(PumpUntil([&] { return page->invocations().size() == kThreads * kScripts; }));
  for (auto& thread : threads) thread.join();

  std::vector<int> next(kThreads, 0);
  for (const std::string& json : page->invocations()) {
    const size_t colon = json.find(':');
    ASSERT_NE(colon, std::string::npos) << json;
    const int t = std::stoi(json.substr(0, colon));
    ASSERT_EQ(std::stoi(json.substr(colon + 1)), next[t]) << "thread " << t << " out of order";
    ++next[t];
  }

  // Other scripts are run but are no invocation; scripts for an unknown browser are dropped.
  Lib()->exec_js(id, "location.reload();");
  Lib()->exec_js(id, "nativeInvokeJS({\"event\":8})");
  Lib()->exec_js(9999, "nativeInvokeJS(1); ");
  PumpAWhile();
  EXPECT_EQ(page->invocations().size(), size_t{kThreads * kScripts});
  EXPECT_EQ(page->scripts().back(), "nativeInvokeJS({\"event\":8})");
}

TEST(CWebRunTest, PageRequestsReachTheDelegateOnTheUiThreadUnchanged) {
  RecordingDelegate delegate;  // Outlives the owner window, whose end closes the browser.
  OwnerWindow owner;
  const unsigned id = Lib()->init_brower(&delegate, "");
  ASSERT_TRUE(Lib()->create_browser_win(owner.hwnd, id, 0, 0, 100, 100));
  CWebPage* page = Lib()->GetPage(id);
  const std::vector<std::string> values = {
      "{\"event\":2,\"opt\":1}", "not json at all",
      "{\"event\":\"two\"}",     "",
      std::string(1 << 20, 'x'), "{\"event\":1,\"data\":{\"text\":\"\xE4\xBD\xA0\"}}"};
  std::thread sender([&] {
    for (const std::string& value : values) EXPECT_TRUE(page->SendRequest("jsEvent", value));
    EXPECT_TRUE(page->SendRequest(std::string(100, 'k'), "long key"));
  });
  sender.join();
  ASSERT_TRUE(PumpUntil([&] { return delegate.values.size() == values.size() + 1; }));
  EXPECT_FALSE(delegate.off_ui_thread);
  for (size_t i = 0; i < values.size(); ++i) {
    EXPECT_EQ(delegate.values[i], values[i]) << i;
  }
  EXPECT_EQ(delegate.events.back(), "js " + std::to_string(id) + " " + std::string(63, 'k'));
}

TEST(CWebRunTest, CloseHandshakeEndsWithTheOwnerClosingItsWindow) {
  RecordingDelegate delegate;  // Outlives the owner window, whose end closes the browser.
  OwnerWindow owner;
  const unsigned id = Lib()->init_brower(&delegate, "https://page/");
  owner.browser = id;
  ASSERT_TRUE(Lib()->create_browser_win(owner.hwnd, id, 0, 0, 100, 100));
  delegate.on_closing = [&](int) { owner.closing = true; };
  bool may_end = false;
  delegate.on_closed = [&](int) {
    may_end = Lib()->check_terminate();
    PostMessageW(owner.hwnd, WM_CLOSE, 0, 0);
  };
  PumpAWhile();
  Lib()->exec_js(id, "nativeInvokeJS(1); ");
  ASSERT_TRUE(Lib()->close_browser(id));
  EXPECT_FALSE(Lib()->close_browser(id)) << "a second close is refused";
  ASSERT_TRUE(PumpUntil([&] { return owner.destroyed; }));
  EXPECT_TRUE(may_end);
  EXPECT_TRUE(Lib()->check_terminate());
  EXPECT_EQ(Lib()->GetPage(id), nullptr);
  ASSERT_GE(delegate.events.size(), 2u);
  EXPECT_EQ(delegate.events[delegate.events.size() - 2], "closing " + std::to_string(id));
  EXPECT_EQ(delegate.events.back(), "closed " + std::to_string(id));

  // Nothing reaches a closed browser's delegate.
  const size_t before = delegate.events.size();
  EXPECT_FALSE(Lib()->Navigate(id, "https://late/"));
  PumpAWhile();
  EXPECT_EQ(delegate.events.size(), before);
}

TEST(CWebRunTest, HostDestroyedWithItsParentReportsClosedOnceAndDropsQueuedWork) {
  RecordingDelegate delegate;
  unsigned id = 0;
  {
    OwnerWindow owner;
    id = Lib()->init_brower(&delegate, "https://page/");
    ASSERT_TRUE(Lib()->create_browser_win(owner.hwnd, id, 0, 0, 100, 100));
  }  // Destroys the owner, and the host with it, before the queued callbacks ran.
  EXPECT_EQ(delegate.events, std::vector<std::string>{"closed " + std::to_string(id)});
  PumpAWhile();
  EXPECT_EQ(delegate.events.size(), 1u);
  EXPECT_TRUE(Lib()->check_terminate());
}

TEST(CWebRunTest, DeveloperToolsGetAHostInsideTheirWindow) {
  RecordingDelegate page_delegate;
  RecordingDelegate tools_delegate;
  OwnerWindow page_owner;
  OwnerWindow tools_owner;
  const unsigned id = Lib()->init_brower(&page_delegate, "https://page/");
  ASSERT_TRUE(Lib()->create_browser_win(page_owner.hwnd, id, 0, 0, 100, 100));
  const unsigned tools = Lib()->init_brower(&tools_delegate, "");
  ASSERT_TRUE(Lib()->DevTools(id, tools, tools_owner.hwnd, 0, 40));
  HWND host = reinterpret_cast<HWND>(Lib()->GetHostWnd(tools));
  ASSERT_TRUE(IsWindow(host));
  EXPECT_EQ(GetParent(host), tools_owner.hwnd);
  EXPECT_EQ(Lib()->GetPage(tools)->inspected_browser(), id);
  ASSERT_TRUE(PumpUntil([&] { return !tools_delegate.events.empty(); }));
  EXPECT_EQ(tools_delegate.events[0], "created " + std::to_string(tools));
  EXPECT_FALSE(Lib()->DevTools(id, id, tools_owner.hwnd, 0, 40));
}

TEST(CWebRunTest, UiOperationsFromAnotherThreadFailAndTheIdleHookRunsQueuedTasks) {
  RecordingDelegate delegate;  // Outlives the owner window, whose end closes the browser.
  OwnerWindow owner;
  const unsigned id = Lib()->init_brower(&delegate, "");
  ASSERT_TRUE(Lib()->create_browser_win(owner.hwnd, id, 0, 0, 100, 100));
  std::thread other([id] {
    EXPECT_FALSE(Lib()->Navigate(id, "https://x/"));
    EXPECT_EQ(Lib()->init_brower(nullptr, "x"), 0u);
    EXPECT_FALSE(Lib()->close_browser(id));
    // A task for the UI thread: it runs from the loop's idle hook and ends the loop.
    CxAdapter::Instance().GetUiThread().PostTask([] { PostQuitMessage(7); });
  });
  other.join();
  EXPECT_EQ(Lib()->run_message_loop(false), 7);
}

}  // namespace
