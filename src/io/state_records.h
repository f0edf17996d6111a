// The two state descriptions at the start of velk.inf (records 1 to 10), read by velk as the
// beginning of its control file and by velk-plot, which needs nothing after them.
//
// Records: a heading line; state A's data file name (a text of width 12), its kind (width 1) and
// its mass index; the same three for state B; a heading line; state A's grid Rmin, Rmax (Å) and
// N; state B's grid. Texts are read with a fixed width, numbers by free-format reads; a missing
// record or a value of the wrong kind is an InputError naming file and line.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "io/free_format_reader.h"

namespace velk {

struct StateInput {
  std::string file = std::string(12, ' ');  // data file name, exactly 12 characters
  int file_line = 0;                        // the line of the control file that names it
  char kind = ' ';                          // 'd': Dunham coefficients; anything else: potential
  int32_t mass_index = 0;                   // which of the five reduced masses (1..5)
  double Rmin = 0.0;                        // first grid radius, Å
  double Rmax = 0.0;                        // last grid radius, Å
  int32_t N = 0;                            // number of grid points
  // The name as the line writes it when a word runs on past the 12th character (the name used
  // is then cut); empty otherwise.
  std::string file_as_written;
};

struct StateRecords {
  StateInput A;
  StateInput B;
};

// Reads records 1 to 10 from a reader standing at the start of the control file, leaving it on
// the line after them.
StateRecords read_state_records(FreeFormatReader& in);

// Opens the control file and reads its records 1 to 10; the rest of the file is not looked at.
StateRecords read_state_records(std::string_view path);

}  // namespace velk
