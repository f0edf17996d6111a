// The curve velk-rkr writes: read back by velk's own reader and solved by its level service (the
// round trip on Na2 X), and the inputs it refuses.
#include "rkr/rkr_curve.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "io/errors.h"
#include "io/free_format_reader.h"
#include "pec/curve_definition.h"
#include "rkr/rkr_check.h"
#include "rkr/rkr_test_support.h"

namespace velk::rkr {
namespace {

RkrOptions na2_options() {
  RkrOptions o;
  o.mass1 = o.mass2 = kNa2AtomicMass;
  o.source_name = "na2x_fit.dun";
  return o;
}

// The constants' levels v <= 40 come back from the curve of v <= 41 within 0.01 cm-1 (measured
// 0.0021 cm-1 at v = 0, 0.0056 at v = 40). Above v = 41 the fitted constants waver and bend the
// inner wall; a fault in the turning points, the wall or the file shows as tenths of cm-1.
TEST(RkrCurve, Na2RoundTripThroughTheWrittenFile) {
  const RkrConstants c = na2x_constants();
  RkrOptions o = na2_options();
  o.v_max = 41.0;
  const RkrCurve curve = build_rkr_curve(c, o);
  ASSERT_LE(curve.R.size(), 500u);
  for (std::size_t i = 1; i < curve.R.size(); ++i) ASSERT_GT(curve.R[i], curve.R[i - 1]);
  const CurveDefinition written =
      read_curve_definition(InputText{"na2x_rkr.pot", rkr_file_text(curve, c, o), {}, false});
  const RoundTrip trip = round_trip(written, curve, c);
  ASSERT_EQ(trip.levels.size(), 42u);
  for (const RoundTripLevel& level : trip.levels) {
    if (level.v > 40) continue;
    EXPECT_NEAR(level.from_curve, level.from_constants, 0.01) << "v = " << level.v;
  }
}

// Inner and outer points of one energy carry the same energy, so that a reader can pair them.
TEST(RkrCurve, InnerAndOuterPointsPairByEnergy) {
  RkrOptions o = na2_options();
  o.v_max = 20.0;
  o.with_te = true;
  const RkrCurve curve = build_rkr_curve(na2x_constants(), o);
  const std::size_t minimum = curve.wall_points + curve.mesh.size();
  EXPECT_EQ(curve.U[minimum], curve.U_min);
  for (std::size_t i = 1; i <= curve.mesh.size(); ++i) {
    EXPECT_EQ(curve.U[minimum - i], curve.U[minimum + i]);
  }
}

// A refusal names the file and what is wrong with the request.
struct Refusal {
  const char* name;
  std::string file_text;  // a Dunham file
  double mass = kNa2AtomicMass;
  double v_max = -1.0;  // < 0: not given
  const char* says;
};

class RkrRefusalTest : public testing::TestWithParam<Refusal> {};

TEST_P(RkrRefusalTest, IsAnInputError) {
  const Refusal& r = GetParam();
  const std::string path = testing::TempDir() + "/refusal_" + r.name + ".dun";
  {
    std::FILE* out = std::fopen(path.c_str(), "w");
    ASSERT_NE(out, nullptr);
    std::fputs(r.file_text.c_str(), out);
    std::fclose(out);
  }
  RkrOptions o;
  o.mass1 = o.mass2 = r.mass;
  o.source_name = path;
  if (r.v_max >= 0.0) o.v_max = r.v_max;
  try {
    build_rkr_curve(rkr_constants(read_dunham_file(path), path), o);
    FAIL() << "accepted";
  } catch (const InputError& error) {
    EXPECT_NE(std::string(error.what()).find(r.says), std::string::npos) << error.what();
    EXPECT_NE(std::string(error.what()).find(path), std::string::npos) << error.what();
  }
}

const std::string kMorseLike = "d\n1.0\n0\n3\n0.0\n159.0\n-0.7\n2\n0.155\n-0.0009\n0\n0\n0\n0\n";
const std::string kBandRows =
    "b\n1.0\n0\n3\n0 79.3 0.1541 0 0 0 0\n1 237.0 0.1532 0 0 0 0\n2 393.2 0.1523 0 0 0 0\n0\n0\n";

INSTANTIATE_TEST_SUITE_P(
    Inputs, RkrRefusalTest,
    testing::Values(
        Refusal{"missing_row",
                "b\n1.0\n0\n3\n0 79.3 0.1541 0 0 0 0\n1 237.0 0.1532 0 0 0 0\n"
                "3 547.9 0.1514 0 0 0 0\n0\n0\n",
                kNa2AtomicMass, -1.0, "no row v = 2"},
        Refusal{"one_row", "b\n1.0\n0\n1\n0 79.3 0.1541 0 0 0 0\n0\n0\n", kNa2AtomicMass, -1.0,
                "at least two levels"},
        Refusal{"falling_G", "d\n1.0\n0\n3\n0.0\n-159.0\n-0.7\n2\n0.155\n-0.0009\n0\n0\n0\n0\n",
                kNa2AtomicMass, 10.0, "does not increase"},
        Refusal{"zero_mass", kMorseLike, 0.0, 10.0, "--masses"},
        Refusal{"negative_mass", kMorseLike, -23.0, 10.0, "--masses"},
        Refusal{"beyond_turnover", kMorseLike, kNa2AtomicMass, 120.0, "stops increasing"},
        Refusal{"beyond_band_rows", kBandRows, kNa2AtomicMass, 3.0, "beyond the band constants"},
        Refusal{"negative_B", "d\n1.0\n0\n3\n0.0\n159.0\n-0.7\n2\n0.155\n-0.009\n0\n0\n0\n0\n",
                kNa2AtomicMass, 50.0, "B(v) is not positive"},
        Refusal{"no_rotation", "d\n1.0\n0\n3\n0.0\n159.0\n-0.7\n0\n0\n0\n0\n", kNa2AtomicMass, 10.0,
                "no rotational constant"}),
    [](const testing::TestParamInfo<Refusal>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace velk::rkr
