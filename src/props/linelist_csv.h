// The line list as the table of the spectrum command, NAME.csv: the columns of vel_tran.csv after
// velk-props spectrum, so that a script that reads one reads the other:
//   line,branch,upper_v,upper_J,upper_p,lower_v,lower_J,lower_p,wavenumber,FCF,r_centroid,
//   moment,overlap,upper_E,lower_E,HL,intensity,A_einstein
// One row per line, in the order of NAME.trans (line k is its k-th line). The upper level is the
// one higher in energy; upper_E and lower_E are the levels' energies as solved (cm-1, the zero of
// the curves, as in vel_tran.csv), wavenumber their difference. The list keeps each line's
// Einstein coefficient, not its overlaps: FCF, r_centroid and overlap are empty, and moment is
// |⟨ψ′|M|ψ″⟩| in debye, recovered from A (its sign is not kept). HL is the Hönl–London factor of
// the spectrum command, A_einstein the A of NAME.trans (s⁻¹), and intensity the spectrum
// command's absorption intensity at the temperature T,
//   I = ν · HL · moment² · g_tot″ exp(−c₂E″/T) / ((2J″ + 1) Q(T)),
// with E″ above the lowest level and Q(T) the list's own partition function (that of NAME.pf), so
// that the nuclear-spin weights of g_tot take the place of --spin-weights.
#pragma once

#include <string>

#include "props/linelist_blocks.h"

namespace velk::props {

// NAME.csv of a whole list, and the line that says so.
void write_linelist_csv(const LineList& list, const std::string& name, double temperature);

}  // namespace velk::props
