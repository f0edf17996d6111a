// The spectrum of a complete line list (velk-props spectrum --linelist): the emission of a hot
// gas against the sum population × A × hcν worked out here from the list's values, absorption
// against the spectrum command's path through vel_tran.csv and a level file on the same lines,
// and the list's reader on malformed files.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "io/errors.h"
#include "io/exomol_files.h"
#include "spectrum/line_intensity.h"
#include "spectrum/linelist_intensities.h"
#include "spectrum/spectrum_command.h"
#include "support/console_capture.h"
#include "support/temp_dir.h"

namespace velk::spectrum {
namespace {

using test::write_file;

// hc/k (cm K) and hc (J cm) from the defining constants of the SI.
constexpr long double kC2 = 100.0L * 6.62607015e-34L * 299792458.0L / 1.380649e-23L;
constexpr long double kHc = 100.0L * 6.62607015e-34L * 299792458.0L;

// A ¹Σ-¹Σ band: lower levels v'' = 0, 1 with J'' = 0..40 (state A), upper v' = 0..2 with
// J' = 0..40 (state B, 15000 cm-1 up), every P and R line with A from a moment that varies.
constexpr double kB_lower = 0.15, kB_upper = 0.14, kOmega_lower = 150.0, kOmega_upper = 110.0;
constexpr int kJmax = 40;

struct Level {
  char state;
  int v, J;
  double E;
};

std::vector<Level> band_levels() {
  std::vector<Level> levels;
  for (int J = 0; J <= kJmax; ++J) {
    for (int v = 0; v <= 1; ++v)
      levels.push_back({'A', v, J, kOmega_lower * v + kB_lower * J * (J + 1)});
    for (int v = 0; v <= 2; ++v) {
      levels.push_back({'B', v, J, 15000.0 + kOmega_upper * v + kB_upper * J * (J + 1)});
    }
  }
  return levels;
}

struct Line {
  std::size_t upper, lower;
  double A, moment, HL;
};

std::vector<Line> band_lines(const std::vector<Level>& levels) {
  std::vector<Line> lines;
  for (std::size_t u = 0; u < levels.size(); ++u) {
    for (std::size_t l = 0; l < levels.size(); ++l) {
      const Level& up = levels[u];
      const Level& low = levels[l];
      if (up.state != 'B' || low.state != 'A' || std::abs(up.J - low.J) != 1) continue;
      const double HL = up.J > low.J ? low.J + 1 : low.J;
      const double moment = 0.5 + 0.3 * up.v + 0.1 * low.v + 0.001 * low.J;
      lines.push_back({u, l, einstein_A(up.E - low.E, HL, up.J, moment), moment, HL});
    }
  }
  return lines;
}

// NAME.states and NAME.trans in the columns of velk-props linelist, energies above the lowest
// level to 6 decimals, A to 17 digits.
void write_list(const std::string& name, const std::vector<Level>& levels,
                const std::vector<Line>& lines) {
  std::ostringstream states, trans;
  char text[200];
  for (std::size_t k = 0; k < levels.size(); ++k) {
    const Level& l = levels[k];
    std::snprintf(text, sizeof text, "%12zu %12.6f %6d %7d %12s %c - %c %5d  0\n", k + 1, l.E,
                  2 * l.J + 1, l.J, "inf", l.J % 2 == 0 ? '+' : '-', l.state, l.v);
    states << text;
  }
  for (const Line& line : lines) {
    std::snprintf(text, sizeof text, "%12zu %12zu %.17g\n", line.upper + 1, line.lower + 1, line.A);
    trans << text;
  }
  write_file(name + ".states", states.str());
  write_file(name + ".trans", trans.str());
}

std::vector<std::pair<double, double>> read_spectrum(const std::string& file) {
  std::ifstream in(file);
  std::string line;
  std::getline(in, line);
  EXPECT_EQ(line, "wavenumber,intensity");
  std::vector<std::pair<double, double>> points;
  while (std::getline(in, line)) {
    const std::size_t comma = line.find(',');
    points.push_back({std::stod(line.substr(0, comma)), std::stod(line.substr(comma + 1))});
  }
  return points;
}

class LineListSpectrum : public test::ScratchDirectoryTest {
 protected:
  int run(std::vector<std::string> arguments) {
    test::ConsoleCapture console;
    const int status = run_spectrum_command(arguments, "velk-props spectrum");
    output_ = console.text();
    return status;
  }
  std::string output_;
};

struct EmissionCase {
  double temperature;
  bool photons;
};

class HotGasEmission : public LineListSpectrum,
                       public ::testing::WithParamInterface<EmissionCase> {};

TEST_P(HotGasEmission, EveryUpperLevelRadiatesByItsPopulation) {
  const EmissionCase c = GetParam();
  const std::vector<Level> levels = band_levels();
  const std::vector<Line> lines = band_lines(levels);
  write_list("band", levels, lines);
  // The independent sum: Q over every level, each line x' · A (· hcν).
  long double Q = 0.0L;
  for (const Level& l : levels) Q += (2 * l.J + 1) * std::exp(-kC2 * l.E / c.temperature);
  std::vector<long double> expected;
  long double total = 0.0L;
  for (const Line& line : lines) {
    const Level& u = levels[line.upper];
    const long double nu = static_cast<long double>(u.E) - levels[line.lower].E;
    const long double x = (2 * u.J + 1) * std::exp(-kC2 * u.E / c.temperature) / Q;
    expected.push_back(c.photons ? x * line.A : x * line.A * kHc * nu);
    total += expected.back();
  }
  const ExomolList list = read_exomol_list("band", "test");
  const ListIntensities got =
      list_intensities(list, c.temperature, {SpectrumMode::Emission, c.photons});
  ASSERT_EQ(got.intensity.size(), lines.size());
  EXPECT_NEAR(got.Q / static_cast<double>(Q), 1.0, 1e-12);
  for (std::size_t k = 0; k < lines.size(); ++k) {
    // E to 6 decimals in the file: c₂·5e-7/T and 5e-7/ν relative at most.
    EXPECT_NEAR(got.intensity[k] / static_cast<double>(expected[k]), 1.0, 1e-8) << "line " << k;
  }

  std::vector<std::string> arguments = {"--linelist",
                                        "band",
                                        "--emission",
                                        "--temperature",
                                        std::to_string(c.temperature),
                                        "--mass",
                                        "46",
                                        "--fwhm",
                                        "0.5"};
  if (c.photons) arguments.push_back("--photons");
  ASSERT_EQ(run(arguments), 0) << output_;
  EXPECT_NE(output_.find("emission of the line list band"), std::string::npos) << output_;
  const auto points = read_spectrum("spectrum.csv");
  ASSERT_GT(points.size(), 1000u);
  const double step = points[1].first - points[0].first;
  double area = 0.0;
  for (const auto& [nu, value] : points) area += value * step;
  // The Gaussians hold their area but for 2e-12 beyond 3 FWHM; the rectangle sum meets each
  // window's ends within a step (about 1e-5 of a line's area, section 14.5 of the guide).
  EXPECT_NEAR(area / static_cast<double>(total), 1.0, 1e-4);
  // The list's spectrum writes spectrum.csv alone.
  EXPECT_FALSE(std::filesystem::exists("vel_tran.csv"));
}

INSTANTIATE_TEST_SUITE_P(Temperatures, HotGasEmission,
                         ::testing::Values(EmissionCase{300.0, false}, EmissionCase{3000.0, false},
                                           EmissionCase{3000.0, true}),
                         [](const auto& info) {
                           return "T" + std::to_string(static_cast<int>(info.param.temperature)) +
                                  (info.param.photons ? "_photons" : "_energy");
                         });

// The same lines through vel_tran.csv with their moments and Astate.dat with the lower levels:
// the populations of the level file and of the list agree wherever the upper state's share of Q
// (exp(−c₂·15000/500) = 1e-19) is nothing.
TEST_F(LineListSpectrum, AbsorptionOfTheListIsTheAbsorptionOfTheRun) {
  const std::vector<Level> levels = band_levels();
  const std::vector<Line> lines = band_lines(levels);
  write_list("band", levels, lines);
  write_file("x.pot", "3\n11.494884641 11.24 10.99 11.73 11.99\n0\n0.0\n0.0\nd\nc\nAN\n");
  write_file("a.pot", "3\n11.494884641 11.24 10.99 11.73 11.99\n0\n0.0\n0.0\nd\nc\nAN\n");
  write_file("velk.inf", "heading\nx.pot\np\n1\na.pot\np\n1\ngrid\n2.2 12 1000\n2.2 12 1000\n");
  std::string astate = "  " + std::to_string(2 * (kJmax + 1)) +
                       " !number of levels\n Potential File:  x.pot\n\n\n\n\n";
  int n = 0;
  for (const Level& l : levels) {
    if (l.state != 'A') continue;
    char text[80];
    std::snprintf(text, sizeof text, "%5d%4d%4d%15.6f%2d\n", ++n, l.v, l.J, l.E, 1);
    astate += text;
  }
  write_file("Astate.dat", astate);
  std::string table =
      "line,branch,upper_v,upper_J,upper_p,lower_v,lower_J,lower_p,wavenumber,FCF,r_centroid,"
      "moment\n";
  n = 0;
  for (const Line& line : lines) {
    const Level& u = levels[line.upper];
    const Level& l = levels[line.lower];
    char text[200];
    std::snprintf(text, sizeof text, "%d,%c,%d,%d,1,%d,%d,1,%.17g,,,%.17g\n", ++n,
                  u.J > l.J ? 'R' : 'P', u.v, u.J, l.v, l.J, u.E - l.E, line.moment);
    table += text;
  }
  write_file("vel_tran.csv", table);
  const std::vector<std::string> shape = {"--temperature", "500", "--fwhm", "0.2"};
  ASSERT_EQ(run(shape), 0) << output_;
  const auto from_run = read_spectrum("spectrum.csv");
  std::vector<std::string> with_list = shape;
  with_list.insert(with_list.end(), {"--linelist", "band", "--absorption"});
  ASSERT_EQ(run(with_list), 0) << output_;
  const auto from_list = read_spectrum("spectrum.csv");
  ASSERT_EQ(from_list.size(), from_run.size());
  ASSERT_GT(from_run.size(), 1000u);
  double peak = 0.0;
  for (const auto& point : from_run) peak = std::max(peak, point.second);
  for (std::size_t i = 0; i < from_run.size(); ++i) {
    // The same grid (the same lines, widths and mass) and the same values to rounding: ν from
    // energies of 6 decimals moves a profile by 1e-6 cm-1 of a 0.2 cm-1 line.
    EXPECT_NEAR(from_list[i].first, from_run[i].first, 1e-9 * from_run[i].first);
    EXPECT_NEAR(from_list[i].second, from_run[i].second, 1e-4 * peak) << "point " << i;
  }
}

// What the list's reader refuses, with the file and the line.
struct Malformed {
  const char* name;
  const char* states;
  const char* trans;
  const char* where;
};

class MalformedList : public LineListSpectrum, public ::testing::WithParamInterface<Malformed> {};

TEST_P(MalformedList, IsRefusedWithItsFileAndLine) {
  const Malformed c = GetParam();
  write_file("t.states", c.states);
  write_file("t.trans", c.trans);
  EXPECT_THROW(read_exomol_list("t", "test"), InputError);
  EXPECT_EQ(run({"--linelist", "t", "--mass", "46"}), 2);
  EXPECT_NE(output_.find(c.where), std::string::npos) << output_;
  EXPECT_FALSE(std::filesystem::exists("spectrum.csv"));
}

constexpr const char* kTwoLevels =
    "           1     0.000000      1       0          inf + - A     0  0\n"
    "           2 15000.000000      3       1   1.0000E-08 - - B     0  0\n";
INSTANTIATE_TEST_SUITE_P(
    Files, MalformedList,
    ::testing::Values(
        Malformed{"StatesFieldMissing",
                  "           1     0.000000      1       0          inf + - A     0\n", "",
                  "t.states: line 1: expected 10 fields"},
        Malformed{"StatesNumberOutOfOrder",
                  "           2     0.000000      1       0          inf + - A     0  0\n", "",
                  "t.states: line 1: expected the level number 1"},
        Malformed{"StatesEnergyNotFinite",
                  "           1          nan      1       0          inf + - A     0  0\n", "",
                  "t.states: line 1: expected a finite E"},
        Malformed{"StatesParityUnknown",
                  "           1     0.000000      1       0          inf + x A     0  0\n", "",
                  "t.states: line 1: expected + or -"},
        Malformed{"TransLevelBeyondStates", kTwoLevels, "           2            3 1.0E+08\n",
                  "t.trans: line 1: expected upper_i lower_i A"},
        Malformed{"TransFieldMissing", kTwoLevels,
                  "           2            1 1.0E+08\n           2 1\n",
                  "t.trans: line 2: expected upper_i lower_i A"},
        Malformed{"TransNegativeA", kTwoLevels, "           2            1 -1.0\n",
                  "t.trans: line 1: expected upper_i lower_i A"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(LineListSpectrum, AMissingListNamesTheCommandThatWritesIt) {
  EXPECT_EQ(run({"--linelist", "none", "--mass", "46"}), 2);
  EXPECT_NE(output_.find("velk-props linelist --name none"), std::string::npos) << output_;
}

TEST(LineListSpectrumArguments, ListGoesWithoutLevelsAndSpinWeights) {
  const auto parse = [](std::vector<std::string> arguments) {
    return parse_spectrum_arguments(arguments, "velk-props spectrum");
  };
  const SpectrumRequest request = parse({"--linelist", "na2", "--emission", "--photons"});
  EXPECT_TRUE(request.refusal.empty()) << request.refusal;
  EXPECT_EQ(request.linelist, "na2");
  EXPECT_FALSE(parse({"--linelist", "na2", "--levels", "A.dat"}).refusal.empty());
  EXPECT_FALSE(parse({"--linelist", "na2", "--spin-weights", "1,3"}).refusal.empty());
  EXPECT_FALSE(parse({"--linelist", ""}).refusal.empty());
  EXPECT_FALSE(parse({"--linelist"}).refusal.empty());
}

}  // namespace
}  // namespace velk::spectrum
