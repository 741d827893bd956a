// The decode engine's exports.

#include <new>

#include "devices/av_file_decode.h"
#include "devices/av_log.h"

extern "C" {

MORLUN_API AvFileDecodeEngine* __cdecl Av_CreateFileDecodeEngine(IAVFrame* receiver) {
  AvFileDecode* engine = nullptr;
  try {
    engine = new (std::nothrow) AvFileDecode(receiver);
  } catch (...) {
    engine = nullptr;
  }
  AvLog("Av_CreateFileDecodeEngine, pInst = (%08x)",
        static_cast<unsigned>(reinterpret_cast<uintptr_t>(engine)));
  return engine;
}

MORLUN_API void __cdecl Av_DestroyFileDecodeEngine(AvFileDecodeEngine* engine) {
  AvLog("Av_DestroyFileDecodeEngine, pInst = (%08x)",
        static_cast<unsigned>(reinterpret_cast<uintptr_t>(engine)));
  if (!engine) return;
  try {
    delete static_cast<AvFileDecode*>(engine);
  } catch (...) {
    AvLog("Av_DestroyFileDecodeEngine: destruction threw");
  }
}

}  // extern "C"
