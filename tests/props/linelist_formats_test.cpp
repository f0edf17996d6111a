// The HITRAN line file and the spectrum table of the line list, read back by readers of their
// own: NAME.par by the published columns of the 160-character record (HITRAN 2004), its
// intensities against the formula worked out here from the values of NAME.states, NAME.trans and
// NAME.pf; NAME.csv by the reader of the spectrum command, its intensities against the same
// values; both in the result of a merge of blocks, and never written over an input.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "io/console.h"
#include "io/errors.h"
#include "io/line_list_file.h"
#include "linelist_test_support.h"
#include "props/linelist_blocks.h"
#include "props/linelist_command.h"

namespace velk::props {
namespace {

namespace fs = std::filesystem;
using namespace linelist_testing;  // NOLINT: the tests' shared helpers

// hc/k (cm K) and c (cm/s) from the defining constants of the SI.
constexpr long double kC2 = 100.0L * 6.62607015e-34L * 299792458.0L / 1.380649e-23L;
constexpr long double kLightCm = 29979245800.0L;
constexpr long double kPi = 3.14159265358979323846264L;

// A per unit S/(2J'+1) for a moment of 1 D: 16π³ν³M²/(3ε₀h), SI with ν in m⁻¹, M in C·m.
long double einstein_per_unit(long double nu_cm) {
  const long double nu = 100.0L * nu_cm;
  const long double M = 1e-21L / 299792458.0L;
  return 16.0L * kPi * kPi * kPi * nu * nu * nu * M * M /
         (3.0L * 8.8541878128e-12L * 6.62607015e-34L);
}

struct Level {
  double E = 0.0;
  int g = 0, J = 0, v = 0;
  char parity = ' ', ef = ' ', state = ' ';
};

// NAME.states by its ExoMol columns: i I12, E F12.6, g_tot I6, J I7, tau ES12.4, then
// +/- e/f State (A1 each) v I5 Lambda I2, fields one blank apart.
std::vector<Level> read_states(const std::string& file) {
  std::vector<Level> levels;
  for (const std::string& line : lines_of(file)) {
    Level level;
    level.E = std::stod(line.substr(13, 12));
    level.g = std::stoi(line.substr(26, 6));
    level.J = std::stoi(line.substr(33, 7));
    level.parity = line[54];
    level.ef = line[56];
    level.state = line[58];
    level.v = std::stoi(line.substr(60, 5));
    levels.push_back(level);
  }
  return levels;
}

// NAME.trans: upper_i I12, lower_i I12, A ES10.4.
std::map<std::pair<long, long>, double> read_trans(const std::string& file) {
  std::map<std::pair<long, long>, double> A;
  for (const std::string& line : lines_of(file)) {
    A[{std::stol(line.substr(0, 12)), std::stol(line.substr(13, 12))}] = std::stod(line.substr(26));
  }
  return A;
}

// One record of the HITRAN 2004 format (Rothman et al., JQSRT 96, 139 (2005), table 1), by its
// columns: M I2, I I1, ν F12.6, S E10.3, A E10.3, γair F5.4, γself F5.3, E″ F10.4, n_air F4.2,
// δair F8.6, V′ V″ Q′ Q″ A15, Ierr 6I1, Iref 6I2, flag A1, g′ F7.1, g″ F7.1.
struct ParRecord {
  int M = 0, I = 0;
  double nu = 0, S = 0, A = 0, gamma_air = 0, gamma_self = 0, E_lower = 0, n_air = 0, delta = 0;
  std::string V_upper, V_lower, Q_upper, Q_lower, Ierr, Iref, flag;
  double g_upper = 0, g_lower = 0;
};

ParRecord read_record(const std::string& text) {
  EXPECT_EQ(text.size(), 160u) << text;
  ParRecord r;
  std::size_t at = 0;
  const auto field = [&](std::size_t width) {
    const std::string value = text.substr(at, width);
    at += width;
    return value;
  };
  r.M = std::stoi(field(2));
  r.I = std::stoi(field(1));
  r.nu = std::stod(field(12));
  r.S = std::stod(field(10));
  r.A = std::stod(field(10));
  r.gamma_air = std::stod(field(5));
  r.gamma_self = std::stod(field(5));
  r.E_lower = std::stod(field(10));
  r.n_air = std::stod(field(4));
  r.delta = std::stod(field(8));
  r.V_upper = field(15);
  r.V_lower = field(15);
  r.Q_upper = field(15);
  r.Q_lower = field(15);
  r.Ierr = field(6);
  r.Iref = field(12);
  r.flag = field(1);
  r.g_upper = std::stod(field(7));
  r.g_lower = std::stod(field(7));
  EXPECT_EQ(at, 160u);
  return r;
}

// The level a pair of quanta fields names: (state, v) from "        A  12" and (J, parity, e/f)
// from "     12 + -".
using LevelKey = std::tuple<char, int, int, char, char>;
LevelKey key_of(const std::string& V, const std::string& Q) {
  EXPECT_EQ(V.substr(0, 8), std::string(8, ' ')) << V;
  EXPECT_EQ(Q.substr(0, 6), std::string(6, ' ')) << Q;
  EXPECT_EQ(Q[11], ' ');
  EXPECT_EQ(Q[13], ' ');
  return {V[8], std::stoi(V.substr(12, 3)), std::stoi(Q.substr(6, 5)), Q[12], Q[14]};
}

// Two shallow Morse curves (μ = 11.5 u) a few hundred levels deep, the upper 12000 cm-1 up.
class LineListFormats : public ScratchFolder {
 protected:
  void SetUp() override {
    ScratchFolder::SetUp();
    write_morse_pair(11.5, 0);
  }
};

struct ParCase {
  double temperature;
  int molecule, isotopologue;
};

class ParFile : public LineListFormats, public ::testing::WithParamInterface<ParCase> {};

TEST_P(ParFile, RecordsReadBackAndTheirIntensitiesFollowTheFormula) {
  const ParCase c = GetParam();
  LinelistRequest request;
  request.name = "m";
  request.tmax = 1000;
  request.spins = NuclearSpins{1.5, 1.5, true};
  request.hitran = HitranOptions{c.temperature, c.molecule, c.isotopologue};
  write_line_list(request);
  const std::vector<Level> levels = read_states("m.states");
  const std::map<std::pair<long, long>, double> A_of = read_trans("m.trans");
  std::map<LevelKey, long> number_of;
  for (std::size_t k = 0; k < levels.size(); ++k) {
    const Level& l = levels[k];
    number_of[{l.state, l.v, l.J, l.parity, l.ef}] = static_cast<long>(k + 1);
  }
  ASSERT_EQ(number_of.size(), levels.size());
  // Q(T) as NAME.pf prints it (F15.4: far below the tolerance for Q in the thousands).
  const std::string pf = lines_of("m.pf").at(static_cast<std::size_t>(c.temperature) - 1);
  ASSERT_EQ(std::stod(pf.substr(0, 8)), c.temperature);
  const long double Q = std::stold(pf.substr(9));
  ASSERT_GT(Q, 1000.0L);

  const std::vector<std::string> records = lines_of("m.par");
  ASSERT_EQ(records.size(), A_of.size());
  std::map<std::pair<long, long>, int> seen;
  double previous_nu = 0.0;
  int strong = 0;
  for (const std::string& text : records) {
    const ParRecord r = read_record(text);
    EXPECT_EQ(r.M, c.molecule);
    EXPECT_EQ(r.I, c.isotopologue);
    EXPECT_GE(r.nu, previous_nu) << "sorted by wavenumber";
    previous_nu = r.nu;
    EXPECT_EQ(r.gamma_air, 0.0);
    EXPECT_EQ(r.gamma_self, 0.0);
    EXPECT_EQ(r.n_air, 0.0);
    EXPECT_EQ(r.delta, 0.0);
    EXPECT_EQ(r.Ierr, "000000");
    EXPECT_EQ(r.Iref, " 0 0 0 0 0 0");
    EXPECT_EQ(r.flag, " ");
    const auto upper = number_of.find(key_of(r.V_upper, r.Q_upper));
    const auto lower = number_of.find(key_of(r.V_lower, r.Q_lower));
    ASSERT_NE(upper, number_of.end()) << text;
    ASSERT_NE(lower, number_of.end()) << text;
    ++seen[{upper->second, lower->second}];
    const auto A = A_of.find({upper->second, lower->second});
    ASSERT_NE(A, A_of.end()) << text;
    const Level& u = levels[upper->second - 1];
    const Level& l = levels[lower->second - 1];
    EXPECT_EQ(r.g_upper, u.g);
    EXPECT_EQ(r.g_lower, l.g);
    // E and ν to the 1e-6 cm-1 of NAME.states; E″ printed to 1e-4.
    EXPECT_NEAR(r.nu, u.E - l.E, 2.1e-6) << text;
    EXPECT_NEAR(r.E_lower, l.E, 0.51e-4) << text;
    // A in E10.3 against ES10.4: a half unit of the third decimal.
    EXPECT_NEAR(r.A / A->second, 1.0, 1.01e-3) << text;
    const long double nu = u.E - l.E;
    const long double T = c.temperature;
    const long double S = u.g * A->second * (1.0L - std::exp(-kC2 * nu / T)) *
                          std::exp(-kC2 * l.E / T) / (8.0L * kPi * kLightCm * nu * nu * Q);
    if (S < 1e-300L) continue;
    // S in E10.3 (5e-4 relative at worst) from an A of 5 digits.
    EXPECT_NEAR(r.S / static_cast<double>(S), 1.0, 6e-4) << text;
    if (S > 1e-30L) ++strong;
  }
  EXPECT_EQ(seen.size(), A_of.size()) << "every line once";
  EXPECT_GT(strong, 100);
}

INSTANTIATE_TEST_SUITE_P(Temperatures, ParFile,
                         ::testing::Values(ParCase{296.0, 0, 0}, ParCase{1000.0, 26, 1}),
                         [](const auto& info) {
                           return "T" + std::to_string(static_cast<int>(info.param.temperature));
                         });

TEST_F(LineListFormats, CsvReadsAsTheSpectrumTableWithTheListsIntensities) {
  LinelistRequest request;
  request.name = "m";
  request.tmax = 500;
  request.csv = true;
  request.hitran.temperature = 500.0;
  request.moment_constant = 2.0;
  write_line_list(request);
  const std::vector<Level> levels = read_states("m.states");
  const std::map<std::pair<long, long>, double> A_of = read_trans("m.trans");
  const long double Q = std::stold(lines_of("m.pf").at(499).substr(9));
  const LineListFile table = read_line_list_file("m.csv", "test");
  // The columns of vel_tran.csv after velk-props spectrum (transition_properties and
  // line_list_file), in that order.
  EXPECT_EQ(lines_of("m.csv").at(0),
            "line,branch,upper_v,upper_J,upper_p,lower_v,lower_J,lower_p,wavenumber,FCF,"
            "r_centroid,moment,overlap,upper_E,lower_E,HL,intensity,A_einstein");
  ASSERT_EQ(table.rows.size(), A_of.size());
  // The lines in the order of NAME.trans.
  auto trans = A_of.begin();
  int checked = 0;
  for (const LineListRow& row : table.rows) {
    const Level& u = levels[trans->first.first - 1];
    const Level& l = levels[trans->first.second - 1];
    EXPECT_EQ(row.upper_v, u.v);
    EXPECT_EQ(row.upper_J, u.J);
    EXPECT_EQ(row.lower_v, l.v);
    EXPECT_EQ(row.lower_J, l.J);
    EXPECT_EQ(row.branch, u.J > l.J ? "R" : "P");
    // ¹Σ-¹Σ: R(J'') has S = J'' + 1, P(J'') S = J''.
    EXPECT_EQ(*row.HL, u.J > l.J ? l.J + 1 : l.J);
    EXPECT_FALSE(row.FCF);
    ASSERT_TRUE(row.moment);
    // A constant 2 D times an overlap: at most 2 D.
    EXPECT_LE(*row.moment, 2.0 + 1e-9);
    EXPECT_NEAR(row.wavenumber, u.E - l.E, 2.1e-6);
    EXPECT_NEAR(*row.A_einstein / trans->second, 1.0, 0.51e-4);
    // I = ν·S·M²·g″exp(−c₂E″/T)/((2J″+1)Q) with M² from A = K ν³ M² S/(2J'+1): S cancels.
    const long double nu = u.E - l.E;
    const long double M2 =
        trans->second * (2 * u.J + 1) / (einstein_per_unit(nu) * static_cast<long double>(*row.HL));
    const long double I =
        nu * *row.HL * M2 * l.g * std::exp(-kC2 * l.E / 500.0L) / ((2 * l.J + 1) * Q);
    ASSERT_TRUE(row.intensity);
    if (I > 1e-300L) {
      EXPECT_NEAR(*row.intensity / static_cast<double>(I), 1.0, 1.1e-4);
      ++checked;
    }
    EXPECT_NEAR(*row.moment * *row.moment / static_cast<double>(M2), 1.0, 1.1e-4);
    ++trans;
  }
  EXPECT_GT(checked, 1000);
}

TEST_F(LineListFormats, MergedBlocksGiveTheParAndCsvOfOneRun) {
  LinelistRequest request;
  request.tmax = 10;
  request.spins = NuclearSpins{1.5, 1.5, true};
  request.hitran = HitranOptions{700.0, 26, 1};
  request.csv = true;
  request.name = "whole";
  write_line_list(request);
  const std::pair<int32_t, int32_t> ranges[] = {{0, 20}, {21, 1000}};
  for (int k = 0; k < 2; ++k) {
    request.name = "block" + std::to_string(k);
    request.j_range = ranges[k];
    write_line_list(request);
  }
  EXPECT_FALSE(fs::exists("block0.par"));
  const std::vector<std::string> merge = {"--name", "merged",      "--tmax", "10", "--temperature",
                                          "700",    "--hitran-id", "26",     "1",  "--csv",
                                          "block1", "block0"};
  ASSERT_EQ(run_merge_command(merge), 0);
  for (const char* ext : {".par", ".csv"}) {
    const std::string whole = bytes_of(std::string("whole") + ext);
    EXPECT_GT(whole.size(), 100000u);
    EXPECT_TRUE(whole == bytes_of(std::string("merged") + ext)) << ext;
  }
  // Another temperature is another file: the option reaches the merge's records.
  const std::vector<std::string> cooler = {"--name", "cool", "--tmax", "10", "block0", "block1"};
  ASSERT_EQ(run_merge_command(cooler), 0);
  EXPECT_FALSE(bytes_of("cool.par") == bytes_of("merged.par"));
  EXPECT_FALSE(fs::exists("cool.csv"));
  const std::vector<std::string> bad = {"--name", "x", "--hitran-id", "100", "1", "block0"};
  EXPECT_EQ(run_merge_command(bad), 2);
}

TEST_F(LineListFormats, AnInputNamedLikeTheParOrCsvIsNeverWritten) {
  const std::string moment = "1.0 1.0\n5.0 1.0\n9.0 1.0\n";
  for (const char* file : {"velk.par", "velk.csv"}) {
    std::ofstream(file) << moment;
    LinelistRequest request;
    request.moment_file = file;
    request.csv = true;
    EXPECT_THROW(write_line_list(request), InputError) << file;
    EXPECT_EQ(bytes_of(file), moment);
    EXPECT_FALSE(fs::exists("velk.states"));
    fs::remove(file);
  }
}

TEST(LineListFormatArguments, TemperatureIdsAndCsv) {
  const auto parse = [](std::vector<std::string> arguments) {
    return parse_linelist_arguments(arguments);
  };
  const LinelistRequest given =
      parse({"--temperature", "1500.5", "--hitran-id", "26", "2", "--csv"});
  EXPECT_TRUE(given.refusal.empty()) << given.refusal;
  EXPECT_EQ(given.hitran.temperature, 1500.5);
  EXPECT_EQ(given.hitran.molecule_id, 26);
  EXPECT_EQ(given.hitran.isotopologue_id, 2);
  EXPECT_TRUE(given.csv);
  const LinelistRequest plain = parse({});
  EXPECT_EQ(plain.hitran.temperature, 296.0);
  EXPECT_EQ(plain.hitran.molecule_id, 0);
  EXPECT_FALSE(plain.csv);
  for (const std::vector<std::string>& bad : {std::vector<std::string>{"--temperature", "0"},
                                              {"--temperature", "-3"},
                                              {"--temperature", "nan"},
                                              {"--hitran-id", "100", "1"},
                                              {"--hitran-id", "1", "10"},
                                              {"--hitran-id", "1.5", "1"},
                                              {"--hitran-id", "1"}}) {
    EXPECT_FALSE(parse(bad).refusal.empty()) << bad[0] << " " << bad[1];
  }
}

}  // namespace
}  // namespace velk::props
