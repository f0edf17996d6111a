#include "plot/plot_command.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "plot_test_support.h"

namespace velk::plot {
namespace {

class PlotCommandTest : public test::PlotDirTest {
 protected:
  // Runs the command in this process and keeps what it printed.
  int run(const std::vector<std::string>& arguments) {
    ::testing::internal::CaptureStdout();
    const int status = run_velk_plot(arguments);
    output = ::testing::internal::GetCapturedStdout();
    return status;
  }
  std::string last_line() const {
    const auto end = output.find_last_not_of('\n');
    const auto start = output.rfind('\n', end);
    return output.substr(start == std::string::npos ? 0 : start + 1, end - start);
  }
  void write_state_run() {
    write_file("model.pot", test::kratzer_file());
    write_file("velk.inf", test::control_file("model.pot", 'p', "b.dun", 'd', 2001));
    write_file("Astate.dat", test::level_file("model.pot", {{0, 0, 900.0}, {1, 0, 2500.0}}));
  }
  std::string output;
};

TEST_F(PlotCommandTest, BadArgumentsPrintTheUsage) {
  for (const auto& arguments :
       std::vector<std::vector<std::string>>{{}, {"C"}, {"a"}, {"A", "B"}, {"transition"}}) {
    EXPECT_EQ(run(arguments), 2);
    EXPECT_EQ(output.rfind("usage: velk-plot A | B | transitions\n", 0), 0u) << output;
  }
  EXPECT_EQ(run({"--help"}), 0);
  EXPECT_EQ(output.rfind("usage: velk-plot A | B | transitions\n", 0), 0u);
  EXPECT_TRUE(std::filesystem::is_empty(dir_));
}

TEST_F(PlotCommandTest, MissingFilesGiveOneClearLine) {
  EXPECT_EQ(run({"A"}), 2);
  EXPECT_EQ(output, "velk-plot: Astate.dat: no such file; run velk first\n");
  EXPECT_EQ(run({"B"}), 2);
  EXPECT_EQ(output, "velk-plot: Bstate.dat: no such file; run velk first\n");
  EXPECT_EQ(run({"transitions"}), 2);
  EXPECT_EQ(output, "velk-plot: vel_tran.out: no such file; run velk first\n");
  write_file("Astate.dat", test::level_file("model.pot", {{0, 0, 900.0}}));
  EXPECT_EQ(run({"A"}), 2);
  EXPECT_EQ(output,
            "velk-plot: velk.inf: no such file; run velk-plot in the working directory of a velk "
            "run\n");
  write_file("velk.inf", test::control_file("model.pot", 'p', "b.dun", 'd'));
  EXPECT_EQ(run({"A"}), 2);
  EXPECT_EQ(output, "velk-plot: model.pot: no such file; the potential file named in velk.inf\n");
  EXPECT_FALSE(std::filesystem::exists("plot_A.svg"));
}

// A FIFO or a device in place of a file velk-plot reads would block it or feed it without end;
// a line without end would grow its memory. Each is one clear line, and the FIFO stays in place.
TEST_F(PlotCommandTest, SpecialFilesAndEndlessLinesAreRefused) {
  ASSERT_EQ(::mkfifo("vel_tran.out", 0600), 0);
  EXPECT_EQ(run({"transitions"}), 2);
  EXPECT_EQ(output, "velk-plot: vel_tran.out: is a FIFO, not a file\n");
  EXPECT_TRUE(std::filesystem::is_fifo("vel_tran.out"));
  std::filesystem::remove("vel_tran.out");

  std::filesystem::create_symlink("/dev/zero", "Astate.dat");
  EXPECT_EQ(run({"A"}), 2);
  EXPECT_EQ(output, "velk-plot: Astate.dat: is a device, not a file\n");
  std::filesystem::remove("Astate.dat");

  write_state_run();
  std::filesystem::remove("model.pot");
  ASSERT_EQ(::mkfifo("model.pot", 0600), 0);
  EXPECT_EQ(run({"A"}), 2);
  EXPECT_EQ(output, "velk-plot: model.pot: is a FIFO, not a file\n");
  EXPECT_FALSE(std::filesystem::exists("plot_A.svg"));

  // A transition list whose second line runs on for 1 MiB + 1 characters; velk-plot speaks for
  // the reader's message.
  write_file("vel_tran.out", "header\n" + std::string((1 << 20) + 1, '=') + "\n");
  EXPECT_EQ(run({"transitions"}), 2);
  EXPECT_EQ(output,
            "velk-plot: vel_tran.out, line 2: the line is longer than 1048576 characters\n");
}

TEST_F(PlotCommandTest, WritesThePictureOfAPotentialState) {
  write_state_run();
  EXPECT_EQ(run({"A"}), 0);
  EXPECT_EQ(output,
            " Analytic PEC (Tiemann)\n"
            " Polynomial extension at short range.\n"
            "velk-plot: wrote plot_A.svg\n");
  const test::XmlElement root = test::parse_xml(test::read_text_file("plot_A.svg"));
  EXPECT_EQ(test::with_class(root, "level").size(), 2u);
}

TEST_F(PlotCommandTest, WritesTheTermDiagramOfADunhamState) {
  write_state_run();
  write_file("Bstate.dat", test::level_file("b.dun", {{0, 9, 14749.1}, {1, 9, 14865.7}}));
  EXPECT_EQ(run({"B"}), 0);
  EXPECT_EQ(output,
            "velk-plot: wrote plot_B.svg (Dunham state: levels against J, no potential curve)\n");
  const test::XmlElement root = test::parse_xml(test::read_text_file("plot_B.svg"));
  EXPECT_EQ(test::with_class(root, "level").size(), 2u);
  EXPECT_TRUE(test::with_class(root, "curve").empty());
}

TEST_F(PlotCommandTest, NotesALevelFileComputedFromAnotherPotential) {
  write_state_run();
  write_file("Astate.dat", test::level_file("old.pot", {{0, 0, 900.0}}));
  EXPECT_EQ(run({"A"}), 0);
  EXPECT_EQ(output.rfind("velk-plot: note: Astate.dat was computed from old.pot, while velk.inf "
                         "now names model.pot\n",
                         0),
            0u)
      << output;
}

TEST_F(PlotCommandTest, StopsOfTheBuildersAndInputErrorsSpeakForVelkPlot) {
  write_state_run();
  std::string broken = test::kratzer_file();
  broken.replace(broken.find("1   short-range type"), 1, "3");
  write_file("model.pot", broken);
  EXPECT_EQ(run({"A"}), 1);
  EXPECT_EQ(last_line(), "velk-plot: Specify the short range type!");

  write_file("model.pot", "3\n7.5 7.5\n");  // the header ends early
  EXPECT_EQ(run({"A"}), 2);
  EXPECT_EQ(last_line().rfind("velk-plot: ", 0), 0u) << last_line();
  EXPECT_EQ(last_line().find("velk: "), std::string::npos) << last_line();
}

TEST_F(PlotCommandTest, WritesTheSpectrum) {
  write_file("vel_tran.out",
             " A state data file:a.pot       \n B state data file:b.dun       \n"
             " ==============================\n \n"
             "    1    0  10   0   9   14652.782070\n"
             "    2    0  10   0  10   14654.990709 -14654.990709\n");
  EXPECT_EQ(run({"transitions"}), 0);
  EXPECT_EQ(output, "velk-plot: wrote plot_transitions.svg\n");
  const test::XmlElement root = test::parse_xml(test::read_text_file("plot_transitions.svg"));
  EXPECT_EQ(test::with_class(root, "stick").size(), 2u);
}

TEST_F(PlotCommandTest, UnknownOptionsAreRefusedOnStandardError) {
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(run({"--rmax"}), 2);
  EXPECT_EQ(::testing::internal::GetCapturedStderr(),
            "velk-plot: unknown option '--rmax' (velk-plot --help lists the options)\n");
  EXPECT_EQ(output, "");
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(run({"A", "--size", "10x10"}), 2);
  EXPECT_EQ(::testing::internal::GetCapturedStderr(),
            "velk-plot: --size wants WIDTHxHEIGHT in whole pixels from 700x400 to 20000x20000, "
            "not '10x10' (velk-plot --help lists the options)\n");
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(run({"transitions", "--labels"}), 2);
  EXPECT_EQ(::testing::internal::GetCapturedStderr(),
            "velk-plot: --labels and --hide-not-found draw levels: they go with A or B "
            "(velk-plot --help lists the options)\n");
  EXPECT_TRUE(std::filesystem::is_empty(dir_));
}

TEST_F(PlotCommandTest, HelpListsTheOptionsAndVersionIsOneLine) {
  EXPECT_EQ(run({"A", "--help", "--bogus"}), 0);
  for (const char* option :
       {"--labels", "--hide-not-found", "--size", "--version", "plotting.md"}) {
    EXPECT_NE(output.find(option), std::string::npos) << option;
  }
  EXPECT_EQ(run({"--version"}), 0);
  EXPECT_EQ(output.rfind("velk-plot ", 0), 0u);
  EXPECT_EQ(std::count(output.begin(), output.end(), '\n'), 1);
}

TEST_F(PlotCommandTest, OptionsStandOnEitherSideOfThePicture) {
  const PlotRequest request =
      parse_plot_arguments(std::vector<std::string>{"--size=1200x700", "B", "--labels"});
  EXPECT_EQ(request.picture, "B");
  EXPECT_TRUE(request.drawing.v_labels);
  EXPECT_FALSE(request.drawing.hide_not_found);
  EXPECT_EQ(request.drawing.size.width, 1200.0);
  EXPECT_EQ(request.drawing.size.height, 700.0);
  EXPECT_EQ(request.refusal, "");
  EXPECT_FALSE(request.usage_error);
  const PlotRequest spaced =
      parse_plot_arguments(std::vector<std::string>{"--hide-not-found", "--size", "800x500", "A"});
  EXPECT_EQ(spaced.picture, "A");
  EXPECT_TRUE(spaced.drawing.hide_not_found);
  EXPECT_EQ(spaced.drawing.size.width, 800.0);
  // --size at the end has no value to take; the picture's name is never taken for one.
  EXPECT_NE(parse_plot_arguments(std::vector<std::string>{"A", "--size"}).refusal, "");
  EXPECT_NE(parse_plot_arguments(std::vector<std::string>{"--size", "A"}).refusal, "");
}

TEST_F(PlotCommandTest, OptionsReachThePicture) {
  write_state_run();
  EXPECT_EQ(run({"A", "--labels", "--size", "1400x800"}), 0);
  const test::XmlElement root = test::parse_xml(test::read_text_file("plot_A.svg"));
  EXPECT_EQ(root.attribute("width"), "1400.00");
  EXPECT_EQ(test::with_class(root, "v-label").size(), 2u);
  // The run's tolerance comes from velk.inf: a level with |Dcor| above it is marked.
  write_file("Astate.dat", test::level_file("model.pot", {{0, 0, 900.0, false, -1, " 0.20E-04"},
                                                          {1, 0, 2500.0}}));
  EXPECT_EQ(run({"A"}), 0);
  const test::XmlElement marked = test::parse_xml(test::read_text_file("plot_A.svg"));
  EXPECT_EQ(test::with_class(marked, "not-found").size(), 1u);
  EXPECT_EQ(run({"--hide-not-found", "A"}), 0);
  const test::XmlElement hidden = test::parse_xml(test::read_text_file("plot_A.svg"));
  EXPECT_EQ(test::with_class(hidden, "level").size(), 1u);
}

#ifdef VELK_PLOT_BINARY
// The built program itself, run by the shell in an empty directory.
TEST_F(PlotCommandTest, BuiltProgramReportsAMissingLevelFileWithStatusTwo) {
  const std::string command =
      std::string("'") + VELK_PLOT_BINARY + "' A > console.txt 2> errors.txt < /dev/null";
  const int raw = std::system(command.c_str());
  ASSERT_TRUE(WIFEXITED(raw));
  EXPECT_EQ(WEXITSTATUS(raw), 2);
  EXPECT_EQ(test::read_text_file("console.txt"),
            "velk-plot: Astate.dat: no such file; run velk first\n");
  EXPECT_EQ(test::read_text_file("errors.txt"), "");
  EXPECT_FALSE(std::filesystem::exists("plot_A.svg"));

  const std::string usage = std::string("'") + VELK_PLOT_BINARY + "' > usage.txt";
  const int raw_usage = std::system(usage.c_str());
  ASSERT_TRUE(WIFEXITED(raw_usage));
  EXPECT_EQ(WEXITSTATUS(raw_usage), 2);
  EXPECT_EQ(test::read_text_file("usage.txt").rfind("usage: velk-plot", 0), 0u);
}

TEST_F(PlotCommandTest, BuiltProgramWarnsInItsOwnName) {
  // A pointwise curve without an extension block on a grid far beyond its last point: the curve
  // layer's warning, which velk-plot gives as its own.
  write_file("table.pot",
             "3   points\n7.5 7.5 7.5 7.5 7.5\n0\n0.0\n0.0\nline 6\nline 7\nPW\n0.0\n0.0\n"
             "2.0 300.0\n3.0 100.0\n4.0 200.0\nn\n");
  write_file("velk.inf", test::control_file("table.pot", 'p', "table.pot", 'p', 191));
  write_file("Astate.dat", test::level_file("table.pot", {{0, 0, 150.0}}));
  const std::string command =
      std::string("'") + VELK_PLOT_BINARY + "' A > console.txt 2> errors.txt < /dev/null";
  const int raw = std::system(command.c_str());
  ASSERT_TRUE(WIFEXITED(raw));
  const std::string errors = test::read_text_file("errors.txt");
  EXPECT_NE(errors.find("velk-plot: warning: table.pot: the grid reaches R = 20 Å"),
            std::string::npos)
      << errors;
  std::size_t start = 0;
  while (start < errors.size()) {
    EXPECT_EQ(errors.compare(start, 20, "velk-plot: warning: "), 0) << errors.substr(start);
    start = errors.find('\n', start) + 1;
    if (start == 0) break;
  }
}
#endif

}  // namespace
}  // namespace velk::plot
