#include "props/linelist_hitran.h"

#include <algorithm>
#include <cmath>
#include <numeric>
#include <stdexcept>

#include "io/console.h"
#include "io/errors.h"
#include "io/formatted_output.h"
#include "props/exomol_fields.h"
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
char* global_quanta(char* out, char letter, int32_t v) {
  out = put_text(out, "", 8);
  *out++ = letter;
  out = put_text(out, "", 3);
  return put_count(out, static_cast<std::size_t>(v), 3);
}

// "     12 + e": J, total parity and e/f in a local-quanta field.
char* local_quanta(char* out, int32_t J, int32_t parity, char e_f) {
  out = put_text(out, "", 6);
  out = put_count(out, static_cast<std::size_t>(J), 5);
  *out++ = ' ';
  *out++ = parity > 0 ? '+' : '-';
  *out++ = ' ';
  *out++ = e_f;
  return out;
}

}  // namespace

void check_hitran_fields(const LineList& list, const std::string& name) {
  for (const ListedLine& line : list.lines) {
    const ListedLevel& upper = list.levels[line.upper];
    const ListedLevel& lower = list.levels[line.lower];
    std::string what;
    if (upper.E - lower.E > kLargestWavenumber) {
      what = "a wavenumber of 100000 cm-1 or more";
    } else if (list.energies[line.lower] > kLargestLowerEnergy) {
      what = "a lower-level energy of 100000 cm-1 or more";
    } else if (list.g_tot[line.upper] > kLargestWeight || list.g_tot[line.lower] > kLargestWeight) {
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
  // Each field is written as the record's Fortran format reads it; check_hitran_fields has kept
  // every figure within its field, so the record is 160 characters.
  char record[kRecordLength + 32];
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
    char* at = record;
    at = put_count(at, static_cast<std::size_t>(options.molecule_id), 2);
    at = put_count(at, static_cast<std::size_t>(options.isotopologue_id), 1);
    at = put_fixed(at, nu, 12, 6);
    at = put_scientific(at, S, 10, 3);
    at = put_scientific(at, line.A, 10, 3);
    at = put_text(at, ".0000", 5);
    at = put_text(at, "0.000", 5);
    at = put_fixed(at, E_lower, 10, 4);
    at = put_text(at, "0.00", 4);
    at = put_text(at, "0.000000", 8);
    at = global_quanta(at, upper.state, upper.v);
    at = global_quanta(at, lower.state, lower.v);
    at = local_quanta(at, upper.J, total_parity(Lambda_upper, upper.J, upper.p),
                      Lambda_upper == 0 ? '-'
                      : upper.p == 1    ? 'f'
                                        : 'e');
    at = local_quanta(at, lower.J, total_parity(Lambda_lower, lower.J, lower.p),
                      Lambda_lower == 0 ? '-'
                      : lower.p == 1    ? 'f'
                                        : 'e');
    at = put_text(at, "000000", 6);
    at = put_text(at, " 0 0 0 0 0 0", 12);
    at = put_text(at, " ", 1);
    at = put_fixed(at, static_cast<double>(list.g_tot[line.upper]), 7, 1);
    at = put_fixed(at, static_cast<double>(list.g_tot[line.lower]), 7, 1);
    if (at - record != static_cast<std::ptrdiff_t>(kRecordLength)) {
      throw std::logic_error("a HITRAN record of " + std::to_string(at - record) + " characters");
    }
    *at = '\0';
    out.line(record);
  }
}

void write_hitran_file(const LineList& list, const std::string& name,
                       const HitranOptions& options) {
  OutputFile par(name + ".par");
  write_hitran_records(list, list.Lambda_A, list.Lambda_B, options, par);
  par.close();
  say(std::string(kPrefix) + "wrote " + name + ".par (" + std::to_string(list.lines.size()) +
      " lines, intensities at " + shortest_decimal(options.temperature) + " K)");
}

}  // namespace velk::props
