#include "share/beauty/beauty_param.h"

#include <cstring>

StBeautyParam DefaultBeautyParam() {
  StBeautyParam param;
  std::memset(&param, 0, sizeof(param));
  param.key_color = 0xFF00FF00;
  param.byte_1092 = 1;
  return param;
}
