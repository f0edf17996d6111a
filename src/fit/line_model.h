// The calculated values of the observed lines and their derivatives by the free parameters, for
// one set of parameter values.
//
// Levels of a potential state come from the level service through velk-props' StateWaveFunctions
// (the fast search, the exact search where it hands a level back), one solve for each J of each
// state and mass index, however many rows name the level. Their derivatives are the
// Hellmann-Feynman expectation values h·Σψ²·∂U/∂p of the same wave functions, so that a set of
// derivatives costs no solve beyond the levels. Dunham and band-constant terms, Te and the series
// energies enter linearly, with their derivatives in closed form.
#pragma once

#include <Eigen/Dense>
#include <optional>
#include <string>
#include <vector>

#include "fit/fit_model.h"
#include "fit/observed_lines.h"

namespace velk::fit {

struct SolveLimits {
  int32_t maxit = 60;
  double tol = 1e-5;  // cm-1
};

struct Evaluation {
  Eigen::VectorXd calc;      // one per row, cm-1
  Eigen::MatrixXd jacobian;  // ∂calc/∂p, rows × free parameters
  // The first row whose level was not found, and why; the values are then meaningless.
  std::optional<std::string> missing_level;
  int missing_row = -1;
};

class LineModel {
 public:
  // The levels the rows need, by state and mass index; the model gives the states' forms and
  // default mass indices, which a fit does not change.
  LineModel(const std::vector<ObservedLine>& rows, const std::vector<ParameterRef>& free,
            const SolveLimits& limits, const FitModel& model);

  // Values (and, with `derivatives`, the Jacobian) at the model's parameters.
  Evaluation evaluate(const FitModel& model, bool derivatives = true) const;

 private:
  struct LevelUse {
    int state = 0;
    int32_t mass_index = 0;  // 0 for a Dunham state
    int32_t v = 0, J = 0, p = 0;
  };
  struct RowLevels {
    int upper = -1;  // index into levels_, -1 for a series energy
    int lower = -1;  // -1 for a term value
    int series = -1;
  };
  const std::vector<ObservedLine>& rows_;
  std::vector<ParameterRef> free_;
  SolveLimits limits_;
  std::vector<LevelUse> levels_;
  std::vector<RowLevels> row_levels_;
};

// The level that the row's upper or lower label names, in words for the messages.
std::string level_words(const LevelLabel& label);

}  // namespace velk::fit
