#include "run/output_names.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "io/errors.h"
#include "run/control_file.h"
#include "run/state_level_files.h"
#include "run/transitions.h"
#include "support/temp_dir.h"

namespace velk {
namespace {

namespace fs = std::filesystem;

// Stands in for the level producers: writes every requested level file (one level per v, J and
// parity, energies rising with v) so that the transition runs read it back.
class FileWritingLevels : public LevelFileSource {
 public:
  void compute_state_levels(const StateInput&, const LevelRanges& r,
                            const std::string& levelfile) override {
    std::string text = "    " + std::to_string(level_count(r)) + " !number of levels\n";
    for (int k = 2; k <= 6; ++k) text += " header\n";
    int iline = 0;
    for (int32_t J = r.Jmin; J <= r.Jmax; ++J)
      for (int32_t v = r.vmin; v <= r.vmax; ++v)
        for (int32_t p = r.pmin; p <= r.pmax; ++p)
          text += std::to_string(++iline) + " " + std::to_string(v) + " " + std::to_string(J) +
                  " " + std::to_string(1000.0 * v + J) + " " + std::to_string(p) + "\n";
    test::write_file(levelfile, text);
  }

 private:
  static int64_t level_count(const LevelRanges& r) {
    return int64_t{r.vmax - r.vmin + 1} * (r.Jmax - r.Jmin + 1) * (r.pmax - r.pmin + 1);
  }
};

RunControl all_jobs_off() {
  RunControl control;
  control.A.file = "stateA.dat  ";
  control.A.kind = 'd';
  control.B.file = "stateB.dat  ";
  control.B.kind = 'd';
  control.one_level = OneLevelBlock{'n', 0, 2, 1, 0, 1, 1, 1};
  control.known_level = KnownLevelBlock{'n', 2, 0, 2, 1, 500.0, 0, 1, 1, 1};
  control.window = WindowBlock{'n', -1e9, 1e9, 0, 1, 1, 2, 1, 1, 0, 1, 1};
  return control;
}

std::set<std::string> files_in_working_directory() {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(".")) {
    names.insert(entry.path().filename().string());
  }
  return names;
}

class RunOutputNamesTest : public test::ScratchDirectoryTest {
 protected:
  // Runs `job` with the control record and compares the files it leaves with the names listed.
  template <class Job>
  void expect_names_match_the_job(const RunControl& control, Job job) {
    FileWritingLevels levels;
    job(control, levels);
    const std::vector<std::string> listed = run_output_names(control);
    const std::set<std::string> written = files_in_working_directory();
    EXPECT_EQ(std::set<std::string>(listed.begin(), listed.end()), written);
    for (const auto& name : written) fs::remove(name);
  }
};

// The names are checked against the transition runs themselves, for every branch code they treat
// differently (1, 2, 3 and the codes that write no transitions): a job that comes to write
// another file, or stops writing one, shows here.
TEST_F(RunOutputNamesTest, ListTheFilesEachTransitionJobWritesForEveryBranchCode) {
  for (int32_t branch = -1; branch <= 4; ++branch) {
    SCOPED_TRACE("branch " + std::to_string(branch));
    RunControl control = all_jobs_off();
    control.one_level.switch_flag = 'y';
    control.one_level.branch = branch;
    expect_names_match_the_job(control, run_one_level_transitions);

    control = all_jobs_off();
    control.known_level.switch_flag = 'y';
    control.known_level.branch = branch;
    expect_names_match_the_job(control, run_known_level_transitions);

    control = all_jobs_off();
    control.window.switch_flag = 'y';
    control.window.branch = branch;
    expect_names_match_the_job(control, run_window_transitions);
  }
}

TEST_F(RunOutputNamesTest, LevelTableWritesTheFileOfItsStateAndPotentialStatesTheFitReport) {
  RunControl control = all_jobs_off();
  control.level_table.switch_flag = 'y';
  control.level_table.state = 2;
  EXPECT_EQ(run_output_names(control), std::vector<std::string>{"Bstate.dat"});
  control.level_table.state = 1;
  control.A.kind = 'p';  // any kind but 'd' names a potential file
  EXPECT_EQ(run_output_names(control), (std::vector<std::string>{"Astate.dat", "potext.out"}));
  // State B is a potential state, but no job builds it.
  control.A.kind = 'd';
  control.B.kind = 'D';
  EXPECT_EQ(run_output_names(control), std::vector<std::string>{"Astate.dat"});
  EXPECT_TRUE(run_output_names(all_jobs_off()).empty());
}

class SameFileTest : public test::ScratchDirectoryTest {};

TEST_F(SameFileTest, NamesAsTheFileSystemResolvesThem) {
  EXPECT_TRUE(names_same_file("Astate.dat  ", "Astate.dat"));
  EXPECT_TRUE(names_same_file("./Astate.dat", "Astate.dat"));
  EXPECT_TRUE(names_same_file("x/../potext.out", "potext.out"));
  EXPECT_FALSE(names_same_file("Astate.da", "Astate.dat"));
  EXPECT_FALSE(names_same_file(" Astate.dat", "Astate.dat"));  // a leading blank is a name
  EXPECT_FALSE(names_same_file("            ", "Astate.dat"));
  EXPECT_FALSE(names_same_file("Bstate.dat", "Astate.dat"));  // neither exists

  // A link left in the working directory under an output name would write through to the data.
  test::write_file("na2x.pot", "data\n");
  fs::create_symlink("na2x.pot", "Astate.dat");
  EXPECT_TRUE(names_same_file("na2x.pot", "Astate.dat"));
  fs::create_hard_link("na2x.pot", "Bstate.dat");
  EXPECT_TRUE(names_same_file("na2x.pot    ", "Bstate.dat"));
  EXPECT_FALSE(names_same_file("na2x.pot", "BstateP.dat"));  // the output does not exist
}

class RefuseInputsTest : public test::ScratchDirectoryTest {};

TEST_F(RefuseInputsTest, NamesTheStateAndItsLineInTheControlFile) {
  // Record 4 (the mass index of A) is spread over a blank line, so B's name stands on line 6.
  test::write_file("velk.inf",
                   "title\nstateA.dat\nd\n\n1\nBstate.dat\nd\n1\ngrid\n1 5 100\n1 5 100\n30\n"
                   "1e-4\nn\nlevel table\ny\n2\n0 1 0 1 1 1\none\nn\n0 0 1\n0 0 1 1\nknown\nn\n"
                   "2\n0 0 1 0.0\n0 0 1 1\nwindow\nn\n0.0 1.0\n0 0 0 0 1 1\n0 0 1\n");
  try {
    read_control_file();
    FAIL() << "a data file named Bstate.dat was accepted";
  } catch (const InputError& error) {
    EXPECT_STREQ(error.what(),
                 "velk: velk.inf, line 6: the data file of state B, \"Bstate.dat\", is the output "
                 "Bstate.dat of this run and would be overwritten");
  }
}

TEST_F(RefuseInputsTest, AcceptsTheOwnLevelFileOfAnEarlierJobAndUnusedOutputNames) {
  RunControl control = all_jobs_off();
  control.A.file = "vel_tran.out";  // no job is on: nothing is written
  EXPECT_NO_THROW(refuse_inputs_named_as_outputs(control));
  control.level_table.switch_flag = 'y';
  control.level_table.state = 1;  // writes Astate.dat only
  EXPECT_NO_THROW(refuse_inputs_named_as_outputs(control));
  control.window.switch_flag = 'y';  // writes vel_tran.out
  EXPECT_THROW(refuse_inputs_named_as_outputs(control), InputError);
}

}  // namespace
}  // namespace velk
