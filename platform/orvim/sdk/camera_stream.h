#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "orvim_sdk.h"
#include "platform/orvim/common/socket_writer.h"

namespace orvim::sdk {

// One camera stream: a thread that draws the virtual camera's pictures (the service's tag, the
// camera's number, a frame counter) and hands each to |deliver| as a frame of source type 1.
// The picture buffer is the stream's own and is redrawn for every frame, so observers may
// write into it during the call.
class CameraStream {
 public:
  using Deliver = std::function<void(const std::string& stream_id, rtTarvo::rtc::VideoFrame* frame)>;

  // Size: |params| when both numbers are positive, else the camera's largest size. Rate: the
  // camera's own setting, else |params|' frame rate (30 when not positive).
  CameraStream(std::string stream_id, std::string device_id, rtTarvo::rtc::VideoParams params,
               std::function<uint16_t()> tag, Deliver deliver, const ThreadHooks& hooks);
  ~CameraStream();
  CameraStream(const CameraStream&) = delete;
  CameraStream& operator=(const CameraStream&) = delete;

  // Asks the thread to end after the frame it may be delivering; does not wait.
  void Stop();
  // True once the thread has ended.
  bool Finished() const { return finished_.load(); }
  // Stops and waits for the thread.
  void Join();

  const std::string& stream_id() const { return stream_id_; }
  const std::string& device_id() const { return device_id_; }

 private:
  void Run();

  const std::string stream_id_;
  const std::string device_id_;
  const rtTarvo::rtc::VideoParams params_;
  std::function<uint16_t()> tag_;
  Deliver deliver_;
  std::mutex mutex_;  // Guards |stopping_| for the paced wait.
  std::condition_variable wake_;
  bool stopping_ = false;
  std::atomic<bool> finished_{false};
  std::thread thread_;
};

}  // namespace orvim::sdk
