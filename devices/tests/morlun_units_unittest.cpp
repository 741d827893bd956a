// The decode engine's small pieces: the debug log line, notification packing, picture fitting
// and filter descriptions.

#include <clocale>
#include <cstdarg>
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "devices/av_file_decode_engine.h"
#include "devices/av_filter_graph.h"
#include "devices/av_formats.h"
#include "devices/av_log.h"
#include "devices/av_msg_window.h"

namespace {

std::string Line(double seconds, const char* format, ...) {
  static char buffer[64 + morlun::kLogMessageMax + 3];
  va_list args;
  va_start(args, format);
  const int length = morlun::FormatLogLine(buffer, sizeof(buffer), seconds, format, args);
  va_end(args);
  EXPECT_EQ(length, static_cast<int>(std::string(buffer).size()));
  return buffer;
}

}  // namespace

TEST(AvLogTest, LinesCarryThePrefixAndEndWithALineFeed) {
  EXPECT_EQ(Line(1.5, "open %d", 7), "Morlun [1.500]\topen 7\n");
  EXPECT_EQ(Line(0.0, "two\nlines"), "Morlun [0.000]\t\ntwo\nlines\n");
  EXPECT_EQ(Line(2.25, nullptr), "Morlun [2.250]\t");
  EXPECT_EQ(AvLog(nullptr), static_cast<int>(std::string(Line(0, nullptr)).size()));
}

TEST(AvLogTest, LongMessagesAreCutAt4096) {
  const std::string long_text(5000, 'x');
  const std::string line = Line(0.0, "%s", long_text.c_str());
  EXPECT_EQ(line, "Morlun [0.000]\t" + std::string(4096, 'x') + "\n");
}

TEST(AvMsgTest, PackedValuesKeepTheirHalves) {
  EXPECT_EQ(morlun::PackAvMsg(3, 1), 0x00030001u);
  EXPECT_EQ(morlun::PackAvMsg(70000, 0), 0xFFFF0000u);  // at most 65535
  EXPECT_EQ(morlun::PackAvMsg(-5, 6), 0x00000006u);
  EXPECT_EQ(morlun::PackAvMsg(7, 0x12345), 0x00072345u);
}

TEST(AvFormatsTest, FitIntoBox) {
  struct Case {
    int src_w, src_h, box_w, box_h;
    bool ok;
    int w, h;
  } cases[] = {
      {320, 240, 640, 480, true, 320, 240},    // fits: unchanged
      {1280, 720, 640, 640, true, 640, 360},   // wider than the box
      {720, 1280, 640, 640, true, 360, 640},   // taller than the box
      {321, 241, 1000, 1000, true, 320, 240},  // odd sizes become even
      {1280, 720, 101, 75, true, 100, 56},    {320, 240, 0, 0, false, 0, 0},  // no box: no pictures
      {320, 240, 640, 0, false, 0, 0},        {0, 0, 640, 480, false, 0, 0},
  };
  for (const Case& c : cases) {
    int w = 0, h = 0;
    EXPECT_EQ(morlun::FitIntoBox(c.src_w, c.src_h, c.box_w, c.box_h, &w, &h), c.ok)
        << c.src_w << "x" << c.src_h << " in " << c.box_w << "x" << c.box_h;
    if (c.ok) {
      EXPECT_EQ(w, c.w);
      EXPECT_EQ(h, c.h);
    }
  }
}

TEST(AvFormatsTest, FilterTexts) {
  EXPECT_EQ(morlun::AudioFilterText(1.0, 0), "anull");
  EXPECT_EQ(morlun::AudioFilterText(1.0, 480), "asetnsamples=n=480");
  EXPECT_EQ(morlun::AudioFilterText(1.5, 480), "atempo=1.500,asetnsamples=n=480");
  EXPECT_EQ(morlun::VideoFilterText(1.0, 0, 25), "null");
  EXPECT_EQ(morlun::VideoFilterText(1.0, 15, 25), "fps=15.000000");
  EXPECT_EQ(morlun::VideoFilterText(2.0, 0, 29.97), "setpts=PTS/2.000,fps=29.970000");
}

TEST(AvFormatsTest, NumbersIgnoreTheProcessLocale) {
  // A locale with a decimal comma, where Windows has one.
  if (!std::setlocale(LC_NUMERIC, "French_France.1252") && !std::setlocale(LC_NUMERIC, "fr-FR")) {
    GTEST_SKIP() << "no locale with a decimal comma";
  }
  if (std::string(std::localeconv()->decimal_point) != ",") {
    std::setlocale(LC_NUMERIC, "C");
    GTEST_SKIP() << "the locale has no decimal comma";
  }
  EXPECT_EQ(morlun::FixedText(1.25, 3), "1.250");
  EXPECT_EQ(morlun::VideoFilterText(0.5, 0, 25), "setpts=PTS/0.500,fps=25.000000");
  {
    morlun::ScopedCNumericLocale c_locale;
    EXPECT_STREQ(std::localeconv()->decimal_point, ".");
  }
  std::setlocale(LC_NUMERIC, "C");
}

TEST(AvFormatsTest, TablesAndCodes) {
  EXPECT_STREQ(morlun::SampleFormatName(1), "s16");
  EXPECT_STREQ(morlun::SampleFormatName(12), "Unknown");
  EXPECT_EQ(morlun::PixelFormatName(0), "YUV420P");
  EXPECT_EQ(morlun::PixelFormatName(28), "BGRA");
  EXPECT_EQ(morlun::PixelFormatName(29), "Unknown");
  EXPECT_STREQ(morlun::ChannelLayoutName(morlun::ChannelLayoutMask(1)), "Stereo");
  EXPECT_STREQ(morlun::ChannelLayoutName(morlun::ChannelLayoutMask(27)), "Stereo_Downmix");
  EXPECT_EQ(morlun::ChannelLayoutMask(99), morlun::ChannelLayoutMask(1));
  EXPECT_EQ(morlun::SampleFormatOfCode(0), 0);
  EXPECT_EQ(morlun::SampleFormatOfCode(11), 11);
  EXPECT_EQ(morlun::SampleFormatOfCode(12), 1);
  EXPECT_EQ(morlun::SampleFormatOfCode(-1), 1);
  for (int code : {0, 2, 3, 4, 5, 6}) {
    EXPECT_EQ(morlun::PixelCodeOfFormat(morlun::FormatOfPixelCode(code)), code);
  }
  EXPECT_EQ(morlun::PixelCodeOfFormat(morlun::FormatOfPixelCode(7)), 6);
  EXPECT_EQ(morlun::PixelCodeOfFormat(morlun::FormatOfPixelCode(42)), 0);
}

// The order of the engine's virtual operations is its binary interface: each operation must
// stay in its slot.
template <class M>
int SlotOf(M member) {
  struct {
    uintptr_t ptr;
    ptrdiff_t adj;
  } raw;
  static_assert(sizeof(member) == sizeof(raw), "unexpected member pointer size");
  std::memcpy(&raw, &member, sizeof(raw));
  return static_cast<int>((raw.ptr - 1) / sizeof(void*));  // Virtual: 1 + vtable offset.
}

TEST(AvFileDecodeEngineTest, OperationsKeepTheirSlots) {
  using E = AvFileDecodeEngine;
  EXPECT_EQ(SlotOf(&E::PullAudio), 0);
  EXPECT_EQ(SlotOf(&E::SetSink), 1);
  EXPECT_EQ(SlotOf(&E::SetMaxVideoSize), 2);
  EXPECT_EQ(SlotOf(&E::OpenFile), 3);
  EXPECT_EQ(SlotOf(&E::CloseFile), 4);
  EXPECT_EQ(SlotOf(&E::HasFile), 5);
  EXPECT_EQ(SlotOf(&E::GetFilePath), 6);
  EXPECT_EQ(SlotOf(&E::SetLoopCount), 7);
  EXPECT_EQ(SlotOf(&E::GetLoopCount), 8);
  EXPECT_EQ(SlotOf(&E::SetSpeed), 9);
  EXPECT_EQ(SlotOf(&E::GetSpeed), 10);
  EXPECT_EQ(SlotOf(&E::SetVolume), 11);
  EXPECT_EQ(SlotOf(&E::GetVolume), 12);
  EXPECT_EQ(SlotOf(&E::Reset), 13);
  EXPECT_EQ(SlotOf(&E::Finish), 14);
  EXPECT_EQ(SlotOf(&E::IsActive), 15);
  EXPECT_EQ(SlotOf(&E::Pause), 16);
  EXPECT_EQ(SlotOf(&E::Resume), 17);
  EXPECT_EQ(SlotOf(&E::IsPaused), 18);
  EXPECT_EQ(SlotOf(&E::HasAudio), 19);
  EXPECT_EQ(SlotOf(&E::HasVideo), 20);
  EXPECT_EQ(SlotOf(&E::SetPercentMode), 21);
  EXPECT_EQ(SlotOf(&E::IsPercentMode), 22);
  EXPECT_EQ(SlotOf(&E::Seek), 23);
  EXPECT_EQ(SlotOf(&E::GetProgress), 24);
  EXPECT_EQ(SlotOf(&E::StepBackward), 25);
  EXPECT_EQ(SlotOf(&E::StepForward), 26);
  EXPECT_EQ(SlotOf(&E::GetDurationCeil), 27);
  EXPECT_EQ(SlotOf(&E::GetStreamTimeCeil), 28);
  EXPECT_EQ(SlotOf(&E::GetDuration), 29);
  EXPECT_EQ(SlotOf(&E::GetStreamTime), 30);
  EXPECT_EQ(SlotOf(&E::GetSourcePixelFormat), 31);
  EXPECT_EQ(SlotOf(&E::GetSourceWidth), 32);
  EXPECT_EQ(SlotOf(&E::GetSourceHeight), 33);
  EXPECT_EQ(SlotOf(&E::GetSourceFrameRate), 34);
  EXPECT_EQ(SlotOf(&E::GetOutputPixelFormat), 35);
  EXPECT_EQ(SlotOf(&E::GetOutputWidth), 36);
  EXPECT_EQ(SlotOf(&E::GetOutputHeight), 37);
  EXPECT_EQ(SlotOf(&E::GetOutputFrameRate), 38);
  EXPECT_EQ(SlotOf(&E::SetAudioOutput), 39);
  EXPECT_EQ(SlotOf(&E::SetVideoOutput), 40);
  EXPECT_EQ(SlotOf(&AvFileDecodeSink::OnAvFileDecodePosChanged), 0);
  EXPECT_EQ(SlotOf(&AvFileDecodeSink::OnAvFileDecodeFinished), 1);
  EXPECT_EQ(SlotOf(&AvFileDecodeSink::OnAvFileDecodeStateChanged), 2);
}
