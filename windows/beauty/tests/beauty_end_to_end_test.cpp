// The beauty settings window over the real SDK layer, logged in and joined to a room of the
// loopback server, with the stand-in's virtual camera and the stand-in beauty process (which
// inverts the luma): a slider reaches the process's parameter block, the preview gets the
// processed frames, and a camera that goes away leaves the window usable.

#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "foundation/app_config.h"
#include "foundation/bus_topics.h"
#include "foundation/hub.h"
#include "platform/orvim/common/media_pattern.h"
#include "platform/orvim/testing/room_server_process.h"
#include "platform/orvim/testing/service_client.h"
#include "sdk/interactive/tests/sdk_test_support.h"
#include "share/beauty/beauty_param.h"
#include "share/video/video_render_ui.h"
#include "share/video/video_render_win.h"
#include "shell/registry/user_stream_list.h"
#include "windows/beauty/tests/beauty_test_support.h"

using namespace DuiLib;
using orvim::testing::RoomServerProcess;
using orvim::testing::ServiceClient;
using sdk_test::WaitUntil;

namespace {

// The camera frames of topic 22 (what the window's preview is given), on the cameras' threads:
// whether the camera's mark reads as drawn or only after inverting the luma.
class Previews {
 public:
  void OnYuv(const StYuvImage& image) {
    if (!image.data || image.width <= 0 || image.height <= 0) return;
    orvim::PictureMark mark;
    const bool plain = orvim::ReadPictureMark(image.data, image.width, image.height, &mark);
    const size_t luma = static_cast<size_t>(image.width) * image.height;
    std::vector<uint8_t> turned(image.data, image.data + luma + luma / 2);
    for (size_t i = 0; i < luma; ++i) turned[i] = static_cast<uint8_t>(255 - turned[i]);
    const bool inverted = orvim::ReadPictureMark(turned.data(), image.width, image.height, &mark);
    std::lock_guard<std::mutex> lock(mutex_);
    (plain ? plain_ : inverted ? inverted_ : other_)++;
  }
  int Inverted() {
    std::lock_guard<std::mutex> lock(mutex_);
    return inverted_;
  }
  int Plain() {
    std::lock_guard<std::mutex> lock(mutex_);
    return plain_;
  }

 private:
  std::mutex mutex_;  // Protects the counts.
  int plain_ = 0, inverted_ = 0, other_ = 0;
};

std::wstring TempFolder() {
  wchar_t folder[MAX_PATH + 1] = {};
  GetTempPathW(MAX_PATH + 1, folder);
  return folder;
}

// The newest parameter block the stand-in beauty process recorded; false when there is none.
bool LastParam(StBeautyParam* out) {
  WIN32_FIND_DATAW found{};
  HANDLE search = FindFirstFileW((TempFolder() + L"TarvoFaceBeauty_*.param").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return false;
  std::wstring newest;
  FILETIME time{};
  do {
    if (newest.empty() || CompareFileTime(&found.ftLastWriteTime, &time) > 0) {
      newest = found.cFileName;
      time = found.ftLastWriteTime;
    }
  } while (FindNextFileW(search, &found));
  FindClose(search);
  HANDLE file =
      CreateFileW((TempFolder() + newest).c_str(), GENERIC_READ,
                  FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD read = 0;
  const bool ok = ReadFile(file, out, sizeof(*out), &read, nullptr) && read == sizeof(*out);
  CloseHandle(file);
  return ok;
}

void ForgetParams() {
  WIN32_FIND_DATAW found{};
  HANDLE search = FindFirstFileW((TempFolder() + L"TarvoFaceBeauty_*.param").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    DeleteFileW((TempFolder() + found.cFileName).c_str());
  } while (FindNextFileW(search, &found));
  FindClose(search);
}

class BeautyEndToEndTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dialog_test::UseDialogLook({0, L"zh_CN"});
    beauty_test::ResetConfig();
    ForgetParams();
    CUserStreamList::Instance()->Replace({});
    ASSERT_TRUE(library_.ok());
    ASSERT_TRUE(server_.Start());
    StAppConfig* config = GetAppConfig();
    sdk_test::UseVirtualDevices(config);
    config->camera_on = true;
    config->use_mode.store(true);
    bob_ = std::make_unique<ServiceClient>(library_);
    layer_ = std::make_unique<sdk_test::TestLayer>(&owner_);
    layer_->InitSDK();
    join_ = sdk_test::JoinAsMe("room1", server_.address());
    CxBus::Listen(subscriptions_, GetMessageBus(), kTopicYuvData, &Previews::OnYuv, &previews_);
    ASSERT_TRUE(bob_->Join(server_.address(), "room1", "bob"));
    layer_->Login(join_);
    ASSERT_TRUE(WaitUntil([&] { return layer_->IsInMeeting(); }));
  }
  void TearDown() override {
    subscriptions_.RemoveAll();
    layer_.reset();
    bob_.reset();
    library_.ControlOk(R"({"cmd":"devices","action":"reset"})");
    CUserStreamList::Instance()->Replace({});
    ForgetParams();
  }

  sdk_test::ConfigGuard config_;
  orvim::testing::OrvimLibrary library_;
  RoomServerProcess server_;
  sdk_test::PageSink page_;
  sdk_test::RecordingOwner owner_;
  dialog_test::OwnerWindow owner_window_;
  Previews previews_;
  CxSubscriptionList subscriptions_;
  std::unique_ptr<ServiceClient> bob_;
  std::unique_ptr<sdk_test::TestLayer> layer_;
  StJoinInfo join_;
};

}  // namespace

TEST_F(BeautyEndToEndTest, ASliderReachesTheBeautyProcessAndThePreviewShowsItsFrames) {
  bool opened = false, unlocked = false, plain_before = false, reached = false, processed = false;
  std::wstring camera;
  StBeautyParam param{};
  EXPECT_TRUE(beauty_test::RunBeauty(
      owner_window_.hwnd(), &owner_,
      [&](CBeautySettingFrame* frame, HWND hwnd, CPaintManagerUI* pm) {
        auto* combo = setting_test::Get<CComboUI>(pm, L"camera_list_combo");
        camera = combo->GetText();
        // In a meeting the open asks for a new stream: the choice waits for its result.
        opened = WaitUntil([&] { return owner_.Published(); }, 20000);
        unlocked = setting_test::PumpUntil(
            [&] { return setting_test::Enabled(pm, L"camera_list_combo"); }, 10000);
        EXPECT_TRUE(frame->IsUsingVideoDev("orvim-camera-1"));
        // No beauty level yet: the preview gets the camera's frames as they are.
        plain_before =
            WaitUntil([&] { return previews_.Plain() >= 3; }) && previews_.Inverted() == 0;
        EXPECT_TRUE(beauty_test::DragSliderTo(hwnd, pm, L"whitening_level", 40));
        reached = setting_test::PumpUntil(
            [&] { return LastParam(&param) && param.beauty_level_6 == 40; }, 20000);
        // From the process's first answer on, the preview gets its frames.
        const int before = previews_.Inverted();
        processed =
            setting_test::PumpUntil([&] { return previews_.Inverted() >= before + 5; }, 20000);
        dialog_test::ClickOn(hwnd, pm, L"closebtn");
      },
      60000));
  EXPECT_EQ(camera, L"Orvim Virtual Camera");
  EXPECT_TRUE(opened);
  EXPECT_TRUE(unlocked);
  EXPECT_TRUE(plain_before);
  EXPECT_TRUE(reached);
  EXPECT_EQ(param.flags & 1, 1);
  EXPECT_TRUE(processed) << previews_.Plain() << " plain, " << previews_.Inverted() << " inverted";
  EXPECT_EQ(GetAppConfig()->beauty.whitening, 40);
}

TEST_F(BeautyEndToEndTest, TheVirtualCameraRemovedWhileTheWindowShowsIt) {
  int before = -1, after = -1;
  bool placeholder = false, combo_enabled = true;
  EXPECT_TRUE(beauty_test::RunBeauty(
      owner_window_.hwnd(), &owner_,
      [&](CBeautySettingFrame*, HWND hwnd, CPaintManagerUI* pm) {
        auto* combo = setting_test::Get<CComboUI>(pm, L"camera_list_combo");
        before = combo->GetCount();
        EXPECT_TRUE(WaitUntil([&] { return owner_.Published(); }, 20000));
        ASSERT_TRUE(
            library_.ControlOk(R"({"cmd":"devices","action":"remove","id":"orvim-camera-1"})"));
        // What the main window publishes when the device goes.
        CxBus::Call(GetMessageBus(), kTopicDevHotplug, false, std::string("orvim-camera-1"));
        after = combo->GetCount();
        placeholder = combo->GetText() == CMutiLanSupport::Instance()->GetTextForId(L"s.av.nodev");
        combo_enabled = combo->IsEnabled();
        setting_test::Pump(300);
        dialog_test::ClickOn(hwnd, pm, L"closebtn");
      },
      60000));
  EXPECT_EQ(before, 1);
  EXPECT_EQ(after, 1);
  EXPECT_TRUE(placeholder);
  EXPECT_FALSE(combo_enabled);
}
