// The line list as a HITRAN line file, NAME.par: the 160-character records of the HITRAN 2004
// edition, one line each, sorted by wavenumber (lines of one wavenumber by upper, then lower
// level number, the order of NAME.trans).
//
//   col   1  M   I2     molecule id (0 unless --hitran-id M I)
//         3  I   I1     isotopologue id (0 unless --hitran-id)
//         4  ν   F12.6  cm-1, E′ − E″
//        16  S   E10.3  cm/molecule at the temperature T of the file (296 K unless --temperature):
//                       S = g′ A (1 − exp(−c₂ν/T)) exp(−c₂E″/T) / (8πc ν² Q(T)), c in cm/s,
//                       Q(T) the list's own partition function (that of NAME.pf), abundance 1
//        26  A   E10.3  s⁻¹
//        36  γair F5.4, 41 γself F5.3, 46 E″ F10.4 (cm-1 above the lowest level, as NAME.states),
//        56  n_air F4.2, 60 δair F8.6: the list has no broadening or shift, those four are zero
//        68  V′, 83 V″ (A15 each): 8 blanks, the state letter (A1), 3 blanks, v (I3)
//        98  Q′, 113 Q″ (A15 each): 6 blanks, J (I5), a blank, the total parity (+ or −),
//                       a blank, e or f (− for a Σ state)
//       128  Ierr 6I1 "000000", 134 Iref 6I2 all 0 (no source), 146 line-mixing flag A1 blank
//       147  g′ F7.1, 154 g″ F7.1 (g_tot of the upper and the lower level)
//
// A figure that does not fit its field (ν or E″ of 100000 cm-1 or more, g above 99999, v above
// 999, J above 99999) is an InputError (check_hitran_fields), raised before any file of the list
// is written: HITRAN's fields cannot hold it, and a cut or starred field would be read as another
// number.
#pragma once

#include <cstdint>
#include <string>

#include "io/output_file.h"
#include "props/linelist_blocks.h"
#include "props/linelist_exomol.h"

namespace velk::props {

struct HitranOptions {
  double temperature = 296.0;   // K, the reference temperature of the intensities
  int32_t molecule_id = 0;      // 0..99
  int32_t isotopologue_id = 0;  // 0..9
};

// Throws the InputError above for the first line of `list` that a record cannot hold.
void check_hitran_fields(const LineList& list, const std::string& name);

// HITRAN's intensity of a line in cm/molecule (c₂ and c from spectrum/physical_constants.h).
double hitran_intensity(double wavenumber, double A, int32_t g_upper, double E_lower,
                        double temperature, double Q);

// The records of `list` in wavenumber order.
void write_hitran_records(const LineList& list, int32_t Lambda_A, int32_t Lambda_B,
                          const HitranOptions& options, OutputFile& out);

// NAME.par of a whole list that check_hitran_fields has passed, and the line that says so.
void write_hitran_file(const LineList& list, const std::string& name, const HitranOptions& options);

}  // namespace velk::props
