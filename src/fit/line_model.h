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
#include <array>
#include <memory>
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
  // Per row, the largest error (cm-1) the searches of its levels leave in calc: the sum of its
  // levels' search tolerances (0 for a level in closed form). Differences of calc below it are
  // not the curve's.
  Eigen::VectorXd resolution;
  // The first row whose level was not found, and why; the values are then meaningless.
  std::optional<std::string> missing_level;
  int missing_row = -1;
};

class LineModel {
 public:
  // The levels the rows need, by state and mass index; the model gives the states' forms, curves'
  // headers and default mass indices, which a fit does not change. The levels of the distinct J
  // are computed on `threads` threads, each with searches of its own made here, once; the values
  // are the same for every count.
  LineModel(const std::vector<ObservedLine>& rows, const std::vector<ParameterRef>& free,
            const SolveLimits& limits, const FitModel& model, int threads = 1);
  ~LineModel();

  // Values (and, with `derivatives`, the Jacobian) at the model's parameters. The searches are
  // the model's own: one evaluation at a time.
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
  // The levels of one potential state and mass index, by J; a block is the levels of one J.
  struct LevelGroup;
  struct Worker;
  // One J of one group: what a thread takes at a time.
  struct JBlock {
    std::size_t group = 0;
    std::size_t first = 0, last = 0;  // its keys in the group's list, [first, last)
  };
  void solve_block(Worker& worker, const JBlock& block, const FitModel& model,
                   bool derivatives) const;

  const std::vector<ObservedLine>& rows_;
  std::vector<ParameterRef> free_;
  SolveLimits limits_;
  std::vector<LevelUse> levels_;
  std::vector<RowLevels> row_levels_;
  std::vector<LevelGroup> groups_;
  std::vector<JBlock> blocks_;
  // The work space of an evaluation: the searches of each thread, and the values and derivatives
  // of the levels, sized once.
  mutable std::vector<std::unique_ptr<Worker>> workers_;
  mutable std::vector<double> E_;
  mutable std::vector<unsigned char> found_;
  mutable std::vector<double> resolution_;
  mutable Eigen::Matrix<double, Eigen::Dynamic, Eigen::Dynamic, Eigen::RowMajor> dE_;
  // Per state: ∂U/∂p of its free curve parameters, one row per grid point.
  mutable std::array<Eigen::Matrix<double, Eigen::Dynamic, Eigen::Dynamic, Eigen::RowMajor>, 2> dU_;
  mutable std::array<std::vector<Eigen::Index>, 2> curve_columns_;
};

// The level that the row's upper or lower label names, in words for the messages.
std::string level_words(const LevelLabel& label);

}  // namespace velk::fit
