#include "devices/av_formats.h"

#include <cctype>
#include <charconv>
#include <clocale>
#include <locale.h>

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/pixdesc.h>
#include <libavutil/samplefmt.h>
}

namespace morlun {
namespace {

struct LayoutEntry {
  uint64_t mask;
  const char* name;
};

const LayoutEntry kLayouts[kChannelLayoutCount] = {
    {AV_CH_LAYOUT_MONO, "Mono"},
    {AV_CH_LAYOUT_STEREO, "Stereo"},
    {AV_CH_LAYOUT_2POINT1, "2Point1"},
    {AV_CH_LAYOUT_2_1, "2_1"},
    {AV_CH_LAYOUT_SURROUND, "Surround"},
    {AV_CH_LAYOUT_3POINT1, "3Point1"},
    {AV_CH_LAYOUT_4POINT0, "4Point0"},
    {AV_CH_LAYOUT_4POINT1, "4Point1"},
    {AV_CH_LAYOUT_2_2, "2_2"},
    {AV_CH_LAYOUT_QUAD, "Quad"},
    {AV_CH_LAYOUT_5POINT0, "5Point0"},
    {AV_CH_LAYOUT_5POINT1, "5Point1"},
    {AV_CH_LAYOUT_5POINT0_BACK, "5Point0_Back"},
    {AV_CH_LAYOUT_5POINT1_BACK, "5Point1_Back"},
    {AV_CH_LAYOUT_6POINT0, "6Point0"},
    {AV_CH_LAYOUT_6POINT0_FRONT, "6Point0_Front"},
    {AV_CH_LAYOUT_HEXAGONAL, "Hexagonal"},
    {AV_CH_LAYOUT_6POINT1, "6Point1"},
    {AV_CH_LAYOUT_6POINT1_BACK, "6Point1_Back"},
    {AV_CH_LAYOUT_6POINT1_FRONT, "6Point1_Front"},
    {AV_CH_LAYOUT_7POINT0, "7Point0"},
    {AV_CH_LAYOUT_7POINT0_FRONT, "7Point0_Front"},
    {AV_CH_LAYOUT_7POINT1, "7Point1"},
    {AV_CH_LAYOUT_7POINT1_WIDE, "7Point1_Wide"},
    {AV_CH_LAYOUT_7POINT1_WIDE_BACK, "7Point1_Wide_Back"},
    {AV_CH_LAYOUT_OCTAGONAL, "Octagonal"},
    {AV_CH_LAYOUT_HEXADECAGONAL, "Hexadecagonal"},
    {AV_CH_LAYOUT_STEREO_DOWNMIX, "Stereo_Downmix"},
};

int MakeEven(int value) { return value < 2 ? 2 : value & ~1; }

}  // namespace

const char* SampleFormatName(int format) {
  if (format < 0 || format > 11) return "Unknown";
  const char* name = av_get_sample_fmt_name(static_cast<AVSampleFormat>(format));
  return name ? name : "Unknown";
}

std::string PixelFormatName(int format) {
  if (format < 0 || format > 28) return "Unknown";
  const char* name = av_get_pix_fmt_name(static_cast<AVPixelFormat>(format));
  if (!name) return "Unknown";
  std::string upper(name);
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return upper;
}

uint64_t ChannelLayoutMask(int index) {
  if (index < 0 || index >= kChannelLayoutCount) return AV_CH_LAYOUT_STEREO;
  return kLayouts[index].mask;
}

const char* ChannelLayoutName(uint64_t mask) {
  for (const LayoutEntry& entry : kLayouts) {
    if (entry.mask == mask) return entry.name;
  }
  return "Unknown";
}

int PixelCodeOfFormat(int av_pixel_format) {
  switch (av_pixel_format) {
    case AV_PIX_FMT_BGR24:
      return 2;
    case AV_PIX_FMT_BGRA:
      return 3;
    case AV_PIX_FMT_YUYV422:
      return 4;
    case AV_PIX_FMT_YVYU422:
      return 5;
    case AV_PIX_FMT_UYVY422:
      return 6;
    default:
      return 0;
  }
}

int FormatOfPixelCode(int code) {
  switch (code) {
    case 2:
      return AV_PIX_FMT_BGR24;
    case 3:
      return AV_PIX_FMT_BGRA;
    case 4:
      return AV_PIX_FMT_YUYV422;
    case 5:
      return AV_PIX_FMT_YVYU422;
    case 6:
    case 7:
      return AV_PIX_FMT_UYVY422;
    default:
      return AV_PIX_FMT_YUV420P;
  }
}

int SampleFormatOfCode(int code) {
  if (code == 0 || (code >= 2 && code <= 11)) return code;
  return AV_SAMPLE_FMT_S16;
}

bool FitIntoBox(int src_w, int src_h, int box_w, int box_h, int* out_w, int* out_h) {
  if (src_w <= 0 || src_h <= 0 || box_w < 2 || box_h < 2) return false;
  int w = src_w;
  int h = src_h;
  if (src_w > box_w || src_h > box_h) {
    const double aspect = static_cast<double>(src_h) / src_w;
    if (aspect > static_cast<double>(box_h) / box_w) {
      w = static_cast<int>(box_h / aspect);
      h = box_h;
    } else {
      w = box_w;
      h = static_cast<int>(box_w * aspect);
    }
  }
  *out_w = MakeEven(w);
  *out_h = MakeEven(h);
  return true;
}

std::string FixedText(double value, int decimals) {
  char buffer[64];
  auto result =
      std::to_chars(buffer, buffer + sizeof(buffer), value, std::chars_format::fixed, decimals);
  if (result.ec != std::errc()) return "0";
  return std::string(buffer, result.ptr);
}

ScopedCNumericLocale::ScopedCNumericLocale()
    : previous_mode_(_configthreadlocale(_ENABLE_PER_THREAD_LOCALE)) {
  const char* current = std::setlocale(LC_NUMERIC, nullptr);
  previous_locale_ = current ? current : "C";
  std::setlocale(LC_NUMERIC, "C");
}

ScopedCNumericLocale::~ScopedCNumericLocale() {
  std::setlocale(LC_NUMERIC, previous_locale_.c_str());
  if (previous_mode_ == _DISABLE_PER_THREAD_LOCALE) {
    _configthreadlocale(_DISABLE_PER_THREAD_LOCALE);
  }
}

}  // namespace morlun
