// The parts of the module `velk`, each registered by its own function.
#pragma once

#include <pybind11/pybind11.h>

namespace velk::python {

void bind_curve(pybind11::module_& m);   // velk.Curve
void bind_dunham(pybind11::module_& m);  // velk.dunham.terms
void bind_run(pybind11::module_& m);     // velk.run
void bind_props(pybind11::module_& m);   // velk.properties, velk.franck_condon

}  // namespace velk::python
