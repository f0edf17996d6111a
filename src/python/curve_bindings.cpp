// velk.Curve: construction from files, arrays and parameters, evaluation, levels, wave functions.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include "arguments.h"
#include "bindings.h"
#include "core_call.h"
#include "curve.h"
#include "level_table.h"
#include "pec/curve_file_text.h"
#include "pec/pointwise.h"
#include "text_file.h"

namespace velk::python {
namespace {

using DoubleArray = py::array_t<double, py::array::c_style | py::array::forcecast>;

HeaderFields header_fields(const Masses& masses, const Int& Lambda, const Float& q1,
                           const Float& q2, const Text& description) {
  HeaderFields h;
  h.masses = to_masses(masses, "masses");
  h.Lambda = to_int(Lambda, "Lambda");
  h.q1 = to_float(q1, "q1");
  h.q2 = to_float(q2, "q2");
  h.description = to_text(description, "description");
  h.remark = "written by the Python module velk";
  return h;
}

template <class T>
py::array_t<T> to_array(const std::vector<T>& values) {
  return py::array_t<T>(static_cast<py::ssize_t>(values.size()), values.data());
}

// The levels as a structured array that pandas.DataFrame takes as it is.
Table level_array(const std::vector<LevelRecord>& levels, double tol) {
  const py::module_ np = py::module_::import("numpy");
  py::list dtype;
  dtype.append(py::make_tuple("v", "<i4"));
  dtype.append(py::make_tuple("J", "<i4"));
  dtype.append(py::make_tuple("p", "<i4"));
  dtype.append(py::make_tuple("E", "<f8"));
  dtype.append(py::make_tuple("node", "<i4"));
  dtype.append(py::make_tuple("tunnel", "<f8"));
  dtype.append(py::make_tuple("converged", "?"));
  py::object table = np.attr("zeros")(levels.size(), np.attr("dtype")(dtype));
  std::vector<int32_t> v, J, p, node;
  std::vector<double> E, tunnel;
  std::vector<uint8_t> converged;
  for (const LevelRecord& l : levels) {
    v.push_back(l.v);
    J.push_back(l.J);
    p.push_back(l.Par);
    E.push_back(l.E);
    node.push_back(l.results.node);
    // The tunnelling figure belongs to a quasi-bound level only, as the level file lists it.
    tunnel.push_back(l.quasi_bound ? l.tunnel : std::nan(""));
    converged.push_back(std::fabs(l.results.Dcor) <= tol ? 1 : 0);
  }
  table[py::str("v")] = to_array(v);
  table[py::str("J")] = to_array(J);
  table[py::str("p")] = to_array(p);
  table[py::str("E")] = to_array(E);
  table[py::str("node")] = to_array(node);
  table[py::str("tunnel")] = to_array(tunnel);
  table[py::str("converged")] = to_array(converged);
  return table;
}

// Refused here rather than when the first levels are computed: the points of a table, more than
// the builder holds, radii out of order.
void check_points(const std::vector<double>& R, const std::vector<double>& U) {
  if (U.size() != R.size()) {
    throw py::value_error("U: the same length as R (" + std::to_string(R.size()) + "), found " +
                          std::to_string(U.size()));
  }
  if (R.size() < 2 || R.size() > static_cast<std::size_t>(kPointwiseCapacity)) {
    throw py::value_error("R: 2 to " + std::to_string(kPointwiseCapacity) +
                          " points (the capacity of a table of points), found " +
                          std::to_string(R.size()));
  }
  for (std::size_t i = 1; i < R.size(); ++i) {
    if (!(R[i] > R[i - 1])) {
      throw py::value_error("R: the radii must increase strictly, found R[" + std::to_string(i) +
                            "] = " + std::string(py::repr(py::float_(R[i]))) + " after R[" +
                            std::to_string(i - 1) +
                            "] = " + std::string(py::repr(py::float_(R[i - 1]))));
    }
  }
}

// wall=(1, Asr, Bsr, Nsr) or (2, Asr, Bsr).
AnalyticWall to_wall(const Wall& wall) {
  const char* form = "(1, Asr, Bsr, Nsr) or (2, Asr, Bsr)";
  const py::list items = to_items(wall, "wall", form);
  if (items.size() < 3 || items.size() > 4) {
    throw py::value_error(std::string("wall: ") + form + ", found " + std::to_string(items.size()) +
                          " items");
  }
  return {to_int(items[0], "wall"), to_float(items[1], "wall"), to_float(items[2], "wall"),
          items.size() == 4 ? to_float(items[3], "wall") : 0.0};
}

// Extension of a table of points: Rfit = (Rfit1, Rfit2) turns it on.
std::optional<PointsExtension> to_extension(const Window& Rfit, const Float& rho,
                                            const Float& asymptote, const Coefficients& C,
                                            const FitNames& fit, const Triple& exchange) {
  py::set fitted;
  for (const py::handle item :
       to_items(fit, "fit", "an iterable of the k of C, \"asymptote\" or \"exchange\"")) {
    fitted.add(item);
  }
  const std::map<int, double> dispersion =
      C.is_none() ? std::map<int, double>{} : to_coefficients(C, "C");
  const std::optional<std::array<double, 3>> exchange_term =
      exchange.is_none()
          ? std::nullopt
          : std::optional(to_floats<3>(exchange, "exchange", "(amplitude, alpha, gamma)"));
  PointsExtension e;
  e.rho = to_float(rho, "rho");
  e.asymptote = {to_float(asymptote, "asymptote"), fitted.contains(py::str("asymptote"))};
  if (Rfit.is_none()) {
    if (!C.is_none() || exchange_term || py::len(fitted) > 0) {
      throw py::value_error(
          "Rfit: the long-range extension needs its fit window, Rfit=(Rfit1, Rfit2)");
    }
    return std::nullopt;
  }
  const auto window = to_floats<2>(Rfit, "Rfit", "(Rfit1, Rfit2)");
  e.Rfit1 = window[0];
  e.Rfit2 = window[1];
  for (const auto& [k, value] : dispersion) e.dispersion[k] = {value, fitted.contains(py::int_(k))};
  if (e.dispersion.empty()) {
    throw py::value_error("C: the long-range extension needs at least one C_k: C={6: C6, ...}");
  }
  if (exchange_term) {
    const auto [A, alpha, gamma] = *exchange_term;
    e.exchange = ExchangeTerm{{A, fitted.contains(py::str("exchange"))}, alpha, gamma};
  }
  for (const py::handle item : fitted) {
    const bool known =
        py::isinstance<py::int_>(item)
            ? e.dispersion.count(item.cast<int>()) > 0
            : item.equal(py::str("asymptote")) || (item.equal(py::str("exchange")) && e.exchange);
    if (!known) {
      throw py::value_error("fit: " + std::string(py::repr(item)) +
                            " is neither a k of C nor \"asymptote\" nor \"exchange\" (with "
                            "exchange given)");
    }
  }
  return e;
}

const char* representation_name(Representation r) {
  switch (r) {
    case Representation::analytic:
      return "analytic";
    case Representation::mlj:
      return "mlj";
    case Representation::pointwise:
      break;
  }
  return "pointwise";
}

}  // namespace

void bind_curve(py::module_& m) {
  py::class_<Curve> curve(m, "Curve", R"(A potential energy curve of one electronic state.

A curve is the text of a potential file as velk reads it (eight header lines with the five
reduced masses in u, Lambda and the Lambda-doubling constants q1, q2 in cm-1, then a table of
points, an analytic curve or an MLJ curve), kept under a file name. Every computation reads it
with velk's own readers and builders, so the numbers and the error messages are velk's.
Radii in Å, energies in cm-1, masses in u.)");

  curve.def_static(
      "from_file",
      [](const Path& path) {
        const std::string file = to_path(path, "path");
        return call_core([&] { return curve_from_file(file); });
      },
      py::arg("path"),
      R"(A potential file read as it stands (pointwise table, "AN" analytic or "ML" MLJ form).

The curve keeps the file's name (without directory) for its messages.)");

  curve.def_static(
      "points",
      [](const Numbers& R, const Numbers& U, const Masses& masses, const Int& Lambda,
         const Float& q1, const Float& q2, const Float& y2first, const Float& y2last,
         const Window& Rfit, const Float& rho, const Float& asymptote, const Coefficients& C,
         const FitNames& fit, const Triple& exchange, const Text& name, const Text& description) {
        PointsCurve c;
        c.R = to_vector(R, "R");
        c.U = to_vector(U, "U");
        check_points(c.R, c.U);
        c.y2first = to_float(y2first, "y2first");
        c.y2last = to_float(y2last, "y2last");
        c.extension = to_extension(Rfit, rho, asymptote, C, fit, exchange);
        const HeaderFields h = header_fields(masses, Lambda, q1, q2, description);
        const std::string file = to_text(name, "name");
        return call_core([&] { return curve_from_text(file, pointwise_file_text(h, c)); });
      },
      py::arg("R"), py::arg("U"), py::arg("masses"), py::kw_only(), py::arg("Lambda") = 0,
      py::arg("q1") = 0.0, py::arg("q2") = 0.0, py::arg("y2first") = 0.0, py::arg("y2last") = 0.0,
      py::arg("Rfit") = py::none(), py::arg("rho") = 0.0, py::arg("asymptote") = 0.0,
      py::arg("C") = py::none(), py::arg("fit") = py::tuple(), py::arg("exchange") = py::none(),
      py::arg("name") = "points.pot", py::arg("description") = "",
      R"(A table of points R (Å, strictly increasing), U (cm-1) joined by a cubic spline.

masses: the reduced mass (u), or up to five of them (mass_index picks one in levels()).
y2first, y2last: the spline's second derivatives at the ends (cm-1/Å²), 0 for a natural spline.
Long-range extension (replaces the spline at large R): Rfit=(Rfit1, Rfit2) the fit window (Å),
rho the damping (0 = none), asymptote (cm-1), C={k: C_k} the terms -C_k/R^k (k = 3..20, cm-1 Å^k),
exchange=(amplitude, alpha, gamma) the term amplitude·R^alpha·exp(-gamma·R); fit names what the
fit adjusts: the integers k of C_k, "asymptote", "exchange"; the rest is held.)");

  curve.def_static(
      "mlj",
      [](const Float& Re, const Numbers& beta, const Float& De, const Int& p, const Float& Cp,
         const Float& delta, const Float& Rx, const Masses& masses, const Int& Lambda,
         const Float& q1, const Float& q2, const Text& name, const Text& description) {
        const MljCurve c{to_float(Re, "Re"), to_vector(beta, "beta"), to_float(De, "De"),
                         to_int(p, "p"),     to_float(Cp, "Cp"),      to_float(delta, "delta"),
                         to_float(Rx, "Rx")};
        const HeaderFields h = header_fields(masses, Lambda, q1, q2, description);
        const std::string file = to_text(name, "name");
        return call_core([&] { return curve_from_text(file, mlj_file_text(h, c)); });
      },
      py::arg("Re"), py::arg("beta"), py::arg("De"), py::arg("p"), py::arg("Cp"), py::arg("delta"),
      py::arg("Rx"), py::arg("masses"), py::kw_only(), py::arg("Lambda") = 0, py::arg("q1") = 0.0,
      py::arg("q2") = 0.0, py::arg("name") = "mlj.pot", py::arg("description") = "",
      R"(An MLJ curve V(R) = De (1 - (Re/R)^p exp(-beta(R) y))², y = (R - Re)/(R + Re).

Re (Å), beta = [beta_0, ..., beta_K], De (cm-1), p and Cp (cm-1 Å^p) of the tail De - Cp/R^p,
delta (Å^-1) and Rx (Å) of the switching function; masses in u.)");

  curve.def_static(
      "analytic",
      [](const Float& Rm, const Float& b, const Numbers& a, const Wall& wall, const Float& Uinf,
         const Coefficients& C, const Triple& exchange, const Float& Ri, const Float& Ro,
         const Masses& masses, const Int& Lambda, const Float& q1, const Float& q2,
         const Text& name, const Text& description) {
        AnalyticCurveFields c;
        c.Rm = to_float(Rm, "Rm");
        c.b = to_float(b, "b");
        c.a = to_vector(a, "a");
        c.wall = to_wall(wall);
        c.Uinf = to_float(Uinf, "Uinf");
        if (!C.is_none()) c.C = to_coefficients(C, "C");
        if (!exchange.is_none()) {
          const auto [Aex, gex, bex] = to_floats<3>(exchange, "exchange", "(Aex, gex, bex)");
          c.Aex = Aex;
          c.gex = gex;
          c.bex = bex;
        }
        c.Ri = to_float(Ri, "Ri");
        c.Ro = to_float(Ro, "Ro");
        const HeaderFields h = header_fields(masses, Lambda, q1, q2, description);
        const std::string file = to_text(name, "name");
        return call_core([&] { return curve_from_text(file, analytic_file_text(h, c)); });
      },
      py::arg("Rm"), py::arg("b"), py::arg("a"), py::arg("wall"), py::arg("Uinf"), py::arg("C"),
      py::arg("exchange"), py::arg("Ri"), py::arg("Ro"), py::arg("masses"), py::kw_only(),
      py::arg("Lambda") = 0, py::arg("q1") = 0.0, py::arg("q2") = 0.0,
      py::arg("name") = "analytic.pot", py::arg("description") = "",
      R"(An analytic curve: between Ri and Ro (Å) the series sum a_k xi^k, xi = (R - Rm)/(R + b Rm).

Rm (Å), b, a = [a_0, ..., a_n] (cm-1); wall inside Ri: (1, Asr, Bsr, Nsr) for Asr + Bsr/R^Nsr
(Asr = Bsr = 0: matched to the series) or (2, Asr, Bsr) for Asr exp(-Bsr (R - Ri)); outside Ro
Uinf - sum C_k/R^k + Aex R^gex exp(-bex R) with C={k: C_k} (k = 1..20, cm-1 Å^k) and
exchange=(Aex, gex, bex); Uinf = 0 derives the asymptote and one more C_k. Masses in u.)");

  curve.def(
      "__call__",
      [](const Curve& c, const Radii& R, const OptionalGrid& grid) -> Values {
        const DoubleArray radii = to_radii(R, "R");
        const std::optional<RadialGrid> g =
            grid.is_none() ? std::nullopt : std::optional(to_grid(c.name, grid, "grid"));
        const auto values = call_core([&] {
          return evaluate_curve(c, std::span<const double>(radii.data(), radii.size()), g);
        });
        if (radii.ndim() == 0) return Values(py::float_(values.front()));
        py::array_t<double> out(radii.request().shape);
        std::copy(values.begin(), values.end(), out.mutable_data());
        return Values(out);
      },
      py::arg("R"), py::arg("grid") = py::none(),
      R"(The curve (cm-1) at R (Å, a number or an array), computed at each R as velk tabulates it.

A table of points with a fitted long-range extension needs grid=(Rmin, Rmax, N): the fit is
made on that grid's points, as velk makes it.)");

  curve.def(
      "tabulate",
      [](const Curve& c, const Grid& grid) {
        const RadialGrid g = to_grid(c.name, grid, "grid");
        std::vector<double> R;
        for (int i = 1; i <= g.N; ++i) R.push_back(g.R(i));
        const std::vector<double> U = call_core([&] { return tabulate_curve(c, g); });
        return ArrayPair(py::make_tuple(to_array(R), to_array(U)));
      },
      py::arg("grid"),
      R"((R, U): the curve as velk's builder tabulates it on grid=(Rmin, Rmax, N), R in Å, U in cm-1.)");

  curve.def(
      "levels",
      [](const Curve& c, const Grid& grid, const Int& mass_index, const Quantum& v,
         const Quantum& J, const Quantum& p, const Text& mode, const Float& tol, const Int& maxit,
         const Bool& reversed, const OptionalFloat& mass) {
        LevelTableCall request;
        request.grid = to_grid(c.name, grid, "grid");
        request.mass_index = to_int(mass_index, "mass_index");
        request.mass = to_optional_float(mass, "mass");
        request.v = to_range(v, "v", 0);
        request.J = to_range(J, "J", 0);
        request.Par = to_range(p, "p", INT32_MIN);
        request.tol = to_positive(tol, "tol");
        request.maxit = to_int_at_least(maxit, "maxit", 1);
        request.reversed = to_bool(reversed, "reversed");
        request.mode = to_mode(mode, "mode");
        const std::vector<LevelRecord> levels =
            call_core([&] { return compute_levels(c, request); });
        return level_array(levels, request.tol);
      },
      py::arg("grid"), py::arg("mass_index") = 1, py::arg("v") = 0, py::arg("J") = 0,
      py::arg("p") = 1, py::arg("mode") = "exact", py::arg("tol") = 1e-6, py::arg("maxit") = 60,
      py::arg("reversed") = false, py::arg("mass") = py::none(),
      R"(Term energies (cm-1) of the levels v, J, p on grid=(Rmin, Rmax, N) (Å).

v, J, p: an integer, a range or consecutive integers; computed J outer, v, p inner, as velk
lists them. mass_index picks the reduced mass of the header (1..5); mass=m (u) uses m instead,
as velk does for a file whose first reduced mass is m. tol (cm-1) and maxit steer the energy
search; reversed=True uses the reversed-grid solver.
mode="exact" gives the energies velk writes for the same request, bit for bit; mode="fast"
those of velk --fast: the same levels, energies equal within tol, many times sooner.
Returns a numpy structured array with fields v, J, p, E (cm-1), node, tunnel (quasi-bound
levels only, NaN otherwise) and converged; pandas.DataFrame takes it as it is. Levels that
velk leaves out of its level table (after two poorly converged ones in a J) are left out here.)");

  curve.def(
      "wavefunction",
      [](const Curve& c, const Float& mass, const Int& v, const Int& J, const Grid& grid,
         const Float& tol, const Int& maxit) {
        WaveFunctionRequest request;
        request.mass = to_float(mass, "mass");
        request.v = to_int_at_least(v, "v", 0);
        request.J = to_int_at_least(J, "J", 0);
        request.grid = to_grid(c.name, grid, "grid");
        request.tol = to_positive(tol, "tol");
        request.maxit = to_int_at_least(maxit, "maxit", 1);
        const WaveFunction w = call_core([&] { return compute_wavefunction(c, request); });
        return ArrayPair(py::make_tuple(to_array(w.R), to_array(w.psi)));
      },
      py::arg("mass"), py::arg("v"), py::arg("J"), py::kw_only(), py::arg("grid"),
      py::arg("tol") = 1e-6, py::arg("maxit") = 60,
      R"((R, psi): the vibrational wave function of level (v, J) for the reduced mass (u).

R on grid=(Rmin, Rmax, N) (Å); psi (Å^-1/2) normalised so that the sum of psi² times the step
is 1, positive at the inner end. The level is solved as velk solves it, on a forward grid.
A wave function is returned only with its v nodes: ValueError when the curve has no level v at J
on the grid (the message gives the levels it has), velk.NumericalFailure when the search ends on
a solution with another node count.)");

  curve.def_property_readonly(
      "name", [](const Curve& c) { return c.name; }, "The file name the curve's messages give.");
  curve.def_property_readonly(
      "text", [](const Curve& c) { return c.text; }, "The potential file, as velk reads it.");
  curve.def_property_readonly(
      "masses",
      [](const Curve& c) {
        const auto& m = c.header.masses;
        return MassTuple(py::make_tuple(m[0], m[1], m[2], m[3], m[4]));
      },
      "The five reduced masses of the header (u).");
  curve.def_property_readonly("Lambda", [](const Curve& c) { return c.header.Lambda; });
  curve.def_property_readonly(
      "representation", [](const Curve& c) { return representation_name(c.representation); },
      "\"pointwise\", \"analytic\" or \"mlj\".");
  curve.def(
      "save",
      [](const Curve& c, const Path& path) { write_text_file(to_path(path, "path"), c.text); },
      py::arg("path"),
      R"(Writes the potential file, for a run of velk.

The file is replaced whole or not at all; a path that is a directory, a FIFO or a device is
refused. A failure raises OSError (PermissionError, FileNotFoundError...) with errno and the
path as its filename.)");
  curve.def("__repr__", [](const Curve& c) {
    return "<velk.Curve " + c.name + " (" + representation_name(c.representation) + ")>";
  });
}

}  // namespace velk::python
