// Reads the SDK stand-in's camera mark (tag, camera number, frame counter) out of a preview's
// pixels, for the device windows' end-to-end tests.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/orvim/common/media_pattern.h"
#include "tests/support/window_pixels.h"

namespace dialog_test {

inline bool ReadPreviewMark(const tarvo_test::Pixels& pixels, orvim::PictureMark* mark) {
  std::vector<uint8_t> luma(pixels.rgb.size());
  for (size_t i = 0; i < luma.size(); ++i) {
    const uint32_t c = pixels.rgb[i];
    luma[i] = static_cast<uint8_t>(
        (77 * ((c >> 16) & 0xFF) + 150 * ((c >> 8) & 0xFF) + 29 * (c & 0xFF)) >> 8);
  }
  return orvim::ReadPictureMarkInRect(luma.data(), pixels.width, 0, 0, pixels.width,
                                      pixels.height, mark);
}

}  // namespace dialog_test
