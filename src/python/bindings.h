// The parts of the module `velk`, each registered by its own function.
#pragma once

#include <pybind11/pybind11.h>

#include <string>
#include <vector>

#include "run/dunham.h"

namespace velk::python {

void bind_curve(pybind11::module_& m);   // velk.Curve
void bind_dunham(pybind11::module_& m);  // velk.dunham.terms
void bind_run(pybind11::module_& m);     // velk.run
void bind_props(pybind11::module_& m);   // velk.properties, velk.franck_condon
void bind_rkr(pybind11::module_& m);     // velk.Curve.rkr (after bind_curve)
void bind_masses(pybind11::module_& m);  // velk.mass, velk.reduced_mass, velk.nuclear_spins
void bind_fit(pybind11::module_& m);     // velk.fit, velk.FitResult

// Y[k][l] (form "dunham") or rows v = 0, 1, ... of T, B, D, H, L, M (form "band", D positive as
// in a file), as read_dunham_file stores them; ValueError/TypeError naming `source`, `form`, `q`.
DunhamCoefficients coefficients_from_table(pybind11::handle table, const std::string& form,
                                           double mass_ratio, double Lambda,
                                           const std::vector<double>& qs);

}  // namespace velk::python
