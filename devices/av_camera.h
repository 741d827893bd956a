#pragma once

// AvCamera: Morlun's camera engine (devices/av_camera_engine.h) over a DirectShow capture
// graph that ends in the sink filter (devices/kest_capture_filter.h).
//
// Threads: the control operations run on the user's thread (one at a time); frames arrive on
// DirectShow's streaming thread through OnVideoSample and pass the capture gate, which lets
// Stop wait for a frame callback in progress. A Stop from inside OnFrame only closes the gate
// and marks the graph for tear-down, which the next Start, Uninit or destroy does.

#include <atomic>
#include <cstdint>
#include <vector>

#include "devices/av_base.h"
#include "devices/av_camera_engine.h"
#include "devices/av_capture_device.h"
#include "devices/av_capture_gate.h"
#include "devices/kest_capture_filter.h"

class AvCamera : public AvBase, public CKestCaptureSink, public AvCameraEngine {
 public:
  AvCamera();
  ~AvCamera() override;

  // AvCameraEngine.
  void SetSink(AvCameraSink* sink) override;
  int Init() override;
  void Uninit() override;
  int EnumDevices() override;
  const wchar_t* GetDeviceName(int index) override;
  const wchar_t* GetDevicePath(int index) override;
  int OpenDevice(const wchar_t* name, const wchar_t* path) override;
  void CloseDevice() override;
  bool IsOpened() override;
  const wchar_t* GetOpenedName() override;
  const wchar_t* GetOpenedPath() override;
  int GetCapCount() override;
  int SelectCap(int index) override;
  int GetSelectedCap() override;
  int GetCapWidth(int index) override;
  int GetCapHeight(int index) override;
  int GetCapFrameInterval(int index) override;
  int GetCapFormat(int index) override;
  const wchar_t* GetCapFormatName(int index) override;
  int Start() override;
  void Stop() override;
  bool IsStarted() override;

  // CKestCaptureSink (streaming thread).
  void OnVideoSample(IMediaSample* sample) override;
  void OnAudioSample(IMediaSample* sample) override;
  void OnUnusedSample(IMediaSample* sample) override;

 private:
  // One capture format, field by field as the device describes it.
  struct Cap {
    GUID major;
    GUID subtype;
    uint32_t interval;  // 100 ns units, the low 32 bits of the average time per frame
    uint32_t interval_again;
    int32_t width;
    int32_t width_again;
    int32_t height;
    int32_t height_again;
    int32_t one;
    int32_t one_again;
    int32_t format;  // AvVideoFormat of the compression FOURCC
    bool operator==(const Cap& other) const;
  };
  // The record of a listed capability; false when the type is not listed.
  static bool CapOf(const AM_MEDIA_TYPE& type, Cap* cap);
  const Cap* CapAt(int index) const;
  void RebuildCaps();
  // Describes frames by the media type they are delivered in.
  void DescribeFrames(const AM_MEDIA_TYPE& type);
  // Tears down a graph left running by a Stop from inside OnFrame.
  void FinishPendingTeardown();

  std::atomic<AvCameraSink*> sink_{nullptr};
  morlun::AvCaptureDevice device_;
  std::vector<Cap> caps_;
  int selected_ = 0;
  Microsoft::WRL::ComPtr<CKestCaptureFilter> sink_filter_;
  morlun::AvCaptureGate gate_;
  std::atomic<bool> started_{false};
  std::atomic<bool> teardown_pending_{false};
  // How frames are delivered: set by Start before the gate opens, then changed only by the
  // streaming thread (when a sample carries a new media type).
  int frame_width_ = 0;
  int frame_height_ = 0;
  int frame_format_ = 0;
};
