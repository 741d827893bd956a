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

AvCamera::AvCamera()
    : AvCaptureBase(CLSID_VideoInputDeviceCategory, sizeof(VIDEO_STREAM_CONFIG_CAPS),
                    MEDIATYPE_Video, "AvCamera") {}

AvCamera::~AvCamera() { Uninit(); }

void AvCamera::SetSink(AvCameraSink* sink) { sink_.store(sink); }

int AvCamera::Init() { return InitCapture(); }

void AvCamera::Uninit() { UninitCapture(); }

int AvCamera::EnumDevices() { return EnumCaptureDevices(); }

const wchar_t* AvCamera::GetDeviceName(int index) { return device_.Name(index); }

const wchar_t* AvCamera::GetDevicePath(int index) { return device_.Path(index); }

int AvCamera::OpenDevice(const wchar_t* name, const wchar_t* path) {
  return OpenCaptureDevice(name, path);
}

void AvCamera::CloseDevice() { CloseCaptureDevice(); }

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

void AvCamera::RebuildCaps() { ListCaps(&caps_, &AvCamera::CapOf); }

int AvCamera::GetCapCount() { return static_cast<int>(caps_.size()); }

int AvCamera::SelectCap(int index) {
  const int applied = SelectCapOf(caps_, index, &AvCamera::CapOf);
  AvLog("AvCamera::SelectCap(%d) = %d", index, applied);
  return applied;
}

int AvCamera::GetSelectedCap() { return selected_; }

int AvCamera::GetCapWidth(int index) {
  const Cap* cap = CapAt(caps_, index);
  return cap ? cap->width : 0;
}

int AvCamera::GetCapHeight(int index) {
  const Cap* cap = CapAt(caps_, index);
  return cap ? cap->height : 0;
}

int AvCamera::GetCapFrameInterval(int index) {
  const Cap* cap = CapAt(caps_, index);
  return cap ? static_cast<int>(cap->interval) : 0;
}

int AvCamera::GetCapFormat(int index) {
  const Cap* cap = CapAt(caps_, index);
  return cap ? cap->format : 0;
}

const wchar_t* AvCamera::GetCapFormatName(int index) {
  return morlun::VideoFormatName(GetCapFormat(index));
}

bool AvCamera::ReportState(int state) {
  AvCameraSink* sink = sink_.load();
  if (sink) sink->OnState(state);
  return sink != nullptr;
}

void AvCamera::DescribeSamples(const AM_MEDIA_TYPE& type) {
  const BITMAPINFOHEADER* header = morlun::BitmapHeaderOf(type);
  if (!header) return;
  frame_width_ = header->biWidth;
  frame_height_ = std::abs(header->biHeight);
  frame_format_ = morlun::VideoFormatOfBitmap(*header);
}

int AvCamera::Start() {
  if (IsCapturing()) return 1;
  if (!sink_.load()) {
    AvLog("AvCamera::Start: no sink");
    return 0;
  }
  // The six planar and packed YUV formats are taken as they come; anything else is asked for
  // as RGB32, for which DirectShow inserts a decoder or converter.
  device_.ReadCurrentFormat();
  const AM_MEDIA_TYPE& current = device_.current_format().get();
  const BITMAPINFOHEADER* header = morlun::BitmapHeaderOf(current);
  const int current_format = header ? morlun::VideoFormatOfFourcc(header->biCompression) : 0;
  const GUID subtype = morlun::IsPassThroughVideoFormat(current_format) ? current.subtype
                                                                        : MEDIASUBTYPE_RGB32;
  frame_width_ = frame_height_ = frame_format_ = 0;
  return StartCapture(subtype, true);
}

void AvCamera::Stop() { StopCapture(); }

bool AvCamera::IsStarted() { return IsCapturing(); }

void AvCamera::OnVideoSample(IMediaSample* sample) {
  DeliverSample(sample, [this](const BYTE* data, long length) {
    if (AvCameraSink* sink = sink_.load()) {
      sink->OnFrame(data, static_cast<int>(length), frame_width_, frame_height_, frame_format_);
    }
  });
}

void AvCamera::OnAudioSample(IMediaSample*) {}

void AvCamera::OnUnusedSample(IMediaSample*) {}
