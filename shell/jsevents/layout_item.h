#pragma once

#include <cstdint>
#include <string>

// One entry of the room layout that the SDK layer reports (page event 18). Positions and sizes
// are fractions or pixels as the SDK gives them.
struct StLayoutItem {
  int32_t index = 0;
  bool isFixed = false;
  bool hasCamera = false;
  float left = 0.0f;
  float top = 0.0f;
  float width = 0.0f;
  float height = 0.0f;
  std::string stream_id;
  std::string userName;
  std::string userId;
};
