// The observed data of a fit: one CSV row a line or term value, read whole before anything is
// computed, so that a malformed file stops the program before it writes anything.
//
// Columns, in this order, under a first line that names them so:
//   upper_state,upper_v,upper_J,upper_p,lower_state,lower_v,lower_J,lower_p,
//   wavenumber,uncertainty,mass_index,series
// States are `A` or `B` (velk.inf's); a term value has lower state `-` and its lower level's three
// fields empty. `uncertainty` (cm-1) is positive; `mass_index` (1..5) may be empty for the
// state's own index of velk.inf; `series` names a fluorescence series whose common upper level is
// a parameter of its own, empty otherwise. Blank lines and lines starting with `#` are skipped.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "io/free_format_reader.h"

namespace velk::fit {

inline constexpr std::string_view kDataColumns =
    "upper_state,upper_v,upper_J,upper_p,lower_state,lower_v,lower_J,lower_p,wavenumber,"
    "uncertainty,mass_index,series";

struct LevelLabel {
  char state = '-';  // 'A', 'B', or '-' for none (the lower level of a term value)
  int32_t v = 0, J = 0, p = 0;
};

struct ObservedLine {
  int line = 0;  // line of the data file
  LevelLabel upper, lower;
  double wavenumber = 0.0, uncertainty = 0.0;
  int32_t mass_index = 0;           // 0: the state's index of velk.inf
  std::string series;               // empty: the upper level is computed
  std::vector<std::string> fields;  // as written, for the residual file
};

// Reads the file (regular files only, lines of at most 1 MiB); a malformed row is an InputError
// naming the file, the line and what was expected there.
std::vector<ObservedLine> read_observed_lines(std::string_view file_name);
// The same from a text read beforehand or made in memory; the messages name text.name.
std::vector<ObservedLine> read_observed_lines(const InputText& text);

}  // namespace velk::fit
