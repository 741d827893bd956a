#include "shell/invitation/invitation_text.h"

#include "foundation/text_convert.h"

namespace {

bool IsTrimmedSpace(wchar_t c) {
  return c == L' ' || (c >= L'\t' && c <= L'\r') || c == 0x00A0 || c == 0x3000;
}

// The characters from |start| while |keep| holds.
template <typename Keep>
std::wstring RunFrom(const std::wstring& text, size_t start, Keep keep) {
  size_t end = start;
  while (end < text.size() && keep(text[end])) ++end;
  return text.substr(start, end - start);
}

}  // namespace

std::wstring TrimInvitationText(const std::wstring& text) {
  size_t first = 0;
  size_t last = text.size();
  while (first < last && IsTrimmedSpace(text[first])) ++first;
  while (last > first && IsTrimmedSpace(text[last - 1])) --last;
  return text.substr(first, last - first);
}

std::string FindInvitationLink(const std::wstring& text) {
  const size_t start = text.find(L"https://");
  if (start == std::wstring::npos) return std::string();
  const std::wstring link = RunFrom(text, start, [](wchar_t c) { return c > 0x20 && c <= 0x7E; });
  return std::string(link.begin(), link.end());
}

InvitationFields ReadInvitationFields(const std::wstring& text, const std::wstring& redirect) {
  InvitationFields fields;
  static const std::wstring kGuestKey = L"guestId=";
  const size_t guest = redirect.find(kGuestKey);
  if (guest != std::wstring::npos) {
    fields.guestId = UnicodeToUtf8(
        RunFrom(redirect, guest + kGuestKey.size(), [](wchar_t c) { return c != L'&'; }));
  }

  std::wstring lower = redirect;
  for (wchar_t& c : lower) {
    if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
  }
  static const std::wstring kLiveKey = L"liveid=";
  const size_t live = lower.find(kLiveKey);
  if (live != std::wstring::npos) {
    fields.liveId = UnicodeToUtf8(
        RunFrom(lower, live + kLiveKey.size(), [](wchar_t c) { return c >= L'0' && c <= L'9'; }));
  }

  static const std::wstring kPassWord = L"\x5BC6\x7801\xFF1A";  // "密码："
  const size_t pass = text.find(kPassWord);
  if (pass != std::wstring::npos) {
    fields.passCode = UnicodeToUtf8(
        RunFrom(text, pass + kPassWord.size(), [](wchar_t c) { return c >= 0x20 && c <= 0x7F; }));
  }
  return fields;
}
