#pragma once

#include <string>

// Conversions between UTF-16 text, UTF-8 byte strings and byte strings in the system's ANSI
// code page. They never fail visibly: empty or unconvertible input gives an empty result, and
// an invalid sequence keeps what the system conversion made of it (U+FFFD or '?').
// Thread-safe.

// UTF-16 → ANSI code page. A null pointer gives an empty text.
std::string UnicodeToAnsi(const wchar_t* text);
// UTF-16 → UTF-8. A null pointer gives an empty text.
std::string UnicodeToUtf8(const wchar_t* text);
// UTF-8 → UTF-16. All |text.size()| bytes are converted; the result ends at the first zero
// character, so an embedded zero byte cuts it there.
std::wstring Utf8ToUnicode(const std::string& text);
// ANSI code page → UTF-16, as Utf8ToUnicode.
std::wstring AnsiToUnicode(const std::string& text);

inline std::string UnicodeToAnsi(const std::wstring& text) { return UnicodeToAnsi(text.c_str()); }
inline std::string UnicodeToUtf8(const std::wstring& text) { return UnicodeToUtf8(text.c_str()); }
