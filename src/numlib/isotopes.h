// Atomic masses and nuclear spins of isotopes, and diatomic isotopologues named the way
// spectroscopists write them.
//
// The table is data/isotopes.csv, compiled in (see its header for the evaluation it holds): the
// naturally occurring isotopes and tritium, masses in u, ground-state spins I in units of ħ.
//
// Isotope names: a mass number before the element symbol (`23Na`, `35Cl`), `D` and `T` for
// ²H and ³H, or a bare symbol (`Na`, `H`) for the element's most abundant isotope.
// Isotopologue names: two atoms, each an isotope name, optionally in parentheses and optionally
// joined by '-', or one atom with the count 2: `23Na2`, `23Na35Cl`, `(23Na)(39K)`, `H35Cl`,
// `D2`. Digits between two symbols belong to the second atom (`H35Cl` is ¹H³⁵Cl); digits after the
// last symbol are its count.
//
// Nothing here throws on a bad name: the parsers return the reason, naming the isotope, for the
// caller to report as malformed input.
#pragma once

#include <array>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace velk {

struct Isotope {
  int Z = 0;
  int A = 0;
  std::string symbol;      // element symbol, such as "Na"
  double mass = 0.0;       // u
  double abundance = 0.0;  // natural mole fraction; 0 for tritium
  double spin = 0.0;       // nuclear spin I of the ground state
  std::string name() const { return std::to_string(A) + symbol; }
};

// The whole table, in increasing Z and, within an element, increasing A.
std::span<const Isotope> isotope_table();

struct IsotopeLookup {
  const Isotope* isotope = nullptr;  // into isotope_table(); null when `error` says why
  std::string error;
};
IsotopeLookup find_isotope(std::string_view name);

struct Isotopologue {
  std::array<const Isotope*, 2> atoms{};
  std::string name() const;  // canonical, such as "(23Na)(35Cl)"
};

struct IsotopologueLookup {
  std::optional<Isotopologue> isotopologue;
  std::string error;
};
IsotopologueLookup parse_isotopologue(std::string_view name);

// m1·m2/(m1 + m2), u.
double reduced_mass_of(const Isotopologue& molecule);
// The nuclear spins I of the two atoms, in the order named.
std::array<double, 2> nuclear_spins_of(const Isotopologue& molecule);
// Whether the two nuclei are the same isotope, so that nuclear-spin statistics apply.
bool homonuclear(const Isotopologue& molecule);

// A mass given on a command line: a positive number (u) or an isotope name. Empty `error` on
// success.
struct MassLookup {
  double mass = 0.0;
  std::string error;
};
MassLookup atomic_mass_from_text(std::string_view text);

}  // namespace velk
