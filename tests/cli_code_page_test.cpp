// Black-box tests of --codepage: names stored in a Windows code page are read in it on every
// system. Each file is named by the name's text (the file systems here, and Wine's, hold it in
// UTF-8), listings and --json show that text, -i matches it, and -c stores it back in the code
// page, so that an extraction packs back byte for byte. A name the code page does not read is
// refused with the byte that is not, and one it cannot hold stops -c before anything is written.
//
// The same tables run against the native build and, under Wine, the Windows build, whose
// ANSI code page is 1252 here (the locale is C.UTF-8): a Windows build writes text to a pipe in
// that code page, '?' for what it lacks, so lines on standard output and messages are compared
// as such a build shows them.

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "archive_writer.hpp"
#include "expected_output.hpp"
#include "run_tool.hpp"
#include "scratch.hpp"

namespace darvex::test_support {
namespace {

using json = nlohmann::json;
using args = std::vector<std::string>;

// UTF-8 `text` as the tool under test writes it to a pipe: as it is, or from a Windows build in
// code page 1252, where Latin-1's characters keep their bytes and the rest (Cyrillic, kanji)
// are '?'.
std::string shown(const std::string& text) {
  if (!testing_a_windows_build()) return text;
  std::string out;
  for (std::size_t at = 0; at < text.size();) {
    const auto lead = static_cast<unsigned char>(text[at]);
    const std::size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    if (length == 1) {
      out += text[at];
    } else if (length == 2 && (lead == 0xC2 || lead == 0xC3)) {
      out += static_cast<char>(((lead & 0x1F) << 6) | (static_cast<unsigned char>(text[at + 1]) & 0x3F));
    } else {
      out += '?';
    }
    at += length;
  }
  return out;
}

std::string hex_of(const std::string& bytes) {
  static constexpr char DIGITS[] = "0123456789abcdef";
  std::string hex;
  for (const char c : bytes) {
    hex += DIGITS[static_cast<unsigned char>(c) >> 4];
    hex += DIGITS[static_cast<unsigned char>(c) & 0xF];
  }
  return hex;
}

// `name` with its '\' made '/': the path it makes, and a pattern that takes it.
std::string slashed(std::string name) {
  for (char& c : name) c = c == '\\' ? '/' : c;
  return name;
}

std::string first_json_name(const std::string& out) { return json::parse(out.substr(0, out.find('\n')))["name"]; }

tool_result run(const scratch_dir& dir, const args& arguments) {
  return run_tool(dir.path(), arguments, run_options::with_environment({"LC_ALL=C.UTF-8"}));
}

struct named_in_code_page {
  const char* code_page;
  std::string stored;  // as the index stores it
  std::string text;    // its UTF-8 text
};

const named_in_code_page NAMES[] = {
    {"1252", "caf\xE9.txt", "caf\xC3\xA9.txt"},                                                        // café.txt
    {"1251", "\xCF\xF0\xE8\xE2\xE5\xF2.txt", "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82.txt"},  // Привет.txt
    {"932", "dir\\\x95\x5C.txt", "dir\\\xE8\xA1\xA8.txt"},  // 表, whose second byte is '\', in a folder
};

TEST(CliCodePage, NamesAreReadInTheCodePageForFilesListingsJsonAndPatterns) {
  for (const named_in_code_page& name : NAMES) {
    SCOPED_TRACE(std::string(name.code_page) + ": " + name.text);
    const scratch_dir dir;
    test_archive archive;
    archive.entries = {entry(name.stored, "held by " + name.text), entry("plain.txt", "plain")};
    archive.write_to((dir / "file.dat").string());

    const tool_result extracted = run(dir, {"--codepage", name.code_page, "file.dat"});
    EXPECT_EQ(extracted.status, 0) << extracted.err;
    EXPECT_EQ(extracted.err, "");
    EXPECT_EQ(extracted.out, progress("file", {shown(name.text), "plain.txt"}));
    EXPECT_EQ(read_file(dir / "file" / slashed(name.text)), "held by " + name.text);

    const tool_result listed = run(dir, {"-l", "--codepage", name.code_page, "file.dat"});
    EXPECT_EQ(listed.status, 0) << listed.err;
    EXPECT_NE(listed.out.find("  " + shown(name.text) + "\n"), std::string::npos) << listed.out;

    const tool_result as_json = run(dir, {"-l", "--json", "--codepage", name.code_page, "file.dat"});
    EXPECT_EQ(as_json.status, 0) << as_json.err;
    const json first = json::parse(as_json.out.substr(0, as_json.out.find('\n')));
    EXPECT_EQ(first["name"], name.text);
    EXPECT_EQ(first["name_bytes"], hex_of(name.stored)) << "the stored bytes, which are not its UTF-8";

    const tool_result printed = run(dir, {"-p", "-i", slashed(name.text), "--codepage", name.code_page, "file.dat"});
    EXPECT_EQ(printed.status, 0) << printed.err;
    EXPECT_EQ(printed.out, "held by " + name.text);

    // Back again with the same code page: an untouched extraction is the archive byte for byte.
    const tool_result packed = run(dir, {"-c", "new.dat", "--like", "file.dat", "--codepage", name.code_page, "file"});
    EXPECT_EQ(packed.status, 0) << packed.err;
    EXPECT_EQ(packed.err, "");
    EXPECT_EQ(read_file(dir / "new.dat"), read_file(dir / "file.dat"));
    const tool_result compared = run(dir, {"--diff", "--codepage", name.code_page, "file.dat", "new.dat"});
    EXPECT_EQ(compared.status, 0) << compared.out << compared.err;
  }
}

TEST(CliCodePage, ANameTheCodePageDoesNotReadIsRefusedNamingTheByte) {
  const scratch_dir dir;
  test_archive archive;
  archive.entries = {entry("bad\x81\x20.txt", "never written"), entry("ok.txt", "ok")};
  archive.write_to((dir / "file.dat").string());
  const std::string reason = "name is not valid in code page 932: byte 0x81 at offset 3 begins no character";

  const tool_result extracted = run(dir, {"--codepage", "932", "file.dat"});
  EXPECT_EQ(extracted.status, 1);
  EXPECT_EQ(extracted.err, "DarvEx: entry 1 (bad\\x81 .txt): " + reason + "\n");
  EXPECT_EQ(extracted.out, progress("file", {"bad\\x81 .txt", "ok.txt"}));
  EXPECT_EQ(list_tree(dir.path()), (args{"file", "file.dat", "file/ok.txt", "file/table.bin"}))
      << "no file under a name with '?' or U+FFFD";

  const tool_result as_json = run(dir, {"-l", "--json", "--codepage", "932", "file.dat"});
  EXPECT_EQ(as_json.status, 1);
  const json first = json::parse(as_json.out.substr(0, as_json.out.find('\n')));
  EXPECT_EQ(first["status"], "refused");
  EXPECT_EQ(first["reason"], reason);
  EXPECT_EQ(first["name_bytes"], "62616481202e747874");
  EXPECT_EQ(first_json_name(as_json.out), "bad\xEF\xBF\xBD .txt") << "U+FFFD only in the JSON text";
}

TEST(CliCodePage, CreateStoresNamesInTheCodePageAndStopsAtOneItCannotHold) {
  const scratch_dir dir;
  fs::create_directories(dir / "in");
  write_file(dir / "in/a.txt", "a");
  write_file(dir / "in/caf\xC3\xA9.txt", "caf\xC3\xA9");
  const tool_result packed = run(dir, {"-c", "new.dat", "--codepage", "1252", "in"});
  EXPECT_EQ(packed.status, 0) << packed.err;
  EXPECT_EQ(packed.err, "");
  const tool_result listed = run(dir, {"-l", "--json", "--codepage", "1252", "-i", "caf*", "new.dat"});
  EXPECT_EQ(first_json_name(listed.out), "caf\xC3\xA9.txt") << listed.out;
  EXPECT_EQ(json::parse(listed.out.substr(0, listed.out.find('\n')))["name_bytes"], hex_of("caf\xE9.txt"));

  const std::string japanese = "in/\xE6\x97\xA5\xE6\x9C\xAC.txt";  // 日本.txt
  write_file(dir / japanese, "nihon");
  const tool_result refused = run(dir, {"-c", "other.dat", "--codepage", "1252", "in"});
  EXPECT_EQ(refused.status, 2);
  EXPECT_EQ(refused.err, "DarvEx: \"" + shown(as_shown(japanese)) +
                             "\": name cannot be stored in code page 1252: it has no " + shown("\xE6\x97\xA5") +
                             " (U+65E5)\n");
  EXPECT_EQ(refused.out, "");
  EXPECT_EQ(list_tree(dir.path()), (args{"in", "in/a.txt", "in/caf\xC3\xA9.txt", japanese, "new.dat"}))
      << "nothing written";
}

// Without --codepage a Linux build stores a new file's name as the bytes of its name (UTF-8),
// which Windows reads in its code page: said once, of the first. A Windows build stores names
// in its ANSI code page, and so says nothing; with --codepage utf-8 the bytes are asked for.
TEST(CliCodePage, CreateWithoutItSaysOnceThatNamesGoInAsUtf8) {
  const scratch_dir dir;
  fs::create_directories(dir / "in");
  for (const char* name : {"a.txt",
                           "\xC3\x9C"
                           "ber.txt",
                           "\xC3\x9C"
                           "berall.txt"}) {
    write_file(dir / "in" / name, name);
  }
  const tool_result packed = run(dir, {"-c", "new.dat", "in"});
  EXPECT_EQ(packed.status, 0) << packed.err;
  EXPECT_EQ(packed.err,
            testing_a_windows_build()
                ? ""
                : "DarvEx: \"in/\xC3\x9C"
                  "ber.txt\": stored as UTF-8 bytes; Windows reads names in its code page: see --codepage\n");
  const tool_result asked = run(dir, {"-c", "utf8.dat", "--codepage", "utf-8", "in"});
  EXPECT_EQ(asked.status, 0) << asked.err;
  EXPECT_EQ(asked.err, "");
}

TEST(CliCodePage, ACodePageNotReadIsAUsageError) {
  const scratch_dir dir;
  for (const char* wrong : {"1259", "latin1", "cp"}) {
    const tool_result result = run(dir, {"--codepage", wrong, "file.dat"});
    EXPECT_EQ(result.status, 2) << wrong;
    EXPECT_EQ(result.err,
              "DarvEx: option '--codepage' takes a Windows code page (1250 to 1258, 874, 932, 936, 949, "
              "950, 437 or 850) or utf-8, not '" +
                  std::string(wrong) + "'\nTry 'DarvEx --help'.\n");
  }
}

}  // namespace
}  // namespace darvex::test_support
