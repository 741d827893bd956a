// The browser library with the real web engine (started through Sorvane, beside this test) and
// a local test page.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "foundation/hub.h"
#include "platform/browser/tests/engine_test_support.h"
#include "platform/browser/web_run.h"
#include "tests/support/window_pixels.h"

namespace {

CWebRun* Lib() { return CWebRun::Instace(); }

bool PumpUntil(const std::function<bool()>& done, DWORD ms = 30000) {
  const ULONGLONG deadline = GetTickCount64() + ms;
  while (!done()) {
    if (GetTickCount64() > deadline) return false;
    Lib()->run_message_loop(true);
    Sleep(2);
  }
  return true;
}

struct Message {
  std::string key;
  std::string value;
  std::string frame;
};

class EngineDelegate : public Browser_UI_Delegate {
 public:
  std::vector<std::string> events;
  std::vector<Message> messages;
  bool off_ui_thread = false;

  void Note(const std::string& text) {
    if (!Lib()->is_ui_thread()) off_ui_thread = true;
    events.push_back(text);
  }
  void OnBrowserCreated(int, int) override { Note("created"); }
  void OnBrowserClosing(int) override { Note("closing"); }
  void OnBrowserClosed(int) override { Note("closed"); }
  void OnSetLoadingState(int, bool loading, bool, bool) override {
    Note(loading ? "loading 1" : "loading 0");
  }
  void OnLoadErrror(int code, const wchar_t*, const wchar_t* url) override {
    Note("error " + std::to_string(code) + " " + WideToUtf8(url));
  }
  void OnNavigateNewUrl(int, const char* url) override { Note(std::string("url ") + url); }
  bool OnProcessTerminated(int, int status) override {
    Note("terminated " + std::to_string(status));
    return true;
  }
  void OnJsMessageCallBack(int, browser_msg_head head, const char* value, int) override {
    Note(std::string("js ") + head.key);
    messages.push_back({head.key, value, head.frame});
  }

  // The last message with |key|; null when none.
  const Message* Last(const std::string& key) const {
    for (auto it = messages.rbegin(); it != messages.rend(); ++it) {
      if (it->key == key) return &*it;
    }
    return nullptr;
  }
  size_t Count(const std::string& key) const {
    size_t n = 0;
    for (const auto& m : messages) n += m.key == key ? 1 : 0;
    return n;
  }
};

// A visible top-level window holding one browser of the engine with the test page.
struct PageWindow {
  HWND owner = nullptr;
  unsigned id = 0;
  HWND host = nullptr;

  PageWindow(EngineDelegate* delegate, const std::string& url) {
    owner = CreateWindowExW(WS_EX_TOPMOST, L"STATIC", L"engine test", WS_POPUP | WS_VISIBLE, 0, 0,
                            500, 400, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    id = Lib()->init_brower(delegate, url.c_str());
    Lib()->create_browser_win(owner, id, 0, 0, 400, 300);
    host = reinterpret_cast<HWND>(static_cast<uintptr_t>(Lib()->GetHostWnd(id)));
  }
  ~PageWindow() { DestroyWindow(owner); }

  void Click(int x, int y) {
    PostMessageW(host, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
    PostMessageW(host, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
  }
};

std::wstring g_folder;   // Scratch folder of this run.
std::string g_page_url;  // The test page.

class EngineEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    SetEnvironmentVariableW(L"TARVO_BROWSER_PAGE", nullptr);
    cef_run_settting settings;
    settings.background_color = 0xFF252A33;
    strcpy(settings.locale, "zh_CN");
    strcpy(settings.user_agent, "TarvoLiveTest/1.0 (engine)");
    wcscpy(settings.sub_process, L"Sorvane.exe");
    ASSERT_LT(Lib()->init_cef(GetModuleHandleW(nullptr), settings, &CxAdapter::Instance()), 0);
    ASSERT_TRUE(Lib()->uses_engine());
    g_folder = engine_test::ScratchFolder(L"engine-test");
    // The protocol's traffic, shown when a test has failed.
    DeleteFileW((g_folder + L"\\trace.txt").c_str());
    SetEnvironmentVariableW(L"TARVO_ENGINE_TRACE", (g_folder + L"\\trace.txt").c_str());
    const std::wstring page = g_folder + L"\\page.html";
    ASSERT_TRUE(engine_test::WriteText(page, engine_test::TestPageHtml()));
    g_page_url = engine_test::FileUrl(page);
  }
  void TearDown() override {
    Lib()->uninit_cef();
    if (::testing::UnitTest::GetInstance()->Failed()) {
      const std::string trace = engine_test::ReadText(g_folder + L"\\trace.txt");
      std::printf("--- protocol trace (last 6000 characters)\n%s\n",
                  trace.substr(trace.size() > 6000 ? trace.size() - 6000 : 0).c_str());
    }
  }
};

[[maybe_unused]] ::testing::Environment* const g_environment =
    ::testing::AddGlobalTestEnvironment(new EngineEnvironment);

TEST(WebEngineTest, PageLoadsDrawsAndAnswersClicksAndTyping) {
  EngineDelegate delegate;
  PageWindow window(&delegate, g_page_url);
  ASSERT_TRUE(IsWindow(window.host));

  // The page request on load reaches the delegate on the UI thread, after the load's reports;
  // the start record's locale and user agent reached the page.
  ASSERT_TRUE(PumpUntil([&] { return delegate.Last("jsEvent") != nullptr; }));
  EXPECT_FALSE(delegate.off_ui_thread);
  const std::string request = delegate.Last("jsEvent")->value;
  EXPECT_NE(request.find("\"event\":2"), std::string::npos) << request;
  EXPECT_NE(request.find("\"lang\":\"zh-CN\""), std::string::npos) << request;
  EXPECT_NE(request.find("TarvoLiveTest/1.0 (engine)"), std::string::npos) << request;
  EXPECT_EQ(delegate.Last("jsEvent")->frame, "");
  ASSERT_TRUE(PumpUntil([&] { return delegate.events.back() == "loading 0"; }));
  const std::vector<std::string> load = {"created", "loading 1", "url " + g_page_url};
  EXPECT_EQ(std::vector<std::string>(delegate.events.begin(), delegate.events.begin() + 3), load);

  // Its pixels appear in the host window: the green block, white around it.
  tarvo_test::Pixels pixels;
  auto shows_page = [&] {
    return tarvo_test::ReadWindowPixels(window.host, &pixels) && pixels.width == 400 &&
           tarvo_test::NearColour(pixels.At(100, 70), 0x00C800, 24) &&
           tarvo_test::NearColour(pixels.At(20, 280), 0xFFFFFF, 24);
  };
  EXPECT_TRUE(PumpUntil(shows_page)) << std::hex << pixels.At(100, 70) << " " << pixels.At(20, 280);

  // The drawing follows a resize: the new area shows page, not the host's background.
  MoveWindow(window.host, 0, 0, 480, 360, TRUE);
  EXPECT_TRUE(PumpUntil([&] {
    return tarvo_test::ReadWindowPixels(window.host, &pixels) && pixels.width == 480 &&
           tarvo_test::NearColour(pixels.At(460, 340), 0xFFFFFF, 24) &&
           tarvo_test::NearColour(pixels.At(100, 70), 0x00C800, 24);
  }));

  // A click on the button.
  window.Click(250, 60);
  EXPECT_TRUE(PumpUntil([&] { return delegate.Last("clicked") != nullptr; }));

  // Typing into the text field: ASCII keys with a backspace, Chinese as WM_CHAR and as
  // WM_IME_CHAR, and a character outside the basic plane as a surrogate pair.
  window.Click(100, 165);
  for (wchar_t c : std::wstring(L"abx")) PostMessageW(window.host, WM_CHAR, c, 1);
  PostMessageW(window.host, WM_KEYDOWN, VK_BACK, 1);
  PostMessageW(window.host, WM_KEYUP, VK_BACK, 1 | (3u << 30));
  PostMessageW(window.host, WM_CHAR, 0x4E2D, 1);
  PostMessageW(window.host, WM_CHAR, 0x6587, 1);
  PostMessageW(window.host, WM_IME_CHAR, 0x5B57, 1);
  PostMessageW(window.host, WM_CHAR, 0xD83D, 1);
  PostMessageW(window.host, WM_CHAR, 0xDE00, 1);
  const std::string expected = "ab\xE4\xB8\xAD\xE6\x96\x87\xE5\xAD\x97\xF0\x9F\x98\x80";
  EXPECT_TRUE(PumpUntil([&] {
    return delegate.Last("text") != nullptr && delegate.Last("text")->value == expected;
  })) << (delegate.Last("text") ? delegate.Last("text")->value : "no text");
}

TEST(WebEngineTest, ScriptsFromFourThreadsReachThePageInPerThreadOrder) {
  EngineDelegate delegate;
  PageWindow window(&delegate, g_page_url);
  ASSERT_TRUE(PumpUntil([&] { return delegate.Last("jsEvent") != nullptr; }));
  constexpr int kThreads = 4;
  constexpr int kScripts = 60;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&window, t] {
      for (int i = 0; i < kScripts; ++i) {
        const std::string json =
            "{\"t\":" + std::to_string(t) + ",\"i\":" + std::to_string(i) + "}";
        EXPECT_TRUE(Lib()->exec_js(window.id, ("nativeInvokeJS(" + json + "); ").c_str()));
      }
    });
  }
  ASSERT_TRUE(PumpUntil([&] { return delegate.Count("invoke") == kThreads * kScripts; }));
  for (auto& thread : threads) thread.join();
  std::vector<int> next(kThreads, 0);
  for (const Message& m : delegate.messages) {
    if (m.key != "invoke") continue;
    const int t = m.value[5] - '0';
    const int i = std::stoi(m.value.substr(m.value.find("\"i\":") + 4));
    ASSERT_EQ(i, next[t]) << "thread " << t << " out of order: " << m.value;
    ++next[t];
  }
  EXPECT_FALSE(delegate.off_ui_thread);

  // Messages of any size and content reach the delegate as the page sent them.
  Lib()->exec_js(window.id,
                 "tarvoPostMessage('big', 'x'.repeat(1 << 20));"
                 "tarvoPostMessage('odd', '\\u4f60 \"{not json');"
                 "tarvoPostMessage('k'.repeat(100), 7);");
  ASSERT_TRUE(PumpUntil([&] { return delegate.Last(std::string(63, 'k')) != nullptr; }));
  EXPECT_EQ(delegate.Last("big")->value, std::string(1 << 20, 'x'));
  EXPECT_EQ(delegate.Last("odd")->value, "\xE4\xBD\xA0 \"{not json");
  EXPECT_EQ(delegate.Last(std::string(63, 'k'))->value, "7");
}

TEST(WebEngineTest, LoadErrorReachesTheDelegateAndAReloadSucceeds) {
  EngineDelegate delegate;
  const std::wstring later = g_folder + L"\\later.html";
  DeleteFileW(later.c_str());
  const std::string url = engine_test::FileUrl(later);
  PageWindow window(&delegate, url);
  ASSERT_TRUE(
      PumpUntil([&] { return !delegate.events.empty() && delegate.events.back() == "loading 0"; }));
  const std::vector<std::string> failed = {"created", "loading 1", "error -6 " + url, "loading 0"};
  EXPECT_EQ(delegate.events, failed);

  ASSERT_TRUE(engine_test::WriteText(later, engine_test::TestPageHtml()));
  delegate.events.clear();
  ASSERT_TRUE(Lib()->Reload(window.id));
  ASSERT_TRUE(PumpUntil([&] { return delegate.Last("jsEvent") != nullptr; }));
  ASSERT_TRUE(PumpUntil([&] { return delegate.events.back() == "loading 0"; }));
  EXPECT_EQ(delegate.events[0], "loading 1");
  EXPECT_EQ(delegate.events[1], "url " + url);
}

TEST(WebEngineTest, TheFileDialogHandsTheClientsFileToThePage) {
  EngineDelegate delegate;
  PageWindow window(&delegate, g_page_url);
  ASSERT_TRUE(PumpUntil([&] { return delegate.Last("jsEvent") != nullptr; }));
  const std::wstring file = g_folder + L"\\pick me.txt";
  ASSERT_TRUE(engine_test::WriteText(file, "hello"));
  ASSERT_TRUE(Lib()->set_delegate_filedailog(window.id, true));
  ASSERT_TRUE(Lib()->set_sel_file(window.id, "pick me.txt", WideToUtf8(file).c_str()));
  ASSERT_TRUE(Lib()->send_mouse_event(window.id, 100, 235));
  ASSERT_TRUE(PumpUntil([&] { return delegate.Last("file") != nullptr; }));
  EXPECT_EQ(delegate.Last("file")->value, "pick me.txt:hello");
}

TEST(WebEngineTest, DeveloperToolsShowTheEnginesInspector) {
  EngineDelegate page_delegate;
  EngineDelegate tools_delegate;
  PageWindow window(&page_delegate, g_page_url);
  HWND tools_window = CreateWindowExW(0, L"STATIC", L"tools", WS_POPUP | WS_VISIBLE, 0, 0, 500, 400,
                                      nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
  const unsigned tools = Lib()->init_brower(&tools_delegate, "");
  ASSERT_TRUE(Lib()->DevTools(window.id, tools, tools_window, 0, 40));
  ASSERT_TRUE(PumpUntil([&] {
    for (const auto& e : tools_delegate.events) {
      if (e.find("/devtools/inspector.html?ws=127.0.0.1:") != std::string::npos) return true;
    }
    return false;
  }));
  DestroyWindow(tools_window);
}

}  // namespace
