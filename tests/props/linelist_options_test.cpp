// The line list's options against independent truth: the quasi-bound levels and half-widths of
// the Na₂ X case of the level tables against the level file velk wrote for it, a harmonic
// oscillator's rovibrational lines with a linear dipole against the oscillator's closed forms,
// and the nuclear spins the isotope table gives a curve by its reduced mass or a molecule by name.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "io/console.h"
#include "linelist_test_support.h"
#include "numlib/constants.h"
#include "numlib/isotopes.h"
#include "props/linelist_blocks.h"
#include "props/linelist_command.h"
#include "props/linelist_exomol.h"
#include "props/linelist_levels.h"
#include "props/linelist_lines.h"
#include "props/linelist_within.h"
#include "props/moment_table.h"

namespace velk::props {
namespace {

namespace fs = std::filesystem;
using namespace linelist_testing;  // NOLINT: the tests' shared helpers

// ---- Quasi-bound levels against the level file of velk ----

struct PrintedLevel {
  int v = 0;
  double E = 0.0, Dcor = 0.0;
  std::optional<double> tunnel;  // the figure after "res."
};

// The level lines of a level file as velk writes them (layout A, and B with "res.").
std::map<int, PrintedLevel> printed_levels(const std::string& path) {
  std::map<int, PrintedLevel> levels;
  const std::vector<std::string> lines = lines_of(path);
  for (std::size_t k = 6; k < lines.size(); ++k) {
    std::istringstream in(lines[k]);
    int iline = 0, J = 0, Par = 0, ic = 0;
    double delE = 0.0, Ein = 0.0;
    PrintedLevel level;
    in >> iline >> level.v >> J >> level.E >> Par >> delE >> ic >> Ein >> level.Dcor;
    if (lines[k].find("res.") != std::string::npos) {
      std::string kleft, res;
      int kturn = 0, node = 0;
      double tunnel = 0.0;
      in >> kleft >> res >> kturn >> node >> tunnel;
      level.tunnel = tunnel;
    }
    levels[level.v] = level;
  }
  return levels;
}

TEST(LineListQuasiBound, LevelsAndHalfWidthsAreThoseVelkPrints) {
  set_console_quiet(true);
  // The Na₂ X case of the level tables: J = 30, v = 58..62 on 1.8..50 Å, 50000 points, 1e-5.
  const std::map<int, PrintedLevel> printed =
      printed_levels(VELK_QUASIBOUND_CASE "/expected/Astate.dat");
  ASSERT_EQ(printed.size(), 5u);
  ASSERT_TRUE(printed.at(59).tunnel && printed.at(60).tunnel);
  StateInput input;
  input.file = VELK_QUASIBOUND_CASE "/na2x.pot";
  input.kind = 'p';
  input.mass_index = 1;
  const double tol = 1e-5;
  StateWaveFunctions state(input, 'A', SolveSettings{60, tol, GridOrientation::forward},
                           RadialGrid(1.8, 50.0, 50000));
  std::vector<ListedLevel> all;
  LevelBlock with, without;
  solve_level_block(state, 'A', 30, with, all, LevelSelection{true});
  solve_level_block(state, 'A', 30, without, all, LevelSelection{false});
  std::map<int, ListedLevel> listed;
  for (const ListedLevel& level : with.levels) listed[level.v] = level;
  int compared_widths = 0;
  for (const auto& [v, level] : printed) {
    // A level the search left unconverged at the barrier's top is no level: not listed.
    if (std::abs(level.Dcor) > tol) {
      EXPECT_EQ(listed.count(v), 0u) << "v=" << v;
      continue;
    }
    ASSERT_EQ(listed.count(v), 1u) << "v=" << v;
    // Printed to 1e-5 cm-1 (F13.5); both converged to the tolerance.
    EXPECT_NEAR(listed[v].E, level.E, 0.5e-5 + tol) << "v=" << v;
    ASSERT_EQ(listed[v].half_width.has_value(), level.tunnel.has_value()) << "v=" << v;
    if (level.tunnel) {
      // Printed to two digits (E10.2): half a unit of the second.
      const double unit = std::pow(10.0, std::floor(std::log10(*level.tunnel)) - 1.0);
      EXPECT_NEAR(*listed[v].half_width, *level.tunnel, 0.5 * unit) << "v=" << v;
      ++compared_widths;
    }
  }
  EXPECT_EQ(compared_widths, 2);
  // Bound levels v = 0..58 and the two quasi-bound ones; without the option only the former, the
  // same levels to the bit.
  EXPECT_EQ(with.levels.size(), 61u);
  ASSERT_EQ(without.levels.size(), 59u);
  for (std::size_t k = 0; k < without.levels.size(); ++k) {
    EXPECT_EQ(without.levels[k].E, with.levels[k].E);
    EXPECT_FALSE(without.levels[k].half_width.has_value());
  }
}

// ---- Whole runs in a scratch directory ----

class LineListOptionsRun : public ScratchFolder {
 protected:
  void write_morse_pair(double mu) { ScratchFolder::write_morse_pair(mu, 0); }
  void write_morse(const std::string& name, double mu, double De, double a, double Re, double Te) {
    std::ofstream(name) << morse_file(mu, 0, De, a, Re, Te);
  }
  void write_inf(const std::string& A, const std::string& B, const std::string& grid) {
    std::ofstream("velk.inf") << velk_inf(A, B, grid);
  }
};

struct StatesRow {
  long i = 0;
  std::string E, g;
  int J = 0, v = 0;
  char state = ' ';
  std::optional<double> half_width;
};

// i E g_tot J tau +/- e/f State v Lambda by the widths of the ExoMol record, and the half-width
// field after them when the line has one.
StatesRow parse_states_line(const std::string& line) {
  StatesRow row;
  row.i = std::stol(line.substr(0, 12));
  row.E = line.substr(13, 12);
  row.g = line.substr(26, 6);
  row.J = std::stoi(line.substr(33, 7));
  row.state = line[58];
  row.v = std::stoi(line.substr(60, 5));
  if (line.size() > 68) {
    EXPECT_EQ(line.size(), 79u) << line;
    EXPECT_EQ(line[68], ' ') << line;
    row.half_width = std::stod(line.substr(69));
  }
  return row;
}

TEST_F(LineListOptionsRun, QuasiBoundLevelsJoinTheListWithTheirWidths) {
  write_morse_pair(11.5);
  LinelistRequest request;
  request.name = "bound";
  request.tmax = 5;
  write_line_list(request);
  request.name = "quasi";
  request.quasi_bound = true;
  write_line_list(request);
  const std::vector<std::string> bound_lines = lines_of("bound.states");
  const std::vector<std::string> quasi_lines = lines_of("quasi.states");
  ASSERT_GT(bound_lines.size(), 1000u);
  std::map<std::tuple<char, int, int>, StatesRow> quasi;
  std::map<long, StatesRow> by_number;
  int quasi_bound = 0;
  for (const std::string& line : quasi_lines) {
    EXPECT_EQ(line.size(), 79u) << line;
    const StatesRow row = parse_states_line(line);
    quasi[{row.state, row.J, row.v}] = row;
    by_number[row.i] = row;
    if (*row.half_width > 0.0) ++quasi_bound;
  }
  // Every bound level again, with its energy and weight, and a zero width.
  for (const std::string& line : bound_lines) {
    EXPECT_EQ(line.size(), 68u) << line;
    const StatesRow row = parse_states_line(line);
    const auto found = quasi.find({row.state, row.J, row.v});
    ASSERT_NE(found, quasi.end()) << line;
    EXPECT_EQ(found->second.E, row.E) << line;
    EXPECT_EQ(found->second.g, row.g) << line;
    EXPECT_EQ(*found->second.half_width, 0.0) << line;
  }
  EXPECT_EQ(quasi_lines.size(), bound_lines.size() + static_cast<std::size_t>(quasi_bound));
  EXPECT_GT(quasi_bound, 10);
  // Lines out of and into quasi-bound levels.
  int from_quasi = 0, to_quasi = 0;
  for (const std::string& line : lines_of("quasi.trans")) {
    from_quasi += *by_number.at(std::stol(line.substr(0, 12))).half_width > 0.0;
    to_quasi += *by_number.at(std::stol(line.substr(13, 12))).half_width > 0.0;
  }
  EXPECT_GT(from_quasi, 100);
  EXPECT_GT(to_quasi, 10);
  // Blocks merge into the whole run's files here too.
  const std::pair<int32_t, int32_t> ranges[] = {{0, 24}, {25, 1000}};
  for (int k = 0; k < 2; ++k) {
    request.name = "block" + std::to_string(k);
    request.j_range = ranges[k];
    write_line_list(request);
  }
  const std::vector<std::string> merge = {"--name", "merged", "--tmax", "5", "block1", "block0"};
  ASSERT_EQ(run_merge_command(merge), 0);
  for (const char* ext : {".states", ".trans", ".pf"}) {
    EXPECT_TRUE(bytes_of(std::string("quasi") + ext) == bytes_of(std::string("merged") + ext))
        << ext;
  }
}

// The harmonic oscillator U = k(R − Re)² with levels ω(v + ½), heavy enough (1000 u) that the
// centrifugal term of J = 1 moves its well by 3e-9 Å and its frequency by 2e-9 relative.
struct Oscillator {
  double mu = 1000.0, omega = 159.0, Re = 3.0;
  double b() const { return constants::kHbar2Over2u / mu; }  // ħ²/2μ, cm-1 Å²
  double k() const { return omega * omega / (4.0 * b()); }
  std::string file() const {
    const double kk = k(), re = Re;
    return pointwise_file(
        mu, 0, [=](double R) { return kk * (R - re) * (R - re); }, [=](double) { return 2.0 * kk; },
        2.8, 0.01, 46);
  }
};

// 16π³ν³M²/(3ε₀h) per unit S/(2J'+1), SI with ν in m⁻¹, M in C·m.
double einstein_per_unit(double nu_cm, double M_debye) {
  const double pi = 3.14159265358979323846;
  const double nu = 100.0 * nu_cm;
  const double M = M_debye * 3.33564095198152e-30;
  return 16.0 * pi * pi * pi * nu * nu * nu * M * M / (3.0 * 8.8541878128e-12 * 6.62607015e-34);
}

TEST(LineListWithin, HarmonicOscillatorWithLinearDipoleGivesTheClosedForms) {
  set_console_quiet(true);
  const Oscillator oscillator;
  const RadialGrid grid(2.85, 3.2, 3501);
  StateWaveFunctions state(curve_of("osc.pot", oscillator.file()), 1,
                           SolveSettings{60, 1e-9, GridOrientation::forward}, grid);
  // μ(R) = μ₁(R − Re), a straight line through the grid's ends.
  const double mu1 = 0.8;  // D/Å
  const MomentTable dipole({2.85, 3.2}, {mu1 * (2.85 - oscillator.Re), mu1 * (3.2 - oscillator.Re)},
                           "dipole");
  const std::vector<double> weights = moment_weights(grid, &dipole, 0.0);
  const SolvedList list = solve_lines_within(state, WithinRequest{'A', 0, 1, {}}, weights);
  std::map<std::pair<int, int>, std::size_t> index;  // (v, J)
  for (std::size_t k = 0; k < list.levels.size(); ++k) {
    index[{list.levels[k].v, list.levels[k].J}] = k;
  }
  std::map<std::pair<std::size_t, std::size_t>, double> A_of;
  for (const ListedLine& line : list.lines) {
    const ListedLevel& upper = list.levels[line.upper];
    const ListedLevel& lower = list.levels[line.lower];
    EXPECT_EQ(std::abs(upper.J - lower.J), 1) << "a Σ state has P and R lines only";
    A_of[{line.upper, line.lower}] = line.A;
  }
  // ⟨v+1|R − Re|v⟩ = sqrt((v + 1)·ħ/(2μω)) = sqrt((v + 1)·b/ω) Å. Upper J′ = 1 to J″ = 0: an R
  // line, S/(2J′ + 1) = J′/(2J′ + 1) = 1/3; upper J′ = 0 to J″ = 1: a P line,
  // (J′ + 1)/(2J′ + 1) = 1.
  const double x10 = std::sqrt(oscillator.b() / oscillator.omega);
  int checked = 0;
  for (int v = 0; v <= 5; ++v) {
    const double M = mu1 * std::sqrt(v + 1.0) * x10;
    for (const auto& [J_up, J_low, share] : {std::tuple{1, 0, 1.0 / 3.0}, std::tuple{0, 1, 1.0}}) {
      const std::size_t up = index.at({v + 1, J_up}), low = index.at({v, J_low});
      const double nu = list.levels[up].E - list.levels[low].E;
      const auto found = A_of.find({up, low});
      ASSERT_NE(found, A_of.end()) << "v=" << v;
      EXPECT_NEAR(found->second / (einstein_per_unit(nu, M) * share), 1.0, 1e-6)
          << "v'=" << v + 1 << " J'=" << J_up;
      // Δv = 2: the dipole's line joins no such pair; what is left is the centrifugal shift of
      // the wells (3e-9 Å against a width of 1e-2 Å) and the solve's tolerance, under 1e-6 of
      // the moment: with (2ν)³/ν³ = 8, under 8e-12 of the fundamental's A.
      const auto overtone = A_of.find({index.at({v + 2, J_up}), low});
      ASSERT_NE(overtone, A_of.end());
      EXPECT_LT(overtone->second / found->second, 8e-12) << "v=" << v;
      ++checked;
    }
  }
  EXPECT_EQ(checked, 12);
  // The J = 0 block with itself: the overtone matrix elements vanish to round-off.
  std::vector<ListedLevel> all;
  LevelBlock zero;
  solve_level_block(state, 'A', 0, zero, all);
  std::vector<double> weighted, product;
  weight_block(zero, weights, weighted);
  block_matrix_elements(zero, zero, weighted, product);
  const auto element = [&](int i, int j) { return product[i + j * zero.columns]; };
  for (int v = 0; v + 3 < 8; ++v) {
    EXPECT_NEAR(std::abs(element(v + 1, v)) / (mu1 * std::sqrt(v + 1.0) * x10), 1.0, 1e-7);
    EXPECT_LT(std::abs(element(v + 2, v)) / std::abs(element(v + 1, v)), 1e-8) << "v=" << v;
    EXPECT_LT(std::abs(element(v + 3, v)) / std::abs(element(v + 1, v)), 1e-8) << "v=" << v;
  }
}

TEST_F(LineListOptionsRun, WithinOneStateWritesItsOwnLevelsAndLines) {
  write_morse_pair(11.5);
  std::ofstream("dipole.txt") << "# R (A)  mu (D)\n2.2 -0.64\n9.0 4.8\n";
  const std::vector<std::string> arguments = {"--within", "B", "--moment", "dipole.txt",
                                              "--tmax",   "2", "--name",   "up"};
  LinelistRequest request = parse_linelist_arguments(arguments);
  ASSERT_TRUE(request.refusal.empty()) << request.refusal;
  write_line_list(request);
  std::vector<StatesRow> states;
  std::vector<std::string> taus;
  for (const std::string& line : lines_of("up.states")) {
    states.push_back(parse_states_line(line));
    taus.push_back(line.substr(41, 12));
    EXPECT_EQ(states.back().state, 'B');
  }
  ASSERT_GT(states.size(), 1000u);
  std::vector<double> A_sum(states.size() + 1, 0.0);
  int overtones = 0;
  for (const std::string& line : lines_of("up.trans")) {
    const long up = std::stol(line.substr(0, 12));
    const StatesRow& u = states.at(up - 1);
    const StatesRow& l = states.at(std::stol(line.substr(13, 12)) - 1);
    EXPECT_EQ(std::abs(u.J - l.J), 1) << line;
    EXPECT_GT(std::stod(u.E), std::stod(l.E)) << line;
    overtones += u.v >= l.v + 2;
    A_sum[up] += std::stod(line.substr(26));
  }
  // An anharmonic curve: overtones too.
  EXPECT_GT(overtones, 1000);
  for (std::size_t k = 0; k < states.size(); ++k) {
    if (A_sum[k + 1] == 0.0) {
      EXPECT_EQ(taus[k], "         inf");
    } else {
      EXPECT_NEAR(1.0 / std::stod(taus[k]) / A_sum[k + 1], 1.0, 1.5e-4) << k + 1;
    }
  }
  // Blocks of J join into the same files.
  const std::pair<int32_t, int32_t> ranges[] = {{0, 30}, {31, 1000}};
  for (int k = 0; k < 2; ++k) {
    request.name = "block" + std::to_string(k);
    request.j_range = ranges[k];
    write_line_list(request);
  }
  const std::vector<std::string> merge = {"--name", "merged", "--tmax", "2", "block0", "block1"};
  ASSERT_EQ(run_merge_command(merge), 0);
  for (const char* ext : {".states", ".trans", ".pf"}) {
    EXPECT_TRUE(bytes_of(std::string("up") + ext) == bytes_of(std::string("merged") + ext)) << ext;
  }
}

// ---- Nuclear spins ----

PotentialHeader header_with_masses(double first, double second) {
  PotentialHeader header;
  header.masses = {first, second, 1.0, 1.0, 1.0};
  return header;
}

TEST(LineListSpins, DefaultIsTheOneHomonuclearMoleculeOfTheCurvesReducedMass) {
  const Isotope* sodium = find_isotope("23Na").isotope;
  const Isotope* deuterium = find_isotope("D").isotope;
  ASSERT_TRUE(sodium && deuterium);
  // By the mass index; within 1e-4 u of m/2.
  for (const double offset : {0.0, 0.9e-4, -0.9e-4}) {
    const std::optional<NuclearSpins> na2 =
        default_nuclear_spins(header_with_masses(5.0, sodium->mass / 2 + offset), 2);
    ASSERT_TRUE(na2) << offset;
    EXPECT_EQ(na2->I1, 1.5);
    EXPECT_EQ(na2->I2, 1.5);
    EXPECT_TRUE(na2->identical);
  }
  EXPECT_FALSE(default_nuclear_spins(header_with_masses(5.0, sodium->mass / 2 + 1.1e-4), 2));
  EXPECT_FALSE(default_nuclear_spins(header_with_masses(sodium->mass / 2, 5.0), 2));
  const std::optional<NuclearSpins> d2 =
      default_nuclear_spins(header_with_masses(deuterium->mass / 2, 5.0), 1);
  ASSERT_TRUE(d2);
  EXPECT_EQ(d2->I1, 1.0);
  // A heteronuclear molecule's reduced mass names none: 23Na35Cl.
  const Isotopologue nacl = *parse_isotopologue("23Na35Cl").isotopologue;
  EXPECT_FALSE(default_nuclear_spins(header_with_masses(reduced_mass_of(nacl), 5.0), 1));
  // Two isotopes of (nearly) one mass, such as the isobars ⁴⁰Ar and ⁴⁰Ca, 1e-4 u apart at m/2:
  // a reduced mass between them names neither.
  int ambiguous = 0;
  const std::span<const Isotope> table = isotope_table();
  for (std::size_t i = 0; i < table.size(); ++i) {
    for (std::size_t j = i + 1; j < table.size(); ++j) {
      const double halves = std::abs(table[i].mass - table[j].mass) / 2;
      if (halves >= 2 * kHomonuclearMassMatch) continue;
      const double between = (table[i].mass + table[j].mass) / 4;
      EXPECT_FALSE(default_nuclear_spins(header_with_masses(between, 5.0), 1))
          << table[i].name() << " " << table[j].name();
      ++ambiguous;
    }
  }
  EXPECT_GT(ambiguous, 0);
}

TEST(LineListSpins, IsotopologueNamesItsSpinsAndRefusesContradictions) {
  const auto parsed = [](std::vector<std::string> arguments) {
    return parse_linelist_arguments(arguments);
  };
  const LinelistRequest nacl = parsed({"--isotopologue", "23Na35Cl"});
  ASSERT_TRUE(nacl.refusal.empty()) << nacl.refusal;
  ASSERT_TRUE(nacl.isotopologue);
  const NuclearSpins spins = nuclear_spins_of_molecule(*nacl.isotopologue);
  EXPECT_EQ(spins.I1, 1.5);
  EXPECT_EQ(spins.I2, 1.5);
  EXPECT_FALSE(spins.identical) << "two elements, even of equal spins";
  EXPECT_TRUE(nuclear_spins_of_molecule(*parsed({"--isotopologue", "D2"}).isotopologue).identical);
  EXPECT_FALSE(parsed({"--isotopologue", "24Na2"}).refusal.empty());
  EXPECT_FALSE(parsed({"--isotopologue"}).refusal.empty());
  EXPECT_FALSE(parsed({"--isotopologue", "23Na2", "--spins", "1.5", "1.5"}).refusal.empty());
  EXPECT_FALSE(parsed({"--isotopologue", "23Na35Cl", "--homonuclear"}).refusal.empty());
  EXPECT_TRUE(parsed({"--isotopologue", "23Na2", "--homonuclear"}).refusal.empty());
  EXPECT_FALSE(parsed({"--within", "C"}).refusal.empty());
  EXPECT_EQ(parsed({"--within", "B", "--quasibound"}).within, 'B');
  EXPECT_TRUE(parsed({"--quasibound"}).quasi_bound);
}

// g_tot of ²³Na₂ (I = 3/2, fermions): 6(2J + 1) for even J of the gerade X state, 10(2J + 1) for
// odd J; of a molecule the table does not know, 2J + 1.
std::set<int> spin_weights(const std::string& states_file) {
  std::set<int> weights;
  for (const std::string& line : lines_of(states_file)) {
    const StatesRow row = parse_states_line(line);
    weights.insert(std::stoi(row.g) / (2 * row.J + 1));
  }
  return weights;
}

TEST_F(LineListOptionsRun, SpinsComeFromTheCurvesMassOrTheNamedMolecule) {
  LinelistRequest request;
  request.tmax = 1;
  // 11.5 u is no homonuclear molecule: g_ns = 1.
  write_morse_pair(11.5);
  request.name = "plain";
  write_line_list(request);
  EXPECT_EQ(spin_weights("plain.states"), (std::set<int>{1}));
  // Named: its reduced mass (other energies) and its spins.
  const Isotopologue na2 = *parse_isotopologue("23Na2").isotopologue;
  request.isotopologue = na2;
  request.name = "named";
  write_line_list(request);
  EXPECT_EQ(spin_weights("named.states"), (std::set<int>{6, 10}));
  EXPECT_NE(bytes_of("plain.states"), bytes_of("named.states"));
  // The curve made for ²³Na₂: the same files without a name.
  write_morse_pair(reduced_mass_of(na2));
  request.isotopologue.reset();
  request.name = "by_mass";
  write_line_list(request);
  EXPECT_TRUE(bytes_of("named.states") == bytes_of("by_mass.states"));
  EXPECT_TRUE(bytes_of("named.trans") == bytes_of("by_mass.trans"));
}

}  // namespace
}  // namespace velk::props
