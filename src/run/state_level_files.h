// The one dispatch through which the run obtains a level file: a state whose kind is 'd' has its
// levels from Dunham coefficients, any other state from its potential file by the level solver:
// the file is read here, once for each level file, and each extension fit of its curve is reported
// in potext.out (potext_file.h).
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "numlib/failure_policy.h"
#include "run/control_file.h"
#include "run/run_options.h"

namespace velk {

class LevelDriver;

struct LevelRanges {
  int32_t vmin = 0, vmax = 0, Jmin = 0, Jmax = 0, pmin = 0, pmax = 0;
};

// What the transition runs ask of the level producers: a complete, closed level file of a state
// for a block of levels.
class LevelFileSource {
 public:
  virtual ~LevelFileSource() = default;
  virtual void compute_state_levels(const StateInput& state, const LevelRanges& ranges,
                                    const std::string& levelfile) = 0;
};

// How the levels of potential states are computed.
struct StateLevelOptions {
  // Receives the numerical failures of the level solver's curves and solvers.
  NumericalFailureHandler on_failure = throw_on_numerical_failure;
  // Threads that compute levels ahead (1: all on the calling thread); the files are the same.
  int threads = 1;
  // Levels by the fast search.
  bool fast = false;
  // Every warning on a level beyond the last of its J on a line of its own (DriverOptions).
  bool verbose = false;
};

class StateLevelFiles final : public LevelFileSource {
 public:
  StateLevelFiles(const RunControl& control, StateLevelOptions options);
  ~StateLevelFiles() override;
  StateLevelFiles(const StateLevelFiles&) = delete;
  StateLevelFiles& operator=(const StateLevelFiles&) = delete;

  // Writes the complete level file `levelfile` for the ranges and closes it.
  void compute_state_levels(const StateInput& state, const LevelRanges& ranges,
                            const std::string& levelfile) override;

 private:
  const RunControl& control_;
  StateLevelOptions options_;
  // The solver's working arrays live for the run; made when a potential state is first used.
  std::unique_ptr<LevelDriver> driver_;
};

}  // namespace velk
