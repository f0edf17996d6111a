// velk.properties and velk.franck_condon: velk-props' figures of curves in hand.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <cmath>
#include <limits>
#include <optional>
#include <utility>

#include "arguments.h"
#include "bindings.h"
#include "core_call.h"
#include "io/transition_file.h"
#include "wave_properties.h"

namespace velk::python {
namespace {

constexpr double kEmpty = std::numeric_limits<double>::quiet_NaN();

double cell(const std::optional<double>& value) {
  return value ? *value : kEmpty;
}

// A numpy structured array filled column by column, its fields in the order they are added;
// pandas.DataFrame takes it as it is.
class ColumnTable {
 public:
  explicit ColumnTable(std::size_t rows) : rows_(rows) {}
  template <class T>
  void add(const char* name, const char* dtype, std::vector<T> values) {
    fields_.append(py::make_tuple(name, dtype));
    columns_.emplace_back(
        name, py::array(py::dtype(dtype), static_cast<py::ssize_t>(rows_), values.data()));
  }
  Table array() const {
    const py::module_ np = py::module_::import("numpy");
    py::object table = np.attr("zeros")(rows_, np.attr("dtype")(fields_));
    for (const auto& [name, values] : columns_) table[py::str(name)] = values;
    return Table(table);
  }

 private:
  std::size_t rows_;
  py::list fields_;
  std::vector<std::pair<std::string, py::array>> columns_;
};

props::SolveSettings settings_of(const Float& tol, const Int& maxit, const Bool& reversed) {
  props::SolveSettings s;
  s.tol = to_positive(tol, "tol");
  s.maxit = to_int_at_least(maxit, "maxit", 1);
  s.orientation =
      to_bool(reversed, "reversed") ? GridOrientation::reversed : GridOrientation::forward;
  return s;
}

StateSearch search_of(const Curve& curve, py::handle grid, const char* grid_name,
                      const Int& mass_index, const OptionalFloat& mass,
                      const props::SolveSettings& settings) {
  StateSearch search;
  search.grid = to_grid(curve.name, grid, grid_name);
  search.mass_index = to_int(mass_index, "mass_index");
  search.mass = to_optional_float(mass, "mass");
  search.settings = settings;
  return search;
}

Table properties_array(const std::vector<LevelPropertiesRow>& rows) {
  std::vector<int32_t> v, J, p;
  std::vector<uint8_t> found;
  std::vector<double> E, R_in, R_out, R_mean, R2_mean, Rinv2_mean, Bv, Dv, Hv, tunnel;
  for (const LevelPropertiesRow& r : rows) {
    v.push_back(r.level.v);
    J.push_back(r.level.J);
    p.push_back(r.level.p);
    found.push_back(r.found ? 1 : 0);
    const props::LevelFigures& f = r.figures;
    E.push_back(r.found ? r.E : kEmpty);
    R_in.push_back(r.found ? cell(f.turning.inner) : kEmpty);
    R_out.push_back(r.found ? cell(f.turning.outer) : kEmpty);
    R_mean.push_back(r.found ? f.expectations.R_mean : kEmpty);
    R2_mean.push_back(r.found ? f.expectations.R2_mean : kEmpty);
    Rinv2_mean.push_back(r.found ? f.expectations.Rinv2_mean : kEmpty);
    Bv.push_back(r.found ? f.expectations.Bv : kEmpty);
    Dv.push_back(f.distortion ? f.distortion->Dv : kEmpty);
    Hv.push_back(f.distortion ? f.distortion->Hv : kEmpty);
    tunnel.push_back(cell(r.tunnel));
  }
  ColumnTable table(rows.size());
  table.add("v", "<i4", v);
  table.add("J", "<i4", J);
  table.add("p", "<i4", p);
  table.add("E", "<f8", E);
  table.add("found", "?", found);
  table.add("R_in", "<f8", R_in);
  table.add("R_out", "<f8", R_out);
  table.add("R_mean", "<f8", R_mean);
  table.add("R2_mean", "<f8", R2_mean);
  table.add("Rinv2_mean", "<f8", Rinv2_mean);
  table.add("Bv", "<f8", Bv);
  table.add("Dv", "<f8", Dv);
  table.add("Hv", "<f8", Hv);
  table.add("tunnel", "<f8", tunnel);
  return table.array();
}

Table overlaps_array(const std::vector<OverlapRow>& rows) {
  std::vector<int32_t> uv, uJ, up, lv, lJ, lp;
  std::vector<char32_t> branch;
  std::vector<uint8_t> found;
  std::vector<double> FCF, centroid, moment, overlap, uE, lE;
  for (const OverlapRow& r : rows) {
    branch.push_back(branch_letter(branch_of(r.lower.J, r.upper.J)));
    uv.push_back(r.upper.v);
    uJ.push_back(r.upper.J);
    up.push_back(r.upper.p);
    lv.push_back(r.lower.v);
    lJ.push_back(r.lower.J);
    lp.push_back(r.lower.p);
    found.push_back(r.found ? 1 : 0);
    FCF.push_back(r.found ? r.figures.FCF : kEmpty);
    centroid.push_back(r.found ? r.figures.r_centroid : kEmpty);
    moment.push_back(r.found ? cell(r.figures.moment) : kEmpty);
    overlap.push_back(r.found ? r.figures.overlap : kEmpty);
    uE.push_back(r.found ? r.upper_E : kEmpty);
    lE.push_back(r.found ? r.lower_E : kEmpty);
  }
  ColumnTable table(rows.size());
  table.add("branch", "<U1", branch);
  table.add("upper_v", "<i4", uv);
  table.add("upper_J", "<i4", uJ);
  table.add("upper_p", "<i4", up);
  table.add("lower_v", "<i4", lv);
  table.add("lower_J", "<i4", lJ);
  table.add("lower_p", "<i4", lp);
  table.add("found", "?", found);
  table.add("FCF", "<f8", FCF);
  table.add("r_centroid", "<f8", centroid);
  table.add("moment", "<f8", moment);
  table.add("overlap", "<f8", overlap);
  table.add("upper_E", "<f8", uE);
  table.add("lower_E", "<f8", lE);
  return table.array();
}

// A path to a moment file, or the points (R, M) of one.
std::optional<props::MomentTable> to_moment(const Moment& moment) {
  if (moment.is_none()) return std::nullopt;
  if (is_path(moment)) {
    const std::string path = to_path(moment, "moment");
    return call_core([&] { return props::MomentTable::read(path); });
  }
  const char* form = "a file name or the points (R, M), R in Å and M in debye";
  const py::list points = to_items(moment, "moment", form);
  if (points.size() != 2) throw py::value_error(std::string("moment: ") + form);
  std::vector<double> R = to_vector(points[0], "moment"), M = to_vector(points[1], "moment");
  if (R.size() != M.size()) throw py::value_error("moment: R and M must have the same length");
  return call_core([&] { return props::MomentTable(std::move(R), std::move(M), "moment"); });
}

}  // namespace

void bind_props(py::module_& m) {
  m.def(
      "properties",
      [](const CurveParameter& curve_parameter, const Grid& grid, const Quantum& v,
         const Quantum& J, const Quantum& p, const Int& mass_index, const OptionalFloat& mass,
         const Float& tol, const Int& maxit, const Bool& reversed) {
        const Curve& curve = to_curve(curve_parameter, "curve");
        const std::vector<int32_t> vs = to_integers(v, "v", 0), Js = to_integers(J, "J", 0),
                                   ps = to_integers(p, "p", INT32_MIN);
        std::vector<LevelKey> levels;
        for (const int32_t Ji : Js) {
          for (const int32_t vi : vs) {
            for (const int32_t pi : ps) levels.push_back({vi, Ji, pi});
          }
        }
        const StateSearch search =
            search_of(curve, grid, "grid", mass_index, mass, settings_of(tol, maxit, reversed));
        const auto rows = call_core([&] { return level_properties(curve, search, levels); });
        return properties_array(rows);
      },
      py::arg("curve"), py::kw_only(), py::arg("grid"), py::arg("v") = 0, py::arg("J") = 0,
      py::arg("p") = 1, py::arg("mass_index") = 1, py::arg("mass") = py::none(),
      py::arg("tol") = 1e-6, py::arg("maxit") = 60, py::arg("reversed") = false,
      R"(Properties of the levels of a curve, as velk-props A writes them (Astate_props.csv).

curve: a velk.Curve; grid=(Rmin, Rmax, N) in Å; v, J, p: integers, ranges or sequences of
integers, taken J outermost, then v, then p. mass_index picks the header's reduced mass (1..5),
mass=m (u) uses m instead. tol (cm-1), maxit and reversed are the search settings of velk.inf.
Each level is searched as velk's level table searches it, so E is the energy velk lists.

Returns a numpy structured array, one row per level, with the columns of Astate_props.csv:
v, J, p; E (cm-1, with the Lambda-doubling term); found (False: the search did not find the
level, the following fields are NaN); R_in, R_out: classical turning points (Å, NaN where the
effective potential does not cross E on the grid); R_mean <R> (Å), R2_mean <R²> (Å²),
Rinv2_mean <R⁻²> (Å⁻²); Bv = <ħ²/(2μR²)>, Dv, Hv (cm-1) by rotational perturbation theory,
the expansion E + Bv·Δx − Dv·Δx² + Hv·Δx³ in x = J(J+1) about the level's own J (Dv and Hv
NaN for a quasi-bound level); tunnel: the tunnelling figure of a quasi-bound level, NaN
otherwise.)");

  m.def(
      "franck_condon",
      [](const CurveParameter& upper_parameter, const CurveParameter& lower_parameter,
         const OptionalFloat& mass, const Grid& grid, const OptionalGrid& lower_grid,
         const Quantum& v_upper, const OptionalQuantum& J_upper, const Quantum& v_lower,
         const Quantum& J_lower, const Quantum& p, const OptionalInt& p_upper,
         const Int& mass_index, const Float& tol, const Int& maxit, const Bool& reversed,
         const Moment& moment) {
        const Curve& upper = to_curve(upper_parameter, "upper");
        const Curve& lower = to_curve(lower_parameter, "lower");
        const std::vector<int32_t> vu = to_integers(v_upper, "v_upper", 0),
                                   vl = to_integers(v_lower, "v_lower", 0),
                                   Jl = to_integers(J_lower, "J_lower", 0),
                                   pl = to_integers(p, "p", INT32_MIN);
        // No J_upper: each pair at the lower level's own J.
        const bool same_J = J_upper.is_none();
        const std::vector<int32_t> Ju =
            same_J ? std::vector<int32_t>{} : to_integers(J_upper, "J_upper", 0);
        const std::optional<int32_t> pu = to_optional_int(p_upper, "p_upper");
        OverlapRequest request;
        for (const int32_t J2 : Jl) {
          for (const int32_t v2 : vl) {
            for (const int32_t p2 : pl) {
              for (const int32_t J1 : same_J ? std::vector<int32_t>{J2} : Ju) {
                // As velk's transition runs ask for them: the Q branch goes to the other
                // parity, P and R stay with the lower level's.
                const int32_t p1 = pu ? *pu : J1 == J2 ? std::abs(1 - p2) : p2;
                for (const int32_t v1 : vu) request.pairs.push_back({{v1, J1, p1}, {v2, J2, p2}});
              }
            }
          }
        }
        const props::SolveSettings settings = settings_of(tol, maxit, reversed);
        request.upper = search_of(upper, grid, "grid", mass_index, mass, settings);
        request.lower =
            lower_grid.is_none()
                ? search_of(lower, grid, "grid", mass_index, mass, settings)
                : search_of(lower, lower_grid, "lower_grid", mass_index, mass, settings);
        const std::optional<props::MomentTable> table = to_moment(moment);
        request.moment = table ? &*table : nullptr;
        const auto rows = call_core([&] { return level_overlaps(upper, lower, request); });
        return overlaps_array(rows);
      },
      py::arg("upper"), py::arg("lower"), py::arg("mass") = py::none(), py::kw_only(),
      py::arg("grid"), py::arg("lower_grid") = py::none(), py::arg("v_upper") = 0,
      py::arg("J_upper") = py::none(), py::arg("v_lower") = 0, py::arg("J_lower") = 0,
      py::arg("p") = 1, py::arg("p_upper") = py::none(), py::arg("mass_index") = 1,
      py::arg("tol") = 1e-6, py::arg("maxit") = 60, py::arg("reversed") = false,
      py::arg("moment") = py::none(),
      R"(Franck-Condon factors, r-centroids and transition-moment matrix elements between the
levels of two curves, as velk-props transitions writes them (vel_tran.csv).

upper, lower: velk.Curve; mass: the reduced mass (u) of both, or None for the header's mass
mass_index (1..5) of each. grid=(Rmin, Rmax, N) in Å is the upper curve's grid, lower_grid the
lower one's (default: the same); two different grids are joined into one common grid, from the
smaller Rmin to the larger Rmax with the finer step (at most 50000 points), and both curves are
built and solved on it. v_upper, J_upper, v_lower, J_lower, p (the lower parity): integers,
ranges or sequences; J_upper None means the lower level's J. The upper parity is p_upper, or by
default that of velk's transition runs: the lower one for P and R lines, the other one (|1 − p|)
for Q lines. moment: None, the path of a moment file (lines "R M", Å and debye) or the points
(R, M); the natural cubic spline through them, held at its end values outside.
tol (cm-1), maxit and reversed are the search settings of velk.inf.

Returns a numpy structured array, one row per pair (lower J, v, p outermost, then upper J, then
upper v), with the columns of vel_tran.csv: branch ("P", "Q", "R" by ΔJ = J_upper − J_lower),
upper_v, upper_J, upper_p, lower_v, lower_J, lower_p; found (False: a level not found, the
following fields NaN); FCF = <u|l>²; r_centroid = <u|R|l>/<u|l> (Å); moment = <u|M(R)|l>
(debye, NaN without a moment); overlap = <u|l>, each ψ with its innermost lobe positive;
upper_E, lower_E: the levels' energies on the common grid (cm-1).)");
}

}  // namespace velk::python
