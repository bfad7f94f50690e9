#include <gtest/gtest.h>

#include <string>

#include "select/entry_name.hpp"

namespace darvex {
namespace {

TEST(EntryName, NamesThatLeaveTheOutputDirectoryAreRefused) {
  const char* const unsafe[] = {
      "",     ".",     "..",        "/etc/passwd",  "\\windows\\x", "C:evil", "c:\\evil", "z:/evil",
      "../x", "..\\x", "a/../../b", "a\\..\\..\\b", "a/..",         "a/../b", "../",      "a/b/../../../c",
      "/",    "\\",
  };
  for (const char* name : unsafe) {
    EXPECT_NE(unsafe_name_reason(name, name_rules::portable), nullptr) << '"' << name << '"';
  }
}

TEST(EntryName, NamesThatStayInsideAreKept) {
  const char* const safe[] = {
      "a.bin",   "readme.txt", "...",     "..a",      "a..",
      "a/b.txt", "a\\b.txt",   "sub/./x", "x/..y",    "1:2",
      "ab:c",    " ",          "a b",     "\x01\x7f", "\xc3\xa9t\xc3\xa9.txt",
  };
  for (const char* name : safe) {
    EXPECT_EQ(unsafe_name_reason(name, name_rules::portable), nullptr) << '"' << name << '"';
  }
}

TEST(EntryName, NamesThatMayBeOneFileShareAKey) {
  const struct {
    const char* name;
    const char* key;
  } cases[] = {
      {"a/b.txt", "a/b.txt"},
      {"A\\B.TXT", "a/b.txt"},
      {"a//./b/", "a/b"},
      {"./x", "x"},
      {"dir. /File.txt..", "dir/file.txt"},
      {". ./x", "x"},
      {"\xC3\x89t\xC3\xA9", "\xC3\x89t\xC3\xA9"},
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(same_file_key(c.name), c.key) << '"' << c.name << '"';
}

}  // namespace
}  // namespace darvex
