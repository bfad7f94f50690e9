// The Windows name rules, checked on any host: Windows builds refuse names that would open a
// device, write a hidden data stream or alias a directory, on top of the portable rules.

#include <gtest/gtest.h>

#include <string>

#include "select/entry_name.hpp"

namespace darvex {
namespace {

struct refused_name {
  const char* name;
  const char* reason_part;  // a word the reason must hold, so the right rule refused it
};

std::string reason_under(const char* name, name_rules rules) {
  const char* reason = unsafe_name_reason(name, rules);
  return reason != nullptr ? reason : "";
}

TEST(EntryNameWindows, DeviceNamesAreRefusedInAnyCaseWithAnyExtension) {
  const char* const devices[] = {
      "CON",         "con",         "Prn",      "aux.txt", "NUL",       "nul.tar.gz", "NUL.",       "nul .txt",
      "CON  ",       "COM1",        "com9.log", "LPT1",    "lpt9",      "COM0",       "LPT0.bin",   "COM\xB9",
      "lpt\xB3.txt", "COM\xC2\xB2", "CONIN$",   "conout$", "CONOUT$.x", "dir/NUL",    "a\\b\\com1", "CON/x",
  };
  for (const char* name : devices) {
    EXPECT_NE(reason_under(name, name_rules::windows).find("device"), std::string::npos) << '"' << name << '"';
  }
}

TEST(EntryNameWindows, NamesThatOnlyResembleDevicesAreKept) {
  const char* const kept[] = {
      "CONSOLE", "COM10", "LPT",     "COM",  "xCON",  "con_", "NULL.txt",  "a.con", "aux-1",
      "COMA",    "LPT1x", "COM\xB4", "CON$", "CONIN", "_nul", "dir.nul/x", "pr n",  "CONIN$$",
  };
  for (const char* name : kept) {
    EXPECT_EQ(unsafe_name_reason(name, name_rules::windows), nullptr) << '"' << name << '"';
  }
}

TEST(EntryNameWindows, NamesWindowsWouldResolveElsewhereAreRefused) {
  const refused_name refused[] = {
      {"ab:c", "stream"},    {"file.txt:hidden", "stream"},
      {"dir/x:y", "stream"}, {"..  ", "dots"},
      {". .", "dots"},       {"a/.../b", "dots"},
      {"a\\.. \\b", "dots"}, {"x/ ", "dots"},
      {"../x", ".."},        {"a\\..\\..\\b", ".."},
      {"C:x", "drive"},      {"\\\\server\\share", "absolute"},
      {"/x", "absolute"},    {"", "empty"},
  };
  for (const refused_name& entry : refused) {
    EXPECT_NE(reason_under(entry.name, name_rules::windows).find(entry.reason_part), std::string::npos)
        << '"' << entry.name << "\" gives \"" << reason_under(entry.name, name_rules::windows) << '"';
  }
}

TEST(EntryNameWindows, OrdinaryNamesAreKept) {
  const char* const kept[] = {
      "a.bin", "readme.txt", "a/b.txt", "a\\b.txt", "sub/./x", "..a", "a..", "a. b", "\xc3\xa9t\xc3\xa9",
  };
  for (const char* name : kept) {
    EXPECT_EQ(unsafe_name_reason(name, name_rules::windows), nullptr) << '"' << name << '"';
  }
}

// Elsewhere these are ordinary file names and extract as such.
TEST(EntryNameWindows, PortableRulesKeepWindowsOnlyNames) {
  const char* const kept[] = {"CON", "nul.txt", "COM1", "CONOUT$", "ab:c", "x/ ", "a/.../b"};
  for (const char* name : kept) {
    EXPECT_EQ(unsafe_name_reason(name, name_rules::portable), nullptr) << '"' << name << '"';
  }
}

}  // namespace
}  // namespace darvex
