#pragma once

// The monitors of the desktop and the screen scale factors.
//
// MonitorInfoTable (one process-wide instance) keeps up to 16 monitors: rectangle, work area,
// flags, device name and current display mode. The screen scale factors are the primary
// monitor's physical pixels per logical pixel, horizontally and vertically; they are 0 until
// first measured. The window capture reads them on the canvas engine's thread while the UI
// thread refreshes them, so the table and the factors share one lock and every reader gets a
// consistent copy.

#include <windows.h>

#include <cstdint>

class MonitorInfoTable {
 public:
  static constexpr int kMaxMonitors = 16;

  struct Monitor {
    RECT rect;           // rcMonitor.
    RECT work;           // rcWork.
    DWORD flags;         // MONITORINFOF_PRIMARY for the primary monitor.
    wchar_t device[32];  // Its display device name.
    int mode_width;      // Current resolution in pixels; 0 when the mode was not read.
    int mode_height;
  };

  // Everything at one moment.
  struct Snapshot {
    int count;
    int primary;  // Index of the primary monitor; -1 when there is none.
    Monitor monitors[kMaxMonitors];
  };

  // The process-wide table.
  static MonitorInfoTable& Instance();

  // Enumerates the monitors again.
  void Refresh();
  int Count();
  int PrimaryIndex();
  // rcMonitor of monitor `index`; false when there is no such monitor.
  bool GetMonitorRect(int index, RECT* rect);
  // Current resolution of the primary monitor; false when unknown.
  bool GetPrimaryResolution(int* width, int* height);
  Snapshot GetSnapshot();

 private:
  MonitorInfoTable() = default;
};

// Refreshes the monitor table and measures the scale factors from the primary monitor's
// resolution and rectangle (left unchanged when either is unknown or empty).
void RefreshMonitorScale();
// RefreshMonitorScale when more than `interval_ms` have passed since the last measurement;
// true when it measured.
bool RefreshMonitorScaleIfOlderThan(std::uint64_t interval_ms);
void GetMonitorScale(double* horizontal, double* vertical);
// Sets the factors as if measured (tests; a caller that knows better).
void SetMonitorScale(double horizontal, double vertical);
