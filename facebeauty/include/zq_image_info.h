// The frame record of the beauty library, its pixel-format codes and the beauty types.
#pragma once

namespace QUENMAR_FACEBEAUTY {

struct zq_image_info_st {
  int width;
  int height;
  int reserved;            // not read by the library
  int format;              // a zq_pixel_format code
  unsigned char* data;     // the caller's pixels (image mode: beautified in place)
  int textureId;           // C interface: > 0 takes the frame from this 2D RGBA texture
  bool readBack;           // C interface: write the result into data in the record's format
};

enum zq_pixel_format {
  ZQ_PIX_FMT_I420 = 2,
  ZQ_PIX_FMT_NV21 = 4,
  ZQ_PIX_FMT_BGRA8888 = 6,
  ZQ_PIX_FMT_BGR888 = 7,
  ZQ_PIX_FMT_RGBA8888 = 8,
  ZQ_PIX_FMT_RGB888 = 9,
};

// Levels are accepted from -0.001 to 3.001 (exclusive); each type maps its level to a stored
// value (thin face 0.15 × l, big eyes 0.13 × l, ...); type 22 applies a preset from one level.
enum zq_beauty_type {
  ZQ_BEAUTY_THIN_FACE = 0,
  ZQ_BEAUTY_BIG_EYE = 1,
  ZQ_BEAUTY_EYE_DETAIL = 2,
  ZQ_BEAUTY_NOSE_WINGS = 3,
  ZQ_BEAUTY_SMOOTH = 4,
  ZQ_BEAUTY_WHITEN = 5,
  ZQ_BEAUTY_EYE_BRIGHT = 6,
  ZQ_BEAUTY_NOSE_BRIGHT = 7,
  ZQ_BEAUTY_SHARPEN = 8,
  ZQ_BEAUTY_CHIN = 9,
  ZQ_BEAUTY_V_FACE = 10,
  ZQ_BEAUTY_CHIN_SECOND = 11,
  ZQ_BEAUTY_MOUTH_SIZE = 12,
  ZQ_BEAUTY_MOUTH_CORNERS = 13,
  ZQ_BEAUTY_MOUTH_CENTRE = 14,
  ZQ_BEAUTY_EYES_FIRST = 15,
  ZQ_BEAUTY_EYES_SECOND = 16,
  ZQ_BEAUTY_NOSE_TIP = 17,
  ZQ_BEAUTY_CHIN_SIDES = 18,
  ZQ_BEAUTY_CHEEKBONES = 19,
  ZQ_BEAUTY_MANDIBLES = 20,
  ZQ_BEAUTY_SECOND_PULLS = 21,
  ZQ_BEAUTY_PRESET = 22,
};

}  // namespace QUENMAR_FACEBEAUTY
