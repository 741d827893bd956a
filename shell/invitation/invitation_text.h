#pragma once

// Reading a meeting invitation that the user copied: the invitation link in the copied text,
// and the login fields in the address that link redirects to and in the text itself.
//
// An invitation reads, for example,
//   "会议链接：https://meet.example/i/Ab3 密码：123456"
// and the link answers with a redirect to "...?liveId=8001&guestId=Gx7&...". These functions
// hold no state and may be called from any thread.

#include <string>

// The login fields an invitation gives (UTF-8). An empty `liveId` means the invitation is not
// usable.
struct InvitationFields {
  std::string liveId;    // the decimal digits after "liveid=", the key in any letter case
  std::string guestId;   // the text after "guestId=" (this exact case) up to "&" or the end
  std::string passCode;  // the characters 0x20 to 0x7F after "密码：" in the copied text
};

// |text| without white space (ASCII, no-break and ideographic spaces) at either end.
std::wstring TrimInvitationText(const std::wstring& text);

// The first "https://" link in |text|: from "https://" up to the first control character,
// blank or character above 0x7E (so the result is plain ASCII). Empty when there is none.
std::string FindInvitationLink(const std::wstring& text);

// The fields of an invitation: |text| is the trimmed copied text, |redirect| the address its
// link redirects to (empty when there was none).
InvitationFields ReadInvitationFields(const std::wstring& text, const std::wstring& redirect);
