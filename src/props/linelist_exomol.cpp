#include "props/linelist_exomol.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numeric>
#include <string>
#include <string_view>

#include "props/exomol_fields.h"
#include "spectrum/physical_constants.h"

namespace velk::props {

std::optional<NuclearSpins> default_nuclear_spins(const PotentialHeader& header,
                                                  int32_t mass_index) {
  if (mass_index < 1 || mass_index > 5) return std::nullopt;
  const double mu = header.masses[static_cast<std::size_t>(mass_index - 1)];
  std::optional<NuclearSpins> found;
  int matches = 0;
  for (const Isotope& isotope : isotope_table()) {
    if (std::abs(isotope.mass / 2.0 - mu) <= kHomonuclearMassMatch) {
      found = NuclearSpins{isotope.spin, isotope.spin, true};
      ++matches;
    }
  }
  if (matches != 1) return std::nullopt;
  return found;
}

NuclearSpins nuclear_spins_of_molecule(const Isotopologue& molecule) {
  const std::array<double, 2> spins = nuclear_spins_of(molecule);
  return NuclearSpins{spins[0], spins[1], homonuclear(molecule)};
}

int32_t total_parity(int32_t Lambda, int32_t J, int32_t p) {
  const int32_t e_parity = J % 2 == 0 ? 1 : -1;
  return Lambda > 0 && p == 1 ? -e_parity : e_parity;
}

int32_t nuclear_spin_weight(const std::optional<NuclearSpins>& spins, char letter, int32_t parity) {
  if (!spins) return 1;
  const auto multiplicity = [](double I) { return static_cast<int32_t>(std::lround(2 * I + 1)); };
  if (!spins->identical) return multiplicity(spins->I1) * multiplicity(spins->I2);
  const bool gerade = letter == 'A';
  const bool symmetric = (parity > 0) == gerade;
  const int32_t twice_I = static_cast<int32_t>(std::lround(2 * spins->I1));
  const bool boson = twice_I % 2 == 0;
  // (I + 1)(2I + 1) and I(2I + 1), in halves so that a half-integer I stays exact.
  const int32_t more = (twice_I + 2) * (twice_I + 1) / 2;
  const int32_t fewer = twice_I * (twice_I + 1) / 2;
  return symmetric == boson ? more : fewer;
}

LineList number_line_list(std::span<const ListedLevel> levels, std::span<const ListedLine> lines,
                          const std::optional<NuclearSpins>& spins, int32_t Lambda_A,
                          int32_t Lambda_B) {
  std::vector<std::size_t> order(levels.size());
  std::iota(order.begin(), order.end(), std::size_t{0});
  std::sort(order.begin(), order.end(), [&](std::size_t x, std::size_t y) {
    const ListedLevel& a = levels[x];
    const ListedLevel& b = levels[y];
    if (a.J != b.J) return a.J < b.J;
    if (a.state != b.state) return a.state < b.state;
    if (a.p != b.p) return a.p < b.p;
    return a.v < b.v;
  });
  std::vector<std::size_t> position(levels.size());
  for (std::size_t k = 0; k < order.size(); ++k) position[order[k]] = k;

  LineList list;
  list.Lambda_A = Lambda_A;
  list.Lambda_B = Lambda_B;
  list.levels.reserve(levels.size());
  for (const std::size_t k : order) list.levels.push_back(levels[k]);
  double lowest = 0.0;
  for (std::size_t k = 0; k < list.levels.size(); ++k) {
    if (k == 0 || list.levels[k].E < lowest) lowest = list.levels[k].E;
  }
  list.energies.resize(list.levels.size());
  list.g_tot.resize(list.levels.size());
  for (std::size_t k = 0; k < list.levels.size(); ++k) {
    const ListedLevel& level = list.levels[k];
    list.energies[k] = level.E - lowest;
    const int32_t Lambda = level.state == 'A' ? Lambda_A : Lambda_B;
    const int32_t parity = total_parity(Lambda, level.J, level.p);
    list.g_tot[k] = nuclear_spin_weight(spins, level.state, parity) * (2 * level.J + 1);
  }
  list.lines.reserve(lines.size());
  for (const ListedLine& line : lines) {
    list.lines.push_back(ListedLine{position[line.upper], position[line.lower], line.A});
  }
  std::sort(list.lines.begin(), list.lines.end(), [](const ListedLine& a, const ListedLine& b) {
    return a.upper != b.upper ? a.upper < b.upper : a.lower < b.lower;
  });
  // Summed in the order of the file, so that 1/tau is the sum a reader of NAME.trans forms.
  list.A_sum.assign(list.levels.size(), 0.0);
  for (const ListedLine& line : list.lines) list.A_sum[line.upper] += line.A;
  return list;
}

double partition_function(const LineList& list, double T) {
  const double c2 = spectrum::kSecondRadiation;
  double Q = 0.0;
  for (std::size_t k = 0; k < list.levels.size(); ++k) {
    Q += list.g_tot[k] * std::exp(-c2 * list.energies[k] / T);
  }
  return Q;
}

void write_states(const LineList& list, int32_t Lambda_A, int32_t Lambda_B, OutputFile& out) {
  char text[160];
  for (std::size_t k = 0; k < list.levels.size(); ++k) {
    const ListedLevel& level = list.levels[k];
    const int32_t Lambda = level.state == 'A' ? Lambda_A : Lambda_B;
    char tau[16];
    if (list.A_sum[k] > 0.0) {
      std::snprintf(tau, sizeof tau, "%12.4E", 1.0 / list.A_sum[k]);
    } else {
      std::snprintf(tau, sizeof tau, "%12s", "inf");
    }
    const char* e_f = Lambda == 0 ? "-" : level.p == 1 ? "f" : "e";
    std::snprintf(text, sizeof text, "%12zu %12.6f %6d %7d %s %c %s %c %5d %2d", k + 1,
                  list.energies[k], list.g_tot[k], level.J, tau,
                  total_parity(Lambda, level.J, level.p) > 0 ? '+' : '-', e_f, level.state, level.v,
                  Lambda);
    if (!list.half_widths) {
      out.line(text);
      continue;
    }
    char width[24];
    std::snprintf(width, sizeof width, " %10.4E", level.half_width.value_or(0.0));
    out.line(std::string(text) + width);
  }
}

void write_trans(const LineList& list, OutputFile& out) {
  char text[64];
  for (const ListedLine& line : list.lines) {
    char* end = put_count(text, line.upper + 1, 12);
    *end++ = ' ';
    end = put_count(end, line.lower + 1, 12);
    *end++ = ' ';
    end = put_scientific(end, line.A, 10, 4);
    out.line(std::string_view(text, static_cast<std::size_t>(end - text)));
  }
}

void write_pf(std::span<const double> Q, OutputFile& out) {
  char text[64];
  for (std::size_t k = 0; k < Q.size(); ++k) {
    std::snprintf(text, sizeof text, "%8.1f %15.4f", static_cast<double>(k + 1), Q[k]);
    out.line(text);
  }
}

}  // namespace velk::props
