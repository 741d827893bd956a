#pragma once

// The virtual camera's stream: the capabilities of test_devices.h, colour bars with the frame
// number (test_pattern.h), paced by the graph clock unless the instance is unpaced; the silent
// instance delivers nothing.

#include <cstdint>
#include <vector>

#include "devices/tests/test_devices/stream_source.h"
#include "devices/tests/test_devices/test_pattern.h"

namespace tarvo_test_devices {

class CameraSource : public StreamSource {
 public:
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
  std::wstring mode_ = L"paced";
  // Streaming thread only.
  PatternFormat format_ = PatternFormat::kI420;
  int width_ = 0;
  int height_ = 0;
  REFERENCE_TIME interval_ = 0;
  uint32_t frame_number_ = 0;
  std::vector<uint8_t> base_frame_;
};

}  // namespace tarvo_test_devices
