// The line list against closed forms and against its own files: the Einstein coefficients of two
// displaced harmonic curves (the Poisson law of their Franck-Condon factors, the Hönl-London
// factors of a ¹Σ-¹Σ band), the files of a whole run of two Morse curves read back by a reader
// of the ExoMol format of their own (lifetimes against the lines' sums, the partition function
// against a direct sum, the nuclear-spin weights), and the refusals.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "io/console.h"
#include "io/errors.h"
#include "io/free_format_reader.h"
#include "linelist_test_support.h"
#include "numlib/constants.h"
#include "props/linelist_blocks.h"
#include "props/linelist_command.h"
#include "props/linelist_exomol.h"
#include "props/linelist_levels.h"
#include "props/linelist_lines.h"

namespace velk::props {
namespace {

namespace fs = std::filesystem;
using namespace linelist_testing;  // NOLINT: the tests' shared helpers

// 16π³ν³M²/(3ε₀h) per unit S/(2J'+1), SI with ν in m⁻¹, M in C·m.
double einstein_per_unit(double nu_cm, double M_debye) {
  const double pi = 3.14159265358979323846;
  const double nu = 100.0 * nu_cm;
  const double M = M_debye * 3.33564095198152e-30;
  return 16.0 * pi * pi * pi * nu * nu * nu * M * M / (3.0 * 8.8541878128e-12 * 6.62607015e-34);
}

TEST(LineList, HarmonicPairGivesTheClosedFormEinsteinCoefficients) {
  set_console_quiet(true);
  // Heavy enough (1000 u) that the centrifugal term of J = 1 moves the wells by 3e-9 Å and their
  // frequencies by 2e-9: the oscillators' closed forms hold to far below the tolerances.
  const double mu = 1000.0, omega = 159.0, Re = 3.0, d = 0.03, Te = 15000.0;
  const double b = constants::kHbar2Over2u / mu;
  const double k = omega * omega / (4.0 * b);  // U = k (R − Re)²: levels ω(v + ½)
  const auto lower_U = [&](double R) { return k * (R - Re) * (R - Re); };
  const auto upper_U = [&](double R) { return Te + k * (R - Re - d) * (R - Re - d); };
  const auto second = [&](double) { return 2.0 * k; };
  const RadialGrid grid(2.85, 3.2, 3501);
  const SolveSettings settings{60, 1e-9, GridOrientation::forward};
  StateWaveFunctions lower(
      curve_of("low.pot", pointwise_file(mu, 0, lower_U, second, 2.8, 0.01, 46)), 1, settings,
      grid);
  StateWaveFunctions upper(
      curve_of("up.pot", pointwise_file(mu, 0, upper_U, second, 2.8, 0.01, 46)), 1, settings, grid);
  std::vector<ListedLevel> all;
  LevelBlock A0, A1, B0, B1;
  solve_level_block(lower, 'A', 0, A0, all);
  solve_level_block(lower, 'A', 1, A1, all);
  solve_level_block(upper, 'B', 0, B0, all);
  solve_level_block(upper, 'B', 1, B1, all);
  ASSERT_GE(A0.levels.size(), 8u);
  ASSERT_GE(B1.levels.size(), 8u);
  const double M0 = 2.5;
  const std::vector<double> weights = moment_weights(grid, nullptr, M0);
  std::vector<double> weighted, product;
  std::vector<ListedLine> lines;
  // R(0): B J' = 1 over A J'' = 0; P(1): B J' = 0 over A J'' = 1; Q lines of Σ-Σ have none.
  weight_block(A0, weights, weighted);
  block_matrix_elements(B1, A0, weighted, product);
  append_lines(B1, 0, A0, 0, product, lines);
  block_matrix_elements(B0, A0, weighted, product);
  const std::size_t before_Q = lines.size();
  append_lines(B0, 0, A0, 0, product, lines);
  EXPECT_EQ(lines.size(), before_Q) << "J' = J'' = 0 makes no line";
  weight_block(A1, weights, weighted);
  block_matrix_elements(B0, A1, weighted, product);
  append_lines(B0, 0, A1, 0, product, lines);

  const double S = d * d * omega / (4.0 * b);  // Huang-Rhys factor: FCF(0 → n) = e^−S Sⁿ/n!
  const double B_rot = b / (Re * Re), B_rot_up = b / ((Re + d) * (Re + d));
  std::map<std::pair<std::size_t, std::size_t>, double> A_of;
  for (const ListedLine& line : lines) A_of[{line.upper, line.lower}] = line.A;
  const auto index_of = [&](const LevelBlock& block, int v) { return block.levels[v].index; };
  int checked = 0;
  for (int n = 0; n <= 6; ++n) {
    const double poisson = std::exp(-S) * std::pow(S, n) / std::tgamma(n + 1.0);
    // Upper v' = n, lower v'' = 0; and upper v' = 0, lower v'' = n (the same law).
    struct Case {
      const LevelBlock& up;
      int v_up, J_up;
      const LevelBlock& low;
      int v_low, J_low;
    };
    const Case cases[] = {{B1, n, 1, A0, 0, 0}, {B0, n, 0, A1, 0, 1}, {B1, 0, 1, A0, n, 0}};
    for (const Case& c : cases) {
      const double nu = Te + omega * (c.v_up - c.v_low) + B_rot_up * c.J_up * (c.J_up + 1) -
                        B_rot * c.J_low * (c.J_low + 1);
      const double HL = c.J_up > c.J_low ? c.J_low + 1 : c.J_low;  // R: J''+1, P: J''
      const double expected = einstein_per_unit(nu, M0) * poisson * HL / (2 * c.J_up + 1);
      const auto found = A_of.find({index_of(c.up, c.v_up), index_of(c.low, c.v_low)});
      ASSERT_NE(found, A_of.end()) << "n=" << n;
      EXPECT_NEAR(found->second / expected, 1.0, 1e-6)
          << "v'=" << c.v_up << " J'=" << c.J_up << " v''=" << c.v_low << " J''=" << c.J_low;
      ++checked;
    }
  }
  EXPECT_EQ(checked, 21);
}

// Na₂ X (the analytic curve of the examples, 1.8..50 Å): every level below the dissociation
// limit at each J, against the WKB count of the curve, and none left above the last one listed:
// the plain search asked for the next v finds no bound level.
TEST(LineListCompleteness, NaTwoXHoldsEveryBoundLevelAtEachJ) {
  set_console_quiet(true);
  StateInput state;
  state.file = VELK_NA2X_POT;
  state.kind = 'p';
  state.mass_index = 1;
  const RadialGrid grid(1.8, 50.0, 50000);
  StateWaveFunctions levels(state, 'A', SolveSettings{60, 1e-5, GridOrientation::forward}, grid);
  const double limit = 6022.04193;
  const double b = constants::kHbar2Over2u / levels.mu();
  std::vector<ListedLevel> all;
  LevelBlock block;
  for (const int J : {0, 40, 100, 160, 200}) {
    solve_level_block(levels, 'A', J, block, all);
    const int count = block.columns;
    ASSERT_GT(count, 0) << "J=" << J;
    ASSERT_EQ(static_cast<int>(block.levels.size()), count) << "J=" << J << ": a level missing";
    for (int v = 0; v < count; ++v) {
      EXPECT_EQ(block.levels[v].v, v);
      EXPECT_LT(block.levels[v].E, limit);
    }
    // WKB: ∫k dR over the well below the limit or the top of the centrifugal barrier,
    // n = ⌊∫k dR/π + ½⌋ levels.
    const SolvedLevel ground = levels.solve_listed_level(0, J, 0);
    const std::span<const double> U = ground.Ueff;
    int bottom = 1;
    for (int i = 1; i <= grid.N; ++i) {
      if (U[i] < U[bottom]) bottom = i;
    }
    double top = limit;
    int end = grid.N;
    for (int i = bottom; i <= grid.N; ++i) {
      if (U[i] > top) {
        top = U[i];
        end = i;
      }
    }
    top = std::min(top, limit);
    double phase = 0.0;
    for (int i = 1; i <= end; ++i) {
      if (U[i] < top) phase += grid.h * std::sqrt((top - U[i]) / b);
    }
    const int wkb = static_cast<int>(std::floor(phase / 3.14159265358979323846 + 0.5));
    EXPECT_EQ(count, wkb) << "J=" << J << " WKB " << phase / 3.14159265358979;
    const SolvedLevel next = levels.solve_plain_level(count, J, 0);
    EXPECT_FALSE(next.found && !next.quasi_bound && next.E < limit)
        << "J=" << J << ": v=" << count << " bound at " << next.E;
  }
}

// ---- A whole run of two Morse curves, its files read back ----

struct StatesRow {
  long i = 0;
  double E = 0.0;
  int g = 0, J = 0;
  std::string tau;
  char parity = ' ', ef = ' ', state = ' ';
  int v = 0, Lambda = 0;
};

// The ExoMol .states record as published: i I12, E F12.6, g_tot I6, J I7, then (one blank
// before each) the lifetime ES12.4 and the quantum numbers, here A1 A1 A1 I5 I2.
StatesRow parse_states_line(const std::string& line) {
  EXPECT_EQ(line.size(), 68u) << line;
  StatesRow row;
  const auto field = [&](std::size_t from, std::size_t width) {
    EXPECT_TRUE(from == 0 || line[from - 1] == ' ') << line;
    return line.substr(from, width);
  };
  row.i = std::stol(field(0, 12));
  row.E = std::stod(field(13, 12));
  row.g = std::stoi(field(26, 6));
  row.J = std::stoi(field(33, 7));
  row.tau = field(41, 12);
  row.parity = field(54, 1)[0];
  row.ef = field(56, 1)[0];
  row.state = field(58, 1)[0];
  row.v = std::stoi(field(60, 5));
  row.Lambda = std::stoi(field(66, 2));
  return row;
}

// hc/k in cm K from the defining constants of the SI.
constexpr long double kSecondRadiation = 100.0L * 6.62607015e-34L * 299792458.0L / 1.380649e-23L;

class LineListRun : public ScratchFolder {
 protected:
  void SetUp() override {
    ScratchFolder::SetUp();
    write_morse_pair(11.5, upper_Lambda_);
  }
  int upper_Lambda_ = 0;
};

TEST_F(LineListRun, FilesReadBackAgreeWithEachOther) {
  LinelistRequest request;
  request.name = "morse";
  request.tmax = 3000;
  request.spins = NuclearSpins{1.5, 1.5, true};
  write_line_list(request);
  const std::vector<std::string> states_lines = lines_of("morse.states");
  const std::vector<std::string> trans_lines = lines_of("morse.trans");
  const std::vector<std::string> pf_lines = lines_of("morse.pf");
  ASSERT_GT(states_lines.size(), 1000u);
  ASSERT_GT(trans_lines.size(), 10000u);
  ASSERT_EQ(pf_lines.size(), 3000u);

  std::vector<StatesRow> states;
  for (const std::string& line : states_lines) states.push_back(parse_states_line(line));
  double lowest = 1e300;
  std::map<std::pair<char, int>, int> count_per_J;
  for (std::size_t k = 0; k < states.size(); ++k) {
    const StatesRow& s = states[k];
    ASSERT_EQ(s.i, static_cast<long>(k + 1));
    lowest = std::min(lowest, s.E);
    ++count_per_J[{s.state, s.J}];
    // Σ⁺ levels: parity (−1)^J, no e/f; 23Na-like spins 3/2 of a fermion: a gerade Σ⁺ level of
    // even J is symmetric and takes I(2I + 1) = 6, of odd J 10; ungerade the other way round.
    EXPECT_EQ(s.parity, s.J % 2 == 0 ? '+' : '-');
    EXPECT_EQ(s.ef, '-');
    const bool symmetric = (s.J % 2 == 0) == (s.state == 'A');
    EXPECT_EQ(s.g, (symmetric ? 6 : 10) * (2 * s.J + 1)) << states_lines[k];
    if (k > 0) {
      const StatesRow& p = states[k - 1];
      // By J, state, v.
      EXPECT_TRUE(p.J < s.J ||
                  (p.J == s.J && (p.state < s.state || (p.state == s.state && p.v + 1 == s.v))))
          << states_lines[k];
    }
  }
  EXPECT_EQ(lowest, 0.0);
  // Every v from 0 of each J, and the counts fall off to none as J grows.
  EXPECT_GE((count_per_J[{'A', 0}]), 25);
  EXPECT_LE((count_per_J[{'A', 0}]), 40);

  // 1/tau of each upper level against the sum of its lines' A.
  std::vector<double> A_sum(states.size() + 1, 0.0);
  for (const std::string& line : trans_lines) {
    ASSERT_EQ(line.size(), 36u) << line;
    const long up = std::stol(line.substr(0, 12)), low = std::stol(line.substr(13, 12));
    const double A = std::stod(line.substr(26, 10));
    ASSERT_GE(up, 1);
    ASSERT_LE(up, static_cast<long>(states.size()));
    ASSERT_GE(low, 1);
    ASSERT_LE(low, static_cast<long>(states.size()));
    const StatesRow& u = states[up - 1];
    const StatesRow& l = states[low - 1];
    EXPECT_GT(u.E, l.E);
    EXPECT_LE(std::abs(u.J - l.J), 1);
    EXPECT_NE(u.J, l.J) << "a ¹Σ-¹Σ band has no Q lines";
    EXPECT_NE(u.state, l.state);
    EXPECT_GT(A, 0.0);
    A_sum[up] += A;
  }
  int with_lines = 0;
  for (const StatesRow& s : states) {
    if (A_sum[s.i] == 0.0) {
      EXPECT_EQ(s.tau, "         inf") << "level " << s.i;
      continue;
    }
    ++with_lines;
    // A printed to 5 digits, tau too: half a unit of the last digit of each.
    EXPECT_NEAR(1.0 / std::stod(s.tau) / A_sum[s.i], 1.0, 1.5e-4) << "level " << s.i;
  }
  EXPECT_GT(with_lines, 500);

  // Q(T) against the direct sum over the printed levels (E to 1e-6 cm-1: c₂·5e-7/T relative).
  const double c2 = static_cast<double>(kSecondRadiation);
  for (const int T : {1, 10, 100, 296, 1000, 3000}) {
    const std::string& line = pf_lines[T - 1];
    ASSERT_EQ(line.size(), 24u) << line;
    EXPECT_EQ(std::stod(line.substr(0, 8)), T);
    long double Q = 0.0L;
    for (const StatesRow& s : states) Q += s.g * std::exp(-static_cast<long double>(c2) * s.E / T);
    EXPECT_NEAR(std::stod(line.substr(9)), static_cast<double>(Q),
                5e-5 + static_cast<double>(Q) * c2 * 1e-6 / T)
        << "T=" << T;
  }
}

TEST_F(LineListRun, PartitionFunctionIsTheDirectSumTo1e10) {
  LinelistRequest request;
  request.tmax = 2;
  write_line_list(request);
  // The levels as computed, through the numbering the files use, summed here in reverse order
  // in long double.
  std::vector<ListedLevel> levels;
  for (const std::string& line : lines_of("velk.states")) {
    const StatesRow s = parse_states_line(line);
    levels.push_back(ListedLevel{s.state, s.v, s.J, 0, s.E, 0, 0, {}});
  }
  const LineList list = number_line_list(levels, {}, std::nullopt, 0, 0);
  for (const double T : {1.0, 50.0, 296.0, 1000.0, 5000.0}) {
    long double Q = 0.0L;
    for (std::size_t k = list.levels.size(); k-- > 0;) {
      Q += (2 * list.levels[k].J + 1) *
           std::exp(-kSecondRadiation * static_cast<long double>(list.energies[k]) / T);
    }
    EXPECT_NEAR(partition_function(list, T) / static_cast<double>(Q), 1.0, 1e-10) << "T=" << T;
  }
}

TEST_F(LineListRun, RunsAreByteForByteTheSame) {
  LinelistRequest request;
  request.name = "first";
  request.tmax = 10;
  write_line_list(request);
  request.name = "second";
  write_line_list(request);
  for (const char* ext : {".states", ".trans", ".pf"}) {
    EXPECT_EQ(lines_of(std::string("first") + ext), lines_of(std::string("second") + ext)) << ext;
  }
}

TEST_F(LineListRun, ThreeBlocksMergeIntoTheFilesOfOneRun) {
  LinelistRequest request;
  request.tmax = 300;
  request.spins = NuclearSpins{1.5, 1.5, true};
  request.name = "whole";
  write_line_list(request);
  const std::pair<int32_t, int32_t> ranges[] = {{0, 9}, {10, 31}, {32, 1000}};
  for (int k = 0; k < 3; ++k) {
    request.name = "block" + std::to_string(k);
    request.j_range = ranges[k];
    write_line_list(request);
  }
  // Given in another order than their J: the merge sorts them.
  const std::vector<std::string> merge = {"--name", "merged", "--tmax", "300",
                                          "block2", "block0", "block1"};
  ASSERT_EQ(run_merge_command(merge), 0);
  for (const char* ext : {".states", ".trans", ".pf"}) {
    const std::string whole = bytes_of(std::string("whole") + ext);
    EXPECT_GT(whole.size(), 1000u);
    EXPECT_TRUE(whole == bytes_of(std::string("merged") + ext)) << ext;
  }
  // A gap, or a list cut short, is refused and writes nothing.
  const std::vector<std::string> gap = {"--name", "gap", "block0", "block2"};
  EXPECT_EQ(run_merge_command(gap), 2);
  const std::vector<std::string> short_list = {"--name", "cut", "block0", "block1"};
  EXPECT_EQ(run_merge_command(short_list), 2);
  EXPECT_FALSE(fs::exists("gap.states"));
  EXPECT_FALSE(fs::exists("cut.trans"));
}

TEST_F(LineListRun, HomonuclearWithoutSpinsIsRefusedAndWritesNothing) {
  LinelistRequest request;
  request.homonuclear = true;
  EXPECT_THROW(write_line_list(request), InputError);
  EXPECT_FALSE(fs::exists("velk.states"));
  EXPECT_FALSE(fs::exists("velk.trans"));
}

// A ¹Π upper state over a ¹Σ⁺ lower one: both e and f components from J = 1, and every line
// joins + to −: an e level reaches the lower state by P and R lines, an f level by its Q line.
class LineListPiRun : public LineListRun {
 protected:
  LineListPiRun() { upper_Lambda_ = 1; }
};

TEST_F(LineListPiRun, PiLevelsFollowTheParityRule) {
  LinelistRequest request;
  request.tmax = 1;
  write_line_list(request);
  std::vector<StatesRow> states;
  for (const std::string& line : lines_of("velk.states")) states.push_back(parse_states_line(line));
  int e_levels = 0, f_levels = 0;
  for (const StatesRow& s : states) {
    if (s.state != 'B') continue;
    EXPECT_GE(s.J, 1);
    EXPECT_EQ(s.Lambda, 1);
    ASSERT_TRUE(s.ef == 'e' || s.ef == 'f');
    (s.ef == 'e' ? e_levels : f_levels)++;
    const bool even = s.J % 2 == 0;
    EXPECT_EQ(s.parity, (s.ef == 'e') == even ? '+' : '-');
  }
  EXPECT_EQ(e_levels, f_levels);
  EXPECT_GT(e_levels, 500);
  int P_or_R = 0, Q = 0;
  for (const std::string& line : lines_of("velk.trans")) {
    const StatesRow& u = states[std::stol(line.substr(0, 12)) - 1];
    const StatesRow& l = states[std::stol(line.substr(13, 12)) - 1];
    ASSERT_EQ(u.state, 'B');
    EXPECT_EQ(l.ef, '-');
    // Dipole lines join + and −.
    EXPECT_NE(u.parity, l.parity) << line;
    if (u.J == l.J) {
      EXPECT_EQ(u.ef, 'f') << line;
      ++Q;
    } else {
      EXPECT_EQ(u.ef, 'e') << line;
      ++P_or_R;
    }
  }
  EXPECT_GT(Q, 1000);
  EXPECT_GT(P_or_R, 2 * Q - 2000);
}

TEST(LineListArguments, RefusesWhatItCannotUse) {
  const auto refused = [](std::vector<std::string> arguments) {
    return !parse_linelist_arguments(arguments).refusal.empty();
  };
  EXPECT_FALSE(refused({"--name", "na2", "--spins", "1.5", "1.5", "--homonuclear"}));
  EXPECT_TRUE(refused({"--spins", "1.2", "1.5"}));
  EXPECT_TRUE(refused({"--spins", "1.5"}));
  EXPECT_TRUE(refused({"--homonuclear", "--spins", "0.5", "1.5"}));
  EXPECT_TRUE(refused({"--tmax", "0"}));
  EXPECT_TRUE(refused({"--name", "a/b"}));
  EXPECT_TRUE(refused({"--moment", "m.txt", "--moment-constant", "2"}));
  EXPECT_TRUE(refused({"--wavefunctions"}));
  const LinelistRequest request =
      parse_linelist_arguments(std::vector<std::string>{"--spins", "0.5", "0.5", "--homonuclear"});
  ASSERT_TRUE(request.spins);
  EXPECT_TRUE(request.spins->identical);
}

TEST(LineListSpinWeights, FollowTheExchangeSymmetryOfBosonsAndFermions) {
  // H₂-like (I = ½): even J of X ¹Σg⁺ para (1), odd ortho (3); ¹⁶O-like (I = 0): odd J of a
  // gerade Σ⁺ state missing; ¹⁴N-like (I = 1): even 6, odd 3; two different nuclei: (2I+1)(2I'+1).
  const NuclearSpins h{0.5, 0.5, true}, o{0.0, 0.0, true}, n{1.0, 1.0, true}, hd{0.5, 1.0, false};
  EXPECT_EQ(nuclear_spin_weight(h, 'A', +1), 1);
  EXPECT_EQ(nuclear_spin_weight(h, 'A', -1), 3);
  EXPECT_EQ(nuclear_spin_weight(h, 'B', -1), 1);
  EXPECT_EQ(nuclear_spin_weight(o, 'A', +1), 1);
  EXPECT_EQ(nuclear_spin_weight(o, 'A', -1), 0);
  EXPECT_EQ(nuclear_spin_weight(n, 'A', +1), 6);
  EXPECT_EQ(nuclear_spin_weight(n, 'A', -1), 3);
  EXPECT_EQ(nuclear_spin_weight(hd, 'A', +1), 6);
  EXPECT_EQ(nuclear_spin_weight(std::nullopt, 'B', -1), 1);
  EXPECT_EQ(total_parity(1, 2, 0), 1);
  EXPECT_EQ(total_parity(1, 2, 1), -1);
  EXPECT_EQ(total_parity(0, 3, 0), -1);
}

}  // namespace
}  // namespace velk::props
