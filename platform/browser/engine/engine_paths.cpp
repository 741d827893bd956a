#include "platform/browser/engine/engine_paths.h"

#include <windows.h>

std::string WideToUtf8(const std::wstring& text) {
  if (text.empty()) return std::string();
  const int length = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
  std::string out(length > 0 ? length : 0, '\0');
  if (length > 0) {
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0], length,
                        nullptr, nullptr);
  }
  return out;
}

std::wstring Utf8ToWide(const std::string& text) {
  if (text.empty()) return std::wstring();
  const int length =
      MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring out(length > 0 ? length : 0, L'\0');
  if (length > 0) {
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0], length);
  }
  return out;
}

bool RunningUnderWine() {
  HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

std::string EnginePath(const std::wstring& windows_path) {
  using ToUnixFn = char*(CDECL*)(const wchar_t*);
  HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
  const auto to_unix = kernel != nullptr ? reinterpret_cast<ToUnixFn>(reinterpret_cast<void*>(
                                               GetProcAddress(kernel, "wine_get_unix_file_name")))
                                         : nullptr;
  if (to_unix == nullptr) return WideToUtf8(windows_path);  // Windows: the engine's own kind.
  char* unix_path = to_unix(windows_path.c_str());
  if (unix_path == nullptr) return std::string();
  std::string out(unix_path);
  HeapFree(GetProcessHeap(), 0, unix_path);  // Wine allocates it on the process heap.
  return out;
}

std::string ShellQuote(const std::string& text) {
  std::string out = "'";
  for (char c : text) {
    if (c == '\'') {
      out += "'\\''";
    } else {
      out += c;
    }
  }
  return out + "'";
}
