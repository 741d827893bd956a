#pragma once

// The virtual microphone's stream: PCM capabilities from test_devices.h; the "tone" instance
// synthesises a 1 kHz tone in real time, the "pulse" instance records with waveIn from the
// monitor of the "Tarvo Tone" PulseAudio sink, and the "noformat" instance has no wave format
// and delivers nothing.

#include <windows.h>
#include <mmsystem.h>

#include <cstdint>
#include <vector>

#include "devices/tests/test_devices/stream_source.h"

namespace tarvo_test_devices {

class MicrophoneSource : public StreamSource {
 public:
  MicrophoneSource() = default;
  ~MicrophoneSource() override;
  MicrophoneSource(const MicrophoneSource&) = delete;
  MicrophoneSource& operator=(const MicrophoneSource&) = delete;

  void SetMode(const std::wstring& mode) override;
  const GUID& major() const override;
  int CapsSize() const override;
  int CapCount() const override;
  bool GetCap(int index, morlun::MediaType* type, BYTE* caps) const override;
  void InitialFormat(morlun::MediaType* type) const override;
  bool Accepts(const AM_MEDIA_TYPE& type) const override;
  long BufferSize(const AM_MEDIA_TYPE& type, long suggested) const override;
  bool Paced() const override;
  bool Begin(const AM_MEDIA_TYPE& type, long buffer_size) override;
  Fill FillSample(BYTE* data, long capacity, long* length, REFERENCE_TIME* duration,
                  HANDLE stop) override;
  void End() override;

 private:
  bool OpenWaveIn(long buffer_bytes);
  void CloseWaveIn();

  std::wstring mode_ = L"tone";
  // Streaming thread only.
  WAVEFORMATEX format_{};
  int64_t next_sample_ = 0;  // Index of the next tone sample: keeps the phase across buffers.
  HWAVEIN wave_in_ = nullptr;
  HANDLE wave_event_ = nullptr;
  std::vector<std::vector<char>> wave_buffers_;
  std::vector<WAVEHDR> wave_headers_;
  size_t next_header_ = 0;
};

}  // namespace tarvo_test_devices
