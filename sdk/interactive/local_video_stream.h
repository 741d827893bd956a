#pragma once

#include <string>

#include "orvim_sdk.h"

// One opened camera of the SDK layer: the camera, the SDK stream made for it, and what its
// frames are used for.
struct LocalVideoStream {
  std::string deviceId;  // The camera; the key of the layer's list.
  std::string streamId;  // Empty until the SDK reports the created stream.
  bool bpublish = false;  // Frames feed the publish stream, the camera block and face beauty.
  bool bbeauty = false;   // Face beauty asked for this camera.
  bool breserved = false;
  rtTarvo::rtc::VideoParams params;  // Width, height, frame rate and the two flags.
};
