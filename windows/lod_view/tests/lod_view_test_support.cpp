#include "windows/lod_view/tests/lod_view_test_support.h"

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <vector>

#include "devices/tests/file_decode_harness.h"
#include "sdk/interactive/sdk_interactive.h"

namespace lod_test {

int RecordingOwner::Count(int status, const std::string& md5) const {
  int n = 0;
  for (const Report& r : reports) {
    if (r.status == status && (md5.empty() || r.md5 == md5)) ++n;
  }
  return n;
}

void ProbeFrame::OnVideoFrame(int width, int height, const uint8_t* data, int size) {
  if (!IsPaused()) {
    std::lock_guard<std::mutex> lock(mutex_);
    frames_.push_back(morlun_test::FrameNumberOf(data, width, height));
  }
  CLodViewFrame::OnVideoFrame(width, height, data, size);
}

std::vector<int> ProbeFrame::Frames() {
  std::lock_guard<std::mutex> lock(mutex_);
  return frames_;
}

size_t ProbeFrame::FrameCount() {
  std::lock_guard<std::mutex> lock(mutex_);
  return frames_.size();
}

HWND CreateHidden(CLodViewFrame* frame) {
  return frame->Create(nullptr, L"CLodViewFrame", WS_POPUP, 0);
}

bool PumpUntil(const std::function<bool()>& done, int timeout_ms) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  while (true) {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    if (done()) return true;
    if (std::chrono::steady_clock::now() >= end) return false;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
  }
}

void PumpFor(int ms) { PumpUntil([] { return false; }, ms); }

AudioPuller::AudioPuller(CSdkInterActive* layer, int bytes, int interval_ms)
    : thread_([this, layer, bytes, interval_ms] {
        std::vector<uint8_t> buffer(static_cast<size_t>(bytes));
        while (running_.load()) {
          if (!layer->GenerateAudioFrame(buffer.data(), bytes)) ++false_answers_;
          long long non_zero = 0;
          for (uint8_t b : buffer) non_zero += b != 0;
          non_zero_ += non_zero;
          ++pulls_;
          std::this_thread::sleep_for(std::chrono::milliseconds(interval_ms));
        }
      }) {}

AudioPuller::~AudioPuller() {
  running_.store(false);
  thread_.join();
}

static std::string DataFolder() {
  const char* dir = std::getenv("TARVO_TEST_DATA");
  return dir ? dir : ".";
}

std::wstring WriteScratchFile(const std::string& name, const std::string& contents) {
  std::ofstream(DataFolder() + "/" + name, std::ios::binary) << contents;
  return morlun_test::DataPath(name);
}

std::string ReadDataFile(const std::string& name) {
  std::ifstream in(DataFolder() + "/" + name, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace lod_test
