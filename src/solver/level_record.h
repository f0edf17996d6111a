// A computed level as the level driver hands it on, the rule that decides whether it is listed,
// and the interface of what receives the listed levels (the level file, or a test).
#pragma once

#include <cmath>
#include <cstdint>

#include "solver/level_table_request.h"
#include "solver/solver_results.h"

namespace velk {

struct LevelRecord {
  int64_t iline = 0;  // running number among the listed levels, from 1
  int32_t v = 0, J = 0, Par = 0;
  double E = 0.0;         // term energy after the Lambda-doubling term, cm-1
  double delE = 0.0;      // half-width of the first solve's window
  double Ein = 0.0;       // start energy of the first solve
  SolverResults results;  // of the last solve (the retry when there was one)
  // Above Ulim: a quasi-bound level, listed with its tunnelling figure and the window's top.
  bool quasi_bound = false;
  double tunnel = 0.0, Umax = 0.0, Ulim = 0.0;
  // The last solve's two passes never joined (see LevelSolution::never_joined).
  bool never_joined = false;
};

// Poorly converged levels within one J: from the third level whose |Dcor| exceeds ten times the
// tolerance on, no level of that J is listed (its solve still runs, with its console output).
class PoorLevelCount {
 public:
  static constexpr int32_t kMaxListed = 2;
  explicit PoorLevelCount(double tol) : tol_(tol) {}
  void start_J() { count_ = 0; }
  // Counts the level and says whether it is listed.
  bool admit(const SolverResults& results) {
    if (!(std::fabs(results.Dcor) <= 10.0 * tol_)) ++count_;
    return count_ <= kMaxListed;
  }

 private:
  double tol_;
  int32_t count_ = 0;
};

// Receives the levels of one request in loop order (J outer, v, Par inner).
class LevelSink {
 public:
  virtual ~LevelSink() = default;
  // Once the curve is built, before the first level.
  virtual void begin(const LevelTableRequest& request) = 0;
  virtual void level(const LevelRecord& record) = 0;
  // After the last level.
  virtual void end() = 0;
};

}  // namespace velk
