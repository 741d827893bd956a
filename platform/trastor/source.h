#pragma once

// One source of a canvas: a pull source painted by the client's capture sink on every tick, or
// a push source showing the last frame pushed into it (or its placeholder picture).

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "dib_surface.h"
#include "picture.h"
#include "platform/trastor/trastor.h"
#include "platform/trastor/trastor_testing.h"

namespace trastor {

// Where a source lies on its canvas.
struct Placement {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
};

class Source final : public TrastorSource {
 public:
  // `running` is the canvas's running flag: pushes are dropped while it is false. The source
  // covers `width` x `height` at (0, 0) until placed.
  Source(const std::atomic<bool>& running, int kind, std::string name, int width, int height);
  ~Source();
  Source(const Source&) = delete;
  Source& operator=(const Source&) = delete;

  // TrastorSource; callable from any thread.
  void SetPosition(int x, int y) override;
  bool SetSize(int width, int height) override;
  void ClearFrame() override;
  bool PushFrame(int format, int width, int height, const unsigned char* data, int length) override;
  bool SetPlaceholderImage(const wchar_t* path) override;
  void SetCaptureSink(gsDsCaptureSink* sink) override;

  // For the ticking thread of the canvas (one at a time). The picture to draw this tick, or an
  // empty view when the source shows nothing; it stays valid until the next call or Close.
  // `pulls` counts capture sink calls.
  PictureView Produce(std::uint32_t background, std::atomic<long long>* pulls);
  Placement GetPlacement();

  // Drops frames from now on and frees the pixels. Not while the canvas ticks.
  void Close();
  bool IsClosed();

  void GetCounters(TrastorSourceCounters* counters);

 private:
  PictureView ProducePulled(std::uint32_t background, std::atomic<long long>* pulls);
  PictureView ProducePushed();

  const std::atomic<bool>& running_;
  const int kind_;
  const std::string name_;

  std::mutex mutex_;  // Protects the fields down to the counters.
  Placement placement_;
  bool closed_ = false;
  bool clear_requested_ = false;  // ClearFrame was called; applied by the next Produce.
  gsDsCaptureSink* sink_ = nullptr;
  std::shared_ptr<const Picture> placeholder_;
  // The last pushed frame not yet converted.
  std::vector<std::uint8_t> pending_;
  bool has_pending_ = false;
  int pending_format_ = 0;
  int pending_width_ = 0;
  int pending_height_ = 0;
  TrastorSourceCounters counters_{0, -1, 0, 0, 0};

  // Used only by the ticking thread.
  std::vector<std::uint8_t> converting_;  // A pushed frame taken from |pending_|.
  Picture frame_;                         // The last pushed frame, converted.
  bool frame_valid_ = false;
  std::shared_ptr<const Picture> shown_placeholder_;  // Kept alive while it is drawn.
  // A pull source paints into the surface after |front_|; a picture taken becomes the front.
  DibSurface surfaces_[2];
  int front_ = 0;
  bool front_valid_ = false;
};

}  // namespace trastor
