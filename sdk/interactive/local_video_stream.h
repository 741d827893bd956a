#pragma once

#include <memory>
#include <string>

#include "orvim_sdk.h"
#include "share/yuv/yuv_transform.h"

// One opened camera of the SDK layer: the camera, the SDK stream made for it, and what its
// frames are used for.
struct LocalVideoStream {
  std::string deviceId;  // The camera; the key of the layer's list.
  std::string streamId;  // Empty until the SDK reports the created stream.
  bool bpublish = false;  // Frames feed the publish stream, the camera block and face beauty.
  bool bbeauty = false;   // Face beauty asked for this camera.
  bool breserved = false;
  rtTarvo::rtc::VideoParams params;  // Width, height, frame rate and the two flags.
  // The transform of this camera's frames, made on its first frame. Each camera stream
  // delivers on its own SDK thread, so each has its own work buffer; a frame in flight holds a
  // reference, so erasing the record never pulls the buffer from under it.
  std::shared_ptr<CxYuvTransform> transform;
};

// What the local frame path needs of a camera record (a copy taken under the camera-stream
// mutex).
struct LocalStreamInfo {
  bool bpublish = false;
  bool bbeauty = false;
  std::string deviceId;
  std::string streamId;
  std::shared_ptr<CxYuvTransform> transform;  // Never null after a successful lookup.
};
