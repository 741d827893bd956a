#pragma once

#include <cstdint>
#include <mutex>
#include <vector>

#include "foundation/shared_memory.h"
#include "share/beauty/beauty_param.h"

// Hands local camera frames (I420) to the outside beauty process "beauty\TarvoAiVideo.exe"
// beside the program and takes the processed frames back, through the shared-memory channel
// "TarvoFaceBeauty_<instance>" that this object creates. It starts and supervises the process.
//
// Threads: Init, UnInit and IsBeauty serialise on the object's mutex (the process handle is
// touched nowhere else). SetParam runs on the UI side and BeautyFaceProcess on the thread that
// delivers camera frames; both touch the block without that mutex, and the channel write copies
// it under the channel's own lock. BeautyFaceProcess blocks its thread for up to 3000 ms.
class CxBeautyFace {
 public:
  static constexpr unsigned kChannelSize = 10368000;
  static constexpr unsigned kAnswerTimeoutMs = 3000;

  explicit CxBeautyFace(int instance);
  ~CxBeautyFace();
  CxBeautyFace(const CxBeautyFace&) = delete;
  CxBeautyFace& operator=(const CxBeautyFace&) = delete;

  // Starts the beauty process unless it still runs.
  void Init();
  // Ends the beauty process and waits for it.
  void UnInit();
  // The process runs and beauty or a background is requested.
  bool IsBeauty();
  // Takes the flags, parameters, levels, background values and the material path (at most 1023
  // bytes and a terminating zero) of |param|; width, height and the counter stay.
  void SetParam(StBeautyParam param);
  // One I420 frame through the beauty process; on success the processed frame replaces |data|.
  // On any failure (no process, nothing requested, the frame does not fit, no complete answer
  // within 3000 ms) the frame stays as it was and the result is false.
  bool BeautyFaceProcess(uint8_t* data, unsigned size, int width, int height);

  const StBeautyParam& param() const { return param_; }

 private:
  CxShareMemory channel_;
  StBeautyParam param_;
  std::mutex process_lock_;  // Guards |process_|.
  int instance_;
  void* process_ = nullptr;      // HANDLE of the beauty process, owned; null while none.
  std::vector<uint8_t> answer_;  // Scratch for the answer (frame thread only).
};
