// The camera engine against the virtual cameras of TarvoTestDevices.dll, through real
// DirectShow graphs (Wine's Smart Tee and AVI Decompressor included).

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "devices/av_camera.h"
#include "devices/tests/test_devices/test_devices.h"
#include "devices/tests/test_devices/test_pattern.h"

namespace td = tarvo_test_devices;

namespace {

// Records what a camera engine reports; a hook may act inside OnFrame.
class CameraRecorder : public AvCameraSink {
 public:
  struct Frame {
    std::vector<uint8_t> data;
    int size, width, height, format;
  };

  void OnState(int state) override {
    std::lock_guard<std::mutex> lock(mutex_);
    states_.push_back(state);
    changed_.notify_all();
  }

  void OnFrame(const uint8_t* data, int size, int width, int height, int format) override {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      ++frame_count_;
      if (frames_.size() < keep) {
        frames_.push_back(Frame{std::vector<uint8_t>(data, data + size), size, width, height,
                                format});
      }
      changed_.notify_all();
    }
    if (hook) hook(frame_count_);
  }

  bool WaitFrames(int count, int timeout_ms = 5000) {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, std::chrono::milliseconds(timeout_ms),
                             [&] { return frame_count_ >= count; });
  }
  bool WaitStates(size_t count, int timeout_ms = 5000) {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, std::chrono::milliseconds(timeout_ms),
                             [&] { return states_.size() >= count; });
  }
  int frame_count() {
    std::lock_guard<std::mutex> lock(mutex_);
    return frame_count_;
  }
  std::vector<int> states() {
    std::lock_guard<std::mutex> lock(mutex_);
    return states_;
  }
  std::vector<Frame> frames() {
    std::lock_guard<std::mutex> lock(mutex_);
    return frames_;
  }
  void Clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    frames_.clear();
    frame_count_ = 0;
  }

  size_t keep = 6;
  std::function<void(int count)> hook;  // Streaming thread, after the frame is recorded.

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<int> states_;
  std::vector<Frame> frames_;
  int frame_count_ = 0;
};

class CameraTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(camera_.Init(), 1);
    camera_.SetSink(&recorder_);
  }
  void TearDown() override { camera_.Uninit(); }

  void OpenCamera(const wchar_t* name = td::kCameraName) {
    ASSERT_EQ(camera_.OpenDevice(name, L""), 1);
  }

  AvCamera camera_;
  CameraRecorder recorder_;
};

td::PatternFormat PatternOf(int format) {
  switch (format) {
    case kAvVideoI420: return td::PatternFormat::kI420;
    case kAvVideoYv12: return td::PatternFormat::kYv12;
    case kAvVideoYuy2: return td::PatternFormat::kYuy2;
    case kAvVideoUyvy: return td::PatternFormat::kUyvy;
    default: return td::PatternFormat::kRgb32;
  }
}

}  // namespace

TEST_F(CameraTest, ListsTheRegisteredCameras) {
  const int count = camera_.EnumDevices();
  ASSERT_GE(count, td::kCameraInstanceCount);
  std::vector<std::wstring> virtual_paths;
  for (int i = 0; i < count; ++i) {
    ASSERT_NE(camera_.GetDeviceName(i), nullptr);
    ASSERT_NE(camera_.GetDevicePath(i), nullptr);
    if (std::wstring(camera_.GetDeviceName(i)) == td::kCameraName) {
      virtual_paths.push_back(camera_.GetDevicePath(i));
    }
  }
  ASSERT_EQ(virtual_paths.size(), 2u);  // One name, two paths.
  EXPECT_NE(virtual_paths[0], virtual_paths[1]);
  EXPECT_NE(virtual_paths[0].find(L"@device:sw:"), std::wstring::npos);
  EXPECT_EQ(camera_.GetDeviceName(count), nullptr);
  EXPECT_EQ(camera_.GetDeviceName(-1), nullptr);
  EXPECT_EQ(camera_.GetDevicePath(count), nullptr);
}

TEST_F(CameraTest, OpensByNameByPathOrBoth) {
  std::vector<std::wstring> paths;
  for (int i = 0; i < camera_.EnumDevices(); ++i) {
    if (std::wstring(camera_.GetDeviceName(i)) == td::kCameraName) {
      paths.push_back(camera_.GetDevicePath(i));
    }
  }
  ASSERT_EQ(paths.size(), 2u);

  ASSERT_EQ(camera_.OpenDevice(td::kCameraName, L""), 1);  // The first of the two.
  EXPECT_TRUE(camera_.IsOpened());
  EXPECT_STREQ(camera_.GetOpenedName(), td::kCameraName);
  EXPECT_EQ(camera_.GetOpenedPath(), paths[0]);

  ASSERT_EQ(camera_.OpenDevice(nullptr, paths[1].c_str()), 1);
  EXPECT_STREQ(camera_.GetOpenedName(), td::kCameraName);
  EXPECT_EQ(camera_.GetOpenedPath(), paths[1]);

  ASSERT_EQ(camera_.OpenDevice(td::kCameraName, paths[1].c_str()), 1);
  EXPECT_EQ(camera_.GetOpenedPath(), paths[1]);

  struct Refused {
    const wchar_t* name;
    const wchar_t* path;
  } refused[] = {{L"No Such Camera", L""},
                 {td::kSilentCameraName, paths[0].c_str()},  // Name and path of two devices.
                 {L"", L""},
                 {nullptr, nullptr}};
  for (const Refused& r : refused) {
    EXPECT_EQ(camera_.OpenDevice(r.name, r.path), 0);
    EXPECT_FALSE(camera_.IsOpened());
    EXPECT_STREQ(camera_.GetOpenedName(), L"");
    EXPECT_STREQ(camera_.GetOpenedPath(), L"");
    EXPECT_EQ(camera_.GetCapCount(), 0);
  }
}

TEST_F(CameraTest, CapabilitiesFieldByField) {
  EXPECT_EQ(camera_.SelectCap(0), 0);  // Nothing open.
  OpenCamera();
  struct Expected {
    int width, height, interval, format;
    const wchar_t* name;
  } expected[] = {
      {640, 360, 333333, kAvVideoI420, L"I420"},  {1280, 720, 333333, kAvVideoYuy2, L"YUY2"},
      {320, 240, 333333, kAvVideoUyvy, L"UYVY"},  {320, 240, 666666, kAvVideoYv12, L"YV12"},
      {640, 480, 333333, kAvVideoNone, L"None"},  // RGB24's BI_RGB is no FOURCC of the table.
      {1280, 720, 333333, kAvVideoMjpg, L"MJPG"},
  };
  ASSERT_EQ(camera_.GetCapCount(), td::kCameraCapCount);
  for (int i = 0; i < td::kCameraCapCount; ++i) {
    EXPECT_EQ(camera_.GetCapWidth(i), expected[i].width) << i;
    EXPECT_EQ(camera_.GetCapHeight(i), expected[i].height) << i;
    EXPECT_EQ(camera_.GetCapFrameInterval(i), expected[i].interval) << i;
    EXPECT_EQ(camera_.GetCapFormat(i), expected[i].format) << i;
    EXPECT_STREQ(camera_.GetCapFormatName(i), expected[i].name) << i;
  }
  for (int outside : {-1, td::kCameraCapCount}) {
    EXPECT_EQ(camera_.GetCapWidth(outside), 0);
    EXPECT_EQ(camera_.GetCapHeight(outside), 0);
    EXPECT_EQ(camera_.GetCapFrameInterval(outside), 0);
    EXPECT_EQ(camera_.GetCapFormat(outside), 0);
    EXPECT_STREQ(camera_.GetCapFormatName(outside), L"None");
  }
  EXPECT_EQ(camera_.SelectCap(2), 1);
  EXPECT_EQ(camera_.GetSelectedCap(), 2);
  EXPECT_EQ(camera_.SelectCap(td::kCameraCapCount), 0);
  EXPECT_EQ(camera_.GetSelectedCap(), 0);
}

TEST_F(CameraTest, EveryYuvCapabilityDeliversThePatternFrameByFrame) {
  OpenCamera();
  for (int cap = 0; cap < 4; ++cap) {
    SCOPED_TRACE(cap);
    ASSERT_EQ(camera_.SelectCap(cap), 1);
    recorder_.Clear();
    ASSERT_EQ(camera_.Start(), 1);
    ASSERT_TRUE(recorder_.WaitFrames(4));
    camera_.Stop();
    const int width = camera_.GetCapWidth(cap);
    const int height = camera_.GetCapHeight(cap);
    const int format = camera_.GetCapFormat(cap);
    const td::PatternFormat pattern = PatternOf(format);
    const std::vector<CameraRecorder::Frame> frames = recorder_.frames();
    ASSERT_GE(frames.size(), 4u);
    std::vector<uint8_t> expected(td::PatternFrameSize(pattern, width, height));
    uint32_t previous = 0;
    for (size_t i = 0; i < frames.size(); ++i) {
      const CameraRecorder::Frame& frame = frames[i];
      ASSERT_EQ(frame.size, static_cast<int>(expected.size()));
      EXPECT_EQ(frame.width, width);
      EXPECT_EQ(frame.height, height);
      EXPECT_EQ(frame.format, format);
      const uint32_t number = td::ReadFrameNumber(pattern, width, height, frame.data.data());
      td::DrawPattern(pattern, width, height, number, expected.data());
      EXPECT_EQ(std::memcmp(frame.data.data(), expected.data(), expected.size()), 0)
          << "frame " << number;
      if (i > 0) {
        EXPECT_EQ(number, previous + 1);
      }
      previous = number;
    }
  }
  EXPECT_EQ(recorder_.states(), (std::vector<int>{1, 0, 1, 0, 1, 0, 1, 0}));
}

TEST_F(CameraTest, Rgb24ArrivesAsRgb32ThroughTheInsertedConverter) {
  OpenCamera();
  ASSERT_EQ(camera_.SelectCap(4), 1);
  ASSERT_EQ(camera_.Start(), 1);
  ASSERT_TRUE(recorder_.WaitFrames(3));
  EXPECT_GE(camera_.FilterCount(), 4);  // Device, tee, converter and sink.
  camera_.Stop();
  const std::vector<CameraRecorder::Frame> frames = recorder_.frames();
  ASSERT_GE(frames.size(), 3u);
  uint32_t previous = 0;
  for (size_t i = 0; i < frames.size(); ++i) {
    const CameraRecorder::Frame& frame = frames[i];
    EXPECT_EQ(frame.format, kAvVideoRgb32);
    EXPECT_EQ(frame.width, 640);
    EXPECT_EQ(frame.height, 480);
    ASSERT_EQ(frame.size, 640 * 480 * 4);
    for (int bar = 0; bar < td::kBarCount; ++bar) {
      const td::Rgb got = td::ReadRgb(td::PatternFormat::kRgb32, 640, 480, frame.data.data(),
                                      bar * 80 + 40, 240);
      const td::Rgb want = td::BarRgb(bar);
      EXPECT_NEAR(got.r, want.r, 2) << "bar " << bar;
      EXPECT_NEAR(got.g, want.g, 2) << "bar " << bar;
      EXPECT_NEAR(got.b, want.b, 2) << "bar " << bar;
    }
    const uint32_t number =
        td::ReadFrameNumber(td::PatternFormat::kRgb32, 640, 480, frame.data.data());
    if (i > 0) {
      EXPECT_EQ(number, previous + 1);
    }
    previous = number;
  }
}

// Wine has no MJPG decoder: the graph cannot be built, and the failure leaves nothing behind.
TEST_F(CameraTest, UndecodableFormatFailsAndLeavesAnEmptyGraph) {
  OpenCamera();
  ASSERT_EQ(camera_.SelectCap(5), 1);
  EXPECT_EQ(camera_.Start(), 0);
  EXPECT_FALSE(camera_.IsStarted());
  EXPECT_EQ(camera_.FilterCount(), 0);
  EXPECT_TRUE(recorder_.states().empty());
  ASSERT_EQ(camera_.SelectCap(0), 1);
  ASSERT_EQ(camera_.Start(), 1);
  EXPECT_TRUE(recorder_.WaitFrames(2));
}

TEST_F(CameraTest, StartStopCycles) {
  OpenCamera();
  for (int cycle = 0; cycle < 3; ++cycle) {
    recorder_.Clear();
    ASSERT_EQ(camera_.Start(), 1);
    EXPECT_TRUE(camera_.IsStarted());
    const int filters = camera_.FilterCount();
    EXPECT_GE(filters, 2);
    EXPECT_EQ(camera_.Start(), 1);  // Already started: nothing is rebuilt.
    EXPECT_EQ(camera_.FilterCount(), filters);
    EXPECT_TRUE(recorder_.WaitFrames(2));
    camera_.Stop();
    EXPECT_FALSE(camera_.IsStarted());
    EXPECT_EQ(camera_.FilterCount(), 0);
    camera_.Stop();  // A second Stop reports nothing.
  }
  EXPECT_EQ(recorder_.states(), (std::vector<int>{1, 0, 1, 0, 1, 0}));
}

TEST_F(CameraTest, StartNeedsAGraphADeviceAndASink) {
  EXPECT_EQ(camera_.Start(), 0);  // No device.
  OpenCamera();
  camera_.SetSink(nullptr);
  EXPECT_EQ(camera_.Start(), 0);
  EXPECT_EQ(camera_.FilterCount(), 0);
  camera_.Uninit();
  EXPECT_EQ(camera_.EnumDevices(), -1);
  EXPECT_EQ(camera_.OpenDevice(td::kCameraName, L""), 0);
  camera_.SetSink(&recorder_);
  EXPECT_EQ(camera_.Start(), 0);
  EXPECT_TRUE(recorder_.states().empty());
}

TEST_F(CameraTest, StopWaitsForAFrameCallbackInProgress) {
  OpenCamera();
  std::atomic<bool> inside{false};
  std::atomic<bool> finished{false};
  recorder_.hook = [&](int count) {
    if (count != 1) return;
    inside = true;
    Sleep(300);
    finished = true;
  };
  ASSERT_EQ(camera_.Start(), 1);
  while (!inside) Sleep(1);
  camera_.Stop();
  EXPECT_TRUE(finished);
}

TEST_F(CameraTest, StopInsideOnFrameEndsTheFramesAtOnce) {
  OpenCamera();
  std::atomic<bool> stopped{false};
  recorder_.hook = [&](int count) {
    if (count == 3) {
      camera_.Stop();  // Must neither wait for itself nor stop the graph on this thread.
      stopped = true;
    }
  };
  ASSERT_EQ(camera_.Start(), 1);
  ASSERT_TRUE(recorder_.WaitStates(2));
  // The stop state is recorded inside Stop(), before the hook sets its flag on the frame thread.
  for (int i = 0; i < 5000 && !stopped; ++i) Sleep(1);
  EXPECT_TRUE(stopped);
  EXPECT_FALSE(camera_.IsStarted());
  const int frames = recorder_.frame_count();
  Sleep(300);
  EXPECT_EQ(recorder_.frame_count(), frames);
  EXPECT_EQ(frames, 3);

  recorder_.hook = nullptr;
  recorder_.Clear();
  ASSERT_EQ(camera_.Start(), 1);  // Tears the old graph down first.
  EXPECT_TRUE(recorder_.WaitFrames(2));
  camera_.Stop();
  EXPECT_EQ(camera_.FilterCount(), 0);
  EXPECT_EQ(recorder_.states(), (std::vector<int>{1, 0, 1, 0}));
}

TEST_F(CameraTest, SilentCameraStartsAndStops) {
  OpenCamera(td::kSilentCameraName);
  ASSERT_EQ(camera_.Start(), 1);
  Sleep(200);
  camera_.Stop();
  EXPECT_EQ(recorder_.frame_count(), 0);
  EXPECT_EQ(recorder_.states(), (std::vector<int>{1, 0}));
}

TEST_F(CameraTest, UninitLeavesTheThreadWithoutAnApartment) {
  OpenCamera();
  ASSERT_EQ(camera_.Start(), 1);
  camera_.Uninit();
  // The engine's COM initialisation is balanced: the thread can join any apartment again.
  const HRESULT hr = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  EXPECT_EQ(hr, S_OK);
  if (SUCCEEDED(hr)) CoUninitialize();
}

TEST(CameraExportsTest, DestroyWhileStartedFromAnotherThread) {
  HMODULE morlun = LoadLibraryW(L"Morlun.dll");
  ASSERT_NE(morlun, nullptr);
  auto create = reinterpret_cast<AvCameraEngine*(__cdecl*)()>(
      reinterpret_cast<void*>(GetProcAddress(morlun, "Av_CreateCameraEngine")));
  auto destroy = reinterpret_cast<void(__cdecl*)(AvCameraEngine*)>(
      reinterpret_cast<void*>(GetProcAddress(morlun, "Av_DestroyCameraEngine")));
  ASSERT_NE(create, nullptr);
  ASSERT_NE(destroy, nullptr);
  destroy(nullptr);  // Accepted.

  CameraRecorder recorder;
  AvCameraEngine* engine = create();
  ASSERT_NE(engine, nullptr);
  engine->SetSink(&recorder);
  ASSERT_EQ(engine->Init(), 1);
  ASSERT_EQ(engine->OpenDevice(td::kCameraName, L""), 1);
  ASSERT_EQ(engine->Start(), 1);
  ASSERT_TRUE(recorder.WaitFrames(2));
  std::thread([&] { destroy(engine); }).join();
  const int frames = recorder.frame_count();
  Sleep(200);
  EXPECT_EQ(recorder.frame_count(), frames);
  EXPECT_EQ(recorder.states(), (std::vector<int>{1, 0}));
  FreeLibrary(morlun);
}

TEST(CameraExportsTest, EveryEngineHasACreateAndADestroy) {
  HMODULE morlun = LoadLibraryW(L"Morlun.dll");
  ASSERT_NE(morlun, nullptr);
  for (const char* kind : {"Camera", "Microphone", "Speaker"}) {
    const std::string create_name = std::string("Av_Create") + kind + "Engine";
    const std::string destroy_name = std::string("Av_Destroy") + kind + "Engine";
    auto create = reinterpret_cast<void*(__cdecl*)()>(
        reinterpret_cast<void*>(GetProcAddress(morlun, create_name.c_str())));
    auto destroy = reinterpret_cast<void(__cdecl*)(void*)>(
        reinterpret_cast<void*>(GetProcAddress(morlun, destroy_name.c_str())));
    ASSERT_NE(create, nullptr) << create_name;
    ASSERT_NE(destroy, nullptr) << destroy_name;
    void* engine = create();
    EXPECT_NE(engine, nullptr);
    destroy(engine);  // Never initialised: destroying still works.
    destroy(nullptr);
  }
  FreeLibrary(morlun);
}
