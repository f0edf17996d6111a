// velk.mass, velk.reduced_mass, velk.nuclear_spins: the isotope table of the programs, by name.
#include <pybind11/pybind11.h>

#include <string>

#include "arguments.h"
#include "bindings.h"
#include "numlib/isotopes.h"

namespace velk::python {
namespace {

Isotopologue isotopologue_named(const Text& name) {
  const IsotopologueLookup found = parse_isotopologue(to_text(name, "name"));
  if (!found.isotopologue) throw py::value_error("name: " + found.error);
  return *found.isotopologue;
}

}  // namespace

void bind_masses(py::module_& m) {
  m.def(
      "mass",
      [](const Text& name) {
        const IsotopeLookup found = find_isotope(to_text(name, "name"));
        if (!found.isotope) throw py::value_error("name: " + found.error);
        return found.isotope->mass;
      },
      py::arg("name"),
      R"(The atomic mass (u) of an isotope: "23Na", "35Cl", "D", or "Na" for the most abundant.)");
  m.def(
      "reduced_mass", [](const Text& name) { return reduced_mass_of(isotopologue_named(name)); },
      py::arg("name"),
      R"doc(The reduced mass (u) of a diatomic isotopologue: "23Na2", "23Na35Cl", "(7Li)(133Cs)".)doc");
  m.def(
      "nuclear_spins",
      [](const Text& name) {
        const auto spins = nuclear_spins_of(isotopologue_named(name));
        return FloatPair(py::make_tuple(spins[0], spins[1]));
      },
      py::arg("name"), R"(The ground-state nuclear spins (I1, I2) of an isotopologue's atoms.)");
}

}  // namespace velk::python
