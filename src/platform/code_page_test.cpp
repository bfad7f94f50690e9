#include <gtest/gtest.h>

#include "platform/code_page.hpp"

namespace platform {
namespace {

// The same names the black-box tests use on Linux and under Wine.
TEST(NameCodec, DecodesAndEncodesBackTheVeryBytes) {
  const struct {
    unsigned code_page;
    const char* stored;
    const char* text;
  } cases[] = {
      {1252, "caf\xe9.txt", "caf\xc3\xa9.txt"},
      {1251, "\xcf\xf0\xe8\xe2\xe5\xf2", "\xd0\x9f\xd1\x80\xd0\xb8\xd0\xb2\xd0\xb5\xd1\x82"},  // Привет
      {932, "dir\\\x95\x5c.txt", "dir\\\xe8\xa1\xa8.txt"},  // 表, whose second byte is '\'
      {936, "\xd6\xd0", "\xe4\xb8\xad"},                    // 中
      {949, "\xc7\xd1", "\xed\x95\x9c"},                    // 한
      {950, "\xa4\xa4", "\xe4\xb8\xad"},                    // 中
      {437, "\x81", "\xc3\xbc"},                            // ü
      {850, "\x82", "\xc3\xa9"},                            // é
      {874, "\xa1", "\xe0\xb8\x81"},                        // ก
      {UTF8_CODE_PAGE,
       "\xc3\x9c"
       "ber",
       "\xc3\x9c"
       "ber"},  // Über
      {1252, "", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.code_page) + ": " + c.text);
    const name_codec codec(c.code_page);
    std::string text, stored;
    std::size_t bad_at = 99;
    ASSERT_TRUE(codec.decode(c.stored, text, bad_at));
    EXPECT_EQ(text, c.text);
    ASSERT_TRUE(codec.encode(text, stored, bad_at));
    EXPECT_EQ(stored, c.stored);
  }
}

TEST(NameCodec, NamesTheFirstByteOrCharacterItCannotTake) {
  const struct {
    unsigned code_page;
    bool decoding;
    const char* input;
    std::size_t bad_at;
  } cases[] = {
      {932, true, "ab\x81", 2},                           // a lead byte cut short
      {932, true, "a\x81\x20z", 1},                       // a lead byte with no valid trail byte
      {UTF8_CODE_PAGE, true, "ok\xc0\xaf", 2},            // an overlong form
      {1252, false, "x\xe6\x97\xa5\xe6\x9c\xac.txt", 1},  // 日本: no such characters in 1252
      {1251, false, "caf\xc3\xa9", 3},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.code_page) + (c.decoding ? " decoding" : " encoding"));
    const name_codec codec(c.code_page);
    std::string out = "stale";
    std::size_t bad_at = 99;
    EXPECT_FALSE(c.decoding ? codec.decode(c.input, out, bad_at) : codec.encode(c.input, out, bad_at));
    EXPECT_EQ(bad_at, c.bad_at);
    EXPECT_TRUE(out.empty()) << "nothing half-converted";
  }
}

TEST(NameCodec, CodePagesAreNamedAsOnTheCommandLine) {
  EXPECT_EQ(code_page_named("1252"), 1252u);
  EXPECT_EQ(code_page_named("CP932"), 932u);
  EXPECT_EQ(code_page_named("utf-8"), UTF8_CODE_PAGE);
  EXPECT_EQ(code_page_named("UTF8"), UTF8_CODE_PAGE);
  EXPECT_EQ(code_page_named("65001"), UTF8_CODE_PAGE);
  for (const char* wrong : {"", "cp", "1259", "12520", "latin1", "-1252", "1252x"}) {
    EXPECT_EQ(code_page_named(wrong), std::nullopt) << wrong;
  }
  for (const unsigned code_page : supported_code_pages()) EXPECT_NO_THROW(name_codec{code_page}) << code_page;
}

}  // namespace
}  // namespace platform
