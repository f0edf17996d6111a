// velk.dunham.terms: term values from Dunham coefficients or band constants, by the program's sum.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include "arguments.h"
#include "bindings.h"
#include "core_call.h"
#include "io/errors.h"
#include "run/dunham.h"
#include "run/level_limits.h"

namespace velk::python {

using DoubleTable = py::array_t<double, py::array::c_style | py::array::forcecast>;

DunhamCoefficients coefficients_from_table(py::handle table, const std::string& form,
                                           double mass_ratio, double Lambda,
                                           const std::vector<double>& qs) {
  DunhamCoefficients c;
  if (form == "dunham") {
    c.coef_form = 'd';
  } else if (form == "band") {
    c.coef_form = 'b';
  } else {
    throw py::value_error("form: \"dunham\" or \"band\", found \"" + form + "\"");
  }
  c.mass_ratio = mass_ratio;
  c.dunham_lambda = Lambda;
  const std::optional<py::array> given = numeric_array(table);
  if (!given) wrong_kind("source", "a Dunham file's path or a table of numbers", table);
  const DoubleTable Y = DoubleTable::ensure(*given);
  if (Y.ndim() != 2) throw py::value_error("source: the coefficients must form a 2-D table");
  const py::ssize_t rows = Y.shape(0), columns = Y.shape(1);
  const bool dunham = c.dunham_form();
  if (rows > DunhamCoefficients::kRows || columns > (dunham ? DunhamCoefficients::kColumns : 6)) {
    throw py::value_error(dunham ? "source: Dunham coefficients Y[k][l], k = 0..50, l = 0..20"
                                 : "source: band constants, rows v = 0..50 of T, B, D, H, L, M");
  }
  for (py::ssize_t k = 0; k < rows; ++k) {
    for (py::ssize_t l = 0; l < columns; ++l) {
      const double value = Y.at(k, l);
      // The centrifugal constant D is given as a positive number.
      c.Ytab[static_cast<std::size_t>(k)][static_cast<std::size_t>(l)] =
          !dunham && l == 2 ? -value : value;
    }
  }
  if (qs.size() > DunhamCoefficients::kParityTerms) {
    throw py::value_error("q: at most 10 parity coefficients, found " + std::to_string(qs.size()));
  }
  for (std::size_t i = 0; i < qs.size(); ++i) c.qtab[i] = static_cast<float>(qs[i]);
  return c;
}

namespace {

using IntArray = py::array_t<int32_t, py::array::c_style | py::array::forcecast>;

// Quantum numbers of a broadcast, each an integer >= `least`.
IntArray to_quantum_numbers(py::handle values, const char* name, int32_t least) {
  const std::optional<py::array> given = numeric_array(values);
  if (!given || given->dtype().kind() == 'f') {
    wrong_kind(name, "an integer or an array of integers", values);
  }
  const IntArray numbers = IntArray::ensure(*given);
  for (py::ssize_t i = 0; i < numbers.size(); ++i) {
    if (numbers.data()[i] < least) {
      throw py::value_error(std::string(name) + ": must be at least " + std::to_string(least) +
                            ", found " + std::to_string(numbers.data()[i]));
    }
  }
  return numbers;
}

}  // namespace

void bind_dunham(py::module_& m) {
  py::module_ dunham = m.def_submodule("dunham", "Term values from Dunham coefficients.");
  dunham.def(
      "terms",
      [](const DunhamSource& source, const IntegerArray& v, const IntegerArray& J,
         const IntegerArray& p, const Float& mass_ratio, const Float& Lambda, const Numbers& q,
         const Text& form) -> Values {
        const IntArray v_given = to_quantum_numbers(v, "v", 0),
                       J_given = to_quantum_numbers(J, "J", 0),
                       p_given = to_quantum_numbers(p, "p", INT32_MIN);
        py::tuple b;
        try {
          b = py::module_::import("numpy").attr("broadcast_arrays")(v_given, J_given, p_given);
        } catch (const py::error_already_set&) {
          throw py::value_error("v, J, p: shapes that broadcast together");
        }
        const IntArray vs = IntArray::ensure(b[0]), Js = IntArray::ensure(b[1]),
                       ps = IntArray::ensure(b[2]);
        DunhamCoefficients c;
        if (is_path(source)) {
          const std::string path = to_path(source, "source");
          c = call_core([&] { return read_dunham_file(path); });
        } else {
          c = coefficients_from_table(source, to_text(form, "form"),
                                      to_float(mass_ratio, "mass_ratio"),
                                      to_float(Lambda, "Lambda"), to_vector(q, "q"));
        }
        py::array_t<double> E(vs.request().shape);
        for (py::ssize_t i = 0; i < vs.size(); ++i) {
          const int32_t vi = vs.data()[i], Ji = Js.data()[i], pi = ps.data()[i];
          if (!c.dunham_form() && (vi < 0 || vi >= DunhamCoefficients::kRows)) {
            throw py::value_error("band constants: v must lie in 0..50, found " +
                                  std::to_string(vi));
          }
          if (const auto problem = level_request_problem({vi, vi, Ji, Ji, pi, pi})) {
            throw StopRun("velk: " + *problem);
          }
          E.mutable_data()[i] = dunham_term(c, vi, Ji, pi);
        }
        if (E.ndim() == 0) return Values(py::float_(E.data()[0]));
        return Values(E);
      },
      py::arg("source"), py::arg("v"), py::arg("J"), py::arg("p") = 1, py::kw_only(),
      py::arg("mass_ratio") = 1.0, py::arg("Lambda") = 0.0, py::arg("q") = py::tuple(),
      py::arg("form") = "dunham",
      R"(Term values E(v, J, p) in cm-1, summed as velk sums them.

source: a Dunham file (its path; the file gives the form, mass ratio, Lambda and parity
coefficients) or a table: form="dunham" Y[k][l] (cm-1), E = sum Y(k,l) u^k (rho² x)^l with
u = (v + 1/2) rho, x = J(J+1) - Lambda², rho = mass_ratio; form="band" rows v = 0, 1, ... of
T, B, D, H, L, M (D positive), E = T + B x - D x² + H x³ + L x⁴ + M x⁵. q: up to ten parity
coefficients (held in single precision, as velk holds them), J(J+1) sum q_i u^i added for p != 1.
v, J, p: integers or arrays (broadcast); returns a number or an array.)");
}

}  // namespace velk::python
