#include "devices/tests/test_devices/camera_source.h"

#include <dshow.h>
#include <amvideo.h>

#include <cstdlib>
#include <cstring>

#include "devices/av_capture_formats.h"
#include "devices/tests/test_devices/test_devices.h"

namespace tarvo_test_devices {
namespace {

uint32_t FourccOf(const CameraCap& cap) {
  if (std::strcmp(cap.fourcc, "RGB3") == 0) return BI_RGB;
  return morlun::MakeFourcc(cap.fourcc[0], cap.fourcc[1], cap.fourcc[2], cap.fourcc[3]);
}

int BitCountOf(uint32_t compression) {
  switch (compression) {
    case morlun::MakeFourcc('I', '4', '2', '0'):
    case morlun::MakeFourcc('Y', 'V', '1', '2'):
      return 12;
    case morlun::MakeFourcc('Y', 'U', 'Y', '2'):
    case morlun::MakeFourcc('U', 'Y', 'V', 'Y'):
      return 16;
    default:
      return 24;
  }
}

GUID SubtypeOf(uint32_t compression) {
  return compression == BI_RGB ? MEDIASUBTYPE_RGB24 : morlun::SubtypeOfFourcc(compression);
}

long ImageSize(const CameraCap& cap) {
  const long pixels = static_cast<long>(cap.width) * cap.height;
  switch (BitCountOf(FourccOf(cap))) {
    case 12:
      return pixels * 3 / 2;
    case 16:
      return pixels * 2;
    default:
      // RGB24 rows are 4-byte aligned already (widths are multiples of 64); MJPG frames get
      // room for a picture as large as YUY2.
      return FourccOf(cap) == BI_RGB ? pixels * 3 : pixels * 2;
  }
}

bool PatternOf(uint32_t compression, PatternFormat* format) {
  switch (compression) {
    case morlun::MakeFourcc('I', '4', '2', '0'): *format = PatternFormat::kI420; return true;
    case morlun::MakeFourcc('Y', 'V', '1', '2'): *format = PatternFormat::kYv12; return true;
    case morlun::MakeFourcc('Y', 'U', 'Y', '2'): *format = PatternFormat::kYuy2; return true;
    case morlun::MakeFourcc('U', 'Y', 'V', 'Y'): *format = PatternFormat::kUyvy; return true;
    case BI_RGB: *format = PatternFormat::kRgb24; return true;
    default: return false;
  }
}

void MakeType(const CameraCap& cap, morlun::MediaType* type) {
  VIDEOINFOHEADER info{};
  const uint32_t compression = FourccOf(cap);
  info.AvgTimePerFrame = cap.interval;
  info.dwBitRate = static_cast<DWORD>(static_cast<int64_t>(ImageSize(cap)) * 8 * 10000000 /
                                      cap.interval);
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = cap.width;
  info.bmiHeader.biHeight = cap.height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = static_cast<WORD>(BitCountOf(compression));
  info.bmiHeader.biCompression = compression;
  info.bmiHeader.biSizeImage = static_cast<DWORD>(ImageSize(cap));
  AM_MEDIA_TYPE mt{};
  mt.majortype = MEDIATYPE_Video;
  mt.subtype = SubtypeOf(compression);
  mt.bFixedSizeSamples = compression != morlun::MakeFourcc('M', 'J', 'P', 'G');
  mt.bTemporalCompression = FALSE;
  mt.lSampleSize = static_cast<ULONG>(ImageSize(cap));
  mt.formattype = FORMAT_VideoInfo;
  mt.cbFormat = sizeof(info);
  mt.pbFormat = reinterpret_cast<BYTE*>(&info);
  type->Assign(mt);
}

// The capability `type` is, or null.
const CameraCap* CapOf(const AM_MEDIA_TYPE& type) {
  const BITMAPINFOHEADER* header = morlun::BitmapHeaderOf(type);
  if (type.majortype != MEDIATYPE_Video || type.formattype != FORMAT_VideoInfo || !header) {
    return nullptr;
  }
  for (const CameraCap& cap : kCameraCaps) {
    if (header->biCompression == FourccOf(cap) && header->biWidth == cap.width &&
        std::abs(header->biHeight) == cap.height && type.subtype == SubtypeOf(FourccOf(cap))) {
      return &cap;
    }
  }
  return nullptr;
}

}  // namespace

void CameraSource::SetMode(const std::wstring& mode) { mode_ = mode; }

const GUID& CameraSource::major() const { return MEDIATYPE_Video; }

int CameraSource::CapsSize() const { return sizeof(VIDEO_STREAM_CONFIG_CAPS); }

int CameraSource::CapCount() const { return kCameraCapCount; }

bool CameraSource::GetCap(int index, morlun::MediaType* type, BYTE* caps) const {
  if (index < 0 || index >= kCameraCapCount) return false;
  const CameraCap& cap = kCameraCaps[index];
  MakeType(cap, type);
  VIDEO_STREAM_CONFIG_CAPS config{};
  config.guid = FORMAT_VideoInfo;
  config.InputSize = {cap.width, cap.height};
  config.MinCroppingSize = config.MaxCroppingSize = config.InputSize;
  config.CropGranularityX = config.CropGranularityY = 1;
  config.CropAlignX = config.CropAlignY = 1;
  config.MinOutputSize = config.MaxOutputSize = config.InputSize;
  config.OutputGranularityX = config.OutputGranularityY = 1;
  config.MinFrameInterval = config.MaxFrameInterval = cap.interval;
  config.MinBitsPerSecond = config.MaxBitsPerSecond =
      static_cast<LONG>(reinterpret_cast<const VIDEOINFOHEADER*>(type->get().pbFormat)->dwBitRate);
  if (caps) std::memcpy(caps, &config, sizeof(config));
  return true;
}

void CameraSource::InitialFormat(morlun::MediaType* type) const { MakeType(kCameraCaps[0], type); }

bool CameraSource::Accepts(const AM_MEDIA_TYPE& type) const { return CapOf(type) != nullptr; }

long CameraSource::BufferSize(const AM_MEDIA_TYPE& type, long) const {
  const CameraCap* cap = CapOf(type);
  return cap ? ImageSize(*cap) : 0;
}

bool CameraSource::Paced() const { return mode_ != kModeUnpaced; }

bool CameraSource::Begin(const AM_MEDIA_TYPE& type, long) {
  if (mode_ == kModeSilent) return false;
  const BITMAPINFOHEADER* header = morlun::BitmapHeaderOf(type);
  if (!header) return false;
  width_ = header->biWidth;
  height_ = std::abs(header->biHeight);
  interval_ = morlun::FrameIntervalOf(type);
  if (interval_ <= 0) interval_ = 333333;
  // MJPG frames carry YUY2 bytes: nothing here decodes them.
  if (!PatternOf(header->biCompression, &format_)) format_ = PatternFormat::kYuy2;
  frame_number_ = 0;
  base_frame_.assign(PatternFrameSize(format_, width_, height_), 0);
  DrawPattern(format_, width_, height_, 0, base_frame_.data());
  return true;
}

StreamSource::Fill CameraSource::FillSample(BYTE* data, long capacity, long* length,
                                            REFERENCE_TIME* duration, HANDLE) {
  const long size = static_cast<long>(base_frame_.size());
  if (capacity < size) return Fill::kStop;
  std::memcpy(data, base_frame_.data(), size);
  StampFrameNumber(format_, width_, height_, frame_number_++, data);
  *length = size;
  *duration = interval_;
  return Fill::kSample;
}

void CameraSource::End() { base_frame_.clear(); }

}  // namespace tarvo_test_devices
