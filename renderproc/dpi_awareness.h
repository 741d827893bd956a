// Sorvane's DPI awareness: the first of three system calls that succeeds wins.
#pragma once

#include <functional>

// The three ways to become DPI-aware, best first; each returns whether it succeeded (false
// also when its module or function is missing).
struct DpiAwarenessCalls {
  // User32's SetProcessDpiAwarenessContext with per-monitor awareness version 2 (-4).
  std::function<bool()> per_monitor_context;
  // User32's SetProcessDPIAware (system awareness).
  std::function<bool()> system_aware;
  // Shcore's SetProcessDpiAwareness: reads the current value, sets per-monitor awareness (2)
  // and then the value read again.
  std::function<bool()> shcore_awareness;
};

// The calls of this system, looked up by name in modules loaded for the call.
DpiAwarenessCalls SystemDpiAwarenessCalls();

// Makes the calls in order until one succeeds. Returns the number of the call that did (1 to
// 3), 0 when none did.
int MakeDpiAware(const DpiAwarenessCalls& calls);
