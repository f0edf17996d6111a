// The table of a state's levels: velk-props A, velk-props B.
//
// Each level line of the level file is solved again (StateWaveFunctions) and written as one row of
// <stem>_props.csv: v, J, p, E, found, the turning points, ⟨R⟩, ⟨R²⟩, ⟨R⁻²⟩, Bv, Dv, Hv, the
// tunnelling figure and the listed energy. With `wavefunctions`, <stem>_wf.csv holds R and one
// normalised wave function per level line; a table that would exceed `limit_mb` megabytes is
// refused (an InputError saying its size) before anything is solved.
//
// The level file may come from a plain or a fast run: a found energy within the tolerance and
// the printed rounding of the listed one (of a level the run converged) passes silently, one
// farther than ten times the tolerance is an InputError (the level file belongs to another curve
// or grid than velk.inf gives), one between is a warning.
#pragma once

#include <string>

namespace velk::props {

// The largest wave-function table written unless asked for more (--wavefunctions-limit).
inline constexpr double kDefaultWaveFunctionLimitMB = 1000.0;

struct WaveFunctionRequest {
  bool wanted = false;
  double limit_mb = kDefaultWaveFunctionLimitMB;
};

void write_state_table(char letter, const std::string& level_file,
                       const WaveFunctionRequest& wavefunctions);

// The output names: "Astate.dat" -> "Astate_props.csv" and "Astate_wf.csv".
std::string props_file_name(const std::string& level_file);
std::string wavefunction_file_name(const std::string& level_file);

}  // namespace velk::props
