#pragma once

// DPI awareness and the UI scale that sizes every window.

// Makes the process DPI-aware with the best call Windows offers: per-monitor awareness through
// SetProcessDpiAwarenessContext, else system awareness through SetProcessDPIAware, else
// per-monitor awareness through Shcore's SetProcessDpiAwareness. All are looked up by name.
// Returns whether one of them succeeded.
bool SetDpiAware();

// The calls SetDpiAware tries, in its order; null where Windows lacks one.
struct DpiAwarenessCalls {
  int(__stdcall* set_context)(void* context) = nullptr;     // SetProcessDpiAwarenessContext
  int(__stdcall* set_aware)() = nullptr;                    // SetProcessDPIAware
  long(__stdcall* set_awareness)(int awareness) = nullptr;  // SetProcessDpiAwareness
};

// SetDpiAware with the given calls: each is made only when the ones before it are missing or
// fail; the last counts as success whenever it exists.
bool SetDpiAware(const DpiAwarenessCalls& calls);

// The effective DPI of the monitor nearest to the desktop window, read afresh on each call;
// 96 when nothing better is known.
double GetDpi();

// GetDpi() of the first call, kept for the life of the process. Thread-safe.
int GetCachedDpi();

// GetCachedDpi() / 96: the UI scale of the client's windows.
float GetDpiScale();
