#include <gtest/gtest.h>

#include "cli/options.hpp"

namespace darvex {
namespace {

using args = std::vector<std::string>;

TEST(Options, ReadsEachOptionInEachOfItsForms) {
  const struct {
    args given;
    void (*check)(const options&);
  } cases[] = {
      {{"-l", "a.dat"}, [](const options& o) { EXPECT_EQ(o.what, command::list); }},
      {{"--test", "a.dat"}, [](const options& o) { EXPECT_EQ(o.what, command::test); }},
      {{"-p", "a.dat"}, [](const options& o) { EXPECT_EQ(o.what, command::to_stdout); }},
      {{"-qp", "--to-stdout", "a.dat"}, [](const options& o) { EXPECT_EQ(o.what, command::to_stdout); }},
      {{"-d", "out", "a.dat"}, [](const options& o) { EXPECT_EQ(o.directory, "out"); }},
      {{"-dout", "a.dat"}, [](const options& o) { EXPECT_EQ(o.directory, "out"); }},
      {{"--directory", "out", "a.dat"}, [](const options& o) { EXPECT_EQ(o.directory, "out"); }},
      {{"--directory=o=ut", "a.dat"}, [](const options& o) { EXPECT_EQ(o.directory, "o=ut"); }},
      {{"-i", "*.xml", "--include=b", "-ic", "a.dat"},
       [](const options& o) {
         EXPECT_EQ(o.includes, (args{"*.xml", "b", "c"}));
       }},
      {{"-x", "*.bin", "--exclude", "-", "a.dat"},
       [](const options& o) {
         EXPECT_EQ(o.excludes, (args{"*.bin", "-"}));
       }},
      {{"-nq", "a.dat"}, [](const options& o) { EXPECT_TRUE(o.no_overwrite && o.quiet); }},
      {{"--no-overwrite", "--quiet", "a.dat"}, [](const options& o) { EXPECT_TRUE(o.no_overwrite && o.quiet); }},
      {{"--no-table", "a.dat"}, [](const options& o) { EXPECT_TRUE(o.no_table); }},
      {{"-l", "--json", "a.dat"}, [](const options& o) { EXPECT_TRUE(o.json && o.what == command::list); }},
      {{"--json", "-t", "a.dat"}, [](const options& o) { EXPECT_TRUE(o.json && o.what == command::test); }},
      {{"-j", "3", "a.dat"}, [](const options& o) { EXPECT_EQ(o.jobs, 3u); }},
      {{"-qj64", "a.dat"}, [](const options& o) { EXPECT_EQ(o.jobs, 64u); }},
      {{"-c", "new.dat", "dir"},
       [](const options& o) {
         EXPECT_EQ(o.what, command::create);
         EXPECT_EQ(o.created, "new.dat");
         EXPECT_EQ(o.folder, "dir");
         EXPECT_TRUE(o.archives.empty());
       }},
      {{"-qcnew.dat", "--like=old.dat", "--level", "9", "-x", "*.bak", "-j2", "--", "-dir"},
       [](const options& o) {
         EXPECT_TRUE(o.quiet);
         EXPECT_EQ(o.created, "new.dat");
         EXPECT_EQ(o.like, "old.dat");
         EXPECT_EQ(o.level, 9u);
         EXPECT_EQ(o.excludes, (args{"*.bak"}));
         EXPECT_EQ(o.jobs, 2u);
         EXPECT_EQ(o.folder, "-dir");
       }},
      {{"--create", "n.dat", "d"}, [](const options& o) { EXPECT_EQ(o.level, std::nullopt); }},
      {{"-c", "n.dat", "--like", "o.dat", "--sync", "d"}, [](const options& o) { EXPECT_TRUE(o.sync); }},
      {{"--diff", "--json", "-i", "*.xml", "old.dat", "new.dat"},
       [](const options& o) {
         EXPECT_EQ(o.what, command::diff);
         EXPECT_TRUE(o.json);
         EXPECT_EQ(o.includes, (args{"*.xml"}));
         EXPECT_EQ(o.archives, (args{"old.dat", "new.dat"}));
       }},
      {{"-h", "--bogus"}, [](const options& o) { EXPECT_EQ(o.what, command::help); }},
      {{"--version"}, [](const options& o) { EXPECT_EQ(o.what, command::version); }},
      {{}, [](const options& o) { EXPECT_EQ(o.what, command::usage_text); }},
  };
  for (const auto& c : cases) {
    const parsed_options parsed = parse_options(c.given);
    SCOPED_TRACE(::testing::PrintToString(c.given));
    EXPECT_EQ(parsed.error, "");
    c.check(parsed.chosen);
  }
}

TEST(Options, ArchivesFollowTheOptionsAndDoubleDashEndsThem) {
  const struct {
    args given;
    args archives;
  } cases[] = {
      {{"a.dat", "b.dat"}, {"a.dat", "b.dat"}},
      {{"-l", "--", "-a.dat", "b.dat"}, {"-a.dat", "b.dat"}},
      {{"a.dat", "--", "-b.dat"}, {"a.dat", "-b.dat"}},
      {{"-", "a.dat"}, {"-", "a.dat"}},
      {{"./-a.dat"}, {"./-a.dat"}},
  };
  for (const auto& c : cases) {
    const parsed_options parsed = parse_options(c.given);
    EXPECT_EQ(parsed.error, "") << ::testing::PrintToString(c.given);
    EXPECT_EQ(parsed.chosen.archives, c.archives) << ::testing::PrintToString(c.given);
  }
}

TEST(Options, UsageErrorsSayWhatIsWrong) {
  const struct {
    args given;
    const char* error;
  } cases[] = {
      {{"-z", "a.dat"}, "unknown option '-z'"},
      {{"--zap", "a.dat"}, "unknown option '--zap'"},
      {{"-d"}, "option '-d' needs DIR"},
      {{"--directory"}, "option '--directory' needs DIR"},
      {{"-d", "", "a.dat"}, "option '-d' needs a directory name"},
      {{"-i"}, "option '-i' needs GLOB"},
      {{"-l"}, "no archive given"},
      {{"-q", "--"}, "no archive given"},
      {{"-d", "patch1.dat"}, "no archive given ('-d' took 'patch1.dat' as its directory)"},
      {{"--directory", "patch1.dat"}, "no archive given ('--directory' took 'patch1.dat' as its directory)"},
      {{"-ldpatch1.dat"}, "('-d' took 'patch1.dat' as its directory)"},
      {{"-l", "-t", "a.dat"}, "'-l' and '-t' cannot be used together"},
      {{"-tl", "a.dat"}, "'-l' and '-t' cannot be used together"},
      {{"-pl", "a.dat"}, "'-l' and '-p' cannot be used together"},
      {{"-t", "--to-stdout", "a.dat"}, "'-t' and '-p' cannot be used together"},
      {{"-p", "--json", "a.dat"}, "'--json' goes with '-l', '-t', '-c' or '--diff'"},
      {{"--list=yes", "a.dat"}, "option '--list' takes no value"},
      {{"--no-table=yes", "a.dat"}, "option '--no-table' takes no value"},
      {{"--json", "a.dat"}, "'--json' goes with '-l', '-t', '-c' or '--diff'"},
      {{"-j", "0", "a.dat"}, "takes a number of jobs from 1 to 64, not '0'"},
      {{"-j", "65", "a.dat"}, "not '65'"},
      {{"-j", "2x", "a.dat"}, "not '2x'"},
      {{"--jobs="}, "not ''"},
      {{"a.dat", "-l"}, "option '-l' after an archive"},
      {{"-c", "n.dat"}, "no folder given"},
      {{"-c", "n.dat", "a", "b"}, "'-c' takes one folder, not 2 operands"},
      {{"-c", "", "a"}, "option '-c' needs a file name"},
      {{"-l", "-c", "n.dat", "a"}, "'-l' and '-c' cannot be used together"},
      {{"-c", "n.dat", "-t", "a"}, "'-t' and '-c' cannot be used together"},
      {{"-c", "n.dat", "-d", "out", "a"}, "'-d' cannot be used with '-c'"},
      {{"-c", "n.dat", "-i", "*", "a"}, "'-i' cannot be used with '-c'"},
      {{"-nc", "n.dat", "a"}, "'-n' cannot be used with '-c'"},
      {{"--like", "o.dat", "a.dat"}, "'--like' needs '-c'"},
      {{"--level", "5", "a.dat"}, "'--level' needs '-c'"},
      {{"-c", "n.dat", "--level", "0", "a"}, "takes a number of level from 1 to"},
      {{"-c", "n.dat", "--level", "13", "a"}, "not '13'"},
      {{"--sync", "a.dat"}, "'--sync' needs '-c'"},
      {{"--diff", "a.dat"}, "'--diff' compares two archives, OLD and NEW, not 1"},
      {{"--diff", "a.dat", "b.dat", "c.dat"}, "not 3"},
      {{"--diff", "-l", "a.dat", "b.dat"}, "'-l' and '--diff' cannot be used together"},
      {{"--diff", "-c", "n.dat", "a"}, "'-c' and '--diff' cannot be used together"},
      {{"--diff", "-d", "out", "a.dat", "b.dat"}, "'-d' cannot be used with '--diff'"},
      {{"--diff", "--sync", "a.dat", "b.dat"}, "'--sync' needs '-c'"},
  };
  for (const auto& c : cases) {
    const std::string error = parse_options(c.given).error;
    EXPECT_NE(error.find(c.error), std::string::npos) << ::testing::PrintToString(c.given) << ": " << error;
  }
}

}  // namespace
}  // namespace darvex
