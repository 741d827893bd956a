#include "devices/av_capture_formats.h"

namespace morlun {
namespace {

struct WaveTagName {
  int tag;
  const wchar_t* name;
};

// Generated from the WAVE_FORMAT_ definitions of <mmreg.h>, without the prefix.
constexpr WaveTagName kWaveTagNames[] = {
#include "morlun_wave_tag_names.inc"
};

}  // namespace

const wchar_t* WaveFormatName(int tag) {
  for (const WaveTagName& entry : kWaveTagNames) {
    if (entry.tag == tag) return entry.name;
  }
  return L"UNKNOWN";
}

}  // namespace morlun
