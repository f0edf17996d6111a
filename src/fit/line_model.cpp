#include "fit/line_model.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <map>
#include <mutex>
#include <thread>
#include <tuple>

#include "fit/curve_derivatives.h"
#include "numlib/ipow.h"
#include "props/state_wave_functions.h"

namespace velk::fit {
struct LineModel::LevelGroup {
  int state = 0;
  int32_t mass_index = 0;
  std::vector<props::LevelKey> keys;      // by J, then v
  std::vector<std::size_t> level_of_key;  // index into levels_
  // The v of the fast search, those of the whole list: every J is searched alike, whichever
  // thread takes it.
  QuantumRange fast_range;
};

// A thread's searches, one per group, made when the thread first takes one of its J.
struct LineModel::Worker {
  std::vector<std::unique_ptr<props::StateWaveFunctions>> waves;
  std::vector<unsigned char> on_current_curve;
  Eigen::RowVectorXd sum;
};

LineModel::~LineModel() = default;

std::string level_words(const LevelLabel& label) {
  return std::string("state ") + label.state + " v = " + std::to_string(label.v) +
         ", J = " + std::to_string(label.J) + ", p = " + std::to_string(label.p);
}

LineModel::LineModel(const std::vector<ObservedLine>& rows, const std::vector<ParameterRef>& free,
                     const SolveLimits& limits, const FitModel& model, int threads)
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

  // The levels of the curve states, grouped by state and mass index, each group by J.
  std::map<std::pair<int, int32_t>, std::vector<std::size_t>> by_group;
  for (std::size_t i = 0; i < levels_.size(); ++i) {
    const LevelUse& u = levels_[i];
    if (model.states[static_cast<std::size_t>(u.state)].potential()) {
      by_group[{u.state, u.mass_index}].push_back(i);
    }
  }
  for (auto& [key, members] : by_group) {
    std::stable_sort(members.begin(), members.end(), [&](std::size_t a, std::size_t b) {
      return levels_[a].J != levels_[b].J ? levels_[a].J < levels_[b].J
                                          : levels_[a].v < levels_[b].v;
    });
    LevelGroup group;
    group.state = key.first;
    group.mass_index = key.second;
    for (const std::size_t i : members) {
      group.keys.push_back({levels_[i].v, levels_[i].J, levels_[i].p});
      group.level_of_key.push_back(i);
    }
    group.fast_range = props::fast_search_range(group.keys);
    for (std::size_t first = 0; first < group.keys.size();) {
      std::size_t last = first;
      while (last < group.keys.size() && group.keys[last].J == group.keys[first].J) ++last;
      blocks_.push_back({groups_.size(), first, last});
      first = last;
    }
    groups_.push_back(std::move(group));
  }
  const std::size_t worker_count = std::max<std::size_t>(
      1, std::min<std::size_t>(static_cast<std::size_t>(std::max(threads, 1)), blocks_.size()));
  for (std::size_t w = 0; w < worker_count; ++w) {
    auto worker = std::make_unique<Worker>();
    worker->waves.resize(groups_.size());
    worker->on_current_curve.assign(groups_.size(), 0);
    workers_.push_back(std::move(worker));
  }
  E_.assign(levels_.size(), 0.0);
  found_.assign(levels_.size(), 1);
  resolution_.assign(levels_.size(), 0.0);
}

void LineModel::solve_block(Worker& worker, const JBlock& block, const FitModel& model,
                            bool derivatives) const {
  const LevelGroup& group = groups_[block.group];
  const FitState& s = model.states[static_cast<std::size_t>(group.state)];
  auto& waves = worker.waves[block.group];
  if (!waves) {
    waves = std::make_unique<props::StateWaveFunctions>(
        s.curve, group.mass_index, props::SolveSettings{limits_.maxit, limits_.tol}, s.grid);
  } else if (!worker.on_current_curve[block.group]) {
    waves->use_curve(s.curve);
  }
  worker.on_current_curve[block.group] = 1;
  const auto& dU = dU_[static_cast<std::size_t>(group.state)];
  const std::vector<Eigen::Index>& columns = curve_columns_[static_cast<std::size_t>(group.state)];
  const auto C = static_cast<Eigen::Index>(derivatives ? columns.size() : 0);
  const int N = s.grid.N;
  const double h = s.grid.h;
  worker.sum.resize(C);
  const std::span<const props::LevelKey> keys(group.keys.data() + block.first,
                                              block.last - block.first);
  waves->solve_listed_levels(
      keys, group.fast_range, [&](std::size_t k, const props::SolvedLevel& level) {
        const std::size_t i = group.level_of_key[block.first + k];
        found_[i] = level.found ? 1 : 0;
        E_[i] = level.E + s.Te;
        // The level service promises each energy within the tolerance, whichever search found it
        // (the fast one searches further, but its last step's error is not a bound).
        resolution_[i] = limits_.tol;
        if (!level.found || C == 0) return;
        // Only where the wave function lives: the fast search leaves zeros elsewhere.
        int lo = 1, hi = N;
        while (lo < hi && level.psi[static_cast<std::size_t>(lo)] == 0.0) ++lo;
        while (hi > lo && level.psi[static_cast<std::size_t>(hi)] == 0.0) --hi;
        Eigen::RowVectorXd& sum = worker.sum;
        sum.setZero();
        for (int g = lo; g <= hi; ++g) {
          const double density =
              level.psi[static_cast<std::size_t>(g)] * level.psi[static_cast<std::size_t>(g)];
          sum.noalias() += density * dU.row(g);
        }
        for (Eigen::Index c = 0; c < C; ++c) {
          dE_(static_cast<Eigen::Index>(i), columns[static_cast<std::size_t>(c)]) = h * sum(c);
        }
      });
}

Evaluation LineModel::evaluate(const FitModel& model, bool derivatives) const {
  const auto P = static_cast<Eigen::Index>(free_.size());
  const auto L = static_cast<Eigen::Index>(levels_.size());
  std::fill(E_.begin(), E_.end(), 0.0);
  std::fill(found_.begin(), found_.end(), 1);
  std::fill(resolution_.begin(), resolution_.end(), 0.0);
  dE_.setZero(L, derivatives ? P : 0);
  Evaluation out;

  // ∂U/∂p of each curve state's free parameters, read by every thread.
  for (int state = 0; state < 2; ++state) {
    const FitState& s = model.states[static_cast<std::size_t>(state)];
    std::vector<Eigen::Index>& columns = curve_columns_[static_cast<std::size_t>(state)];
    columns.clear();
    for (Eigen::Index j = 0; j < P; ++j) {
      const ParameterRef& ref = free_[static_cast<std::size_t>(j)];
      if (ref.kind != ParameterKind::series && ref.state == state && curve_parameter(ref.kind)) {
        columns.push_back(j);
      }
    }
    if (!s.potential() || !derivatives) continue;
    const int N = s.grid.N;
    const auto C = static_cast<Eigen::Index>(columns.size());
    auto& dU = dU_[static_cast<std::size_t>(state)];
    dU.setZero(N + 1, C);
    std::vector<double> column(static_cast<std::size_t>(N) + 1);
    for (Eigen::Index c = 0; c < C; ++c) {
      tabulate_curve_derivative(
          s, free_[static_cast<std::size_t>(columns[static_cast<std::size_t>(c)])], column);
      for (int i = 1; i <= N; ++i) dU(i, c) = column[static_cast<std::size_t>(i)];
    }
  }

  // The J blocks in a fixed order, taken by the threads as they come free. Each level is written
  // by the one block that holds it, so that the values do not depend on the thread count. Of the
  // blocks that fail, the first in order is reported, as a single thread would report it.
  for (const auto& worker : workers_) {
    std::fill(worker->on_current_curve.begin(), worker->on_current_curve.end(), 0);
  }
  std::atomic<std::size_t> next{0};
  std::atomic<bool> failed{false};
  std::mutex failure_lock;
  std::size_t failed_block = blocks_.size();
  std::exception_ptr failure;
  auto work = [&](Worker& worker) {
    for (;;) {
      if (failed.load()) return;
      const std::size_t b = next.fetch_add(1);
      if (b >= blocks_.size()) return;
      try {
        solve_block(worker, blocks_[b], model, derivatives);
      } catch (...) {
        const std::lock_guard<std::mutex> guard(failure_lock);
        if (b < failed_block) {
          failed_block = b;
          failure = std::current_exception();
        }
        failed.store(true);
        return;
      }
    }
  };
  {
    std::vector<std::thread> helpers;
    helpers.reserve(workers_.size() - 1);
    for (std::size_t w = 1; w < workers_.size(); ++w) {
      helpers.emplace_back([&, w] { work(*workers_[w]); });
    }
    work(*workers_[0]);
    for (std::thread& helper : helpers) helper.join();
  }
  if (failure) std::rethrow_exception(failure);

  for (int state = 0; state < 2; ++state) {
    const FitState& s = model.states[static_cast<std::size_t>(state)];
    if (!s.potential()) {
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
            found_[i] = 0;
            continue;
          }
        }
        E_[i] = dunham_term(c, u.v, u.J, u.p) + s.Te;
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
          dE_(static_cast<Eigen::Index>(i), j) = value;
        }
      }
    }
    // Te moves every level of its state alike.
    if (derivatives) {
      for (Eigen::Index j = 0; j < P; ++j) {
        const ParameterRef& ref = free_[static_cast<std::size_t>(j)];
        if (ref.kind != ParameterKind::te || ref.state != state) continue;
        for (std::size_t i = 0; i < levels_.size(); ++i) {
          if (levels_[i].state == state) dE_(static_cast<Eigen::Index>(i), j) = 1.0;
        }
      }
    }
  }

  const auto rows = static_cast<Eigen::Index>(rows_.size());
  out.calc.resize(rows);
  out.resolution.setZero(rows);
  if (derivatives) out.jacobian = Eigen::MatrixXd::Zero(rows, P);
  for (Eigen::Index r = 0; r < rows; ++r) {
    const RowLevels& levels = row_levels_[static_cast<std::size_t>(r)];
    const ObservedLine& row = rows_[static_cast<std::size_t>(r)];
    double upper = 0.0;
    if (levels.series >= 0) {
      upper = model.series_energy[static_cast<std::size_t>(levels.series)];
    } else {
      if (!found_[static_cast<std::size_t>(levels.upper)] && !out.missing_level) {
        out.missing_level = level_words(row.upper);
        out.missing_row = static_cast<int>(r);
      }
      upper = E_[static_cast<std::size_t>(levels.upper)];
      out.resolution(r) += resolution_[static_cast<std::size_t>(levels.upper)];
    }
    double lower = 0.0;
    if (levels.lower >= 0) {
      if (!found_[static_cast<std::size_t>(levels.lower)] && !out.missing_level) {
        out.missing_level = level_words(row.lower);
        out.missing_row = static_cast<int>(r);
      }
      lower = E_[static_cast<std::size_t>(levels.lower)];
      out.resolution(r) += resolution_[static_cast<std::size_t>(levels.lower)];
    }
    out.calc(r) = upper - lower;
    if (!derivatives) continue;
    if (levels.upper >= 0) out.jacobian.row(r) += dE_.row(levels.upper);
    if (levels.lower >= 0) out.jacobian.row(r) -= dE_.row(levels.lower);
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
