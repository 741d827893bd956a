#include "source.h"

#include <cstring>
#include <new>
#include <utility>

#include "trastor_log.h"

namespace trastor {
namespace {

bool SideInRange(int side) { return side >= 1 && side <= kMaxSide; }

}  // namespace

Source::Source(const std::atomic<bool>& running, int kind, std::string name, int width, int height)
    : running_(running), kind_(kind), name_(std::move(name)) {
  placement_.width = width;
  placement_.height = height;
}

Source::~Source() = default;

void Source::SetPosition(int x, int y) {
  std::lock_guard<std::mutex> lock(mutex_);
  placement_.x = x;
  placement_.y = y;
}

bool Source::SetSize(int width, int height) {
  if (!SideInRange(width) || !SideInRange(height)) {
    Log("source %s: size %dx%d refused", name_.c_str(), width, height);
    return false;
  }
  std::lock_guard<std::mutex> lock(mutex_);
  placement_.width = width;
  placement_.height = height;
  return true;
}

void Source::ClearFrame() {
  std::lock_guard<std::mutex> lock(mutex_);
  has_pending_ = false;
  clear_requested_ = true;
}

bool Source::PushFrame(int format, int width, int height, const unsigned char* data, int length) {
  if (kind_ != kSourcePush || !running_.load() || !data || !SideInRange(width) ||
      !SideInRange(height)) {
    return false;
  }
  const long long needed = FrameLength(format, width, height);
  if (needed < 0 || length < needed) return false;
  std::lock_guard<std::mutex> lock(mutex_);
  if (closed_) return false;
  try {
    if (pending_.size() < static_cast<std::size_t>(needed)) pending_.resize(needed);
  } catch (const std::bad_alloc&) {
    return false;
  }
  std::memcpy(pending_.data(), data, static_cast<std::size_t>(needed));
  has_pending_ = true;
  pending_format_ = format;
  pending_width_ = width;
  pending_height_ = height;
  ++counters_.pushes;
  counters_.last_format = format;
  counters_.last_width = width;
  counters_.last_height = height;
  counters_.last_length = static_cast<int>(needed);
  return true;
}

bool Source::SetPlaceholderImage(const wchar_t* path) {
  auto picture = std::make_shared<Picture>();
  const bool loaded = LoadPictureFile(path, picture.get());
  if (!loaded) {
    Log("source %s: placeholder picture cannot be read", name_.c_str());
    picture.reset();
  }
  std::lock_guard<std::mutex> lock(mutex_);
  if (closed_) return false;
  placeholder_ = std::move(picture);
  return loaded;
}

void Source::SetCaptureSink(gsDsCaptureSink* sink) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!closed_) sink_ = sink;
}

Placement Source::GetPlacement() {
  std::lock_guard<std::mutex> lock(mutex_);
  return placement_;
}

PictureView Source::Produce(std::uint32_t background, std::atomic<long long>* pulls) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (closed_) return {};
    if (clear_requested_) {
      clear_requested_ = false;
      frame_valid_ = false;
      front_valid_ = false;
    }
  }
  return kind_ == kSourcePull ? ProducePulled(background, pulls) : ProducePushed();
}

PictureView Source::ProducePulled(std::uint32_t background, std::atomic<long long>* pulls) {
  gsDsCaptureSink* sink;
  int width;
  int height;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    sink = sink_;
    width = placement_.width;
    height = placement_.height;
  }
  DibSurface& back = surfaces_[1 - front_];
  if (sink && width > 0 && height > 0 && back.Resize(width, height)) {
    FillPicture(back.pixels(), width, height, width * 4, background);
    bool taken = false;
    ++*pulls;
    try {
      taken = sink->OnCaptureFrame(this, back.dc(), width, height);
    } catch (...) {
      Log("source %s: the capture sink threw", name_.c_str());
    }
    GdiFlush();
    if (taken) {
      front_ = 1 - front_;
      front_valid_ = true;
    }
  }
  return front_valid_ ? surfaces_[front_].View() : PictureView{};
}

PictureView Source::ProducePushed() {
  int format = 0;
  int width = 0;
  int height = 0;
  bool fresh = false;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (has_pending_) {
      pending_.swap(converting_);
      has_pending_ = false;
      fresh = true;
      format = pending_format_;
      width = pending_width_;
      height = pending_height_;
    }
    shown_placeholder_ = placeholder_;
  }
  if (fresh) frame_valid_ = ConvertFrame(format, width, height, converting_.data(), &frame_);
  if (frame_valid_) return frame_.View();
  if (shown_placeholder_) return shown_placeholder_->View();
  return {};
}

void Source::Close() {
  std::lock_guard<std::mutex> lock(mutex_);
  closed_ = true;
  sink_ = nullptr;
  has_pending_ = false;
  placeholder_.reset();
  shown_placeholder_.reset();
  std::vector<std::uint8_t>().swap(pending_);
  std::vector<std::uint8_t>().swap(converting_);
  frame_.Reset();
  frame_valid_ = false;
  surfaces_[0].Reset();
  surfaces_[1].Reset();
  front_valid_ = false;
}

bool Source::IsClosed() {
  std::lock_guard<std::mutex> lock(mutex_);
  return closed_;
}

void Source::GetCounters(TrastorSourceCounters* counters) {
  std::lock_guard<std::mutex> lock(mutex_);
  *counters = counters_;
}

}  // namespace trastor
