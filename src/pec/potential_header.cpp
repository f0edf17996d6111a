#include "pec/potential_header.h"

#include <cmath>
#include <limits>
#include <sstream>
#include <stdexcept>
#include <utility>

#include "io/errors.h"

namespace velk {

namespace {

// Lines 2 to 8 of the header.
void read_header_after_count(FreeFormatReader& in, PotentialHeader& header) {
  auto& m = header.masses;
  in.read(m[0], m[1], m[2], m[3], m[4]);
  in.read(header.Lambda);
  in.read(header.q1);
  in.read(header.q2);
  // Line 6 describes the curve in words, and pictures of it take their title from there. At the
  // end of the file the skip fails as for any other missing header line.
  if (auto description = in.try_read_line()) {
    header.description = std::move(*description);
  } else {
    in.skip();
  }
  in.skip();
  header.pectype = in.read_text(2);
}

}  // namespace

PotentialHeader read_potential_header(FreeFormatReader& in, std::optional<int32_t> npts_limit) {
  PotentialHeader header;
  in.read(header.Npts);
  if (npts_limit && header.Npts > *npts_limit) {
    throw StopRun("number of points must be less than " + std::to_string(*npts_limit));
  }
  read_header_after_count(in, header);
  return header;
}

HeaderReading read_header_reading(const InputText& text) {
  HeaderReading reading;
  reading.failure = read_until_failure([&] {
    FreeFormatReader in(text);
    in.read(reading.header.Npts);
    reading.count_read = true;
    read_header_after_count(in, reading.header);
  });
  return reading;
}

PotentialHeader read_potential_header(const std::string& potential_file) {
  FreeFormatReader in(potential_file);
  return read_potential_header(in);
}

void read_builder_header(FreeFormatReader& in, int32_t limit, int32_t& Npts) {
  in.read(Npts);
  if (Npts > limit) return;
  // The builders do not use these values; they read them so that each reader sees the lines
  // at the same places as the driver does.
  double mass = 0.0;
  in.read(mass);
  int32_t Lambda = 0;
  in.read(Lambda);
  double q = 0.0;
  in.read(q);
  in.read(q);
  in.skip();
  in.skip();
  in.skip();
}

bool read_indexed_lines(FreeFormatReader& in, int32_t count, std::span<double> table, int32_t first,
                        int32_t& largest, std::optional<BadIndex>& bad) {
  const auto last = static_cast<int32_t>(table.size()) - 1;
  largest = 0;
  for (int32_t line = 1; line <= count; ++line) {
    int32_t k = first - 1;
    double value = std::numeric_limits<double>::quiet_NaN();
    in.read(k, value);
    if (k < first || k > last) {
      bad = BadIndex{k, in.line_number()};
      return false;
    }
    if (!std::isnan(value)) table[static_cast<std::size_t>(k)] = value;
    if (k > largest) largest = k;
  }
  return true;
}

void check_builder_count(const std::string& potential_file, int32_t Npts, int32_t limit,
                         const std::string& limit_message, std::string_view counted) {
  if (Npts > limit) throw StopRun(limit_message);
  if (Npts < 0) {
    throw StopRun(line_message(
        potential_file, 1,
        "the number of " + std::string(counted) + " is negative (" + std::to_string(Npts) + ")"));
  }
}

void throw_read_failure(const std::optional<std::string>& failure) {
  if (failure) throw InputError(*failure);
}

void require_grid_slots(std::span<const double> Vgrid, int N, std::string_view builder) {
  if (N < 0 || Vgrid.size() < static_cast<std::size_t>(N) + 1) {
    throw std::invalid_argument(std::string(builder) + ": grid array of " +
                                std::to_string(Vgrid.size()) + " slots cannot hold " +
                                std::to_string(N) + " points plus the unused slot 0");
  }
}

void require_positive_grid(const std::string& potential_file, const RadialGrid& grid,
                           std::string_view representation) {
  if (grid.N < 1) return;
  // R0 + i*h is monotonic in i, so the smallest radius is at one of the two ends.
  const double first = grid.R(1);
  const double last = grid.R(grid.N);
  if (!(first > 0.0) || !(last > 0.0)) {
    throw StopRun(input_message(potential_file, "the " + std::string(representation) +
                                                    " potential needs a radial grid with R > 0"));
  }
}

void require_finite_curve(const std::string& potential_file, std::span<const double> Vgrid,
                          const RadialGrid& grid) {
  for (int i = 1; i <= grid.N; ++i) {
    if (std::isfinite(Vgrid[i])) continue;
    std::ostringstream what;
    what << "the potential is not a finite number at grid point " << i << ", R = " << grid.R(i);
    throw StopRun(input_message(potential_file, what.str()));
  }
  for (int i = 1; i <= grid.N; ++i) {
    if (std::fabs(Vgrid[i]) <= kLargestCurveValue) continue;
    std::ostringstream what;
    what << "the potential is " << Vgrid[i] << " cm-1 at grid point " << i << ", R = " << grid.R(i)
         << ", beyond the 1e250 cm-1 the level solver can carry";
    throw StopRun(input_message(potential_file, what.str()));
  }
}

std::string input_message(const std::string& potential_file, std::string_view what) {
  return "velk: " + trimmed_file_name(potential_file) + ": " + std::string(what);
}

std::string line_message(const std::string& potential_file, int line, std::string_view what) {
  return input_message(potential_file, "line " + std::to_string(line) + ": " + std::string(what));
}

}  // namespace velk
