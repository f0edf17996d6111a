// The table of a run's transition lines: velk-props transitions.
//
// Each line of vel_tran.out becomes a row of vel_tran.csv with its branch, the quantum numbers
// and parities of its two levels, its wavenumber and, when both states are potential curves and
// both levels are found, the Franck-Condon factor, the r-centroid, the matrix element of the
// transition moment in `moment_file` (none when empty), the signed overlap and the two energies
// on the common grid (transition_overlaps.h).
#pragma once

#include <string>

namespace velk::props {

void write_transition_properties(const std::string& moment_file);

}  // namespace velk::props
