#include <gtest/gtest.h>

#include "cli/json_line.hpp"

namespace darvex {
namespace {

TEST(JsonLine, StringsAreEscapedSoThatEveryLineParsesAndNoneDrivesATerminal) {
  const struct {
    const char* label;
    std::string_view text;
    std::string_view json;
  } cases[] = {
      {"plain", "levels/one.xml", R"("levels/one.xml")"},
      {"quote and backslash", "a\"b\\c", R"("a\"b\\c")"},
      {"short escapes", "\n\r\t\b\f", R"("\n\r\t\b\f")"},
      {"other controls", std::string_view("\x1B[2J\x00\x7F", 6), R"("\u001b[2J\u0000\u007f")"},
      {"C1 controls",
       "csi\xC2\x9B"
       "2J nel\xC2\x85",
       R"("csi\u009b2J nel\u0085")"},
      {"first and last C1", "\xC2\x80 \xC2\x9F \xC2\xA0", "\"\\u0080 \\u009f \xC2\xA0\""},
      {"lone lead before C1", "\xC2\xC2\x85", "\"\xEF\xBF\xBD\\u0085\""},
      {"UTF-8 kept", "caf\xC3\xA9 \xE6\xA1\xA3 \xF0\x9F\x98\x80 \xC2\xA0",
       "\"caf\xC3\xA9 \xE6\xA1\xA3 \xF0\x9F\x98\x80 \xC2\xA0\""},
      {"Latin-1", "caf\xE9.txt", "\"caf\xEF\xBF\xBD.txt\""},
      {"each bad byte", "\xFF\xFE", "\"\xEF\xBF\xBD\xEF\xBF\xBD\""},
      {"surrogate", "\xED\xA0\x80", "\"\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\""},
      {"empty", "", R"("")"},
  };
  for (const auto& c : cases) EXPECT_EQ(json_string(c.text), c.json) << c.label;
}

TEST(JsonLine, AnObjectKeepsItsFieldsInOrderOnOneLine) {
  json_object object;
  object.number("entry", 7).text("name", "a\nb").null("span").number("size", 4294967296u);
  EXPECT_EQ(object.line(), "{\"entry\":7,\"name\":\"a\\nb\",\"span\":null,\"size\":4294967296}\n");
  EXPECT_EQ(json_object().line(), "{}\n");
}

TEST(JsonLine, HexKeepsEveryByte) {
  EXPECT_EQ(hex_bytes(std::string_view("caf\xE9\x00\xFF", 6)), "636166e900ff");
  EXPECT_EQ(hex_bytes(""), "");
}

}  // namespace
}  // namespace darvex
