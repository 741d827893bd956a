#pragma once

// Shared pieces of the engine's tests: a capture sink that paints sharp edges, a frame-out
// sink that records frames, and a canvas that is destroyed at scope end.

#include <windows.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <vector>

#include "platform/trastor/trastor.h"
#include "platform/trastor/trastor_testing.h"

namespace trastor_test {

// Paints black with a white rectangle [left, right) x [top, bottom): sharp luma edges.
class EdgeSink : public gsDsCaptureSink {
 public:
  RECT white{37, 21, 301, 199};
  // Runs inside each call, after painting (on the engine thread).
  std::function<void(TrastorSource*, int, int)> during;
  bool answer = true;

  bool OnCaptureFrame(TrastorSource* source, HDC dc, int width, int height) override {
    RECT all{0, 0, width, height};
    FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    FillRect(dc, &white, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    {
      std::lock_guard<std::mutex> lock(mutex);
      sizes.push_back({width, height});
    }
    if (during) during(source, width, height);
    return answer;
  }

  std::vector<SIZE> Sizes() {
    std::lock_guard<std::mutex> lock(mutex);
    return sizes;
  }

 private:
  std::mutex mutex;
  std::vector<SIZE> sizes;
};

struct Frame {
  TrastorCanvas* canvas = nullptr;
  int format = -1;
  int width = 0;
  int height = 0;
  int length = 0;
  std::vector<std::uint8_t> data;
  std::uint8_t Luma(int x, int y) const { return data[static_cast<std::size_t>(y) * width + x]; }
};

// Keeps every frame handed out (its sides and length) and the bytes of the last one.
class FrameRecorder : public gsVideoFrameOutSink {
 public:
  void OnVideoFrameOut(TrastorCanvas* canvas, int format, int width, int height,
                       const unsigned char* pixels, int length, int, int) override {
    std::lock_guard<std::mutex> lock(mutex_);
    Frame frame;
    frame.canvas = canvas;
    frame.format = format;
    frame.width = width;
    frame.height = height;
    frame.length = length;
    frame.data.assign(pixels, pixels + length);
    last_ = std::move(frame);
    sizes_.push_back({width, height});
    ++count_;
    arrived_.notify_all();
  }

  // Waits until `count` frames have come in all.
  bool WaitFor(int count, int timeout_ms = 5000) {
    std::unique_lock<std::mutex> lock(mutex_);
    return arrived_.wait_for(lock, std::chrono::milliseconds(timeout_ms),
                             [&] { return count_ >= count; });
  }
  int Count() {
    std::lock_guard<std::mutex> lock(mutex_);
    return count_;
  }
  Frame Last() {
    std::lock_guard<std::mutex> lock(mutex_);
    return last_;
  }
  std::vector<SIZE> Sizes() {
    std::lock_guard<std::mutex> lock(mutex_);
    return sizes_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable arrived_;
  int count_ = 0;
  Frame last_;
  std::vector<SIZE> sizes_;
};

// A canvas destroyed at scope end.
class ScopedCanvas {
 public:
  explicit ScopedCanvas(const char* name) : canvas_(Trastor_CreateCanvas(name)) {}
  ~ScopedCanvas() { Trastor_DestroyCanvas(canvas_); }
  ScopedCanvas(const ScopedCanvas&) = delete;
  ScopedCanvas& operator=(const ScopedCanvas&) = delete;
  TrastorCanvas* operator->() const { return canvas_; }
  TrastorCanvas* get() const { return canvas_; }

 private:
  TrastorCanvas* canvas_;
};

// The last composed picture as 0x00RRGGBB values, top row first.
inline std::vector<std::uint32_t> LastPicture(TrastorCanvas* canvas, int* width, int* height) {
  TrastorTest_GetLastPicture(canvas, nullptr, 0, width, height);
  std::vector<std::uint32_t> pixels(static_cast<std::size_t>(*width) * *height);
  if (!TrastorTest_GetLastPicture(canvas, reinterpret_cast<unsigned char*>(pixels.data()),
                                  static_cast<int>(pixels.size() * 4), width, height)) {
    pixels.clear();
  }
  for (auto& pixel : pixels) pixel &= 0xFFFFFF;
  return pixels;
}

}  // namespace trastor_test
