// The extension velk._velk behind the package velk (velk/__init__.py re-exports it): the
// program's solvers, curve builders and Dunham sums with numpy arrays in and out. Radii in Å,
// energies in cm-1, masses in u.
#include <pybind11/pybind11.h>

#include "bindings.h"
#include "core_call.h"
#include "io/console.h"

PYBIND11_MODULE(_velk, m) {
  m.doc() = R"(VELK's level solver, curve builders and Dunham term values for Python.

velk.Curve builds a potential curve from a potential file, arrays or parameters; its levels()
gives the term energies velk computes for the same request, bit for bit; velk.properties (Bv,
Dv, Hv, expectation values, turning points) and velk.franck_condon (Franck-Condon factors,
r-centroids, transition-moment matrix elements in debye) give what velk-props computes;
velk.dunham.terms sums Dunham coefficients; velk.mass and velk.reduced_mass give atomic and
reduced masses by isotope name ("23Na", "23Na35Cl"); velk.run runs a whole velk.inf; velk.fit fits
parameters to observed lines as velk-fit does. Lengths in Å, energies in cm-1, masses
in u. Errors raise velk.StopRun, velk.InputError or velk.NumericalFailure with velk's messages;
velk's warnings are velk.VelkWarning. Arguments of the wrong kind raise TypeError, and values
out of range ValueError, naming the argument.)";
  // The classes, exceptions and functions are registered under the package's name, which the
  // user imports: their reprs, the signatures help() shows and pickles say velk.Curve, not
  // velk._velk.Curve.
  const pybind11::object extension_name = m.attr("__name__");
  m.attr("__name__") = "velk";
  // The progress lines of the program's console have no place in an interpreter.
  velk::set_console_quiet(true);
  velk::python::register_exceptions(m);
  velk::python::bind_curve(m);
  velk::python::bind_dunham(m);
  velk::python::bind_run(m);
  velk::python::bind_props(m);
  velk::python::bind_rkr(m);
  velk::python::bind_masses(m);
  velk::python::bind_fit(m);
  // The same string as `velk --version` prints after the program's name.
  m.attr("__version__") = VELK_VERSION;
  m.attr("__name__") = extension_name;
}
