// The link finder and the field reader of a copied invitation.

#include <gtest/gtest.h>

#include <string>

#include "shell/invitation/invitation_text.h"

namespace {

TEST(InvitationTextTest, TrimsWhiteSpaceAtBothEndsOnly) {
  EXPECT_EQ(TrimInvitationText(L" \t\r\n\x3000\x00A0 a b\r\n \x3000"), L"a b");
  EXPECT_EQ(TrimInvitationText(L" \r\n "), L"");
  EXPECT_EQ(TrimInvitationText(L""), L"");
}

TEST(InvitationTextTest, LinkRunsFromHttpsToTheFirstControlBlankOrNonAsciiCharacter) {
  const struct {
    const wchar_t* text;
    const char* link;
  } cases[] = {
      {L"https://meet.example/i/Ab3?x=1&y=%20", "https://meet.example/i/Ab3?x=1&y=%20"},
      {L"\x4F1A\x8BAE\x94FE\x63A5\xFF1Ahttps://meet.example/i/Ab3\r\n\x5BC6\x7801\xFF1A" L"1",
       "https://meet.example/i/Ab3"},
      {L"https://a.example/x y", "https://a.example/x"},
      {L"https://a.example/x\ty", "https://a.example/x"},
      {L"https://a.example/x\x7Fy", "https://a.example/x"},
      {L"https://a.example/x\xFF0C\x5BC6", "https://a.example/x"},  // a full-width comma
      {L"see https://first.example/1 or https://second.example/2", "https://first.example/1"},
      {L"https://", "https://"},
      // No link: another scheme, another letter case, nothing at all.
      {L"http://meet.example/i/Ab3", ""},
      {L"HTTPS://MEET.EXAMPLE/I/AB3", ""},
      {L"\x5BC6\x7801\xFF1A" L"123456", ""},
      {L"", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(c.text)));
    EXPECT_EQ(FindInvitationLink(c.text), c.link);
  }
}

TEST(InvitationTextTest, FieldsFromTheRedirectAddressAndTheCopiedText) {
  const std::wstring pass = L"\x5BC6\x7801\xFF1A";  // "密码："
  const struct {
    const char* name;
    std::wstring text;
    std::wstring redirect;
    InvitationFields expected;
  } cases[] = {
      {"all three", L"join " + pass + L"Ab-12",
       L"https://m.example/j?liveId=8001&guestId=Gx7&lang=zh", {"8001", "Gx7", "Ab-12"}},
      // The live id's key is found in any letter case, the guest id's only as written.
      {"LiveId", L"", L"https://m.example/j?LiveId=8001&GuestId=Gx7", {"8001", "", ""}},
      {"LIVEID", L"", L"https://m.example/j?LIVEID=42&guestId=g", {"42", "g", ""}},
      {"guestid", L"", L"https://m.example/j?liveid=42&guestid=g", {"42", "", ""}},
      // The live id is the digits right after the key: none there gives none.
      {"no digits", L"", L"https://m.example/j?liveId=abc&guestId=g", {"", "g", ""}},
      {"digits stop", L"", L"https://m.example/j?liveId=12a34", {"12", "", ""}},
      {"full-width digits", L"", L"https://m.example/j?liveId=\xFF11\xFF12", {"", "", ""}},
      {"no key", L"", L"https://m.example/j?room=8001", {"", "", ""}},
      // The guest id runs to the next "&" or the end; its letters keep their case.
      {"guest id at the end", L"", L"https://m.example/j?liveId=1&guestId=AbC", {"1", "AbC", ""}},
      {"empty guest id", L"", L"https://m.example/j?guestId=&liveId=1", {"1", "", ""}},
      {"no redirect", pass + L"999", L"", {"", "", "999"}},
      // The pass code: characters 0x20 to 0x7F after the full-width colon.
      {"pass code with a blank", pass + L"ab 12\r\nnext", L"", {"", "", "ab 12"}},
      {"pass code stops at non-ASCII", pass + L"123\xFF14\xFF15", L"", {"", "", "123"}},
      {"ASCII colon", L"\x5BC6\x7801:123", L"", {"", "", ""}},
      {"empty pass code", pass, L"", {"", "", ""}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const InvitationFields fields = ReadInvitationFields(c.text, c.redirect);
    EXPECT_EQ(fields.liveId, c.expected.liveId);
    EXPECT_EQ(fields.guestId, c.expected.guestId);
    EXPECT_EQ(fields.passCode, c.expected.passCode);
  }
}

// A whole invitation as a user copies it: trimmed first, so that the pass code at its end has no
// trailing blanks.
TEST(InvitationTextTest, ACopiedInvitation) {
  const std::wstring copied =
      L"  \x9080\x8BF7\x60A8\x53C2\x52A0\x4F1A\x8BAE\r\n"
      L"\x94FE\x63A5\xFF1Ahttps://meet.example/i/Ab3\r\n"
      L"\x5BC6\x7801\xFF1A" L"654321  \r\n";
  const std::wstring text = TrimInvitationText(copied);
  EXPECT_EQ(FindInvitationLink(text), "https://meet.example/i/Ab3");
  const InvitationFields fields =
      ReadInvitationFields(text, L"https://meet.example/live?liveId=77&guestId=\x4E2D");
  EXPECT_EQ(fields.liveId, "77");
  EXPECT_EQ(fields.guestId, "\xE4\xB8\xAD");  // UTF-8
  EXPECT_EQ(fields.passCode, "654321");
}

}  // namespace
