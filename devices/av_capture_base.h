#pragma once

// AvCaptureBase: what the camera and microphone engines share: the opened capture device and
// its capabilities, and the run of a capture graph from the device into a new sink filter,
// with the capture gate between the control thread and DirectShow's streaming thread.
//
// Threads: the control operations run on the user's thread, one at a time; samples arrive on
// DirectShow's streaming thread (DeliverSample). A StopCapture from inside a callback only
// closes the gate and marks the graph for tear-down, which the next StartCapture or
// UninitCapture does: stopping the graph there would wait for the very thread that asks.

#include <atomic>
#include <functional>
#include <vector>

#include "devices/av_base.h"
#include "devices/av_capture_device.h"
#include "devices/av_capture_gate.h"
#include "devices/kest_capture_filter.h"

class AvCaptureBase : public AvBase, public CKestCaptureSink {
 public:
  bool IsCapturing() const { return started_.load(); }

 protected:
  // `category` lists the devices; `caps_size` is the capability structure the engine reads;
  // `major` ("vids" or "auds") is what the graph carries; `name` prefixes the log lines.
  AvCaptureBase(const GUID& category, int caps_size, const GUID& major, const char* name);

  // Reports a start (1) or stop (0) to the user; false when the user set no sink.
  virtual bool ReportState(int state) = 0;
  // Takes the description of delivered samples from their media type (after the connection,
  // and on the streaming thread when a sample brings a new type).
  virtual void DescribeSamples(const AM_MEDIA_TYPE& type) = 0;
  // Lists the opened device's capabilities again.
  virtual void RebuildCaps() = 0;

  int InitCapture();
  void UninitCapture();
  int EnumCaptureDevices();
  int OpenCaptureDevice(const wchar_t* name, const wchar_t* path);
  void CloseCaptureDevice();

  // Applies capability `index` of `caps` (records made from the device's stream capabilities
  // by `record_of`) to the device and reads the format it took. Returns 1 when applied.
  template <typename Cap>
  int SelectCapOf(const std::vector<Cap>& caps, int index,
                  bool (*record_of)(const AM_MEDIA_TYPE&, Cap*));
  // Lists `caps` from the device's stream capabilities that `record_of` accepts.
  template <typename Cap>
  void ListCaps(std::vector<Cap>* caps, bool (*record_of)(const AM_MEDIA_TYPE&, Cap*));
  template <typename Cap>
  static const Cap* CapAt(const std::vector<Cap>& caps, int index) {
    return index >= 0 && index < static_cast<int>(caps.size()) ? &caps[index] : nullptr;
  }

  // Builds and runs the graph into a sink filter for `subtype`; 1 when started (or already
  // started), else 0. `allow_direct`: connect the capture pin directly when RenderStream fails.
  int StartCapture(const GUID& subtype, bool allow_direct);
  void StopCapture();
  // Streaming thread: hands the sample's data to `deliver` while capture is started.
  void DeliverSample(IMediaSample* sample, const std::function<void(const BYTE*, long)>& deliver);

  morlun::AvCaptureDevice device_;
  int selected_ = 0;

 private:
  void TearDownGraph();
  void FinishPendingTeardown();

  const GUID major_;
  const char* const name_;
  Microsoft::WRL::ComPtr<CKestCaptureFilter> sink_filter_;
  morlun::AvCaptureGate gate_;
  std::atomic<bool> started_{false};
  std::atomic<bool> teardown_pending_{false};
};

template <typename Cap>
int AvCaptureBase::SelectCapOf(const std::vector<Cap>& caps, int index,
                               bool (*record_of)(const AM_MEDIA_TYPE&, Cap*)) {
  selected_ = 0;
  const Cap* chosen = CapAt(caps, index);
  if (!device_.IsOpen() || !chosen) return 0;
  selected_ = index;
  bool applied = false;
  device_.ForEachCap([&](const AM_MEDIA_TYPE& type, const BYTE*) {
    Cap cap;
    if (!record_of(type, &cap) || !(cap == *chosen)) return false;
    applied = device_.SetFormat(type);
    return true;
  });
  // The device may adjust what it was given: Start reads the format it really took.
  device_.ReadCurrentFormat();
  return applied ? 1 : 0;
}

template <typename Cap>
void AvCaptureBase::ListCaps(std::vector<Cap>* caps,
                             bool (*record_of)(const AM_MEDIA_TYPE&, Cap*)) {
  caps->clear();
  device_.ForEachCap([&](const AM_MEDIA_TYPE& type, const BYTE*) {
    Cap cap;
    if (record_of(type, &cap)) caps->push_back(cap);
    return false;
  });
}
