#include "shell/startup/start_record.h"

#include <windows.h>

#include <cstdio>
#include <cstring>

#include "foundation/text_convert.h"

namespace {

template <size_t N>
void CopyText(char (&field)[N], const std::string& text) {
  const size_t length = text.size() < N - 1 ? text.size() : N - 1;
  std::memcpy(field, text.data(), length);
  field[length] = '\0';
}

}  // namespace

bool TrimRenderLog(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return false;
  const unsigned long long size =
      (static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  return size > kRenderLogLimit && DeleteFileA(path.c_str()) != FALSE;
}

std::string BuildUserAgent(bool windows64, unsigned long major, unsigned long minor) {
  char text[260];
  std::snprintf(text, sizeof(text),
                "Mozilla/5.0 (Windows NT %lu.%lu; %s) AppleWebKit/537.36 (KHTML, like Gecko) "
                "Chrome/91.0.4472.164 Safari/537.36",
                major, minor, windows64 ? "WOW64" : "WOW32");
  return text;
}

void FillStartRecord(cef_run_settting& record, const std::wstring& language, bool windows64,
                     unsigned long major, unsigned long minor, const std::string& app_folder) {
  record = cef_run_settting();
  record.single_process = 0;
  record.log_enabled = 1;
  record.background_color = 0xFF252A33;
  CopyText(record.locale, UnicodeToAnsi(language));
  CopyText(record.user_agent, BuildUserAgent(windows64, major, minor));
  const std::string log_path = app_folder + "\\Logs\\render.log";
  TrimRenderLog(log_path);
  CopyText(record.render_log_path, log_path);
  const wchar_t kSubProcess[] = L"Sorvane.exe";
  std::memcpy(record.sub_process, kSubProcess, sizeof(kSubProcess));
}
