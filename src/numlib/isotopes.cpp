#include "numlib/isotopes.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <stdexcept>
#include <vector>

#include "numlib/isotope_table_text.h"

namespace velk {
namespace {

std::string_view field(std::string_view& line) {
  const std::size_t comma = line.find(',');
  const std::string_view head = line.substr(0, comma);
  line.remove_prefix(comma == std::string_view::npos ? line.size() : comma + 1);
  return head;
}

template <typename T>
T value_of(std::string_view text, std::string_view line) {
  T value{};
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  // The table is compiled in and checked by its tests: a bad field is a fault of the build.
  if (error != std::errc() || end != text.data() + text.size()) {
    throw std::logic_error("bad field '" + std::string(text) + "' in the isotope table line '" +
                           std::string(line) + "'");
  }
  return value;
}

std::vector<Isotope> read_table() {
  std::vector<Isotope> table;
  std::string_view text = isotope_table_text;
  bool header_seen = false;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    if (line.empty() || line.front() == '#') continue;
    if (!header_seen) {
      header_seen = true;  // the column names
      continue;
    }
    const std::string_view whole = line;
    Isotope isotope;
    isotope.Z = value_of<int>(field(line), whole);
    isotope.symbol = std::string(field(line));
    isotope.A = value_of<int>(field(line), whole);
    isotope.mass = value_of<double>(field(line), whole);
    isotope.abundance = value_of<double>(field(line), whole);
    isotope.spin = value_of<double>(field(line), whole);
    table.push_back(std::move(isotope));
  }
  return table;
}

const Isotope* most_abundant(std::string_view symbol) {
  const Isotope* best = nullptr;
  for (const Isotope& isotope : isotope_table()) {
    if (isotope.symbol == symbol && (!best || isotope.abundance > best->abundance)) {
      best = &isotope;
    }
  }
  return best;
}

const Isotope* exact(int Z_or_zero, std::string_view symbol, int A) {
  for (const Isotope& isotope : isotope_table()) {
    if ((Z_or_zero ? isotope.Z == Z_or_zero : isotope.symbol == symbol) && isotope.A == A) {
      return &isotope;
    }
  }
  return nullptr;
}

bool is_digit(char c) {
  return std::isdigit(static_cast<unsigned char>(c)) != 0;
}
bool is_upper(char c) {
  return std::isupper(static_cast<unsigned char>(c)) != 0;
}
bool is_lower(char c) {
  return std::islower(static_cast<unsigned char>(c)) != 0;
}

std::string quoted(std::string_view text) {
  return "'" + std::string(text) + "'";
}

}  // namespace

std::span<const Isotope> isotope_table() {
  static const std::vector<Isotope> table = read_table();
  return table;
}

IsotopeLookup find_isotope(std::string_view name) {
  if (name == "D") return {exact(1, "", 2), {}};
  if (name == "T") return {exact(1, "", 3), {}};
  std::size_t digits = 0;
  while (digits < name.size() && is_digit(name[digits])) ++digits;
  const std::string_view symbol = name.substr(digits);
  const bool symbol_shape = !symbol.empty() && symbol.size() <= 2 && is_upper(symbol[0]) &&
                            (symbol.size() == 1 || is_lower(symbol[1]));
  if (!symbol_shape || digits > 3) {
    return {nullptr, quoted(name) + " is not an isotope name (such as 23Na, D or Na)"};
  }
  const Isotope* any = most_abundant(symbol);
  if (!any) {
    return {nullptr, "unknown isotope " + quoted(name) + ": the table of atomic masses has no " +
                         "element " + quoted(symbol)};
  }
  if (digits == 0) return {any, {}};
  const int A = value_of<int>(name.substr(0, digits), name);
  if (const Isotope* found = exact(0, symbol, A)) return {found, {}};
  return {nullptr, "unknown isotope " + quoted(name) +
                       ": the table of atomic masses holds the naturally occurring isotopes " +
                       "and tritium"};
}

std::string Isotopologue::name() const {
  if (atoms[0] == atoms[1]) return atoms[0]->name() + "2";
  return atoms[0]->name() + atoms[1]->name();
}

IsotopologueLookup parse_isotopologue(std::string_view name) {
  std::vector<const Isotope*> atoms;
  const auto refuse = [&](std::string why) { return IsotopologueLookup{std::nullopt, why}; };
  std::size_t pos = 0;
  while (pos < name.size()) {
    const char c = name[pos];
    if (c == '-' && !atoms.empty() && pos + 1 < name.size()) {
      ++pos;
      continue;
    }
    std::size_t end = pos;
    std::string_view atom;
    if (c == '(') {
      end = name.find(')', pos);
      if (end == std::string_view::npos) return refuse(quoted(name) + " has an unclosed '('");
      atom = name.substr(pos + 1, end - pos - 1);
      ++end;
    } else {
      while (end < name.size() && is_digit(name[end])) ++end;
      const std::size_t digits_end = end;
      if (end < name.size() && is_upper(name[end])) {
        ++end;
        if (end < name.size() && is_lower(name[end])) ++end;
      }
      if (end == pos) return refuse(quoted(name) + " is not an isotopologue name (such as 23Na2)");
      if (end == digits_end) {
        // Digits after the last atom: how many of it.
        if (end != name.size() || atoms.empty()) {
          return refuse(quoted(name) + " is not an isotopologue name (such as 23Na35Cl)");
        }
        if (name.substr(pos) != "2" || atoms.size() != 1) {
          return refuse(quoted(name) + " does not name a diatomic molecule");
        }
        atoms.push_back(atoms.front());
        pos = end;
        continue;
      }
      atom = name.substr(pos, end - pos);
    }
    const IsotopeLookup found = find_isotope(atom);
    if (!found.isotope) return refuse(found.error);
    atoms.push_back(found.isotope);
    pos = end;
  }
  if (atoms.size() != 2) return refuse(quoted(name) + " does not name a diatomic molecule");
  return {Isotopologue{{atoms[0], atoms[1]}}, {}};
}

double reduced_mass_of(const Isotopologue& molecule) {
  const double m1 = molecule.atoms[0]->mass;
  const double m2 = molecule.atoms[1]->mass;
  return m1 * m2 / (m1 + m2);
}

std::array<double, 2> nuclear_spins_of(const Isotopologue& molecule) {
  return {molecule.atoms[0]->spin, molecule.atoms[1]->spin};
}

bool homonuclear(const Isotopologue& molecule) {
  return molecule.atoms[0] == molecule.atoms[1];
}

MassLookup atomic_mass_from_text(std::string_view text) {
  double value = 0.0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (!text.empty() && error == std::errc() && end == text.data() + text.size()) {
    if (value > 0.0 && std::isfinite(value)) return {value, {}};
    return {0.0, "an atomic mass must be positive (u), found " + quoted(text)};
  }
  const IsotopeLookup found = find_isotope(text);
  if (!found.isotope) return {0.0, found.error};
  return {found.isotope->mass, {}};
}

}  // namespace velk
