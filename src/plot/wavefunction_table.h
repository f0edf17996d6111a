// The wave functions velk-props writes with --wavefunctions (Astate_wf.csv), read back for the
// picture of a state: a header "R,\"v=0,J=10\",..." (",p=1" added to a name when the level file
// holds several parities), then one row per grid point, R in Å and each level's normalised ψ in
// Å^-1/2, an empty cell for a level the search did not find.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace velk::plot {

struct WaveFunctionColumn {
  int32_t v = 0, J = 0;
  std::optional<int32_t> p;
  std::vector<double> psi;  // one per row; NaN where the cell is empty
};

struct WaveFunctionTable {
  std::vector<double> R;
  std::vector<WaveFunctionColumn> columns;
  // The column of a level, or nullptr.
  const WaveFunctionColumn* find(int32_t v, int32_t J, int32_t p) const;
};

// A missing file, a header that is not R and level names, or a row that is not numbers throws
// InputError naming the file and the line.
WaveFunctionTable read_wavefunction_table(const std::string& path);

}  // namespace velk::plot
