#include "solver/level_digest.h"

#include <algorithm>
#include <cstdio>
#include <utility>

#include "io/warning.h"

namespace velk {
namespace {

// "21..30", or "21" when both ends agree.
std::string span_text(int32_t low, int32_t high) {
  return low == high ? std::to_string(low) : std::to_string(low) + ".." + std::to_string(high);
}

}  // namespace

LevelWarningDigest::LevelWarningDigest(std::string state, bool verbose)
    : state_(std::move(state)), verbose_(verbose) {}

void LevelWarningDigest::beyond_last(LevelBeyondLast level) {
  if (verbose_) {
    warn(level.text);
    return;
  }
  if (!beyond_.empty() && level.J > beyond_.back().J + 1) flush_beyond();
  beyond_.push_back(std::move(level));
}

void LevelWarningDigest::fast_set_aside(int32_t J) {
  if (!verbose_ && set_aside_last_ >= set_aside_first_ && J == set_aside_last_ + 1) {
    set_aside_last_ = J;
    return;
  }
  flush_set_aside();
  set_aside_first_ = J;
  set_aside_last_ = J;
  if (verbose_) flush_set_aside();
}

void LevelWarningDigest::too_broad(BroadLevel level) {
  if (verbose_) {
    warn(level.text);
    return;
  }
  broad_.push_back(std::move(level));
}

void LevelWarningDigest::flush() {
  flush_beyond();
  flush_set_aside();
  flush_broad();
}

void LevelWarningDigest::flush_broad() {
  if (broad_.size() == 1) warn(broad_.front().text);
  if (broad_.size() <= 1) {
    broad_.clear();
    return;
  }
  int32_t v_low = broad_.front().v, v_high = v_low, J_low = broad_.front().J, J_high = J_low;
  double width_low = broad_.front().half_width, width_high = width_low;
  for (const BroadLevel& level : broad_) {
    v_low = std::min(v_low, level.v);
    v_high = std::max(v_high, level.v);
    J_low = std::min(J_low, level.J);
    J_high = std::max(J_high, level.J);
    width_low = std::min(width_low, level.half_width);
    width_high = std::max(width_high, level.half_width);
  }
  char widths[64];
  std::snprintf(widths, sizeof widths, "%.1E to %.1E", width_low, width_high);
  warn(state_ + ": " + std::to_string(broad_.size()) + " quasi-bound levels of v=" +
       span_text(v_low, v_high) + " at J=" + span_text(J_low, J_high) +
       " are wider than the tolerance: half-widths " + widths +
       " cm-1 (their tunnelling figures); their energies are defined only to about their "
       "widths; velk --verbose names each");
  broad_.clear();
}

void LevelWarningDigest::flush_beyond() {
  if (beyond_.empty()) return;
  const int32_t J_first = beyond_.front().J, J_last = beyond_.back().J;
  if (J_first == J_last) {
    for (const LevelBeyondLast& level : beyond_) warn(level.text);
    beyond_.clear();
    return;
  }
  int32_t v_low = beyond_.front().v, v_high = v_low;
  int32_t count_low = beyond_.front().count, count_high = count_low;
  for (const LevelBeyondLast& level : beyond_) {
    v_low = std::min(v_low, level.v);
    v_high = std::max(v_high, level.v);
    count_low = std::min(count_low, level.count);
    count_high = std::max(count_high, level.count);
  }
  const std::string counts = count_high == 0 ? "no level"
                             : count_high == 1 && count_low == 1
                                 ? "1 level"
                                 : span_text(count_low, count_high) + " levels";
  warn(state_ + ": " + std::to_string(beyond_.size()) +
       " listed levels of v=" + span_text(v_low, v_high) + " at J=" + span_text(J_first, J_last) +
       " do not exist: each lies beyond the last level of its J (the state has " + counts +
       " there); velk --verbose names each");
  beyond_.clear();
}

void LevelWarningDigest::flush_set_aside() {
  if (set_aside_last_ < set_aside_first_) return;
  warn(state_ + ": J=" + span_text(set_aside_first_, set_aside_last_) +
       ": the levels are the exact search's; the fast search could not number them by their "
       "nodes (a level whose passes left out classically allowed points of the grid, such as a "
       "second well beyond a barrier, or energies that do not rise with v)");
  set_aside_first_ = 0;
  set_aside_last_ = -1;
}

}  // namespace velk
