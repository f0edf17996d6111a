// A whole run on an arbitrary working directory: velk.inf and the files bundled with it (the
// format of split_bundle), with two Dunham files at hand (dunA.dat, dunB.dat) unless the bundle
// brings its own, so that every job, the transition runs included, works on the fuzzed ranges,
// branches, J steps and data files. Requests for more work than a quick execution allows are
// passed over: their size is the user's choice, not a fault. A run that ends in an internal
// error (status 3) is a finding.
#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_support.h"
#include "run/control_file.h"
#include "run/run_sequence.h"

namespace {

constexpr int64_t kMaxLevels = 2000;
// A level of a potential costs a few sweeps over the grid for each iteration of its search, and a
// level that does not converge uses every iteration. The product of levels, grid points and
// iterations is kept to what runs in about a second under the sanitizers: a table point mutated
// to 6e13 cm-1 on a 30000-point grid, 2 levels and 60 iterations (1.8e7) took 4 s in the
// optimised build and over 10 s here.
constexpr int64_t kMaxPotentialWork = 4'000'000;

const char* const kDunhamA =
    "d\n1.0\n0.0\n3\n0.0\n1580.193\n-11.981\n0\n2\n1.44563\n-0.0159\n1\n-4.839D-6\n0\n0\n0\n0\n";
const char* const kBandB =
    "b\n1.0\n1.0\n2\n0 49793.28 0.81902 4.55E-6 0 0 0\n1 50490.0 0.80696 4.6E-6 0 0 0\n"
    "2\n0.0123456\n-0.000654321\n";

int64_t span(int32_t first, int32_t last) {
  return last < first ? 0 : int64_t{last} - first + 1;
}

// The number of levels the switched-on jobs would ask for, roughly.
int64_t levels_requested(const velk::RunControl& c) {
  int64_t total = 0;
  const auto& t = c.level_table;
  if (t.switch_flag == 'y')
    total += span(t.vmin, t.vmax) * span(t.Jmin, t.Jmax) * span(t.pmin, t.pmax);
  if (c.one_level.switch_flag == 'y') total += 1 + 3 * span(c.one_level.vbmin, c.one_level.vbmax);
  if (c.known_level.switch_flag == 'y') total += 3 * span(c.known_level.vbmin, c.known_level.vbmax);
  const auto& w = c.window;
  if (w.switch_flag == 'y') {
    const int64_t low = span(w.vmin, w.vmax) * span(w.Jmin, w.Jmax) * span(w.pmin, w.pmax);
    total += low + low * 3 * std::max<int64_t>(1, span(w.vbmin, w.vbmax));
  }
  return total;
}

// Whether the run is small enough for one execution.
bool small_enough(const velk::RunControl& c) {
  const int64_t levels = levels_requested(c);
  if (levels < 0 || levels > kMaxLevels) return false;
  int64_t points = 0;
  for (const velk::StateInput* state : {&c.A, &c.B}) {
    if (state->kind != 'd') points = std::max<int64_t>(points, state->N);
  }
  // Each level request also builds its curve and solves the two levels of toadd.
  const int64_t work = (levels + 8) * std::max<int64_t>(1, points) * std::max(1, c.maxit);
  return points == 0 || work <= kMaxPotentialWork;
}

void write_text(const std::string& name, std::string_view text) {
  velk::fuzz::write_input(name, reinterpret_cast<const uint8_t*>(text.data()), text.size());
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  velk::fuzz::set_up();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const velk::fuzz::Bundle bundle =
      velk::fuzz::split_bundle(std::string_view(reinterpret_cast<const char*>(data), size));
  velk::fuzz::clear_work_directory();
  write_text("dunA.dat", kDunhamA);
  write_text("dunB.dat", kBandB);
  for (const velk::fuzz::BundledFile& file : bundle.files) write_text(file.name, file.content);
  write_text("velk.inf", bundle.control);
  bool small = false;
  velk::fuzz::run_guarded([&] { small = small_enough(velk::read_control_file("velk.inf")); });
  if (!small) return 0;
  if (velk::run_velk(velk::fuzz::record_numerical_failure) == 3) __builtin_trap();
  return 0;
}
