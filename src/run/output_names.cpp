#include "run/output_names.h"

#include <algorithm>

#include "io/errors.h"
#include "io/free_format_reader.h"
#include "io/run_file_check.h"

namespace velk {
namespace {

constexpr const char* kTransitionFile = "vel_tran.out";
constexpr const char* kFitReport = "potext.out";

// The state-B level files a transition job requests under a branch code, as the transition runs
// name them; none for a code other than 1, 2 and 3.
std::vector<std::string> branch_files(int32_t branch) {
  switch (branch) {
    case 1:
      return {"BstateQ.dat"};
    case 2:
      return {"BstateP.dat", "BstateR.dat"};
    case 3:
      return {"BstateP.dat", "BstateR.dat", "BstateQ.dat"};
    default:
      return {};
  }
}

bool writes_transitions(int32_t branch) {
  return branch >= 1 && branch <= 3;
}

class OutputList {
 public:
  void add(const std::string& name) {
    if (std::find(names_.begin(), names_.end(), name) == names_.end()) names_.push_back(name);
  }
  void add_branch(int32_t branch) {
    for (const std::string& name : branch_files(branch)) add(name);
  }
  void uses(const StateInput& state) { builds_curve_ = builds_curve_ || state.kind != 'd'; }

  std::vector<std::string> finish() {
    if (builds_curve_) add(kFitReport);
    return std::move(names_);
  }

 private:
  std::vector<std::string> names_;
  bool builds_curve_ = false;
};

}  // namespace

std::vector<std::string> run_output_names(const RunControl& control) {
  OutputList out;
  const LevelTableBlock& table = control.level_table;
  if (table.switch_flag == 'y') {
    out.add(table.state == 1 ? "Astate.dat" : "Bstate.dat");
    out.uses(table.state == 1 ? control.A : control.B);
  }
  const OneLevelBlock& one = control.one_level;
  if (one.switch_flag == 'y') {
    out.add("Astate.dat");
    out.uses(control.A);
    if (writes_transitions(one.branch)) {
      out.add_branch(one.branch);
      out.add(kTransitionFile);
      out.uses(control.B);
    }
  }
  const KnownLevelBlock& known = control.known_level;
  if (known.switch_flag == 'y' && writes_transitions(known.branch)) {
    out.add_branch(known.branch);
    out.add(kTransitionFile);
    out.uses(known.state == 1 ? control.A : control.B);
  }
  const WindowBlock& window = control.window;
  if (window.switch_flag == 'y') {
    out.add("Astate.dat");
    out.add(kTransitionFile);
    out.uses(control.A);
    if (writes_transitions(window.branch)) {
      out.add_branch(window.branch);
      out.uses(control.B);
    }
  }
  return out.finish();
}

void refuse_inputs_named_as_outputs(const RunControl& control) {
  const std::vector<std::string> outputs = run_output_names(control);
  const auto check = [&](const StateInput& state, const char* which) {
    for (const std::string& output : outputs) {
      if (!names_same_file(state.file, output)) continue;
      throw InputError("velk: velk.inf, line " + std::to_string(state.file_line) +
                       ": the data file of state " + which + ", \"" +
                       trimmed_file_name(state.file) + "\", is the output " + output +
                       " of this run and would be overwritten");
    }
  };
  check(control.A, "A");
  check(control.B, "B");
}

}  // namespace velk
