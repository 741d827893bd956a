#pragma once

// The format tables the capture engines share: FOURCC codes to video format numbers
// (AvVideoFormat), video format names, and the names of the WAVE format tags (generated at
// build time from the multimedia registry header of the compiler's Windows headers).

#include <windows.h>
#include <mmreg.h>
#include <strmif.h>

#include <cstdint>

namespace morlun {

// The video format number of a FOURCC ("I420" and "IYUV" 4, "YUY2" 9, ...; 0 for any other).
int VideoFormatOfFourcc(uint32_t fourcc);
// "None", "RGB24", ... "MJPG" for 0..17; "None" for any other value.
const wchar_t* VideoFormatName(int format);
// "PCM", "ADPCM", "IEEE_FLOAT", ... for the tags of the registry header; "UNKNOWN" otherwise.
const wchar_t* WaveFormatName(int tag);

// The format of delivered video: uncompressed RGB by bit count (24 RGB24, 32 RGB32), anything
// else by the FOURCC of its compression field.
int VideoFormatOfBitmap(const BITMAPINFOHEADER& header);
// True for the formats the camera engine takes as they come (I420, YV12, YVYU, YUY2, UYVY and
// HDYC); other formats are asked for as RGB32.
bool IsPassThroughVideoFormat(int format);
// The media subtype of a FOURCC ({FOURCC-0000-0010-8000-00AA00389B71}).
GUID SubtypeOfFourcc(uint32_t fourcc);
constexpr uint32_t MakeFourcc(char a, char b, char c, char d) {
  return static_cast<uint32_t>(static_cast<uint8_t>(a)) |
         (static_cast<uint32_t>(static_cast<uint8_t>(b)) << 8) |
         (static_cast<uint32_t>(static_cast<uint8_t>(c)) << 16) |
         (static_cast<uint32_t>(static_cast<uint8_t>(d)) << 24);
}

// The bitmap header of a video type's format block (video-info or video-info-2), or null
// when the type has none or its block is too small.
const BITMAPINFOHEADER* BitmapHeaderOf(const AM_MEDIA_TYPE& type);
// The average time per frame of a video type (100 ns units), or 0.
int64_t FrameIntervalOf(const AM_MEDIA_TYPE& type);
// The wave format of an audio type's wave-format-ex block (at least the 16 PCM bytes), or null.
const WAVEFORMATEX* WaveFormatOf(const AM_MEDIA_TYPE& type);

}  // namespace morlun
