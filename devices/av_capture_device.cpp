#include "devices/av_capture_device.h"

#include <vector>

#include "devices/av_base.h"
#include "devices/av_log.h"

namespace morlun {

AvCaptureDevice::AvCaptureDevice(const GUID& category, int caps_size)
    : category_(category), caps_size_(caps_size) {}

int AvCaptureDevice::Enum() { return ListDevices(category_, &devices_); }

const wchar_t* AvCaptureDevice::Name(int index) const {
  if (index < 0 || index >= static_cast<int>(devices_.size())) return nullptr;
  return devices_[index].name.c_str();
}

const wchar_t* AvCaptureDevice::Path(int index) const {
  if (index < 0 || index >= static_cast<int>(devices_.size())) return nullptr;
  return devices_[index].path.c_str();
}

bool AvCaptureDevice::Open(const wchar_t* name, const wchar_t* path) {
  Close();
  AvDeviceEntry opened;
  Microsoft::WRL::ComPtr<IBaseFilter> filter = BindDevice(category_, name, path, &opened);
  if (!filter) return false;
  filter_ = filter;
  opened_ = opened;
  capture_pin_ = AvBase::FindCapturePin(filter_.Get());
  if (capture_pin_ && FAILED(capture_pin_->QueryInterface(IID_PPV_ARGS(&config_)))) {
    config_.Reset();
  }
  if (!config_) AvLog("The device has no capture stream configuration");
  ReadCurrentFormat();
  return true;
}

void AvCaptureDevice::Close() {
  current_.Clear();
  config_.Reset();
  capture_pin_.Reset();
  filter_.Reset();
  opened_ = AvDeviceEntry();
}

void AvCaptureDevice::ReadCurrentFormat() {
  current_.Clear();
  AM_MEDIA_TYPE* type = nullptr;
  if (config_ && SUCCEEDED(config_->GetFormat(&type)) && type) current_.Adopt(type);
}

void AvCaptureDevice::ForEachCap(
    const std::function<bool(const AM_MEDIA_TYPE&, const BYTE* caps)>& visit) {
  if (!config_) return;
  int count = 0;
  int size = 0;
  if (FAILED(config_->GetNumberOfCapabilities(&count, &size)) || size < caps_size_) return;
  std::vector<BYTE> caps(size);
  for (int i = 0; i < count; ++i) {
    AM_MEDIA_TYPE* type = nullptr;
    if (FAILED(config_->GetStreamCaps(i, &type, caps.data())) || !type) continue;
    MediaType held;
    held.Adopt(type);
    if (visit(held.get(), caps.data())) return;
  }
}

bool AvCaptureDevice::SetFormat(const AM_MEDIA_TYPE& type) {
  if (!config_) return false;
  const HRESULT hr = config_->SetFormat(const_cast<AM_MEDIA_TYPE*>(&type));
  if (FAILED(hr)) AvLog("SetFormat failed, hr = %08lx", static_cast<unsigned long>(hr));
  return SUCCEEDED(hr);
}

}  // namespace morlun
