// The pointwise form with its long-range extension: spline, fit and the report's lines.
#include "pec/pointwise.h"
#include "potential_fuzzer.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  velk::fuzz::set_up();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static velk::ExtensionFitStorage work;
  return velk::fuzz::build_potential(
      data, size,
      [](const velk::InputText& text, std::span<double> Vgrid, const velk::RadialGrid& grid) {
        velk::ExtensionReportHandler report;
        report.report = [](const velk::ExtensionReport& r) { velk::potext_lines(r); };
        velk::pec_pointwise(velk::read_pointwise(text), text.name, Vgrid, grid, work,
                            velk::fuzz::record_numerical_failure, report);
      });
}
