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
  py::object array() const {
    const py::module_ np = py::module_::import("numpy");
    py::object table = np.attr("zeros")(rows_, np.attr("dtype")(fields_));
    for (const auto& [name, values] : columns_) table[py::str(name)] = values;
    return table;
  }

 private:
  std::size_t rows_;
  py::list fields_;
  std::vector<std::pair<std::string, py::array>> columns_;
};

props::SolveSettings settings_of(double tol, int32_t maxit, bool reversed) {
  props::SolveSettings s;
  s.tol = tol;
  s.maxit = maxit;
  s.orientation = reversed ? GridOrientation::reversed : GridOrientation::forward;
  return s;
}

StateSearch search_of(const Curve& curve, const py::object& grid, int32_t mass_index,
                      const py::object& mass, const props::SolveSettings& settings) {
  StateSearch search;
  search.grid = to_grid(curve.name, grid);
  search.mass_index = mass_index;
  if (!mass.is_none()) search.mass = mass.cast<double>();
  search.settings = settings;
  return search;
}

py::object properties_array(const std::vector<LevelPropertiesRow>& rows) {
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

py::object overlaps_array(const std::vector<OverlapRow>& rows) {
  std::vector<int32_t> uv, uJ, up, lv, lJ, lp;
  std::vector<char> branch;
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
  table.add("branch", "S1", branch);
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
std::optional<props::MomentTable> to_moment(const py::object& moment) {
  if (moment.is_none()) return std::nullopt;
  if (py::isinstance<py::str>(moment) ||
      py::isinstance(moment, py::module_::import("os").attr("PathLike"))) {
    const std::string path = path_text(moment);
    return call_core([&] { return props::MomentTable::read(path); });
  }
  const py::tuple points = moment.cast<py::tuple>();
  if (points.size() != 2) {
    throw py::value_error("moment: a file name or the points (R, M), R in Å and M in debye");
  }
  std::vector<double> R = to_vector(points[0], "moment R"), M = to_vector(points[1], "moment M");
  if (R.size() != M.size()) throw py::value_error("moment: R and M must have the same length");
  return call_core([&] { return props::MomentTable(std::move(R), std::move(M), "moment"); });
}

}  // namespace

void bind_props(py::module_& m) {
  m.def(
      "properties",
      [](const Curve& curve, const py::object& grid, const py::object& v, const py::object& J,
         const py::object& p, int32_t mass_index, const py::object& mass, double tol, int32_t maxit,
         bool reversed) {
        const std::vector<int32_t> vs = to_integers(v, "v"), Js = to_integers(J, "J"),
                                   ps = to_integers(p, "p");
        std::vector<LevelKey> levels;
        for (const int32_t Ji : Js) {
          for (const int32_t vi : vs) {
            for (const int32_t pi : ps) levels.push_back({vi, Ji, pi});
          }
        }
        return call_core([&] {
          const StateSearch search =
              search_of(curve, grid, mass_index, mass, settings_of(tol, maxit, reversed));
          return properties_array(level_properties(curve, search, levels));
        });
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
      [](const Curve& upper, const Curve& lower, const py::object& mass, const py::object& grid,
         const py::object& lower_grid, const py::object& v_upper, const py::object& J_upper,
         const py::object& v_lower, const py::object& J_lower, const py::object& p,
         const py::object& p_upper, int32_t mass_index, double tol, int32_t maxit, bool reversed,
         const py::object& moment) {
        const std::vector<int32_t> vu = to_integers(v_upper, "v_upper"),
                                   vl = to_integers(v_lower, "v_lower"),
                                   Jl = to_integers(J_lower, "J_lower"), pl = to_integers(p, "p");
        // No J_upper: each pair at the lower level's own J.
        const bool same_J = J_upper.is_none();
        const std::vector<int32_t> Ju =
            same_J ? std::vector<int32_t>{} : to_integers(J_upper, "J_upper");
        const std::optional<int32_t> pu =
            p_upper.is_none() ? std::nullopt : std::optional<int32_t>(p_upper.cast<int32_t>());
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
        const std::optional<props::MomentTable> table = to_moment(moment);
        request.moment = table ? &*table : nullptr;
        return call_core([&] {
          const props::SolveSettings settings = settings_of(tol, maxit, reversed);
          request.upper = search_of(upper, grid, mass_index, mass, settings);
          request.lower = search_of(lower, lower_grid.is_none() ? grid : lower_grid, mass_index,
                                    mass, settings);
          return overlaps_array(level_overlaps(upper, lower, request));
        });
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
upper v), with the columns of vel_tran.csv: branch (b"P", b"Q", b"R" by ΔJ = J_upper − J_lower),
upper_v, upper_J, upper_p, lower_v, lower_J, lower_p; found (False: a level not found, the
following fields NaN); FCF = <u|l>²; r_centroid = <u|R|l>/<u|l> (Å); moment = <u|M(R)|l>
(debye, NaN without a moment); overlap = <u|l>, each ψ with its innermost lobe positive;
upper_E, lower_E: the levels' energies on the common grid (cm-1).)");
}

}  // namespace velk::python
