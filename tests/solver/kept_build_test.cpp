// A run asks one driver for several level files of the same state (a transition run: the lower
// level, then the P, R and Q files of the upper state). The curve of a later request on the same
// grid, read from the same text, is taken over from the build before; everything the driver hands
// on must be what building it again gives, and a changed text or grid must be built anew.
#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "driver_test_support.h"
#include "io/warning.h"
#include "solver/level_driver.h"
#include "support/console_capture.h"
#include "support/temp_dir.h"

namespace velk {
namespace {

using namespace driver_tests;

// What a sequence of requests on one driver hands on, in order: the levels (energy bits), the
// console, the warnings and each extension report as potext.out would hold it.
struct SequenceOutput {
  std::vector<uint64_t> energies;
  std::string console;
  std::vector<std::string> warnings;
  std::vector<std::string> reports;
};

// On one driver, as a run asks; or each request on a driver of its own, which has nothing to take
// over.
SequenceOutput run_sequence(const std::vector<LevelTableRequest>& requests, SearchMode mode,
                            bool one_driver = true) {
  SequenceOutput out;
  DriverOptions options;
  options.mode = mode;
  options.on_extension_report.fit_starts = [&] { out.reports.push_back("fit starts"); };
  options.on_extension_report.report = [&](const ExtensionReport& report) {
    for (const std::string& line : potext_lines(report)) out.reports.push_back(line);
  };
  WarningCapture warnings;
  test::ConsoleCapture console;
  std::optional<LevelDriver> driver;
  for (const LevelTableRequest& request : requests) {
    if (!driver || !one_driver) driver.emplace(options);
    Recorder recorder;
    driver->compute_levels(request, recorder);
    for (const LevelRecord& level : recorder.levels) {
      out.energies.push_back(std::bit_cast<uint64_t>(level.E));
    }
  }
  out.console = console.text();
  out.warnings = warnings.lines();
  return out;
}

std::string example_curve() {
  std::ifstream in(std::string(VELK_EXAMPLES_DIR) + "/na2-x-points-ext/na2xext.pot");
  return std::string(std::istreambuf_iterator<char>(in), {});
}

LevelTableRequest table_request(QuantumRange v, int32_t J, const RadialGrid& grid) {
  LevelTableRequest r;
  r.curve = read_curve_definition("na2xext.pot ");
  r.grid = grid;
  r.tol = 1e-6;
  r.maxit = 60;
  r.v = v;
  r.J = {J, J};
  r.Par = {1, 1};
  r.mass_index = 1;
  r.levelfile = "Astate.dat  ";
  r.state = "A";
  return r;
}

// How the second request differs from the first.
enum class Second { same_curve, other_grid, changed_file };

struct KeptBuildCase {
  Second second;
  SearchMode mode;
};

class KeptBuildTest : public test::ScratchDirectoryTest,
                      public ::testing::WithParamInterface<KeptBuildCase> {};

TEST_P(KeptBuildTest, HandsOnWhatBuildingAgainGives) {
  const KeptBuildCase c = GetParam();
  const std::string text = example_curve();
  ASSERT_FALSE(text.empty());
  test::write_file("na2xext.pot", text);
  const RadialGrid grid(1.8, 50.0, 6001);
  const LevelTableRequest first = table_request({0, 2}, 0, grid);
  if (c.second == Second::changed_file) {
    // One more digit on the second derivative at the first point: a different curve.
    const std::size_t at = text.find("\n", text.find("PW")) + 1;
    test::write_file("na2xext.pot", text.substr(0, at) + "1" + text.substr(at));
  }
  LevelTableRequest second = table_request({0, 1}, 3, grid);
  if (c.second == Second::other_grid) second.grid = RadialGrid(1.8, 49.0, 6001);
  const SequenceOutput kept = run_sequence({first, second}, c.mode);
  const SequenceOutput anew = run_sequence({first, second}, c.mode, false);
  ASSERT_EQ(kept.energies.size(), 5u);
  EXPECT_EQ(kept.energies, anew.energies);
  EXPECT_EQ(kept.console, anew.console);
  EXPECT_EQ(kept.warnings, anew.warnings);
  EXPECT_EQ(kept.reports, anew.reports);
  // Two requests, each giving its build's report twice (toadd's curve, the levels' curve).
  EXPECT_EQ(kept.reports.size() % 4, 0u);
  EXPECT_FALSE(kept.reports.empty());
}

INSTANTIATE_TEST_SUITE_P(Requests, KeptBuildTest,
                         ::testing::Values(KeptBuildCase{Second::same_curve, SearchMode::exact},
                                           KeptBuildCase{Second::same_curve, SearchMode::fast},
                                           KeptBuildCase{Second::other_grid, SearchMode::exact},
                                           KeptBuildCase{Second::other_grid, SearchMode::fast},
                                           KeptBuildCase{Second::changed_file, SearchMode::exact},
                                           KeptBuildCase{Second::changed_file, SearchMode::fast}));

// The curve of the second request is not built: a definition that claims the text of the first
// but holds other values gets the first one's curve, while built anew its values show.
class TakenOverTest : public test::ScratchDirectoryTest {};

TEST_F(TakenOverTest, TheSecondRequestTakesTheCurveOver) {
  test::write_file("na2xext.pot", example_curve());
  const RadialGrid grid(1.8, 50.0, 6001);
  const LevelTableRequest first = table_request({0, 0}, 0, grid);
  LevelTableRequest altered = first;
  auto& points = std::get<PointwiseParameters>(altered.curve.parameters);
  for (int32_t i = 1; i <= points.Npts; ++i) points.Upts[static_cast<std::size_t>(i)] += 50.0;

  const SequenceOutput taken_over = run_sequence({first, altered}, SearchMode::exact);
  ASSERT_EQ(taken_over.energies.size(), 2u);
  EXPECT_EQ(taken_over.energies[1], taken_over.energies[0]);

  const SequenceOutput built = run_sequence({first, altered}, SearchMode::exact, false);
  ASSERT_EQ(built.energies.size(), 2u);
  EXPECT_NE(built.energies[1], built.energies[0]);
}

}  // namespace
}  // namespace velk
