#include "run/run_warnings.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "io/warning.h"
#include "support/temp_dir.h"

namespace velk {
namespace {

class RunWarningsTest : public test::ScratchDirectoryTest {};

RunControl switches(char level, char one, char known, char window) {
  RunControl c;
  c.level_table.switch_flag = level;
  c.one_level.switch_flag = one;
  c.known_level.switch_flag = known;
  c.window.switch_flag = window;
  return c;
}

std::vector<std::string> warnings_of(const RunControl& control) {
  WarningCapture capture;
  warn_on_control_file(control);
  return capture.lines();
}

// Upper-case Y is off like n; files of an earlier run are named in the order the run writes
// them, and files of other names are not.
TEST_F(RunWarningsTest, EverySwitchOffIsNamedWithTheFilesLeftFromEarlier) {
  test::write_file("vel_tran.out", "old\n");
  test::write_file("Astate.dat", "old\n");
  test::write_file("notes.txt", "mine\n");
  const std::vector<std::string> expected{
      "velk: warning: nothing to compute: every job switch is off",
      "velk: warning: the output files Astate.dat, vel_tran.out in the working directory are left "
      "from an earlier run; this run did not write them"};
  EXPECT_EQ(warnings_of(switches('Y', 'n', 'N', ' ')), expected);
  for (int job = 0; job < 4; ++job) {
    char s[4] = {'n', 'n', 'n', 'n'};
    s[job] = 'y';
    EXPECT_TRUE(warnings_of(switches(s[0], s[1], s[2], s[3])).empty()) << "job " << job;
  }
}

TEST_F(RunWarningsTest, NothingToComputeInAnEmptyDirectoryIsOneLine) {
  EXPECT_EQ(warnings_of(switches('n', 'n', 'n', 'n')),
            std::vector<std::string>{"velk: warning: nothing to compute: every job switch is off"});
}

TEST_F(RunWarningsTest, ACutFileNameIsNamedAsWrittenAndAsRead) {
  RunControl c = switches('y', 'n', 'n', 'n');
  c.B.file = "na2x_morse.p";
  c.B.file_as_written = "na2x_morse.pot";
  EXPECT_EQ(warnings_of(c),
            std::vector<std::string>{"velk: warning: velk.inf: the data file name of state B, "
                                     "\"na2x_morse.pot\", is cut to 12 characters: the run reads "
                                     "\"na2x_morse.p\""});
}

}  // namespace
}  // namespace velk
