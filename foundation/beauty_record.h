#pragma once

#include <cstdint>
#include <string>

// The face-beauty and background settings block. The settings record holds one, the beauty
// settings window edits a working copy and publishes a pointer to it on the beauty topic
// (`kTopicSetBeautyDev`); the receiver copies it during the call. A plain value type: copies
// are made member by member and own their texts.
struct st_beauty {
  int32_t comprehensive = 0;        // Overall beauty level, 0 to 100.
  int32_t thin_face = 0;            // Face slimming, 0 to 100.
  int32_t big_eyes = 0;             // Eye enlarging, 0 to 100.
  int32_t rhinoplasty = 0;          // Nose shaping, 0 to 100.
  int32_t microdermabrasion = 0;    // Skin smoothing, 0 to 100.
  int32_t whitening = 0;            // Skin whitening, 0 to 100.
  int32_t blur_level = 300;         // Background blur strength, 0 to 800.
  uint32_t key_color = 0xFF00FF00;  // Green-screen key colour, 0xAARRGGBB.
  bool green_screen = false;        // Green-screen keying on.
  bool no_effect = true;            // Background option "no effect" chosen.
  bool background_blur = false;     // Background option "blur" chosen.
  int32_t rotation = 0;             // Camera picture rotation in degrees: 0, 90, 180 or 270.
  int32_t flip = 0;                 // Vertical flip, 0 or 1.
  int32_t mirror = 0;               // Horizontal mirror, 0 or 1.
  std::wstring material_path;       // Chosen background picture or video; empty when none.
  std::wstring video_path;          // Chosen background video; empty for a picture or none.
};

// One custom background material the user added. Entries are equal when their paths are.
struct StCustomMaterial {
  std::wstring path;
  bool is_video = false;

  bool operator==(const StCustomMaterial& other) const { return path == other.path; }
  bool operator!=(const StCustomMaterial& other) const { return !(*this == other); }
};
