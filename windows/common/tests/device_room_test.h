#pragma once

// What the device windows' end-to-end tests stand on: the real SDK layer over the SDK stand-in,
// logged in and joined to a room of the loopback room server (the layer opens cameras only in a
// meeting), the stand-in's virtual devices in the settings, and an owner window for the window
// under test.

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "foundation/app_config.h"
#include "platform/orvim/testing/room_server_process.h"
#include "sdk/interactive/tests/sdk_test_support.h"
#include "windows/common/tests/dialog_test_support.h"

namespace dialog_test {

class DeviceRoomTest : public ::testing::Test {
 protected:
  // Points the settings at the stand-in's virtual camera (1280 x 720, upright, in camera mode
  // with no picture chosen), microphone and speaker; returns them for what a test adds.
  static StAppConfig* ConfigureVirtualDevices() {
    StAppConfig* config = GetAppConfig();
    config->camera_dev_id = "orvim-camera-1";
    config->camera_dev_name = "Orvim Virtual Camera";
    config->SetMicDevice("orvim-mic-1", "Orvim Virtual Microphone");
    config->SetSpeakerDevice("orvim-speaker-1", "Orvim Virtual Speaker");
    config->video_width = 1280;
    config->video_height = 720;
    config->rotation = 0;
    config->flip = 0;
    config->mirror = 0;
    config->use_mode = true;
    config->picture_path.clear();
    return config;
  }

  // Starts the room server, logs the layer in to `room` and waits until it is in the meeting;
  // the stand-in's cameras draw `tag` from then on. The last step of a SetUp: a failed
  // assertion here ends only this function.
  void JoinRoom(const std::string& room, int tag) {
    ASSERT_TRUE(library_.ok());
    ASSERT_TRUE(server_.Start());
    layer_ = std::make_unique<sdk_test::TestLayer>(&owner_);
    layer_->InitSDK();
    join_ = sdk_test::JoinAsMe(room, server_.address());
    layer_->Login(join_);
    ASSERT_TRUE(sdk_test::WaitUntil([&] { return layer_->IsInMeeting(); }));
    ASSERT_TRUE(library_.ControlOk(R"({"cmd":"tag","tag":)" + std::to_string(tag) + "}"));
  }

  void TearDown() override {
    layer_.reset();
    library_.ControlOk(R"({"cmd":"devices","action":"reset"})");
  }

  sdk_test::ConfigGuard config_;
  orvim::testing::OrvimLibrary library_;
  orvim::testing::RoomServerProcess server_;
  sdk_test::PageSink page_;
  sdk_test::RecordingOwner owner_;
  OwnerWindow owner_window_;
  std::unique_ptr<sdk_test::TestLayer> layer_;
  StJoinInfo join_;
};

}  // namespace dialog_test
