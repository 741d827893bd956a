// Result codes of the inference layer.
#pragma once

namespace MNN {

// Zero means success. The value names avoid the macros of <windows.h> (NO_ERROR), so this
// header can be included beside it.
enum ErrorCode {
  NO_FAILURE = 0,
  OUT_OF_MEMORY = 1,
  NOT_SUPPORT = 2,
  COMPUTE_SIZE_ERROR = 3,
  NO_EXECUTION = 4,
  INVALID_VALUE = 5,
  INPUT_DATA_ERROR = 10,
};

}  // namespace MNN
