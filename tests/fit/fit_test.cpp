#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "fit/curve_derivatives.h"
#include "fit/fit_command.h"
#include "fit/fit_model.h"
#include "fit/fit_solver.h"
#include "fit/line_model.h"
#include "fit/observed_lines.h"
#include "io/console.h"
#include "io/errors.h"
#include "props/state_wave_functions.h"
#include "run/dunham.h"

namespace velk::fit {
namespace {

const std::string kExamples = VELK_EXAMPLES_DIR;

FitModel potential_model(const std::string& file, StateForm form) {
  set_console_quiet(true);
  FitModel model;
  for (int s = 0; s < 2; ++s) {
    FitState& state = model.states[static_cast<std::size_t>(s)];
    state.letter = s == 0 ? 'A' : 'B';
    state.file = file;
    state.form = form;
    state.curve = read_curve_definition(file);
    state.grid = RadialGrid(2.3, 12.0, 4000);
    state.mass_index = 1;
  }
  return model;
}

ObservedLine term(int v, int J, double E, double sigma) {
  ObservedLine row;
  row.upper = {'A', v, J, 1};
  row.lower = {'-', 0, 0, 0};
  row.wavenumber = E;
  row.uncertainty = sigma;
  return row;
}

std::vector<ObservedLine> term_rows(int vmax, int Jmax, int Jstep) {
  std::vector<ObservedLine> rows;
  for (int J = 0; J <= Jmax; J += Jstep) {
    for (int v = 0; v <= vmax; ++v) rows.push_back(term(v, J, 0.0, 1e-3));
  }
  return rows;
}

struct DerivativeCase {
  std::string file;
  StateForm form;
  std::string name;
};

// Steps of 1e-3 of the value keep the differences above the solves' tolerance; they then agree
// with the expectation values to about 1e-5 (a dropped chain-rule term of Re is off by 1e-2). The
// smallest derivatives (C6 beyond the wave functions' reach) are judged against the rounding.
void PrintTo(const DerivativeCase& c, std::ostream* os) {
  *os << c.file << " " << c.name;
}

class HellmannFeynman : public ::testing::TestWithParam<DerivativeCase> {};

// ∂E/∂p from ⟨ψ|∂U/∂p|ψ⟩ against central differences of levels solved on curves moved by ±step:
// each level is solved anew, so the difference knows nothing of the closed forms of ∂U/∂p.
TEST_P(HellmannFeynman, MatchesDifferencesOfSolvedLevels) {
  const DerivativeCase c = GetParam();
  FitModel model = potential_model(kExamples + "/" + c.file, c.form);
  const std::vector<ParameterRef> free = parse_free_option("A:" + c.name, model);
  const std::vector<ObservedLine> rows = term_rows(8, 30, 15);
  const LineModel lines(rows, free, {100, 1e-9}, model);
  const Evaluation at = lines.evaluate(model, true);
  ASSERT_FALSE(at.missing_level);
  const double p0 = get_parameter(model, free[0]);
  const double step = 1e-3 * std::max(std::fabs(p0), 1e-2);
  set_parameter(model, free[0], p0 + step);
  const Evaluation up = lines.evaluate(model, false);
  set_parameter(model, free[0], p0 - step);
  const Evaluation down = lines.evaluate(model, false);
  // The rounding of two energies, divided by the step: below it a difference says nothing.
  const double rounding = 1e-14 * at.calc.cwiseAbs().maxCoeff() / step;
  for (Eigen::Index r = 0; r < at.calc.size(); ++r) {
    const double difference = (up.calc(r) - down.calc(r)) / (2.0 * step);
    const double scale =
        std::max(std::fabs(difference), 1e-3 * at.jacobian.col(0).cwiseAbs().maxCoeff());
    EXPECT_NEAR(at.jacobian(r, 0), difference, 1e-4 * scale + rounding);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Forms, HellmannFeynman,
    ::testing::Values(DerivativeCase{"na2-x-mlj/na2xmlj.pot", StateForm::mlj, "Re"},
                      DerivativeCase{"na2-x-mlj/na2xmlj.pot", StateForm::mlj, "beta0"},
                      DerivativeCase{"na2-x-mlj/na2xmlj.pot", StateForm::mlj, "beta3"},
                      DerivativeCase{"na2-x-mlj/na2xmlj.pot", StateForm::mlj, "De"},
                      DerivativeCase{"na2-x-mlj/na2xmlj.pot", StateForm::mlj, "Cp"},
                      DerivativeCase{"na2-x-mlj/na2xmlj.pot", StateForm::mlj, "delta"},
                      DerivativeCase{"na2-x-mlj/na2xmlj.pot", StateForm::mlj, "Rx"},
                      DerivativeCase{"na2-x-analytic/na2x.pot", StateForm::analytic, "a0"},
                      DerivativeCase{"na2-x-analytic/na2x.pot", StateForm::analytic, "a2"},
                      DerivativeCase{"na2-x-analytic/na2x.pot", StateForm::analytic, "Rm"},
                      DerivativeCase{"na2-x-analytic/na2x.pot", StateForm::analytic, "b"},
                      DerivativeCase{"na2-x-analytic/na2x.pot", StateForm::analytic, "C6"}),
    [](const auto& info) {
      return std::string(info.param.form == StateForm::mlj ? "mlj_" : "analytic_") +
             info.param.name;
    });

struct RoundTripCase {
  std::string file;
  StateForm form;
  std::string free;
  double noise = 0.0;  // in units of the stated uncertainty
  unsigned seed = 0;
};

void PrintTo(const RoundTripCase& c, std::ostream* os) {
  *os << c.file << " " << c.free << " noise " << c.noise << " seed " << c.seed;
}

class RoundTrip : public ::testing::TestWithParam<RoundTripCase> {};

// Lines from the known curve, the free parameters started 1 % off (Te 10 % of its value): without
// noise every parameter comes back to 1e-6; with noise σ̄ is near 1 and the truth lies within
// the intervals.
TEST_P(RoundTrip, RecoversTheCurve) {
  const RoundTripCase c = GetParam();
  FitModel model = potential_model(kExamples + "/" + c.file, c.form);
  const std::vector<ParameterRef> free = parse_free_option("A:" + c.free, model);
  std::vector<ObservedLine> rows = term_rows(12, 40, 4);
  const LineModel lines(rows, free, {100, 1e-9}, model);
  const Evaluation truth = lines.evaluate(model, false);
  std::mt19937_64 random(c.seed);
  std::normal_distribution<double> gauss(0.0, 1.0);
  for (std::size_t r = 0; r < rows.size(); ++r) {
    rows[r].wavenumber =
        truth.calc(static_cast<Eigen::Index>(r)) + c.noise * rows[r].uncertainty * gauss(random);
  }
  std::vector<double> true_values;
  for (const ParameterRef& ref : free) {
    true_values.push_back(get_parameter(model, ref));
    set_parameter(model, ref, true_values.back() * 1.01);
  }
  const FitResult result = run_fit(model, rows, free, lines, {50});
  ASSERT_TRUE(result.converged);
  for (std::size_t j = 0; j < free.size(); ++j) {
    const double value = result.value(static_cast<Eigen::Index>(j));
    if (c.noise == 0.0) {
      EXPECT_NEAR(value, true_values[j], 1e-6 * std::fabs(true_values[j])) << free[j].name;
    } else {
      EXPECT_NEAR(value, true_values[j], 3.5 * result.uncertainty(static_cast<Eigen::Index>(j)))
          << free[j].name;
    }
  }
  if (c.noise > 0.0) {
    EXPECT_NEAR(result.sigma, 1.0, 0.2);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Seeds, RoundTrip,
    ::testing::Values(
        RoundTripCase{"na2-x-mlj/na2xmlj.pot", StateForm::mlj, "beta0-beta3,De", 0.0, 0},
        RoundTripCase{"na2-x-analytic/na2x.pot", StateForm::analytic, "a1-a3", 0.0, 0},
        RoundTripCase{"na2-x-mlj/na2xmlj.pot", StateForm::mlj, "beta0-beta2", 1.0, 1},
        RoundTripCase{"na2-x-mlj/na2xmlj.pot", StateForm::mlj, "beta0-beta2", 1.0, 2},
        RoundTripCase{"na2-x-mlj/na2xmlj.pot", StateForm::mlj, "beta0-beta2", 1.0, 3}),
    [](const auto& info) {
      return std::string(info.param.form == StateForm::mlj ? "mlj" : "analytic") +
             (info.param.noise > 0 ? "_noise_seed" + std::to_string(info.param.seed) : "_exact");
    });

class RobustWeights : public ::testing::TestWithParam<unsigned> {};

// Gaussian noise of the stated uncertainty plus a few lines 40 to 80 uncertainties off (planted
// at seeded places): the plain fit is pulled off the truth, the robust one is not, and it names
// the planted lines by their weights.
TEST_P(RobustWeights, RecoverTheCurveDespitePlantedOutliers) {
  const unsigned seed = GetParam();
  FitModel model = potential_model(kExamples + "/na2-x-mlj/na2xmlj.pot", StateForm::mlj);
  const std::vector<ParameterRef> free = parse_free_option("A:beta0-beta2,De", model);
  std::vector<ObservedLine> rows = term_rows(12, 40, 4);
  const LineModel lines(rows, free, {100, 1e-9}, model);
  const Evaluation truth = lines.evaluate(model, false);
  std::mt19937_64 random(seed);
  std::normal_distribution<double> gauss(0.0, 1.0);
  std::uniform_int_distribution<std::size_t> pick(0, rows.size() - 1);
  std::uniform_real_distribution<double> size(40.0, 80.0);
  for (std::size_t r = 0; r < rows.size(); ++r) {
    rows[r].wavenumber =
        truth.calc(static_cast<Eigen::Index>(r)) + rows[r].uncertainty * gauss(random);
  }
  std::vector<std::size_t> planted;
  while (planted.size() < 6) {
    const std::size_t r = pick(random);
    if (std::find(planted.begin(), planted.end(), r) != planted.end()) continue;
    planted.push_back(r);
    // Most of one sign, as a misassigned band would be.
    rows[r].wavenumber += rows[r].uncertainty * size(random) * (planted.size() % 3 ? 1.0 : -1.0);
  }
  std::vector<double> true_values;
  for (const ParameterRef& ref : free) true_values.push_back(get_parameter(model, ref));
  const FitModel start = model;

  const FitResult plain = run_fit(model, rows, free, lines, {50});
  ASSERT_TRUE(plain.converged);
  EXPECT_GT(plain.sigma, 5.0);
  EXPECT_TRUE(plain.weight.size() == 0);

  model = start;
  FitOptions robust;
  robust.robust = true;
  const FitResult result = run_fit(model, rows, free, lines, robust);
  ASSERT_TRUE(result.converged);
  ASSERT_EQ(result.weight.size(), static_cast<Eigen::Index>(rows.size()));
  double worst_robust = 0.0;
  for (std::size_t j = 0; j < free.size(); ++j) {
    const auto i = static_cast<Eigen::Index>(j);
    const double off = std::fabs(result.value(i) - true_values[j]) / result.uncertainty(i);
    worst_robust = std::max(worst_robust, off);
    EXPECT_LT(off, 3.5) << free[j].name;
  }
  // The plain fit is biased: measured in the uncertainties the data support without the
  // planted lines (the robust ones), it misses the truth; its own uncertainties, scaled by a
  // σ̄ the outliers inflate, would hide that.
  double worst_plain = 0.0;
  for (std::size_t j = 0; j < free.size(); ++j) {
    const auto i = static_cast<Eigen::Index>(j);
    worst_plain =
        std::max(worst_plain, std::fabs(plain.value(i) - true_values[j]) / result.uncertainty(i));
  }
  EXPECT_GT(worst_plain, 5.0) << "robust " << worst_robust;
  for (std::size_t r = 0; r < rows.size(); ++r) {
    const bool is_planted = std::find(planted.begin(), planted.end(), r) != planted.end();
    const double w = result.weight(static_cast<Eigen::Index>(r));
    // A planted line of 40 uncertainties weighs 1/(1 + 1600/3) at most; a Gaussian one of
    // 5 uncertainties 1/(1 + 25/3).
    if (is_planted) {
      EXPECT_LT(w, 0.01) << "row " << r;
    } else {
      EXPECT_GT(w, 0.1) << "row " << r;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Seeds, RobustWeights, ::testing::Values(11u, 12u, 13u));

// The linear Dunham fit is one step; its answer must be that of the normal equations formed here
// from the closed-form term formula, independently of the line model.
TEST(DunhamFit, EqualsTheDirectLeastSquaresSolution) {
  FitModel model;
  for (int s = 0; s < 2; ++s) {
    FitState& state = model.states[static_cast<std::size_t>(s)];
    state.letter = s == 0 ? 'A' : 'B';
    state.form = StateForm::dunham;
    state.dunham = read_dunham_file(kExamples + "/co-levels/cox.dun");
  }
  const std::vector<ParameterRef> free = parse_free_option("A:Y(1,0),Y(2,0),Y(0,1),Te", model);
  std::vector<ObservedLine> rows;
  std::mt19937_64 random(7);
  std::normal_distribution<double> gauss(0.0, 0.01);
  const DunhamCoefficients truth = model.states[0].dunham;
  for (int v = 0; v <= 6; ++v) {
    for (int J = 0; J <= 20; J += 5)
      rows.push_back(term(v, J, dunham_term(truth, v, J, 1) + gauss(random), 0.01));
  }
  for (const ParameterRef& ref : free)
    set_parameter(model, ref, get_parameter(model, ref) * 1.01 + 0.5);
  const FitModel start = model;
  const LineModel lines(rows, free, {}, model);
  const FitResult result = run_fit(model, rows, free, lines, {50});
  ASSERT_TRUE(result.converged && result.linear);
  // Direct: the residual of the start minus the basis functions of the free parameters.
  Eigen::MatrixXd A(static_cast<Eigen::Index>(rows.size()), 4);
  Eigen::VectorXd b(static_cast<Eigen::Index>(rows.size()));
  for (std::size_t r = 0; r < rows.size(); ++r) {
    const double u = rows[r].upper.v + 0.5;
    const double x = rows[r].upper.J * (rows[r].upper.J + 1.0);
    const auto i = static_cast<Eigen::Index>(r);
    A.row(i) << u, u * u, x, 1.0;
    double held = dunham_term(start.states[0].dunham, rows[r].upper.v, rows[r].upper.J, 1);
    for (int j = 0; j < 3; ++j)
      held -= A(i, j) * get_parameter(start, free[static_cast<std::size_t>(j)]);
    b(i) = rows[r].wavenumber - held;
  }
  const Eigen::VectorXd direct = (A.transpose() * A).ldlt().solve(A.transpose() * b);
  for (Eigen::Index j = 0; j < 4; ++j) {
    EXPECT_NEAR(result.value(j), direct(j), 1e-9 * std::max(1.0, std::fabs(direct(j))));
  }
  EXPECT_NEAR(result.sigma, 1.0, 0.4);
}

struct BadData {
  std::string name;
  std::string row;
  std::string message;
};

void PrintTo(const BadData& c, std::ostream* os) {
  *os << c.row;
}

class RefusedData : public ::testing::TestWithParam<BadData> {};

TEST_P(RefusedData, NamesFileLineAndWhatWasExpected) {
  const BadData c = GetParam();
  const std::string file = ::testing::TempDir() + "bad_" + c.name + ".csv";
  std::ofstream(file) << kDataColumns << "\n" << c.row << "\n";
  try {
    read_observed_lines(file);
    FAIL() << "accepted " << c.row;
  } catch (const InputError& error) {
    EXPECT_NE(std::string(error.what()).find(", line 2: expected " + c.message), std::string::npos)
        << error.what();
  }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, RefusedData,
    ::testing::Values(
        BadData{"zero_uncertainty", "A,0,0,1,-,,,,79.3,0,,",
                "a positive number in column uncertainty"},
        BadData{"negative_uncertainty", "A,0,0,1,-,,,,79.3,-1,,",
                "a positive number in column uncertainty"},
        BadData{"state", "C,0,0,1,-,,,,79.3,1,,", "a state A or B in column upper_state"},
        BadData{"mass", "A,0,0,1,-,,,,79.3,1,6,", "an integer from 1 to 5 in column mass_index"},
        BadData{"term_with_lower", "A,0,0,1,-,1,,,79.3,1,,", "an empty field"},
        BadData{"columns", "A,0,0,1,-,,,,79.3,1", "12 comma-separated fields"},
        BadData{"number", "A,0,0,1,-,,,,79.3x,1,,", "a number in column wavenumber"}),
    [](const auto& info) { return info.param.name; });

TEST(FreeNames, RefusesANameTheFormDoesNotHave) {
  FitModel model = potential_model(kExamples + "/na2-x-mlj/na2xmlj.pot", StateForm::mlj);
  EXPECT_EQ(parse_free_option("A:beta0-beta13,De", model).size(), 15u);
  for (const char* bad : {"A:a3", "A:beta51", "A:Y(1,0)", "C:De", "A:beta3-beta1", "A:De,De"}) {
    EXPECT_THROW(parse_free_option(bad, model), InputError) << bad;
  }
}

}  // namespace
}  // namespace velk::fit

namespace velk::fit {
namespace {

// --isotopologue puts the molecule's reduced mass where the levels of a curve state take theirs:
// the solver the fit builds for the state's mass index sees it, the other masses stay.
TEST(Isotopologue, ReplacesTheMassOfTheStatesMassIndex) {
  FitModel model = potential_model(kExamples + "/na2-x-analytic/na2x.pot", StateForm::analytic);
  FitState& state = model.states[0];
  state.mass_index = 2;
  const double other = state.curve.checked_header().masses[0];
  use_isotopologue(state, "(6Li)(7Li)");
  // 6Li·7Li/(6Li + 7Li) of the isotope table's masses (NIST's published values).
  const double mu = 6.0151228874 * 7.0160034366 / (6.0151228874 + 7.0160034366);
  props::StateWaveFunctions waves(state.curve, state.mass_index, {60, 1e-7}, state.grid);
  EXPECT_DOUBLE_EQ(waves.mu(), mu);
  EXPECT_EQ(state.curve.checked_header().masses[0], other);

  EXPECT_THROW(use_isotopologue(state, "24Na2"), InputError);
}

}  // namespace
}  // namespace velk::fit
