#include <gtest/gtest.h>

#include <string>

#include "shell/registry/md5.h"

namespace {

std::string DigestInPieces(const std::string& text, size_t piece) {
  CMd5 md5;
  for (size_t at = 0; at < text.size(); at += piece) {
    md5.Update(text.data() + at, std::min(piece, text.size() - at));
  }
  uint8_t digest[16];
  md5.Final(digest);
  return CMd5::ToHex(digest);
}

TEST(CMd5Test, Rfc1321SuiteWholeAndInPieces) {
  const struct {
    const char* input;
    const char* digest;
  } kSuite[] = {
      {"", "d41d8cd98f00b204e9800998ecf8427e"},
      {"a", "0cc175b9c0f1b6a831c399e269772661"},
      {"abc", "900150983cd24fb0d6963f7d28e17f72"},
      {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
      {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
      {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
       "d174ab98d277d9f5a5611c2c9f419d9f"},
      {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
       "57edf4a22be3c955ac49da2e2107b67a"},
  };
  for (const auto& row : kSuite) {
    for (size_t piece : {size_t{1}, size_t{7}, size_t{64}, size_t{1000}}) {
      EXPECT_EQ(DigestInPieces(row.input, piece), row.digest) << row.input << " / " << piece;
    }
    if (*row.input != '\0') {
      EXPECT_EQ(CMd5::GetMd5String(row.input), row.digest);
    }
  }
}

TEST(CMd5Test, PaddingBoundariesAndReuse) {
  // 55, 56 and 64 bytes straddle the padding's one-block and two-block cases.
  EXPECT_EQ(CMd5::GetMd5String(std::string(55, 'a')), "ef1772b6dff9a122358552954ad0df65");
  EXPECT_EQ(CMd5::GetMd5String(std::string(56, 'a')), "3b0c8ac703f828b04c6c197006d17218");
  EXPECT_EQ(CMd5::GetMd5String(std::string(64, 'a')), "014842d480b571495a4a0363793f7367");
  EXPECT_EQ(CMd5::GetMd5String(std::string(1000000, 'a')), "7707d6ae4e027c70eea2a935c2296f21");
  EXPECT_EQ(CMd5::GetMd5String(""), "") << "an empty input gives no digest text";

  CMd5 md5;
  md5.Update("junk", 4);
  md5.Init();
  md5.Update("abc", 3);
  uint8_t digest[16];
  md5.Final(digest);
  EXPECT_EQ(CMd5::ToHex(digest), "900150983cd24fb0d6963f7d28e17f72");
}

}  // namespace
