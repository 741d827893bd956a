#include "devices/av_capture_formats.h"

#include <amvideo.h>
#include <dvdmedia.h>
#include <uuids.h>

#include <cstddef>

namespace morlun {
namespace {

struct FourccFormat {
  uint32_t fourcc;
  int format;
};

constexpr FourccFormat kFourccFormats[] = {
    {MakeFourcc('I', '4', '2', '0'), 4},  {MakeFourcc('I', 'Y', 'U', 'V'), 4},
    {MakeFourcc('Y', 'V', '1', '2'), 5},  {MakeFourcc('R', 'G', 'B', '2'), 2},
    {MakeFourcc('R', 'G', 'B', '4'), 1},  {MakeFourcc('R', 'G', 'B', 'A'), 3},
    {MakeFourcc('M', '4', 'S', '2'), 12}, {MakeFourcc('M', 'P', '4', 'V'), 12},
    {MakeFourcc('Y', 'U', 'Y', '2'), 9},  {MakeFourcc('H', '2', '6', '4'), 13},
    {MakeFourcc('H', 'D', 'Y', 'C'), 11}, {MakeFourcc('M', 'J', 'P', 'G'), 17},
    {MakeFourcc('Y', 'V', 'Y', 'U'), 8},  {MakeFourcc('U', 'Y', 'V', 'Y'), 10},
};

constexpr const wchar_t* kVideoFormatNames[] = {
    L"None", L"RGB24", L"RGB32", L"ARGB32", L"I420", L"YV12", L"Y41P", L"YVU9", L"YVYU",
    L"YUY2", L"UYVY",  L"HDYC",  L"MPEG2",  L"H264", L"dvsl", L"dvsd", L"dvhd", L"MJPG",
};

}  // namespace

int VideoFormatOfFourcc(uint32_t fourcc) {
  for (const FourccFormat& entry : kFourccFormats) {
    if (entry.fourcc == fourcc) return entry.format;
  }
  return 0;
}

const wchar_t* VideoFormatName(int format) {
  constexpr int count = static_cast<int>(sizeof(kVideoFormatNames) / sizeof(kVideoFormatNames[0]));
  return format >= 0 && format < count ? kVideoFormatNames[format] : kVideoFormatNames[0];
}

int VideoFormatOfBitmap(const BITMAPINFOHEADER& header) {
  if (header.biCompression == BI_RGB || header.biCompression == BI_BITFIELDS) {
    if (header.biBitCount == 32) return 2;
    if (header.biBitCount == 24) return 1;
    return 0;
  }
  return VideoFormatOfFourcc(header.biCompression);
}

bool IsPassThroughVideoFormat(int format) {
  switch (format) {
    case 4: case 5: case 8: case 9: case 10: case 11:
      return true;
    default:
      return false;
  }
}

GUID SubtypeOfFourcc(uint32_t fourcc) {
  GUID subtype = {0, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
  subtype.Data1 = fourcc;
  return subtype;
}

const BITMAPINFOHEADER* BitmapHeaderOf(const AM_MEDIA_TYPE& type) {
  if (!type.pbFormat) return nullptr;
  if (type.formattype == FORMAT_VideoInfo && type.cbFormat >= sizeof(VIDEOINFOHEADER)) {
    return &reinterpret_cast<const VIDEOINFOHEADER*>(type.pbFormat)->bmiHeader;
  }
  if (type.formattype == FORMAT_VideoInfo2 && type.cbFormat >= sizeof(VIDEOINFOHEADER2)) {
    return &reinterpret_cast<const VIDEOINFOHEADER2*>(type.pbFormat)->bmiHeader;
  }
  return nullptr;
}

int64_t FrameIntervalOf(const AM_MEDIA_TYPE& type) {
  if (!BitmapHeaderOf(type)) return 0;
  if (type.formattype == FORMAT_VideoInfo) {
    return reinterpret_cast<const VIDEOINFOHEADER*>(type.pbFormat)->AvgTimePerFrame;
  }
  return reinterpret_cast<const VIDEOINFOHEADER2*>(type.pbFormat)->AvgTimePerFrame;
}

const WAVEFORMATEX* WaveFormatOf(const AM_MEDIA_TYPE& type) {
  if (type.formattype != FORMAT_WaveFormatEx || !type.pbFormat) return nullptr;
  if (type.cbFormat < offsetof(WAVEFORMATEX, cbSize)) return nullptr;
  return reinterpret_cast<const WAVEFORMATEX*>(type.pbFormat);
}

}  // namespace morlun
