#include "platform/orvim/common/media_pattern.h"

#include <gtest/gtest.h>
#include <libyuv/planar_functions.h>
#include <libyuv/rotate.h>
#include <libyuv/scale.h>

#include <vector>

#include "platform/orvim/common/wire.h"

namespace {

using orvim::PictureMark;

std::vector<uint8_t> Picture(int w, int h, const PictureMark& mark) {
  std::vector<uint8_t> picture(orvim::I420Size(w, h));
  orvim::DrawPictureMark(picture.data(), w, h, mark);
  return picture;
}

std::vector<uint8_t> Scaled(const std::vector<uint8_t>& src, int w, int h, int dw, int dh) {
  std::vector<uint8_t> dst(orvim::I420Size(dw, dh));
  const uint8_t* su = src.data() + w * h;
  const uint8_t* sv = su + (w / 2) * (h / 2);
  uint8_t* du = dst.data() + dw * dh;
  uint8_t* dv = du + (dw / 2) * (dh / 2);
  libyuv::I420Scale(src.data(), w, su, w / 2, sv, w / 2, w, h, dst.data(), dw, du, dw / 2, dv, dw / 2, dw,
                    dh, libyuv::kFilterBilinear);
  return dst;
}

TEST(OrvimMediaPatternTest, PictureMarkSurvivesScalingCroppingAndAspect) {
  const PictureMark mark{0xBEEF, 9, 0x123456};
  struct Case {
    int w, h, dw, dh;
  } cases[] = {{1920, 1080, 320, 180}, {1280, 720, 1280, 720}, {640, 480, 320, 240},
               {640, 360, 1920, 1080}, {1920, 1080, 640, 360}};
  for (const Case& c : cases) {
    const std::vector<uint8_t> picture = Scaled(Picture(c.w, c.h, mark), c.w, c.h, c.dw, c.dh);
    PictureMark read;
    ASSERT_TRUE(orvim::ReadPictureMark(picture.data(), c.dw, c.dh, &read)) << c.w << "x" << c.h << "->" << c.dw;
    EXPECT_EQ(read.tag, mark.tag);
    EXPECT_EQ(read.camera, mark.camera);
    EXPECT_EQ(read.counter, mark.counter);
  }
  // The central 16:9 part of a 640 x 480 picture is what a 16:9 crop keeps.
  const std::vector<uint8_t> full = Picture(640, 480, mark);
  PictureMark read;
  EXPECT_TRUE(orvim::ReadPictureMarkInRect(full.data() + 60 * 640, 640, 0, 0, 640, 360, &read));
  EXPECT_EQ(read.counter, mark.counter);
}

TEST(OrvimMediaPatternTest, PictureMarkReadsInEveryOrientation) {
  const PictureMark mark{77, 3, 4242};
  const int w = 640;
  const int h = 360;
  const std::vector<uint8_t> src = Picture(w, h, mark);
  const libyuv::RotationMode modes[] = {libyuv::kRotate90, libyuv::kRotate180, libyuv::kRotate270};
  for (libyuv::RotationMode mode : modes) {
    const bool swap = mode != libyuv::kRotate180;
    const int dw = swap ? h : w;
    const int dh = swap ? w : h;
    std::vector<uint8_t> dst(src.size());
    libyuv::I420Rotate(src.data(), w, src.data() + w * h, w / 2, src.data() + w * h + w * h / 4, w / 2,
                       dst.data(), dw, dst.data() + w * h, dw / 2, dst.data() + w * h + w * h / 4, dw / 2, w,
                       h, mode);
    PictureMark read;
    ASSERT_TRUE(orvim::ReadPictureMark(dst.data(), dw, dh, &read)) << mode;
    EXPECT_EQ(read.counter, mark.counter);
    // Mirrored as well.
    std::vector<uint8_t> mirrored(dst.size());
    libyuv::I420Mirror(dst.data(), dw, dst.data() + w * h, dw / 2, dst.data() + w * h + w * h / 4, dw / 2,
                       mirrored.data(), dw, mirrored.data() + w * h, dw / 2, mirrored.data() + w * h + w * h / 4,
                       dw / 2, dw, dh);
    ASSERT_TRUE(orvim::ReadPictureMark(mirrored.data(), dw, dh, &read)) << mode;
    EXPECT_EQ(read.tag, mark.tag);
  }
}

TEST(OrvimMediaPatternTest, AnUnmarkedPictureIsNotRead) {
  std::vector<uint8_t> grey(orvim::I420Size(640, 360), 128);
  PictureMark read;
  EXPECT_FALSE(orvim::ReadPictureMark(grey.data(), 640, 360, &read));
  EXPECT_FALSE(orvim::ReadPictureMark(grey.data(), 4, 4, &read));
}

TEST(OrvimMediaPatternTest, MicrophonePacketCarriesTagCounterAndLevel) {
  int16_t samples[2 * orvim::kAudioPacketFrames];
  const int levels[] = {0, 300, 3000, 32767};
  for (int level : levels) {
    orvim::FillMicrophonePacket(samples, orvim::kAudioPacketFrames, 0xABCD, 96000u, level);
    const orvim::AudioMark mark = orvim::ReadAudioPacket(samples, orvim::kAudioPacketFrames);
    EXPECT_TRUE(mark.marked);
    EXPECT_EQ(mark.tag, 0xABCD);
    EXPECT_EQ(mark.counter, 96000u);
    EXPECT_NEAR(mark.level, level, 1);
  }
  int16_t silence[2 * orvim::kAudioPacketFrames] = {};
  EXPECT_FALSE(orvim::ReadAudioPacket(silence, orvim::kAudioPacketFrames).marked);
}

}  // namespace
