#include "windows/common/file_dialog.h"

#include <mutex>

namespace file_dialog {

namespace {
std::mutex g_lock;
Func g_open;  // Guarded by g_lock.
}  // namespace

void SetOpenFunc(Func func) {
  std::lock_guard<std::mutex> guard(g_lock);
  g_open = std::move(func);
}

BOOL RunOpen(OPENFILENAMEW* ofn) {
  Func open;
  {
    std::lock_guard<std::mutex> guard(g_lock);
    open = g_open;
  }
  return open ? open(ofn) : GetOpenFileNameW(ofn);
}

}  // namespace file_dialog
