#include "canvas.h"

#include <chrono>
#include <cmath>
#include <cstring>
#include <new>
#include <system_error>
#include <utility>

#include "trastor_log.h"

namespace trastor {
namespace {

bool SideInRange(int side) { return side >= 1 && side <= kMaxSide; }

// Marks the calling thread as the one ticking a canvas for one scope.
class TickingScope {
 public:
  explicit TickingScope(std::atomic<DWORD>& ticking) : ticking_(ticking) {
    ticking_.store(GetCurrentThreadId());
  }
  ~TickingScope() { ticking_.store(0); }
  TickingScope(const TickingScope&) = delete;
  TickingScope& operator=(const TickingScope&) = delete;

 private:
  std::atomic<DWORD>& ticking_;
};

}  // namespace

Canvas::Canvas(std::string name) : name_(std::move(name)) {}

Canvas::~Canvas() {
  std::lock_guard<std::mutex> run(run_mutex_);
  StopLocked();
}

TrastorSource* Canvas::CreateSource(int kind, const char* name, int /*reserved*/) {
  if (kind != kSourcePull && kind != kSourcePush) {
    Log("canvas %s: source kind %d is not known", name_.c_str(), kind);
    return nullptr;
  }
  if (retired_.load()) return nullptr;
  std::lock_guard<std::mutex> lock(state_mutex_);
  try {
    sources_.push_back(std::make_unique<Source>(running_, kind, name ? name : "", width_, height_));
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
  return sources_.back().get();
}

void Canvas::Close() {
  if (IsTickingThread()) {
    Log("canvas %s: Close refused inside its own tick", name_.c_str());
    return;
  }
  std::lock_guard<std::mutex> run(run_mutex_);
  CloseLocked();
}

void Canvas::CloseLocked() {
  StopLocked();
  std::lock_guard<std::mutex> tick(tick_mutex_);
  std::lock_guard<std::mutex> lock(state_mutex_);
  for (auto& source : sources_) source->Close();
  window_ = nullptr;
  sink_ = nullptr;
  last_picture_ = {};
  picture_.Reset();
  scratch_.Reset();
  std::vector<std::uint8_t>().swap(i420_);
}

bool Canvas::SetSize(int width, int height) {
  if (!SideInRange(width) || !SideInRange(height)) {
    Log("canvas %s: size %dx%d refused", name_.c_str(), width, height);
    return false;
  }
  std::lock_guard<std::mutex> lock(state_mutex_);
  width_ = width;
  height_ = height;
  return true;
}

void Canvas::GetSize(int* width, int* height) {
  std::lock_guard<std::mutex> lock(state_mutex_);
  if (width) *width = width_;
  if (height) *height = height_;
}

bool Canvas::SetFrameRate(float frames_per_second) {
  if (!(frames_per_second > 0) || !std::isfinite(frames_per_second)) {
    Log("canvas %s: frame rate %f refused", name_.c_str(), frames_per_second);
    return false;
  }
  std::lock_guard<std::mutex> lock(state_mutex_);
  frame_interval_ms_ = 1000.0 / frames_per_second;
  return true;
}

void Canvas::SetWindow(HWND window) {
  std::lock_guard<std::mutex> lock(state_mutex_);
  window_ = window;
}

bool Canvas::SetViewSize(int width, int height) {
  // 0 x 0 stands for the window's client size.
  if (width < 0 || height < 0 || width > kMaxSide || height > kMaxSide) {
    Log("canvas %s: view size %dx%d refused", name_.c_str(), width, height);
    return false;
  }
  std::lock_guard<std::mutex> lock(state_mutex_);
  view_width_ = width;
  view_height_ = height;
  return true;
}

bool Canvas::SetOutputMode(int mode) {
  if (mode != kOutputWindow && mode != kOutputFrames) {
    Log("canvas %s: output mode %d refused", name_.c_str(), mode);
    return false;
  }
  std::lock_guard<std::mutex> lock(state_mutex_);
  mode_ = mode;
  return true;
}

bool Canvas::Start() {
  if (IsTickingThread()) {
    Log("canvas %s: Start refused inside its own tick", name_.c_str());
    return false;
  }
  std::lock_guard<std::mutex> run(run_mutex_);
  if (retired_.load()) return false;
  if (running_.load()) return true;
  // A thread that stopped itself from inside a sink ends on its own; wait for it.
  if (thread_.joinable()) thread_.join();
  {
    std::lock_guard<std::mutex> lock(thread_mutex_);
    stop_requested_ = false;
  }
  running_.store(true);
  try {
    thread_ = std::thread(&Canvas::EngineLoop, this);
  } catch (const std::system_error&) {
    running_.store(false);
    Log("canvas %s: no engine thread", name_.c_str());
    return false;
  }
  return true;
}

void Canvas::Stop() {
  if (IsTickingThread()) {
    // Inside a sink: the engine thread ends after this tick; whoever starts or stops the
    // canvas next joins it.
    running_.store(false);
    std::lock_guard<std::mutex> lock(thread_mutex_);
    stop_requested_ = true;
    thread_wake_.notify_all();
    return;
  }
  std::lock_guard<std::mutex> run(run_mutex_);
  StopLocked();
}

void Canvas::StopLocked() {
  running_.store(false);
  {
    std::lock_guard<std::mutex> lock(thread_mutex_);
    stop_requested_ = true;
  }
  thread_wake_.notify_all();
  if (thread_.joinable()) thread_.join();
}

bool Canvas::IsRunning() { return running_.load(); }

void Canvas::SetFrameOutSink(gsVideoFrameOutSink* sink) {
  std::lock_guard<std::mutex> lock(state_mutex_);
  sink_ = sink;
}

void Canvas::SetBackground(unsigned int argb) {
  std::lock_guard<std::mutex> lock(state_mutex_);
  background_ = argb;
}

bool Canvas::Retire() {
  if (IsTickingThread()) return false;
  std::lock_guard<std::mutex> run(run_mutex_);
  retired_.store(true);
  CloseLocked();
  return true;
}

bool Canvas::IsTickingThread() const { return ticking_thread_.load() == GetCurrentThreadId(); }

void Canvas::EngineLoop() {
  try {
    auto next = std::chrono::steady_clock::now();
    for (;;) {
      double interval_ms;
      {
        std::lock_guard<std::mutex> lock(state_mutex_);
        interval_ms = frame_interval_ms_;
      }
      unsigned serving;
      {
        std::unique_lock<std::mutex> lock(thread_mutex_);
        thread_wake_.wait_until(
            lock, next, [this] { return stop_requested_ || tick_requests_ != ticks_served_; });
        if (stop_requested_) break;
        serving = tick_requests_;
      }
      const auto started = std::chrono::steady_clock::now();
      Tick();
      {
        std::lock_guard<std::mutex> lock(thread_mutex_);
        ticks_served_ = serving;
      }
      thread_wake_.notify_all();
      next = started + std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                           std::chrono::duration<double, std::milli>(interval_ms));
      const auto now = std::chrono::steady_clock::now();
      if (next < now) next = now;  // An overrun tick is not made up for.
    }
  } catch (...) {
    running_.store(false);
    Log("canvas %s: engine thread failed", name_.c_str());
  }
  thread_wake_.notify_all();
}

void Canvas::Tick() {
  std::lock_guard<std::mutex> tick(tick_mutex_);
  TickingScope ticking(ticking_thread_);
  try {
    TickSettings settings;
    {
      std::lock_guard<std::mutex> lock(state_mutex_);
      settings.width = width_;
      settings.height = height_;
      settings.background = background_;
      settings.mode = mode_;
      settings.window = window_;
      settings.view_width = view_width_;
      settings.view_height = view_height_;
      settings.sink = sink_;
      settings.sources.reserve(sources_.size());
      for (auto& source : sources_) settings.sources.push_back(source.get());
    }
    const PictureView picture = Compose(settings);
    ++ticks_;
    last_picture_ = picture;
    if (picture) Output(settings, picture);
  } catch (const std::bad_alloc&) {
    Log("canvas %s: out of memory in a tick", name_.c_str());
  }
}

PictureView Canvas::Compose(const TickSettings& settings) {
  struct Layer {
    Placement placement;
    PictureView view;
  };
  std::vector<Layer> layers;
  layers.reserve(settings.sources.size());
  for (Source* source : settings.sources) {
    const Placement placement = source->GetPlacement();
    const PictureView view = source->Produce(settings.background, &pulls_);
    if (view) layers.push_back({placement, view});
  }
  // One picture that covers the whole canvas at its own size is the composed picture.
  if (layers.size() == 1) {
    const Layer& only = layers.front();
    if (only.placement.x == 0 && only.placement.y == 0 && only.placement.width == settings.width &&
        only.placement.height == settings.height && only.view.width == settings.width &&
        only.view.height == settings.height) {
      return only.view;
    }
  }
  if (!picture_.Resize(settings.width, settings.height)) return {};
  FillPicture(picture_.pixels(), picture_.width(), picture_.height(), picture_.stride(),
              settings.background);
  for (const Layer& layer : layers) {
    DrawScaled(layer.view, layer.placement.x, layer.placement.y, layer.placement.width,
               layer.placement.height, &picture_, &scratch_);
  }
  return picture_.View();
}

void Canvas::Output(const TickSettings& settings, const PictureView& picture) {
  if (settings.mode == kOutputFrames && settings.sink) {
    if (!ConvertToI420(picture, &i420_)) return;
    try {
      settings.sink->OnVideoFrameOut(this, kFormatI420, picture.width, picture.height, i420_.data(),
                                     static_cast<int>(i420_.size()), 0, 0);
    } catch (...) {
      Log("canvas %s: the frame-out sink threw", name_.c_str());
    }
    ++outputs_;
  } else if (settings.mode == kOutputWindow && settings.window) {
    DrawIntoWindow(settings, picture);
  }
}

void Canvas::DrawIntoWindow(const TickSettings& settings, const PictureView& picture) {
  if (picture.stride != picture.width * 4 || !IsWindow(settings.window)) return;
  int view_width = settings.view_width;
  int view_height = settings.view_height;
  if (view_width < 1 || view_height < 1) {
    RECT client{};
    if (!GetClientRect(settings.window, &client)) return;
    view_width = client.right - client.left;
    view_height = client.bottom - client.top;
  }
  if (view_width < 1 || view_height < 1) return;
  HDC dc = GetDC(settings.window);
  if (!dc) return;
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = picture.width;
  info.bmiHeader.biHeight = -picture.height;  // Top row first.
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  // Halftone only where it helps: when the picture is shrunk.
  const bool shrinking = view_width < picture.width || view_height < picture.height;
  const int previous_mode = SetStretchBltMode(dc, shrinking ? HALFTONE : COLORONCOLOR);
  if (shrinking) SetBrushOrgEx(dc, 0, 0, nullptr);
  const int lines = StretchDIBits(dc, 0, 0, view_width, view_height, 0, 0, picture.width,
                                  picture.height, picture.pixels, &info, DIB_RGB_COLORS, SRCCOPY);
  if (previous_mode) SetStretchBltMode(dc, previous_mode);
  ReleaseDC(settings.window, dc);
  if (lines > 0) ++draws_;
}

bool Canvas::RunTick(unsigned timeout_ms) {
  if (IsTickingThread() || retired_.load()) return false;
  if (!running_.load()) {
    Tick();
    return true;
  }
  unsigned id;
  {
    std::lock_guard<std::mutex> lock(thread_mutex_);
    id = ++tick_requests_;
  }
  thread_wake_.notify_all();
  std::unique_lock<std::mutex> lock(thread_mutex_);
  const auto served = [&] { return static_cast<int>(ticks_served_ - id) >= 0; };
  thread_wake_.wait_for(lock, std::chrono::milliseconds(timeout_ms),
                        [&] { return served() || stop_requested_; });
  return served();
}

bool Canvas::GetLastPicture(unsigned char* pixels, int capacity, int* width, int* height) {
  std::lock_guard<std::mutex> tick(tick_mutex_);
  const PictureView& last = last_picture_;
  if (width) *width = last.width;
  if (height) *height = last.height;
  const long long needed = static_cast<long long>(last.width) * last.height * 4;
  if (!last || !pixels || capacity < needed) return false;
  for (int row = 0; row < last.height; ++row) {
    std::memcpy(pixels + static_cast<std::size_t>(row) * last.width * 4,
                last.pixels + static_cast<std::size_t>(row) * last.stride, last.width * 4u);
  }
  return true;
}

TrastorSource* Canvas::GetSource(int index) {
  std::lock_guard<std::mutex> lock(state_mutex_);
  if (index < 0 || index >= static_cast<int>(sources_.size())) return nullptr;
  return sources_[index].get();
}

void Canvas::GetCounters(TrastorCanvasCounters* counters) const {
  counters->ticks = ticks_.load();
  counters->pulls = pulls_.load();
  counters->outputs = outputs_.load();
  counters->draws = draws_.load();
}

}  // namespace trastor
