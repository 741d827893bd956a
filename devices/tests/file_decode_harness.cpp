#include "devices/tests/file_decode_harness.h"

#include <windows.h>

#include <chrono>
#include <cstdlib>
#include <fstream>

namespace morlun_test {

int FrameNumberOf(const uint8_t* data, int width, int height) {
  int number = 0;
  const int row = height / 2;
  for (int bit = 0; bit < 8; ++bit) {
    const int x = (40 * bit + 20) * width / 320;
    if (data[row * width + x] > 128) number |= 1 << bit;
  }
  return number;
}

static std::string DataFolder() {
  const char* dir = std::getenv("TARVO_TEST_DATA");
  return dir ? dir : ".";
}

std::wstring DataPath(const std::string& name) {
  const std::string path = DataFolder() + "/" + name;
  std::wstring wide(path.size(), L'\0');
  int n = MultiByteToWideChar(CP_UTF8, 0, path.c_str(), static_cast<int>(path.size()), &wide[0],
                              static_cast<int>(wide.size()));
  wide.resize(n > 0 ? n : 0);
  return wide;
}

int HostFrameCount(const std::string& name) {
  std::ifstream in(DataFolder() + "/" + name + ".frames");
  int count = -1;
  in >> count;
  return count;
}

TestPlayer::TestPlayer() : engine_(Av_CreateFileDecodeEngine(this)) {}

TestPlayer::~TestPlayer() { DestroyEngine(); }

void TestPlayer::DestroyEngine() {
  StopPulling();
  Av_DestroyFileDecodeEngine(engine_);
  engine_ = nullptr;
}

AvFileDecodeEngine* TestPlayer::ReleaseEngine() {
  StopPulling();
  AvFileDecodeEngine* engine = engine_;
  engine_ = nullptr;
  return engine;
}

void TestPlayer::Configure(int box_width, int box_height, int loops) {
  engine_->SetSink(this);
  engine_->SetMaxVideoSize(box_width, box_height);
  engine_->SetAudioOutput(1, 1, 48000, 480);
  engine_->SetVideoOutput(0, 0, 0, 0.0);
  engine_->SetLoopCount(loops);
}

bool TestPlayer::OpenAndStart(const std::string& name, bool pre_read) {
  if (engine_->OpenFile(DataPath(name).c_str(), pre_read) != 0) return false;
  return engine_->Reset();
}

void TestPlayer::StartPulling(int interval_ms) {
  StopPulling();
  pulling_.store(true);
  puller_ = std::thread([this, interval_ms] {
    std::vector<uint8_t> buffer(1920);
    while (pulling_.load()) {
      const bool paused = engine_->IsPaused();
      std::fill(buffer.begin(), buffer.end(), 0x5A);
      engine_->PullAudio(buffer.data(), static_cast<unsigned>(buffer.size()));
      long long non_silent = 0;
      for (uint8_t b : buffer) non_silent += b != 0;
      non_silent_ += non_silent;
      if (paused && engine_->IsPaused()) non_silent_paused_ += non_silent;
      if (interval_ms > 0) {
        Sleep(interval_ms);
      } else {
        Sleep(0);
      }
    }
  });
}

void TestPlayer::StopPulling() {
  pulling_.store(false);
  if (puller_.joinable()) puller_.join();
}

bool TestPlayer::PumpUntil(const std::function<bool()>& done, int timeout_ms) {
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

void TestPlayer::PumpFor(int ms) {
  PumpUntil([] { return false; }, ms);
}

int TestPlayer::WaitFinished(int timeout_ms) {
  int code = -1;
  PumpUntil(
      [&] {
        for (const Notice& n : notices_) {
          if (n.kind == 2) {
            code = n.b;
            return true;
          }
        }
        return false;
      },
      timeout_ms);
  return code;
}

std::vector<int> TestPlayer::Frames() {
  std::lock_guard<std::mutex> lock(mutex_);
  return frames_;
}

int TestPlayer::FrameCount() {
  std::lock_guard<std::mutex> lock(mutex_);
  return static_cast<int>(frames_.size());
}

void TestPlayer::LastFrameSize(int* width, int* height, int* size) {
  std::lock_guard<std::mutex> lock(mutex_);
  *width = last_width_;
  *height = last_height_;
  *size = last_size_;
}

std::vector<std::pair<int, int>> TestPlayer::States() const {
  std::vector<std::pair<int, int>> states;
  for (const Notice& n : notices_) {
    if (n.kind == 3) states.emplace_back(n.a, n.b);
  }
  return states;
}

void TestPlayer::OnVideoFrame(int width, int height, const uint8_t* data, int size) {
  const int number = FrameNumberOf(data, width, height);
  {
    std::lock_guard<std::mutex> lock(mutex_);
    frames_.push_back(number);
    last_width_ = width;
    last_height_ = height;
    last_size_ = size;
  }
  if (hook_) hook_(number);
}

void TestPlayer::OnAvFileDecodePosChanged(AvFileDecodeEngine*, bool manual, int pos) {
  notices_.push_back({1, manual ? 1 : 0, pos});
}

void TestPlayer::OnAvFileDecodeFinished(AvFileDecodeEngine*, bool manual, int code) {
  notices_.push_back({2, manual ? 1 : 0, code});
}

void TestPlayer::OnAvFileDecodeStateChanged(AvFileDecodeEngine*, int state, int code) {
  notices_.push_back({3, state, code});
}

// OutputDebugStringA raises DBG_PRINTEXCEPTION_C with the text's length and address; a
// vectored handler sees it first and lets it go on to the debugger (or nowhere).
namespace {
std::mutex g_capture_mutex;
std::string* g_captured = nullptr;  // Protected by |g_capture_mutex|.

LONG CALLBACK CaptureDebugOutput(EXCEPTION_POINTERS* pointers) {
  const EXCEPTION_RECORD* record = pointers->ExceptionRecord;
  if (record->ExceptionCode == DBG_PRINTEXCEPTION_C && record->NumberParameters >= 2) {
    const char* text = reinterpret_cast<const char*>(record->ExceptionInformation[1]);
    const size_t length = static_cast<size_t>(record->ExceptionInformation[0]);
    std::lock_guard<std::mutex> lock(g_capture_mutex);
    if (g_captured && text && length > 0) g_captured->append(text, length - 1);
  }
  return EXCEPTION_CONTINUE_SEARCH;
}
}  // namespace

DebugOutputCapture::DebugOutputCapture() {
  {
    std::lock_guard<std::mutex> lock(g_capture_mutex);
    g_captured = new std::string;
  }
  handler_ = AddVectoredExceptionHandler(1, CaptureDebugOutput);
}

DebugOutputCapture::~DebugOutputCapture() {
  RemoveVectoredExceptionHandler(handler_);
  std::lock_guard<std::mutex> lock(g_capture_mutex);
  delete g_captured;
  g_captured = nullptr;
}

std::string DebugOutputCapture::Text() {
  std::lock_guard<std::mutex> lock(g_capture_mutex);
  return g_captured ? *g_captured : std::string();
}

}  // namespace morlun_test
