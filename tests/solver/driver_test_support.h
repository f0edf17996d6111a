// What the level-driver tests share: their MLJ curve and request, a sink that keeps the levels,
// and a run of the driver with everything it hands on captured.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "io/errors.h"
#include "io/warning.h"
#include "solver/level_driver.h"
#include "support/console_capture.h"

namespace velk::driver_tests {

// An MLJ curve, De = 3000 cm-1 at Re = 1.5 Å with a C6 tail, reduced mass 1 u: about a dozen bound
// levels at J = 0, spaced by some 200 cm-1 at the bottom.
inline std::string mlj_file(int Lambda, double q1, double q2) {
  return "1\n1.0 2.0 1.0 1.0 1.0\n" + std::to_string(Lambda) + "\n" + std::to_string(q1) + "\n" +
         std::to_string(q2) + "\ncomment\ncomment\nML\n1.5\n0 2.0\n3000.0\n6 3e5\n1.0\n4.0\n";
}

// The levels of mlj.pot in the working directory (read now), on a grid that holds its wave
// functions.
inline LevelTableRequest mlj_request(QuantumRange v, QuantumRange J, QuantumRange Par) {
  LevelTableRequest r;
  r.curve = read_curve_definition("mlj.pot     ");
  r.grid = RadialGrid(0.9, 8.0, 1500);
  r.tol = 1e-6;
  r.maxit = 60;
  r.v = v;
  r.J = J;
  r.Par = Par;
  r.mass_index = 1;
  r.levelfile = "Astate.dat  ";
  return r;
}

// Keeps what the driver hands on.
class Recorder : public LevelSink {
 public:
  void begin(const LevelTableRequest&) override { ++begun; }
  void level(const LevelRecord& record) override { levels.push_back(record); }
  void end() override { ++ended; }
  int begun = 0, ended = 0;
  std::vector<LevelRecord> levels;
};

// Everything a run of the driver hands on: the records, the console text, the warnings and the
// message of a stop (empty when the run ended normally).
struct Handed {
  std::vector<LevelRecord> levels;
  std::string console;
  std::vector<std::string> warnings;
  std::string stop;
};

inline Handed hand_on(const LevelTableRequest& r, DriverOptions options) {
  Handed out;
  WarningCapture warnings;
  test::ConsoleCapture capture;
  Recorder recorder;
  LevelDriver driver(std::move(options));
  try {
    driver.compute_levels(r, recorder);
  } catch (const StopRun& stop) {
    out.stop = stop.what();
  }
  out.levels = recorder.levels;
  out.console = capture.text();
  out.warnings = warnings.lines();
  return out;
}

}  // namespace velk::driver_tests
