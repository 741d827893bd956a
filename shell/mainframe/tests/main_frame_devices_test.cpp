// The main window's device reactions over the real SDK layer in a meeting on the loopback room
// server, with the SDK stand-in's device lists set through its control: device-interface
// removals and arrivals, unplugged audio endpoints, the device-lost notice and what follows it.

#include <windows.h>
#include <dbt.h>

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <mutex>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "foundation/app_config.h"
#include "foundation/bus.h"
#include "foundation/bus_topics.h"
#include "foundation/hub.h"
#include "platform/duilib/UIlib.h"
#include "platform/orvim/common/json.h"
#include "platform/orvim/testing/orvim_library.h"
#include "platform/orvim/testing/room_server_process.h"
#include "sdk/interactive/sdk_interactive.h"
#include "shell/mainframe/main_frame_ids.h"
#include "shell/mainframe/tests/main_frame_test_support.h"
#include "shell/startup/app_info.h"
#include "windows/device_notify/mm_notification_client.h"

namespace mainframe_test {
namespace {

using Texts = std::vector<std::string>;

std::string Narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }

std::string ConfigText() {
  std::ifstream in(GetAppDataFolder() + "\\config.ini", std::ios::binary);
  std::stringstream all;
  all << in.rdbuf();
  return all.str();
}

[[maybe_unused]] ::testing::Environment* const g_environment =
    ::testing::AddGlobalTestEnvironment(new LibraryEnvironment);

// The hot-plug publications seen on the bus: (microphone, identifier).
class HotplugListener {
 public:
  HotplugListener() {
    CxBus::Listen(subscriptions_, GetMessageBus(), kTopicDevHotplug, &HotplugListener::On, this);
  }
  std::vector<std::pair<bool, std::string>> Seen() {
    std::lock_guard<std::mutex> hold(lock_);
    return seen_;
  }

 private:
  void On(bool microphone, const std::string& id) {
    std::lock_guard<std::mutex> hold(lock_);
    seen_.emplace_back(microphone, id);
  }
  std::mutex lock_;
  std::vector<std::pair<bool, std::string>> seen_;
  CxSubscriptionList subscriptions_;
};

// A device-interface notification as Windows sends it.
LRESULT SendDeviceChange(HWND hwnd, WPARAM event, DWORD type = DBT_DEVTYP_DEVICEINTERFACE) {
  DEV_BROADCAST_DEVICEINTERFACE_W record{};
  record.dbcc_size = sizeof(record);
  record.dbcc_devicetype = type;
  return SendMessageW(hwnd, WM_DEVICECHANGE, event, reinterpret_cast<LPARAM>(&record));
}

// Done once the settings window shows the page of the option |name|.
DialogScript::Step SettingsOnPage(const wchar_t* name, bool* seen) {
  return [name, seen] {
    HWND settings = FindThreadWindow(L"CSettingFrame");
    if (settings == nullptr) return false;
    auto* window =
        reinterpret_cast<DuiLib::CWindowWnd*>(GetWindowLongPtrW(settings, GWLP_USERDATA));
    auto* dialog = dynamic_cast<DuiLib::WindowImplBase*>(window);
    if (dialog == nullptr) return false;
    auto* option = dynamic_cast<DuiLib::COptionUI*>(dialog->GetPaintManager()->FindControl(name));
    *seen = option != nullptr && option->IsSelected();
    return *seen;
  };
}

// Done once the device-lost notice shows; |check| runs then.
DialogScript::Step WhenNoticeShows(std::function<void()> check) {
  return [check] {
    if (FindThreadWindow(L"CDeviceFrame") == nullptr) return false;
    check();
    return true;
  };
}

class DeviceReactionsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(library_.ok());
    ASSERT_TRUE(server_.Start());
    Devices(R"({"cmd":"devices","action":"reset"})");
    StAppConfig* config = GetAppConfig();
    old_camera_ = {config->camera_dev_id, config->camera_dev_name};
    old_mic_ = {config->GetMicDevId(), config->GetMicDevName()};
    old_use_mode_ = config->use_mode.load();
    config->use_mode = true;
  }
  void TearDown() override {
    Devices(R"({"cmd":"devices","action":"reset"})");
    StAppConfig* config = GetAppConfig();
    config->camera_dev_id = old_camera_.first;
    config->camera_dev_name = old_camera_.second;
    config->SetMicDevice(old_mic_.first, old_mic_.second);
    config->use_mode = old_use_mode_;
  }

  void Devices(const std::string& request) { library_.Control(request); }

  // Joins the meeting and waits for the group join.
  void Join(FrameScope& frame) {
    ASSERT_TRUE(frame.JoinRoom(server_.address()));
  }

  int JournalCount(const char* op) {
    orvim::JsonPtr answer = library_.ControlJson(R"({"cmd":"journal"})");
    int count = 0;
    const cJSON* entry = nullptr;
    cJSON_ArrayForEach(entry, cJSON_GetObjectItemCaseSensitive(answer.get(), "calls")) {
      if (orvim::GetString(entry, "op") == op) ++count;
    }
    return count;
  }

  orvim::testing::OrvimLibrary library_;
  orvim::testing::RoomServerProcess server_;
  std::pair<std::string, std::string> old_camera_, old_mic_;
  bool old_use_mode_ = true;
  ConfigFileScope config_file_{{}};
};

// The configured camera unplugged while its stream runs: the notice; its "open settings" opens
// the settings on the video page. The hot-plug topic and the web log name the camera.
TEST_F(DeviceReactionsTest, TheConfiguredCameraGoneGivesTheNotice) {
  Devices(
      R"({"cmd":"devices","action":"add","kind":"camera","id":"usb-cam-2","name":"USB Cam 2"})");
  FrameScope frame;  // Reads the configuration file: the configured devices come after it.
  StAppConfig* config = GetAppConfig();
  config->camera_dev_id = "usb-cam-2";
  config->camera_dev_name = "USB Cam 2";
  Join(frame);
  frame->GetSdk()->Open_CurDev(true, false);
  ASSERT_TRUE(PumpUntil([&] { return JournalCount("CreateCameraStream") >= 1; }));
  SendDeviceChange(frame.hwnd(), DBT_DEVICEARRIVAL);  // The lists as they are now.
  ASSERT_EQ(frame->m_cameraList.size(), 2u);
  HotplugListener hotplug;
  frame->now_ms = 100000;

  Devices(R"({"cmd":"devices","action":"remove","id":"usb-cam-2"})");
  bool video_page = false;
  std::string camera_at_notice = "?";
  {
    DialogScript script({WhenNoticeShows([&] { camera_at_notice = config->camera_dev_id; }),
                         ClickInDialog(L"CDeviceFrame", {L"btn_ok"}),
                         SettingsOnPage(L"video_set_opt", &video_page),
                         ClickInDialog(L"CSettingFrame", {L"closebtn"})});
    SendDeviceChange(frame.hwnd(), DBT_DEVICEREMOVECOMPLETE);
    EXPECT_TRUE(script.done());
  }
  EXPECT_EQ(camera_at_notice, "") << "the lost camera is forgotten";
  EXPECT_TRUE(video_page);
  EXPECT_EQ(hotplug.Seen(), (std::vector<std::pair<bool, std::string>>{{false, "usb-cam-2"}}));
  PumpUntil([&] { return !frame.Events(30).empty(); });
  bool logged = false;
  for (const std::string& text : frame.Values(30, "text")) {
    logged = logged || text.find("dev hotplug id=usb-cam-2") != std::string::npos;
  }
  EXPECT_TRUE(logged);
  EXPECT_EQ(frame.Events(23).size(), 1u) << "the settings window opened";
}

// Microphones: a removal while others remain gives nothing; the last one gives the notice, and
// its "open settings" opens the audio page. An unconfigured device only logs, publishes the
// topic and re-creates the publish stream.
TEST_F(DeviceReactionsTest, MicrophonesAndUnconfiguredDevices) {
  Devices(
      R"({"cmd":"devices","action":"add","kind":"microphone","id":"usb-mic-2","name":"USB Mic 2"})");
  FrameScope frame;
  StAppConfig* config = GetAppConfig();
  config->SetMicDevice("usb-mic-2", "USB Mic 2");
  Join(frame);
  SendDeviceChange(frame.hwnd(), DBT_DEVICEARRIVAL);
  ASSERT_EQ(frame->m_micList.size(), 2u);
  HotplugListener hotplug;
  frame->now_ms = 100000;

  Devices(R"({"cmd":"devices","action":"remove","id":"usb-mic-2"})");
  SendDeviceChange(frame.hwnd(), DBT_DEVICEREMOVECOMPLETE);
  EXPECT_TRUE(hotplug.Seen().empty()) << "another microphone remains";
  EXPECT_EQ(frame->m_micList.size(), 1u);

  // An unconfigured device.
  const int publish_streams = JournalCount("CreateStream");
  frame->ShowDeviceChange({DeviceChangeRecord{0, "other-mic", "Other"}});
  EXPECT_EQ(hotplug.Seen(), (std::vector<std::pair<bool, std::string>>{{true, "other-mic"}}));
  EXPECT_TRUE(PumpUntil([&] { return JournalCount("CreateStream") > publish_streams; }));
  EXPECT_EQ(FindThreadWindow(L"CDeviceFrame"), nullptr);

  // The last microphone unplugged (the audio endpoint message) while it is configured.
  config->SetMicDevice("orvim-mic-1", "Orvim Virtual Microphone");
  bool audio_page = false;
  std::string mic_at_notice = "?";
  {
    DialogScript script({WhenNoticeShows([&] { mic_at_notice = config->GetMicDevId(); }),
                         ClickInDialog(L"CDeviceFrame", {L"btn_ok"}),
                         SettingsOnPage(L"audio_set_opt", &audio_page),
                         ClickInDialog(L"CSettingFrame", {L"closebtn"})});
    SendMessageW(frame.hwnd(), CM_DEVICE_UNPLUG_MSG, 0,
                 reinterpret_cast<LPARAM>(CopyDeviceId(L"orvim-mic-1")));
    EXPECT_TRUE(script.done());
  }
  EXPECT_EQ(mic_at_notice, "") << "the lost microphone is forgotten";
  EXPECT_TRUE(audio_page);
  EXPECT_TRUE(frame->m_micList.empty());
  EXPECT_EQ(hotplug.Seen().back(), (std::pair<bool, std::string>{true, "orvim-mic-1"}));
}

// Two notices within 2000 ms show once (the clock is the test's); an empty configured id
// matches nothing.
TEST_F(DeviceReactionsTest, NoticesAreSpacedAndAnEmptyIdMatchesNothing) {
  StAppConfig* config = GetAppConfig();
  FrameScope frame;
  int notices = 0;
  const auto show = [&](std::uint64_t now, const std::string& configured) {
    config->SetMicDevice(configured, "Mic");
    frame->now_ms = now;
    DialogScript script({Until([&] {
                           if (FindThreadWindow(L"CDeviceFrame") == nullptr) return false;
                           ++notices;
                           return true;
                         }),
                         ClickInDialog(L"CDeviceFrame", {L"closebtn"})});
    frame->ShowDeviceChange({DeviceChangeRecord{0, "usb-mic-9", "Mic"}});
    PumpFor(20);
  };
  show(50000, "usb-mic-9");
  EXPECT_EQ(notices, 1);
  show(51999, "usb-mic-9");
  EXPECT_EQ(notices, 1) << "within 2000 ms";
  show(52000, "usb-mic-9");
  EXPECT_EQ(notices, 2);
  show(90000, "");
  EXPECT_EQ(notices, 2) << "an empty configured id matched the device";
}

// The network level (timer 0xCFE): a quality of 3 is kept without a page event, 0 then sends
// "2", the same quality again nothing, 1 sends "1"; each change is logged to the page.
TEST_F(DeviceReactionsTest, NetLevel) {
  FrameScope frame;
  frame->net_qualities = {3, 0, 0, 1};
  for (int tick = 0; tick < 4; ++tick) frame.Tick(kTimerNetLevel);
  PumpFor(100);
  EXPECT_EQ(frame.Values(16, "netlevel"), (Texts{"2", "1"}));
  Texts logs;
  for (const std::string& text : frame.Values(30, "text")) {
    if (text.find("net status") != std::string::npos) logs.push_back(text);
  }
  EXPECT_EQ(logs,
            (Texts{"win_client:net status3", "win_client:net status0", "win_client:net status1"}));
}

// Odd messages: no header, another kind of header, an empty or missing endpoint text.
TEST_F(DeviceReactionsTest, OddMessagesChangeNothing) {
  FrameScope frame;
  SendDeviceChange(frame.hwnd(), DBT_DEVICEARRIVAL);
  const size_t cameras = frame->m_cameraList.size();
  const size_t mics = frame->m_micList.size();
  ASSERT_GT(mics, 0u);
  HotplugListener hotplug;
  frame->m_cameraList.clear();
  SendMessageW(frame.hwnd(), WM_DEVICECHANGE, DBT_DEVICEARRIVAL, 0);
  SendMessageW(frame.hwnd(), WM_DEVICECHANGE, DBT_DEVICEREMOVECOMPLETE, 0);
  SendDeviceChange(frame.hwnd(), DBT_DEVICEARRIVAL, DBT_DEVTYP_VOLUME);
  SendDeviceChange(frame.hwnd(), DBT_DEVICEREMOVECOMPLETE, DBT_DEVTYP_PORT);
  EXPECT_TRUE(frame->m_cameraList.empty()) << "only device-interface records count";
  SendMessageW(frame.hwnd(), CM_DEVICE_UNPLUG_MSG, 0, reinterpret_cast<LPARAM>(CopyDeviceId(L"")));
  SendMessageW(frame.hwnd(), CM_DEVICE_UNPLUG_MSG, 0, 0);
  SendMessageW(frame.hwnd(), CM_DEVICE_UNPLUG_MSG, 0,
               reinterpret_cast<LPARAM>(CopyDeviceId(L"no-such-endpoint")));
  EXPECT_EQ(frame->m_micList.size(), mics);
  EXPECT_TRUE(hotplug.Seen().empty());
  SendDeviceChange(frame.hwnd(), DBT_DEVICEARRIVAL);
  EXPECT_EQ(frame->m_cameraList.size(), cameras);
}

// The device test at the start of a live (timer 0xD00), skipped on its mask: then the
// configuration is saved, the default picture is set when none exists, the configured camera is
// opened in the meeting and the device lists are kept; a language publication reaches the page
// once, also after a second live.
TEST_F(DeviceReactionsTest, DeviceTestAtTheStartOfALive) {
  FrameScope frame;
  StAppConfig* config = GetAppConfig();
  config->camera_dev_id = "orvim-camera-1";
  config->camera_dev_name = "Orvim Virtual Camera";
  const std::string old_picture = config->picture_path;
  config->picture_path.clear();
  Join(frame);
  const int camera_streams = JournalCount("CreateCameraStream");
  for (int live = 1; live <= 2; ++live) {
    {
      DialogScript script({ClickInDialog(L"CMaskLayerFrame", {L"skip_check_btn"})});
      frame.Tick(kTimerLiveStart);
      EXPECT_TRUE(script.done()) << live;
    }
    EXPECT_EQ(config->picture_path,
              Narrow(DuiLib::CPaintManagerUI::GetInstancePath().c_str()) + "res\\defalutpic.jpg");
    EXPECT_NE(ConfigText().find("picture_path="), std::string::npos) << "saved";
    EXPECT_TRUE(PumpUntil([&] { return JournalCount("CreateCameraStream") > camera_streams; }));
    EXPECT_FALSE(frame->m_cameraList.empty());
    EXPECT_FALSE(frame->m_micList.empty());
    std::string language = "zh_TW";
    CxBus::Call(GetMessageBus(), kTopicLanguage, language);
    ASSERT_TRUE(PumpUntil([&] { return frame.Events(32).size() == static_cast<size_t>(live); }));
    PumpFor(100);
    EXPECT_EQ(frame.Events(32).size(), static_cast<size_t>(live)) << "one event a publication";
  }
  config->picture_path = old_picture;
}

}  // namespace
}  // namespace mainframe_test
