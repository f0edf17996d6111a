// The input format of the whole-run fuzz harness: a working directory in one input. The expected
// splits are worked out by hand from the rule (velk.inf up to the first marker line, then one
// file per "%%file NAME" line), so that the seeds tools/seed_fuzz_corpus.py writes are read back
// as the directories they came from.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fuzz_support.h"

namespace velk::fuzz {
namespace {

std::vector<std::string> names_of(const Bundle& bundle) {
  std::vector<std::string> names;
  for (const BundledFile& file : bundle.files) names.push_back(file.name);
  return names;
}

TEST(Bundle, WithoutAMarkerTheInputIsVelkInfAlone) {
  const Bundle bundle = split_bundle("title\ndunA.dat\nd\n1\n");
  EXPECT_EQ(bundle.control, "title\ndunA.dat\nd\n1\n");
  EXPECT_TRUE(bundle.files.empty());
  EXPECT_EQ(split_bundle("").control, "");
  // A last line without a line end stays as it is.
  EXPECT_EQ(split_bundle("no end").control, "no end");
}

TEST(Bundle, MarkersStartFilesThatKeepTheirLineEnds) {
  const Bundle bundle = split_bundle(
      "t\nmljA.pot\n"
      "%%file mljA.pot\n"
      "1 line one\r\n"
      "line two\n"
      "%%file dunB.dat\r\n"  // a Windows line end after the name is not part of it
      "d\n"
      "%%file last.dat\n"
      "no final line end");
  EXPECT_EQ(bundle.control, "t\nmljA.pot\n");
  ASSERT_EQ(names_of(bundle), (std::vector<std::string>{"mljA.pot", "dunB.dat", "last.dat"}));
  EXPECT_EQ(bundle.files[0].content, "1 line one\r\nline two\n");
  EXPECT_EQ(bundle.files[1].content, "d\n");
  EXPECT_EQ(bundle.files[2].content, "no final line end");
}

TEST(Bundle, AMarkerCountsOnlyAtTheStartOfALine) {
  const Bundle bundle = split_bundle("x %%file a.dat\n%%filea.dat\n%%file b.dat\n%%file c\n");
  EXPECT_EQ(bundle.control, "x %%file a.dat\n%%filea.dat\n");
  ASSERT_EQ(names_of(bundle), (std::vector<std::string>{"b.dat", "c"}));
  EXPECT_EQ(bundle.files[0].content, "");
  EXPECT_EQ(bundle.files[1].content, "");
}

TEST(Bundle, PartsUnderNamesABundleCannotCarryAreDropped) {
  // Too long (13 characters), a path, velk.inf itself, the directory names, a blank, nothing.
  const Bundle bundle = split_bundle(
      "control\n"
      "%%file abcdefghijklm\nlost 1\n"
      "%%file ../x.dat\nlost 2\n"
      "%%file velk.inf\nlost 3\n"
      "%%file ..\nlost 4\n"
      "%%file a b\nlost 5\n"
      "%%file \nlost 6\n"
      "%%file abcdefghijkl\nkept\n");
  EXPECT_EQ(bundle.control, "control\n");
  ASSERT_EQ(names_of(bundle), std::vector<std::string>{"abcdefghijkl"});
  EXPECT_EQ(bundle.files[0].content, "kept\n");
  for (const char* name : {"dunA.dat", "Astate.dat", "a-b_c.D", "x"}) {
    EXPECT_TRUE(is_bundle_name(name)) << name;
  }
  for (const char* name : {"", ".", "..", "velk.inf", "a/b", "a\\b", "a b", "dunA.dat\t"}) {
    EXPECT_FALSE(is_bundle_name(name)) << name;
  }
}

TEST(Bundle, AMarkerFirstLeavesVelkInfEmpty) {
  const Bundle bundle = split_bundle("%%file dunA.dat\nd\n");
  EXPECT_EQ(bundle.control, "");
  ASSERT_EQ(names_of(bundle), std::vector<std::string>{"dunA.dat"});
  EXPECT_EQ(bundle.files[0].content, "d\n");
}

}  // namespace
}  // namespace velk::fuzz
