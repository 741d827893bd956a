// The library's exports. No exception leaves them.

#include <windows.h>

#include <new>

#include "alpha_blend_library.h"
#include "gs_system_impl.h"
#include "vendra_log.h"
#include "yuv_tables.h"

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }

extern "C" {

VENDRA_API gsSystemBase* Vendra_Create() {
  try {
    vendra::GetYuvTables();
    vendra::AlphaBlendFunction alpha_blend = vendra::AcquireAlphaBlend();
    auto* system = new (std::nothrow) gsSystemImpl(alpha_blend);
    if (!system) vendra::ReleaseAlphaBlend();
    return system;
  } catch (...) {
    return nullptr;
  }
}

VENDRA_API int Vendra_Destroy(gsSystemBase* system) {
  // A null system holds nothing, so it releases nothing.
  if (!system) return 0;
  delete system;
  try {
    return vendra::ReleaseAlphaBlend();
  } catch (...) {
    return 0;
  }
}

VENDRA_API int Vendra_GetCountTexture2D() { return 0; }

VENDRA_API int Vendra_GetCountTextureMem() { return 0; }

VENDRA_API VendraLogSink Vendra_LogCallback(VendraLogSink sink) {
  vendra::SetLogSink(sink);
  return sink;
}

}  // extern "C"
