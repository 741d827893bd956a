// The SDK stand-in's camera mark (tag, camera number, frame counter) as a device window's
// preview shows it, for the device windows' end-to-end tests.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/duilib/UIlib.h"
#include "platform/duilib/tests/test_support.h"
#include "platform/orvim/common/media_pattern.h"
#include "share/video/video_render_ui.h"
#include "share/video/video_render_win.h"
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

// What the video control `preview` shows: its render window (a child window that the canvas
// engine draws into) read back from the window's screen area with BitBlt.
inline bool PreviewPixels(DuiLib::CPaintManagerUI* pm, const wchar_t* preview,
                          tarvo_test::Pixels* pixels) {
  auto* control = static_cast<CVideoRenderUI*>(pm->FindControl(preview));
  CVideoRenderWin* render = control ? control->GetRenderWindow() : nullptr;
  return render && render->GetHWND() && tarvo_test::ReadWindowPixels(render->GetHWND(), pixels);
}

// The virtual camera's mark as the preview shows it, when one is readable there.
inline bool ShownMark(DuiLib::CPaintManagerUI* pm, const wchar_t* preview,
                      orvim::PictureMark* mark) {
  tarvo_test::Pixels pixels;
  return PreviewPixels(pm, preview, &pixels) && ReadPreviewMark(pixels, mark);
}

// Waits until the preview shows camera `number` of the client tagged `tag`, then until its
// picture moves on (live frames, not one picture).
inline bool PreviewShowsCamera(DuiLib::CPaintManagerUI* pm, const wchar_t* preview, int tag,
                               int number) {
  orvim::PictureMark first;
  if (!duilib_test::PumpUntil(
          [&] {
            return ShownMark(pm, preview, &first) && first.tag == tag && first.camera == number;
          },
          15000)) {
    return false;
  }
  orvim::PictureMark later;
  return duilib_test::PumpUntil(
      [&] {
        return ShownMark(pm, preview, &later) && later.camera == number &&
               later.counter > first.counter;
      },
      15000);
}

}  // namespace dialog_test
