#include "run/transitions.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "io/errors.h"
#include "support/temp_dir.h"

namespace velk {
namespace {

using test::lines_of;
using test::write_file;

// Closed-form term energies of the two model states, in quarters of a cm-1 so that every energy,
// every difference and its F15.6 text are exact: the lines read back compare with ==.
double energy_A(int32_t v, int32_t J, int32_t p) {
  return 1000.0 * v + 2.0 * J * (J + 1) + 0.25 * p;
}
double energy_B(int32_t v, int32_t J, int32_t p) {
  return 20000.0 + 150.25 * v + 0.5 * J * (J + 1) + 3.0 * p;
}

struct Request {
  char state;  // 'A' or 'B'
  LevelRanges ranges;
  std::string file;
};

// Stands in for the level producers: writes each requested level file from the closed forms, in
// the producers' order (J outermost, then v, then parity) and layout, and keeps the requests.
class ModelLevels : public LevelFileSource {
 public:
  explicit ModelLevels(const RunControl& control) : control_(control) {}

  void compute_state_levels(const StateInput& state, const LevelRanges& r,
                            const std::string& levelfile) override {
    const char letter = &state == &control_.A ? 'A' : 'B';
    requests.push_back({letter, r, levelfile});
    std::vector<std::string> lines;
    int32_t iline = 0;
    for (int32_t J = r.Jmin; J <= r.Jmax; ++J) {
      for (int32_t v = r.vmin; v <= r.vmax; ++v) {
        for (int32_t p = r.pmin; p <= r.pmax; ++p) {
          const double E = letter == 'A' ? energy_A(v, J, p) : energy_B(v, J, p);
          char line[80];
          std::snprintf(line, sizeof line, "%5d%5d%5d%15.6f%3d   1   0", ++iline,
                        v + v_label_offset[levelfile], J, E, p);
          lines.push_back(line);
        }
      }
    }
    if (drop_last_line[levelfile] && !lines.empty()) lines.pop_back();
    std::string text = std::to_string(lines.size()) + " !number of levels\n";
    for (int k = 2; k <= 6; ++k) text += " header line " + std::to_string(k) + "\n";
    for (const std::string& line : lines) text += line + "\n";
    test::write_file(levelfile, text);
  }

  std::vector<Request> requests;
  std::map<std::string, int32_t> v_label_offset;  // written v = v + offset, per level file
  std::map<std::string, bool> drop_last_line;     // a producer that left out its last level

 private:
  const RunControl& control_;
};

// A transition line read back by its columns (I5,I5,I4,I4,I4,F15.6,F15.6).
struct Transition {
  int index, v_lower, J_lower, v_upper, J_upper;
  double nu;
  std::optional<double> difference;
};

Transition parse_transition(const std::string& line) {
  const auto field = [&](std::size_t start, std::size_t width) {
    return line.substr(start, width);
  };
  Transition t{std::stoi(field(0, 5)),
               std::stoi(field(5, 5)),
               std::stoi(field(10, 4)),
               std::stoi(field(14, 4)),
               std::stoi(field(18, 4)),
               std::stod(field(22, 15)),
               std::nullopt};
  if (line.size() > 37) t.difference = std::stod(field(37, 15));
  EXPECT_TRUE(line.size() == 37 || line.size() == 52) << line;
  return t;
}

RunControl model_control() {
  RunControl control;
  control.A.file = "a.pot       ";
  control.B.file = "b.pot       ";
  return control;
}

bool same_ranges(const LevelRanges& a, const LevelRanges& b) {
  return a.vmin == b.vmin && a.vmax == b.vmax && a.Jmin == b.Jmin && a.Jmax == b.Jmax &&
         a.pmin == b.pmin && a.pmax == b.pmax;
}

class TransitionsTest : public test::ScratchDirectoryTest {
 protected:
  // The transition lines of vel_tran.out after its header of `header_lines` lines.
  std::vector<Transition> transitions(std::size_t header_lines) {
    const std::vector<std::string> lines = lines_of("vel_tran.out");
    EXPECT_GE(lines.size(), header_lines);
    std::vector<Transition> result;
    for (std::size_t k = header_lines; k < lines.size(); ++k) {
      result.push_back(parse_transition(lines[k]));
    }
    return result;
  }

  void expect_requests(const std::vector<Request>& expected) {
    ASSERT_EQ(levels.requests.size(), expected.size());
    for (std::size_t k = 0; k < expected.size(); ++k) {
      const Request& got = levels.requests[k];
      EXPECT_EQ(got.state, expected[k].state) << k;
      EXPECT_EQ(got.file, expected[k].file) << k;
      EXPECT_TRUE(same_ranges(got.ranges, expected[k].ranges)) << k << " " << got.file;
    }
  }

  RunControl control = model_control();
  ModelLevels levels{control};
};

// ---- the one-level run: E'' read back from Astate.dat, the seventh column written ----

TEST_F(TransitionsTest, OneLevelQBranchCarriesTheDecreaseFromThePreviousV) {
  control.one_level = OneLevelBlock{'y', 2, 5, 1, 0, 2, 1, 0};
  run_one_level_transitions(control, levels);
  expect_requests(
      {{'A', {2, 2, 5, 5, 1, 1}, "Astate.dat"}, {'B', {0, 2, 5, 5, 0, 0}, "BstateQ.dat"}});
  const auto lines = transitions(4);
  ASSERT_EQ(lines.size(), 3u);
  double previous = 0.0;
  for (int v = 0; v <= 2; ++v) {
    const Transition& t = lines[static_cast<std::size_t>(v)];
    const double nu = std::fabs(energy_B(v, 5, 0) - energy_A(2, 5, 1));
    EXPECT_EQ(t.index, v + 1);  // the upper level's own iline
    EXPECT_EQ(t.v_lower, 2);
    EXPECT_EQ(t.J_lower, 5);
    EXPECT_EQ(t.v_upper, v);
    EXPECT_EQ(t.J_upper, 5);
    EXPECT_EQ(t.nu, nu);
    ASSERT_TRUE(t.difference);
    EXPECT_EQ(*t.difference, previous - nu);  // -nu on the first line
    previous = nu;
  }
}

TEST_F(TransitionsTest, OneLevelPAndRLinesShareTheVOfTheRFile) {
  control.one_level = OneLevelBlock{'y', 1, 4, 0, 3, 5, 2, 7};  // dJ does not apply to code 2
  // The P file labels its levels differently: the lines must show the v' of BstateR.dat.
  levels.v_label_offset["BstateP.dat"] = 40;
  run_one_level_transitions(control, levels);
  expect_requests({{'A', {1, 1, 4, 4, 0, 0}, "Astate.dat"},
                   {'B', {3, 5, 3, 3, 0, 0}, "BstateP.dat"},
                   {'B', {3, 5, 5, 5, 0, 0}, "BstateR.dat"}});
  const auto lines = transitions(4);
  ASSERT_EQ(lines.size(), 6u);
  const double E_lower = energy_A(1, 4, 0);
  double previous_p = 0.0;
  for (int k = 0; k < 3; ++k) {
    const int v = 3 + k;
    const Transition& p = lines[static_cast<std::size_t>(2 * k)];
    const Transition& r = lines[static_cast<std::size_t>(2 * k + 1)];
    const double nu_p = std::fabs(energy_B(v, 3, 0) - E_lower);
    const double nu_r = std::fabs(energy_B(v, 5, 0) - E_lower);
    EXPECT_EQ(p.index, 2 * k + 1);
    EXPECT_EQ(r.index, 2 * k + 2);
    EXPECT_EQ(p.v_upper, v);
    EXPECT_EQ(r.v_upper, v);
    EXPECT_EQ(p.J_upper, 3);
    EXPECT_EQ(r.J_upper, 5);
    EXPECT_EQ(p.nu, nu_p);
    EXPECT_EQ(r.nu, nu_r);
    EXPECT_EQ(*p.difference, previous_p - nu_p);
    EXPECT_EQ(*r.difference, nu_p - nu_r);  // the P-R separation of the same v'
    previous_p = nu_p;
  }
}

TEST_F(TransitionsTest, OneLevelPQRUsesTheJStepAndLeavesTheDifferenceOffThePLines) {
  control.one_level = OneLevelBlock{'y', 0, 6, 1, 1, 2, 3, 2};
  run_one_level_transitions(control, levels);
  expect_requests({{'A', {0, 0, 6, 6, 1, 1}, "Astate.dat"},
                   {'B', {1, 2, 4, 4, 1, 1}, "BstateP.dat"},
                   {'B', {1, 2, 8, 8, 1, 1}, "BstateR.dat"},
                   {'B', {1, 2, 6, 6, 0, 0}, "BstateQ.dat"}});
  const auto lines = transitions(4);
  ASSERT_EQ(lines.size(), 6u);
  const double E_lower = energy_A(0, 6, 1);
  double previous_q = 0.0;
  for (int k = 0; k < 2; ++k) {
    const int v = 1 + k;
    const Transition& p = lines[static_cast<std::size_t>(3 * k)];
    const Transition& q = lines[static_cast<std::size_t>(3 * k + 1)];
    const Transition& r = lines[static_cast<std::size_t>(3 * k + 2)];
    const double nu_p = std::fabs(energy_B(v, 4, 1) - E_lower);
    const double nu_q = std::fabs(energy_B(v, 6, 0) - E_lower);
    const double nu_r = std::fabs(energy_B(v, 8, 1) - E_lower);
    EXPECT_EQ(p.index, 3 * k + 1);
    EXPECT_EQ(q.index, 3 * k + 2);
    EXPECT_EQ(r.index, 3 * k + 3);
    EXPECT_EQ(p.J_upper, 4);
    EXPECT_EQ(q.J_upper, 6);
    EXPECT_EQ(r.J_upper, 8);
    EXPECT_EQ(p.nu, nu_p);
    EXPECT_FALSE(p.difference);
    EXPECT_EQ(*q.difference, previous_q - nu_q);
    EXPECT_EQ(*r.difference, nu_p - nu_r);
    previous_q = nu_q;
  }
}

TEST_F(TransitionsTest, LinesReadBeforeAShortLevelFileEndsTheRunStayWritten) {
  // A producer that left out the last level of BstateR.dat: the P and Q lines of the last v'
  // were written before the R file ran out.
  control.one_level = OneLevelBlock{'y', 0, 2, 0, 0, 1, 3, 1};
  levels.drop_last_line["BstateR.dat"] = true;
  EXPECT_THROW(run_one_level_transitions(control, levels), InputError);
  const auto lines = transitions(4);
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_EQ(lines[3].J_upper, 1);  // P of v' = 1
  EXPECT_EQ(lines[4].J_upper, 2);  // Q of v' = 1
}

// ---- the known-level run: the energy given, no seventh column ----

TEST_F(TransitionsTest, KnownLevelOfStateAMeasuresFromTheKnownEnergyInEveryBranch) {
  for (const int32_t branch : {1, 2, 3}) {
    SCOPED_TRACE(branch);
    levels.requests.clear();
    control.known_level = KnownLevelBlock{'y', 1, 7, 3, 1, 12345.5, 0, 1, branch, 2};
    run_known_level_transitions(control, levels);
    std::vector<Request> expected;
    if (branch == 1) expected = {{'A', {0, 1, 3, 3, 0, 0}, "BstateQ.dat"}};
    if (branch == 2) {
      expected = {{'A', {0, 1, 2, 2, 1, 1}, "BstateP.dat"},
                  {'A', {0, 1, 4, 4, 1, 1}, "BstateR.dat"}};
    }
    if (branch == 3) {
      expected = {{'A', {0, 1, 1, 1, 1, 1}, "BstateP.dat"},
                  {'A', {0, 1, 5, 5, 1, 1}, "BstateR.dat"},
                  {'A', {0, 1, 3, 3, 0, 0}, "BstateQ.dat"}};
    }
    expect_requests(expected);
    const std::vector<std::string> text = lines_of("vel_tran.out");
    ASSERT_GE(text.size(), 4u);
    EXPECT_EQ(text[0], "       Known level:   7   3   1    12345.50000");
    const auto lines = transitions(4);
    ASSERT_EQ(lines.size(), static_cast<std::size_t>(branch == 1 ? 2 : 2 * branch));
    int index = 0;
    for (const Transition& t : lines) {
      ++index;
      EXPECT_EQ(t.index, index);  // iline for Q alone, a count otherwise: the same here
      EXPECT_EQ(t.v_lower, 7);
      EXPECT_EQ(t.J_lower, 3);
      const int32_t p = t.J_upper == 3 ? 0 : 1;
      EXPECT_EQ(t.nu, std::fabs(energy_A(t.v_upper, t.J_upper, p) - 12345.5));
      EXPECT_FALSE(t.difference);
    }
  }
}

TEST_F(TransitionsTest, OtherBranchCodesWriteNothing) {
  write_file("vel_tran.out", "earlier\n");
  control.known_level = KnownLevelBlock{'y', 2, 0, 0, 0, 1.0, 0, 3, 4, 1};
  run_known_level_transitions(control, levels);
  EXPECT_TRUE(levels.requests.empty());
  control.one_level = OneLevelBlock{'y', 0, 0, 0, 0, 3, 0, 1};
  run_one_level_transitions(control, levels);
  // The state-A level is still computed and read; nothing else.
  expect_requests({{'A', {0, 0, 0, 0, 0, 0}, "Astate.dat"}});
  EXPECT_EQ(lines_of("vel_tran.out"), std::vector<std::string>{"earlier"});

  // The energy-window run writes its header and reads every lower level, then nothing more.
  levels.requests.clear();
  control.window = WindowBlock{'y', 0.0, 1e9, 0, 1, 0, 0, 0, 0, 0, 3, -1};
  run_window_transitions(control, levels);
  expect_requests({{'A', {0, 1, 0, 0, 0, 0}, "Astate.dat"}});
  EXPECT_EQ(lines_of("vel_tran.out").size(), 4u);
}

// ---- the energy-window run: lower levels from Astate.dat, a filter, a running count ----

TEST_F(TransitionsTest, WindowRequestsTheUpperFilesOnlyWhenJOrParityChanges) {
  // Lower levels v'' = 0..2 at J'' = 3 and 4, parity 1: six levels, two (J'', p'') pairs.
  control.window = WindowBlock{'y', 0.0, 1e9, 0, 2, 3, 4, 1, 1, 0, 1, 2};
  run_window_transitions(control, levels);
  expect_requests({{'A', {0, 2, 3, 4, 1, 1}, "Astate.dat"},
                   {'B', {0, 1, 2, 2, 1, 1}, "BstateP.dat"},
                   {'B', {0, 1, 4, 4, 1, 1}, "BstateR.dat"},
                   {'B', {0, 1, 3, 3, 1, 1}, "BstateP.dat"},
                   {'B', {0, 1, 5, 5, 1, 1}, "BstateR.dat"}});
  const auto lines = transitions(4);
  ASSERT_EQ(lines.size(), 24u);  // 6 lower levels x 2 v' x (P, R)
  for (std::size_t k = 0; k < lines.size(); ++k) {
    const Transition& t = lines[k];
    EXPECT_EQ(t.index, static_cast<int>(k) + 1);
    EXPECT_EQ(t.nu,
              std::fabs(energy_B(t.v_upper, t.J_upper, 1) - energy_A(t.v_lower, t.J_lower, 1)));
    EXPECT_FALSE(t.difference);
  }
  // Two levels of the same J'' but another parity are requested again.
  levels.requests.clear();
  control.window = WindowBlock{'y', 0.0, 1e9, 0, 0, 2, 2, 0, 1, 0, 0, 1};
  run_window_transitions(control, levels);
  expect_requests({{'A', {0, 0, 2, 2, 0, 1}, "Astate.dat"},
                   {'B', {0, 0, 2, 2, 1, 1}, "BstateQ.dat"},
                   {'B', {0, 0, 2, 2, 0, 0}, "BstateQ.dat"}});
}

TEST_F(TransitionsTest, WindowBoundsAreExcludedAndTheCountRunsOnlyOverWrittenLines) {
  // Q lines of v'' = 0 and 1 at J'' = 0, p'' = 0 to v' = 0..2 of parity 1. Their wavenumbers
  // (closed form) are 20003 + 150.25 v' - 1000 v''.
  std::vector<double> all;
  for (int v_lower = 0; v_lower <= 1; ++v_lower) {
    for (int v = 0; v <= 2; ++v) all.push_back(20003.0 + 150.25 * v - 1000.0 * v_lower);
  }
  // emin equals the fifth (19153.25), emax the second (20153.25): both are left out, and of the
  // other four only 20003 (v'' = 0, v' = 0) and 19303.5 (v'' = 1, v' = 2) lie between them.
  control.window = WindowBlock{'y', all[4], all[1], 0, 1, 0, 0, 0, 0, 0, 2, 1};
  run_window_transitions(control, levels);
  const auto lines = transitions(4);
  const std::vector<double> expected = {all[0], all[5]};
  ASSERT_EQ(lines.size(), expected.size());
  for (std::size_t k = 0; k < lines.size(); ++k) {
    EXPECT_EQ(lines[k].index, static_cast<int>(k) + 1);
    EXPECT_EQ(lines[k].nu, expected[k]);
  }
  EXPECT_EQ(lines[1].v_lower, 1);
  EXPECT_EQ(lines[1].v_upper, 2);
}

}  // namespace
}  // namespace velk
