#pragma once

// The open-file dialog of the settings windows, replaceable so that tests can choose files
// without a system dialog. Thread-safe (the replacement is guarded); the dialog itself runs on
// the calling (UI) thread.

#include <windows.h>
#include <commdlg.h>

#include <functional>

namespace file_dialog {

using Func = std::function<BOOL(OPENFILENAMEW*)>;

// Replaces GetOpenFileNameW for every later Run; null restores it.
void SetOpenFunc(Func func);
// GetOpenFileNameW, or the replacement.
BOOL RunOpen(OPENFILENAMEW* ofn);

}  // namespace file_dialog
