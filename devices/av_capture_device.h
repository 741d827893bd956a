#pragma once

// The device side of the camera and microphone engines: the listed devices of one category,
// the opened device's filter, its capture pin and stream configuration, and its current
// format.
//
// Not thread-safe: the owning engine calls it from its control thread.

#include <windows.h>
#include <strmif.h>
#include <wrl/client.h>

#include <functional>
#include <string>
#include <vector>

#include "devices/av_device_list.h"
#include "devices/av_media_type.h"

namespace morlun {

class AvCaptureDevice {
 public:
  // `caps_size` is the size of the stream capability structure the engine reads
  // (VIDEO_STREAM_CONFIG_CAPS or AUDIO_STREAM_CONFIG_CAPS).
  AvCaptureDevice(const GUID& category, int caps_size);
  AvCaptureDevice(const AvCaptureDevice&) = delete;
  AvCaptureDevice& operator=(const AvCaptureDevice&) = delete;

  // Lists the category again: the number of devices, or -1.
  int Enum();
  // Null out of range.
  const wchar_t* Name(int index) const;
  const wchar_t* Path(int index) const;

  // Closes, then binds the matching device (AvDeviceList's rules), finds its capture pin and
  // stream configuration and reads its current format. False when no device could be bound.
  // A device without a capture pin or stream configuration opens with neither.
  bool Open(const wchar_t* name, const wchar_t* path);
  void Close();
  bool IsOpen() const { return filter_ != nullptr; }
  const std::wstring& opened_name() const { return opened_.name; }
  const std::wstring& opened_path() const { return opened_.path; }
  IBaseFilter* filter() const { return filter_.Get(); }
  IPin* capture_pin() const { return capture_pin_.Get(); }

  // Reads the device's current format again (empty when it has none).
  void ReadCurrentFormat();
  const MediaType& current_format() const { return current_; }

  // Calls `visit` with every stream capability (the media type and the capability structure)
  // until it returns true. Nothing is visited without a stream configuration or when the
  // device's capability structure is smaller than the engine's.
  void ForEachCap(const std::function<bool(const AM_MEDIA_TYPE&, const BYTE* caps)>& visit);
  // Applies `type` as the device's format; false when refused.
  bool SetFormat(const AM_MEDIA_TYPE& type);

 private:
  const GUID category_;
  const int caps_size_;
  std::vector<AvDeviceEntry> devices_;
  AvDeviceEntry opened_;
  Microsoft::WRL::ComPtr<IBaseFilter> filter_;
  Microsoft::WRL::ComPtr<IPin> capture_pin_;
  Microsoft::WRL::ComPtr<IAMStreamConfig> config_;
  MediaType current_;
};

}  // namespace morlun
