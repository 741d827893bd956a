#pragma once

// DPI awareness and the UI scale that sizes every window.

// Makes the process DPI-aware with the best call Windows offers: per-monitor awareness through
// SetProcessDpiAwarenessContext, else system awareness through SetProcessDPIAware, else
// per-monitor awareness through Shcore's SetProcessDpiAwareness. All are looked up by name.
// Returns whether one of them succeeded.
bool SetDpiAware();

// The effective DPI of the monitor nearest to the desktop window, read afresh on each call;
// 96 when nothing better is known.
double GetDpi();

// GetDpi() of the first call, kept for the life of the process. Thread-safe.
int GetCachedDpi();

// GetCachedDpi() / 96: the UI scale of the client's windows.
float GetDpiScale();
