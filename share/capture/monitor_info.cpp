#include "share/capture/monitor_info.h"

#include <cstring>
#include <cwchar>

#include "foundation/lock.h"
#include "foundation/tick_clock.h"

namespace {

// Guards the table, the scale factors and the measurement time.
CxLock& TableLock() {
  static CxLock* lock = new CxLock;
  return *lock;
}

MonitorInfoTable::Snapshot g_table{0, -1, {}};
double g_scale_x = 0;
double g_scale_y = 0;
std::uint64_t g_last_measured = 0;
bool g_measured = false;

BOOL CALLBACK AddMonitor(HMONITOR monitor, HDC, LPRECT, LPARAM context) {
  auto* table = reinterpret_cast<MonitorInfoTable::Snapshot*>(context);
  if (table->count >= MonitorInfoTable::kMaxMonitors) return FALSE;
  MONITORINFOEXW info{};
  info.cbSize = sizeof(info);
  if (!GetMonitorInfoW(monitor, &info)) return TRUE;
  MonitorInfoTable::Monitor& entry = table->monitors[table->count];
  entry.rect = info.rcMonitor;
  entry.work = info.rcWork;
  entry.flags = info.dwFlags;
  wcsncpy(entry.device, info.szDevice, 31);
  entry.device[31] = L'\0';
  // The mode is read through the monitor's own device name: display devices and monitors
  // need not be listed in the same order.
  DEVMODEW mode{};
  mode.dmSize = sizeof(mode);
  if (EnumDisplaySettingsW(entry.device, ENUM_CURRENT_SETTINGS, &mode)) {
    entry.mode_width = static_cast<int>(mode.dmPelsWidth);
    entry.mode_height = static_cast<int>(mode.dmPelsHeight);
  }
  if (info.dwFlags & MONITORINFOF_PRIMARY) table->primary = table->count;
  ++table->count;
  return TRUE;
}

}  // namespace

MonitorInfoTable& MonitorInfoTable::Instance() {
  static MonitorInfoTable* table = new MonitorInfoTable;
  return *table;
}

void MonitorInfoTable::Refresh() {
  Snapshot fresh;
  std::memset(&fresh, 0, sizeof(fresh));
  fresh.primary = -1;
  EnumDisplayMonitors(nullptr, nullptr, AddMonitor, reinterpret_cast<LPARAM>(&fresh));
  CxAutoLock lock(TableLock());
  g_table = fresh;
}

int MonitorInfoTable::Count() {
  CxAutoLock lock(TableLock());
  return g_table.count;
}

int MonitorInfoTable::PrimaryIndex() {
  CxAutoLock lock(TableLock());
  return g_table.primary;
}

bool MonitorInfoTable::GetMonitorRect(int index, RECT* rect) {
  CxAutoLock lock(TableLock());
  if (index < 0 || index >= g_table.count || !rect) return false;
  *rect = g_table.monitors[index].rect;
  return true;
}

bool MonitorInfoTable::GetPrimaryResolution(int* width, int* height) {
  CxAutoLock lock(TableLock());
  if (g_table.primary < 0) return false;
  const Monitor& primary = g_table.monitors[g_table.primary];
  if (primary.mode_width < 1 || primary.mode_height < 1) return false;
  *width = primary.mode_width;
  *height = primary.mode_height;
  return true;
}

MonitorInfoTable::Snapshot MonitorInfoTable::GetSnapshot() {
  CxAutoLock lock(TableLock());
  return g_table;
}

void RefreshMonitorScale() {
  MonitorInfoTable& table = MonitorInfoTable::Instance();
  CxAutoLock lock(TableLock());
  table.Refresh();
  g_last_measured = CxTickClock::Now();
  g_measured = true;
  int width = 0;
  int height = 0;
  RECT rect{};
  if (!table.GetPrimaryResolution(&width, &height) ||
      !table.GetMonitorRect(table.PrimaryIndex(), &rect)) {
    return;
  }
  const int logical_width = rect.right - rect.left;
  const int logical_height = rect.bottom - rect.top;
  if (logical_width == 0 || logical_height == 0) return;
  g_scale_x = static_cast<double>(width) / logical_width;
  g_scale_y = static_cast<double>(height) / logical_height;
}

bool RefreshMonitorScaleIfOlderThan(std::uint64_t interval_ms) {
  CxAutoLock lock(TableLock());
  if (g_measured && CxTickClock::Now() - g_last_measured <= interval_ms) return false;
  RefreshMonitorScale();
  return true;
}

void GetMonitorScale(double* horizontal, double* vertical) {
  CxAutoLock lock(TableLock());
  if (horizontal) *horizontal = g_scale_x;
  if (vertical) *vertical = g_scale_y;
}

void SetMonitorScale(double horizontal, double vertical) {
  CxAutoLock lock(TableLock());
  g_scale_x = horizontal;
  g_scale_y = vertical;
}
