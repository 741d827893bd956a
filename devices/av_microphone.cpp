#include "devices/av_microphone.h"

#include <uuids.h>

#include <cstring>

#include "devices/av_capture_formats.h"
#include "devices/av_log.h"

bool AvMicrophone::Cap::operator==(const Cap& other) const {
  return major == other.major && subtype == other.subtype && tag == other.tag &&
         channels == other.channels && sample_rate == other.sample_rate && bits == other.bits;
}

AvMicrophone::AvMicrophone()
    : AvCaptureBase(CLSID_AudioInputDeviceCategory, sizeof(AUDIO_STREAM_CONFIG_CAPS),
                    MEDIATYPE_Audio, "AvMicrophone") {}

AvMicrophone::~AvMicrophone() { Uninit(); }

void AvMicrophone::SetSink(AvMicrophoneSink* sink) { sink_.store(sink); }

int AvMicrophone::Init() { return InitCapture(); }

void AvMicrophone::Uninit() { UninitCapture(); }

int AvMicrophone::EnumDevices() { return EnumCaptureDevices(); }

const wchar_t* AvMicrophone::GetDeviceName(int index) { return device_.Name(index); }

const wchar_t* AvMicrophone::GetDevicePath(int index) { return device_.Path(index); }

int AvMicrophone::OpenDevice(const wchar_t* name, const wchar_t* path) {
  return OpenCaptureDevice(name, path);
}

void AvMicrophone::CloseDevice() { CloseCaptureDevice(); }

bool AvMicrophone::IsOpened() { return device_.IsOpen(); }

const wchar_t* AvMicrophone::GetOpenedName() { return device_.opened_name().c_str(); }

const wchar_t* AvMicrophone::GetOpenedPath() { return device_.opened_path().c_str(); }

bool AvMicrophone::CapOf(const AM_MEDIA_TYPE& type, Cap* cap) {
  if (type.majortype != MEDIATYPE_Audio && type.majortype != MEDIATYPE_Interleaved) return false;
  if (type.formattype != FORMAT_WaveFormatEx || !type.pbFormat ||
      type.cbFormat < sizeof(WAVEFORMATEX)) {
    return false;
  }
  const auto* wave = reinterpret_cast<const WAVEFORMATEX*>(type.pbFormat);
  std::memset(cap, 0, sizeof(*cap));
  cap->major = type.majortype;
  cap->subtype = type.subtype;
  cap->tag = wave->wFormatTag;
  cap->channels = wave->nChannels;
  cap->sample_rate = wave->nSamplesPerSec;
  cap->bits = wave->wBitsPerSample;
  return true;
}

void AvMicrophone::RebuildCaps() { ListCaps(&caps_, &AvMicrophone::CapOf); }

void AvMicrophone::AskForBuffers(const Cap& cap) {
  Microsoft::WRL::ComPtr<IAMBufferNegotiation> negotiation;
  IPin* pin = device_.capture_pin();
  if (!pin || FAILED(pin->QueryInterface(IID_PPV_ARGS(&negotiation)))) {
    AvLog("AvMicrophone: the device takes no buffer size");
    return;
  }
  const long block = cap.bits * cap.channels / 8;
  ALLOCATOR_PROPERTIES properties{};
  properties.cBuffers = 1;
  properties.cbBuffer = block * buffer_samples_;
  properties.cbAlign = block > 0 ? block : 1;
  properties.cbPrefix = 0;
  const HRESULT hr = negotiation->SuggestAllocatorProperties(&properties);
  if (FAILED(hr)) {
    AvLog("AvMicrophone: buffer size refused, hr = %08lx", static_cast<unsigned long>(hr));
  }
}

int AvMicrophone::SelectCap(int index) {
  const int applied = SelectCapOf(caps_, index, &AvMicrophone::CapOf);
  if (applied && buffer_samples_ != 0) AskForBuffers(caps_[index]);
  AvLog("AvMicrophone::SelectCap(%d) = %d", index, applied);
  return applied;
}

int AvMicrophone::GetCapCount() { return static_cast<int>(caps_.size()); }

int AvMicrophone::GetSelectedCap() { return selected_; }

const wchar_t* AvMicrophone::GetCapFormatName(int index) {
  const Cap* cap = CapAt(caps_, index);
  return cap ? morlun::WaveFormatName(cap->tag) : L"UNKNOWN";
}

int AvMicrophone::GetCapFormatTag(int index) {
  const Cap* cap = CapAt(caps_, index);
  return cap ? cap->tag : 0;
}

int AvMicrophone::GetCapChannels(int index) {
  const Cap* cap = CapAt(caps_, index);
  return cap ? cap->channels : 0;
}

int AvMicrophone::GetCapSampleRate(int index) {
  const Cap* cap = CapAt(caps_, index);
  return cap ? static_cast<int>(cap->sample_rate) : 0;
}

int AvMicrophone::GetCapBitsPerSample(int index) {
  const Cap* cap = CapAt(caps_, index);
  return cap ? cap->bits : 0;
}

void AvMicrophone::SetBufferSamples(int samples) { buffer_samples_ = samples > 0 ? samples : 0; }

int AvMicrophone::GetBufferSamples() { return buffer_samples_; }

bool AvMicrophone::ReportState(int state) {
  AvMicrophoneSink* sink = sink_.load();
  if (sink) sink->OnState(state);
  return sink != nullptr;
}

void AvMicrophone::DescribeSamples(const AM_MEDIA_TYPE& type) {
  const WAVEFORMATEX* wave = morlun::WaveFormatOf(type);
  if (!wave) return;
  format_tag_ = wave->wFormatTag;
  channels_ = wave->nChannels;
  sample_rate_ = static_cast<int>(wave->nSamplesPerSec);
  bits_ = wave->wBitsPerSample;
}

int AvMicrophone::Start() {
  if (IsCapturing()) return 1;
  if (!sink_.load()) {
    AvLog("AvMicrophone::Start: no sink");
    return 0;
  }
  device_.ReadCurrentFormat();
  const AM_MEDIA_TYPE& current = device_.current_format().get();
  if (!morlun::WaveFormatOf(current)) {
    AvLog("AvMicrophone::Start: the device's format is no wave format");
    return 0;
  }
  format_tag_ = channels_ = sample_rate_ = bits_ = 0;
  return StartCapture(current.subtype, false);
}

void AvMicrophone::Stop() { StopCapture(); }

bool AvMicrophone::IsStarted() { return IsCapturing(); }

void AvMicrophone::OnVideoSample(IMediaSample*) {}

void AvMicrophone::OnAudioSample(IMediaSample* sample) {
  DeliverSample(sample, [this](const BYTE* data, long length) {
    if (AvMicrophoneSink* sink = sink_.load()) {
      sink->OnAudio(data, static_cast<int>(length), format_tag_, channels_, sample_rate_, bits_);
    }
  });
}

void AvMicrophone::OnUnusedSample(IMediaSample*) {}
