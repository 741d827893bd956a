// The page's requests as the page sends them (the browser library's page object): what the
// first half takes and posts, what the second half does on the UI thread, the SDK layer's calls
// in the stand-in's journal (offline, in a meeting made by its callbacks), the web addresses
// that may reach the shell, and a storm of malformed requests.

#include <windows.h>

#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "foundation/app_config.h"
#include "platform/duilib/UIlib.h"
#include "platform/orvim/common/json.h"
#include "platform/orvim/testing/orvim_library.h"
#include "platform/orvim/testing/room_server_process.h"
#include "sdk/interactive/sdk_interactive.h"
#include "share/sharing/share_frame.h"
#include "shell/login/skin_choice.h"
#include "shell/mainframe/main_frame_ids.h"
#include "shell/mainframe/page_request_parsers.h"
#include "shell/mainframe/tests/main_frame_test_support.h"
#include "shell/registry/local_file_list.h"
#include "shell/registry/user_stream_list.h"
#include "shell/startup/app_info.h"
#include "windows/lod_view/lod_view_frame.h"

namespace mainframe_test {
namespace {

using Posts = std::vector<std::pair<int, int>>;
using Texts = std::vector<std::string>;

[[maybe_unused]] ::testing::Environment* const g_environment =
    ::testing::AddGlobalTestEnvironment(new LibraryEnvironment);

std::wstring TempFolder() {
  wchar_t temp[MAX_PATH + 1] = {};
  const DWORD n = GetTempPathW(MAX_PATH + 1, temp);
  return std::wstring(temp, n);
}

std::wstring Wide(const std::string& text) { return std::wstring(text.begin(), text.end()); }

bool Exists(const std::wstring& path) {
  return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::wstring ProgramFolder() {
  wchar_t path[MAX_PATH] = {};
  const DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring folder(path, n);
  return folder.substr(0, folder.find_last_of(L"\\/") + 1);
}

std::string Narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }

bool SetClipboardText(HWND owner, const std::wstring& text) {
  if (!OpenClipboard(owner)) return false;
  EmptyClipboard();
  bool set = false;
  const size_t bytes = (text.size() + 1) * sizeof(wchar_t);
  if (HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, bytes)) {
    if (void* memory = GlobalLock(block)) {
      std::memcpy(memory, text.c_str(), bytes);
      GlobalUnlock(block);
      set = SetClipboardData(CF_UNICODETEXT, block) != nullptr;
    }
    if (!set) GlobalFree(block);
  }
  CloseClipboard();
  return set;
}

// Request 10 from the page: live mode. Its timer would start the device test (a modal window)
// 600 ms later, so the second half runs here, right after the first (held), and the timer is
// stopped before the loop runs again.
bool EnterLiveMode(FrameScope& frame) {
  frame->held_requests.insert(10);
  const bool sent = frame.Request(R"({"event":10,"status":1})");
  frame->held_requests.erase(10);
  const auto requests = frame.TakeRequests();
  if (!sent || requests.empty() || requests.back() != std::make_pair(10, 1)) return false;
  frame->CMainFrame::HandleJsCallBack(10, 1);
  return KillTimer(frame.hwnd(), kTimerLiveStart) != FALSE && frame->m_bLiveMode;
}

std::string Login(const std::string& server, int role) {
  return R"({"event":1,"data":{"confid":"room","userid":"me","cid":"c-me","username":"Me",)"
         R"("sid":"site","owtServer":")" +
         server + R"(","role":)" + std::to_string(role) + "}}";
}

// The settings record's fields that requests change, put back after each test.
class PageRequestsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    StAppConfig* c = GetAppConfig();
    c->update_running = false;
    saved_.guest_list = c->guest_list;
    saved_.viewer_option = c->viewer_option;
    saved_.show_logo = c->show_logo;
    saved_.live_running = c->live_running;
    saved_.host = c->host;
    saved_.ratio = c->video_source_ratio;
    saved_.use_mode = c->use_mode.load();
    saved_.chosen = c->resolution_chosen.load();
    saved_.width = c->video_width;
    saved_.height = c->video_height;
    saved_.push_streams = c->push_streams;
    saved_.camera = c->camera_dev_id;
    CUserStreamList::Instance()->Replace({});
  }
  void TearDown() override {
    StAppConfig* c = GetAppConfig();
    c->guest_list = saved_.guest_list;
    c->viewer_option = saved_.viewer_option;
    c->show_logo = saved_.show_logo;
    c->live_running = saved_.live_running;
    c->host = saved_.host;
    c->video_source_ratio = saved_.ratio;
    c->use_mode = saved_.use_mode;
    c->resolution_chosen = saved_.chosen;
    c->video_width = saved_.width;
    c->video_height = saved_.height;
    c->push_streams = saved_.push_streams;
    c->camera_dev_id = saved_.camera;
    SetSkinIndex(kSkinBlue);
    CUserStreamList::Instance()->Replace({});
  }

  // The stand-in's calls since the last read (cleared), as op + args text; only those named in
  // |filter| when it is given.
  Texts Journal(const Texts& filter = {}) {
    orvim::JsonPtr answer = library_.ControlJson(R"({"cmd":"journal","clear":true})");
    Texts ops;
    const cJSON* entry = nullptr;
    cJSON_ArrayForEach(entry, cJSON_GetObjectItemCaseSensitive(answer.get(), "calls")) {
      const std::string op = orvim::GetString(entry, "op");
      bool keep = filter.empty();
      for (const std::string& name : filter) keep = keep || op == name;
      if (keep) ops.push_back(op + orvim::ToText(cJSON_GetObjectItemCaseSensitive(entry, "args")));
    }
    return ops;
  }

  // Logs in through request 1 (the stand-in offline) and makes the room joined by the SDK's
  // callback; the journal is cleared after.
  void JoinOffline(FrameScope& frame) {
    ASSERT_TRUE(frame.Request(Login("offline", 1)));
    ASSERT_TRUE(library_.ControlOk(
        R"({"cmd":"emit","callback":"OnJoinRoomSuccess","args":{"room_id":"room"}})"));
    ASSERT_TRUE(PumpUntil([&] { return !frame->GetSdk()->OutofMeeting(false); }));
    ASSERT_TRUE(PumpUntil([&] { return frame->m_strRoomId == "room"; }));
    Journal();
    frame.TakeRequests();
  }

  orvim::testing::OrvimLibrary library_;
  ConfigFileScope config_file_{{}};

 private:
  struct {
    bool guest_list, viewer_option, show_logo, live_running, host, ratio, use_mode, chosen;
    int32_t width, height;
    std::vector<StPushStreamInfo> push_streams;
    std::string camera;
  } saved_;
};

// The first half of every request: what is posted (number and value), with every second half
// held back. Keys without regard to case, values of the wrong type, texts that are no object.
TEST_F(PageRequestsTest, FirstHalfPosts) {
  FrameScope frame;
  frame->hold_requests = true;
  const struct {
    std::string json;
    Posts posts;
  } cases[] = {
      {Login("offline", 2), {{1, 0}}},
      {R"({"event":1})", {}},  // No login data: nothing to log in with.
      {R"({"event":1,"data":"x"})", {}},
      {R"({"event":2,"opt":1})", {{2, 1}}},
      {R"({"Event":2,"OPT":1})", {{2, 1}}},
      {R"({"event":2,"opt":"1"})", {{2, 0}}},
      {R"({"event":2,"opt":-7})", {{2, -7}}},
      {R"({"event":3,"id":"p-bob","opt":1})", {{3, 0}}},
      {R"({"event":4,"id":"p-bob","opt":0})", {{4, 0}}},
      {R"({"event":5,"close":1})", {{5, 1}}},
      {R"({"event":6,"opt":1})", {{6, 1}}},
      {R"({"event":7,"unreadMsgCount":12})", {{7, 12}}},
      {R"({"event":8})", {{8, 0}}},
      {R"({"event":9,"opt":5})", {{9, 0}}},
      {R"({"event":10,"status":1})", {{10, 1}}},
      {R"({"event":11,"opt":1})", {{11, 0}}},
      {R"({"event":12,"opt":2})", {{12, 2}}},
      {R"({"event":13,"url":"https://example.com/help"})", {}},
      {R"({"event":14,"data":{"a":1}})", {}},
      {R"({"event":15})", {}},
      {R"({"event":16,"opt":1,"url":"rtmp://m/1","muted":true})", {{16, 0}}},
      {R"({"event":17,"subscrib":1,"width":640,"height":360})", {}},
      {R"({"event":18,"url":"rtmp://p","result":2,"streamId":"s1"})", {{18, 0}}},
      {R"({"event":19,"data":[{"id":"a","resolution":"HD"}],"streamId":"s2"})", {{19, 0}}},
      {R"({"event":20,"status":1})", {{20, 1}}},
      {R"({"event":21,"status":1})", {{21, 1}}},
      {R"({"event":22,"status":3})", {{22, 3}}},
      {R"({"event":23,"status":1})", {{23, 1}}},
      {R"({"event":24,"url":"https://example.com/2"})", {}},
      {R"({"event":25,"opt":40})", {{25, 40}}},
      {R"({"event":26,"opt":40})", {{26, 0}}},
      {R"({"event":27,"status":1})", {{27, 1}}},
      {R"({"event":28,"role":2})", {{28, 2}}},
      {R"({"event":29,"opt":1})", {{29, 1}}},
      {R"({"event":30,"status":1})", {{30, 1}}},
      {R"({"event":31,"md5":"none","status":1})", {{31, 0}}},
      {R"({"event":32,"md5":"m1","opt":4,"x":5,"y":6})", {{32, 0}}},
      {R"({"event":32,"md5":"m1","opt":4,"x":7,"y":8})", {}},  // Unchanged: no post.
      {R"({"event":32,"md5":"m1","opt":0})", {{32, 0}}},
      {R"({"event":99,"opt":1})", {{99, 0}}},
      {R"({"event":-4,"opt":3})", {{-4, 0}}},
      {R"({"event":"2","opt":1})", {{0, 0}}},
      {R"({})", {{0, 0}}},
      {"not json", {{0, 0}}},
      {R"([2,1])", {{0, 0}}},
      {R"({"event":2,"opt":1)", {{0, 0}}},
      {"", {{0, 0}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.json);
    ASSERT_TRUE(frame.Request(c.json));
    EXPECT_EQ(frame.TakeRequests(), c.posts);
  }
  // Another message key is only logged; another browser's message is dropped unseen.
  ASSERT_TRUE(frame.Request(R"({"event":2,"opt":1})", "jsevent"));
  ASSERT_TRUE(frame.Request(R"({"event":2,"opt":1})", "other"));
  browser_msg_head head{};
  std::strcpy(head.key, "jsEvent");
  frame->OnJsMessageCallBack(static_cast<int>(frame->GetBrowser()->GetBrowserId()) + 1, head,
                             R"({"event":2,"opt":1})", 0);
  PumpFor(50);
  EXPECT_TRUE(frame.TakeRequests().empty());

  // What the first half kept for the second.
  ASSERT_EQ(frame->m_jsCommands.size(), 3u);
  EXPECT_EQ(frame->m_jsCommands[0].kind, 3);
  EXPECT_EQ(frame->m_jsCommands[0].id, "p-bob");
  EXPECT_EQ(frame->m_jsCommands[0].opt, 1);
  EXPECT_EQ(frame->m_jsCommands[1].kind, 4);
  EXPECT_EQ(frame->m_jsCommands[2].kind, 11);
  EXPECT_EQ(frame->m_jsCommands[2].opt, 1);
  ASSERT_EQ(frame->m_mediaShares.size(), 1u);
  EXPECT_EQ(frame->m_mediaShares[0].url, "rtmp://m/1");
  EXPECT_TRUE(frame->m_mediaShares[0].opt);
  EXPECT_TRUE(frame->m_mediaShares[0].muted);
  ASSERT_EQ(frame->m_pushResults.size(), 2u);
  EXPECT_EQ(frame->m_pushResults[0].kind, 18);
  EXPECT_EQ(frame->m_pushResults[0].result, 2);
  EXPECT_EQ(frame->m_pushResults[1].kind, 19);
  EXPECT_EQ(frame->m_pushResults[1].streamId, "s2");
  ASSERT_EQ(GetAppConfig()->PushStreamCount(), 1);
  EXPECT_EQ(GetAppConfig()->GetPushStream(0)->width, 1280);
  EXPECT_EQ(frame->m_mediaInfo.status, 1);
  EXPECT_EQ(frame->m_mediaInfo.url, "") << "no media file has that id";
  EXPECT_EQ(frame->m_docInfo.md5, "m1");
  EXPECT_EQ(frame->m_docInfo.status, 0);
  EXPECT_EQ(frame->m_docInfo.x, 5) << "the unchanged command kept its numbers";
  EXPECT_EQ(frame.Page()->clicks(), (std::vector<std::pair<int, int>>{{5, 6}}));
  EXPECT_EQ(frame->opened_addresses,
            (Texts{"https://example.com/help", "https://example.com/2"}));
  EXPECT_EQ(frame->m_joinInfo.role, 2);
  EXPECT_EQ(frame->m_joinInfo.owtServer, "offline");
  EXPECT_FALSE(frame->m_bAutoLogin);
}

// Request 1: the login data, the orange skin, and the capture size of the first login kept
// (the configuration saved and the choice marked once).
TEST_F(PageRequestsTest, LoginRequest) {
  FrameScope frame;
  frame->hold_requests = true;
  StAppConfig* config = GetAppConfig();
  config->resolution_chosen = false;
  config->video_width = 1280;
  config->video_height = 720;
  ASSERT_TRUE(frame.Request(
      R"({"event":1,"data":{"confid":"c1","owtServer":"offline","cameraResolution":480,)"
      R"("hostSkin":"1"}})"));
  EXPECT_EQ(frame->m_joinInfo.confid, "c1");
  EXPECT_EQ(config->video_width, 640);
  EXPECT_EQ(config->video_height, 360);
  EXPECT_TRUE(config->resolution_chosen.load());
  EXPECT_EQ(GetSkinIndex(), kSkinOrange);
  std::ifstream saved(GetAppDataFolder() + "\\config.ini", std::ios::binary);
  std::stringstream text;
  text << saved.rdbuf();
  EXPECT_NE(text.str().find("resolution=2"), std::string::npos) << text.str();
  // A second login keeps the chosen size.
  ASSERT_TRUE(frame.Request(R"({"event":1,"data":{"cameraResolution":1080}})"));
  EXPECT_EQ(config->video_width, 640);
  EXPECT_EQ(config->camera_resolution, 1080);
  EXPECT_EQ(frame->m_joinInfo.confid, "c1") << "absent keys keep their members";
}

// Second halves that need no meeting: the settings record's flags, the title, the queues, the
// role, local playback's flag and live mode.
TEST_F(PageRequestsTest, SecondHalfWithoutAMeeting) {
  StAppConfig* config = GetAppConfig();
  FrameScope frame;
  const struct {
    const char* json;
    bool* flag;
    bool value;
  } flags[] = {
      {R"({"event":20,"status":1})", &config->guest_list, true},
      {R"({"event":20,"status":2})", &config->guest_list, false},
      {R"({"event":27,"status":1})", &config->viewer_option, true},
      {R"({"event":27})", &config->viewer_option, false},
      {R"({"event":21,"status":1})", &config->live_running, true},
      {R"({"event":21,"status":0})", &config->live_running, false},
  };
  for (const auto& c : flags) {
    SCOPED_TRACE(c.json);
    *c.flag = !c.value;
    ASSERT_TRUE(frame.Request(c.json));
    EXPECT_EQ(*c.flag, c.value);
  }

  // 30: the local playback flag of the current media command.
  ASSERT_TRUE(frame.Request(R"({"event":30,"status":1})"));
  EXPECT_EQ(frame->m_mediaInfo.local_playback, 1);
  ASSERT_TRUE(frame.Request(R"({"event":31,"md5":"x","volume":5})"));
  EXPECT_EQ(frame->m_mediaInfo.local_playback, 1) << "request 31 keeps it";
  ASSERT_TRUE(frame.Request(R"({"event":30,"status":2})"));
  EXPECT_EQ(frame->m_mediaInfo.local_playback, 0);

  // 31: the url is the registry's path for the id; the command goes to local media, where a
  // file that does not open fails its play (event 35 status 0) and a stop always answers.
  const std::string media = CLocalFileList::Instance()->AddMedia("C:\\media\\clip.mp4");
  ASSERT_TRUE(frame.Request(R"({"event":31,"url":"page.mp4","md5":")" + media + R"(","status":1})"));
  EXPECT_EQ(frame->m_mediaInfo.url, "C:\\media\\clip.mp4");
  ASSERT_TRUE(frame.Request(R"({"event":31,"md5":")" + media + R"(","status":3})"));
  EXPECT_EQ(frame.Values(35, "status"), (Texts{"0", "3"}));
  EXPECT_EQ(frame.Values(35, "md5"), (Texts{media, media}));

  // 16 and 19 drain their queues; 18 waits for 19.
  ASSERT_TRUE(frame.Request(R"({"event":16,"url":"rtmp://a"})"));
  ASSERT_TRUE(frame.Request(R"({"event":16,"url":"rtmp://b"})"));
  EXPECT_TRUE(frame->m_mediaShares.empty());
  ASSERT_TRUE(frame.Request(R"({"event":18,"result":1})"));
  EXPECT_EQ(frame->m_pushResults.size(), 1u);
  config->push_streams.resize(3);
  ASSERT_TRUE(frame.Request(R"({"event":19})"));
  EXPECT_EQ(config->PushStreamCount(), 3) << "no data: the list stays";
  EXPECT_TRUE(frame->m_pushResults.empty());
  ASSERT_TRUE(frame.Request(R"({"event":19,"data":[{"resolution":"hd"}]})"));
  ASSERT_EQ(config->PushStreamCount(), 1);
  EXPECT_EQ(config->GetPushStream(0)->width, 0);
  EXPECT_EQ(config->GetPushStream(0)->height, 0);
  ASSERT_TRUE(frame.Request(R"({"event":19,"data":[]})"));
  EXPECT_EQ(config->PushStreamCount(), 0);

  // 3, 4, 11: only a front record of the request's own kind runs (and goes).
  const auto kinds = [&] {
    std::vector<int> out;
    for (const StJsCommand& command : frame->m_jsCommands) out.push_back(command.kind);
    return out;
  };
  frame->held_requests = {4};
  ASSERT_TRUE(frame.Request(R"({"event":4,"id":"u","opt":1})"));
  frame->held_requests.clear();
  ASSERT_TRUE(frame.Request(R"({"event":3,"id":"u","opt":1})"));
  EXPECT_EQ(kinds(), (std::vector<int>{4, 3})) << "a kind-4 front keeps both";
  ASSERT_TRUE(frame.Request(R"({"event":11,"opt":1})"));
  EXPECT_EQ(kinds(), (std::vector<int>{4, 3, 11}));
  ASSERT_TRUE(frame.Request(R"({"event":4,"id":"u","opt":0})"));
  EXPECT_EQ(kinds(), (std::vector<int>{3, 11, 4}));
  ASSERT_TRUE(frame.Request(R"({"event":3,"id":"u","opt":0})"));
  EXPECT_EQ(kinds(), (std::vector<int>{11, 4, 3}));

  // 28: the role; the same role again changes nothing.
  frame->m_joinInfo.role = 1;
  config->host = true;
  config->video_source_ratio = false;
  ASSERT_TRUE(frame.Request(R"({"event":28,"role":2})"));
  EXPECT_EQ(frame->m_joinInfo.role, 2);
  EXPECT_FALSE(config->host);
  config->host = true;  // Only a change of role touches it.
  for (int i = 0; i < 3; ++i) ASSERT_TRUE(frame.Request(R"({"event":28,"role":2})"));
  EXPECT_TRUE(config->host);
  ASSERT_TRUE(frame.Request(R"({"event":28,"role":1})"));
  EXPECT_EQ(frame->m_joinInfo.role, 1);
  EXPECT_TRUE(config->host);

  // 5 with close 1 leaves the room and keeps the browser.
  ASSERT_TRUE(frame.Request(R"({"event":5,"close":1})"));
  ASSERT_FALSE(frame.Page()->render_messages().empty());
  EXPECT_EQ(frame.Page()->render_messages().back().name, "live_share_stop");
  EXPECT_TRUE(frame->GetBrowser()->IsUsable());

  // 10: live mode (the device test of its timer is not started here).
  EXPECT_TRUE(EnterLiveMode(frame));
}

// 6 shows (opt 1) or hides the share window, made on first use; 7 hands it the unread count;
// a role change hides it.
TEST_F(PageRequestsTest, ShareWindowFromThePage) {
  FrameScope frame;
  ASSERT_TRUE(frame.Request(R"({"event":7,"unreadMsgCount":3})"));  // No window: nothing.
  EXPECT_EQ(frame->m_pShareFrame, nullptr);
  ASSERT_TRUE(frame.Request(R"({"event":6,"opt":0})"));
  EXPECT_EQ(frame->m_pShareFrame, nullptr) << "a hide makes no window";
  ASSERT_TRUE(frame.Request(R"({"event":6,"opt":1})"));
  ASSERT_NE(frame->m_pShareFrame, nullptr);
  const HWND share = frame->m_pShareFrame->GetHWND();
  EXPECT_TRUE(IsWindowVisible(share));
  ASSERT_TRUE(frame.Request(R"({"event":7,"unreadMsgCount":3})"));
  ASSERT_TRUE(frame.Request(R"({"event":6,"opt":2})"));
  EXPECT_FALSE(IsWindowVisible(share));
  ASSERT_TRUE(frame.Request(R"({"event":6,"opt":1})"));
  EXPECT_TRUE(IsWindowVisible(share));
  frame->m_joinInfo.role = 1;
  ASSERT_TRUE(frame.Request(R"({"event":28,"role":2})"));
  EXPECT_FALSE(IsWindowVisible(share));
  EXPECT_EQ(frame->m_pShareFrame->GetHWND(), share) << "hidden, not closed";
}

// 8 pastes the copied invitation: a text without an invitation link tells the page that it is
// not usable (the link and redirect paths have their own tests).
TEST_F(PageRequestsTest, PasteFromThePage) {
  FrameScope frame;
  ASSERT_TRUE(SetClipboardText(frame.hwnd(), L"no link here, 密码：1234"));
  ASSERT_TRUE(frame.Request(R"({"event":8})"));
  ASSERT_TRUE(PumpUntil([&] { return frame.Events(25).size() == 1; }));
  EXPECT_EQ(frame.Values(25, "status"), Texts{"0"});
  EXPECT_TRUE(frame.Events(15).empty());
}

// 23: the title and the logo, in both skins.
TEST_F(PageRequestsTest, TitleAndLogoInBothSkins) {
  for (const int skin : {kSkinBlue, kSkinOrange}) {
    SCOPED_TRACE(skin);
    SetSkinIndex(skin);
    FrameScope frame;
    DuiLib::CControlUI* title = frame->m_PaintManager.FindControl(L"title_lab");
    DuiLib::CControlUI* logo = frame->m_PaintManager.FindControl(L"title2_lab");
    ASSERT_NE(title, nullptr);
    ASSERT_NE(logo, nullptr);
    ASSERT_TRUE(EnterLiveMode(frame));  // The title bar of live mode.
    ASSERT_TRUE(frame.Request(R"({"event":23,"status":1})"));
    EXPECT_TRUE(GetAppConfig()->show_logo);
    EXPECT_EQ(std::wstring(title->GetText()), L"TarvoLive");
    EXPECT_TRUE(logo->IsVisible());
    EXPECT_EQ(std::wstring(logo->GetBkImage()),
              skin == kSkinOrange ? L"file='img\\orange\\mlogo.png'" : L"");
    ASSERT_TRUE(frame.Request(R"({"event":23,"status":0})"));
    EXPECT_FALSE(GetAppConfig()->show_logo);
    EXPECT_EQ(std::wstring(title->GetText()), L"Zentavo Live");
    EXPECT_FALSE(logo->IsVisible());
  }
}

// 2 opens the settings (value 1) or, in picture mode, tells the page that there is nothing to
// beautify; 9 opens the network signal window; 29 opens the file dialog (cancelled here) or
// does nothing for kind 1.
TEST_F(PageRequestsTest, DialogsFromThePage) {
  FrameScope frame;
  {
    bool seen = false;
    DialogScript script({Until([&] { return seen = FindThreadWindow(L"CSettingFrame") != nullptr; }),
                         ClickInDialog(L"CSettingFrame", {L"closebtn"})});
    ASSERT_TRUE(frame.Request(R"({"event":2,"opt":1})", "jsEvent", 30000));
    EXPECT_TRUE(script.done());
    EXPECT_TRUE(seen);
  }
  EXPECT_EQ(frame.Events(23).size(), 1u) << "the page heard of the settings";
  GetAppConfig()->use_mode = false;
  ASSERT_TRUE(frame.Request(R"({"Event":2,"OPT":0})"));
  EXPECT_EQ(frame.Events(25).size(), 1u);
  EXPECT_EQ(frame.Events(23).size(), 1u);

  {
    bool shown = false;
    DialogScript script({Until([&] { return shown = FindThreadWindow(L"CNetSingalFrame") != nullptr; }),
                         ClickInDialog(L"CNetSingalFrame", {L"closebtn"})});
    ASSERT_TRUE(frame.Request(R"({"event":9})", "jsEvent", 30000));
    EXPECT_TRUE(script.done());
    EXPECT_TRUE(shown);
  }

  ASSERT_TRUE(frame.Request(R"({"event":29,"opt":1})"));
  {
    DialogScript script({AnswerFileDialog(L"")});
    ASSERT_TRUE(frame.Request(R"({"event":29,"opt":0})", "jsEvent", 30000));
    EXPECT_TRUE(script.done());
  }
  EXPECT_TRUE(frame.Events(34).empty());
}

// 32: the document commands through Main window II's paths: 4 clicks and starts the next
// waiting document's conversion (the converter stand-in), 2 cancels, 3 deletes only a page
// folder named by an id of the registry's form.
TEST_F(PageRequestsTest, DocumentCommands) {
  const std::wstring folder = TempFolder() + L"tarvo_requests_docs\\";
  CreateDirectoryW(folder.c_str(), nullptr);
  const std::wstring document = folder + L"a.docx";
  std::ofstream(document.c_str(), std::ios::binary) << "convert";
  CLocalFileList* files = CLocalFileList::Instance();
  const std::string waiting = files->AddDocument(Narrow(document), 2);
  FrameScope frame;

  ASSERT_TRUE(frame.Request(R"({"event":32,"md5":"x","opt":4,"x":10,"y":20})"));
  EXPECT_EQ(frame.Page()->clicks(), (std::vector<std::pair<int, int>>{{10, 20}}));
  EXPECT_EQ(files->FindConvertingDocument(), waiting);
  ASSERT_TRUE(PumpUntil([&] { return frame.Events(36).size() == 1; }, 30000));
  EXPECT_EQ(frame.Values(36, "md5"), Texts{waiting});
  CMainFrame::RemoveTempFolder(waiting);
  DeleteFileW((TempFolder() + Wide(waiting) + L".zip").c_str());

  // Cancelling a waiting document: it leaves the registry with its page folder.
  const std::string cancelled = files->AddDocument(Narrow(document), 2);
  CreateDirectoryW((TempFolder() + Wide(cancelled)).c_str(), nullptr);
  ASSERT_TRUE(frame.Request(R"({"event":32,"md5":")" + cancelled + R"(","opt":2})"));
  EXPECT_EQ(files->FindDocument(cancelled), "");
  EXPECT_FALSE(Exists(TempFolder() + Wide(cancelled)));

  // Status 3: a page folder of the registry's form goes; anything else stays.
  const std::string id(32, 'a');
  const std::wstring page_folder = TempFolder() + Wide(id);
  CreateDirectoryW(page_folder.c_str(), nullptr);
  std::ofstream((page_folder + L"\\1.png").c_str()) << "page";
  const std::wstring outside = TempFolder() + L"tarvo_requests_keep";
  CreateDirectoryW(outside.c_str(), nullptr);
  for (const std::string& md5 : {std::string("tarvo_requests_keep"), std::string("..\\") + "tarvo_requests_keep",
                                 std::string(""), std::string(32, 'A')}) {
    SCOPED_TRACE(md5);
    cJSON* request = cJSON_CreateObject();
    cJSON_AddNumberToObject(request, "event", 32);
    cJSON_AddStringToObject(request, "md5", md5.c_str());
    cJSON_AddNumberToObject(request, "opt", 3);
    char* text = cJSON_PrintUnformatted(request);
    ASSERT_TRUE(frame.Request(text));
    cJSON_free(text);
    cJSON_Delete(request);
  }
  EXPECT_TRUE(Exists(outside));
  ASSERT_TRUE(frame.Request(R"({"event":32,"md5":")" + id + R"(","opt":3})"));
  EXPECT_FALSE(Exists(page_folder));
  RemoveDirectoryW(outside.c_str());
  DeleteFileW(document.c_str());
  RemoveDirectoryW(folder.c_str());
}

// The requests that reach the SDK layer, in a meeting that the stand-in's callbacks make: the
// login, device commands for a known user and the speaker, the video wall, the live layout,
// the subscription, media shares, volumes, closing the streams and the role change.
TEST_F(PageRequestsTest, SdkCallsInAMeeting) {
  ASSERT_TRUE(library_.ok());
  StAppConfig* config = GetAppConfig();
  config->camera_dev_id = "orvim-camera-1";
  FrameScope frame;
  ASSERT_TRUE(frame.Request(Login("offline", 1)));
  EXPECT_EQ(Journal({"LoginAndJoin"}).size(), 1u);
  ASSERT_TRUE(library_.ControlOk(
      R"({"cmd":"emit","callback":"OnJoinRoomSuccess","args":{"room_id":"room"}})"));
  ASSERT_TRUE(PumpUntil([&] { return !frame->GetSdk()->OutofMeeting(false); }));
  ASSERT_TRUE(PumpUntil([&] { return frame->m_strRoomId == "room"; }));
  Journal();
  CUserStreamList::Instance()->Add(
      StUserStream{"Bob", "p-bob", "", "", "active", "active", "", "s-bob", "bob", "c-bob"});
  ASSERT_TRUE(library_.ControlOk(R"({"cmd":"streams","streams":[{"stream_id":"room-live","kind":7}]})"));

  const struct {
    std::string json;
    Texts ops;
  } cases[] = {
      {R"({"event":3,"id":"p-bob","opt":0})", {R"(MuteVideo{"stream_id":"s-bob","muted":true})"}},
      {R"({"event":4,"id":"p-bob","opt":1})", {R"(MuteAudio{"stream_id":"s-bob","muted":false})"}},
      {R"({"event":11,"opt":1})", {R"(MuteSpeaker{"stream_id":"room-live","muted":true})"}},
      {R"({"event":12,"opt":1})", {R"(SubscribeMix{"mode":1})"}},
      {R"({"event":14,"data" : {"mode": "grid"},"z":"}"})", {}},  // Checked below.
      {R"({"event":17,"subscrib":1,"width":640,"height":360,"audio":1})", {}},
      {R"({"event":16,"opt":1,"url":"rtmp://m/1","muted":false})", {}},
      {R"({"event":25,"opt":35})", {R"(SetInsertionVolume{"id":"","volume":35})"}},
      {R"({"event":26})", {R"(GetInsertionVolume{"id":"","volume":0})"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.json);
    ASSERT_TRUE(frame.Request(c.json));
    const Texts ops = Journal({"MuteVideo", "MuteAudio", "MuteSpeaker", "SubscribeMix",
                               "SetInsertionVolume", "GetInsertionVolume"});
    EXPECT_EQ(ops, c.ops);
  }
  // (Each case's journal was read: the layout, subscription and share calls are checked here
  // by sending them again.)
  ASSERT_TRUE(frame.Request(R"({"event":14,"data" : {"mode": "grid"},"z":"}"})"));
  ASSERT_TRUE(frame.Request(R"({"event":15})"));
  const Texts layout = Journal({"SetLiveLayout", "GetLiveLayout"});
  ASSERT_EQ(layout.size(), 2u);
  EXPECT_NE(layout[0].find(R"({\"mode\":\"grid\"})"), std::string::npos) << layout[0];
  EXPECT_NE(layout[0].find(R"("room")"), std::string::npos) << layout[0];
  ASSERT_TRUE(frame.Request(R"({"event":16,"opt":1,"url":"rtmp://m/1","muted":false})"));
  const Texts insertion = Journal({"StartInsertion"});
  ASSERT_EQ(insertion.size(), 1u);
  EXPECT_NE(insertion[0].find("rtmp://m/1"), std::string::npos) << insertion[0];

  // 28 in camera mode with the video-source ratio: a guest gets the default publish stream, a
  // host the camera again.
  config->video_source_ratio = true;
  config->use_mode = true;
  ASSERT_TRUE(frame.Request(R"({"event":28,"role":2})"));
  EXPECT_EQ(Journal({"CreateStream"}).size(), 1u);
  ASSERT_TRUE(frame.Request(R"({"event":28,"role":2})"));
  EXPECT_TRUE(Journal().empty()) << "the same role does nothing";
  ASSERT_TRUE(frame.Request(R"({"event":28,"role":1})"));
  EXPECT_EQ(Journal({"CreateCameraStream", "SubscribeLive"}).size(), 2u);

  // 17 once the live subscription is free again (one at a time).
  ASSERT_TRUE(library_.ControlOk(R"({"cmd":"emit","callback":"OnSubscribeFailed",)"
                                 R"("args":{"ec":1,"stream_id":"room-live","video_type":7}})"));
  ASSERT_TRUE(frame.Request(R"({"event":17,"subscrib":1,"width":640,"height":360,"audio":1})"));
  EXPECT_EQ(Journal({"SubscribeLive"}).size(), 1u);

  // 21 false stops local media; 22 closes every stream.
  ASSERT_TRUE(frame.Request(R"({"event":22})"));
  ASSERT_TRUE(frame.Request(R"({"event":21,"status":0})"));
  EXPECT_FALSE(config->live_running);
}

// The page logs in to a room of the loopback server and plays a local media file (31), loops it
// (30), and ends the live (21 false): the stream stops and the file closes.
TEST_F(PageRequestsTest, LocalMediaEndsWithTheLive) {
  orvim::testing::RoomServerProcess server;
  ASSERT_TRUE(server.Start());
  const char* data = std::getenv("TARVO_TEST_DATA");
  std::string clip = std::string(data != nullptr ? data : ".") + "/mainframe_lod.mkv";
  for (char& c : clip) {
    if (c == '/') c = '\\';
  }
  ASSERT_TRUE(Exists(Wide(clip))) << clip;
  FrameScope frame;
  ASSERT_TRUE(frame.Request(Login(server.address(), 1)));
  ASSERT_TRUE(PumpUntil([&] { return frame->group_joins.load() >= 1; }, 20000));
  EXPECT_EQ(frame->m_strRoomId.empty(), false);

  const std::string id = CLocalFileList::Instance()->AddMedia(clip);
  ASSERT_TRUE(frame.Request(R"({"event":30,"status":1})"));
  ASSERT_TRUE(frame.Request(R"({"event":21,"status":1})"));
  ASSERT_TRUE(frame.Request(R"({"event":31,"md5":")" + id + R"(","status":1,"height":360})"));
  ASSERT_NE(frame->GetLodView(), nullptr);
  ASSERT_TRUE(PumpUntil([&] { return frame->GetSdk()->IsLocalMediaPlaying(); }, 20000));
  ASSERT_TRUE(PumpUntil([&] { return !frame.Values(35, "status").empty(); }, 20000));
  EXPECT_EQ(frame.Values(35, "status").front(), "1") << "playing";
  EXPECT_EQ(frame.Values(35, "md5").front(), id);

  ASSERT_TRUE(frame.Request(R"({"event":21,"status":0})"));
  EXPECT_FALSE(GetAppConfig()->live_running);
  EXPECT_FALSE(frame->GetSdk()->IsLocalMediaPlaying());
  AvFileDecodeEngine* engine = frame->GetLodView()->GetEngine();
  EXPECT_TRUE(engine == nullptr || !engine->HasFile()) << "the file is closed";
}

// A role change while the settings window is open (the page's request arrives inside its modal
// loop) closes it.
TEST_F(PageRequestsTest, RoleChangeClosesTheSettings) {
  FrameScope frame;
  frame->m_joinInfo.role = 1;
  DialogScript script({Until([&] { return FindThreadWindow(L"CSettingFrame") != nullptr; }),
                       Until([&] {
                         return frame.Page()->SendRequest("jsEvent", R"({"event":28,"role":2})");
                       })});
  ASSERT_TRUE(frame.Request(R"({"event":2,"opt":1})", "jsEvent", 30000));
  EXPECT_TRUE(PumpUntil([&] { return script.done(); }));
  EXPECT_EQ(FindThreadWindow(L"CSettingFrame"), nullptr);
  EXPECT_EQ(frame->m_joinInfo.role, 2);
  EXPECT_EQ(frame->m_pSettingFrame, nullptr);
}

// Requests 13 and 24 hand only absolute web addresses to the shell: files, paths and relative
// or empty addresses start nothing (the shell call is real for them here, and the stand-in
// program named by them would record a start).
TEST_F(PageRequestsTest, OnlyWebAddressesReachTheShell) {
  const std::wstring standin = ProgramFolder() + L"updater_standin.exe";
  const std::wstring runs = ProgramFolder() + L"updater_runs.txt";
  ASSERT_TRUE(Exists(standin));
  DeleteFileW(runs.c_str());
  FrameScope frame;
  frame->shell_open = true;
  std::string forward = Narrow(standin);
  for (char& c : forward) {
    if (c == '\\') c = '/';
  }
  const std::string refused[] = {"file:///" + forward, Narrow(standin), "updater_standin.exe",
                                 "", "\\\\localhost\\c$\\windows\\notepad.exe",
                                 "javascript:alert(1)"};
  for (const int number : {13, 24}) {
    for (const std::string& url : refused) {
      SCOPED_TRACE(url);
      cJSON* request = cJSON_CreateObject();
      cJSON_AddNumberToObject(request, "event", number);
      cJSON_AddStringToObject(request, "url", url.c_str());
      char* text = cJSON_PrintUnformatted(request);
      ASSERT_TRUE(frame.Request(text));
      cJSON_free(text);
      cJSON_Delete(request);
    }
  }
  PumpFor(1500);
  EXPECT_FALSE(Exists(runs)) << "a refused address started the stand-in";
  EXPECT_TRUE(frame->opened_addresses.empty());
  EXPECT_TRUE(frame.TakeRequests().empty()) << "13 and 24 post nothing";

  frame->shell_open = false;  // Under Wine an opened address goes to the host's browser.
  ASSERT_TRUE(frame.Request(R"({"event":13,"url":"https://example.com/help?a=1"})"));
  ASSERT_TRUE(frame.Request(R"({"event":24,"URL":"http://127.0.0.1:7777/x"})"));
  EXPECT_EQ(frame->opened_addresses,
            (Texts{"https://example.com/help?a=1", "http://127.0.0.1:7777/x"}));
}

// A storm of malformed requests from the page: random bytes, wrong types for every key of
// every request, deep nesting, megabyte texts, numbers out of range. The window keeps running,
// nothing opens, and the state stays within what the tables allow. The second halves that
// open windows or leave the room are held (their paths are tested above).
TEST_F(PageRequestsTest, StormOfMalformedRequests) {
  FrameScope frame;
  frame->held_requests = {1, 2, 5, 6, 8, 9, 10, 29};
  const StJoinInfo join_before = frame->m_joinInfo;
  std::mt19937 random(36);
  std::vector<std::string> storm;
  for (int i = 0; i < 200; ++i) {
    std::string bytes(random() % 64, '\0');
    for (char& c : bytes) c = static_cast<char>(1 + random() % 255);
    storm.push_back(bytes);
    storm.push_back("{\"event\":" + std::to_string(random() % 40) + "," + bytes + "}");
  }
  const char* const keys[] = {"opt", "id", "close", "unreadMsgCount", "status", "url", "data",
                              "subscrib", "width", "height", "audio", "muted", "result",
                              "streamId", "role", "md5", "x", "y", "volume", "pos"};
  const char* const values[] = {"null", "true", "\"1\"", "[]", "{}", "-2147483649", "1e300",
                                "-1", "[{\"resolution\":5}]", "{\"data\":{}}", "\"\""};
  for (int number = -2; number <= 40; ++number) {
    for (const char* key : keys) {
      for (const char* value : values) {
        storm.push_back("{\"event\":" + std::to_string(number) + ",\"" + key + "\":" + value + "}");
      }
    }
  }
  const std::string deep = std::string(5000, '[') + std::string(5000, ']');
  storm.push_back(deep);
  storm.push_back("{\"event\":14,\"data\":{\"a\":" + deep + "}}");
  storm.push_back("{\"event\":14,\"data\":" + std::string(900, '{') + std::string(900, '}') + "}");
  const std::string big(1 << 20, 'x');
  storm.push_back("{\"event\":3,\"id\":\"" + big + "\",\"opt\":1}");
  storm.push_back("{\"event\":13,\"url\":\"file:///" + big + "\"}");
  storm.push_back("{\"event\":19,\"data\":[{\"platform\":\"" + big + "\"}]}");
  storm.push_back("{\"event\":14,\"data\":{\"" + big + "\":1}}");
  storm.push_back("\"" + big + "\"");
  storm.push_back("{\"event\":2147483648}");
  storm.push_back("{\"event\":-2147483649,\"opt\":1}");

  CWebPage* page = frame.Page();
  ASSERT_NE(page, nullptr);
  for (size_t i = 0; i < storm.size(); ++i) {
    ASSERT_TRUE(page->SendRequest("jsEvent", storm[i]));
    if (i % 500 == 0) PumpFor(1);
  }
  ASSERT_TRUE(frame.Request(R"({"event":2,"opt":1})", "jsEvent", 120000));
  EXPECT_TRUE(IsWindow(frame.hwnd()));
  EXPECT_EQ(FindThreadWindow(L"CSettingFrame"), nullptr);
  EXPECT_FALSE(frame->m_bLiveMode);
  EXPECT_TRUE(frame->GetBrowser()->IsUsable());
  for (const StJsCommand& command : frame->m_jsCommands) {
    EXPECT_TRUE(command.kind == 3 || command.kind == 4 || command.kind == 11) << command.kind;
  }
  for (const std::string& url : frame->opened_addresses) {
    EXPECT_TRUE(page_request::IsWebAddress(url)) << url;
  }
  EXPECT_EQ(frame->m_joinInfo.confid, join_before.confid) << "no conference came";
  // Every post's number is the request's (0 for no object, saturated beyond 32 bits), and the
  // window still answers.
  for (const auto& post : frame.TakeRequests()) {
    EXPECT_TRUE((post.first >= -2 && post.first <= 40) || post.first == INT_MAX ||
                post.first == INT_MIN)
        << post.first;
  }
  ASSERT_TRUE(frame.Request(R"({"event":20,"status":1})"));
  EXPECT_TRUE(GetAppConfig()->guest_list);
}

}  // namespace
}  // namespace mainframe_test
