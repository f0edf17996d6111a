// velk.Curve.rkr: the curve of velk-rkr from a Dunham file or a table of constants, held in
// memory as the potential file velk-rkr would write.
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <filesystem>

#include "arguments.h"
#include "bindings.h"
#include "core_call.h"
#include "curve.h"
#include "io/errors.h"
#include "io/warning.h"
#include "rkr/rkr_constants.h"
#include "rkr/rkr_curve.h"

namespace velk::python {

void bind_rkr(py::module_& m) {
  auto curve = py::reinterpret_borrow<py::class_<Curve>>(m.attr("Curve"));
  curve.def_static(
      "rkr",
      [](const DunhamSource& source, const Numbers& masses, const OptionalFloat& v_max,
         const OptionalFloat& dv, const Bool& te, const Int& tail_power, const Int& order,
         const Text& form, const Float& mass_ratio, const Float& Lambda, const Text& name) {
        rkr::RkrOptions options;
        const std::array<double, 2> atoms = to_floats<2>(masses, "masses", "(M1, M2)");
        options.mass1 = atoms[0];
        options.mass2 = atoms[1];
        if (!(atoms[0] > 0.0) || !(atoms[1] > 0.0)) {
          throw py::value_error("masses: two positive atomic masses (u)");
        }
        options.v_max = to_optional_float(v_max, "v_max");
        options.dv = to_optional_float(dv, "dv");
        options.with_te = to_bool(te, "te");
        options.tail_power = to_int(tail_power, "tail_power");
        options.order = to_int(order, "order");
        std::string curve_name = to_text(name, "name");
        DunhamCoefficients c;
        if (is_path(source)) {
          const std::string path = to_path(source, "source");
          c = call_core([&] { return read_dunham_file(path); });
          options.source_name = path;
          if (curve_name.empty()) {
            curve_name = std::filesystem::path(path).stem().string() + "_rkr.pot";
          }
        } else {
          c = coefficients_from_table(source, to_text(form, "form"),
                                      to_float(mass_ratio, "mass_ratio"),
                                      to_float(Lambda, "Lambda"), {});
          options.source_name = "constants";
          if (curve_name.empty()) curve_name = "rkr.pot";
        }
        return call_core([&] {
          const rkr::RkrConstants constants = rkr::rkr_constants(c, options.source_name);
          const rkr::RkrCurve built = rkr::build_rkr_curve(constants, options);
          for (const std::string& warning : built.warnings) warn(warning);
          return curve_from_text(curve_name, rkr::rkr_file_text(built, constants, options));
        });
      },
      py::arg("source"), py::kw_only(), py::arg("masses"), py::arg("v_max") = py::none(),
      py::arg("dv") = py::none(), py::arg("te") = false, py::arg("tail_power") = 6,
      py::arg("order") = 64, py::arg("form") = "dunham", py::arg("mass_ratio") = 1.0,
      py::arg("Lambda") = 0.0, py::arg("name") = "",
      R"(The curve of velk-rkr: the first-order RKR turning points of Dunham constants.

source: a Dunham file (either form) or a table as velk.dunham.terms takes it (form="dunham"
Y[k][l], form="band" rows of T, B, D, H, L, M; mass_ratio, Lambda). masses: the two atomic
masses (u). v_max, dv, te, tail_power, order: the options --v-max, --dv, --te, --tail-power,
--order of velk-rkr (docs/rkr.md). The curve is the potential file velk-rkr writes, held in
memory (curve.text, curve.save(path)); its warnings are VelkWarning.)");
}

}  // namespace velk::python
