#include "props/linelist_hitran.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numeric>
#include <stdexcept>

#include "io/console.h"
#include "io/errors.h"
#include "io/formatted_output.h"
#include "props/props_files.h"
#include "spectrum/physical_constants.h"

namespace velk::props {
namespace {

constexpr std::size_t kRecordLength = 160;

// The largest values the fixed fields hold: F12.6 and F10.4 of a wavenumber or an energy, F7.1
// of a statistical weight.
constexpr double kLargestWavenumber = 99999.999999;
constexpr double kLargestLowerEnergy = 99999.9999;
constexpr int32_t kLargestWeight = 99999;

// The largest quantum numbers the quanta fields hold (I3 and I5).
constexpr int32_t kLargestV = 999;
constexpr int32_t kLargestJ = 99999;

// "        A 12": the state letter and v in a global-quanta field.
void global_quanta(char* field, char letter, int32_t v) {
  std::snprintf(field, 16, "%8s%c%3s%3d", "", letter, "", v);
}

// "     12 + e": J, total parity and e/f in a local-quanta field.
void local_quanta(char* field, int32_t J, int32_t parity, char e_f) {
  std::snprintf(field, 16, "%6s%5d %c %c", "", J, parity > 0 ? '+' : '-', e_f);
}

}  // namespace

void check_hitran_fields(const SolvedList& solved, const std::string& name) {
  double lowest = 0.0;
  for (std::size_t k = 0; k < solved.levels.size(); ++k) {
    if (k == 0 || solved.levels[k].E < lowest) lowest = solved.levels[k].E;
  }
  const auto weight = [&](const ListedLevel& level) {
    const int32_t Lambda = level.state == 'A' ? solved.Lambda_A : solved.Lambda_B;
    return static_cast<int64_t>(nuclear_spin_weight(solved.spins, level.state,
                                                    total_parity(Lambda, level.J, level.p))) *
           (2 * level.J + 1);
  };
  for (const ListedLine& line : solved.lines) {
    const ListedLevel& upper = solved.levels[line.upper];
    const ListedLevel& lower = solved.levels[line.lower];
    std::string what;
    if (upper.E - lower.E > kLargestWavenumber) {
      what = "a wavenumber of 100000 cm-1 or more";
    } else if (lower.E - lowest > kLargestLowerEnergy) {
      what = "a lower-level energy of 100000 cm-1 or more";
    } else if (weight(upper) > kLargestWeight || weight(lower) > kLargestWeight) {
      what = "a statistical weight above 99999";
    } else if (std::max(upper.v, lower.v) > kLargestV || std::max(upper.J, lower.J) > kLargestJ) {
      what = "a v above 999 or a J above 99999";
    } else {
      continue;
    }
    throw InputError(std::string(kPrefix) + "linelist: " + name + ".par: the line from (" +
                     upper.state + " v=" + std::to_string(upper.v) +
                     " J=" + std::to_string(upper.J) + ") to (" + lower.state +
                     " v=" + std::to_string(lower.v) + " J=" + std::to_string(lower.J) + ") has " +
                     what + ", beyond the fields of the 160-character record; no file was written");
  }
}

double hitran_intensity(double wavenumber, double A, int32_t g_upper, double E_lower,
                        double temperature, double Q) {
  if (!(wavenumber > 0.0)) return 0.0;
  const double c2 = spectrum::kSecondRadiation;
  const double c = 100.0 * spectrum::kSpeedOfLight;  // cm/s
  const double stimulated = -std::expm1(-c2 * wavenumber / temperature);
  return g_upper * A * stimulated * std::exp(-c2 * E_lower / temperature) /
         (8.0 * spectrum::kPi * c * wavenumber * wavenumber * Q);
}

void write_hitran_records(const LineList& list, int32_t Lambda_A, int32_t Lambda_B,
                          const HitranOptions& options, OutputFile& out) {
  const double Q = partition_function(list, options.temperature);
  const auto wavenumber_of = [&](const ListedLine& line) {
    return list.levels[line.upper].E - list.levels[line.lower].E;
  };
  std::vector<std::size_t> order(list.lines.size());
  std::iota(order.begin(), order.end(), std::size_t{0});
  std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
    return wavenumber_of(list.lines[a]) < wavenumber_of(list.lines[b]);
  });
  char record[kRecordLength + 32];
  char V_upper[16], V_lower[16], Q_upper[16], Q_lower[16];
  for (const std::size_t k : order) {
    const ListedLine& line = list.lines[k];
    const ListedLevel& upper = list.levels[line.upper];
    const ListedLevel& lower = list.levels[line.lower];
    const int32_t Lambda_upper = upper.state == 'A' ? Lambda_A : Lambda_B;
    const int32_t Lambda_lower = lower.state == 'A' ? Lambda_A : Lambda_B;
    const double nu = wavenumber_of(line);
    const double E_lower = list.energies[line.lower];
    const double S =
        hitran_intensity(nu, line.A, list.g_tot[line.upper], E_lower, options.temperature, Q);
    global_quanta(V_upper, upper.state, upper.v);
    global_quanta(V_lower, lower.state, lower.v);
    local_quanta(Q_upper, upper.J, total_parity(Lambda_upper, upper.J, upper.p),
                 Lambda_upper == 0 ? '-'
                 : upper.p == 1    ? 'f'
                                   : 'e');
    local_quanta(Q_lower, lower.J, total_parity(Lambda_lower, lower.J, lower.p),
                 Lambda_lower == 0 ? '-'
                 : lower.p == 1    ? 'f'
                                   : 'e');
    const int length = std::snprintf(
        record, sizeof record,
        "%2d%1d%12.6f%10.3E%10.3E%5s%5s%10.4f%4s%8s%15s%15s%15s%15s%6s%12s%1s%7.1f%7.1f",
        options.molecule_id, options.isotopologue_id, nu, S, line.A, ".0000", "0.000", E_lower,
        "0.00", "0.000000", V_upper, V_lower, Q_upper, Q_lower, "000000", " 0 0 0 0 0 0", " ",
        static_cast<double>(list.g_tot[line.upper]), static_cast<double>(list.g_tot[line.lower]));
    // check_hitran_fields has kept every figure within its field.
    if (length != static_cast<int>(kRecordLength)) {
      throw std::logic_error("a HITRAN record of " + std::to_string(length) + " characters");
    }
    out.line(record);
  }
}

void write_hitran_file(const SolvedList& solved, const std::string& name,
                       const HitranOptions& options) {
  if (solved.levels.empty()) {
    throw InputError(std::string(kPrefix) + "linelist: neither state holds a bound level");
  }
  check_hitran_fields(solved, name);
  const LineList list =
      number_line_list(solved.levels, solved.lines, solved.spins, solved.Lambda_A, solved.Lambda_B);
  OutputFile par(name + ".par");
  write_hitran_records(list, solved.Lambda_A, solved.Lambda_B, options, par);
  par.close();
  say(std::string(kPrefix) + "wrote " + name + ".par (" + std::to_string(list.lines.size()) +
      " lines, intensities at " + shortest_decimal(options.temperature) + " K)");
}

}  // namespace velk::props
