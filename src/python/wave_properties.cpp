#include "wave_properties.h"

#include <pybind11/pybind11.h>

#include <map>
#include <memory>
#include <sstream>
#include <tuple>
#include <utility>

#include "core_call.h"
#include "io/errors.h"
#include "props/rotational_perturbation.h"
#include "props/transition_overlaps.h"
#include "run/level_limits.h"

namespace velk::python {
namespace {

// The curve's levels as velk-props finds them again, on `grid`.
std::unique_ptr<props::StateWaveFunctions> state_levels(CurveDefinition curve,
                                                        const StateSearch& search,
                                                        const RadialGrid& grid) {
  return std::make_unique<props::StateWaveFunctions>(
      std::move(curve), search.mass ? 1 : search.mass_index, search.settings, grid);
}

// Ctrl-C in the interpreter ends a long table between two levels.
void check_interrupt() {
  check_python_signals();
}

// A solved level kept for the pairs that share it.
struct KeptLevel {
  bool found = false;
  double E = 0.0;
  std::vector<double> psi;
};

class KeptLevels {
 public:
  explicit KeptLevels(props::StateWaveFunctions& levels) : levels_(levels) {}
  const KeptLevel& get(const LevelKey& key) {
    const auto index = std::make_tuple(key.v, key.J, key.p);
    if (auto it = kept_.find(index); it != kept_.end()) return it->second;
    // The memory of a few hundred levels serves the pairs of a table that share one.
    if (kept_.size() >= 256) kept_.clear();
    const props::SolvedLevel solved = levels_.solve_listed_level(key.v, key.J, key.p);
    KeptLevel kept;
    kept.found = solved.found;
    kept.E = solved.E;
    kept.psi.assign(solved.psi.begin(), solved.psi.begin() + levels_.grid().N + 1);
    return kept_.emplace(index, std::move(kept)).first->second;
  }

 private:
  props::StateWaveFunctions& levels_;
  std::map<std::tuple<int32_t, int32_t, int32_t>, KeptLevel> kept_;
};

}  // namespace

void check_level(const Curve& curve, const LevelKey& l) {
  if (const auto problem = level_request_problem({l.v, l.v, l.J, l.J, l.p, l.p})) {
    throw StopRun("velk: " + curve.name + ": " + *problem);
  }
}

void check_search(const Curve& curve, const StateSearch& search) {
  if (!search.mass && (search.mass_index < 1 || search.mass_index > 5)) {
    throw StopRun("velk: " + curve.name + ": the mass index must lie in 1..5, found " +
                  std::to_string(search.mass_index));
  }
  // The level table's stop, before velk-props' own refusal of the same mass could speak.
  const int32_t index = search.mass ? 1 : search.mass_index;
  const double mu =
      search.mass ? *search.mass : curve.header.masses[static_cast<std::size_t>(index - 1)];
  if (!(mu > 0.0)) {
    std::ostringstream text;
    text << "velk: " << curve.name << ": reduced mass " << index << " must be positive, found "
         << mu;
    throw StopRun(text.str());
  }
}

std::vector<LevelPropertiesRow> level_properties(const Curve& curve, const StateSearch& search,
                                                 const std::vector<LevelKey>& levels) {
  check_search(curve, search);
  for (const LevelKey& l : levels) check_level(curve, l);
  CurveDefinition definition = curve.definition_with_first_mass(search.mass);
  return without_gil([&] {
    const auto states = state_levels(std::move(definition), search, search.grid);
    props::RotationalPerturbation perturbation;
    // All levels in one request, J by J, as velk-props A solves the rows of a level file.
    std::vector<props::LevelKey> keys;
    keys.reserve(levels.size());
    for (const LevelKey& key : levels) keys.push_back(props::LevelKey{key.v, key.J, key.p});
    std::vector<LevelPropertiesRow> rows(levels.size());
    states->solve_listed_levels(keys, [&](std::size_t n, const props::SolvedLevel& l) {
      LevelPropertiesRow& row = rows[n];
      row.level = levels[n];
      row.found = l.found;
      if (l.found) {
        row.E = l.E;
        row.figures = props::level_figures(l, states->grid(), states->mu(), perturbation);
        row.tunnel = l.tunnel;
      }
      check_interrupt();
    });
    return rows;
  });
}

std::vector<OverlapRow> level_overlaps(const Curve& upper, const Curve& lower,
                                       const OverlapRequest& request) {
  check_search(upper, request.upper);
  check_search(lower, request.lower);
  for (const auto& [u, l] : request.pairs) {
    check_level(upper, u);
    check_level(lower, l);
  }
  if (request.pairs.empty()) return {};
  const RadialGrid grid = props::common_grid(request.upper.grid, request.lower.grid);
  CurveDefinition upper_curve = upper.definition_with_first_mass(request.upper.mass);
  CurveDefinition lower_curve = lower.definition_with_first_mass(request.lower.mass);
  return without_gil([&] {
    const auto upper_states = state_levels(std::move(upper_curve), request.upper, grid);
    const auto lower_states = state_levels(std::move(lower_curve), request.lower, grid);
    KeptLevels upper_levels(*upper_states), lower_levels(*lower_states);
    std::vector<OverlapRow> rows;
    rows.reserve(request.pairs.size());
    for (const auto& [u, l] : request.pairs) {
      OverlapRow row;
      row.upper = u;
      row.lower = l;
      const KeptLevel& a = upper_levels.get(u);
      const KeptLevel& b = lower_levels.get(l);
      if (a.found && b.found) {
        row.found = true;
        row.figures = props::overlap_figures(grid, a.psi, b.psi, request.moment);
        row.upper_E = a.E;
        row.lower_E = b.E;
      }
      rows.push_back(row);
      check_interrupt();
    }
    return rows;
  });
}

}  // namespace velk::python
