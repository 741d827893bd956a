#pragma once

// AvCamera: Morlun's camera engine (devices/av_camera_engine.h) over a DirectShow capture
// graph that ends in the sink filter (devices/kest_capture_filter.h). The device, the graph
// run and the threads are AvCaptureBase's (devices/av_capture_base.h); frames arrive on
// DirectShow's streaming thread through OnVideoSample.

#include <atomic>
#include <cstdint>
#include <vector>

#include "devices/av_camera_engine.h"
#include "devices/av_capture_base.h"

class AvCamera : public AvCaptureBase, public AvCameraEngine {
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

  // AvCaptureBase.
  bool ReportState(int state) override;
  void DescribeSamples(const AM_MEDIA_TYPE& type) override;
  void RebuildCaps() override;

  std::atomic<AvCameraSink*> sink_{nullptr};
  std::vector<Cap> caps_;
  // How frames are delivered: set by Start before frames flow, then changed only by the
  // streaming thread (when a sample carries a new media type).
  int frame_width_ = 0;
  int frame_height_ = 0;
  int frame_format_ = 0;
};
