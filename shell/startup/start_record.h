#pragma once

#include <string>

#include "platform/browser/cef_settings.h"

// The start record handed to the browser library.

// A render log longer than this is deleted before the browser library starts.
constexpr unsigned long long kRenderLogLimit = 0x100000;  // 1 MiB

// Deletes the file at |path| when it is longer than kRenderLogLimit; a file that cannot be
// opened is left alone. Returns whether it was deleted.
bool TrimRenderLog(const std::string& path);

// The user-agent text: Windows version |major|.|minor|, "WOW64" on 64-bit Windows, else "WOW32".
std::string BuildUserAgent(bool windows64, unsigned long major, unsigned long minor);

// Fills |record| for the client: constructor defaults, byte 0 cleared, byte 10 set, colour
// 0xFF252A33, the locale |language|, the user agent, the render log "<app_folder>\Logs\render.log"
// (trimmed first, see TrimRenderLog) and the render sub-process "Sorvane.exe". Texts longer than
// their fields are cut, always leaving the terminator.
void FillStartRecord(cef_run_settting& record, const std::wstring& language, bool windows64,
                     unsigned long major, unsigned long minor, const std::string& app_folder);
