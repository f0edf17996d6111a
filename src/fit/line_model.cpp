#include "fit/line_model.h"

#include <algorithm>
#include <map>
#include <tuple>

#include "fit/curve_derivatives.h"
#include "numlib/ipow.h"
#include "props/state_wave_functions.h"

namespace velk::fit {
namespace {

// The level values and derivatives of one state, one row of `dE` per level.
struct StateLevels {
  std::vector<double> E;
  Eigen::MatrixXd dE;
};

bool same_group(int state, int32_t mass, int other_state, int32_t other_mass) {
  return state == other_state && mass == other_mass;
}

}  // namespace

std::string level_words(const LevelLabel& label) {
  return std::string("state ") + label.state + " v = " + std::to_string(label.v) +
         ", J = " + std::to_string(label.J) + ", p = " + std::to_string(label.p);
}

LineModel::LineModel(const std::vector<ObservedLine>& rows, const std::vector<ParameterRef>& free,
                     const SolveLimits& limits, const FitModel& model)
    : rows_(rows), free_(free), limits_(limits) {
  std::map<std::tuple<int, int32_t, int32_t, int32_t, int32_t>, int> index;
  auto add = [&](const LevelLabel& label, int32_t mass_index) {
    const int state = label.state == 'A' ? 0 : 1;
    const FitState& s = model.states[static_cast<std::size_t>(state)];
    const int32_t mass = s.potential() ? (mass_index ? mass_index : s.mass_index) : 0;
    const auto key = std::tuple{state, mass, label.v, label.J, label.p};
    const auto found = index.find(key);
    if (found != index.end()) return found->second;
    levels_.push_back({state, mass, label.v, label.J, label.p});
    return index[key] = static_cast<int>(levels_.size() - 1);
  };
  for (const ObservedLine& row : rows_) {
    RowLevels r;
    if (row.series.empty()) {
      r.upper = add(row.upper, row.mass_index);
    } else {
      r.series = static_cast<int>(std::find(model.series.begin(), model.series.end(), row.series) -
                                  model.series.begin());
    }
    if (row.lower.state != '-') r.lower = add(row.lower, row.mass_index);
    row_levels_.push_back(r);
  }
}

Evaluation LineModel::evaluate(const FitModel& model, bool derivatives) const {
  const auto P = static_cast<Eigen::Index>(free_.size());
  const auto L = static_cast<Eigen::Index>(levels_.size());
  std::vector<double> E(static_cast<std::size_t>(L), 0.0);
  std::vector<bool> found(static_cast<std::size_t>(L), true);
  Eigen::MatrixXd dE = Eigen::MatrixXd::Zero(L, derivatives ? P : 0);
  Evaluation out;

  for (int state = 0; state < 2; ++state) {
    const FitState& s = model.states[static_cast<std::size_t>(state)];
    std::vector<Eigen::Index> columns;  // free parameters of this state's curve
    for (Eigen::Index j = 0; j < P; ++j) {
      const ParameterRef& ref = free_[static_cast<std::size_t>(j)];
      if (ref.kind != ParameterKind::series && ref.state == state && curve_parameter(ref.kind)) {
        columns.push_back(j);
      }
    }
    if (s.potential()) {
      // ∂U/∂p of the state's free curve parameters, one row of the table per grid point.
      const int N = s.grid.N;
      const auto C = static_cast<Eigen::Index>(derivatives ? columns.size() : 0);
      Eigen::Matrix<double, Eigen::Dynamic, Eigen::Dynamic, Eigen::RowMajor> dU(N + 1, C);
      std::vector<double> column(static_cast<std::size_t>(N) + 1);
      for (Eigen::Index c = 0; c < C; ++c) {
        tabulate_curve_derivative(
            s, free_[static_cast<std::size_t>(columns[static_cast<std::size_t>(c)])], column);
        for (int i = 1; i <= N; ++i) dU(i, c) = column[static_cast<std::size_t>(i)];
      }
      std::vector<int32_t> masses;
      for (const LevelUse& u : levels_) {
        if (u.state == state &&
            std::find(masses.begin(), masses.end(), u.mass_index) == masses.end()) {
          masses.push_back(u.mass_index);
        }
      }
      for (const int32_t mass : masses) {
        std::vector<props::LevelKey> keys;
        std::vector<std::size_t> level_of_key;
        for (std::size_t i = 0; i < levels_.size(); ++i) {
          const LevelUse& u = levels_[i];
          if (!same_group(u.state, u.mass_index, state, mass)) continue;
          keys.push_back({u.v, u.J, u.p});
          level_of_key.push_back(i);
        }
        props::StateWaveFunctions waves(s.curve, mass, {limits_.maxit, limits_.tol}, s.grid);
        const double h = s.grid.h;
        Eigen::RowVectorXd sum(C);
        waves.solve_listed_levels(keys, [&](std::size_t k, const props::SolvedLevel& level) {
          const std::size_t i = level_of_key[k];
          found[i] = level.found;
          E[i] = level.E + s.Te;
          if (!level.found || C == 0) return;
          // Only where the wave function lives: the fast search leaves zeros elsewhere.
          int lo = 1, hi = N;
          while (lo < hi && level.psi[static_cast<std::size_t>(lo)] == 0.0) ++lo;
          while (hi > lo && level.psi[static_cast<std::size_t>(hi)] == 0.0) --hi;
          sum.setZero();
          for (int g = lo; g <= hi; ++g) {
            const double density =
                level.psi[static_cast<std::size_t>(g)] * level.psi[static_cast<std::size_t>(g)];
            sum.noalias() += density * dU.row(g);
          }
          for (Eigen::Index c = 0; c < C; ++c) {
            dE(static_cast<Eigen::Index>(i), columns[static_cast<std::size_t>(c)]) = h * sum(c);
          }
        });
      }
    } else {
      const DunhamCoefficients& c = s.dunham;
      for (std::size_t i = 0; i < levels_.size(); ++i) {
        const LevelUse& u = levels_[i];
        if (u.state != state) continue;
        if (!c.dunham_form()) {
          // A band row that the file does not give holds no level.
          const bool row_exists = u.v < DunhamCoefficients::kRows &&
                                  std::any_of(c.Ytab[static_cast<std::size_t>(u.v)].begin(),
                                              c.Ytab[static_cast<std::size_t>(u.v)].end(),
                                              [](double y) { return y != 0.0; });
          if (!row_exists) {
            found[i] = false;
            continue;
          }
        }
        E[i] = dunham_term(c, u.v, u.J, u.p) + s.Te;
        if (!derivatives) continue;
        const double JJ1 = static_cast<double>(u.J) * (u.J + 1.0);
        const double x = JJ1 - c.dunham_lambda * c.dunham_lambda;
        const double rho = c.mass_ratio;
        const double uv = (u.v + 0.5) * rho;
        for (Eigen::Index j = 0; j < P; ++j) {
          const ParameterRef& ref = free_[static_cast<std::size_t>(j)];
          if (ref.kind == ParameterKind::series || ref.state != state) continue;
          double value = 0.0;
          if (ref.kind == ParameterKind::dunham_y) {
            value = ipow(uv, ref.k);
            for (int l = 0; l < ref.l; ++l) value = value * x * (rho * rho);
          } else if (ref.kind == ParameterKind::band && ref.k == u.v) {
            value = (ref.l == 2 ? -1.0 : 1.0) * ipow(x, ref.l);
          }
          dE(static_cast<Eigen::Index>(i), j) = value;
        }
      }
    }
    // Te moves every level of its state alike.
    if (derivatives) {
      for (Eigen::Index j = 0; j < P; ++j) {
        const ParameterRef& ref = free_[static_cast<std::size_t>(j)];
        if (ref.kind != ParameterKind::te || ref.state != state) continue;
        for (std::size_t i = 0; i < levels_.size(); ++i) {
          if (levels_[i].state == state) dE(static_cast<Eigen::Index>(i), j) = 1.0;
        }
      }
    }
  }

  const auto rows = static_cast<Eigen::Index>(rows_.size());
  out.calc.resize(rows);
  if (derivatives) out.jacobian = Eigen::MatrixXd::Zero(rows, P);
  for (Eigen::Index r = 0; r < rows; ++r) {
    const RowLevels& levels = row_levels_[static_cast<std::size_t>(r)];
    const ObservedLine& row = rows_[static_cast<std::size_t>(r)];
    double upper = 0.0;
    if (levels.series >= 0) {
      upper = model.series_energy[static_cast<std::size_t>(levels.series)];
    } else {
      if (!found[static_cast<std::size_t>(levels.upper)] && !out.missing_level) {
        out.missing_level = level_words(row.upper);
        out.missing_row = static_cast<int>(r);
      }
      upper = E[static_cast<std::size_t>(levels.upper)];
    }
    double lower = 0.0;
    if (levels.lower >= 0) {
      if (!found[static_cast<std::size_t>(levels.lower)] && !out.missing_level) {
        out.missing_level = level_words(row.lower);
        out.missing_row = static_cast<int>(r);
      }
      lower = E[static_cast<std::size_t>(levels.lower)];
    }
    out.calc(r) = upper - lower;
    if (!derivatives) continue;
    if (levels.upper >= 0) out.jacobian.row(r) += dE.row(levels.upper);
    if (levels.lower >= 0) out.jacobian.row(r) -= dE.row(levels.lower);
    if (levels.series >= 0) {
      for (Eigen::Index j = 0; j < P; ++j) {
        const ParameterRef& ref = free_[static_cast<std::size_t>(j)];
        if (ref.kind == ParameterKind::series && ref.state == levels.series) {
          out.jacobian(r, j) = 1.0;
        }
      }
    }
  }
  return out;
}

}  // namespace velk::fit
