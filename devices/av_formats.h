#pragma once

#include <cstdint>
#include <string>

// Tables and small conversions of the decode engine: format names for the log, the standard
// channel layouts that SetAudioOutput selects by index, pixel codes, picture fitting and
// locale-independent number texts for filter descriptions.

namespace morlun {

constexpr int kChannelLayoutCount = 28;

// FFmpeg's sample format name for codes 0..11, else "Unknown".
const char* SampleFormatName(int format);
// FFmpeg's pixel format name in capitals for codes 0..28 ("YUV420P" ... "BGRA"), else "Unknown".
std::string PixelFormatName(int format);
// Channel mask of the standard layout at `index` (stereo for an index outside the table).
uint64_t ChannelLayoutMask(int index);
// "Mono", "Stereo", ... "Stereo_Downmix" for the layouts of the table, else "Unknown".
const char* ChannelLayoutName(uint64_t mask);

// The pixel code (AvPixelCode) of an FFmpeg pixel format, and FFmpeg's format of a code.
int PixelCodeOfFormat(int av_pixel_format);
int FormatOfPixelCode(int code);
// SetAudioOutput's sample format: 0 and 2..11 are FFmpeg codes, anything else is signed 16-bit.
int SampleFormatOfCode(int code);

// Fits a picture of `src_w` x `src_h` into the box `box_w` x `box_h`, keeping its aspect; a
// picture that fits stays as it is. Sizes are rounded down to even numbers (at least 2) so
// that an I420 picture is exactly w * h * 3 / 2 bytes. Returns false (no picture) when the box
// or the source is empty.
bool FitIntoBox(int src_w, int src_h, int box_w, int box_h, int* out_w, int* out_h);

// `value` with `decimals` digits after a '.' whatever the process locale is.
std::string FixedText(double value, int decimals);

// Holds the C numeric locale on the calling thread while FFmpeg parses filter texts.
class ScopedCNumericLocale {
 public:
  ScopedCNumericLocale();
  ~ScopedCNumericLocale();
  ScopedCNumericLocale(const ScopedCNumericLocale&) = delete;
  ScopedCNumericLocale& operator=(const ScopedCNumericLocale&) = delete;

 private:
  int previous_mode_;
  std::string previous_locale_;
};

}  // namespace morlun
