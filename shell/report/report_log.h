#pragma once

#include <string>

// One INFO record of the report upload in the process log.
void ReportLog(const void* self, const char* method, int line, const std::string& text);
