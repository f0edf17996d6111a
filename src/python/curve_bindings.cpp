// velk.Curve: construction from files, arrays and parameters, evaluation, levels, wave functions.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <fstream>

#include "arguments.h"
#include "bindings.h"
#include "core_call.h"
#include "curve.h"
#include "curve_files.h"
#include "level_table.h"

namespace velk::python {
namespace {

using DoubleArray = py::array_t<double, py::array::c_style | py::array::forcecast>;

// A float, or a sequence of one to five floats: the reduced masses 1..5 (u), the rest 0.
std::array<double, 5> to_masses(const py::object& masses) {
  std::array<double, 5> m{};
  if (py::isinstance<py::float_>(masses) || py::isinstance<py::int_>(masses)) {
    m[0] = masses.cast<double>();
    return m;
  }
  const std::vector<double> values = to_vector(masses, "masses");
  if (values.empty() || values.size() > 5) {
    throw py::value_error("masses: one to five reduced masses (u), found " +
                          std::to_string(values.size()));
  }
  std::copy(values.begin(), values.end(), m.begin());
  return m;
}

HeaderFields header_fields(const py::object& masses, int Lambda, double q1, double q2,
                           const std::string& description) {
  HeaderFields h;
  h.masses = to_masses(masses);
  h.Lambda = Lambda;
  h.q1 = q1;
  h.q2 = q2;
  h.description = description;
  return h;
}

// int n -> n..n; range(a, b) -> a..b-1 (empty when b <= a); a sequence of consecutive integers.
QuantumRange to_range(const py::object& value, const char* what) {
  if (py::isinstance<py::int_>(value) ||
      py::isinstance(value, py::module_::import("numpy").attr("integer"))) {
    const int32_t n = value.cast<int32_t>();
    return {n, n};
  }
  if (py::isinstance(value, py::module_::import("builtins").attr("range"))) {
    if (value.attr("step").cast<int64_t>() != 1) {
      throw py::value_error(std::string(what) + ": a range of step 1");
    }
    return {value.attr("start").cast<int32_t>(), value.attr("stop").cast<int32_t>() - 1};
  }
  if (!py::isinstance<py::iterable>(value)) {
    throw py::type_error(std::string(what) + ": an integer, a range or a sequence of integers");
  }
  const py::object index = py::module_::import("operator").attr("index");
  std::vector<int64_t> items;
  for (const py::handle item : value) items.push_back(index(item).cast<int64_t>());
  for (std::size_t i = 1; i < items.size(); ++i) {
    if (items[i] != items[i - 1] + 1) {
      throw py::value_error(std::string(what) +
                            ": consecutive integers in increasing order (levels are computed "
                            "for a range first..last)");
    }
  }
  if (items.empty()) return {0, -1};
  return {static_cast<int32_t>(items.front()), static_cast<int32_t>(items.back())};
}

RadialGrid to_grid(const Curve& curve, const py::object& grid) {
  return velk::python::to_grid(curve.name, grid);
}

std::optional<RadialGrid> to_optional_grid(const Curve& curve, const py::object& grid) {
  if (grid.is_none()) return std::nullopt;
  return to_grid(curve, grid);
}

template <class T>
py::array_t<T> to_array(const std::vector<T>& values) {
  return py::array_t<T>(static_cast<py::ssize_t>(values.size()), values.data());
}

// The levels as a structured array that pandas.DataFrame takes as it is.
py::object level_array(const std::vector<LevelRecord>& levels, double tol) {
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

// Extension of a table of points: Rfit = (Rfit1, Rfit2) turns it on.
std::optional<PointsExtension> to_extension(const py::object& Rfit, double rho, double asymptote,
                                            const py::object& C, const py::object& fit,
                                            const py::object& exchange) {
  if (Rfit.is_none()) {
    if (!C.is_none() || !exchange.is_none() || py::len(fit) > 0) {
      throw py::value_error("the long-range extension needs its fit window, Rfit=(Rfit1, Rfit2)");
    }
    return std::nullopt;
  }
  PointsExtension e;
  std::tie(e.Rfit1, e.Rfit2) = Rfit.cast<std::pair<double, double>>();
  e.rho = rho;
  py::set fitted;
  for (const py::handle item : fit) fitted.add(item);
  e.asymptote = {asymptote, fitted.contains(py::str("asymptote"))};
  if (!C.is_none()) {
    for (const auto& [k, value] : C.cast<std::map<int, double>>()) {
      e.dispersion[k] = {value, fitted.contains(py::int_(k))};
    }
  }
  if (e.dispersion.empty()) {
    throw py::value_error("the long-range extension needs at least one C_k: C={6: C6, ...}");
  }
  if (!exchange.is_none()) {
    const auto [A, alpha, gamma] = exchange.cast<std::tuple<double, double, double>>();
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

SearchMode to_mode(const std::string& mode) {
  if (mode == "exact") return SearchMode::exact;
  if (mode == "fast") return SearchMode::fast;
  throw py::value_error("mode must be \"exact\" or \"fast\", found \"" + mode + "\"");
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
      [](const py::object& path) {
        return call_core([&] { return curve_from_file(path_text(path)); });
      },
      py::arg("path"),
      R"(A potential file read as it stands (pointwise table, "AN" analytic or "ML" MLJ form).

The curve keeps the file's name (without directory) for its messages.)");

  curve.def_static(
      "points",
      [](const py::object& R, const py::object& U, const py::object& masses, int Lambda, double q1,
         double q2, double y2first, double y2last, const py::object& Rfit, double rho,
         double asymptote, const py::object& C, const py::object& fit, const py::object& exchange,
         const std::string& name, const std::string& description) {
        PointsCurve c;
        c.R = to_vector(R, "R");
        c.U = to_vector(U, "U");
        if (c.R.size() != c.U.size()) throw py::value_error("R and U must have the same length");
        c.y2first = y2first;
        c.y2last = y2last;
        c.extension = to_extension(Rfit, rho, asymptote, C, fit, exchange);
        const HeaderFields h = header_fields(masses, Lambda, q1, q2, description);
        return call_core([&] { return curve_from_text(name, pointwise_file_text(h, c)); });
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
      [](double Re, const py::object& beta, double De, int p, double Cp, double delta, double Rx,
         const py::object& masses, int Lambda, double q1, double q2, const std::string& name,
         const std::string& description) {
        MljCurve c{Re, to_vector(beta, "beta"), De, p, Cp, delta, Rx};
        const HeaderFields h = header_fields(masses, Lambda, q1, q2, description);
        return call_core([&] { return curve_from_text(name, mlj_file_text(h, c)); });
      },
      py::arg("Re"), py::arg("beta"), py::arg("De"), py::arg("p"), py::arg("Cp"), py::arg("delta"),
      py::arg("Rx"), py::arg("masses"), py::kw_only(), py::arg("Lambda") = 0, py::arg("q1") = 0.0,
      py::arg("q2") = 0.0, py::arg("name") = "mlj.pot", py::arg("description") = "",
      R"(An MLJ curve V(R) = De (1 - (Re/R)^p exp(-beta(R) y))², y = (R - Re)/(R + Re).

Re (Å), beta = [beta_0, ..., beta_K], De (cm-1), p and Cp (cm-1 Å^p) of the tail De - Cp/R^p,
delta (Å^-1) and Rx (Å) of the switching function; masses in u.)");

  curve.def_static(
      "analytic",
      [](double Rm, double b, const py::object& a, const py::object& wall, double Uinf,
         const py::object& C, const py::object& exchange, double Ri, double Ro,
         const py::object& masses, int Lambda, double q1, double q2, const std::string& name,
         const std::string& description) {
        AnalyticCurveFields c;
        c.Rm = Rm;
        c.b = b;
        c.a = to_vector(a, "a");
        const py::tuple w = wall.cast<py::tuple>();
        if (w.size() < 3 || w.size() > 4) {
          throw py::value_error("wall: (1, Asr, Bsr, Nsr) or (2, Asr, Bsr)");
        }
        c.wall = {w[0].cast<int>(), w[1].cast<double>(), w[2].cast<double>(),
                  w.size() == 4 ? w[3].cast<double>() : 0.0};
        c.Uinf = Uinf;
        if (!C.is_none()) c.C = C.cast<std::map<int, double>>();
        std::tie(c.Aex, c.gex, c.bex) = exchange.cast<std::tuple<double, double, double>>();
        c.Ri = Ri;
        c.Ro = Ro;
        const HeaderFields h = header_fields(masses, Lambda, q1, q2, description);
        return call_core([&] { return curve_from_text(name, analytic_file_text(h, c)); });
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
      [](const Curve& c, const py::object& R, const py::object& grid) -> py::object {
        const bool scalar = py::isinstance<py::float_>(R) || py::isinstance<py::int_>(R);
        const DoubleArray radii = DoubleArray::ensure(R);
        if (!radii) throw py::value_error("R must be a number or an array of numbers");
        const auto values = call_core([&] {
          return evaluate_curve(c, std::span<const double>(radii.data(), radii.size()),
                                to_optional_grid(c, grid));
        });
        if (scalar) return py::float_(values.front());
        py::array_t<double> out(radii.request().shape);
        std::copy(values.begin(), values.end(), out.mutable_data());
        return out;
      },
      py::arg("R"), py::arg("grid") = py::none(),
      R"(The curve (cm-1) at R (Å, a number or an array), computed at each R as velk tabulates it.

A table of points with a fitted long-range extension needs grid=(Rmin, Rmax, N): the fit is
made on that grid's points, as velk makes it.)");

  curve.def(
      "tabulate",
      [](const Curve& c, const py::object& grid) {
        return call_core([&] {
          const RadialGrid g = to_grid(c, grid);
          std::vector<double> R;
          for (int i = 1; i <= g.N; ++i) R.push_back(g.R(i));
          return py::make_tuple(to_array(R), to_array(tabulate_curve(c, g)));
        });
      },
      py::arg("grid"),
      R"((R, U): the curve as velk's builder tabulates it on grid=(Rmin, Rmax, N), R in Å, U in cm-1.)");

  curve.def(
      "levels",
      [](const Curve& c, const py::object& grid, int32_t mass_index, const py::object& v,
         const py::object& J, const py::object& p, const std::string& mode, double tol,
         int32_t maxit, bool reversed, const py::object& mass) {
        LevelTableCall request;
        request.mass_index = mass_index;
        if (!mass.is_none()) request.mass = mass.cast<double>();
        request.v = to_range(v, "v");
        request.J = to_range(J, "J");
        request.Par = to_range(p, "p");
        request.tol = tol;
        request.maxit = maxit;
        request.reversed = reversed;
        request.mode = to_mode(mode);
        return call_core([&] {
          request.grid = to_grid(c, grid);
          return level_array(compute_levels(c, request), tol);
        });
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
      [](const Curve& c, double mass, int32_t v, int32_t J, const py::object& grid, double tol,
         int32_t maxit) {
        return call_core([&] {
          WaveFunctionRequest request;
          request.grid = to_grid(c, grid);
          request.mass = mass;
          request.v = v;
          request.J = J;
          request.tol = tol;
          request.maxit = maxit;
          const WaveFunction w = compute_wavefunction(c, request);
          return py::make_tuple(to_array(w.R), to_array(w.psi));
        });
      },
      py::arg("mass"), py::arg("v"), py::arg("J"), py::kw_only(), py::arg("grid"),
      py::arg("tol") = 1e-6, py::arg("maxit") = 60,
      R"((R, psi): the vibrational wave function of level (v, J) for the reduced mass (u).

R on grid=(Rmin, Rmax, N) (Å); psi (Å^-1/2) normalised so that the sum of psi² times the step
is 1, positive at the inner end. The level is solved as velk solves it, on a forward grid.)");

  curve.def_property_readonly(
      "name", [](const Curve& c) { return c.name; }, "The file name the curve's messages give.");
  curve.def_property_readonly(
      "text", [](const Curve& c) { return c.text; }, "The potential file, as velk reads it.");
  curve.def_property_readonly(
      "masses",
      [](const Curve& c) {
        const auto& m = c.header.masses;
        return py::make_tuple(m[0], m[1], m[2], m[3], m[4]);
      },
      "The five reduced masses of the header (u).");
  curve.def_property_readonly("Lambda", [](const Curve& c) { return c.header.Lambda; });
  curve.def_property_readonly(
      "representation", [](const Curve& c) { return representation_name(c.representation); },
      "\"pointwise\", \"analytic\" or \"mlj\".");
  curve.def(
      "save",
      [](const Curve& c, const py::object& path) {
        const std::string file = path_text(path);
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        out << c.text;
        out.close();
        if (!out) throw py::value_error("cannot write " + file);
      },
      py::arg("path"), "Writes the potential file, for a run of velk.");
  curve.def("__repr__", [](const Curve& c) {
    return "<velk.Curve " + c.name + " (" + representation_name(c.representation) + ")>";
  });
}

}  // namespace velk::python
