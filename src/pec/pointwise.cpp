#include "pec/pointwise.h"

#include <algorithm>
#include <cstdio>
#include <sstream>

#include "io/console.h"
#include "io/errors.h"
#include "io/formatted_output.h"
#include "io/free_format_reader.h"
#include "io/warning.h"
#include "pec/potential_header.h"
#include "pec/spline.h"

namespace velk {
namespace {

// "delault" (sic): users' scripts match the name line as the program prints it, typo included.
constexpr const char* kPointwiseName = "Pointwise PEC (delault)";

// First character of a switch line; the end of the file means the block is absent.
char read_switch(FreeFormatReader& in) {
  const auto text = in.try_read_text(1);
  return text ? (*text)[0] : 'n';
}

void read_extension(FreeFormatReader& in, PointwiseParameters& p) {
  in.read(p.Rfit1, p.Rfit2, p.rho);
  in.read(p.asymptote, p.asymptote_fit);
  p.asymptote_line = in.line_number();
  in.read(p.m);
  p.m_line = in.line_number();
  for (int32_t line = 1; line <= p.m; ++line) {
    // Beyond the lines kept the indices can no longer rise strictly inside 3..20, so the lines
    // kept already hold a fault for check_pointwise to report.
    if (p.dispersion_read == PointwiseParameters::kLinesKept) return;
    // Each line starts from the clean state: a read ended early by a slash leaves 0.
    PointwiseParameters::DispersionLine d;
    in.read(d.k, d.C, d.fit);
    d.line = in.line_number();
    p.dispersion[static_cast<std::size_t>(p.dispersion_read++)] = d;
  }
  p.exchflag = read_switch(in);
  if (p.exchflag == 'y') {
    in.read(p.amplitude, p.amplitude_fit);
    p.amplitude_line = in.line_number();
    in.read(p.alpha);
    in.read(p.gamma);
  }
}

// A line that starts with two numbers, as a point "R U" does.
bool looks_like_point(const std::string& line) {
  std::istringstream items(line);
  double R = 0.0, U = 0.0;
  return static_cast<bool>(items >> R >> U);
}

void read_body(FreeFormatReader& in, PointwiseParameters& p) {
  in.read(p.y2first);
  in.read(p.y2last);
  for (int32_t i = 1; i <= p.Npts; ++i) {
    in.read(p.Rpts[i], p.Upts[i]);
    p.point_line[i] = in.line_number();
    p.points_read = i;
  }
  // The switch line is kept whole: when it holds a point the table runs on beyond its count.
  const auto switch_line = in.try_read_line();
  p.extflag = !switch_line ? 'n' : switch_line->empty() ? ' ' : (*switch_line)[0];
  if (p.extflag == 'y') {
    read_extension(in, p);
  } else if (switch_line && looks_like_point(*switch_line)) {
    p.extra_line = in.line_number();
    p.extra_point_lines = 1;
    while (const auto line = in.try_read_line()) {
      if (!looks_like_point(*line)) break;
      ++p.extra_point_lines;
    }
  }
}

}  // namespace

PointwiseParameters read_pointwise(const InputText& text) {
  return read_builder_file<PointwiseParameters>(text, kPointwiseCapacity, read_body);
}

void check_pointwise(const PointwiseParameters& p, const std::string& potential_file) {
  check_builder_count(potential_file, p.Npts, kPointwiseCapacity,
                      "number of points must be less than 500", "points");
  if (p.Npts < 2) {
    const std::string what = "a pointwise potential needs at least 2 points, found ";
    throw StopRun(input_message(potential_file, what + std::to_string(p.Npts)));
  }
  for (int32_t i = 2; i <= p.points_read; ++i) {
    if (!(p.Rpts[i] > p.Rpts[i - 1])) {
      throw StopRun(line_message(potential_file, p.point_line[i],
                                 "the radii of the points must increase strictly"));
    }
  }
  // Switches are summed to decide whether anything is fitted, so a negative one could cancel a
  // positive one (or leave a sum below zero, which means neither fitted nor fixed).
  const auto check_switch = [&](int32_t fit, int line) {
    if (fit < 0) {
      throw StopRun(
          line_message(potential_file, line,
                       "fit switch " + std::to_string(fit) + " is negative (0 fixed, 1 fitted)"));
    }
  };
  if (p.asymptote_line > 0) check_switch(p.asymptote_fit, p.asymptote_line);
  // Without a dispersion line the model would hold no parameter at all, not even the asymptote.
  if (p.m_line > 0 && p.m < 1) {
    throw StopRun(line_message(potential_file, p.m_line,
                               "the long-range extension needs at least one dispersion line, "
                               "found " +
                                   std::to_string(p.m)));
  }
  int32_t previous = 0;
  for (int32_t n = 0; n < p.dispersion_read; ++n) {
    const PointwiseParameters::DispersionLine& d = p.dispersion[static_cast<std::size_t>(n)];
    // 1 and 2 would overwrite the asymptote or the exchange amplitude and cut the model short.
    if (d.k < 3 || d.k > kExtensionCapacity) {
      throw StopRun(line_message(potential_file, d.line,
                                 "dispersion index " + std::to_string(d.k) + " outside 3..20"));
    }
    // The last index sets the size of the model, so a lower one after a higher one would drop
    // the higher term from the fit while the report still listed it.
    if (d.k <= previous) {
      throw StopRun(line_message(potential_file, d.line,
                                 "dispersion index " + std::to_string(d.k) +
                                     " does not exceed the previous one (" +
                                     std::to_string(previous) + ")"));
    }
    check_switch(d.fit, d.line);
    previous = d.k;
  }
  if (p.amplitude_line > 0) check_switch(p.amplitude_fit, p.amplitude_line);
  throw_read_failure(p.read_failure);
}

void warn_pointwise(const PointwiseParameters& p, const std::string& potential_file,
                    const RadialGrid& grid) {
  const std::string file = trimmed_file_name(potential_file);
  if (p.extra_point_lines > 0) {
    warn(file + ": the header announces " + std::to_string(p.Npts) + " points, but " +
         std::to_string(p.Npts + p.extra_point_lines) + " lines of points follow; the " +
         std::to_string(p.extra_point_lines) + " from line " + std::to_string(p.extra_line) +
         " on are ignored (correct the count)");
  }
  if (p.points_read >= 2) {
    const auto first = p.Upts.begin() + 1, last = p.Upts.begin() + 1 + p.points_read;
    const auto [low, high] = std::minmax_element(first, last);
    if (*high - *low < 1.0) {
      warn(file + ": the energies of the table span only " + printed("%.4g", *high - *low) +
           " cm-1; energies are expected in cm-1 and radii in Å (values in hartree or eV give "
           "such a span)");
    }
    const double Rlast = p.Rpts[static_cast<std::size_t>(p.points_read)];
    if (p.extflag != 'y' && grid.Rmax > Rlast) {
      warn(file + ": the grid reaches R = " + printed("%g", grid.Rmax) +
           " Å, beyond the last point of the table (R = " + printed("%g", Rlast) +
           " Å), and the file has no extension block: the curve there is the spline's "
           "extrapolation");
    }
  }
}

LongRangeExtension pointwise_extension(const PointwiseParameters& p) {
  LongRangeExtension ext;
  if (p.extflag != 'y') return ext;
  ext.extflag = 'y';
  ext.Rfit1 = p.Rfit1;
  ext.Rfit2 = p.Rfit2;
  ext.rho = p.rho;
  ext.extpar[1] = p.asymptote;
  ext.extfit[1] = p.asymptote_fit;
  for (int32_t n = 0; n < p.dispersion_read; ++n) {
    const PointwiseParameters::DispersionLine& d = p.dispersion[static_cast<std::size_t>(n)];
    ext.extpar[static_cast<std::size_t>(d.k)] = d.C;
    ext.extfit[static_cast<std::size_t>(d.k)] = d.fit;
    ext.nextpar = d.k;
  }
  ext.exchflag = p.exchflag;
  if (p.exchflag == 'y') {
    ext.extpar[2] = p.amplitude;
    ext.extfit[2] = p.amplitude_fit;
    ext.alpha = p.alpha;
    ext.gamma = p.gamma;
  }
  return ext;
}

double pointwise_asymptote(const PointwiseParameters& p) {
  return p.extflag == 'y' ? p.asymptote : kUinfUnset;
}

std::array<double, kPointwiseCapacity + 1> pointwise_second_derivatives(
    const PointwiseParameters& p) {
  std::array<double, kPointwiseCapacity + 1> Y2pts{};
  spline_second_derivatives(p.Npts, p.Rpts, p.Upts, Y2pts, p.y2first, p.y2last);
  return Y2pts;
}

double pec_pointwise(const PointwiseParameters& p, const std::string& potential_file,
                     std::span<double> Vgrid, const RadialGrid& grid, ExtensionFitStorage& work,
                     const NumericalFailureHandler& on_failure,
                     const ExtensionReportHandler& on_report) {
  require_grid_slots(Vgrid, grid.N, "pec_pointwise");
  console_line(FreeLine() << kPointwiseName);
  check_pointwise(p, potential_file);
  warn_pointwise(p, potential_file, grid);
  const LongRangeExtension ext = pointwise_extension(p);
  check_extension(ext, grid, potential_file);

  const auto Y2pts = pointwise_second_derivatives(p);
  const SplineTable spline{p.Npts, p.Rpts, p.Upts, Y2pts};
  tabulate_spline(Vgrid, grid, spline);
  if (ext.extflag == 'y') {
    // A spline that overflows would only be fitted into NaN parameters and reported as such.
    require_finite_curve(potential_file, Vgrid, grid);
    on_report.fit_starts();
    on_report.report(extension_fit(Vgrid, grid, ext, work, on_failure));
  }
  return pointwise_asymptote(p);
}

}  // namespace velk
