#include "props/linelist_csv.h"

#include <cmath>

#include "io/errors.h"
#include "io/formatted_output.h"
#include "io/output_file.h"
#include "io/transition_file.h"
#include "props/csv_table.h"
#include "props/props_files.h"
#include "spectrum/honl_london.h"
#include "spectrum/line_intensity.h"
#include "spectrum/physical_constants.h"

namespace velk::props {

void write_linelist_csv(const LineList& list, const std::string& name, double temperature) {
  const double Q = partition_function(list, temperature);
  const double c2 = spectrum::kSecondRadiation;
  OutputFile out(name + ".csv");
  out.line(
      "line,branch,upper_v,upper_J,upper_p,lower_v,lower_J,lower_p,wavenumber,FCF,r_centroid,"
      "moment,overlap,upper_E,lower_E,HL,intensity,A_einstein");
  for (std::size_t k = 0; k < list.lines.size(); ++k) {
    const ListedLine& line = list.lines[k];
    const ListedLevel& upper = list.levels[line.upper];
    const ListedLevel& lower = list.levels[line.lower];
    const double nu = upper.E - lower.E;
    const double HL =
        spectrum::honl_london({upper.J, lower.J, upper.state == 'A' ? list.Lambda_A : list.Lambda_B,
                               lower.state == 'A' ? list.Lambda_A : list.Lambda_B});
    // A per unit moment squared gives the squared moment back; a line of HL 0 is never listed.
    const double per_unit_moment = spectrum::einstein_A(nu, HL, upper.J, 1.0);
    const double moment_squared = per_unit_moment > 0.0 ? line.A / per_unit_moment : 0.0;
    const double lower_fraction =
        list.g_tot[line.lower] * std::exp(-c2 * list.energies[line.lower] / temperature) / Q;
    const double intensity = nu * HL * moment_squared * lower_fraction / (2.0 * lower.J + 1.0);
    CsvRow row;
    row.integer(static_cast<int64_t>(k + 1))
        .text(std::string(1, branch_letter(branch_of(lower.J, upper.J))))
        .integer(upper.v)
        .integer(upper.J)
        .integer(upper.p)
        .integer(lower.v)
        .integer(lower.J)
        .integer(lower.p)
        .number(nu)
        .empty()
        .empty()
        .number(std::sqrt(moment_squared))
        .empty()
        .number(upper.E)
        .number(lower.E)
        .number(HL)
        .number(intensity)
        .number(line.A);
    out.line(row.line());
  }
  out.close();
  say(std::string(kPrefix) + "wrote " + name + ".csv (" + std::to_string(list.lines.size()) +
      " lines, intensities at " + shortest_decimal(temperature) + " K)");
}

}  // namespace velk::props
