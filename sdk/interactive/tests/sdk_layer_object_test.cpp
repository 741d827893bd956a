#include "sdk/interactive/sdk_interactive.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>
#include <vector>

#include "foundation/bus_topics.h"
#include "foundation/hub.h"
#include "platform/orvim/testing/orvim_library.h"
#include "tests/support/test_process.h"

namespace {

using namespace std::chrono_literals;

class FakeConsumer : public DevConsumerDelegate {
 public:
  void OnVideoDevResult(const std::string&, bool) override {}
  void OnPreviewFrame(const unsigned char*, int, int, int) override {}
  bool IsEffectsIdle() override { return true; }
  bool IsUsingVideoDev(const std::string&) override { return false; }
  int GetCaptureWidth() override { return 1280; }
  int GetCaptureHeight() override { return 720; }
};

void Publish(const char* topic, FakeConsumer* consumer) {
  CxBus::Call(GetMessageBus(), topic, static_cast<DevConsumerDelegate*>(consumer));
}

// The probe copied into a folder of its own, with or without a library beside it.
class ProbeFolder {
 public:
  explicit ProbeFolder(const wchar_t* name, const wchar_t* library = nullptr) {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    folder_ = std::wstring(temp) + L"tarvo_sdk_probe_" + std::to_wstring(GetCurrentProcessId()) + L"_" + name + L"\\";
    CreateDirectoryW(folder_.c_str(), nullptr);
    ok_ = CopyFileW(tarvo_test::ProgramBeside(L"sdk_layer_probe.exe").c_str(), Probe().c_str(), FALSE) != 0;
    if (library) {
      ok_ = ok_ && CopyFileW(tarvo_test::ProgramBeside(library).c_str(), (folder_ + L"OrvimSDK.dll").c_str(),
                             FALSE) != 0;
    }
  }
  ~ProbeFolder() {
    DeleteFileW(Probe().c_str());
    DeleteFileW((folder_ + L"OrvimSDK.dll").c_str());
    RemoveDirectoryW(folder_.c_str());
  }
  bool ok() const { return ok_; }
  std::wstring Probe() const { return folder_ + L"sdk_layer_probe.exe"; }
  // The probe's exit code in |mode|, or -1000 when it did not run.
  long Run(const wchar_t* mode) const { return RunProbe(Probe(), mode); }
  static long RunProbe(const std::wstring& probe, const wchar_t* mode) {
    DWORD code = 0;
    if (!tarvo_test::RunProgram(probe, mode, 60000, &code)) return -1000;
    return static_cast<long>(code);
  }

 private:
  std::wstring folder_;
  bool ok_ = false;
};

int SdkThreads(const orvim::testing::OrvimLibrary& library) {
  return orvim::GetInt(library.ControlJson(R"({"cmd":"threads"})").get(), "threads", -1);
}

TEST(SdkLayerObjectTest, LoadSdkTellsWhatItFound) {
  const ProbeFolder empty(L"empty");
  const ProbeFolder no_export(L"no_export", L"sdk_fixture_no_create\\OrvimSDK.dll");
  const ProbeFolder real(L"real", L"OrvimSDK.dll");
  ASSERT_TRUE(empty.ok() && no_export.ok() && real.ok());
  EXPECT_EQ(empty.Run(L"load"), 100 - 1);
  EXPECT_EQ(no_export.Run(L"load"), 100 - 2);
  EXPECT_EQ(real.Run(L"load"), 100);
  // Without a library every command that needs the SDK stays a no-op.
  EXPECT_EQ(empty.Run(L"init"), 0);
  EXPECT_EQ(no_export.Run(L"init"), 0);
}

TEST(SdkLayerObjectTest, InitBindsTheServiceOnceAndTheDestructorReleasesIt) {
  orvim::testing::OrvimLibrary library;
  ASSERT_TRUE(library.ok());
  const int threads = SdkThreads(library);
  {
    CSdkInterActive layer(nullptr);
    EXPECT_EQ(layer.GetService(), nullptr);
    layer.InitSDK();
    ASSERT_NE(layer.GetService(), nullptr);
    ASSERT_NE(layer.GetRtcEngine(), nullptr);
    rtTarvo::base::RTService* service = layer.GetService();
    EXPECT_EQ(layer.LoadSdk(), 0);
    EXPECT_EQ(layer.GetService(), service);  // Not created again.
    EXPECT_GT(SdkThreads(library), threads);
    EXPECT_TRUE(layer.OutofMeeting(true));
  }
  EXPECT_EQ(SdkThreads(library), threads);
}

TEST(SdkLayerObjectTest, TheConsumerCountFollowsTheList) {
  CSdkInterActive layer(nullptr);
  FakeConsumer a;
  FakeConsumer b;
  FakeConsumer never_added;
  struct Step {
    const char* topic;
    FakeConsumer* consumer;
    int count;
  } steps[] = {
      {kTopicAddDevConsumer, &a, 1},          {kTopicAddDevConsumer, &a, 2},
      {kTopicAddDevConsumer, &b, 3},          {kTopicDelDevConsumer, &a, 1},  // Both entries of a.
      {kTopicDelDevConsumer, &a, 1},          {kTopicDelDevConsumer, &never_added, 1},
      {kTopicDelDevConsumer, &b, 0},          {kTopicDelDevConsumer, &b, 0},
  };
  for (const Step& step : steps) {
    Publish(step.topic, step.consumer);
    EXPECT_EQ(layer.GetConsumerCount(), step.count);
  }
}

TEST(SdkLayerObjectTest, ASecondProcessOpensTheFourBlocksWhileTheLayerLives) {
  const std::wstring probe = tarvo_test::ProgramBeside(L"sdk_layer_probe.exe");
  EXPECT_NE(ProbeFolder::RunProbe(probe, L"blocks"), 0);  // No layer, no blocks.
  {
    CSdkInterActive layer(nullptr);
    EXPECT_EQ(ProbeFolder::RunProbe(probe, L"blocks"), 0);
  }
  EXPECT_NE(ProbeFolder::RunProbe(probe, L"blocks"), 0);
}

TEST(SdkLayerObjectTest, GenerateAudioFrameGivesSilence) {
  CSdkInterActive layer(nullptr);
  std::vector<uint8_t> buffer(1920, 0x55);
  EXPECT_TRUE(layer.GenerateAudioFrame(buffer.data(), static_cast<int>(buffer.size())));
  for (uint8_t b : buffer) ASSERT_EQ(b, 0);
  EXPECT_TRUE(layer.GenerateAudioFrame(nullptr, 1920));
}

TEST(SdkLayerObjectTest, DestroyingTheLayerDuringAStormOfCallbacksIsSafe) {
  orvim::testing::OrvimLibrary library;
  ASSERT_TRUE(library.ok());
  const int threads = SdkThreads(library);
  for (int round = 0; round < 3; ++round) {
    auto layer = std::make_unique<CSdkInterActive>(nullptr);
    layer->InitSDK();
    ASSERT_NE(layer->GetService(), nullptr);
    layer->GetService()->AddObserver(layer.get());
    std::atomic<bool> stop{false};
    std::vector<std::thread> storm;
    const char* requests[] = {
        R"({"cmd":"emit","callback":"OnVideoFrameYUVData","args":{"stream_id":"s","source_type":7,"width":640,"height":360},"wait":false})",
        R"({"cmd":"emit","callback":"OnJoinRoomSuccess","args":{"room_id":"r"},"wait":false})",
        R"({"cmd":"emit","callback":"OnLocalAudioState","args":{"value":5},"wait":false})",
        R"({"cmd":"emit","callback":"OnGetParticipantsSuccess","args":{"count":50},"wait":false})"};
    for (const char* request : requests) {
      storm.emplace_back([&library, &stop, request] {
        while (!stop.load()) library.Control(request);
      });
    }
    std::this_thread::sleep_for(200ms);
    layer.reset();
    std::this_thread::sleep_for(50ms);
    stop.store(true);
    for (std::thread& t : storm) t.join();
  }
  EXPECT_EQ(SdkThreads(library), threads);
}

}  // namespace
