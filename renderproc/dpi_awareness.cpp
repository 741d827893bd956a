#include "renderproc/dpi_awareness.h"

#include <windows.h>

namespace {

constexpr int kPerMonitorAware = 2;  // PROCESS_PER_MONITOR_DPI_AWARE

// A module loaded for one call and freed after it.
class ScopedModule {
 public:
  explicit ScopedModule(const wchar_t* name) : module_(LoadLibraryW(name)) {}
  ~ScopedModule() {
    if (module_ != nullptr) FreeLibrary(module_);
  }
  ScopedModule(const ScopedModule&) = delete;
  ScopedModule& operator=(const ScopedModule&) = delete;

  template <typename Fn>
  Fn Find(const char* name) const {
    return module_ != nullptr
               ? reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module_, name)))
               : nullptr;
  }

 private:
  HMODULE module_;
};

bool SetPerMonitorContext() {
  ScopedModule user32(L"User32.dll");
  using SetContextFn = BOOL(WINAPI*)(HANDLE);
  const auto set_context = user32.Find<SetContextFn>("SetProcessDpiAwarenessContext");
  // DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2
  return set_context != nullptr &&
         set_context(reinterpret_cast<HANDLE>(static_cast<INT_PTR>(-4))) != FALSE;
}

bool SetSystemAware() {
  ScopedModule user32(L"user32.dll");
  using SetAwareFn = BOOL(WINAPI*)();
  const auto set_aware = user32.Find<SetAwareFn>("SetProcessDPIAware");
  return set_aware != nullptr && set_aware() != FALSE;
}

bool SetShcoreAwareness() {
  ScopedModule shcore(L"Shcore.dll");
  using SetAwarenessFn = HRESULT(WINAPI*)(int);
  using GetAwarenessFn = HRESULT(WINAPI*)(HANDLE, int*);
  const auto set_awareness = shcore.Find<SetAwarenessFn>("SetProcessDpiAwareness");
  if (set_awareness == nullptr) return false;
  int current = 0;
  if (const auto get_awareness = shcore.Find<GetAwarenessFn>("GetProcessDpiAwareness")) {
    get_awareness(GetCurrentProcess(), &current);
  }
  const bool set = SUCCEEDED(set_awareness(kPerMonitorAware));
  set_awareness(current);
  return set;
}

}  // namespace

DpiAwarenessCalls SystemDpiAwarenessCalls() {
  return {SetPerMonitorContext, SetSystemAware, SetShcoreAwareness};
}

int MakeDpiAware(const DpiAwarenessCalls& calls) {
  const std::function<bool()>* chain[] = {&calls.per_monitor_context, &calls.system_aware,
                                          &calls.shcore_awareness};
  for (int i = 0; i < 3; ++i) {
    if (*chain[i] && (*chain[i])()) return i + 1;
  }
  return 0;
}
