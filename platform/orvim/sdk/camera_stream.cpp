#include "platform/orvim/sdk/camera_stream.h"

#include <chrono>
#include <memory>
#include <utility>

#include "platform/orvim/common/media_pattern.h"
#include "platform/orvim/common/wire.h"
#include "platform/orvim/sdk/virtual_devices.h"

namespace orvim::sdk {

namespace {

class PictureFrame : public rtTarvo::rtc::VideoFrame {
 public:
  PictureFrame(uint8_t* data, int width, int height, int length) {
    description_.data = data;
    description_.width = width;
    description_.height = height;
    description_.length = length;
  }
  void GetDescription(rtTarvo::rtc::FrameDescription* out) override { *out = description_; }

 private:
  rtTarvo::rtc::FrameDescription description_;
};

}  // namespace

CameraStream::CameraStream(std::string stream_id, std::string device_id,
                           rtTarvo::rtc::VideoParams params, std::function<uint16_t()> tag,
                           Deliver deliver, const ThreadHooks& hooks)
    : stream_id_(std::move(stream_id)),
      device_id_(std::move(device_id)),
      params_(params),
      tag_(std::move(tag)),
      deliver_(std::move(deliver)) {
  ThreadHooks thread_hooks = hooks;
  const auto on_exit = hooks.on_exit;
  thread_hooks.on_exit = [this, on_exit] {
    finished_.store(true);
    if (on_exit) on_exit();
  };
  thread_ = StartThread(L"orvim: camera stream", thread_hooks, [this] { Run(); });
}

CameraStream::~CameraStream() { Join(); }

void CameraStream::Stop() {
  std::lock_guard<std::mutex> lock(mutex_);
  stopping_ = true;
  wake_.notify_all();
}

void CameraStream::Join() {
  Stop();
  if (thread_.joinable()) {
    if (thread_.get_id() == std::this_thread::get_id()) {
      thread_.detach();
    } else {
      thread_.join();
    }
  }
}

void CameraStream::Run() {
  VirtualCamera camera;
  if (!VirtualDevices::Instance().FindCamera(device_id_, &camera)) return;
  int width = params_.width;
  int height = params_.height;
  if (width <= 0 || height <= 0) {
    width = height = 0;
    for (const auto& size : camera.sizes) {
      if (size.width * size.height > width * height) {
        width = size.width;
        height = size.height;
      }
    }
    if (width <= 0 || height <= 0) {
      width = 640;
      height = 480;
    }
  }
  width = std::min(width, kMaxFrameWidth);
  height = std::min(height, kMaxFrameHeight);
  const size_t length = I420Size(width, height);
  std::unique_ptr<uint8_t[]> picture(new uint8_t[length]);

  using Clock = std::chrono::steady_clock;
  auto next = Clock::now();
  uint32_t counter = 0;
  int frames_since_check = 0;
  for (;;) {
    // The device's own settings may change while the stream runs; read them now and then.
    if (frames_since_check-- <= 0) {
      if (!VirtualDevices::Instance().FindCamera(device_id_, &camera)) return;  // Unplugged.
      frames_since_check = 5;
    }
    const int rate = camera.frame_rate > 0 ? camera.frame_rate
                                           : (params_.frame_rate > 0 ? params_.frame_rate : 30);
    {
      std::unique_lock<std::mutex> lock(mutex_);
      if (!camera.unpaced) {
        next += std::chrono::microseconds(1000000 / rate);
        const auto now = Clock::now();
        if (next < now - std::chrono::milliseconds(200)) next = now;  // Do not catch up after a stall.
        wake_.wait_until(lock, next, [this] { return stopping_; });
      }
      if (stopping_) return;
    }
    PictureMark mark;
    mark.tag = tag_();
    mark.camera = static_cast<uint8_t>(camera.number & 15);
    mark.counter = counter++ & 0xFFFFFF;
    DrawPictureMark(picture.get(), width, height, mark);
    PictureFrame frame(picture.get(), width, height, static_cast<int>(length));
    deliver_(stream_id_, &frame);
  }
}

}  // namespace orvim::sdk
