// The potential file's header and the radial grid shared by every representation.
//
// A potential file begins with eight lines, the same for every representation:
//   1  Npts: number of points (pointwise) or coefficient lines (analytic, MLJ) that follow
//   2  five reduced masses in u (the read takes five values and runs on into line 3 when line 2
//      holds fewer)
//   3  Lambda (integer)
//   4  q1, 5  q2: Lambda-doubling constants
//   6, 7  free text
//   8  pectype: its first two characters select the representation ("AN", "ML", else pointwise)
// Every line is a free-format read: it starts on a new line and ignores the rest of its last line.
//
// Grid arrays (radial_grid.h) are 1-based, slot 0 unused, so an array for N points has at least
// N + 1 slots.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "io/errors.h"
#include "io/free_format_reader.h"
#include "pec/radial_grid.h"

namespace velk {

// The marker a builder returns when it knows no asymptote: -1.234533e-21 held in single precision.
// It is compared by exact equality.
constexpr double kUinfUnset = -1.2345330359313862e-21;

struct PotentialHeader {
  int32_t Npts = 0;
  std::array<double, 5> masses{};
  int32_t Lambda = 0;
  double q1 = 0, q2 = 0;
  std::string pectype = "  ";
  std::string description;  // line 6 as it stands: free text that names the curve
};

// Reads the eight header lines from the current position (normally the start of the file).
// No limit is checked here: each reader applies its own. Input errors throw InputError.
// With `npts_limit`, an Npts above it stops the run with "number of points must be less than
// <limit>" as soon as line 1 is read (the limit itself is accepted).
PotentialHeader read_potential_header(FreeFormatReader& in,
                                      std::optional<int32_t> npts_limit = std::nullopt);
PotentialHeader read_potential_header(const std::string& potential_file);

// The header as far as it could be read: the reading of read_potential_header without a limit,
// with its input error kept instead of thrown. `count_read` says that line 1 was read, so that a
// caller with a limit on Npts can stop where read_potential_header with that limit stops.
struct HeaderReading {
  PotentialHeader header;
  bool count_read = false;
  std::optional<std::string> failure;
};
HeaderReading read_header_reading(const InputText& text);

// What a builder's reader does with the header of its file: reads Npts (line 1), set at once so
// that it is kept when a later line fails, and, when Npts does not exceed `limit` (beyond it the
// builder could not hold the file's lines and reads no further), the first value of lines 2 to
// 5, then skips lines 6 to 8. No stop is made here: check_builder_count judges Npts.
void read_builder_header(FreeFormatReader& in, int32_t limit, int32_t& Npts);

// A builder's judgement of Npts: stops with `limit_message` when it exceeds `limit` (the limit
// itself is accepted) and with a message naming the file when it is negative. `counted` names
// what Npts counts, for the negative-count message.
void check_builder_count(const std::string& potential_file, int32_t Npts, int32_t limit,
                         const std::string& limit_message, std::string_view counted);

// An index read from a file outside the range its table holds, and the line where it stands.
struct BadIndex {
  int32_t k = 0;
  int line = 0;
};

// Reads `count` lines "k value" into table[k], first <= k <= table.size() - 1, and sets `largest`
// to the largest index read (0 when none). A later line for the same k replaces the earlier
// value; a read ended by a slash after k leaves table[k] unchanged, and one ended before k counts
// as an index outside the table. Stops at the first index outside the table, kept in `bad`, and
// returns false then.
bool read_indexed_lines(FreeFormatReader& in, int32_t count, std::span<double> table, int32_t first,
                        int32_t& largest, std::optional<BadIndex>& bad);

// The frame of every builder's reader: reads the header of the file's text into p.Npts and, when
// the count is within `limit`, has body(in, p) read the rest; an input error (the file's own
// failure to open included) is kept in p.read_failure (see read_until_failure).
template <class Parameters, class Body>
Parameters read_builder_file(const InputText& text, int32_t limit, Body&& body);

// Runs a builder's `read`, which fills its parameters from the file. An InputError it throws (a
// missing file, a value of the wrong kind, the end of the file) is returned as its message
// instead: the reader keeps what it has read so far, and the builder's checks report the faults
// met before that point first, as a user reading the file from the top would meet them.
template <class Read>
std::optional<std::string> read_until_failure(Read&& read);

// Throws the InputError a reader met, if any.
void throw_read_failure(const std::optional<std::string>& failure);

// Refuses, with std::invalid_argument, a grid array too short for N points (a caller's fault).
void require_grid_slots(std::span<const double> Vgrid, int N, std::string_view builder);

// Stops the run with a message naming the file when a grid point lies at R <= 0 (or the grid is
// not a number), for representations that divide by R or take powers and logarithms of it.
void require_positive_grid(const std::string& potential_file, const RadialGrid& grid,
                           std::string_view representation);

// The largest magnitude of a curve value the level solver can integrate. Its Numerov coefficients
// h²·μ·(2u/ħ²)·(V - E)/12 multiply wave-function values kept below 1e20, so products overflow
// once they pass about 1e287; with the step and mass of any molecule (h²·μ·(2u/ħ²)/12 below 1)
// 1e250 cm-1 leaves a wide margin, and no molecular curve comes near it.
inline constexpr double kLargestCurveValue = 1e250;

// Stops the run with a message naming the file, the first grid point and its radius where the
// curve in Vgrid[1..N] is not a finite number: a curve that overflows somewhere (a huge
// coefficient, a power of a large radius) would only turn every level into NaN. Then, in a second
// scan, the first point where the curve is finite but beyond kLargestCurveValue (a spline end
// derivative of 1e308), which the solver would turn into NaN all the same.
void require_finite_curve(const std::string& potential_file, std::span<const double> Vgrid,
                          const RadialGrid& grid);

// The message prefix of this subsystem's own input checks: "velk: <file>: ".
std::string input_message(const std::string& potential_file, std::string_view what);

// The same prefix with the line of the file where the fault stands: "velk: <file>: line <n>: ".
std::string line_message(const std::string& potential_file, int line, std::string_view what);

template <class Read>
std::optional<std::string> read_until_failure(Read&& read) {
  try {
    read();
  } catch (const InputError& error) {
    return std::string(error.what());
  }
  return std::nullopt;
}

template <class Parameters, class Body>
Parameters read_builder_file(const InputText& text, int32_t limit, Body&& body) {
  Parameters p;
  p.read_failure = read_until_failure([&] {
    FreeFormatReader in(text);
    read_builder_header(in, limit, p.Npts);
    if (p.Npts > limit) return;
    body(in, p);
  });
  return p;
}

}  // namespace velk
