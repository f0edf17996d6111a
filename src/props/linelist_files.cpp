#include "props/linelist_files.h"

#include "io/errors.h"
#include "props/linelist_csv.h"
#include "props/props_files.h"

namespace velk::props {

void write_list_files(const SolvedList& solved, const std::string& name,
                      const ListFileOptions& files) {
  if (solved.levels.empty()) {
    throw InputError(std::string(kPrefix) + "linelist: neither state holds a bound level");
  }
  LineList list =
      number_line_list(solved.levels, solved.lines, solved.spins, solved.Lambda_A, solved.Lambda_B);
  list.half_widths = solved.quasi_bound;
  check_states_fields(list, name);
  if (files.par) check_hitran_fields(list, name);
  write_exomol_files(list, name, files.tmax, files.threads);
  if (files.par) write_hitran_file(list, name, files.hitran);
  if (files.csv) write_linelist_csv(list, name, files.hitran.temperature);
}

}  // namespace velk::props
