#include "run/transitions.h"

#include <array>
#include <cmath>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "io/errors.h"
#include "io/formatted_output.h"
#include "io/level_file.h"
#include "io/output_file.h"

namespace velk {
namespace {

constexpr const char* kTransitionFile = "vel_tran.out";
constexpr const char* kLineFormat = "(I5,I5,I4,I4,I4,F15.6,F15.6)";

// The upper-state level file of each branch.
enum class Branch { P, Q, R };

const char* branch_file(Branch branch) {
  switch (branch) {
    case Branch::P:
      return "BstateP.dat";
    case Branch::Q:
      return "BstateQ.dat";
    case Branch::R:
      break;
  }
  return "BstateR.dat";
}

std::size_t slot_of(Branch branch) {
  return static_cast<std::size_t>(branch);
}

// What the seventh column of a line holds, in the runs that write it.
enum class Difference {
  none,
  previous_v,  // this branch's wavenumber at the previous v' minus this one
  same_v_p,    // the P wavenumber of the same v' minus this one
};

// One upper-state level file read at each v' position, and how its line is written.
struct Reading {
  Branch branch;
  Difference difference;
  std::size_t v_from;  // the reading whose v' the line shows
};

// The readings of a branch code, in the order in which they are read and written; none for a
// code other than 1, 2 and 3.
std::span<const Reading> readings_of(int32_t branch_code) {
  static constexpr Reading kQ[] = {{Branch::Q, Difference::previous_v, 0}};
  // Both lines of a position show the v' read from BstateR.dat, so the P line waits for it.
  static constexpr Reading kPR[] = {{Branch::P, Difference::previous_v, 1},
                                    {Branch::R, Difference::same_v_p, 1}};
  static constexpr Reading kPQR[] = {{Branch::P, Difference::none, 0},
                                     {Branch::Q, Difference::previous_v, 1},
                                     {Branch::R, Difference::same_v_p, 2}};
  switch (branch_code) {
    case 1:
      return kQ;
    case 2:
      return kPR;
    case 3:
      return kPQR;
    default:
      return {};
  }
}

int32_t opposite_parity(int32_t p) {
  return static_cast<int32_t>(std::abs(int64_t{1} - p));
}

// Number of level lines a loop over vbmin..vbmax consumes.
int64_t progression_length(int32_t vbmin, int32_t vbmax) {
  return vbmax < vbmin ? 0 : int64_t{vbmax} - vbmin + 1;
}

// J'' + step for the P and R branches. A J' beyond the 32-bit integers is refused rather than
// wrapped round to a J of the opposite sign.
int32_t shifted_J(int32_t J, int64_t step) {
  const int64_t shifted = int64_t{J} + step;
  if (shifted < INT32_MIN || shifted > INT32_MAX) {
    throw StopRun("velk: velk.inf: the rotational quantum number " + std::to_string(J) +
                  (step < 0 ? " - " : " + ") + std::to_string(step < 0 ? -step : step) +
                  " lies outside the 32-bit integers");
  }
  return static_cast<int32_t>(shifted);
}

LevelRanges single_level(int32_t vmin, int32_t vmax, int32_t J, int32_t p) {
  return LevelRanges{vmin, vmax, J, J, p, p};
}

// The lower (or known) level of the transitions: v'' and J'' as written, its parity p'' and its
// term energy E'' (cm-1).
struct LowerLevel {
  int32_t v = 0, J = 0, p = 0;
  double E = 0.0;
};

enum class LowerSource {
  one_level,     // one level of state A, computed into Astate.dat and its energy read back
  known_energy,  // one level given with its energy
  level_file,    // a block of state-A levels, each read from Astate.dat
};

struct EnergyWindow {
  double emin = 0.0, emax = 0.0;  // cm-1, both excluded
};

// One transition run as data.
struct TransitionRun {
  LowerSource source = LowerSource::known_energy;
  const StateInput* lower_state = nullptr;  // state A: one_level and level_file
  LowerLevel lower;                         // one_level (E read back) and known_energy
  LevelRanges lower_block;                  // level_file
  const StateInput* upper_state = nullptr;  // the state of the progression
  int32_t vbmin = 0, vbmax = 0, branch = 0;
  int32_t dJ = 1;  // J' = J'' -/+ dJ of the P and R readings under branch code 3
  std::vector<std::string> header;
  bool differences = false;  // the seventh column
  std::optional<EnergyWindow> window;
};

void append_lines(std::vector<std::string>& lines, const FreeLine& line) {
  for (std::string& text : line.lines()) lines.push_back(std::move(text));
}

class TransitionEngine {
 public:
  TransitionEngine(const TransitionRun& run, LevelFileSource& levels)
      : run_(run),
        levels_(levels),
        readings_(readings_of(run.branch)),
        n_(progression_length(run.vbmin, run.vbmax)) {}

  void run() {
    if (run_.source == LowerSource::level_file) {
      run_block();
    } else {
      run_single();
    }
  }

 private:
  void run_single() {
    LowerLevel lower = run_.lower;
    if (run_.source == LowerSource::one_level) {
      levels_.compute_state_levels(*run_.lower_state,
                                   single_level(lower.v, lower.v, lower.J, lower.p), "Astate.dat");
      // The state-A level must be there: a missing or unreadable line is an input error rather
      // than a silent zero energy that would turn every wavenumber below into a wrong one.
      LevelFileReader file("Astate.dat");
      file.skip_header();
      lower.E = file.next().E;
    }
    if (readings_.empty()) return;
    progression(lower);
    out_->close();
  }

  void run_block() {
    levels_.compute_state_levels(*run_.lower_state, run_.lower_block, "Astate.dat");
    open_output();
    LevelFileReader lower_file("Astate.dat");
    const int32_t nlow = lower_file.read_count_and_skip_header();
    for (int32_t k = 0; k < nlow; ++k) {
      const LevelLine level = lower_file.next();
      if (!readings_.empty()) progression(LowerLevel{level.v, level.J, level.p, level.E});
    }
    out_->close();
  }

  void open_output() {
    out_.emplace(kTransitionFile);
    for (const std::string& line : run_.header) out_->line(line);
  }

  // Requests the upper-state level files of the readings for a lower level of rotational quantum
  // number J and parity p, each over vbmin .. vbmax: BstateQ.dat (J, |1 - p|) for branch code 1;
  // BstateP.dat (J - 1, p) and BstateR.dat (J + 1, p) for code 2; BstateP.dat (J - dJ, p),
  // BstateR.dat (J + dJ, p) and BstateQ.dat (J, |1 - p|) for code 3, in that order. Files on disk
  // for the same J and p are used again.
  void request_upper_files(const LowerLevel& lower) {
    const std::pair<int32_t, int32_t> wanted{lower.J, lower.p};
    if (requested_ == wanted) return;
    requested_ = wanted;
    const auto request = [&](int32_t J, int32_t p, const char* file) {
      levels_.compute_state_levels(*run_.upper_state, single_level(run_.vbmin, run_.vbmax, J, p),
                                   file);
    };
    if (run_.branch == 1) {
      request(lower.J, opposite_parity(lower.p), "BstateQ.dat");
      return;
    }
    const int64_t shift = run_.branch == 2 ? 1 : run_.dJ;
    request(shifted_J(lower.J, -shift), lower.p, "BstateP.dat");
    request(shifted_J(lower.J, shift), lower.p, "BstateR.dat");
    if (run_.branch == 3) request(lower.J, opposite_parity(lower.p), "BstateQ.dat");
  }

  // The transitions from one lower level to the progression of the upper state.
  void progression(const LowerLevel& lower) {
    request_upper_files(lower);
    std::array<std::optional<LevelFileReader>, 3> files;
    for (std::size_t k = 0; k < readings_.size(); ++k) {
      files[k].emplace(branch_file(readings_[k].branch));
      files[k]->skip_header();
    }
    // A run from one level opens vel_tran.out once its upper files are there, so that a run
    // stopped by the level producers leaves the previous transition list in place; a run over a
    // block of levels has its header written before the first lower level is read.
    if (!out_) open_output();
    Position position;
    for (int64_t i = 0; i < n_; ++i) {
      std::size_t written = 0;
      for (std::size_t k = 0; k < readings_.size(); ++k) {
        position.level[k] = files[k]->next();
        position.nu[slot_of(readings_[k].branch)] = std::fabs(position.level[k].E - lower.E);
        while (written <= k && readings_[written].v_from <= k) {
          write_line(lower, position, written++);
        }
      }
    }
  }

  // What a v' position has read so far; `previous` carries over from one position to the next.
  struct Position {
    std::array<LevelLine, 3> level{};  // by reading
    std::array<double, 3> nu{};        // by branch, cm-1
    std::array<double, 3> previous{};  // by branch, cm-1
  };

  void write_line(const LowerLevel& lower, Position& position, std::size_t k) {
    const Reading& reading = readings_[k];
    const LevelLine& upper = position.level[k];
    const double nu = position.nu[slot_of(reading.branch)];
    std::optional<double> difference;
    if (run_.differences && reading.difference == Difference::previous_v) {
      double& previous = position.previous[slot_of(reading.branch)];
      difference = previous - nu;
      previous = nu;
    } else if (run_.differences && reading.difference == Difference::same_v_p) {
      difference = position.nu[slot_of(Branch::P)] - nu;
    }
    if (run_.window && !(run_.window->emin < nu && nu < run_.window->emax)) return;
    // A Q list of one lower level numbers its lines by the upper levels' own iline; every other
    // list counts the lines it writes.
    const int64_t index = readings_.size() == 1 && !run_.window ? upper.iline : ++written_;
    const int32_t v_upper = position.level[reading.v_from].v;
    if (difference) {
      out_->line(format_line(kLineFormat, {index, int64_t{lower.v}, int64_t{lower.J},
                                           int64_t{v_upper}, int64_t{upper.J}, nu, *difference}));
    } else {
      out_->line(format_line(kLineFormat, {index, int64_t{lower.v}, int64_t{lower.J},
                                           int64_t{v_upper}, int64_t{upper.J}, nu}));
    }
  }

  const TransitionRun& run_;
  LevelFileSource& levels_;
  const std::span<const Reading> readings_;
  const int64_t n_;
  std::optional<OutputFile> out_;
  std::optional<std::pair<int32_t, int32_t>> requested_;  // (J'', p'') of the files on disk
  int64_t written_ = 0;
};

std::vector<std::string> state_files_header(const RunControl& control) {
  std::vector<std::string> header;
  append_lines(header, FreeLine() << "A state data file:" << control.A.file);
  append_lines(header, FreeLine() << "B state data file:" << control.B.file);
  return header;
}

}  // namespace

void run_one_level_transitions(const RunControl& control, LevelFileSource& levels) {
  const OneLevelBlock& block = control.one_level;
  TransitionRun run;
  run.source = LowerSource::one_level;
  run.lower_state = &control.A;
  run.lower = LowerLevel{block.v, block.J, block.p, 0.0};
  run.upper_state = &control.B;
  run.vbmin = block.vbmin;
  run.vbmax = block.vbmax;
  run.branch = block.branch;
  run.dJ = block.dJ;
  run.header = state_files_header(control);
  append_lines(run.header, FreeLine() << std::string(30, '='));
  append_lines(run.header, FreeLine());
  run.differences = true;
  TransitionEngine(run, levels).run();
}

void run_known_level_transitions(const RunControl& control, LevelFileSource& levels) {
  const KnownLevelBlock& block = control.known_level;
  const StateInput& selected = block.state == 1 ? control.A : control.B;
  TransitionRun run;
  run.source = LowerSource::known_energy;
  // Every branch measures from the known energy itself: a reference of -E for state A would turn
  // the difference into a sum, which is not a transition wavenumber.
  run.lower = LowerLevel{block.v, block.J, block.p, block.E};
  run.upper_state = &selected;
  run.vbmin = block.vbmin;
  run.vbmax = block.vbmax;
  run.branch = block.branch;
  run.dJ = block.dJ;
  run.header.push_back(
      format_line("(A19,I4,I4,I4,F15.5)", {std::string("Known level:"), int64_t{block.v},
                                           int64_t{block.J}, int64_t{block.p}, block.E}));
  append_lines(run.header, FreeLine() << "          Data file:" << selected.file);
  append_lines(run.header, FreeLine() << std::string(30, '='));
  append_lines(run.header, FreeLine());
  TransitionEngine(run, levels).run();
}

void run_window_transitions(const RunControl& control, LevelFileSource& levels) {
  const WindowBlock& block = control.window;
  TransitionRun run;
  run.source = LowerSource::level_file;
  run.lower_state = &control.A;
  run.lower_block =
      LevelRanges{block.vmin, block.vmax, block.Jmin, block.Jmax, block.pmin, block.pmax};
  run.upper_state = &control.B;
  run.vbmin = block.vbmin;
  run.vbmax = block.vbmax;
  run.branch = block.branch;
  run.header = state_files_header(control);
  append_lines(run.header, FreeLine() << "Range:" << block.emin << block.emax);
  append_lines(run.header, FreeLine() << std::string(30, '='));
  run.window = EnergyWindow{block.emin, block.emax};
  TransitionEngine(run, levels).run();
}

}  // namespace velk
