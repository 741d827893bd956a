#pragma once

#include <string>

// Texts and paths between the client (Windows, UTF-16) and the web engine (UTF-8; under Wine a
// native program that knows Unix paths only).

std::string WideToUtf8(const std::wstring& text);
std::wstring Utf8ToWide(const std::string& text);

// True when this process runs under Wine (ntdll exports wine_get_version).
bool RunningUnderWine();

// The engine's name for the Windows path |windows_path|, UTF-8: under Wine its Unix path
// (kernel32's wine_get_unix_file_name, looked up at run time), on Windows the path itself.
// Empty when Wine cannot map it.
std::string EnginePath(const std::wstring& windows_path);

// |text| as one word for the POSIX shell: in single quotes, each quote written as '\''.
std::string ShellQuote(const std::string& text);
