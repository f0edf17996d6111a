#include "curve.h"

#include <algorithm>
#include <iterator>
#include <sstream>
#include <stdexcept>

#include "io/errors.h"
#include "io/formatted_output.h"
#include "io/free_format_reader.h"
#include "numlib/failure_policy.h"
#include "pec/analytic.h"
#include "pec/extension_fit.h"
#include "pec/mlj.h"
#include "pec/pointwise.h"
#include "pec/spline.h"

namespace velk::python {
namespace {

// A grid of the single point R: R(1) = R0 + 1·0 is R itself, so a builder's tabulation routine
// evaluates the curve exactly at R.
RadialGrid point_grid(double R) {
  RadialGrid grid;
  grid.Rmin = grid.Rmax = grid.R0 = R;
  grid.N = 1;
  grid.h = 0.0;
  return grid;
}

// A two-point grid from the smallest to the largest radius (NaN when one is NaN), on which the
// builders' checks of radii (R > 0) are made.
RadialGrid covering_grid(std::span<const double> R) {
  double Rmin = R.front(), Rmax = R.front();
  for (const double r : R) {
    if (r != r) return RadialGrid(r, r, 2);
    Rmin = std::min(Rmin, r);
    Rmax = std::max(Rmax, r);
  }
  return Rmax > Rmin ? RadialGrid(Rmin, Rmax, 2) : point_grid(Rmin);
}

template <class Tabulate>
std::vector<double> pointwise_values(std::span<const double> R, Tabulate&& tabulate) {
  std::vector<double> values(R.size());
  std::array<double, 2> V{};
  for (std::size_t i = 0; i < R.size(); ++i) {
    tabulate(point_grid(R[i]), std::span<double>(V));
    values[i] = V[1];
  }
  return values;
}

std::vector<double> evaluate_points(const std::string& file, const PointwiseParameters& p,
                                    std::span<const double> R,
                                    const std::optional<RadialGrid>& grid) {
  check_pointwise(p, file);
  const auto Y2pts = pointwise_second_derivatives(p);
  const SplineTable spline{p.Npts, p.Rpts, p.Upts, Y2pts};
  std::vector<double> values(R.size());
  for (std::size_t i = 0; i < R.size(); ++i) {
    values[i] = spline_value(R[i], 1, p.Npts, p.Rpts, p.Upts, Y2pts);
  }
  const LongRangeExtension ext = pointwise_extension(p);
  if (ext.extflag != 'y') return values;
  if (!grid) {
    throw std::invalid_argument(
        "the long-range extension of " + file +
        " is fitted on the grid of points: give the grid, grid=(Rmin, Rmax, N)");
  }
  // The fit as the builder makes it, without potext.out; beyond the point where the model took
  // over, the model's value at R.
  check_extension(ext, *grid, file);
  std::vector<double> Vgrid(static_cast<std::size_t>(grid->N) + 1);
  tabulate_spline(Vgrid, *grid, spline);
  require_finite_curve(file, Vgrid, *grid);
  ExtensionFitStorage work;
  const ExtensionReport report = extension_fit(Vgrid, *grid, ext, work, throw_on_numerical_failure);
  std::array<double, kExtensionCapacity + 1> X{};
  for (std::size_t i = 0; i < R.size(); ++i) {
    const bool model = report.all_fixed ? R[i] > report.ext.Rfit2
                                        : report.connection_R && R[i] >= *report.connection_R;
    if (model) values[i] = extension_value(R[i], report.ext, X);
  }
  return values;
}

std::vector<double> evaluate_analytic(const std::string& file, const AnalyticParameters& p,
                                      std::span<const double> R) {
  check_analytic_wall(p, file);
  check_analytic(p, covering_grid(R), file);
  const AnalyticCurve curve = derive_analytic(p);
  return pointwise_values(
      R, [&](const RadialGrid& g, std::span<double> V) { tabulate_analytic(curve, g, V); });
}

std::vector<double> evaluate_mlj(const std::string& file, const MljParameters& p,
                                 std::span<const double> R) {
  check_mlj(p, covering_grid(R), file);
  return pointwise_values(R,
                          [&](const RadialGrid& g, std::span<double> V) { tabulate_mlj(p, g, V); });
}

void require_plain_name(const std::string& name) {
  if (name.empty() || name == "." || name == ".." || name.find('/') != std::string::npos ||
      name.find('\0') != std::string::npos) {
    throw std::invalid_argument("a curve's name is a plain file name, found \"" + name + "\"");
  }
  if (name == "potext.out") {
    throw std::invalid_argument("\"potext.out\" is the name of the extension fit's report");
  }
}

}  // namespace

std::string Curve::text_with_first_mass(double mass) const {
  const InputText file{name, text, std::nullopt, false};
  int last_mass_line = 0;
  {
    FreeFormatReader in(file);
    int32_t Npts = 0;
    std::array<double, 5> m{};
    in.read(Npts);
    in.read(m[0], m[1], m[2], m[3], m[4]);
    last_mass_line = in.line_number();
  }
  std::istringstream lines(text);
  std::string line, out;
  std::getline(lines, line);
  out = line + '\n' + shortest_decimal(mass);
  for (std::size_t i = 1; i < header.masses.size(); ++i)
    out += ' ' + shortest_decimal(header.masses[i]);
  out += '\n';
  for (int n = 2; n <= last_mass_line; ++n) std::getline(lines, line);
  out.append(std::istreambuf_iterator<char>(lines), std::istreambuf_iterator<char>());
  return out;
}

CurveDefinition Curve::definition_with_first_mass(std::optional<double> first_mass) const {
  if (!first_mass) return definition;
  return read_curve_definition(
      InputText{name, text_with_first_mass(*first_mass), std::nullopt, false});
}

Curve curve_from_file(const std::string& path) {
  const InputText file = read_input_text(path);
  // The program's InputError for a missing or short file, naming the path.
  read_curve_definition(file).checked_header();
  if (file.read_failed) throw InputError("velk: " + path + ": cannot be read");
  const std::size_t slash = path.find_last_of('/');
  return curve_from_text(slash == std::string::npos ? path : path.substr(slash + 1), file.bytes);
}

Curve curve_from_text(const std::string& name, std::string text) {
  require_plain_name(name);
  Curve curve;
  curve.name = name;
  curve.text = std::move(text);
  curve.definition = read_curve_definition(InputText{name, curve.text, std::nullopt, false});
  curve.header = curve.definition.checked_header();
  curve.representation = curve.definition.representation();
  return curve;
}

std::vector<double> evaluate_curve(const Curve& curve, std::span<const double> R,
                                   const std::optional<RadialGrid>& grid) {
  if (R.empty()) return {};
  const CurveDefinition& d = curve.definition;
  switch (d.representation()) {
    case Representation::analytic:
      return evaluate_analytic(d.name, std::get<AnalyticParameters>(d.parameters), R);
    case Representation::mlj:
      return evaluate_mlj(d.name, std::get<MljParameters>(d.parameters), R);
    case Representation::pointwise:
      break;
  }
  return evaluate_points(d.name, std::get<PointwiseParameters>(d.parameters), R, grid);
}

std::vector<double> tabulate_curve(const Curve& curve, const RadialGrid& grid) {
  std::vector<double> Vgrid(static_cast<std::size_t>(grid.N) + 1);
  PotentialBuilder builder;
  builder.build(curve.definition, Vgrid, grid, BuildOptions{});
  Vgrid.erase(Vgrid.begin());
  return Vgrid;
}

RadialGrid checked_grid(const std::string& name, double Rmin, double Rmax, int32_t N) {
  switch (check_grid(Rmin, Rmax, N)) {
    case GridProblem::too_many_points:
      throw StopRun("number of points must be less than 50000");
    case GridProblem::too_few_points:
      throw StopRun("velk: " + name +
                    ": the radial grid needs at least 2 points, N = " + std::to_string(N));
    case GridProblem::bad_limits:
      throw StopRun("velk: " + name + ": the radial grid needs 0 < Rmin < Rmax");
    case GridProblem::none:
      break;
  }
  return RadialGrid(Rmin, Rmax, N);
}

}  // namespace velk::python
