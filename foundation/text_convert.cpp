#include "foundation/text_convert.h"

#include <windows.h>

#include <climits>
#include <cwchar>

namespace {

std::string FromWide(UINT code_page, const wchar_t* text) {
  if (!text) return std::string();
  const size_t length = std::wcslen(text);
  if (length == 0 || length > INT_MAX) return std::string();
  const int wide_length = static_cast<int>(length);
  const int size =
      WideCharToMultiByte(code_page, 0, text, wide_length, nullptr, 0, nullptr, nullptr);
  if (size <= 0) return std::string();
  std::string result(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(code_page, 0, text, wide_length, &result[0], size, nullptr, nullptr);
  return result;
}

std::wstring ToWide(UINT code_page, const std::string& text) {
  if (text.empty() || text.size() > INT_MAX) return std::wstring();
  const int length = static_cast<int>(text.size());
  const int size = MultiByteToWideChar(code_page, 0, text.data(), length, nullptr, 0);
  if (size <= 0) return std::wstring();
  std::wstring converted(static_cast<size_t>(size), L'\0');
  MultiByteToWideChar(code_page, 0, text.data(), length, &converted[0], size);
  // The result ends at the first zero character, like the C string it is handed on as.
  return std::wstring(converted.c_str());
}

}  // namespace

std::string UnicodeToAnsi(const wchar_t* text) { return FromWide(CP_ACP, text); }

std::string UnicodeToUtf8(const wchar_t* text) { return FromWide(CP_UTF8, text); }

std::wstring Utf8ToUnicode(const std::string& text) { return ToWide(CP_UTF8, text); }

std::wstring AnsiToUnicode(const std::string& text) { return ToWide(CP_ACP, text); }
