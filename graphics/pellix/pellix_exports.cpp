// Pellix.dll's entry points: the create and destroy exports and the library's load and unload.
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>

#include "graphics/pellix/gs_system_impl.h"
#include "graphics/pellix/pellix_log.h"

namespace {
bool g_com_initialised = false;
}  // namespace

gsSystemBase* Pellix_Create() {
  pellix::Log("Pellix_Create");
  try {
    gsSystemImpl* system = gsSystemImpl::Create();
    if (system)
      pellix::Log("Pellix_Create Success, pInst = %08x",
                  static_cast<unsigned>(reinterpret_cast<std::uintptr_t>(system)));
    return system;
  } catch (...) {
    return nullptr;
  }
}

void Pellix_Destroy(gsSystemBase* system) { delete system; }

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    g_com_initialised = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_BAR_CLASSES | ICC_COOL_CLASSES};
    InitCommonControlsEx(&controls);
  } else if (reason == DLL_PROCESS_DETACH) {
    if (g_com_initialised) CoUninitialize();
  }
  return TRUE;
}
