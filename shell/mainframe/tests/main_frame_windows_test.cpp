// The main window's child windows, run for real and closed by simulated clicks from inside
// their modal loops, and the log upload to the recording HTTP server.

#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "foundation/app_config.h"
#include "foundation/hub.h"
#include "platform/duilib/UIlib.h"
#include "shell/http/tests/recording_server.h"
#include "shell/mainframe/tests/main_frame_test_support.h"
#include "shell/startup/app_info.h"

namespace mainframe_test {
namespace {

using Texts = std::vector<std::string>;

[[maybe_unused]] ::testing::Environment* const g_environment =
    ::testing::AddGlobalTestEnvironment(new LibraryEnvironment);

std::string Utf8Text(const wchar_t* id) {
  const std::wstring text = DuiLib::CMutiLanSupport::Instance()->GetTextForId(id).c_str();
  const int n = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
  std::string out(n > 0 ? n - 1 : 0, '\0');
  if (n > 1) WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, &out[0], n, nullptr, nullptr);
  return out;
}

std::string ConfigText() {
  std::ifstream in(GetAppDataFolder() + "\\config.ini", std::ios::binary);
  std::stringstream all;
  all << in.rdbuf();
  return all.str();
}

class ChildWindowsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    StAppConfig* config = GetAppConfig();
    old_use_mode_ = config->use_mode.load();
    old_camera_ = config->camera_dev_id;
  }
  void TearDown() override {
    StAppConfig* config = GetAppConfig();
    config->use_mode = old_use_mode_;
    config->camera_dev_id = old_camera_;
  }
  bool old_use_mode_ = true;
  std::string old_camera_;
  ConfigFileScope config_file_{{}};  // Only the section's head: what a save writes shows.
};

// The settings window asked for the beauty settings (result 2): they open (one at a time)
// once the settings have closed; a second settings request while the window is open does
// nothing; the configuration is saved when both have closed. In picture mode the beauty
// settings only tell the page.
TEST_F(ChildWindowsTest, SettingsBeautyRequestAndSave) {
  StAppConfig* config = GetAppConfig();
  config->use_mode = true;
  FrameScope frame;
  bool second_returned = false;
  bool beauty_alone = false;
  {
    DialogScript script({ClickInDialog(L"CSettingFrame", {L"video_set_opt"}), Until([&] {
                           frame->ShowSettingFrame(0);  // Returns at once: one is open.
                           second_returned = true;
                           return true;
                         }),
                         ClickInDialog(L"CSettingFrame", {L"beauty_set_btn"}), Until([&] {
                           if (FindThreadWindow(L"CBeautySettingFrame") == nullptr) return false;
                           frame->ShowBeautySettingFrame();  // Returns at once: one is open.
                           beauty_alone = FindThreadWindow(L"CSettingFrame") == nullptr;
                           return true;
                         }),
                         ClickInDialog(L"CBeautySettingFrame", {L"closebtn"})});
    frame->ShowSettingFrame(0);
    EXPECT_TRUE(script.done());
  }
  EXPECT_TRUE(second_returned);
  EXPECT_TRUE(beauty_alone) << "the settings closed before the beauty settings opened";
  EXPECT_EQ(FindThreadWindow(L"CBeautySettingFrame"), nullptr);
  PumpFor(100);
  EXPECT_EQ(frame.Events(23).size(), 1u);
  EXPECT_NE(ConfigText().find("camera_dev_id="), std::string::npos) << "saved";
  EXPECT_EQ(FindThreadWindow(L"CSettingFrame"), nullptr);

  // Closed plainly, it opens nothing more; another request opens it again.
  {
    DialogScript script({ClickInDialog(L"CSettingFrame", {L"closebtn"})});
    frame->ShowSettingFrame(3);
    EXPECT_TRUE(script.done());
  }
  PumpFor(50);
  EXPECT_EQ(frame.Events(23).size(), 2u);
  EXPECT_TRUE(frame.Events(25).empty());

  config->use_mode = false;
  frame->ShowBeautySettingFrame();
  ASSERT_TRUE(PumpUntil([&] { return !frame.Events(25).empty(); }));
  EXPECT_EQ(frame.Values(25, "msg"), Texts{Utf8Text(L"s.pic.mat.error")});
  EXPECT_EQ(frame.Values(25, "status"), Texts{"0"});
}

// The network signal window over the main window's SDK layer: modal until its close button.
TEST_F(ChildWindowsTest, NetSignalWindow) {
  FrameScope frame;
  ASSERT_NE(frame->GetSdk(), nullptr);
  bool shown = false;
  {
    DialogScript script({Until([&] {
                           shown = FindThreadWindow(L"CNetSingalFrame") != nullptr;
                           return shown;
                         }),
                         ClickInDialog(L"CNetSingalFrame", {L"closebtn"})});
    frame->ShowNetSignalFrame();
    EXPECT_TRUE(script.done());
  }
  EXPECT_TRUE(shown);
  EXPECT_EQ(FindThreadWindow(L"CNetSingalFrame"), nullptr);
}

// A hub task posted from another thread while a modal window is open runs inside its loop,
// before the window closes.
TEST_F(ChildWindowsTest, HubTasksRunWhileAModalWindowIsOpen) {
  FrameScope frame;
  std::atomic<bool> ran{false};
  bool ran_while_open = false;
  {
    DialogScript script(
        {Until([&] { return FindThreadWindow(L"CSettingFrame") != nullptr; }), Until([&] {
           std::thread([&] {
             CxAdapter::Instance().GetUiThread().PostTask([&] { ran = true; });
           }).join();
           return true;
         }),
         Until([&] {
           ran_while_open = ran.load() && FindThreadWindow(L"CSettingFrame") != nullptr;
           return ran.load();
         }),
         ClickInDialog(L"CSettingFrame", {L"closebtn"})});
    frame->ShowSettingFrame(0);
    EXPECT_TRUE(script.done());
  }
  EXPECT_TRUE(ran_while_open);
}

int ThreadWindows(const wchar_t* class_name) {
  int count = 0;
  for (HWND found = FindThreadWindow(class_name); found != nullptr;
       found = FindThreadWindow(class_name)) {
    ++count;
    ShowWindow(found, SW_HIDE);  // Counted: the next search finds the next one.
  }
  return count;
}

// F11 with "dev_tools_enable" = 1: one developer tools window at a time for the page; it allows
// the next when it has ended. Without the setting, F11 does nothing.
TEST(DevToolsTest, F11TwiceOpensOneWindow) {
  {
    ConfigFileScope config({});
    FrameScope frame;
    SendMessageW(frame.hwnd(), WM_KEYDOWN, VK_F11, 0);
    PumpFor(50);
    EXPECT_EQ(FindThreadWindow(L"CDevToolsFrame"), nullptr);
  }
  ConfigFileScope config({"dev_tools_enable=1"});
  FrameScope frame;
  SendMessageW(frame.hwnd(), WM_KEYDOWN, VK_F11, 0);
  SendMessageW(frame.hwnd(), WM_KEYDOWN, VK_F11, 0);
  PumpFor(100);
  HWND tools = FindThreadWindow(L"CDevToolsFrame");
  ASSERT_NE(tools, nullptr);
  EXPECT_FALSE(GetAppConfig()->canOpenDevTools);
  EXPECT_EQ(ThreadWindows(L"CDevToolsFrame"), 1);
  PostMessageW(tools, WM_CLOSE, 0, 0);
  ASSERT_TRUE(PumpUntil([&] { return !IsWindow(tools); }));
  EXPECT_TRUE(GetAppConfig()->canOpenDevTools);
  SendMessageW(frame.hwnd(), WM_KEYDOWN, VK_F11, 0);
  PumpFor(100);
  HWND again = FindThreadWindow(L"CDevToolsFrame");
  ASSERT_NE(again, nullptr);
  PostMessageW(again, WM_CLOSE, 0, 0);
  EXPECT_TRUE(PumpUntil([&] { return !IsWindow(again); }));
}

// ---- log upload ----

bool LogButtonEnabled(FrameScope& frame) {
  DuiLib::CControlUI* button = frame->m_PaintManager.FindControl(L"logbtn");
  return button != nullptr && button->IsEnabled();
}

HWND WaitWindow() { return FindThreadWindow(L"CLogSendWaitFrame"); }

class LogUploadTest : public ::testing::Test {
 protected:
  void SetUp() override {
    base_ = http_testing::ServerBase();
    ASSERT_FALSE(base_.empty()) << "recording server not running";
    segment_ = http_testing::UniqueSegment("logs");
  }
  std::string base_, segment_;
};

// The upload under the report service's paths: the wait window shows and "logbtn" is disabled
// while it runs; its end hides the window, enables the button and tells the page.
TEST_F(LogUploadTest, SentLogs) {
  FrameScope frame;
  frame->report_base = base_ + "/" + segment_;
  frame->SendLogToServer();
  EXPECT_FALSE(LogButtonEnabled(frame));
  EXPECT_NE(WaitWindow(), nullptr);
  ASSERT_TRUE(PumpUntil([&] { return !frame.Events(25).empty(); }, 60000));
  EXPECT_EQ(frame.Values(25, "msg"), Texts{Utf8Text(L"s.log.send.sucess")});
  EXPECT_EQ(frame.Values(25, "status"), Texts{"1"});
  EXPECT_TRUE(LogButtonEnabled(frame));
  EXPECT_EQ(WaitWindow(), nullptr);
  http_testing::RecordedRequest upload;
  ASSERT_TRUE(http_testing::WaitForRequest(segment_, 0, &upload));
  EXPECT_EQ(upload.head.find("POST /" + segment_ + "/traupload "), 0u) << upload.head;
}

// An upload that cannot start fails at once and leaves the button enabled.
TEST_F(LogUploadTest, AnUploadThatCannotStart) {
  FrameScope frame;
  frame->report_base = "http://127.0.0.1:port";  // No address an upload can start with.
  frame->SendLogToServer();
  EXPECT_TRUE(LogButtonEnabled(frame));
  EXPECT_EQ(WaitWindow(), nullptr);
  ASSERT_TRUE(PumpUntil([&] { return !frame.Events(25).empty(); }));
  EXPECT_EQ(frame.Values(25, "msg"), Texts{Utf8Text(L"s.log.send.failed")});
  EXPECT_EQ(frame.Values(25, "status"), Texts{"0"});
}

// The uploader reports on its own thread: the window changes on the UI thread only.
TEST_F(LogUploadTest, AStatusFromAnotherThreadIsHandledOnTheUiThread) {
  FrameScope frame;
  frame->m_PaintManager.FindControl(L"logbtn")->SetEnabled(false);
  std::thread([&] { frame->OnReportStatus(2); }).join();
  EXPECT_FALSE(LogButtonEnabled(frame)) << "changed on the uploader's thread";
  ASSERT_TRUE(PumpUntil([&] { return LogButtonEnabled(frame); }));
  ASSERT_TRUE(PumpUntil([&] { return !frame.Events(25).empty(); }));
  EXPECT_EQ(frame.Values(25, "status"), Texts{"1"});
  // Status 1 (in progress) tells the page nothing.
  std::thread([&] { frame->OnReportStatus(1); }).join();
  PumpFor(100);
  EXPECT_EQ(frame.Events(25).size(), 1u);
}

}  // namespace
}  // namespace mainframe_test
