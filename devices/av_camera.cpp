#include "devices/av_camera.h"

#include <amvideo.h>
#include <uuids.h>

#include <cstdlib>
#include <cstring>

#include "devices/av_capture_formats.h"
#include "devices/av_log.h"

bool AvCamera::Cap::operator==(const Cap& other) const {
  return major == other.major && subtype == other.subtype && interval == other.interval &&
         interval_again == other.interval_again && width == other.width &&
         width_again == other.width_again && height == other.height &&
         height_again == other.height_again && one == other.one &&
         one_again == other.one_again && format == other.format;
}

AvCamera::AvCamera() : device_(CLSID_VideoInputDeviceCategory, sizeof(VIDEO_STREAM_CONFIG_CAPS)) {}

AvCamera::~AvCamera() { Uninit(); }

void AvCamera::SetSink(AvCameraSink* sink) { sink_.store(sink); }

int AvCamera::Init() {
  AvLog("AvCamera::Init, pInst = %08x", static_cast<unsigned>(reinterpret_cast<uintptr_t>(this)));
  if (!CreateGraph()) return 0;
  EnumDevices();
  return 1;
}

void AvCamera::Uninit() {
  Stop();
  FinishPendingTeardown();
  CloseDevice();
  ReleaseGraph();
}

int AvCamera::EnumDevices() {
  if (!HasGraph()) return -1;
  const int count = device_.Enum();
  AvLog("AvCamera::EnumDevices = %d", count);
  return count;
}

const wchar_t* AvCamera::GetDeviceName(int index) { return device_.Name(index); }

const wchar_t* AvCamera::GetDevicePath(int index) { return device_.Path(index); }

int AvCamera::OpenDevice(const wchar_t* name, const wchar_t* path) {
  CloseDevice();
  if (!HasGraph() || !device_.Open(name, path)) {
    AvLog("AvCamera::OpenDevice: no such device");
    return 0;
  }
  RebuildCaps();
  AvLog("AvCamera::OpenDevice: %d capabilities", static_cast<int>(caps_.size()));
  return 1;
}

void AvCamera::CloseDevice() {
  selected_ = 0;
  caps_.clear();
  if (sink_filter_) sink_filter_->SetSink(nullptr);
  sink_filter_.Reset();
  device_.Close();
}

bool AvCamera::IsOpened() { return device_.IsOpen(); }

const wchar_t* AvCamera::GetOpenedName() { return device_.opened_name().c_str(); }

const wchar_t* AvCamera::GetOpenedPath() { return device_.opened_path().c_str(); }

bool AvCamera::CapOf(const AM_MEDIA_TYPE& type, Cap* cap) {
  if (type.majortype != MEDIATYPE_Video && type.majortype != MEDIATYPE_Interleaved) return false;
  if (type.formattype != FORMAT_VideoInfo || !type.pbFormat ||
      type.cbFormat < sizeof(VIDEOINFOHEADER)) {
    return false;
  }
  const auto* info = reinterpret_cast<const VIDEOINFOHEADER*>(type.pbFormat);
  std::memset(cap, 0, sizeof(*cap));
  cap->major = type.majortype;
  cap->subtype = type.subtype;
  cap->interval = cap->interval_again = static_cast<uint32_t>(info->AvgTimePerFrame);
  cap->width = cap->width_again = info->bmiHeader.biWidth;
  cap->height = cap->height_again = std::abs(info->bmiHeader.biHeight);
  cap->one = cap->one_again = 1;
  cap->format = morlun::VideoFormatOfFourcc(info->bmiHeader.biCompression);
  return true;
}

void AvCamera::RebuildCaps() {
  caps_.clear();
  device_.ForEachCap([this](const AM_MEDIA_TYPE& type, const BYTE*) {
    Cap cap;
    if (CapOf(type, &cap)) caps_.push_back(cap);
    return false;
  });
}

const AvCamera::Cap* AvCamera::CapAt(int index) const {
  return index >= 0 && index < static_cast<int>(caps_.size()) ? &caps_[index] : nullptr;
}

int AvCamera::GetCapCount() { return static_cast<int>(caps_.size()); }

int AvCamera::SelectCap(int index) {
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
  // The device may adjust what it was given: Start reads the format it really took.
  device_.ReadCurrentFormat();
  AvLog("AvCamera::SelectCap(%d) = %d", index, applied ? 1 : 0);
  return applied ? 1 : 0;
}

int AvCamera::GetSelectedCap() { return selected_; }

int AvCamera::GetCapWidth(int index) {
  const Cap* cap = CapAt(index);
  return cap ? cap->width : 0;
}

int AvCamera::GetCapHeight(int index) {
  const Cap* cap = CapAt(index);
  return cap ? cap->height : 0;
}

int AvCamera::GetCapFrameInterval(int index) {
  const Cap* cap = CapAt(index);
  return cap ? static_cast<int>(cap->interval) : 0;
}

int AvCamera::GetCapFormat(int index) {
  const Cap* cap = CapAt(index);
  return cap ? cap->format : 0;
}

const wchar_t* AvCamera::GetCapFormatName(int index) {
  return morlun::VideoFormatName(GetCapFormat(index));
}

void AvCamera::DescribeFrames(const AM_MEDIA_TYPE& type) {
  const BITMAPINFOHEADER* header = morlun::BitmapHeaderOf(type);
  if (!header) return;
  frame_width_ = header->biWidth;
  frame_height_ = std::abs(header->biHeight);
  frame_format_ = morlun::VideoFormatOfBitmap(*header);
}

void AvCamera::FinishPendingTeardown() {
  if (!teardown_pending_.exchange(false)) return;
  gate_.Close();  // Waits for the callback that asked for the stop.
  StopCaptureGraph(device_.filter());
  if (sink_filter_) sink_filter_->SetSink(nullptr);
  sink_filter_.Reset();
}

int AvCamera::Start() {
  if (started_.load()) return 1;
  if (gate_.IsInsideCallback()) {
    AvLog("AvCamera::Start: refused inside a frame callback");
    return 0;
  }
  Stop();
  FinishPendingTeardown();
  AvCameraSink* sink = sink_.load();
  if (!HasGraph() || !device_.IsOpen() || !sink) {
    AvLog("AvCamera::Start: %s", !HasGraph() ? "no graph" : !device_.IsOpen() ? "no device"
                                                                                : "no sink");
    return 0;
  }
  device_.ReadCurrentFormat();
  const AM_MEDIA_TYPE& current = device_.current_format().get();
  const BITMAPINFOHEADER* header = morlun::BitmapHeaderOf(current);
  const int current_format = header ? morlun::VideoFormatOfFourcc(header->biCompression) : 0;
  const GUID subtype = morlun::IsPassThroughVideoFormat(current_format) ? current.subtype
                                                                        : MEDIASUBTYPE_RGB32;
  sink_filter_.Attach(CKestCaptureFilter::Create(this, MEDIATYPE_Video, subtype));
  if (!sink_filter_) return 0;
  if (!StartCaptureGraph(device_.filter(), sink_filter_.Get(), MEDIATYPE_Video, true)) {
    sink_filter_->SetSink(nullptr);
    sink_filter_.Reset();
    AvLog("AvCamera::Start failed");
    return 0;
  }
  frame_width_ = frame_height_ = frame_format_ = 0;
  morlun::MediaType connected;
  if (sink_filter_->pin()->GetConnectionType(&connected)) DescribeFrames(connected.get());
  started_.store(true);
  AvLog("AvCamera::Start: %dx%d, format %d", frame_width_, frame_height_, frame_format_);
  sink->OnState(1);
  if (started_.load()) gate_.Open();
  return 1;
}

void AvCamera::Stop() {
  const bool was_started = started_.exchange(false);
  const bool inside_callback = gate_.Close();
  if (!was_started) return;
  if (inside_callback) {
    // Stopping the graph here would wait for this very thread: the next Start, Uninit or
    // destroy tears it down.
    teardown_pending_.store(true);
  } else {
    StopCaptureGraph(device_.filter());
    if (sink_filter_) sink_filter_->SetSink(nullptr);
    sink_filter_.Reset();
  }
  AvLog("AvCamera::Stop");
  if (AvCameraSink* sink = sink_.load()) sink->OnState(0);
}

bool AvCamera::IsStarted() { return started_.load(); }

void AvCamera::OnVideoSample(IMediaSample* sample) {
  if (!sample || !gate_.Enter()) return;
  struct Leave {
    morlun::AvCaptureGate* gate;
    ~Leave() { gate->Leave(); }
  } leave{&gate_};
  AM_MEDIA_TYPE* changed = nullptr;
  if (sample->GetMediaType(&changed) == S_OK && changed) {
    DescribeFrames(*changed);
    morlun::DeleteMediaType(changed);
  }
  BYTE* data = nullptr;
  if (FAILED(sample->GetPointer(&data)) || !data) return;
  const long length = sample->GetActualDataLength();
  if (AvCameraSink* sink = sink_.load()) {
    sink->OnFrame(data, static_cast<int>(length), frame_width_, frame_height_, frame_format_);
  }
}

void AvCamera::OnAudioSample(IMediaSample*) {}

void AvCamera::OnUnusedSample(IMediaSample*) {}
