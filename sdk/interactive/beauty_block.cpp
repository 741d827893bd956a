#include "sdk/interactive/beauty_block.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "foundation/text_convert.h"

StBeautyParam MakeBeautyParam(const st_beauty& beauty) {
  StBeautyParam block;
  std::memset(&block, 0, sizeof(block));
  block.beauty_level_1 = beauty.comprehensive;
  block.beauty_level_2 = beauty.thin_face;
  block.beauty_level_3 = beauty.big_eyes;
  block.beauty_level_4 = beauty.rhinoplasty;
  block.beauty_level_5 = beauty.microdermabrasion;
  block.beauty_level_6 = beauty.whitening;
  block.background_level = beauty.blur_level / 100;
  block.key_color = beauty.key_color;

  if (beauty.green_screen) block.flags |= 2;
  const int32_t levels[] = {beauty.comprehensive,     beauty.thin_face, beauty.big_eyes, beauty.rhinoplasty,
                            beauty.microdermabrasion, beauty.whitening};
  if (std::any_of(std::begin(levels), std::end(levels), [](int32_t level) { return level > 0; })) block.flags |= 1;

  // Later rules win: a material file, then blur without "no effect", then the green screen.
  block.background_mode = 0;
  if (!beauty.material_path.empty()) {
    block.background_mode = 1;
    const std::string path = UnicodeToUtf8(beauty.material_path);
    // The field keeps a terminating zero.
    std::memcpy(block.material_path, path.data(), std::min(path.size(), sizeof(block.material_path) - 1));
  }
  if (beauty.background_blur && !beauty.no_effect) block.background_mode = 2;
  if (beauty.green_screen) block.background_mode = 3;
  return block;
}
