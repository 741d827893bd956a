// One mirrored 1280 x 720 camera frame through the SDK layer's local frame path (transform,
// camera block, the publish stream's sender, the 640 x 360 preview on the bus to one listener)
// against the same libyuv and copy steps called directly into preallocated buffers.
#include <benchmark/benchmark.h>
#include <libyuv/planar_functions.h>
#include <libyuv/scale.h>

#include <cstring>
#include <vector>

#include "foundation/app_config.h"
#include "foundation/bus_topics.h"
#include "foundation/hub.h"
#include "sdk/interactive/sdk_interactive.h"

namespace {

constexpr int kWidth = 1280;
constexpr int kHeight = 720;
constexpr int kPreviewWidth = 640;
constexpr int kPreviewHeight = 360;
constexpr size_t kFrameBytes = kWidth * kHeight * 3 / 2;
constexpr size_t kPreviewBytes = kPreviewWidth * kPreviewHeight * 3 / 2;

std::vector<uint8_t> MakeFrame() {
  std::vector<uint8_t> frame(kFrameBytes);
  for (size_t i = 0; i < frame.size(); ++i) frame[i] = static_cast<uint8_t>(i * 7);
  return frame;
}

class CameraFrame : public rtTarvo::rtc::VideoFrame {
 public:
  explicit CameraFrame(std::vector<uint8_t>* pixels) : pixels_(pixels) {}
  void GetDescription(rtTarvo::rtc::FrameDescription* out) override {
    out->width = kWidth;
    out->height = kHeight;
    out->length = static_cast<int32_t>(pixels_->size());
    out->data = pixels_->data();
  }

 private:
  std::vector<uint8_t>* pixels_;
};

// The SDK's sender copies the picture during the call.
class CopyingSender : public rtTarvo::rtc::FrameSender {
 public:
  void SendFrame(rtTarvo::rtc::VideoFrame* frame) override {
    rtTarvo::rtc::FrameDescription d;
    frame->GetDescription(&d);
    SendI420(d.data, d.width, d.height);
  }
  void SendI420(const uint8_t* data, int width, int height) override {
    std::memcpy(copy.data(), data, static_cast<size_t>(width) * height * 3 / 2);
  }
  std::vector<uint8_t> copy = std::vector<uint8_t>(kFrameBytes);
};

// The device window: copies the preview, as a window that keeps it does.
struct PreviewWindow {
  void OnYuv(const StYuvImage& image) { std::memcpy(copy.data(), image.data, static_cast<size_t>(image.size)); }
  std::vector<uint8_t> copy = std::vector<uint8_t>(kPreviewBytes);
};

class Consumer : public DevConsumerDelegate {
 public:
  void OnVideoDevResult(const std::string&, bool) override {}
  void OnPreviewFrame(const unsigned char*, int, int, int) override {}
  bool IsEffectsIdle() override { return true; }
  bool IsUsingVideoDev(const std::string&) override { return true; }
  int GetCaptureWidth() override { return kPreviewWidth; }
  int GetCaptureHeight() override { return kPreviewHeight; }
};

class BenchLayer : public CSdkInterActive {
 public:
  using CSdkInterActive::AppendLocalVideoStream;
  using CSdkInterActive::CSdkInterActive;
};

void BM_LayerLocalFrame(benchmark::State& state) {
  GetAppConfig()->mirror = 1;
  GetAppConfig()->use_mode.store(true);
  std::vector<uint8_t> pixels = MakeFrame();
  CameraFrame frame(&pixels);
  CopyingSender sender;
  PreviewWindow window;
  Consumer consumer;
  BenchLayer layer(nullptr);
  LocalVideoStream record;
  record.deviceId = "camera";
  record.streamId = "camera-stream";
  record.bpublish = true;
  layer.AppendLocalVideoStream(record);
  layer.AddSender(0, "publish", &sender);
  layer.AddDevConsumer(&consumer);
  CxSubscriptionList subscriptions;
  CxBus::Listen(subscriptions, GetMessageBus(), kTopicYuvData, &PreviewWindow::OnYuv, &window);
  for (auto _ : state) layer.LocalVideoFrameHandle("camera-stream", &frame);
  subscriptions.RemoveAll();
  layer.DelDevConsumer(&consumer);
  layer.DelSender(0);
  GetAppConfig()->mirror = 0;
  benchmark::DoNotOptimize(window.copy.data());
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(kFrameBytes));
}
BENCHMARK(BM_LayerLocalFrame)->Unit(benchmark::kMicrosecond);

void BM_DirectSteps(benchmark::State& state) {
  std::vector<uint8_t> pixels = MakeFrame();
  std::vector<uint8_t> work(kFrameBytes);
  std::vector<uint8_t> block(kFrameBytes + 16);
  std::vector<uint8_t> sent(kFrameBytes);
  std::vector<uint8_t> preview(kPreviewBytes);
  std::vector<uint8_t> window(kPreviewBytes);
  const int cw = kWidth / 2;
  const int ch = kHeight / 2;
  for (auto _ : state) {
    uint8_t* src = pixels.data();
    uint8_t* dst = work.data();
    libyuv::I420Mirror(src, kWidth, src + kWidth * kHeight, cw, src + kWidth * kHeight + cw * ch, cw, dst, kWidth,
                       dst + kWidth * kHeight, cw, dst + kWidth * kHeight + cw * ch, cw, kWidth, kHeight);
    std::memcpy(block.data() + 16, work.data(), kFrameBytes);
    std::memcpy(sent.data(), work.data(), kFrameBytes);
    std::memcpy(pixels.data(), work.data(), kFrameBytes);
    uint8_t* p = preview.data();
    const int pw = kPreviewWidth / 2;
    const int ph = kPreviewHeight / 2;
    libyuv::I420Scale(src, kWidth, src + kWidth * kHeight, cw, src + kWidth * kHeight + cw * ch, cw, kWidth,
                      kHeight, p, kPreviewWidth, p + kPreviewWidth * kPreviewHeight, pw,
                      p + kPreviewWidth * kPreviewHeight + pw * ph, pw, kPreviewWidth, kPreviewHeight,
                      libyuv::kFilterNone);
    std::memcpy(window.data(), preview.data(), kPreviewBytes);
    benchmark::DoNotOptimize(window.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(kFrameBytes));
}
BENCHMARK(BM_DirectSteps)->Unit(benchmark::kMicrosecond);

}  // namespace
