#include "alpha_blend_library.h"

#include <mutex>

namespace vendra {
namespace {

std::mutex g_mutex;
// Protected by g_mutex.
HMODULE g_module = nullptr;
AlphaBlendFunction g_alpha_blend = nullptr;
int g_holds = 0;

}  // namespace

AlphaBlendFunction AcquireAlphaBlend() {
  std::lock_guard<std::mutex> lock(g_mutex);
  ++g_holds;
  if (!g_module) {
    g_module = LoadLibraryW(L"MsImg32.dll");
    if (g_module) {
      // Through void (*)() so that the compiler accepts the cast to the real signature.
      g_alpha_blend = reinterpret_cast<AlphaBlendFunction>(
          reinterpret_cast<void (*)()>(GetProcAddress(g_module, "AlphaBlend")));
    }
  }
  return g_alpha_blend;
}

int ReleaseAlphaBlend() {
  std::lock_guard<std::mutex> lock(g_mutex);
  if (g_holds == 0 || --g_holds > 0 || !g_module) return 0;
  g_alpha_blend = nullptr;
  int result = FreeLibrary(g_module);
  g_module = nullptr;
  return result;
}

}  // namespace vendra
