#pragma once

#include <cstdint>

// One raw I420 video frame as the camera preview topic carries it. The pixels belong to the
// publisher and stay valid only while the bus call that carries the frame runs: a subscriber
// that needs them later copies them.
struct StYuvImage {
  int32_t width = 0;
  int32_t height = 0;
  int32_t size = 0;  // Bytes at |data|: width * height * 3 / 2 for I420.
  const uint8_t* data = nullptr;
};
