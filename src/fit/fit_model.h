// What a fit varies: the two states of velk.inf as values (a potential curve or Dunham
// constants, each with a shift Te) and the upper-level energies of the fluorescence series, and
// the names by which `--free` picks parameters out of them.
//
// Names per form: MLJ `Re`, `beta<k>` (0..50), `De`, `Cp`, `delta`, `Rx`; analytic `a<k>`
// (0..100), `Rm`, `b`, `A`, `B` (the short-range wall), `Uinf`, `C<k>` (1..20), `Aex`; Dunham
// `Y(k,l)` (k 0..50, l 0..20); band constants `T<v>`, `B<v>`, `D<v>`, `H<v>`, `L<v>`, `M<v>`
// (v 0..50); `Te` for every state. A pointwise table has only `Te`.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "pec/curve_definition.h"
#include "pec/radial_grid.h"
#include "run/dunham.h"

namespace velk::fit {

enum class StateForm { mlj, analytic, pointwise, dunham, band };

struct FitState {
  char letter = 'A';
  std::string file;  // as velk.inf names it, trimmed
  StateForm form = StateForm::pointwise;
  CurveDefinition curve;      // potential forms
  DunhamCoefficients dunham;  // Dunham and band forms
  RadialGrid grid;
  int32_t mass_index = 1;
  double Te = 0.0;  // added to every level of the state, cm-1
  bool potential() const {
    return form == StateForm::mlj || form == StateForm::analytic || form == StateForm::pointwise;
  }
};

enum class ParameterKind {
  te,
  series,
  mlj_re,
  mlj_beta,
  mlj_de,
  mlj_cp,
  mlj_delta,
  mlj_rx,
  an_a,
  an_rm,
  an_b,
  an_wall_a,
  an_wall_b,
  an_uinf,
  an_c,
  an_aex,
  dunham_y,
  band
};

struct ParameterRef {
  int state = 0;  // 0: A, 1: B; for a series, its index
  ParameterKind kind = ParameterKind::te;
  int k = 0, l = 0;  // indices; for band constants l is the column 0..5 (T B D H L M)
  std::string name;  // as the outputs print it
};

struct FitModel {
  std::array<FitState, 2> states;
  std::vector<std::string> series;
  std::vector<double> series_energy;
};

// Parses the value of one `--free` option ("A:beta0-beta13,De", "B:Y(1,0),Y(2,0)"); a series
// energy is always free and never named here. A name the state's form does not have, a range
// that is not of one name with increasing indices, or a state other than A or B is an
// InputError naming the option.
std::vector<ParameterRef> parse_free_option(std::string_view option, const FitModel& model);

// The parameter's value in the model, as its file writes it (D<v> positive). A parameter the
// curve derives (a wall or asymptote left to continuity) is refused when named, by
// parse_free_option. Setting a coefficient beyond the file's last index extends the series.
double get_parameter(const FitModel& model, const ParameterRef& ref);
void set_parameter(FitModel& model, const ParameterRef& ref, double value);

// Every parameter of the state's form that has a value in its file, with Te: the held list of
// fit_parameters.csv.
std::vector<ParameterRef> state_parameters(const FitModel& model, int state);

// A potential parameter whose derivative comes from the curve (Hellmann-Feynman), as opposed to
// the closed-form ones of Dunham constants, Te and series energies.
bool curve_parameter(ParameterKind kind);

}  // namespace velk::fit
