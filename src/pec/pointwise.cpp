#include "pec/pointwise.h"

#include <algorithm>

#include "io/console.h"
#include "io/errors.h"
#include "io/formatted_output.h"
#include "io/free_format_reader.h"
#include "pec/potential_header.h"
#include "pec/spline.h"

namespace velk {
namespace {

// First character of a switch line; the end of the file means the block is absent.
char read_switch(FreeFormatReader& in) {
  const auto text = in.try_read_text(1);
  return text ? (*text)[0] : 'n';
}

void read_extension(FreeFormatReader& in, LongRangeExtension& ext) {
  const auto stop = [&](const std::string& what) {
    return StopRun(
        input_message(in.file_name(), "line " + std::to_string(in.line_number()) + ": " + what));
  };
  // Switches are summed to decide whether anything is fitted, so a negative one could cancel a
  // positive one (or leave a sum below zero, which means neither fitted nor fixed).
  const auto check_switch = [&](int32_t fit) {
    if (fit < 0)
      throw stop("fit switch " + std::to_string(fit) + " is negative (0 fixed, 1 fitted)");
  };
  in.read(ext.Rfit1, ext.Rfit2, ext.rho);
  in.read(ext.extpar[1], ext.extfit[1]);
  check_switch(ext.extfit[1]);
  int32_t m = 0;
  in.read(m);
  // Without a dispersion line the model would hold no parameter at all, not even the asymptote.
  if (m < 1) {
    throw stop("the long-range extension needs at least one dispersion line, found " +
               std::to_string(m));
  }
  for (int32_t line = 1; line <= m; ++line) {
    // Indices rise strictly, so every slot is still clean here: a read ended early by a slash
    // leaves the 0 of the clean state, as it would leave the array entry itself.
    int32_t k = 0;
    double C = 0.0;
    int32_t fit = 0;
    in.read(k, C, fit);
    // 1 and 2 would overwrite the asymptote or the exchange amplitude and cut the model short.
    if (k < 3 || k > kExtensionCapacity) {
      throw stop("dispersion index " + std::to_string(k) + " outside 3..20");
    }
    // The last index sets the size of the model, so a lower one after a higher one would drop
    // the higher term from the fit while the report still listed it.
    if (k <= ext.nextpar) {
      throw stop("dispersion index " + std::to_string(k) + " does not exceed the previous one (" +
                 std::to_string(ext.nextpar) + ")");
    }
    check_switch(fit);
    ext.extpar[k] = C;
    ext.extfit[k] = fit;
    ext.nextpar = k;
  }
  ext.exchflag = read_switch(in);
  if (ext.exchflag == 'y') {
    in.read(ext.extpar[2], ext.extfit[2]);
    check_switch(ext.extfit[2]);
    in.read(ext.alpha);
    in.read(ext.gamma);
  }
}

}  // namespace

PointwiseStorage::PointwiseStorage()
    : Rpts(kPointwiseCapacity + 1), Upts(kPointwiseCapacity + 1), Y2pts(kPointwiseCapacity + 1) {}

double pec_pointwise(const std::string& potential_file, std::span<double> Vgrid, double R0,
                     double h, int N, PointwiseStorage& table, ExtensionFitStorage& work,
                     const NumericalFailureHandler& on_failure) {
  require_grid_slots(Vgrid, N, "pec_pointwise");
  console_line(FreeLine() << "Pointwise PEC (delault)");

  // Nothing of an earlier file may show through, not even a value a short read leaves unchanged.
  std::fill(table.Rpts.begin(), table.Rpts.end(), 0.0);
  std::fill(table.Upts.begin(), table.Upts.end(), 0.0);
  std::fill(table.Y2pts.begin(), table.Y2pts.end(), 0.0);
  table.y2first = 0.0;
  table.y2last = 0.0;
  LongRangeExtension& ext = table.ext;
  ext = LongRangeExtension{};

  int32_t Npts = 0;
  {
    FreeFormatReader in(potential_file);
    Npts = skip_potential_header(in, kPointwiseCapacity, "number of points must be less than 500",
                                 "points");
    if (Npts < 2) {
      const std::string what = "a pointwise potential needs at least 2 points, found ";
      throw StopRun(input_message(potential_file, what + std::to_string(Npts)));
    }
    in.read(table.y2first);
    in.read(table.y2last);
    for (int32_t i = 1; i <= Npts; ++i) {
      in.read(table.Rpts[i], table.Upts[i]);
      if (i > 1 && !(table.Rpts[i] > table.Rpts[i - 1])) {
        throw StopRun(
            input_message(potential_file, "line " + std::to_string(in.line_number()) +
                                              ": the radii of the points must increase strictly"));
      }
    }
    ext.extflag = read_switch(in);
    if (ext.extflag == 'y') read_extension(in, ext);
  }

  // The asymptote as written in the file, before any fit changes it.
  const double Uinf = ext.extflag == 'y' ? ext.extpar[1] : kUinfUnset;
  spline_second_derivatives(Npts, table.Rpts, table.Upts, table.Y2pts, table.y2first, table.y2last);
  const SplineTable spline{Npts, table.Rpts, table.Upts, table.Y2pts};
  extension_fit(Vgrid, R0, h, spline, N, ext, work, potential_file, on_failure);
  return Uinf;
}

}  // namespace velk
