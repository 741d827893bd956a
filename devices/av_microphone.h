#pragma once

// AvMicrophone: Morlun's microphone engine (devices/av_microphone_engine.h), the audio
// counterpart of AvCamera (devices/av_camera.h) on the same AvCaptureBase; buffers arrive on
// DirectShow's streaming thread through OnAudioSample.

#include <atomic>
#include <cstdint>
#include <vector>

#include "devices/av_capture_base.h"
#include "devices/av_microphone_engine.h"

class AvMicrophone : public AvCaptureBase, public AvMicrophoneEngine {
 public:
  AvMicrophone();
  ~AvMicrophone() override;

  // AvMicrophoneEngine.
  void SetSink(AvMicrophoneSink* sink) override;
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
  int SelectCap(int index) override;
  int GetCapCount() override;
  int GetSelectedCap() override;
  const wchar_t* GetCapFormatName(int index) override;
  int GetCapFormatTag(int index) override;
  int GetCapChannels(int index) override;
  int GetCapSampleRate(int index) override;
  int GetCapBitsPerSample(int index) override;
  void SetBufferSamples(int samples) override;
  int GetBufferSamples() override;
  int Start() override;
  void Stop() override;
  bool IsStarted() override;

  // CKestCaptureSink (streaming thread).
  void OnVideoSample(IMediaSample* sample) override;
  void OnAudioSample(IMediaSample* sample) override;
  void OnUnusedSample(IMediaSample* sample) override;

 private:
  // One capture format as the device describes it.
  struct Cap {
    GUID major;
    GUID subtype;
    uint16_t tag;
    uint16_t channels;
    uint32_t sample_rate;
    uint16_t bits;
    bool operator==(const Cap& other) const;
  };
  static bool CapOf(const AM_MEDIA_TYPE& type, Cap* cap);
  void AskForBuffers(const Cap& cap);

  // AvCaptureBase.
  bool ReportState(int state) override;
  void DescribeSamples(const AM_MEDIA_TYPE& type) override;
  void RebuildCaps() override;

  std::atomic<AvMicrophoneSink*> sink_{nullptr};
  std::vector<Cap> caps_;
  int buffer_samples_ = 0;
  // The connected wave format: set by Start before buffers flow, then changed only by the
  // streaming thread.
  int format_tag_ = 0;
  int channels_ = 0;
  int sample_rate_ = 0;
  int bits_ = 0;
};
