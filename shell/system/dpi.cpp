#include "shell/system/dpi.h"

#include <windows.h>

#include <atomic>

namespace {

// A library loaded for one look-up and freed when the look-up is done.
class ScopedLibrary {
 public:
  explicit ScopedLibrary(const wchar_t* name) : module_(LoadLibraryW(name)) {}
  ~ScopedLibrary() {
    if (module_) FreeLibrary(module_);
  }
  ScopedLibrary(const ScopedLibrary&) = delete;
  ScopedLibrary& operator=(const ScopedLibrary&) = delete;

  template <typename Fn>
  Fn Find(const char* name) const {
    return module_ ? reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module_, name)))
                   : nullptr;
  }

 private:
  HMODULE module_;
};

constexpr int kPerMonitorAware = 2;  // PROCESS_PER_MONITOR_DPI_AWARE
constexpr int kEffectiveDpi = 0;     // MDT_EFFECTIVE_DPI

std::atomic<int> g_cached_dpi{0};

}  // namespace

bool SetDpiAware(const DpiAwarenessCalls& calls) {
  // DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE
  if (calls.set_context && calls.set_context(reinterpret_cast<void*>(static_cast<INT_PTR>(-3)))) {
    return true;
  }
  if (calls.set_aware && calls.set_aware()) return true;
  if (calls.set_awareness) {
    calls.set_awareness(kPerMonitorAware);  // counts as success whatever it answers
    return true;
  }
  return false;
}

bool SetDpiAware() {
  // Each library stays loaded while its call may be made.
  ScopedLibrary user32(L"User32.dll");
  ScopedLibrary shcore(L"Shcore.dll");
  DpiAwarenessCalls calls;
  calls.set_context = user32.Find<decltype(calls.set_context)>("SetProcessDpiAwarenessContext");
  calls.set_aware = user32.Find<decltype(calls.set_aware)>("SetProcessDPIAware");
  calls.set_awareness = shcore.Find<decltype(calls.set_awareness)>("SetProcessDpiAwareness");
  return SetDpiAware(calls);
}

double GetDpi() {
  ScopedLibrary shcore(L"Shcore.dll");
  using GetDpiForMonitorFn = HRESULT(WINAPI*)(HMONITOR, int, UINT*, UINT*);
  if (auto get_for_monitor = shcore.Find<GetDpiForMonitorFn>("GetDpiForMonitor")) {
    HMONITOR monitor = MonitorFromWindow(GetDesktopWindow(), MONITOR_DEFAULTTONEAREST);
    UINT x = 0, y = 0;
    if (SUCCEEDED(get_for_monitor(monitor, kEffectiveDpi, &x, &y)) && y != 0) return y;
    return 96.0;
  }
  HDC screen = GetDC(nullptr);
  if (!screen) return 96.0;
  const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);
  return dpi > 0 ? dpi : 96.0;
}

int GetCachedDpi() {
  int dpi = g_cached_dpi.load();
  if (dpi == 0) {
    int expected = 0;
    g_cached_dpi.compare_exchange_strong(expected, static_cast<int>(GetDpi()));
    dpi = g_cached_dpi.load();
  }
  return dpi;
}

float GetDpiScale() { return static_cast<float>(GetCachedDpi() / 96.0); }
