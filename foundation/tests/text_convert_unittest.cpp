#include "foundation/text_convert.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "foundation/system_info.h"

namespace {

struct Utf8Case {
  const char* label;
  std::wstring wide;
  std::string utf8;
};

}  // namespace

TEST(TextConvertTest, Utf8ConversionsAsATable) {
  const Utf8Case cases[] = {
      {"empty", L"", ""},
      {"ascii", L"TarvoLive 1.0", "TarvoLive 1.0"},
      {"chinese", L"\u76f4\u64ad\u4f1a\u8bae", "\xe7\x9b\xb4\xe6\x92\xad\xe4\xbc\x9a\xe8\xae\xae"},
      {"outside the basic plane", L"\xd83d\xde00 ok", "\xf0\x9f\x98\x80 ok"},
  };
  for (const Utf8Case& c : cases) {
    EXPECT_EQ(UnicodeToUtf8(c.wide.c_str()), c.utf8) << c.label;
    EXPECT_EQ(Utf8ToUnicode(c.utf8), c.wide) << c.label;
    EXPECT_EQ(Utf8ToUnicode(UnicodeToUtf8(c.wide)), c.wide) << c.label;
  }
  EXPECT_EQ(UnicodeToUtf8(static_cast<const wchar_t*>(nullptr)), "");
  EXPECT_EQ(UnicodeToAnsi(static_cast<const wchar_t*>(nullptr)), "");
  EXPECT_EQ(AnsiToUnicode(""), L"");
}

TEST(TextConvertTest, EmbeddedZeroAndInvalidUtf8) {
  // All bytes are converted, but the result ends at the first zero.
  EXPECT_EQ(Utf8ToUnicode(std::string("ab\0cd", 5)), L"ab");
  // An invalid sequence keeps what the system made of it; the valid text around it survives.
  const std::wstring invalid = Utf8ToUnicode("ok\xc3(\xff!");
  EXPECT_EQ(invalid.substr(0, 2), L"ok");
  EXPECT_NE(invalid.find(L'('), std::wstring::npos);
  EXPECT_EQ(invalid.back(), L'!');
  EXPECT_EQ(invalid.find_first_of(L"\xc3\xff"), std::wstring::npos);
}

// Runs with LANG naming a generated zh_CN.UTF-8 locale, so the ANSI code page is 936 (GBK).
TEST(TextConvertChineseLocaleTest, AnsiCodePageIsGbk) {
  ASSERT_EQ(GetACP(), 936u) << "LANG=" << (std::getenv("LANG") ? std::getenv("LANG") : "");
  const std::wstring wide = L"\u76f4\u64ad";  // Two characters, two bytes each in GBK.
  const std::string gbk = "\xd6\xb1\xb2\xa5";
  EXPECT_EQ(UnicodeToAnsi(wide.c_str()), gbk);
  EXPECT_EQ(AnsiToUnicode(gbk), wide);
  EXPECT_EQ(AnsiToUnicode(UnicodeToAnsi(L"TarvoLive \u4f1a\u8bae")), L"TarvoLive \u4f1a\u8bae");
}

TEST(SystemInfoTest, VersionAndArchitecture) {
  unsigned long major = 0, minor = 0, build = 0x12345678;
  ASSERT_TRUE(GetNtVersionNumbers(major, minor, build));
  OSVERSIONINFOW version{sizeof(version)};
  using RtlGetVersionFn = LONG(WINAPI*)(OSVERSIONINFOW*);
  auto rtl_get_version = reinterpret_cast<RtlGetVersionFn>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "RtlGetVersion")));
  ASSERT_NE(rtl_get_version, nullptr);
  rtl_get_version(&version);
  EXPECT_EQ(major, version.dwMajorVersion);
  EXPECT_EQ(minor, version.dwMinorVersion);
  EXPECT_LE(build, 0xFFFFul);

  BOOL wow64 = FALSE;
  IsWow64Process(GetCurrentProcess(), &wow64);
  // A 32-bit program on 64-bit Windows runs under WOW64; a 64-bit program needs 64-bit Windows.
  EXPECT_EQ(Is64BitWindows(), sizeof(void*) == 8 || wow64 != FALSE);
}

TEST(SystemInfoTest, MissingVersionFunctionOrLibraryLeavesTheNumbersAlone) {
  const struct {
    const wchar_t* module;
    const char* function;
  } cases[] = {{L"ntdll.dll", "RtlGetNtVersionNumbersMissing"},
               {L"tarvo_missing_library.dll", "RtlGetNtVersionNumbers"}};
  for (const auto& c : cases) {
    unsigned long major = 7, minor = 8, build = 9;
    EXPECT_FALSE(GetNtVersionNumbersFrom(c.module, c.function, major, minor, build)) << c.function;
    EXPECT_EQ(major, 7ul);
    EXPECT_EQ(minor, 8ul);
    EXPECT_EQ(build, 9ul);
  }
}
