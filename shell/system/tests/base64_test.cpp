#include "shell/system/base64.h"

#include <gtest/gtest.h>

#include <cstring>

TEST(Base64, Rfc4648VectorsRoundTrip) {
  const struct {
    const char* plain;
    const char* encoded;
  } vectors[] = {{"", ""},
                 {"f", "Zg=="},
                 {"fo", "Zm8="},
                 {"foo", "Zm9v"},
                 {"foob", "Zm9vYg=="},
                 {"fooba", "Zm9vYmE="},
                 {"foobar", "Zm9vYmFy"},
                 {"abc", "YWJj"}};
  for (const auto& v : vectors) {
    EXPECT_EQ(Base64Encode(v.plain, std::strlen(v.plain)), v.encoded);
    EXPECT_EQ(Base64Decode(v.encoded), v.plain);
  }
  std::string all;
  for (int i = 0; i < 256; ++i) all += static_cast<char>(i);
  EXPECT_EQ(Base64Decode(Base64Encode(all.data(), all.size())), all);
}

TEST(Base64, DecodingStopsAtTheFirstCharacterOutsideTheAlphabet) {
  const struct {
    const char* text;
    const char* plain;
  } cases[] = {
      {"  YWJj", "abc"},     {"\t YWJj", "abc"}, {"YWI=", "ab"},   {"YWJj!ZGVm", "abc"},
      {"YWJj\nZGVm", "abc"}, {"!YWJj", ""},      {"YWJjZ", "abc"},  // one character over a full
                                                                    // group gives nothing
  };
  for (const auto& c : cases) EXPECT_EQ(Base64Decode(c.text), c.plain) << c.text;
}
