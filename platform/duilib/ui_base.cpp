#include "platform/duilib/ui_base.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdarg>
#include <cwchar>
#include <cwctype>

namespace DuiLib {

namespace {

std::atomic<UiLogHandler> g_log_handler{nullptr};

const wchar_t* SkipSpaces(const wchar_t* p) {
  while (*p == L' ' || *p == L'\t') ++p;
  return p;
}

struct AlignName {
  const wchar_t* name;
  UINT flag;
};

// Replaces the flags of one axis in *style by the flag named by `text` among `names`.
bool ParseAlign(const wchar_t* text, const AlignName (&names)[3], UINT* style) {
  if (!text) return false;
  for (const AlignName& align : names) {
    if (wcscmp(text, align.name) == 0) {
      *style = (*style & ~(names[0].flag | names[1].flag | names[2].flag)) | align.flag;
      return true;
    }
  }
  return false;
}

}  // namespace

void SetUiLogHandler(UiLogHandler handler) { g_log_handler.store(handler); }

void UiLog(UiLogLevel level, const wchar_t* format, ...) {
  wchar_t line[1024];
  line[0] = L'\0';
  va_list args;
  va_start(args, format);
  vswprintf(line, sizeof(line) / sizeof(line[0]), format, args);
  va_end(args);
  line[sizeof(line) / sizeof(line[0]) - 1] = L'\0';  // a cut line is not always terminated
  UiLogHandler handler = g_log_handler.load();
  if (handler) {
    handler(level, line);
    return;
  }
  static const wchar_t* const kLevels[] = {L"INFO", L"WARN", L"ERROR"};
  std::wstring text =
      std::wstring(L"[duilib ") + kLevels[static_cast<int>(level)] + L"] " + line + L"\n";
  OutputDebugStringW(text.c_str());
}

bool ParseIntList(const wchar_t* text, int* values, int count) {
  if (!text) return false;
  const wchar_t* p = text;
  int parsed[8];
  if (count > 8) return false;
  for (int i = 0; i < count; ++i) {
    p = SkipSpaces(p);
    wchar_t* end = nullptr;
    errno = 0;
    const long long v = wcstoll(p, &end, 10);
    // Out of range is malformed, not the nearest value.
    if (end == p || errno == ERANGE || v < INT_MIN || v > INT_MAX) return false;
    parsed[i] = static_cast<int>(v);
    p = SkipSpaces(end);
    if (i + 1 < count) {
      if (*p != L',') return false;
      ++p;
    }
  }
  if (*SkipSpaces(p) != 0) return false;
  for (int i = 0; i < count; ++i) values[i] = parsed[i];
  return true;
}

bool ParseRect(const wchar_t* text, RECT* rc) {
  int v[4];
  if (!ParseIntList(text, v, 4)) return false;
  *rc = RECT{v[0], v[1], v[2], v[3]};
  return true;
}

bool ParseSize(const wchar_t* text, SIZE* size) {
  int v[2];
  if (!ParseIntList(text, v, 2)) return false;
  *size = SIZE{v[0], v[1]};
  return true;
}

bool ParseInt(const wchar_t* text, int* value) { return ParseIntList(text, value, 1); }

bool ParseColor(const wchar_t* text, DWORD* argb) {
  if (!text) return false;
  const wchar_t* p = SkipSpaces(text);
  int base = 10;
  if (*p == L'#') {
    ++p;
    base = 16;
  } else if (p[0] == L'0' && (p[1] == L'x' || p[1] == L'X')) {
    p += 2;
    base = 16;
  }
  if (*p == 0) return false;
  wchar_t* end = nullptr;
  errno = 0;
  unsigned long v = wcstoul(p, &end, base);
  if (end == p || errno == ERANGE || *SkipSpaces(end) != 0) return false;
  // Six hex digits name an opaque colour.
  if (base == 16 && end - p == 6) v |= 0xFF000000UL;
  *argb = static_cast<DWORD>(v);
  return true;
}

bool ParseBool(const wchar_t* text, bool* value) {
  if (!text) return false;
  if (EqualsNoCase(text, L"true") || wcscmp(text, L"1") == 0) {
    *value = true;
    return true;
  }
  if (EqualsNoCase(text, L"false") || wcscmp(text, L"0") == 0) {
    *value = false;
    return true;
  }
  return false;
}

bool ParseHorizontalAlign(const wchar_t* text, UINT* style) {
  static const AlignName kNames[3] = {
      {L"left", DT_LEFT}, {L"center", DT_CENTER}, {L"right", DT_RIGHT}};
  return ParseAlign(text, kNames, style);
}

bool ParseVerticalAlign(const wchar_t* text, UINT* style) {
  static const AlignName kNames[3] = {
      {L"top", DT_TOP}, {L"vcenter", DT_VCENTER}, {L"bottom", DT_BOTTOM}};
  return ParseAlign(text, kNames, style);
}

bool ParseImageDesc(const wchar_t* text, TImageDesc* desc) {
  if (!text) return false;
  TImageDesc out;
  const wchar_t* p = SkipSpaces(text);
  if (*p == 0) {
    *desc = out;
    return true;
  }
  if (wcschr(p, L'\'') == nullptr) {
    out.file = p;
    while (!out.file.empty() && out.file.back() == L' ') out.file.pop_back();
    *desc = out;
    return true;
  }
  while (*p) {
    p = SkipSpaces(p);
    if (*p == 0) break;
    const wchar_t* eq = wcschr(p, L'=');
    if (!eq) return false;
    std::wstring key(p, eq - p);
    while (!key.empty() && key.back() == L' ') key.pop_back();
    p = SkipSpaces(eq + 1);
    if (*p != L'\'') return false;
    const wchar_t* close = wcschr(p + 1, L'\'');
    if (!close) return false;
    std::wstring value(p + 1, close - p - 1);
    p = close + 1;
    if (key == L"file" || key == L"res") {
      out.file = value;
    } else if (key == L"source") {
      if (!ParseRect(value.c_str(), &out.source)) return false;
      out.hasSource = true;
    } else if (key == L"corner") {
      if (!ParseRect(value.c_str(), &out.corner)) return false;
    } else if (key == L"dest") {
      if (!ParseRect(value.c_str(), &out.dest)) return false;
      out.hasDest = true;
    } else if (key == L"fade") {
      int fade = 0;
      if (!ParseInt(value.c_str(), &fade) || fade < 0 || fade > 255) return false;
      out.fade = static_cast<BYTE>(fade);
    } else if (key == L"hole") {
      if (!ParseBool(value.c_str(), &out.hole)) return false;
    }
    // Other keys are accepted and ignored, so that richer descriptions still draw.
  }
  *desc = out;
  return true;
}

std::string WideToUtf8(const std::wstring& text) {
  if (text.empty()) return std::string();
  int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                              nullptr, nullptr);
  std::string out(n, '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0], n, nullptr,
                      nullptr);
  return out;
}

std::wstring Utf8ToWide(const std::string& text) {
  if (text.empty()) return std::wstring();
  int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring out(n, L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0], n);
  return out;
}

bool EqualsNoCase(const wchar_t* a, const wchar_t* b) {
  if (!a || !b) return a == b;
  return _wcsicmp(a, b) == 0;
}

std::wstring NormalizeResourceName(const std::wstring& name) {
  std::wstring out;
  out.reserve(name.size());
  for (wchar_t c : name) out.push_back(c == L'\\' ? L'/' : static_cast<wchar_t>(towlower(c)));
  while (out.compare(0, 2, L"./") == 0) out.erase(0, 2);
  while (!out.empty() && out[0] == L'/') out.erase(0, 1);
  return out;
}

}  // namespace DuiLib
