#include "shell/report/report_log.h"

#include <windows.h>

void ReportLog(const void*, const char*, int, const std::string& text) {
  OutputDebugStringA((text + "\n").c_str());
}
