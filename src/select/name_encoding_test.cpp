#include <gtest/gtest.h>

#include "platform/traits.hpp"
#include "select/name_encoding.hpp"

namespace darvex {
namespace {

TEST(NameEncoding, WhatIsNotTextOrCannotBeStoredIsNamed) {
  const struct {
    unsigned code_page;
    bool reading;  // text_of, else stored_of
    const char* given;
    const char* why;
  } cases[] = {
      {932, true, "a\\\x81\x20z", "name is not valid in code page 932: byte 0x81 at offset 2 begins no character"},
      {932, true, "ab\x81", "name is not valid in code page 932: byte 0x81 at offset 2 begins no character"},
      {65001, true, "ok\xC0\xAF", "name is not valid in UTF-8: byte 0xC0 at offset 2 begins no character"},
      {1252, false, "x\xE6\x97\xA5\xE6\x9C\xAC.txt",
       "name cannot be stored in code page 1252: it has no \xE6\x97\xA5 (U+65E5)"},
      {1251, false, "caf\xC3\xA9", "name cannot be stored in code page 1251: it has no \xC3\xA9 (U+00E9)"},
      {1252, false, "caf\xE9",
       "name cannot be stored in code page 1252: the name is not UTF-8 (byte 0xE9 at offset 3)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.given);
    const name_encoding names(c.code_page);
    std::string why;
    EXPECT_EQ(c.reading ? names.text_of(c.given, &why) : names.stored_of(c.given, &why), std::nullopt);
    EXPECT_EQ(why, c.why);
  }
}

TEST(NameEncoding, StoredNamesReadBackAsTheirText) {
  const name_encoding japanese(932);
  EXPECT_EQ(japanese.stored_of("dir\\\xE8\xA1\xA8.txt"), "dir\\\x95\x5C.txt")
      << "\xE8\xA1\xA8, whose trail byte is '\\'";
  EXPECT_EQ(japanese.text_of("dir\\\x95\x5C.txt"), "dir\\\xE8\xA1\xA8.txt");
  EXPECT_TRUE(japanese.chosen());
  EXPECT_FALSE(japanese.stores_text_bytes());
}

TEST(NameEncoding, TheSystemsReadingKeepsItsDefaults) {
  const name_encoding system;
  EXPECT_FALSE(system.chosen());
  EXPECT_EQ(system.stores_text_bytes(), !platform::BUILT_FOR_WINDOWS);
  if (!platform::BUILT_FOR_WINDOWS) {
    EXPECT_EQ(system.text_of("caf\xE9"), "caf\xE9") << "the bytes as stored";
    EXPECT_EQ(system.stored_of("\xC3\x9C"
                               "ber.txt"),
              "\xC3\x9C"
              "ber.txt");
  }
}

}  // namespace
}  // namespace darvex
