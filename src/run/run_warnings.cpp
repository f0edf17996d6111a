#include "run/run_warnings.h"

#include <filesystem>

#include "io/free_format_reader.h"
#include "io/run_folder.h"
#include "io/warning.h"

namespace velk {
namespace {

void warn_cut_name(const StateInput& state, const char* which) {
  if (state.file_as_written.empty()) return;
  warn(std::string("velk.inf: the data file name of state ") + which + ", \"" +
       state.file_as_written + "\", is cut to 12 characters: the run reads \"" +
       trimmed_file_name(state.file) + "\"");
}

bool any_job(const RunControl& control) {
  return control.level_table.switch_flag == 'y' || control.one_level.switch_flag == 'y' ||
         control.known_level.switch_flag == 'y' || control.window.switch_flag == 'y';
}

}  // namespace

const std::vector<std::string>& run_output_files() {
  static const std::vector<std::string> names{"Astate.dat",  "Bstate.dat",  "BstateP.dat",
                                              "BstateQ.dat", "BstateR.dat", "vel_tran.out",
                                              "potext.out"};
  return names;
}

void warn_on_control_file(const RunControl& control) {
  warn_cut_name(control.A, "A");
  warn_cut_name(control.B, "B");
  if (any_job(control)) return;
  // A job runs only when its switch line starts with a lower-case y: "Y" or " y" leave it off.
  warn("nothing to compute: every job switch is off");
  std::string left;
  for (const std::string& name : run_output_files()) {
    std::error_code error;
    if (!std::filesystem::exists(resolved_file_name(name), error)) continue;
    left += (left.empty() ? "" : ", ") + name;
  }
  if (!left.empty()) {
    warn("the output files " + left +
         " in the working directory are left from an earlier run; this run did not write them");
  }
}

}  // namespace velk
