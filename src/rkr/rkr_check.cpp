#include "rkr/rkr_check.h"

#include <cmath>
#include <limits>

#include "solver/level_driver.h"
#include "solver/level_record.h"

namespace velk::rkr {
namespace {

class RoundTripSink final : public LevelSink {
 public:
  explicit RoundTripSink(std::vector<RoundTripLevel>& levels) : levels_(levels) {}
  void begin(const LevelTableRequest&) override {}
  void level(const LevelRecord& record) override {
    for (RoundTripLevel& level : levels_) {
      if (level.v == record.v) level.from_curve = record.E;
    }
  }
  void end() override {}

 private:
  std::vector<RoundTripLevel>& levels_;
};

double coefficient(const std::vector<double>& c, std::size_t k) {
  return k < c.size() ? c[k] : 0.0;
}

}  // namespace

double dunham_y00_estimate(const RkrConstants& c) {
  const double we = coefficient(c.G, 1), wexe = -coefficient(c.G, 2);
  const double Be = coefficient(c.B, 0), ae = -coefficient(c.B, 1);
  const double aw = ae * we;
  return Be / 4.0 + aw / (12.0 * Be) + aw * aw / (144.0 * Be * Be * Be) - wexe / 4.0;
}

RoundTrip round_trip(const CurveDefinition& written, const RkrCurve& curve,
                     const RkrConstants& constants) {
  RoundTrip trip;
  trip.grid = RadialGrid(curve.grid.Rmin, curve.grid.Rmax, curve.grid.N);
  trip.J = constants.Lambda;
  const double x = static_cast<double>(trip.J) * (trip.J + 1) -
                   static_cast<double>(constants.Lambda) * constants.Lambda;
  const int v_top = static_cast<int>(std::floor(curve.u_max - 0.5 + 1e-9));
  for (int v = 0; v <= v_top; ++v) {
    const double u = v + 0.5;
    trip.levels.push_back({v,
                           constants.Y00 + constants.term(u) + constants.rotational_constant(u) * x,
                           std::numeric_limits<double>::quiet_NaN()});
  }
  LevelTableRequest request;
  request.curve = written;
  request.grid = trip.grid;
  request.tol = kRoundTripTolerance;
  request.maxit = 100;
  request.v = {0, v_top};
  request.J = {trip.J, trip.J};
  request.Par = {1, 1};
  request.mass_index = 1;
  LevelDriver driver(DriverOptions{});
  RoundTripSink sink(trip.levels);
  driver.compute_levels(request, sink);
  return trip;
}

}  // namespace velk::rkr
