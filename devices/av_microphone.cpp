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
    : device_(CLSID_AudioInputDeviceCategory, sizeof(AUDIO_STREAM_CONFIG_CAPS)) {}

AvMicrophone::~AvMicrophone() { Uninit(); }

void AvMicrophone::SetSink(AvMicrophoneSink* sink) { sink_.store(sink); }

int AvMicrophone::Init() {
  AvLog("AvMicrophone::Init, pInst = %08x",
        static_cast<unsigned>(reinterpret_cast<uintptr_t>(this)));
  if (!CreateGraph()) return 0;
  EnumDevices();
  return 1;
}

void AvMicrophone::Uninit() {
  Stop();
  FinishPendingTeardown();
  CloseDevice();
  ReleaseGraph();
}

int AvMicrophone::EnumDevices() {
  if (!HasGraph()) return -1;
  const int count = device_.Enum();
  AvLog("AvMicrophone::EnumDevices = %d", count);
  return count;
}

const wchar_t* AvMicrophone::GetDeviceName(int index) { return device_.Name(index); }

const wchar_t* AvMicrophone::GetDevicePath(int index) { return device_.Path(index); }

int AvMicrophone::OpenDevice(const wchar_t* name, const wchar_t* path) {
  CloseDevice();
  if (!HasGraph() || !device_.Open(name, path)) {
    AvLog("AvMicrophone::OpenDevice: no such device");
    return 0;
  }
  RebuildCaps();
  AvLog("AvMicrophone::OpenDevice: %d capabilities", static_cast<int>(caps_.size()));
  return 1;
}

void AvMicrophone::CloseDevice() {
  selected_ = 0;
  caps_.clear();
  if (sink_filter_) sink_filter_->SetSink(nullptr);
  sink_filter_.Reset();
  device_.Close();
}

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

void AvMicrophone::RebuildCaps() {
  caps_.clear();
  device_.ForEachCap([this](const AM_MEDIA_TYPE& type, const BYTE*) {
    Cap cap;
    if (CapOf(type, &cap)) caps_.push_back(cap);
    return false;
  });
}

const AvMicrophone::Cap* AvMicrophone::CapAt(int index) const {
  return index >= 0 && index < static_cast<int>(caps_.size()) ? &caps_[index] : nullptr;
}

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
  selected_ = 0;
  const Cap* chosen = CapAt(index);
  if (!device_.IsOpen() || !chosen) return 0;
  selected_ = index;
  bool applied = false;
  device_.ForEachCap([&](const AM_MEDIA_TYPE& type, const BYTE*) {
    Cap cap;
    if (!CapOf(type, &cap) || !(cap == *chosen)) return false;
    applied = device_.SetFormat(type);
    return true;
  });
  device_.ReadCurrentFormat();
  if (applied && buffer_samples_ != 0) AskForBuffers(*chosen);
  AvLog("AvMicrophone::SelectCap(%d) = %d", index, applied ? 1 : 0);
  return applied ? 1 : 0;
}

int AvMicrophone::GetCapCount() { return static_cast<int>(caps_.size()); }

int AvMicrophone::GetSelectedCap() { return selected_; }

const wchar_t* AvMicrophone::GetCapFormatName(int index) {
  const Cap* cap = CapAt(index);
  return cap ? morlun::WaveFormatName(cap->tag) : L"UNKNOWN";
}

int AvMicrophone::GetCapFormatTag(int index) {
  const Cap* cap = CapAt(index);
  return cap ? cap->tag : 0;
}

int AvMicrophone::GetCapChannels(int index) {
  const Cap* cap = CapAt(index);
  return cap ? cap->channels : 0;
}

int AvMicrophone::GetCapSampleRate(int index) {
  const Cap* cap = CapAt(index);
  return cap ? static_cast<int>(cap->sample_rate) : 0;
}

int AvMicrophone::GetCapBitsPerSample(int index) {
  const Cap* cap = CapAt(index);
  return cap ? cap->bits : 0;
}

void AvMicrophone::SetBufferSamples(int samples) { buffer_samples_ = samples > 0 ? samples : 0; }

int AvMicrophone::GetBufferSamples() { return buffer_samples_; }

void AvMicrophone::DescribeBuffers(const AM_MEDIA_TYPE& type) {
  const WAVEFORMATEX* wave = morlun::WaveFormatOf(type);
  if (!wave) return;
  format_tag_ = wave->wFormatTag;
  channels_ = wave->nChannels;
  sample_rate_ = static_cast<int>(wave->nSamplesPerSec);
  bits_ = wave->wBitsPerSample;
}

void AvMicrophone::FinishPendingTeardown() {
  if (!teardown_pending_.exchange(false)) return;
  gate_.Close();  // Waits for the callback that asked for the stop.
  StopCaptureGraph(device_.filter());
  if (sink_filter_) sink_filter_->SetSink(nullptr);
  sink_filter_.Reset();
}

int AvMicrophone::Start() {
  if (started_.load()) return 1;
  if (gate_.IsInsideCallback()) {
    AvLog("AvMicrophone::Start: refused inside a buffer callback");
    return 0;
  }
  Stop();
  FinishPendingTeardown();
  AvMicrophoneSink* sink = sink_.load();
  if (!HasGraph() || !device_.IsOpen() || !sink) {
    AvLog("AvMicrophone::Start: %s", !HasGraph() ? "no graph" : !device_.IsOpen() ? "no device"
                                                                                  : "no sink");
    return 0;
  }
  device_.ReadCurrentFormat();
  const AM_MEDIA_TYPE& current = device_.current_format().get();
  if (!morlun::WaveFormatOf(current)) {
    AvLog("AvMicrophone::Start: the device's format is no wave format");
    return 0;
  }
  sink_filter_.Attach(CKestCaptureFilter::Create(this, MEDIATYPE_Audio, current.subtype));
  if (!sink_filter_) return 0;
  if (!StartCaptureGraph(device_.filter(), sink_filter_.Get(), MEDIATYPE_Audio, false)) {
    sink_filter_->SetSink(nullptr);
    sink_filter_.Reset();
    AvLog("AvMicrophone::Start failed");
    return 0;
  }
  format_tag_ = channels_ = sample_rate_ = bits_ = 0;
  morlun::MediaType connected;
  if (sink_filter_->pin()->GetConnectionType(&connected)) DescribeBuffers(connected.get());
  started_.store(true);
  AvLog("AvMicrophone::Start: tag %d, %d channels, %d Hz, %d bits", format_tag_, channels_,
        sample_rate_, bits_);
  sink->OnState(1);
  if (started_.load()) gate_.Open();
  return 1;
}

void AvMicrophone::Stop() {
  const bool was_started = started_.exchange(false);
  const bool inside_callback = gate_.Close();
  if (!was_started) return;
  if (inside_callback) {
    teardown_pending_.store(true);  // See AvCamera::Stop.
  } else {
    StopCaptureGraph(device_.filter());
    if (sink_filter_) sink_filter_->SetSink(nullptr);
    sink_filter_.Reset();
  }
  AvLog("AvMicrophone::Stop");
  if (AvMicrophoneSink* sink = sink_.load()) sink->OnState(0);
}

bool AvMicrophone::IsStarted() { return started_.load(); }

void AvMicrophone::OnVideoSample(IMediaSample*) {}

void AvMicrophone::OnAudioSample(IMediaSample* sample) {
  if (!sample || !gate_.Enter()) return;
  struct Leave {
    morlun::AvCaptureGate* gate;
    ~Leave() { gate->Leave(); }
  } leave{&gate_};
  AM_MEDIA_TYPE* changed = nullptr;
  if (sample->GetMediaType(&changed) == S_OK && changed) {
    DescribeBuffers(*changed);
    morlun::DeleteMediaType(changed);
  }
  BYTE* data = nullptr;
  if (FAILED(sample->GetPointer(&data)) || !data) return;
  const long length = sample->GetActualDataLength();
  if (AvMicrophoneSink* sink = sink_.load()) {
    sink->OnAudio(data, static_cast<int>(length), format_tag_, channels_, sample_rate_, bits_);
  }
}

void AvMicrophone::OnUnusedSample(IMediaSample*) {}
