// Warnings that would otherwise repeat for every J of a level table, gathered per state into one
// line per run of consecutive J: the listed levels that lie beyond the last level of their J (a
// table asked for up to a v that the high J no longer hold gives one or two such lines per J), and
// the J whose levels the fast search could not number; and into one line for the state, the
// quasi-bound levels wider than the tolerance (near the barrier tops of high J, dozens). With
// `verbose` each level's own line is given as it comes, and each J of the fast search's on a line
// of its own.
//
// A run's line reaches the warning sink when a later J that is not the next one arrives, and at
// flush(), which the driver calls when the levels of the state end or the run stops. A run of a
// single J keeps the levels' own lines: they say no more than a summary would.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace velk {

// A listed level beyond the last level of its J: its warning text (without the prefix) and the
// count of levels of the J it gives.
struct LevelBeyondLast {
  int32_t v = 0, J = 0;
  int32_t count = 0;
  std::string text;
};

// A quasi-bound level wider than the tolerance: its warning text and its half-width (cm-1).
struct BroadLevel {
  int32_t v = 0, J = 0;
  double half_width = 0.0;
  std::string text;
};

class LevelWarningDigest {
 public:
  // `state` names the state as the warnings do: "state A (na2x.pot)".
  LevelWarningDigest(std::string state, bool verbose);

  // In the order of J (never decreasing).
  void beyond_last(LevelBeyondLast level);
  // The levels of J are the exact search's: the fast search could not number them.
  void fast_set_aside(int32_t J);
  void too_broad(BroadLevel level);

  // Gives the lines of the runs still held.
  void flush();

 private:
  void flush_beyond();
  void flush_set_aside();
  void flush_broad();

  std::string state_;
  bool verbose_ = false;
  std::vector<LevelBeyondLast> beyond_;
  std::vector<BroadLevel> broad_;
  // The run of J set aside so far; empty when last < first.
  int32_t set_aside_first_ = 0, set_aside_last_ = -1;
};

}  // namespace velk
