#include "spectrum/line_intensity.h"

#include <gtest/gtest.h>

#include "spectrum/honl_london.h"

namespace velk::spectrum {
namespace {

TEST(EinsteinA, AgainstTheHandbookConstant) {
  // A = 3.136189e-7 ν³ |M|² s⁻¹ (ν in cm-1, M in D) for a line that takes the whole strength
  // (Hilborn, Am. J. Phys. 50, 982 (1982), eq. 13 and its table). 2e-7 relative: a little more
  // than half a unit of the seventh digit given there.
  EXPECT_NEAR(einstein_A(10000.0, 1.0, 0, 1.0), 3.136189e-7 * 1e12, 2e-7 * 3.136189e5);
  // The P and R lines of one ¹Σ level together carry the whole strength (S summed over J'' is
  // 2J' + 1), so the level's total A is the handbook value for any J'.
  double total = 0.0;
  const int Jp = 20;
  for (const int Jpp : {19, 21})
    total += einstein_A(14680.0, honl_london({Jp, Jpp, 0, 0}), Jp, 6.0);
  EXPECT_NEAR(total, 3.136189e-7 * 14680.0 * 14680.0 * 14680.0 * 36.0, 1e-6 * total);
}

TEST(LineIntensity, AbsorptionAndEmissionForms) {
  LineFactors line{15000.0, 11.0, 11, 10, std::nullopt, 0.25, 0.01};
  const IntensityRequest absorption{SpectrumMode::Absorption, false};
  // ν · S · FCF · N''/(2J''+1)
  EXPECT_DOUBLE_EQ(*line_intensity(line, absorption), 15000.0 * 11.0 * 0.25 * 0.01 / 21.0);
  line.moment = 2.0;  // the moment, when there, replaces the FCF
  EXPECT_DOUBLE_EQ(*line_intensity(line, absorption), 15000.0 * 11.0 * 4.0 * 0.01 / 21.0);
  line.lower_fraction.reset();
  EXPECT_FALSE(line_intensity(line, absorption));
  const double nu4 = 15000.0 * 15000.0 * 15000.0 * 15000.0;
  EXPECT_DOUBLE_EQ(*line_intensity(line, {SpectrumMode::Emission, false}), nu4 * 11.0 / 23.0 * 4.0);
  EXPECT_DOUBLE_EQ(*line_intensity(line, {SpectrumMode::Emission, true}),
                   nu4 / 15000.0 * 11.0 / 23.0 * 4.0);
  line.moment.reset();
  line.FCF.reset();
  EXPECT_EQ(vibrational_factor(line), 1.0);
}

}  // namespace
}  // namespace velk::spectrum
