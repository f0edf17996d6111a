// The ExoMol files of a line list as velk-props linelist writes them, read back for the spectrum
// of a whole list (NAME.states and NAME.trans; the format: linelist_exomol.h of velk-props).
//
// NAME.states: one level a line, the fields separated by blanks: i E g_tot J tau +/- e/f State
// v Lambda (i = 1, 2, … in order; E in cm-1 above the lowest level; tau a number or "inf"; +/- a
// "+" or "-"; e/f "e", "f" or "-"; State "A" or "B"). NAME.trans: upper_i lower_i A (s⁻¹), the
// numbers of two levels of NAME.states. Anything else (a missing field, a number that is not
// one or not finite, a level number out of range) is an InputError "<program>: <file>: line N:
// expected ...".
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace velk {

struct ExomolState {
  double E = 0.0;  // cm-1 above the lowest level
  int32_t g_tot = 0, J = 0, v = 0, Lambda = 0;
  char parity = '+';  // '+' or '-'
  char e_f = '-';     // 'e', 'f' or '-'
  char state = 'A';   // 'A' or 'B'
};

struct ExomolLine {
  std::size_t upper = 0, lower = 0;  // positions in `states` (the level number − 1)
  double A = 0.0;                    // s⁻¹
};

struct ExomolList {
  std::vector<ExomolState> states;
  std::vector<ExomolLine> lines;
};

// Reads NAME.states and NAME.trans; a missing file names the command that writes it.
ExomolList read_exomol_list(const std::string& name, std::string_view program);

}  // namespace velk
